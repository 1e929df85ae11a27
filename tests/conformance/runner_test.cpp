// "-importreg": Mordelt starts reg.exe of the system directory with
// ` import "file"` and ends with 0 whenever reg.exe ran.
#include <windows.h>

#include <string>

#include "tests/conformance/harness.h"

namespace {

using conformance::ReadValue;
using conformance::Run;
using conformance::RunResult;

const char kRegTool[] = "C:\\WINDOWS\\system32\\reg.exe";

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
  const RunResult tool = conformance::RunRaw(kRegTool, "reg.exe import \"" + missing + "\"",
                                             conformance::RunOptions());
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

}  // namespace
