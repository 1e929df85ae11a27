// Unicode callers: the programs started through CreateProcessW, as Explorer, services and msiexec
// start them, from a folder and with command texts that hold characters the ANSI code page
// lacks. The system's 8-bit command line turns such characters into look-alikes (U+FF02 into a
// double quote, U+FF0A into "*") or into "?"; the programs must neither follow a forged quote or
// star nor act on a changed text.
#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/conformance/harness.h"
#include "tests/conformance/test_package.h"
#include "tests/unit/mordelt_usage.h"

namespace {

using conformance::ConsoleText;
using conformance::FileExists;
using conformance::KeyExists;
using conformance::kTestKey;
using conformance::RunResult;
using conformance::TempDir;
using conformance::Widen;

// A test shows something only where the ANSI code page holds none of the characters it uses
// (1252 and the other Western code pages hold none of them): anywhere else it is not run, and
// says so.
void RequireCodePageWithout(std::initializer_list<wchar_t> characters) {
  const UINT codePage = GetACP();
  for (const wchar_t character : characters) {
    char bytes[8];
    BOOL usedDefault = FALSE;
    const bool utf8 = codePage == CP_UTF8;
    const int length =
        WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, &character, 1, bytes,
                            sizeof bytes, nullptr, utf8 ? nullptr : &usedDefault);
    if (length > 0 && !usedDefault) {
      char reason[160];
      std::snprintf(reason, sizeof reason,
                    "NOT RUN: the ANSI code page %u holds U+%04X; this test needs one without it, "
                    "such as 1252",
                    codePage, static_cast<unsigned>(character));
      SKIP_TEST(reason);
    }
  }
}

// Folders made one inside the other (wide names) and a file in the innermost, removed in the
// reverse order at the end of the scope; TempDir's own removal sees only 8-bit names.
class WideFolders {
 public:
  WideFolders(const std::string& parent, const std::vector<std::wstring>& names) {
    std::wstring path = Widen(parent);
    for (const std::wstring& name : names) {
      path += L"\\" + name;
      if (CreateDirectoryW(path.c_str(), nullptr) == 0) break;
      made_.push_back(path);
    }
  }
  ~WideFolders() {
    if (!file_.empty()) DeleteFileW(file_.c_str());
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) RemoveDirectoryW(it->c_str());
  }
  WideFolders(const WideFolders&) = delete;
  WideFolders& operator=(const WideFolders&) = delete;

  bool complete(std::size_t count) const { return made_.size() == count; }
  // A copy of `source` in the innermost folder, by the file name `name`; "" when it fails.
  std::wstring CopyIn(const std::string& source, const std::wstring& name) {
    file_ = made_.back() + L"\\" + name;
    if (CopyFileW(Widen(source).c_str(), file_.c_str(), FALSE) == 0) file_.clear();
    return file_;
  }

 private:
  std::vector<std::wstring> made_;
  std::wstring file_;
};

// A folder named «a＂ -add＊Software\MordeltConformance\Evil＊N＊» holding Mordelt.exe: through
// the 8-bit command line its program name ends at the look-alike quote and the folder name
// becomes a command of "-add" on the key Evil. The program name is correctly quoted.
CONFORMANCE_TEST(UnicodeProgramFolderCannotForgeTheCommand) {
  RequireCodePageWithout({L'\uFF02', L'\uFF0A'});
  const std::string evilKey = std::string(kTestKey) + "\\Evil";
  const std::string realKey = std::string(kTestKey) + "\\Real";
  struct Row {
    std::string command;  // the real command
    bool setsValue;       // it sets Real\N to V; else it deletes the file victim.txt
  };
  for (const Row& row : {Row{"-add*" + realKey + "*N*V", true}, Row{"-delfile*", false}}) {
    conformance::ScopedTestKey key;
    TempDir dir;
    WideFolders folders(
        dir.path(), {L"a\uFF02 -add\uFF0ASoftware", L"MordeltConformance", L"Evil\uFF0AN\uFF0A"});
    REQUIRE(folders.complete(3));
    const std::wstring exe = folders.CopyIn(conformance::MordeltExe(), L"Mordelt.exe");
    REQUIRE(!exe.empty());
    const std::string victim = dir.File("victim.txt");
    REQUIRE(conformance::WriteFileBytes(victim, "x"));
    const std::string command = row.setsValue ? row.command : row.command + victim;

    const RunResult result = conformance::RunRawWide(exe, L"\"" + exe + L"\" " + Widen(command));
    CHECK(result.started);
    CHECK_EQ(result.exit_code, 0u);
    CHECK_EQ(result.output, "");
    CHECK(!KeyExists(evilKey));
    if (row.setsValue) {
      std::string data;
      DWORD type = 0;
      CHECK(conformance::ReadValue(realKey, "N", &type, &data));
      CHECK_EQ(data, "V");
    } else {
      CHECK(!FileExists(victim));
    }
  }
}

// A caller that names the program explicitly and forgets the quotation marks around its path:
// the folder names hold blanks and options, and the command line spells the path in other
// capitals. The whole path is the program's name, and only the caller's command runs.
CONFORMANCE_TEST(UnicodeProgramPathUnquotedWithBlanks) {
  const std::string key = std::string(kTestKey) + "\\K";
  {
    conformance::ScopedTestKey scopedKey;
    REQUIRE(conformance::SetStringValue(key, "N", "old"));
    TempDir dir;
    WideFolders folders(dir.path(), {L"\u00E9x -delete"});
    REQUIRE(folders.complete(1));
    const std::wstring exe = folders.CopyIn(conformance::MordeltExe(), L"Mordelt.exe");
    REQUIRE(!exe.empty());
    const std::wstring spelled = Widen(dir.path()) + L"\\\u00C9x -delete\\MORDELT.EXE";
    const RunResult result =
        conformance::RunRawWide(exe, spelled + L" -add*" + Widen(key) + L"*N*V");
    CHECK_EQ(result.exit_code, 0u);
    CHECK_EQ(result.output, "");
    std::string data;
    DWORD type = 0;
    CHECK(conformance::ReadValue(key, "N", &type, &data));
    CHECK_EQ(data, "V");
  }
  {
    conformance::ScopedProductRemoval removal;
    TempDir dir;
    REQUIRE(CopyFileA(conformance::PackageSource().c_str(), dir.File("Product.msi").c_str(),
                      FALSE) != 0);
    WideFolders folders(dir.path(), {L"x -i evil.msi -l evil.log"});
    REQUIRE(folders.complete(1));
    const std::wstring exe = folders.CopyIn(conformance::SetupExe(), L"setup.exe");
    REQUIRE(!exe.empty());
    conformance::RunOptions options;
    options.current_dir = dir.path();
    // Quietly installs the package of the current directory.
    const RunResult result = conformance::RunRawWide(exe, exe + L"\t-s", options);
    CHECK_EQ(result.exit_code, 0u);
    CHECK_EQ(result.output, "");
    CHECK(FileExists(conformance::InstalledFile()));
  }
}

// Look-alikes and letters outside the code page in the command text itself: the text is
// refused; nothing is written to the registry or started.
CONFORMANCE_TEST(UnicodeCommandTextOutsideTheCodePageIsRefused) {
  RequireCodePageWithout(
      {L'\uFF02', L'\uFF0A', L'\u041F', L'\u0440', L'\u0438', L'\u043C', L'\u0435'});
  const std::wstring key = Widen(kTestKey);
  struct Row {
    bool setup;
    std::wstring command;
  };
  for (const Row& row : {
           Row{false, L"-add\uFF0A" + key + L"\\X\uFF0AN\uFF0AV"},
           Row{false, L"-add*" + key + L"\\\u041F\u0440\u0438\u043C\u0435\u0440*N*V"},
           Row{true, L"-i a\uFF02 /l*v forged.log \uFF02b.msi -s"},
       }) {
    conformance::ScopedTestKey scopedKey;
    TempDir dir;
    conformance::RunOptions options;
    options.current_dir = dir.path();
    const std::wstring exe = Widen(row.setup ? conformance::SetupExe() : conformance::MordeltExe());
    const RunResult result =
        conformance::RunRawWide(exe, L"\"" + exe + L"\" " + row.command, options);
    CHECK(result.started);
    CHECK_EQ(result.exit_code, 1u);
    CHECK_EQ(result.output, row.setup ? "" : ConsoleText(testing_support::kMordeltUsage));
    CHECK(!KeyExists(kTestKey));
    CHECK(!FileExists(dir.File("forged.log")));
  }
}

// The only package of the current directory is named with a letter outside the code page: its
// 8-bit name (a look-alike or "?") is not the file, and may be another one that someone placed.
CONFORMANCE_TEST(UnicodeSetupSkipsAPackageNameOutsideTheCodePage) {
  RequireCodePageWithout({L'\u03A9'});
  conformance::ScopedProductRemoval removal;
  TempDir dir;
  WideFolders folder(dir.path(), {L"packages"});
  REQUIRE(folder.complete(1));
  REQUIRE(!folder.CopyIn(conformance::PackageSource(), L"\u03A9mega.msi").empty());

  const RunResult result = conformance::Run(conformance::SetupExe(), "-s", dir.File("packages"));
  CHECK(result.started);
  CHECK_EQ(result.exit_code, 1u);
  CHECK_EQ(result.output, "");
  CHECK(!FileExists(conformance::InstalledFile()));
}

}  // namespace
