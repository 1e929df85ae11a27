// The setup.exe examples of the reference manual (docs/manual.md), run through setup's whole
// start-up (splitter, shell, launch sequence) over the fakes: the exit code, the text written
// and the installer command that each example shows ("starts: ..."), or that nothing is started.
// The conformance program runs the same examples against the real programs, except those that
// start msiexec; their installer commands are checked here.
//
// The manual is looked for where MANUAL_MD points, else as docs/manual.md in the current
// directory or one of the directories above it (ctest runs the tests in build/<preset>).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/app_shell.h"
#include "setup/launch_sequence.h"
#include "tests/conformance/manual_transcript.h"
#include "tests/fakes/fake_platform.h"

namespace {

std::string FindManual() {
  const char* fromEnvironment = std::getenv("MANUAL_MD");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  std::string dir = ".";
  for (int up = 0; up < 8; ++up, dir += "/..") {
    std::string text;
    if (manual::ReadTextFile(dir + "/docs/manual.md", &text)) return dir + "/docs/manual.md";
  }
  return "";
}

// The text as the fake console records it: printf's "\n", not the CR LF that a file shows.
std::string WithLineFeeds(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

struct Where {
  int line;
  std::string command;
};

std::string Describe(const Where& where) {
  return "docs/manual.md:" + std::to_string(where.line) + ": " + where.command;
}

// Runs one setup.exe step, with the files of the current directory, and checks what it shows.
void CheckSetupStep(const manual::Step& step, const std::vector<std::string>& files) {
  SCOPED_TRACE(Describe({step.line, step.command}));
  const manual::ProgramStep expected = manual::ReadProgramStep(step);
  ASSERT_EQ(expected.error, "");

  fakes::FakePlatform fake;
  for (const std::string& name : files) fake.files.AddFile(name, "");
  common::ShellState shell;
  const common::CommandResult result = common::RunStartupSequence(
      fake.platform, shell, nullptr, expected.text.c_str(), 1, setup::kSetupProgram);

  EXPECT_EQ(static_cast<unsigned long>(result.exitCode), expected.exitCode);
  EXPECT_EQ(fake.console.output, WithLineFeeds(expected.output));
  if (expected.starts == "nothing") {
    EXPECT_TRUE(fake.processes.creations.empty());
  } else {
    ASSERT_EQ(fake.processes.creations.size(), 1u);
    EXPECT_EQ(fake.processes.creations[0].commandLine, expected.starts);
    ASSERT_TRUE(fake.processes.creations[0].applicationName.has_value());
    EXPECT_EQ(*fake.processes.creations[0].applicationName,
              fake.processes.systemDirectory + "\\msiexec.exe");
  }
  EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST(ManualSetupExamples, EveryExampleShowsWhatSetupDoes) {
  const std::string path = FindManual();
  std::string markdown;
  ASSERT_TRUE(manual::ReadTextFile(path, &markdown))
      << "docs/manual.md not found from the current directory; set MANUAL_MD";

  int setupSteps = 0;
  int startingSteps = 0;
  for (const manual::Example& example : manual::ParseExamples(markdown)) {
    EXPECT_EQ(example.error, "") << "docs/manual.md:" << example.line;
    // The files that the example starts with: a "dir /b" before the first program step.
    std::vector<std::string> files;
    bool programSeen = false;
    for (const manual::Step& step : example.steps) {
      std::string program;
      std::string text;
      if (manual::IsProgramCommand(step.command, &program, &text)) {
        programSeen = true;
        if (program != "setup.exe") continue;
        CheckSetupStep(step, files);
        ++setupSteps;
        if (manual::ReadProgramStep(step).starts != "nothing") ++startingSteps;
      } else if (step.command.compare(0, 6, "dir /b") == 0 && !programSeen) {
        for (const std::string& name : step.shown) {
          if (!name.empty() && name != "File Not Found") files.push_back(name);
        }
      }
    }
  }
  // The manual shows setup in over twenty steps; far fewer means that they were not found.
  EXPECT_GE(setupSteps, 20);
  EXPECT_GE(startingSteps, 8);
}

// The transcript reader itself: the notation the manual's examples are written in.
TEST(ManualTranscript, ReadsStepsOutputLineEndsAndExitCodes) {
  const std::string markdown =
      "# Heading\n"
      "```text\n"
      "C:\\Setup> not an example\n"
      "```\n"
      "```example\n"
      "C:\\Setup> type a.txt\n"
      "first\n"
      "second\n"
      "[no line end]\n"
      "C:\\Setup> Mordelt.exe -delregfromfile*a.txt\n"
      "Error: the number of error is 2\n"
      "[no line end]\n"
      "exit code 6\n"
      "C:\\Setup> setup.exe -i a.msi\n"
      "starts: msiexec  /i  a.msi\n"
      "exit code 0\n"
      "```\n"
      "```example\n"
      "stray line\n"
      "```\n";
  const std::vector<manual::Example> examples = manual::ParseExamples(markdown);
  ASSERT_EQ(examples.size(), 2u);
  EXPECT_EQ(examples[0].heading, "# Heading");
  EXPECT_EQ(examples[0].error, "");
  ASSERT_EQ(examples[0].steps.size(), 3u);
  EXPECT_EQ(examples[0].steps[0].line, 6);
  EXPECT_EQ(manual::FileBytes(examples[0].steps[0].shown), "first\r\nsecond");

  const manual::ProgramStep mordelt = manual::ReadProgramStep(examples[0].steps[1]);
  EXPECT_EQ(mordelt.error, "");
  EXPECT_EQ(mordelt.program, "Mordelt.exe");
  EXPECT_EQ(mordelt.text, "-delregfromfile*a.txt");
  EXPECT_EQ(mordelt.output, "Error: the number of error is 2");
  EXPECT_EQ(mordelt.exitCode, 6u);

  const manual::ProgramStep setup = manual::ReadProgramStep(examples[0].steps[2]);
  EXPECT_EQ(setup.error, "");
  EXPECT_EQ(setup.starts, "msiexec  /i  a.msi");
  EXPECT_EQ(setup.output, "");

  EXPECT_NE(examples[1].error, "");
}

TEST(ManualTranscript, RefusesStepsThatDoNotReadAsARun) {
  manual::Step step;
  step.command = "Mordelt.exe -rescan";
  EXPECT_NE(manual::ReadProgramStep(step).error, "");  // no exit code
  step.shown = {"exit code x"};
  EXPECT_NE(manual::ReadProgramStep(step).error, "");
  step.shown = {"exit code 0", "late output"};
  EXPECT_NE(manual::ReadProgramStep(step).error, "");
  step.shown = {"[no line end]", "exit code 0"};
  EXPECT_NE(manual::ReadProgramStep(step).error, "");
  step.command = "setup.exe -x";
  step.shown = {"exit code 0"};
  EXPECT_NE(manual::ReadProgramStep(step).error, "");  // setup steps say what they start
  step.shown = {"starts: nothing", "exit code 0"};
  EXPECT_EQ(manual::ReadProgramStep(step).error, "");
}

TEST(ManualTranscript, ReadsRedirectsAndStartWait) {
  manual::Step step;
  step.command = "Mordelt.exe -int > usage.txt";
  step.shown = {"exit code 1"};
  const manual::ProgramStep run = manual::ReadProgramStep(step);
  EXPECT_EQ(run.error, "");
  EXPECT_EQ(run.text, "-int");
  EXPECT_EQ(run.outputFile, "usage.txt");
  std::string command;
  EXPECT_TRUE(manual::IsStartWait("start /wait Mordelt.exe -rescan", &command));
  EXPECT_EQ(command, "Mordelt.exe -rescan");
  EXPECT_FALSE(manual::IsStartWait("Mordelt.exe -rescan", &command));
}

TEST(ManualTranscript, SplitsToolCommandsIntoWords) {
  EXPECT_EQ(manual::Words("reg query \"HKLM\\SOFTWARE\\Example Tools\" /v \"Install Dir\""),
            (std::vector<std::string>{"reg", "query", "HKLM\\SOFTWARE\\Example Tools", "/v",
                                      "Install Dir"}));
  EXPECT_EQ(manual::Words("  dir   /b "), (std::vector<std::string>{"dir", "/b"}));
}

}  // namespace
