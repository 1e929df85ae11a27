// The harness itself: a run ends every process that its program started and left running, when
// the program ends and when it is ended after its timeout; an msiexec left running would hold
// the installer's mutex and fail every later installation.
#include "tests/conformance/harness.h"

#include <windows.h>

#include <string>

namespace conformance {
namespace {

CONFORMANCE_TEST(HarnessEndsWhatARunLeftRunning) {
  // cmd.exe runs a second cmd.exe that marks that it started, waits about six seconds and marks
  // that it is still there. With "start /b" the first one gives it two seconds to start and
  // ends; without, it waits for it and is ended after the timeout.
  const std::string second =
      "cmd /d /c \"echo x>started.txt & ping -n 7 127.0.0.1 >NUL & echo x>late.txt\"";
  struct Row {
    std::string command;
    DWORD timeout_ms;
  };
  for (const Row& row :
       {Row{"/d /c start \"\" /b " + second + " & ping -n 3 127.0.0.1 >NUL", 60000},
        Row{"/d /c " + second, 4000}}) {
    TempDir dir;
    RunOptions options;
    options.current_dir = dir.path();
    options.timeout_ms = row.timeout_ms;
    const RunResult result = Run(SystemProgram("cmd.exe"), row.command, options);
    CHECK(result.started);
    CHECK_EQ(result.timed_out, row.timeout_ms < 60000);
    REQUIRE(FileExists(dir.File("started.txt")));
    Sleep(6000);
    CHECK(!FileExists(dir.File("late.txt")));
  }
}

}  // namespace
}  // namespace conformance
