#!/usr/bin/env python3
"""Checks conformance.exe's JUnit file against what the run printed.

    check_junit.py RUNNER CONFORMANCE_EXE STAND_IN_EXE WORK_DIR

Runs CONFORMANCE_EXE through RUNNER (scripts/wine-run.sh or wine10-run.sh) on the tests whose
names contain "Command", with STAND_IN_EXE (a program that only ends with 0) as Mordelt.exe,
so that some tests pass, some fail (with texts that hold quotes and angle brackets: the usage
text) and some skip, and --junit WORK_DIR/conformance.xml. The file must parse, and hold every test that ran,
with its result, in the order of the run, the counts of its suite, and each failure's text and
each skip's reason as printed. Exit status 77 (skipped) where the runner says the architecture
cannot run here.
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    runner, conformance, stand_in, work = sys.argv[1:5]
    os.makedirs(work, exist_ok=True)
    junit = os.path.join(work, "conformance.xml")
    if os.path.exists(junit):
        os.remove(junit)
    environment = dict(os.environ, MORDELT_EXE=windows_path(stand_in))
    run = subprocess.run([runner, conformance, "--junit", windows_path(junit), "Command"],
                         env=environment, stdout=subprocess.PIPE, check=False)
    printed = run.stdout.decode("latin-1").replace("\r\n", "\n")
    if run.returncode == 77:
        print(printed)
        return 77
    problems = []
    if run.returncode != 1 or "cannot write" in printed:
        problems.append(f"exit status {run.returncode}, not 1, or the file was not written")

    results = re.findall(r"^\[ +(OK|FAILED|SKIPPED) +\] (\w+)(?:: (.*))?$", printed, re.M)
    summary = re.search(r"^conformance: (\d+) passed, (\d+) failed, (\d+) skipped$", printed, re.M)
    suite = ElementTree.parse(junit).getroot().find("testsuite")
    cases = suite.findall("testcase")
    kinds = {"OK": None, "FAILED": "failure", "SKIPPED": "skipped"}
    if [(kinds[result], name) for result, name, _ in results] != [
            (next((child.tag for child in case), None), case.get("name")) for case in cases]:
        problems.append("the file's tests and results differ from the run's")
    counts = [len(cases), len(suite.findall("testcase/failure")),
              len(suite.findall("testcase/skipped"))]
    if summary is None or counts != [int(summary[1]) + int(summary[2]) + int(summary[3]),
                                     int(summary[2]), int(summary[3])]:
        problems.append(f"tests, failures, skipped {counts} differ from the summary")
    if [int(suite.get(name)) for name in ("tests", "failures", "skipped")] != counts:
        problems.append("the suite's counts differ from its test cases")
    if min(counts[0] - counts[1] - counts[2], counts[1], counts[2]) < 1:
        problems.append(f"the run needs passed, failed and skipped tests: {counts}")
    # What each test printed, from its RUN line to its result.
    printed_by = dict(re.findall(r"(?ms)^\[ RUN +\] (\w+)$(.*?)^\[ +(?:OK|FAILED|SKIPPED) +\] \1",
                                 printed))
    for case in cases:
        for failure in case.findall("failure"):
            reported = re.split(r"(?m)^(?=\S+:\d+: failure$)", failure.text or "")
            if not failure.get("message") or any(
                    one not in printed_by.get(case.get("name"), "") for one in reported):
                problems.append(f"a failure's text is not what its test printed: {reported[:2]!r}")
    if "<path in registry>" not in "".join(f.text or "" for f in suite.iter("failure")):
        problems.append("no failure's text holds the usage text's angle brackets")
    reasons = [reason for result, _, reason in results if result == "SKIPPED"]
    if [skip.get("message") for skip in suite.iter("skipped")] != reasons:
        problems.append("the skip reasons differ from the run's")

    for problem in problems:
        print("check_junit:", problem)
    print(f"check_junit: {counts[0]} tests, {counts[1]} failed, {counts[2]} skipped;",
          "the JUnit file agrees with the run" if not problems else "FAILED")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
