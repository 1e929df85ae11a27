// The registry commands of Mordelt.exe on the real registry: "-add", "-delete", the registry
// script commands "-regfile" and "-delregfromfile", and "-delregkeyfromfile". Every test works
// below the private test key, which is removed before and after it.
#include <windows.h>

#include <string>
#include <tuple>

#include "tests/conformance/harness.h"

namespace conformance {
namespace {

const std::string kBase = kTestKey;

// The value is a REG_SZ holding exactly `text` and its terminating zero.
void CheckString(const Location& where, const std::string& path, const std::string& name,
                 const std::string& text) {
  DWORD type = 0;
  std::string bytes;
  if (!CHECK_AT(where, ReadRawValue(path, name, &type, &bytes))) return;
  CHECK_EQ_AT(where, type, static_cast<DWORD>(REG_SZ));
  CHECK_EQ_AT(where, bytes, text + std::string(1, '\0'));
}

bool SetDwordValue(const std::string& path, const std::string& name, DWORD number) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LSTATUS status = RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void CheckRun(const Location& where, const RunResult& result, DWORD exitCode,
              const std::string& output) {
  if (!CHECK_AT(where, result.started && !result.timed_out)) return;
  CHECK_EQ_AT(where, result.exit_code, exitCode);
  CHECK_EQ_AT(where, result.output, output);
}

RunResult Mordelt(const std::string& commandLineText) { return Run(MordeltExe(), commandLineText); }

const char kMissingValueMessage[] = "Error: the number of error is 2";

// ---- "-add" ----

CONFORMANCE_TEST(RegistryAddSetsAStringValueCreatingItsKeys) {
  ScopedTestKey scope;
  CheckRun(CONFORMANCE_HERE,
           Mordelt("-add*" + kBase + "\\Tool\\Deep*InstallDir*C:\\Program Files\\X"), 0, "");
  CheckString(CONFORMANCE_HERE, kBase + "\\Tool\\Deep", "InstallDir", "C:\\Program Files\\X");
}

CONFORMANCE_TEST(RegistryAddMatchesOverFourCharactersAndIgnoresExtraArguments) {
  ScopedTestKey scope;
  CheckRun(CONFORMANCE_HERE, Mordelt("-addition*" + kBase + "*Name*Value*Extra"), 0, "");
  CheckString(CONFORMANCE_HERE, kBase, "Name", "Value");
}

CONFORMANCE_TEST(RegistryAddTakesTrimmedArguments) {
  ScopedTestKey scope;
  CheckRun(CONFORMANCE_HERE, Mordelt("-add *  " + kBase + "\\T  * Value Name *  two  words  "), 0,
           "");
  CheckString(CONFORMANCE_HERE, kBase + "\\T", "Value Name", "two  words");
}

CONFORMANCE_TEST(RegistryAddReplacesANumberWithAString) {
  ScopedTestKey scope;
  REQUIRE(SetDwordValue(kBase, "Count", 7));
  CheckRun(CONFORMANCE_HERE, Mordelt("-add*" + kBase + "*Count*seven"), 0, "");
  CheckString(CONFORMANCE_HERE, kBase, "Count", "seven");
}

CONFORMANCE_TEST(RegistryAddWithTooFewArgumentsSetsNothing) {
  ScopedTestKey scope;
  const RunResult result = Mordelt("-add*" + kBase + "\\Few*Name");
  CHECK_EQ(result.exit_code, 1u);
  CHECK(!KeyExists(kBase + "\\Few"));
}

CONFORMANCE_TEST(RegistryAddDoesNotInterpretARootName) {
  ScopedTestKey scope;
  const std::string rooted = "HKEY_LOCAL_MACHINE\\" + kBase + "\\Rooted";
  const RunResult result = Mordelt("-add*" + rooted + "*N*V");
  // The path names a key "HKEY_LOCAL_MACHINE" below HKEY_LOCAL_MACHINE; where the system does not
  // let such a key be made the value is not set (5).
  if (result.exit_code == 0) {
    CheckString(CONFORMANCE_HERE, rooted, "N", "V");
  } else {
    CHECK_EQ(result.exit_code, 5u);
  }
  CHECK_EQ(result.output, "");
  CHECK(!KeyExists(kBase + "\\Rooted"));
  DeleteKeyTree("HKEY_LOCAL_MACHINE\\" + kBase);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\Software");  // only when left empty
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE");
}

// ---- "-delete" ----

CONFORMANCE_TEST(RegistryDeleteRemovesALeafKey) {
  ScopedTestKey scope;
  REQUIRE(SetStringValue(kBase + "\\Parent\\Leaf", "v", "1"));
  REQUIRE(CreateKey(kBase + "\\Parent\\Sibling"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delete*" + kBase + "\\Parent*Leaf"), 0, "");
  CHECK(!KeyExists(kBase + "\\Parent\\Leaf"));
  CHECK(KeyExists(kBase + "\\Parent\\Sibling"));
}

CONFORMANCE_TEST(RegistryDeleteRefusesAKeyWithSubkeys) {
  ScopedTestKey scope;
  REQUIRE(CreateKey(kBase + "\\Parent\\Branch\\Leaf"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delete*" + kBase + "\\Parent*Branch"), 6, "");
  CHECK(KeyExists(kBase + "\\Parent\\Branch\\Leaf"));
}

CONFORMANCE_TEST(RegistryDeleteOfAMissingSubkeyLeavesTheParentCreated) {
  ScopedTestKey scope;
  CheckRun(CONFORMANCE_HERE, Mordelt("-delete*" + kBase + "\\NewParent*Nothing"), 6, "");
  CHECK(KeyExists(kBase + "\\NewParent"));
}

// ---- registry scripts ----

const char kExample[] =
    "Values for the example tool\n"
    "\"@\\Tool\" \"InstallDir\" \"C:\\Program Files\\Example\"\n"
    "\"@\\Tool\" \"Description\" \"A long text /\n"
    "that goes on\"\n"
    "\"@\\Tool\\Options\" \"Mode\" \"auto\"\n";

// The script text with "@" standing for the test key and, when asked, CR LF line ends.
std::string Script(const std::string& text, bool crlf = false) {
  std::string script;
  for (char c : text) {
    if (c == '@') {
      script += kBase;
    } else if (c == '\n' && crlf) {
      script += "\r\n";
    } else {
      script += c;
    }
  }
  return script;
}

CONFORMANCE_TEST(RegistryScriptExampleIsAppliedAndRemoved) {
  for (bool crlf : {false, true}) {
    ScopedTestKey scope;
    TempDir dir;
    const std::string file = dir.File("values.txt");
    REQUIRE(WriteFileBytes(file, Script(kExample, crlf)));
    REQUIRE(SetStringValue(kBase + "\\Tool", "Keep", "k"));
    CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + file), 0, "");
    CheckString(CONFORMANCE_HERE, kBase + "\\Tool", "InstallDir", "C:\\Program Files\\Example");
    CheckString(CONFORMANCE_HERE, kBase + "\\Tool", "Description", "A long text that goes on");
    CheckString(CONFORMANCE_HERE, kBase + "\\Tool\\Options", "Mode", "auto");

    CheckRun(CONFORMANCE_HERE, Mordelt("-delregfromfile*" + file), 0, "");
    CHECK(!ValueExists(kBase + "\\Tool", "InstallDir"));
    CHECK(!ValueExists(kBase + "\\Tool", "Description"));
    CHECK(!ValueExists(kBase + "\\Tool\\Options", "Mode"));
    CHECK(ValueExists(kBase + "\\Tool", "Keep"));
  }
}

CONFORMANCE_TEST(RegistryScriptVerbPrefixes) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("v.txt");
  REQUIRE(WriteFileBytes(file, Script("\"@\" \"N\" \"V\"\n")));
  for (const char* verb : {"-reg*", "-registry*"}) {
    REQUIRE(DeleteKeyTree(kBase));
    CheckRun(CONFORMANCE_HERE, Mordelt(verb + file), 0, "");
    CheckString(CONFORMANCE_HERE, kBase, "N", "V");
  }
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregfromfil*" + file), 0, "");
  CHECK(!ValueExists(kBase, "N"));
}

// Entries one after another under one key, its name written in other cases, then another key.
CONFORMANCE_TEST(RegistryScriptEntriesUnderOneKeyInAnyCase) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("case.txt");
  REQUIRE(
      WriteFileBytes(file, Script("\"@\\Tool\" \"A\" \"1\"\n\"@\\TOOL\" \"B\" \"2\"\n"
                                  "\"@\\tool\\Options\" \"C\" \"3\"\n\"@\\tOOL\" \"D\" \"4\"\n")));
  CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + file), 0, "");
  CheckString(CONFORMANCE_HERE, kBase + "\\Tool", "A", "1");
  CheckString(CONFORMANCE_HERE, kBase + "\\Tool", "B", "2");
  CheckString(CONFORMANCE_HERE, kBase + "\\Tool\\Options", "C", "3");
  CheckString(CONFORMANCE_HERE, kBase + "\\Tool", "D", "4");
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregfromfile*" + file), 0, "");
  for (const char* name : {"A", "B", "D"}) CHECK(!ValueExists(kBase + "\\Tool", name));
  CHECK(!ValueExists(kBase + "\\Tool\\Options", "C"));
}

CONFORMANCE_TEST(RegistryScriptDeleteModeStopsAtTheFirstMissingValue) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("values.txt");
  REQUIRE(WriteFileBytes(file, Script(kExample)));
  REQUIRE(SetStringValue(kBase + "\\Tool", "InstallDir", "x"));
  REQUIRE(SetStringValue(kBase + "\\Tool\\Options", "Mode", "x"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregfromfile*" + file), 6, kMissingValueMessage);
  CHECK(!ValueExists(kBase + "\\Tool", "InstallDir"));
  CHECK(ValueExists(kBase + "\\Tool\\Options", "Mode"));
}

CONFORMANCE_TEST(RegistryScriptFileThatCannotBeOpenedGivesZero) {
  ScopedTestKey scope;
  TempDir dir;
  CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + dir.File("none.txt")), 0, "");
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregfromfile*" + dir.File("none.txt")), 0, "");
  REQUIRE(WriteFileBytes(dir.File("empty.txt"), ""));
  CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + dir.File("empty.txt")), 0, "");
}

// A file that this test holds open without sharing, as another program may; closed at the end of
// its scope.
class HeldWithoutSharing {
 public:
  explicit HeldWithoutSharing(const std::string& path)
      : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~HeldWithoutSharing() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HeldWithoutSharing(const HeldWithoutSharing&) = delete;
  HeldWithoutSharing& operator=(const HeldWithoutSharing&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// A script or path file that exists but cannot be opened fails (5 setting, 6 deleting) with
// nothing written; one that does not exist, or whose folder does not, is nothing to do.
CONFORMANCE_TEST(RegistryFileThatExistsButCannotBeOpenedFails) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string held = dir.File("held.txt");
  const std::string folder = dir.File("folder");
  const std::string utf16 = dir.File("unicode.txt");  // as PowerShell 5.1's ">" writes it
  std::string unicode = "\xFF\xFE";
  for (char c : Script("\"@\" \"Kept\" \"new\"\r\n")) unicode += std::string(1, c) + '\0';
  REQUIRE(WriteFileBytes(held, Script("\"@\" \"Kept\" \"new\"\n")));
  REQUIRE(WriteFileBytes(utf16, unicode));
  REQUIRE(CreateDirectoryA(folder.c_str(), nullptr) != 0);
  REQUIRE(SetStringValue(kBase, "Kept", "k"));
  {
    const HeldWithoutSharing holder(held);
    REQUIRE(holder.held());
    for (const std::string& file : {held, folder, utf16}) {
      CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + file), 5, "");
      CheckRun(CONFORMANCE_HERE, Mordelt("-delregfromfile*" + file), 6, "");
      CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + file), 6, "");
    }
  }
  CheckString(CONFORMANCE_HERE, kBase, "Kept", "k");
  for (const std::string& file : {dir.File("none.txt"), dir.File("no-dir\\none.txt")}) {
    CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + file), 0, "");
    CheckRun(CONFORMANCE_HERE, Mordelt("-delregfromfile*" + file), 0, "");
    CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + file), 0, "");
  }
}

// A named pipe served once: whoever opens it is sent the text, and the pipe is closed (what was
// written stays readable).
struct ServedPipe {
  HANDLE pipe;
  std::string offered;
};

DWORD WINAPI Serve(void* served) {
  const ServedPipe& pipe = *static_cast<ServedPipe*>(served);
  ConnectNamedPipe(pipe.pipe, nullptr);
  DWORD written = 0;
  WriteFile(pipe.pipe, pipe.offered.data(), static_cast<DWORD>(pipe.offered.size()), &written,
            nullptr);
  CloseHandle(pipe.pipe);
  return 0;
}

// A pipe or device is no script or path file: it is closed before anything is read (a read could
// wait for ever, or take what another user's program sends), and the command fails.
CONFORMANCE_TEST(RegistryFileThatIsNoDiskFileFails) {
  ScopedTestKey scope;
  REQUIRE(SetStringValue(kBase, "Kept", "k"));
  const std::string name =
      "\\\\.\\pipe\\MordeltConformance" + std::to_string(GetCurrentProcessId());
  for (const auto& [verb, offered, exitCode] :
       {std::tuple<std::string, std::string, DWORD>{"-regfile*", "\"@\" \"FromPipe\" \"set\"\n", 5},
        {"-delregfromfile*", "\"@\" \"Kept\" \"x\"\n", 6},
        {"-delregkeyfromfile*", "@\\Kept\n", 6}}) {
    ServedPipe served{CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096,
                                       4096, 0, nullptr),
                      Script(offered)};
    REQUIRE(served.pipe != INVALID_HANDLE_VALUE);
    HANDLE server = CreateThread(nullptr, 0, &Serve, &served, 0, nullptr);
    REQUIRE(server != nullptr);
    CheckRun(CONFORMANCE_HERE, Mordelt(verb + name), exitCode, "");
    if (!CHECK_EQ(WaitForSingleObject(server, 10000), static_cast<DWORD>(WAIT_OBJECT_0))) {
      // Mordelt did not open the pipe: open it here, so that the server ends.
      CloseHandle(CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      WaitForSingleObject(server, INFINITE);
    }
    CloseHandle(server);
    CheckRun(CONFORMANCE_HERE, Mordelt(verb + "NUL"), exitCode, "");
  }
  CHECK(!ValueExists(kBase, "FromPipe"));
  CheckString(CONFORMANCE_HERE, kBase, "Kept", "k");
}

CONFORMANCE_TEST(RegistryScriptSlashesInsideFieldsAreText) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("slashes.txt");
  REQUIRE(WriteFileBytes(file, Script("\"@\" \"Url\" \"http://example.com/a\"\n"
                                      "\"@\" \"Date\" \"2024/01/02\"\n"
                                      "\"@\" \"Joined\" \"first / \t\nsecond\"\n"
                                      "\"@\" \"Last\" \"a/b\"")));
  CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + file), 0, "");
  CheckString(CONFORMANCE_HERE, kBase, "Url", "http://example.com/a");
  CheckString(CONFORMANCE_HERE, kBase, "Date", "2024/01/02");
  CheckString(CONFORMANCE_HERE, kBase, "Joined", "first second");
  CheckString(CONFORMANCE_HERE, kBase, "Last", "a/b");
}

CONFORMANCE_TEST(RegistryScriptEntryCutByALineEndIsDropped) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("cut.txt");
  REQUIRE(WriteFileBytes(file, Script("\"@\" \"Cut\"\n\"orphan\"\n\"@\" \"Whole\" \"w\"\n")));
  DWORD type = 0;
  std::string before;
  const bool rootHadDefault = ReadRawValue("", "", &type, &before);
  CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + file), 0, "");
  CHECK(!ValueExists(kBase, "Cut"));
  CheckString(CONFORMANCE_HERE, kBase, "Whole", "w");
  std::string after;
  CHECK_EQ(ReadRawValue("", "", &type, &after), rootHadDefault);
  CHECK_EQ(after, before);
}

CONFORMANCE_TEST(RegistryScriptLongLinesAreReadWhole) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("long.txt");
  const std::string value = std::string(5000, 'v') + "\\tail";
  REQUIRE(WriteFileBytes(file, Script("\"@\" \"Long\" \"" + value + "\" \"N\" \"M\"\n")));
  CheckRun(CONFORMANCE_HERE, Mordelt("-regfile*" + file), 0, "");
  CheckString(CONFORMANCE_HERE, kBase, "Long", value);
  CHECK(!KeyExists(kBase + "\\" + std::string(100, 'v')));
}

// ---- "-delregkeyfromfile" ----

CONFORMANCE_TEST(RegistryPathFileRemovesTheNamedValue) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("path.txt");
  REQUIRE(SetStringValue(kBase + "\\Tool", "InstallDir", "x"));
  REQUIRE(SetStringValue(kBase + "\\Tool", "Other", "y"));
  REQUIRE(WriteFileBytes(file, "\r\n  " + kBase + "\\Tool\\InstallDir second\\word\r\n"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + file), 0, "");
  CHECK(!ValueExists(kBase + "\\Tool", "InstallDir"));
  CHECK(ValueExists(kBase + "\\Tool", "Other"));
  CHECK(KeyExists(kBase + "\\Tool"));
}

CONFORMANCE_TEST(RegistryPathFileCases) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("path.txt");
  // A final backslash names the unnamed value.
  REQUIRE(SetStringValue(kBase + "\\T", "", "default"));
  REQUIRE(WriteFileBytes(file, kBase + "\\T\\"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfrom*" + file), 0, "");
  CHECK(!ValueExists(kBase + "\\T", ""));
  // A missing value: the message, and the key exists afterwards.
  REQUIRE(WriteFileBytes(file, kBase + "\\Made\\Missing\n"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + file), 6, kMissingValueMessage);
  CHECK(KeyExists(kBase + "\\Made"));
  // A blank ends the word.
  REQUIRE(SetStringValue(kBase, "Example", "x"));
  REQUIRE(WriteFileBytes(file, kBase + "\\Example Tool\\Mode\n"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + file), 0, "");
  CHECK(!ValueExists(kBase, "Example"));
  // No word, or a word without a backslash: 6, nothing printed.
  for (const char* content : {"", "  \r\n\t\r\n", "NoBackslash\n"}) {
    REQUIRE(WriteFileBytes(file, content));
    CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + file), 6, "");
  }
  // A path file that cannot be opened.
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + dir.File("none.txt")), 0, "");
}

CONFORMANCE_TEST(RegistryPathFileWordOfAnyLength) {
  ScopedTestKey scope;
  TempDir dir;
  const std::string file = dir.File("path.txt");
  const std::string name(700, 'n');
  REQUIRE(SetStringValue(kBase, name, "x"));
  REQUIRE(WriteFileBytes(file, kBase + "\\" + name + "\n"));
  CheckRun(CONFORMANCE_HERE, Mordelt("-delregkeyfromfile*" + file), 0, "");
  CHECK(!ValueExists(kBase, name));
}

}  // namespace
}  // namespace conformance
