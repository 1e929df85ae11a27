// "-importreg": Mordelt starts reg.exe of the system directory with
// ` import "file"` and ends with 0 whenever reg.exe ran. Both programs answer
// the messages sent to their window while they wait for their child.
#include <windows.h>

#include <string>

#include "tests/conformance/harness.h"

namespace {

using conformance::GetEnv;
using conformance::ReadFileBytes;
using conformance::ReadValue;
using conformance::Run;
using conformance::RunResult;

std::string RegistryFile(const std::string& key, const std::string& name, const std::string& data) {
  return "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + key + "]\r\n\"" +
         name + "\"=\"" + data + "\"\r\n";
}

CONFORMANCE_TEST(ImportRegImportsARegistryFileThroughRegExe) {
  conformance::ScopedTestKey scoped;
  conformance::TempDir dir;
  const std::string key = std::string(conformance::kTestKey) + "\\Imported";
  // A blank in the file name: the file name reaches reg.exe in quotation marks.
  const std::string file = dir.File("imported settings.reg");
  REQUIRE(conformance::WriteFileBytes(file, RegistryFile(key, "Greeting", "imported by reg.exe")));

  const RunResult result = Run(conformance::MordeltExe(), "-importreg*import*" + file);
  CHECK(result.started);
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
  DWORD type = 0;
  std::string data;
  CHECK(ReadValue(key, "Greeting", &type, &data));
  CHECK_EQ(type, static_cast<DWORD>(REG_SZ));
  CHECK_EQ(data, "imported by reg.exe");
}

CONFORMANCE_TEST(ImportRegIsComparedOverEightCharacters) {
  conformance::ScopedTestKey scoped;
  conformance::TempDir dir;
  const std::string key = std::string(conformance::kTestKey) + "\\Prefix";
  const std::string file = dir.File("prefix.reg");
  REQUIRE(conformance::WriteFileBytes(file, RegistryFile(key, "Short", "importr")));

  const RunResult result = Run(conformance::MordeltExe(), "-importr*import*" + file);
  CHECK_EQ(result.exit_code, 0u);
  CHECK(conformance::ValueExists(key, "Short"));
}

CONFORMANCE_TEST(ImportRegOfAMissingFileStillEndsWithZero) {
  conformance::TempDir dir;
  const std::string missing = dir.File("no such file.reg");
  // reg.exe itself fails on the missing file ...
  const RunResult tool =
      conformance::RunRaw(conformance::SystemProgram("reg.exe"),
                          "reg.exe import \"" + missing + "\"", conformance::RunOptions());
  REQUIRE(tool.started);
  CHECK(tool.exit_code != 0);
  // ... but it ran, and that is all Mordelt reports.
  const RunResult result = Run(conformance::MordeltExe(), "-importreg*import*" + missing);
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
}

CONFORMANCE_TEST(ImportRegWithAnUnknownSubcommandStillEndsWithZero) {
  const RunResult result = Run(conformance::MordeltExe(), "-importreg*frobnicate*x.reg");
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
}

// A program file of the system directory replaced by window_sender.exe for the life of the
// object, and put back afterwards. Under Wine only (see RequireStandInSystemPrograms). The system
// directory is that of this process, so a 32-bit run replaces the 32-bit program (syswow64), as
// the 32-bit programs start it.
class ScopedStandInSystemProgram {
 public:
  explicit ScopedStandInSystemProgram(const char* fileName) {
    path_ = conformance::SystemProgram(fileName);
    saved_ = path_ + ".conformance-saved";
    if (MoveFileA(path_.c_str(), saved_.c_str()) == 0) return;
    moved_ = true;
    placed_ = CopyFileA((conformance::TestProgramDir() + "\\window_sender.exe").c_str(),
                        path_.c_str(), TRUE) != 0;
  }
  ~ScopedStandInSystemProgram() {
    if (!moved_) return;
    // A stand-in that a timed-out test left running holds its file for a moment.
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (MoveFileExA(saved_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return;
      Sleep(100);
    }
    conformance::ReportFailure(CONFORMANCE_HERE, "cannot put " + saved_ + " back");
  }
  ScopedStandInSystemProgram(const ScopedStandInSystemProgram&) = delete;
  ScopedStandInSystemProgram& operator=(const ScopedStandInSystemProgram&) = delete;

  bool placed() const { return placed_; }

 private:
  std::string path_;
  std::string saved_;
  bool moved_ = false;
  bool placed_ = false;
};

// Skips the test unless a stand-in for the system's programs can be started here. Never on
// Windows: there reg.exe and msiexec.exe of the system folder belong to TrustedInstaller and are
// kept by Windows Resource Protection, and the Windows Installer service itself starts
// msiexec.exe, so no replacement is safe or surely undone.
void RequireStandInSystemPrograms() {
  if (!conformance::UnderWine()) {
    SKIP_TEST(
        "NOT RUN on Windows: it would replace reg.exe and msiexec.exe of the system folder; "
        "needs Wine with WINEDLLOVERRIDES=reg.exe,msiexec.exe=n");
  }
  // Wine reads the overrides when a process starts, from its Unix environment.
  if (GetEnv("WINEDLLOVERRIDES").find("reg.exe,msiexec.exe=n") == std::string::npos) {
    SKIP_TEST("NOT RUN: under Wine, needs WINEDLLOVERRIDES=reg.exe,msiexec.exe=n");
  }
}

// Runs `exe` with `command` while window_sender.exe stands in for the system program `fileName`;
// the child hands the program's window the message of WINDOW_SENDER_MESSAGE (by default it sends
// WM_NULL and waits for the answer) and ends within two seconds, and the program must end within
// a few seconds of it, having answered.
void CheckTheWaitAnswersTheWindow(const conformance::Location& where, const std::string& exe,
                                  const std::string& command, const char* fileName,
                                  const std::string& expectedMarker = "answered") {
  RequireStandInSystemPrograms();
  conformance::TempDir dir;
  ScopedStandInSystemProgram standIn(fileName);
  REQUIRE_AT(where, standIn.placed());

  conformance::RunOptions options;
  options.current_dir = dir.path();
  options.timeout_ms = 10000;
  const RunResult result = conformance::Run(exe, command, options);
  CHECK_AT(where, result.started);
  CHECK_AT(where, !result.timed_out);
  CHECK_EQ_AT(where, result.exit_code, 0u);
  CHECK_EQ_AT(where, result.output, "");
  std::string marker;
  CHECK_AT(where, ReadFileBytes(dir.File("window-sender.txt"), &marker));
  CHECK_EQ_AT(where, marker, expectedMarker);
}

CONFORMANCE_TEST(ChildSendingToTheWindowDoesNotHangMordelt) {
  CheckTheWaitAnswersTheWindow(CONFORMANCE_HERE, conformance::MordeltExe(),
                               "-importreg*import*settings.reg", "reg.exe");
}

CONFORMANCE_TEST(ChildSendingToTheWindowDoesNotHangSetup) {
  CheckTheWaitAnswersTheWindow(CONFORMANCE_HERE, conformance::SetupExe(), "-i Product.msi",
                               "msiexec.exe");
}

// A menu command or a system command that reaches the window while the program waits for its
// child, posted or sent: the About box and menu tracking are modal loops that would outlive the
// child. The window answers it with nothing, and the program ends with the child.
CONFORMANCE_TEST(ChildSendingToTheWindowAMenuCommandDoesNotStallTheWait) {
  struct Row {
    bool setup;
    const char* delivery;  // WM_COMMAND 104 (About), WM_SYSCOMMAND SC_KEYMENU
    const char* marker;
  };
  struct ClearOnExit {
    ~ClearOnExit() { SetEnvironmentVariableA("WINDOW_SENDER_MESSAGE", nullptr); }
  } clear;
  for (const Row& row :
       {Row{false, "post 273 104", "posted"}, Row{false, "send 273 104", "answered"},
        Row{false, "post 274 61696", "posted"}, Row{false, "send 274 61696", "answered"},
        Row{true, "post 273 104", "posted"}, Row{true, "send 273 104", "answered"},
        Row{true, "post 274 61696", "posted"}, Row{true, "send 274 61696", "answered"}}) {
    SetEnvironmentVariableA("WINDOW_SENDER_MESSAGE", row.delivery);  // the child inherits it
    if (row.setup) {
      CheckTheWaitAnswersTheWindow(CONFORMANCE_HERE, conformance::SetupExe(), "-i Product.msi",
                                   "msiexec.exe", row.marker);
    } else {
      CheckTheWaitAnswersTheWindow(CONFORMANCE_HERE, conformance::MordeltExe(),
                                   "-importreg*import*settings.reg", "reg.exe", row.marker);
    }
  }
}

}  // namespace
