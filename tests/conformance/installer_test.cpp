// Mordelt called by a real installer: a package built with wixl from tools/client.wxs installs
// this build's Mordelt.exe and runs it as deferred custom actions. The package has this build's
// architecture (the x86 package carries the 32-bit Mordelt.exe), and the system directory's
// msiexec installs it.
#include <windows.h>
// windows.h first: msi.h relies on its types.
#include <msi.h>

#include <string>

#include "tests/conformance/harness.h"

namespace {

using conformance::FileExists;
using conformance::RunResult;
using conformance::ValueExists;

const char kProductCode[] = "{7A31C0D4-2E5B-4F6A-8B9C-1D2E3F405161}";
const char kValuesKey[] = "SOFTWARE\\MordeltConformance\\Client";
const char kOptionsKey[] = "SOFTWARE\\MordeltConformance\\Client\\Options";

DWORD Msiexec(const std::string& arguments) {
  const RunResult result =
      conformance::RunRaw(conformance::SystemMsiexec(), "msiexec " + arguments);
  return result.started ? result.exit_code : ~0u;
}

// Where the package puts Mordelt.exe: Program Files of this program's architecture.
std::string InstalledTool() {
  return conformance::GetEnv("ProgramFiles") + "\\MordeltInstallerClient\\Mordelt.exe";
}

bool Installed() { return MsiQueryProductStateA(kProductCode) == INSTALLSTATE_DEFAULT; }

// The product removed and the test key gone, when made and when destroyed; first it waits while
// another installation runs.
class ScopedClient {
 public:
  ScopedClient() {
    conformance::WaitForOtherInstallations();
    Remove();
  }
  ~ScopedClient() { Remove(); }
  ScopedClient(const ScopedClient&) = delete;
  ScopedClient& operator=(const ScopedClient&) = delete;

 private:
  static void Remove() {
    if (Installed()) Msiexec(std::string("/x ") + kProductCode + " /quiet");
    conformance::DeleteKeyTree(conformance::kTestKey);
  }
};

std::string Package() { return conformance::TestProgramDir() + "\\conformance-client.msi"; }

bool NothingInstalled() {
  return !Installed() && !FileExists(InstalledTool()) && !ValueExists(kValuesKey, "Version") &&
         !ValueExists(kOptionsKey, "Mode");
}

CONFORMANCE_TEST(InstallerAppliesTheScriptOnInstallAndRemovesItsValuesOnUninstall) {
  ScopedClient client;
  CHECK_EQ(Msiexec("/i \"" + Package() + "\" /quiet"), 0u);
  CHECK(Installed());
  CHECK(FileExists(InstalledTool()));
  DWORD type = 0;
  std::string data;
  CHECK(conformance::ReadValue(kValuesKey, "Version", &type, &data) && data == "1.0");
  CHECK(conformance::ReadValue(kOptionsKey, "Mode", &type, &data) && data == "auto");

  CHECK_EQ(Msiexec(std::string("/x ") + kProductCode + " /quiet"), 0u);
  CHECK(NothingInstalled());
}

// Mordelt ends with 6 before the script is applied; msiexec fails and rolls back. Windows
// answers 1603 (ERROR_INSTALL_FAILURE), Wine 1627 (ERROR_FUNCTION_FAILED).
CONFORMANCE_TEST(InstallerFailsAndRollsBackWhenMordeltFails) {
  ScopedClient client;
  const DWORD status = Msiexec("/i \"" + Package() + "\" REMOVEOLDTOOL=1 /quiet");
  CHECK_EQ(status, static_cast<DWORD>(conformance::UnderWine() ? ERROR_FUNCTION_FAILED
                                                               : ERROR_INSTALL_FAILURE));
  CHECK(NothingInstalled());
}

// setup runs the same installations; it ends with 0 whatever msiexec answers.
CONFORMANCE_TEST(InstallerPackagesThroughSetup) {
  ScopedClient client;
  conformance::TempDir dir;
  REQUIRE(CopyFileA(Package().c_str(), dir.File("Client.msi").c_str(), FALSE) != 0);
  const auto setup = [&](const char* arguments) {
    return conformance::Run(conformance::SetupExe(), arguments, dir.path()).exit_code;
  };

  CHECK_EQ(setup("-i Client.msi -s"), 0u);
  CHECK(Installed());
  CHECK(ValueExists(kOptionsKey, "Mode"));
  CHECK_EQ(setup("-u Client.msi -s"), 0u);
  CHECK(NothingInstalled());

  CHECK_EQ(setup("-i Client.msi REMOVEOLDTOOL=1 -s"), 0u);
  CHECK(NothingInstalled());
}

}  // namespace
