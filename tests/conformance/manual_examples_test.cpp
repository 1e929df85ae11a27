// Runs every example of the reference manual (docs/manual.md) against the real programs and
// checks what the transcript shows: exit codes, standard output, files and registry values. The
// examples are read from the manual itself, so a change to either shows up here.
//
// The manual is looked for where MANUAL_MD points, beside conformance.exe, and at
// ..\..\..\docs\manual.md from it (the source tree, seen from build\<preset>\bin).
//
// Steps that this machine cannot show are reported and passed over, never counted as passed:
// "setup.exe" steps that start msiexec (the unit tests check their installer commands over
// fakes), "-hwid" steps whose device is not present here, and "-rescan" steps whose outcome
// this machine's Plug and Play manager does not give.
#include <windows.h>
// (after windows.h)
#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "tests/conformance/harness.h"
#include "tests/conformance/manual_transcript.h"

namespace conformance {
namespace {

const char kManualFile[] = "docs/manual.md";

// Keys below HKEY_LOCAL_MACHINE that the examples use; removed before and after each example.
const char* const kExampleKeys[] = {"SOFTWARE\\Example", "SOFTWARE\\Example Tools",
                                    "HKEY_LOCAL_MACHINE"};

std::string ManualPath() {
  const std::string fromEnvironment = GetEnv("MANUAL_MD");
  if (!fromEnvironment.empty()) return fromEnvironment;
  const std::string beside = TestProgramDir() + "\\manual.md";
  if (FileExists(beside)) return beside;
  return TestProgramDir() + "\\..\\..\\..\\docs\\manual.md";
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && Lower(text.substr(text.size() - tail.size())) == Lower(tail);
}

// Cuts Mordelt's command-line text at "*" into trimmed, non-empty entries, as the program does.
std::vector<std::string> MordeltEntries(const std::string& text) {
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('*', start);
    if (end == std::string::npos) end = text.size();
    std::string entry = text.substr(start, end - start);
    const char* const blanks = " \t\n\v\f\r";
    entry.erase(0, entry.find_first_not_of(blanks));
    const std::size_t last = entry.find_last_not_of(blanks);
    entry.erase(last == std::string::npos ? 0 : last + 1);
    if (!entry.empty()) entries.push_back(entry);
    start = end + 1;
  }
  return entries;
}

// ---------------------------------------------------------------------------
// This machine's devices, read directly through SetupAPI (loaded at run time).
// ---------------------------------------------------------------------------

using GetClassDevsExA = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD, HDEVINFO, PCSTR, PVOID);
using EnumDeviceInfo = BOOL(WINAPI*)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
using GetDeviceRegistryPropertyA = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, DWORD, PDWORD, PBYTE,
                                                 DWORD, PDWORD);
using DestroyDeviceInfoList = BOOL(WINAPI*)(HDEVINFO);
using LocateDevNodeExA = CONFIGRET(WINAPI*)(PDEVINST, DEVINSTID_A, ULONG, HMACHINE);
using ReenumerateDevNodeEx = CONFIGRET(WINAPI*)(DEVINST, ULONG, HMACHINE);

template <typename Function>
Function Load(const char* library, const char* name) {
  HMODULE module = LoadLibraryA(library);
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The hardware and compatible identifiers of each present device; false when the list cannot
// be read.
bool PresentDeviceIdentifiers(std::vector<std::vector<std::string>>* devices) {
  const auto getClassDevs = Load<GetClassDevsExA>("setupapi.dll", "SetupDiGetClassDevsExA");
  const auto enumDevice = Load<EnumDeviceInfo>("setupapi.dll", "SetupDiEnumDeviceInfo");
  const auto getProperty =
      Load<GetDeviceRegistryPropertyA>("setupapi.dll", "SetupDiGetDeviceRegistryPropertyA");
  const auto destroy = Load<DestroyDeviceInfoList>("setupapi.dll", "SetupDiDestroyDeviceInfoList");
  if (!getClassDevs || !enumDevice || !getProperty || !destroy) return false;
  HDEVINFO set = getClassDevs(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES, nullptr,
                              nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD index = 0; enumDevice(set, index, &device); ++index) {
    std::vector<std::string> identifiers;
    for (DWORD property : {DWORD{SPDRP_HARDWAREID}, DWORD{SPDRP_COMPATIBLEIDS}}) {
      std::vector<char> buffer(65536 + 2, '\0');
      DWORD type = 0;
      if (!getProperty(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()), 65536,
                       nullptr)) {
        continue;
      }
      for (const char* entry = buffer.data(); *entry != '\0'; entry += std::strlen(entry) + 1) {
        identifiers.push_back(entry);
      }
    }
    devices->push_back(identifiers);
  }
  destroy(set);
  return true;
}

// The exit code that "-hwid" must give on this machine for these arguments: 0 when some
// argument "#TEXT" finds a present device with an identifier that ends with TEXT ("#" alone:
// any present device), else 4.
bool ExpectedHwidCode(const std::vector<std::string>& arguments, unsigned long* code) {
  std::vector<std::vector<std::string>> devices;
  if (!PresentDeviceIdentifiers(&devices)) return false;
  *code = 4;
  for (const std::string& argument : arguments) {
    if (argument.empty() || argument[0] != '#') continue;
    const std::string tail = argument.substr(1);
    for (const auto& identifiers : devices) {
      if (tail.empty()) *code = 0;
      for (const std::string& identifier : identifiers) {
        if (EndsWithIgnoringCase(identifier, tail)) *code = 0;
      }
    }
    if (*code == 0) return true;
  }
  return true;
}

// The exit code that "-rescan" must give here: on Windows, elevated, 0; under Wine, what the two
// Configuration Manager calls give.
bool ExpectedRescanCode(unsigned long* code) {
  if (!UnderWine()) {
    *code = 0;
    return true;
  }
  const auto locate = Load<LocateDevNodeExA>("cfgmgr32.dll", "CM_Locate_DevNode_ExA");
  const auto reenumerate = Load<ReenumerateDevNodeEx>("cfgmgr32.dll", "CM_Reenumerate_DevNode_Ex");
  if (!locate || !reenumerate) return false;
  DEVINST root = 0;
  *code = locate(&root, nullptr, 0, nullptr) == CR_SUCCESS &&
                  reenumerate(root, 0, nullptr) == CR_SUCCESS
              ? 0
              : 2;
  return true;
}

// ---------------------------------------------------------------------------
// Registry, as "reg query" shows it.
// ---------------------------------------------------------------------------

struct ShownValue {
  std::string name;  // "" for the unnamed value, shown as "(Default)"
  std::string type;
  std::string data;
  bool operator<(const ShownValue& other) const {
    return std::make_tuple(Lower(name), type, data) <
           std::make_tuple(Lower(other.name), other.type, other.data);
  }
  bool operator==(const ShownValue& other) const {
    return Lower(name) == Lower(other.name) && type == other.type && data == other.data;
  }
};

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    default:
      return "REG_TYPE_" + std::to_string(type);
  }
}

std::string DataText(DWORD type, const std::vector<BYTE>& bytes, DWORD size) {
  if (type == REG_DWORD && size == 4) {
    DWORD number = 0;
    std::memcpy(&number, bytes.data(), 4);
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(number));
    return text;
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::string text(reinterpret_cast<const char*>(bytes.data()), size);
    const std::size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
  }
  std::string hex;
  for (DWORD i = 0; i < size; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
    hex += pair;
  }
  return hex;
}

// The values and subkeys of HKEY_LOCAL_MACHINE\path in a registry view; false when the key does
// not exist.
bool ReadKey(const std::string& path, REGSAM view, std::vector<ShownValue>* values,
             std::vector<std::string>* subkeys) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
    return false;
  }
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameLength = sizeof name;
    std::vector<BYTE> data(1 << 20);
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS) {
      break;
    }
    values->push_back({std::string(name, nameLength), TypeName(type), DataText(type, data, size)});
  }
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys->push_back(Lower("HKEY_LOCAL_MACHINE\\" + path + "\\" + std::string(name, nameLength)));
  }
  RegCloseKey(key);
  return true;
}

// The key path below HKEY_LOCAL_MACHINE of a "reg" key argument ("HKLM\..." or
// "HKEY_LOCAL_MACHINE\..."); false for any other root.
bool LocalMachinePath(const std::string& argument, std::string* path) {
  for (const char* root : {"hklm\\", "hkey_local_machine\\"}) {
    const std::string r = root;
    if (Lower(argument.substr(0, r.size())) == r) {
      *path = argument.substr(r.size());
      return true;
    }
  }
  return false;
}

// Reads "    NAME    TYPE    DATA" as reg query shows a value.
bool ParseValueLine(const std::string& line, ShownValue* value) {
  if (line.compare(0, 4, "    ") != 0) return false;
  const std::size_t type = line.find("    REG_", 4);
  if (type == std::string::npos) return false;
  value->name = line.substr(4, type - 4);
  if (value->name == "(Default)") value->name.clear();
  const std::size_t typeEnd = line.find("    ", type + 4);
  value->type =
      line.substr(type + 4, typeEnd == std::string::npos ? std::string::npos : typeEnd - type - 4);
  value->data = typeEnd == std::string::npos ? std::string() : line.substr(typeEnd + 4);
  return true;
}

// ---------------------------------------------------------------------------
// Running one example.
// ---------------------------------------------------------------------------

struct Tally {
  int examples = 0;
  int programRuns = 0;
  int checks = 0;
  int passedOver = 0;
};

// Where the examples run: the programs, and the registry view that a user's prompt shows. In a
// 32-bit run on 64-bit Windows a user's prompt is 64-bit, and so is its reg.exe: there the
// examples run with the x64 programs (MORDELT_X64_DIR, or ..\x64 beside this folder, as the
// conformance bundle holds them) and their registry is read through the 64-bit view.
struct Setting {
  std::string mordelt;
  std::string setup;
  REGSAM view = 0;
};

// Where the x64 programs are not there (a 32-bit build tree of its own), the examples run with
// the 32-bit programs and are read in the 32-bit view, as `reg query ... /reg:32` shows it: the
// shipped 32-bit programs are still held to every transcript.
Setting ExampleSetting() {
  const Setting own{MordeltExe(), SetupExe(), 0};
  if (!RunsUnderWow64()) return own;
  std::string dir = GetEnv("MORDELT_X64_DIR");
  if (dir.empty()) dir = TestProgramDir() + "\\..\\x64";
  const Setting x64{dir + "\\Mordelt.exe", dir + "\\setup.exe", KEY_WOW64_64KEY};
  if (FileExists(x64.mordelt) && FileExists(x64.setup)) return x64;
  std::printf(
      "  no x64 programs at %s: the examples run with the 32-bit programs, read in the "
      "32-bit view (reg query /reg:32)\n",
      dir.c_str());
  return own;
}

bool ExampleKeyExists(const char* path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

void RemoveExampleKeys(REGSAM view) {
  for (const char* path : kExampleKeys) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) {
      continue;
    }
    RegDeleteTreeA(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path, view, 0);
  }
}

class ExampleRun {
 public:
  ExampleRun(const manual::Example& example, const Setting& setting, Tally& tally)
      : example_(example), setting_(setting), tally_(tally) {}

  void Run() {
    for (const manual::Step& step : example_.steps) {
      where_ = Location{kManualFile, step.line};
      RunStep(step);
    }
  }

 private:
  void Fail(const std::string& message) { ReportFailure(where_, message); }
  void PassOver(const manual::Step& step, const std::string& reason) {
    ++tally_.passedOver;
    std::printf("  note: %s:%d not run here (%s): %s\n", kManualFile, step.line, reason.c_str(),
                step.command.c_str());
  }

  void RunStep(const manual::Step& step) {
    std::string program;
    std::string text;
    if (manual::IsProgramCommand(step.command, &program, &text)) {
      RunProgram(step);
      return;
    }
    std::string started;
    if (manual::IsStartWait(step.command, &started)) {
      StartAndWait(step, started);
      return;
    }
    const std::vector<std::string> words = manual::Words(step.command);
    if (step.command == "echo %ERRORLEVEL%") {
      if (!hasExitCode_) {
        Fail("echo %ERRORLEVEL% follows no start /wait");
      } else {
        CHECK_AT(where_, step.shown.size() == 1);
        if (!step.shown.empty()) CHECK_EQ_AT(where_, step.shown[0], std::to_string(lastExitCode_));
        ++tally_.checks;
      }
    } else if (words.size() == 2 && words[0] == "type") {
      TypeFile(words[1], step.shown);
    } else if (words.size() >= 2 && words[0] == "dir" && words[1] == "/b") {
      ListFiles(step.shown);
    } else if (words.size() == 3 && words[0] == "attrib" && words[1] == "+r") {
      if (!SetFileAttributesA(dir_.File(words[2]).c_str(), FILE_ATTRIBUTE_READONLY)) {
        Fail("attrib +r " + words[2] + " failed");
      }
    } else if (words.size() >= 3 && words[0] == "reg" && words[1] == "add") {
      RegAdd(words);
    } else if (words.size() >= 3 && words[0] == "reg" && words[1] == "query") {
      RegQuery(words, step.shown);
    } else {
      Fail("the examples do not know this command: " + step.command);
    }
  }

  // "start /wait PROGRAM TEXT": the program runs to its end and shows nothing; its exit code is
  // what a following "echo %ERRORLEVEL%" shows.
  void StartAndWait(const manual::Step& step, const std::string& command) {
    std::string program;
    std::string text;
    if (!manual::IsProgramCommand(command, &program, &text) || !step.shown.empty()) {
      Fail("start /wait runs Mordelt.exe or setup.exe and shows nothing: " + step.command);
      return;
    }
    programSeen_ = true;
    ++tally_.programRuns;
    const RunResult result = conformance::Run(
        program == "Mordelt.exe" ? setting_.mordelt : setting_.setup, text, dir_.path());
    if (!result.started || result.timed_out) {
      Fail("the program did not start or did not end");
      return;
    }
    hasExitCode_ = true;
    lastExitCode_ = result.exit_code;
  }

  void RunProgram(const manual::Step& step) {
    const manual::ProgramStep expected = manual::ReadProgramStep(step);
    if (!expected.error.empty()) {
      Fail(expected.error + ": " + step.command);
      return;
    }
    const bool isMordelt = expected.program == "Mordelt.exe";
    if (!isMordelt && expected.starts != "nothing") {
      programSeen_ = true;
      PassOver(step, "starts msiexec; its installer command is checked by the unit tests");
      return;
    }
    if (isMordelt) {
      const std::vector<std::string> entries = MordeltEntries(expected.text);
      if (!entries.empty() && entries.size() <= 5 && entries[0].compare(0, 5, "-hwid") == 0) {
        unsigned long here = 0;
        if (!ExpectedHwidCode({entries.begin() + 1, entries.end()}, &here)) {
          Fail("cannot read this machine's devices");
          return;
        }
        if (here != expected.exitCode) {
          programSeen_ = true;
          PassOver(step, "this machine's devices give " + std::to_string(here));
          return;
        }
      }
      if (!entries.empty() && entries.size() <= 5 && entries[0].compare(0, 7, "-rescan") == 0) {
        unsigned long here = 0;
        if (!ExpectedRescanCode(&here)) {
          Fail("cannot reach the Configuration Manager");
          return;
        }
        if (here != expected.exitCode) {
          programSeen_ = true;
          PassOver(step, "this machine's Plug and Play manager gives " + std::to_string(here));
          return;
        }
      }
    }

    programSeen_ = true;
    ++tally_.programRuns;
    RunOptions options;
    options.current_dir = dir_.path();
    if (!expected.outputFile.empty()) options.stdout_file = dir_.File(expected.outputFile);
    const RunResult result =
        conformance::Run(isMordelt ? setting_.mordelt : setting_.setup, expected.text, options);
    if (!result.started) {
      Fail("the program did not start, error " + std::to_string(result.start_error));
      return;
    }
    if (result.timed_out) Fail("the program did not end in time");
    CHECK_EQ_AT(where_, result.exit_code, expected.exitCode);
    CHECK_EQ_AT(where_, result.output, expected.output);
    ++tally_.checks;
  }

  void TypeFile(const std::string& name, const std::vector<std::string>& shown) {
    const std::string bytes = manual::FileBytes(shown);
    if (!programSeen_) {
      if (!WriteFileBytes(dir_.File(name), bytes)) Fail("cannot write " + name);
      return;
    }
    std::string actual;
    if (!ReadFileBytes(dir_.File(name), &actual)) {
      Fail(name + " does not exist");
      return;
    }
    CHECK_EQ_AT(where_, actual, bytes);
    ++tally_.checks;
  }

  void ListFiles(const std::vector<std::string>& shown) {
    std::set<std::string> expected;
    for (const std::string& name : shown) {
      if (name != "File Not Found" && !name.empty()) expected.insert(Lower(name));
    }
    if (!programSeen_) {
      for (const std::string& name : shown) {
        if (name != "File Not Found" && !name.empty() && !WriteFileBytes(dir_.File(name), "")) {
          Fail("cannot write " + name);
        }
      }
      return;
    }
    std::set<std::string> actual;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir_.path() + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
          actual.insert(Lower(found.cFileName));
        }
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    CHECK_AT(where_, actual == expected);
    ++tally_.checks;
  }

  void RegAdd(const std::vector<std::string>& words) {
    std::string path;
    if (!LocalMachinePath(words[2], &path)) {
      Fail("reg add: not a key of HKLM: " + words[2]);
      return;
    }
    bool named = false;
    std::string name;
    std::string type = "REG_SZ";
    std::string data;
    for (std::size_t i = 3; i < words.size(); ++i) {
      if (words[i] == "/v" && i + 1 < words.size()) {
        named = true;
        name = words[++i];
      } else if (words[i] == "/ve") {
        named = true;
      } else if (words[i] == "/t" && i + 1 < words.size()) {
        type = words[++i];
      } else if (words[i] == "/d" && i + 1 < words.size()) {
        data = words[++i];
      } else if (words[i] != "/f") {
        Fail("reg add: unknown word " + words[i]);
        return;
      }
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | setting_.view, nullptr, &key, nullptr) != ERROR_SUCCESS) {
      Fail("reg add: cannot create " + path);
      return;
    }
    LONG status = ERROR_SUCCESS;
    if (named && type == "REG_DWORD") {
      const DWORD number = std::stoul(data, nullptr, 0);
      status = RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else if (named && type == "REG_SZ") {
      status =
          RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
    } else if (named) {
      Fail("reg add: the examples use REG_SZ and REG_DWORD only");
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) Fail("reg add: cannot set the value");
  }

  void RegQuery(const std::vector<std::string>& words, const std::vector<std::string>& shown) {
    std::string path;
    if (!LocalMachinePath(words[2], &path)) {
      Fail("reg query: not a key of HKLM: " + words[2]);
      return;
    }
    bool oneValue = false;
    std::string valueName;
    if (words.size() == 5 && words[3] == "/v") {
      oneValue = true;
      valueName = words[4];
    } else if (words.size() == 4 && words[3] == "/ve") {
      oneValue = true;
    } else if (words.size() != 3) {
      Fail("reg query: the examples use KEY, KEY /v NAME and KEY /ve only");
      return;
    }

    std::vector<std::string> lines;
    for (const std::string& line : shown) {
      if (!line.empty()) lines.push_back(line);
    }
    std::vector<ShownValue> values;
    std::vector<std::string> subkeys;
    const bool keyExists = ReadKey(path, setting_.view, &values, &subkeys);
    ++tally_.checks;

    if (!lines.empty() && lines[0].compare(0, 6, "ERROR:") == 0) {
      if (!oneValue) {
        CHECK_AT(where_, !keyExists);
      } else {
        for (const ShownValue& value : values) {
          if (Lower(value.name) == Lower(valueName)) Fail("the value exists: " + valueName);
        }
      }
      return;
    }
    if (lines.empty() || Lower(lines[0]) != Lower("HKEY_LOCAL_MACHINE\\" + path)) {
      Fail("reg query: the first line must name the key HKEY_LOCAL_MACHINE\\" + path);
      return;
    }
    if (!keyExists) {
      Fail("the key does not exist: HKEY_LOCAL_MACHINE\\" + path);
      return;
    }
    std::vector<ShownValue> expectedValues;
    std::vector<std::string> expectedSubkeys;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      ShownValue value;
      if (ParseValueLine(lines[i], &value)) {
        expectedValues.push_back(value);
      } else if (Lower(lines[i]).compare(0, 19, "hkey_local_machine\\") == 0) {
        expectedSubkeys.push_back(Lower(lines[i]));
      } else {
        Fail("reg query: cannot read the line " + lines[i]);
      }
    }
    if (oneValue) {
      std::vector<ShownValue> actual;
      for (const ShownValue& value : values) {
        if (Lower(value.name) == Lower(valueName)) actual.push_back(value);
      }
      CHECK_AT(where_, expectedValues.size() == 1 && expectedSubkeys.empty());
      if (actual.empty()) {
        Fail("the value does not exist: " + valueName);
      } else if (!expectedValues.empty()) {
        CHECK_EQ_AT(where_, actual[0].type, expectedValues[0].type);
        CHECK_EQ_AT(where_, actual[0].data, expectedValues[0].data);
      }
      return;
    }
    std::sort(values.begin(), values.end());
    std::sort(expectedValues.begin(), expectedValues.end());
    std::sort(subkeys.begin(), subkeys.end());
    std::sort(expectedSubkeys.begin(), expectedSubkeys.end());
    if (!(values == expectedValues)) {
      std::string actualText;
      for (const ShownValue& value : values) {
        actualText += "\n      " + value.name + " " + value.type + " " + Printable(value.data);
      }
      Fail("reg query: the values of HKEY_LOCAL_MACHINE\\" + path +
           " differ; they are:" + (actualText.empty() ? " none" : actualText));
    }
    if (subkeys != expectedSubkeys) {
      Fail("reg query: the subkeys of HKEY_LOCAL_MACHINE\\" + path + " differ");
    }
  }

  const manual::Example& example_;
  const Setting& setting_;
  Tally& tally_;
  TempDir dir_;
  Location where_{kManualFile, 0};
  bool programSeen_ = false;  // a Mordelt.exe or setup.exe step came before
  bool hasExitCode_ = false;  // a "start /wait" step came before
  DWORD lastExitCode_ = 0;    // its exit code
};

CONFORMANCE_TEST(ManualExamples) {
  const std::string path = ManualPath();
  std::string markdown;
  if (!manual::ReadTextFile(path, &markdown)) {
    ReportFailure(CONFORMANCE_HERE, "cannot read the manual at " + path + " (set MANUAL_MD)");
    return;
  }
  const Setting setting = ExampleSetting();
  // The examples delete these keys before and after each run: never the machine's own.
  for (const char* path : {"SOFTWARE\\Example", "SOFTWARE\\Example Tools"}) {
    if (ExampleKeyExists(path, setting.view)) {
      SKIP_TEST(std::string("NOT RUN: HKEY_LOCAL_MACHINE\\") + path +
                " exists on this machine, and the examples would delete it");
    }
  }
  const std::vector<manual::Example> examples = manual::ParseExamples(markdown);
  Tally tally;
  for (const manual::Example& example : examples) {
    if (!example.error.empty()) {
      ReportFailure(Location{kManualFile, example.line}, "not a transcript: " + example.error);
      continue;
    }
    ++tally.examples;
    RemoveExampleKeys(setting.view);
    {
      ExampleRun run(example, setting, tally);
      run.Run();
    }
    RemoveExampleKeys(setting.view);
  }
  std::printf("  %d examples, %d program runs, %d results checked, %d steps not run here\n",
              tally.examples, tally.programRuns, tally.checks, tally.passedOver);
  // The manual holds dozens of examples; far fewer means that they were not found.
  CHECK(tally.examples >= 30);
  CHECK(tally.programRuns >= 40);
  // Nothing of the examples is left for the next run to take for the machine's own.
  for (const char* path : {"SOFTWARE\\Example", "SOFTWARE\\Example Tools"}) {
    CHECK(!ExampleKeyExists(path, setting.view));
  }
}

}  // namespace
}  // namespace conformance
