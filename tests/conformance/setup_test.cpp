// setup.exe with the real msiexec: a one-file package (conformance-product.msi,
// built beside conformance.exe) is installed and removed through setup's
// options, and an msiexec.exe planted beside setup.exe and in the current
// directory is never the one that runs.
#include <windows.h>

#include <string>

#include "tests/conformance/harness.h"
#include "tests/conformance/test_package.h"
#include "tests/unit/setup_texts.h"

namespace {

using conformance::FileExists;
using conformance::InstalledFile;
using conformance::kProductCode;
using conformance::PackageSource;
using conformance::Run;
using conformance::RunResult;
using conformance::ScopedProductRemoval;
using conformance::TempDir;

const char kPlantedMarker[] = "planted-msiexec-ran.txt";

// A current directory that holds the package as "Product.msi".
void PutPackage(const TempDir& dir, const std::string& name = "Product.msi") {
  REQUIRE(CopyFileA(PackageSource().c_str(), dir.File(name).c_str(), FALSE) != 0);
}

CONFORMANCE_TEST(SetupPackageIsBuiltBesideTheTests) { CHECK(FileExists(PackageSource())); }

CONFORMANCE_TEST(SetupWithoutArgumentsInstallsThePackageOfTheCurrentDirectory) {
  ScopedProductRemoval removal;
  TempDir dir;
  PutPackage(dir);
  REQUIRE(!FileExists(InstalledFile()));

  const RunResult result = Run(conformance::SetupExe(), "", dir.path());
  CHECK(result.started);
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
  CHECK(FileExists(InstalledFile()));
}

CONFORMANCE_TEST(SetupUninstallsQuietlyAndWritesTheLog) {
  ScopedProductRemoval removal;
  TempDir dir;
  PutPackage(dir);
  REQUIRE(Run(conformance::SetupExe(), "-i Product.msi -s", dir.path()).exit_code == 0);
  REQUIRE(FileExists(InstalledFile()));

  const RunResult result =
      Run(conformance::SetupExe(), "-u Product.msi -s -l uninstall.log", dir.path());
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
  CHECK(!FileExists(InstalledFile()));
  std::string log;
  CHECK(conformance::ReadFileBytes(dir.File("uninstall.log"), &log));
  CHECK(!log.empty());
}

CONFORMANCE_TEST(SetupQuietWithLogInstallsTheDiscoveredPackage) {
  ScopedProductRemoval removal;
  TempDir dir;
  PutPackage(dir);

  const RunResult result = Run(conformance::SetupExe(), "-s -l setup.log", dir.path());
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
  CHECK(FileExists(InstalledFile()));
  CHECK(FileExists(dir.File("setup.log")));
}

CONFORMANCE_TEST(SetupNeverStartsAnMsiexecPlantedBesideItOrInTheCurrentDirectory) {
  ScopedProductRemoval removal;
  TempDir dir;
  PutPackage(dir);
  const std::string planted = dir.File("msiexec.exe");
  REQUIRE(CopyFileA((conformance::TestProgramDir() + "\\planted_msiexec.exe").c_str(),
                    planted.c_str(), FALSE) != 0);
  const std::string setupCopy = dir.File("setup.exe");
  REQUIRE(CopyFileA(conformance::SetupExe().c_str(), setupCopy.c_str(), FALSE) != 0);

  // The planted program does leave its marker when it is started.
  const RunResult probe = conformance::RunRaw(planted, "msiexec /i Product.msi", [&] {
    conformance::RunOptions options;
    options.current_dir = dir.path();
    return options;
  }());
  if (!probe.started && conformance::RefusedByPolicy(probe.start_error)) {
    SKIP_TEST("NOT RUN: this machine's policy refuses programs of the temporary folder, error " +
              std::to_string(probe.start_error) + "; needs a machine that lets them run");
  }
  REQUIRE(probe.started);
  REQUIRE(FileExists(dir.File(kPlantedMarker)));
  REQUIRE(DeleteFileA(dir.File(kPlantedMarker).c_str()) != 0);

  for (const char* arguments : {"-s", "-i Product.msi -s"}) {
    const RunResult result = Run(setupCopy, arguments, dir.path());
    CHECK_EQ(result.exit_code, 0u);
    CHECK(!FileExists(dir.File(kPlantedMarker)));
    CHECK(FileExists(InstalledFile()));
  }
}

CONFORMANCE_TEST(SetupPassesNoExitCodeOfMsiexecOn) {
  TempDir dir;
  // msiexec fails on a package that does not exist; setup still ends with 0.
  const RunResult result = Run(conformance::SetupExe(), "-i Missing.msi -s", dir.path());
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
}

CONFORMANCE_TEST(SetupWithoutPackageOrActionEndsWithOneAndWritesNothing) {
  TempDir dir;
  for (const char* arguments : {"", "-s", "-l setup.log"}) {
    const RunResult result = Run(conformance::SetupExe(), arguments, dir.path());
    CHECK_EQ(result.exit_code, 1u);
    CHECK_EQ(result.output, "");
  }
  CHECK(!FileExists(dir.File("setup.log")));
}

CONFORMANCE_TEST(SetupRefusesAnInstallerCommandLongerThan2047Characters) {
  ScopedProductRemoval removal;
  TempDir dir;
  PutPackage(dir);
  const std::string log(2100, 'l');
  const RunResult result = Run(conformance::SetupExe(), "-s -l " + log, dir.path());
  CHECK_EQ(result.exit_code, 1u);
  CHECK_EQ(result.output.rfind("Setup:Error: ", 0), 0u);
  CHECK(result.output.size() >= 2 &&
        result.output.compare(result.output.size() - 2, 2, "\r\n") == 0);
  CHECK(!FileExists(InstalledFile()));
}

CONFORMANCE_TEST(SetupKeepsAHyphenInsideAValue) {
  ScopedProductRemoval removal;
  TempDir dir;
  REQUIRE(CreateDirectoryA(dir.File("jean-luc").c_str(), nullptr) != 0);
  PutPackage(dir, "jean-luc\\my-product.msi");

  const RunResult install =
      Run(conformance::SetupExe(), "-i jean-luc\\my-product.msi -s -l 2024-06-01.log", dir.path());
  CHECK_EQ(install.exit_code, 0u);
  CHECK_EQ(install.output, "");
  CHECK(FileExists(InstalledFile()));
  CHECK(FileExists(dir.File("2024-06-01.log")));

  // A product code is one value too.
  const RunResult remove =
      Run(conformance::SetupExe(), std::string("-u ") + kProductCode + " -s", dir.path());
  CHECK_EQ(remove.exit_code, 0u);
  CHECK_EQ(remove.output, "");
  CHECK(!FileExists(InstalledFile()));
}

// The first entry that a search for "*.msi" lists in the directory, or "".
std::string FirstListed(const TempDir& dir) {
  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA(dir.File("*.msi").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::string();
  FindClose(search);
  return found.cFileName;
}

CONFORMANCE_TEST(SetupDiscoveryTakesTheFirstPackageFileAndQuotesItsName) {
  struct Row {
    const char* folder;   // a folder made first, or null
    const char* decoys;   // copies of the package whose long names do not end in ".msi"
    const char* package;  // the package, or null
  };
  for (const Row& row : {
           Row{"A.msi", nullptr, "Product.msi"},
           Row{nullptr, "App.msix|Product.msi_old", nullptr},
           Row{nullptr, nullptr, "My Product.msi"},
       }) {
    ScopedProductRemoval removal;
    TempDir dir;
    std::string first;
    if (row.folder != nullptr) {
      REQUIRE(CreateDirectoryA(dir.File(row.folder).c_str(), nullptr) != 0);
      first = row.folder;
    }
    if (row.decoys != nullptr) {
      const std::string decoys = row.decoys;
      const std::size_t bar = decoys.find('|');
      PutPackage(dir, decoys.substr(0, bar));
      PutPackage(dir, decoys.substr(bar + 1));
      first = FirstListed(dir);
      // The search lists them through their short names, or lists nothing where the volume makes
      // no short names (a Dev Drive, many server data volumes).
      REQUIRE(first.empty() || first == decoys.substr(0, bar) || first == decoys.substr(bar + 1));
    }
    if (row.package != nullptr) PutPackage(dir, row.package);
    // What the search lists first is no package file.
    if (!first.empty()) REQUIRE(FirstListed(dir) == first);

    const RunResult result = Run(conformance::SetupExe(), "-s", dir.path());
    CHECK_EQ(result.exit_code, row.package != nullptr ? 0u : 1u);
    CHECK_EQ(result.output, "");
    CHECK_EQ(FileExists(InstalledFile()), row.package != nullptr);
  }
}

CONFORMANCE_TEST(SetupOptionErrorsWriteTheirMessageAndStartNothing) {
  TempDir dir;
  PutPackage(dir);
  struct Case {
    const char* arguments;
    const char* output;
  };
  for (const Case& c : {
           Case{"-i a.msi -u b.msi", testing_support::kUninstallWithInstall},
           Case{"-i a.msi -i", testing_support::kInstallWithUninstall},
           Case{"-u", testing_support::kNoMsiFile},
           Case{"-l", testing_support::kNoLogFile},
       }) {
    const RunResult result = Run(conformance::SetupExe(), c.arguments, dir.path());
    CHECK_EQ(result.exit_code, 1u);
    CHECK_EQ(result.output, conformance::ConsoleText(c.output));
  }
  CHECK(!FileExists(InstalledFile()));
}

}  // namespace
