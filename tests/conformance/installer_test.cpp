// Mordelt called by a real installer: packages built with wixl from tools/client.wxs and
// tools/client-failing.wxs install this build's Mordelt.exe and run it as deferred custom
// actions. The packages have this build's architecture (x86 packages carry the 32-bit
// Mordelt.exe), and the system directory's msiexec installs them.
#include <windows.h>
// windows.h first: msi.h relies on its types.
#include <msi.h>

#include <string>

#include "tests/conformance/harness.h"

namespace {

using conformance::FileExists;
using conformance::RunResult;
using conformance::ValueExists;

struct ClientPackage {
  const char* file;          // beside conformance.exe
  const char* product_code;  // of the wxs source
  const char* folder;        // below Program Files
};
const ClientPackage kClient = {"conformance-client.msi", "{7A31C0D4-2E5B-4F6A-8B9C-1D2E3F405161}",
                               "MordeltInstallerClient"};
const ClientPackage kFailing = {"conformance-client-failing.msi",
                                "{7A31C0D4-2E5B-4F6A-8B9C-1D2E3F405171}", "MordeltFailingClient"};

const char kValuesKey[] = "SOFTWARE\\MordeltConformance\\Client";
const char kOptionsKey[] = "SOFTWARE\\MordeltConformance\\Client\\Options";

DWORD Msiexec(const std::string& arguments) {
  char directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  const RunResult result =
      conformance::RunRaw(std::string(directory, length) + "\\msiexec.exe", "msiexec " + arguments);
  return result.started ? result.exit_code : ~0u;
}

// Program Files of this program's architecture: where a package of that architecture installs.
std::string InstalledTool(const ClientPackage& package) {
  return conformance::GetEnv("ProgramFiles") + "\\" + package.folder + "\\Mordelt.exe";
}

bool Installed(const ClientPackage& package) {
  return MsiQueryProductStateA(package.product_code) == INSTALLSTATE_DEFAULT;
}

// Both products removed and the test key gone, when made and when destroyed.
class ScopedClients {
 public:
  ScopedClients() { Remove(); }
  ~ScopedClients() { Remove(); }
  ScopedClients(const ScopedClients&) = delete;
  ScopedClients& operator=(const ScopedClients&) = delete;

 private:
  static void Remove() {
    for (const ClientPackage* package : {&kClient, &kFailing}) {
      if (Installed(*package)) Msiexec(std::string("/x ") + package->product_code + " /quiet");
    }
    conformance::DeleteKeyTree(conformance::kTestKey);
  }
};

std::string PackagePath(const ClientPackage& package) {
  return conformance::TestProgramDir() + "\\" + package.file;
}

CONFORMANCE_TEST(InstallerAppliesTheScriptOnInstallAndRemovesItsValuesOnUninstall) {
  ScopedClients clients;
  REQUIRE(!ValueExists(kValuesKey, "Version"));

  CHECK_EQ(Msiexec("/i \"" + PackagePath(kClient) + "\" /quiet"), 0u);
  CHECK(Installed(kClient));
  CHECK(FileExists(InstalledTool(kClient)));
  DWORD type = 0;
  std::string data;
  CHECK(conformance::ReadValue(kValuesKey, "Version", &type, &data) && data == "1.0");
  CHECK(conformance::ReadValue(kOptionsKey, "Mode", &type, &data) && data == "auto");

  CHECK_EQ(Msiexec(std::string("/x ") + kClient.product_code + " /quiet"), 0u);
  CHECK(!Installed(kClient));
  CHECK(!FileExists(InstalledTool(kClient)));
  CHECK(!ValueExists(kValuesKey, "Version"));
  CHECK(!ValueExists(kOptionsKey, "Mode"));
}

// Mordelt ends with 6; msiexec fails and rolls back. Windows answers 1603
// (ERROR_INSTALL_FAILURE), Wine 1627 (ERROR_FUNCTION_FAILED).
CONFORMANCE_TEST(InstallerFailsAndRollsBackWhenMordeltFails) {
  ScopedClients clients;
  const DWORD status = Msiexec("/i \"" + PackagePath(kFailing) + "\" /quiet");
  CHECK(status == ERROR_INSTALL_FAILURE || status == ERROR_FUNCTION_FAILED);
  CHECK(!Installed(kFailing));
  CHECK(!FileExists(InstalledTool(kFailing)));
}

// setup runs the same installations; it ends with 0 whatever msiexec answers.
CONFORMANCE_TEST(InstallerPackagesThroughSetup) {
  ScopedClients clients;
  conformance::TempDir dir;
  REQUIRE(CopyFileA(PackagePath(kClient).c_str(), dir.File("Client.msi").c_str(), FALSE) != 0);
  REQUIRE(CopyFileA(PackagePath(kFailing).c_str(), dir.File("Failing.msi").c_str(), FALSE) != 0);

  CHECK_EQ(conformance::Run(conformance::SetupExe(), "-i Client.msi -s", dir.path()).exit_code, 0u);
  CHECK(Installed(kClient));
  CHECK(ValueExists(kOptionsKey, "Mode"));
  CHECK_EQ(conformance::Run(conformance::SetupExe(), "-u Client.msi -s", dir.path()).exit_code, 0u);
  CHECK(!Installed(kClient));
  CHECK(!ValueExists(kOptionsKey, "Mode"));

  CHECK_EQ(conformance::Run(conformance::SetupExe(), "-i Failing.msi -s", dir.path()).exit_code,
           0u);
  CHECK(!Installed(kFailing));
  CHECK(!FileExists(InstalledTool(kFailing)));
}

}  // namespace
