// Mordelt's device and file commands on the machine itself: "-hwid" against the
// present devices that this program lists through SetupAPI, "-rescan" against
// what the Configuration Manager answers here, and "-cpfile" / "-delfile" on
// real files.
#include <windows.h>
// windows.h first: the device headers rely on its types.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/conformance/harness.h"

namespace conformance {
namespace {

// The identifiers of one present device: hardware, then compatible.
struct PresentDevice {
  std::vector<std::string> ids;
};

std::vector<std::string> ReadIdList(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
  std::vector<std::string> ids;
  std::vector<char> buffer(64 * 1024 + 2, '\0');
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, property, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()),
                                         static_cast<DWORD>(buffer.size() - 2), nullptr)) {
    return ids;
  }
  for (const char* p = buffer.data(); *p != '\0'; p += std::string(p).size() + 1) {
    ids.emplace_back(p);
  }
  return ids;
}

// The present devices of every class, as SetupAPI lists them here.
std::vector<PresentDevice> ListPresentDevices() {
  std::vector<PresentDevice> devices;
  HDEVINFO set = SetupDiGetClassDevsExA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES,
                                        nullptr, nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return devices;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    PresentDevice present;
    present.ids = ReadIdList(set, &device, SPDRP_HARDWAREID);
    for (const std::string& id : ReadIdList(set, &device, SPDRP_COMPATIBLEIDS)) {
      present.ids.push_back(id);
    }
    devices.push_back(present);
  }
  SetupDiDestroyDeviceInfoList(set);
  return devices;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Whether some present device has an identifier that ends with `tail`, case ignored.
bool AnyIdEndsWith(const std::vector<PresentDevice>& devices, const std::string& tail) {
  const std::string wanted = Upper(tail);
  for (const PresentDevice& device : devices) {
    for (const std::string& id : device.ids) {
      const std::string upper = Upper(id);
      if (upper.size() >= wanted.size() &&
          upper.compare(upper.size() - wanted.size(), wanted.size(), wanted) == 0) {
        return true;
      }
    }
  }
  return false;
}

// A real identifier's tail (after its first backslash) of one device that can stand in a
// command line: no "*" and no blank at either end. Empty when there is none.
std::string UsableTail(const PresentDevice& device) {
  for (const std::string& id : device.ids) {
    const std::size_t slash = id.find('\\');
    if (slash == std::string::npos || slash + 1 >= id.size()) continue;
    const std::string tail = id.substr(slash + 1);
    if (tail.find('*') != std::string::npos || tail.front() == ' ' || tail.back() == ' ') {
      continue;
    }
    return tail;
  }
  return std::string();
}

// The first usable tail of any present device.
std::string RealIdentifierTail(const std::vector<PresentDevice>& devices) {
  for (const PresentDevice& device : devices) {
    const std::string tail = UsableTail(device);
    if (!tail.empty()) return tail;
  }
  return std::string();
}

void CheckExit(const Location& where, const RunResult& result, DWORD exit_code) {
  CHECK_AT(where, result.started);
  CHECK_AT(where, !result.timed_out);
  CHECK_EQ_AT(where, result.exit_code, exit_code);
  CHECK_EQ_AT(where, result.output, std::string());
}

void CheckMordelt(const Location& where, const std::string& command_line_text, DWORD exit_code) {
  CheckExit(where, Run(MordeltExe(), command_line_text), exit_code);
}

// ---------------------------------------------------------------------------
// -hwid
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(MordeltHwidAnyPresentDevice) {
  const std::vector<PresentDevice> devices = ListPresentDevices();
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#", devices.empty() ? 4 : 0);
}

CONFORMANCE_TEST(MordeltHwidTailOfARealIdentifier) {
  const std::vector<PresentDevice> devices = ListPresentDevices();
  const std::string tail = RealIdentifierTail(devices);
  if (tail.empty()) SKIP_TEST("no present device has a usable hardware identifier");
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#" + tail, 0);
  // Case is ignored.
  std::string lower = tail;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#" + lower, 0);
  // The text must end the identifier.
  const std::string longer = tail + "_MORDELT_NO_SUCH_TAIL";
  REQUIRE(!AnyIdEndsWith(devices, longer));
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#" + longer, 4);
}

// Every device of the list, the last one included: the walk goes on to the end with the
// structure sizes of the build's architecture. Windows lists hundreds of devices: there a sample
// is taken, the first, the last and every n-th. A device that Mordelt does not find counts as
// a failure only when it is still present afterwards: devices come and go while the test runs.
CONFORMANCE_TEST(MordeltHwidFindsEveryListedDevice) {
  const std::vector<PresentDevice> devices = ListPresentDevices();
  const std::size_t step = UnderWine() ? 1 : devices.size() / 24 + 1;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const std::string tail = UsableTail(devices[i]);
    if (tail.empty() || (i % step != 0 && i + 1 != devices.size())) continue;
    const RunResult result = Run(MordeltExe(), "-hwid*#" + tail);
    if (result.exit_code == 4 && !AnyIdEndsWith(ListPresentDevices(), tail)) {
      std::printf("  note: %s went away during the test\n", tail.c_str());
      continue;
    }
    CheckExit(CONFORMANCE_HERE, result, 0);
  }
}

CONFORMANCE_TEST(MordeltHwidPatternThatMatchesNothing) {
  const std::vector<PresentDevice> devices = ListPresentDevices();
  const std::string nothing = "MORDELT\\NO_SUCH_DEVICE_4711";
  REQUIRE(!AnyIdEndsWith(devices, nothing));
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#" + nothing, 4);
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#" + nothing + "*#NO_SUCH_2*#NO_SUCH_3", 4);
}

CONFORMANCE_TEST(MordeltHwidOnlyALaterPatternMatches) {
  const std::vector<PresentDevice> devices = ListPresentDevices();
  const std::string tail = RealIdentifierTail(devices);
  if (tail.empty()) SKIP_TEST("no present device has a usable hardware identifier");
  REQUIRE(!AnyIdEndsWith(devices, "NO_SUCH_1"));
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#NO_SUCH_1*#" + tail, 0);
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#NO_SUCH_1*PLAIN*#NO_SUCH_2*#" + tail, 0);
  // An argument without "#" is passed over, even when it would match.
  CheckMordelt(CONFORMANCE_HERE, "-hwid*#NO_SUCH_1*" + tail, 4);
}

CONFORMANCE_TEST(MordeltHwidWithoutHashMakesNoQuery) {
  CheckMordelt(CONFORMANCE_HERE, "-hwid*PCI\\VEN_1234", 4);
  CheckMordelt(CONFORMANCE_HERE, "-hwid", 4);
  CheckMordelt(CONFORMANCE_HERE, "-hwid*", 4);
}

// ---------------------------------------------------------------------------
// -rescan
// ---------------------------------------------------------------------------

// On Windows, elevated, a rescan succeeds: 0, whatever the process's architecture. Under Wine the
// Configuration Manager's calls are stubs that fail, and the answer is what they give.
CONFORMANCE_TEST(MordeltRescanAnswersWhatTheConfigurationManagerAnswers) {
  DEVINST root = 0;
  const CONFIGRET located = CM_Locate_DevNode_ExA(&root, nullptr, 0, nullptr);
  CONFIGRET reenumerated = CR_FAILURE;
  if (located == CR_SUCCESS) reenumerated = CM_Reenumerate_DevNode_Ex(root, 0, nullptr);
  const DWORD expected =
      !UnderWine() || (located == CR_SUCCESS && reenumerated == CR_SUCCESS) ? 0 : 2;
  CheckMordelt(CONFORMANCE_HERE, "-rescan", expected);
  CheckMordelt(CONFORMANCE_HERE, "-rescan*ignored", expected);
}

// ---------------------------------------------------------------------------
// -cpfile
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(MordeltCpfileReplacesTheDestination) {
  TempDir dir;
  const std::string source = dir.File("new driver.sys");
  const std::string destination = dir.File("old.sys");
  REQUIRE(WriteFileBytes(source, "new contents\r\n"));
  REQUIRE(WriteFileBytes(destination, "old"));
  CheckMordelt(CONFORMANCE_HERE, "-cpfile*" + source + "*" + destination, 0);
  std::string copied;
  CHECK(ReadFileBytes(destination, &copied));
  CHECK_EQ(copied, "new contents\r\n");

  const std::string fresh = dir.File("fresh.sys");
  CheckMordelt(CONFORMANCE_HERE, "-cpfile*" + source + "*" + fresh, 0);
  CHECK(FileExists(fresh));
}

CONFORMANCE_TEST(MordeltCpfileThatFailsGivesSeven) {
  TempDir dir;
  const std::string destination = dir.File("kept.sys");
  REQUIRE(WriteFileBytes(destination, "kept"));
  CheckMordelt(CONFORMANCE_HERE, "-cpfile*" + dir.File("missing.sys") + "*" + destination, 7);
  std::string kept;
  CHECK(ReadFileBytes(destination, &kept));
  CHECK_EQ(kept, "kept");

  const std::string source = dir.File("source.sys");
  REQUIRE(WriteFileBytes(source, "x"));
  CheckMordelt(CONFORMANCE_HERE, "-cpfile*" + source + "*" + dir.File("no-dir\\target.sys"), 7);
  // Too few arguments: the usage text, not a copy.
  const RunResult usage = Run(MordeltExe(), "-cpfile*" + source);
  CHECK_EQ(usage.exit_code, 1u);
}

// ---------------------------------------------------------------------------
// -delfile
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(MordeltDelfileRemovesAReadOnlyFile) {
  TempDir dir;
  const std::string file = dir.File("read only.sys");
  REQUIRE(WriteFileBytes(file, "x"));
  REQUIRE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY) != 0);
  REQUIRE(DeleteFileA(file.c_str()) == 0);  // the attribute does protect it
  CheckMordelt(CONFORMANCE_HERE, "-delfile*" + file, 0);
  CHECK(!FileExists(file));
}

// A name of a file that has others (hard links) goes; the file stays, read-only as it was.
CONFORMANCE_TEST(MordeltDelfileLeavesTheOtherNamesOfAFileReadOnly) {
  TempDir dir;
  const std::string file = dir.File("driver.sys");
  const std::string other = dir.File("other name.sys");
  REQUIRE(WriteFileBytes(file, "x"));
  REQUIRE(CreateHardLinkA(other.c_str(), file.c_str(), nullptr) != 0);
  REQUIRE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY) != 0);
  CheckMordelt(CONFORMANCE_HERE, "-delfile*" + file, 0);
  CHECK(!FileExists(file));
  CHECK_EQ(GetFileAttributesA(other.c_str()) & FILE_ATTRIBUTE_READONLY,
           static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  SetFileAttributesA(other.c_str(), FILE_ATTRIBUTE_NORMAL);
}

CONFORMANCE_TEST(MordeltDelfileOfAMissingFileGivesZero) {
  TempDir dir;
  CheckMordelt(CONFORMANCE_HERE, "-delfile*" + dir.File("missing.sys"), 0);
  CheckMordelt(CONFORMANCE_HERE, "-delfile*" + dir.File("no-dir\\missing.sys"), 0);
}

CONFORMANCE_TEST(MordeltDelfileThatLeavesTheFileGivesSeven) {
  TempDir dir;
  // A directory is no file: DeleteFileA refuses it, and it is still there.
  const std::string folder = dir.File("folder");
  REQUIRE(CreateDirectoryA(folder.c_str(), nullptr) != 0);
  CheckMordelt(CONFORMANCE_HERE, "-delfile*" + folder, 7);
  CHECK(FileExists(folder));

  // A file held open without delete sharing cannot be deleted, and keeps its read-only mark.
  const std::string busy = dir.File("busy.sys");
  REQUIRE(WriteFileBytes(busy, "x"));
  REQUIRE(SetFileAttributesA(busy.c_str(), FILE_ATTRIBUTE_READONLY) != 0);
  HANDLE open = CreateFileA(busy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  REQUIRE(open != INVALID_HANDLE_VALUE);
  CheckMordelt(CONFORMANCE_HERE, "-delfile*" + busy, 7);
  CHECK(FileExists(busy));
  CHECK_EQ(GetFileAttributesA(busy.c_str()) & FILE_ATTRIBUTE_READONLY,
           static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  CloseHandle(open);
}

CONFORMANCE_TEST(MordeltDelfileOfAFileHeldOpenWithDeleteSharingGivesZero) {
  // Virus scanners and indexers open files so: the deletion is accepted, and the file goes when
  // the last handle to it is closed.
  TempDir dir;
  const std::string file = dir.File("scanned.sys");
  REQUIRE(WriteFileBytes(file, "x"));
  HANDLE open = CreateFileA(file.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  REQUIRE(open != INVALID_HANDLE_VALUE);
  CheckMordelt(CONFORMANCE_HERE, "-delfile*" + file, 0);
  CloseHandle(open);
  CHECK(!FileExists(file));
}

}  // namespace
}  // namespace conformance
