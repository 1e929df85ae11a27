// The rescan, the file commands and the device and file verbs of the dispatcher.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "mordelt/device_rescan.h"
#include "mordelt/dispatcher.h"
#include "mordelt/file_commands.h"
#include "tests/fakes/fake_platform.h"

namespace {

// A few files in memory, enough for copying and deleting: contents and attributes by name
// (names compared as given). A read-only file refuses deletion and refuses being copied over,
// as on the system; `locked` files refuse deletion whatever their attributes (a file in use).
class LocalFiles final : public platform::Files {
 public:
  explicit LocalFiles(fakes::CallLog& log) : log_(log) {}

  struct File {
    std::string contents;
    std::uint32_t attributes = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
  };
  std::map<std::string, File> files;
  std::vector<std::string> locked;

  platform::TextFileHandle fopen_r(const char* name) override {
    log_.Record("fopen", fakes::Quote(name));
    return nullptr;
  }
  char* fgets(char*, int, platform::TextFileHandle) override { return nullptr; }
  int fclose(platform::TextFileHandle) override { return 0; }

  bool CopyFileA(const char* from, const char* to, bool failIfExists) override {
    if (log_.Record("CopyFileA", fakes::Quote(from) + ", " + fakes::Quote(to) + ", " +
                                     (failIfExists ? "1" : "0"))) {
      return false;
    }
    auto source = files.find(from);
    if (source == files.end()) return false;
    auto destination = files.find(to);
    if (destination != files.end()) {
      if (failIfExists) return false;
      if ((destination->second.attributes & platform::kFileAttributeReadonly) != 0) return false;
    }
    files[to] = source->second;
    return true;
  }
  std::uint32_t GetFileAttributesA(const char* path) override {
    if (log_.Record("GetFileAttributesA", fakes::Quote(path))) {
      return platform::kInvalidFileAttributes;
    }
    auto file = files.find(path);
    return file == files.end() ? platform::kInvalidFileAttributes : file->second.attributes;
  }
  bool SetFileAttributesA(const char* path, std::uint32_t attributes) override {
    if (log_.Record("SetFileAttributesA", fakes::Quote(path) + ", " + fakes::Hex(attributes))) {
      return false;
    }
    auto file = files.find(path);
    if (file == files.end()) return false;
    file->second.attributes = attributes;
    return true;
  }
  bool DeleteFileA(const char* path) override {
    if (log_.Record("DeleteFileA", fakes::Quote(path))) return false;
    auto file = files.find(path);
    if (file == files.end()) return false;
    if ((file->second.attributes & platform::kFileAttributeReadonly) != 0) return false;
    for (const std::string& name : locked) {
      if (name == path) return false;
    }
    files.erase(file);
    return true;
  }
  platform::FindHandle FindFirstFileA(const char* pattern, platform::FindData*) override {
    log_.Record("FindFirstFileA", fakes::Quote(pattern));
    return platform::InvalidFindHandle();
  }
  bool FindClose(platform::FindHandle) override { return false; }

 private:
  fakes::CallLog& log_;
};

// The fake platform with the local files in place of its own.
struct Machine {
  fakes::FakePlatform fake;
  LocalFiles files{fake.log};
  platform::Platform platform{fake.memory,   fake.console, fake.codePage,  fake.windows,
                              fake.registry, files,        fake.processes, fake.devices};
};

// An argument table of writable entries, as the splitter gives it.
class Table {
 public:
  Table(std::initializer_list<const char*> entries) {
    for (const char* entry : entries) {
      storage_.emplace_back(entry, entry + std::string(entry).size());
      storage_.back().push_back('\0');
      storage_.back().push_back('\0');
    }
    for (auto& entry : storage_) pointers_.push_back(entry.data());
  }
  char** data() { return pointers_.data(); }
  int count() const { return static_cast<int>(pointers_.size()); }
  std::string at(int i) const { return pointers_[i]; }

 private:
  std::vector<std::vector<char>> storage_;
  std::vector<char*> pointers_;
};

common::CommandResult Dispatch(Machine& machine, Table table) {
  return mordelt::DispatchCommand(machine.platform, table.data(), table.count());
}

// --- Rescan ---

TEST(RescanDeviceTreeTest, RootIsLocatedOnTheLocalMachineAndReenumerated) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::RescanDeviceTree(fake.devices), 0);
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"CM_Locate_DevNode_ExA", "CM_Reenumerate_DevNode_Ex"}));
  EXPECT_EQ(fake.log.ArgumentsOf("CM_Locate_DevNode_ExA"), "null, 0, 0x0");
  EXPECT_EQ(fake.log.ArgumentsOf("CM_Reenumerate_DevNode_Ex"), "0x1, 0, 0x0");
  EXPECT_EQ(fake.devices.reenumerated,
            (std::vector<platform::DevInst>{fakes::FakeDevices::kRootDevInst}));
}

TEST(RescanDeviceTreeTest, RootThatCannotBeLocatedGivesTwoWithoutReenumerating) {
  for (std::uint32_t error : {platform::kCrFailure, fakes::kCrNoSuchDevnode, 0x33u}) {
    fakes::FakePlatform fake;
    fake.log.Fail("CM_Locate_DevNode_ExA", error);
    EXPECT_EQ(mordelt::RescanDeviceTree(fake.devices), 2) << error;
    EXPECT_EQ(fake.log.Count("CM_Reenumerate_DevNode_Ex"), 0u);
  }
}

TEST(RescanDeviceTreeTest, RefusedReenumerationGivesTwo) {
  for (std::uint32_t error : {platform::kCrFailure, fakes::kCrInvalidDevnode}) {
    fakes::FakePlatform fake;
    fake.log.Fail("CM_Reenumerate_DevNode_Ex", error);
    EXPECT_EQ(mordelt::RescanDeviceTree(fake.devices), 2) << error;
    EXPECT_TRUE(fake.devices.reenumerated.empty());
  }
}

// --- Copy ---

TEST(CopyFileReplacingTest, ReplacesAnExistingDestination) {
  Machine machine;
  machine.files.files["C:\\new.sys"] = {"new", 0x20};
  machine.files.files["C:\\drivers\\old.sys"] = {"old", 0x20};
  EXPECT_EQ(mordelt::CopyFileReplacing(machine.files, "C:\\new.sys", "C:\\drivers\\old.sys"), 0);
  EXPECT_EQ(machine.files.files["C:\\drivers\\old.sys"].contents, "new");
  EXPECT_EQ(machine.fake.log.ArgumentsOf("CopyFileA"),
            "\"C:\\new.sys\", \"C:\\drivers\\old.sys\", 0");
}

TEST(CopyFileReplacingTest, RefusedCopyGivesSevenAndLeavesTheDestination) {
  Machine machine;
  EXPECT_EQ(mordelt::CopyFileReplacing(machine.files, "C:\\missing.sys", "C:\\to.sys"), 7);
  EXPECT_EQ(machine.files.files.count("C:\\to.sys"), 0u);

  machine.files.files["C:\\a"] = {"a", 0x20};
  machine.files.files["C:\\ro"] = {"ro", 0x21};
  EXPECT_EQ(mordelt::CopyFileReplacing(machine.files, "C:\\a", "C:\\ro"), 7);
  EXPECT_EQ(machine.files.files["C:\\ro"].contents, "ro");

  machine.fake.log.Fail("CopyFileA");
  EXPECT_EQ(mordelt::CopyFileReplacing(machine.files, "C:\\a", "C:\\b"), 7);
  EXPECT_EQ(machine.fake.console.output, "");
}

// --- Forced delete ---

TEST(DeleteFileForcedTest, ReadOnlyFileIsDeleted) {
  Machine machine;
  machine.files.files["C:\\old.sys"] = {"x", 0x21};
  EXPECT_EQ(mordelt::DeleteFileForced(machine.files, "C:\\old.sys"), 0);
  EXPECT_EQ(machine.files.files.count("C:\\old.sys"), 0u);
  EXPECT_EQ(machine.fake.log.Names(),
            (std::vector<std::string>{"GetFileAttributesA", "SetFileAttributesA", "DeleteFileA",
                                      "GetFileAttributesA"}));
  EXPECT_EQ(machine.fake.log.ArgumentsOf("SetFileAttributesA"), "\"C:\\old.sys\", 0x20");
}

TEST(DeleteFileForcedTest, AttributesAreWrittenBackEvenWithoutTheReadOnlyBit) {
  Machine machine;
  machine.files.files["C:\\f"] = {"x", 0x26};
  EXPECT_EQ(mordelt::DeleteFileForced(machine.files, "C:\\f"), 0);
  EXPECT_EQ(machine.fake.log.ArgumentsOf("SetFileAttributesA"), "\"C:\\f\", 0x26");
}

TEST(DeleteFileForcedTest, MissingFileGivesZero) {
  Machine machine;
  EXPECT_EQ(mordelt::DeleteFileForced(machine.files, "C:\\missing"), 0);
  EXPECT_EQ(machine.fake.log.Count("SetFileAttributesA"), 0u);
  EXPECT_EQ(machine.fake.log.Count("DeleteFileA"), 1u);
}

TEST(DeleteFileForcedTest, FileStillThereGivesSeven) {
  Machine machine;
  machine.files.files["C:\\in-use.sys"] = {"x", 0x20};
  machine.files.locked.push_back("C:\\in-use.sys");
  EXPECT_EQ(mordelt::DeleteFileForced(machine.files, "C:\\in-use.sys"), 7);
  EXPECT_EQ(machine.files.files.count("C:\\in-use.sys"), 1u);

  // The read-only bit could not be cleared, so the deletion is refused.
  machine.files.files["C:\\ro.sys"] = {"x", 0x21};
  machine.fake.log.Fail("SetFileAttributesA");
  EXPECT_EQ(mordelt::DeleteFileForced(machine.files, "C:\\ro.sys"), 7);
  EXPECT_EQ(machine.fake.console.output, "");
}

TEST(DeleteFileForcedTest, FailedFirstAttributeReadStillDeletes) {
  Machine machine;
  machine.files.files["C:\\f"] = {"x", 0x20};
  machine.fake.log.Fail("GetFileAttributesA", fakes::kDefaultFault, 0);
  EXPECT_EQ(mordelt::DeleteFileForced(machine.files, "C:\\f"), 0);
  EXPECT_EQ(machine.fake.log.Count("SetFileAttributesA"), 0u);
  EXPECT_EQ(machine.files.files.count("C:\\f"), 0u);
}

// --- The verbs ---

TEST(DeviceVerbsTest, HwidWithHashFindsAnyPresentDevice) {
  Machine machine;
  machine.fake.devices.Add({"ROOT\\X\\0", fakes::MakeGuid(1), true, fakes::MultiSz({"X"}), {}});
  const common::CommandResult result = Dispatch(machine, {"-hwid", "#"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(machine.fake.log.ArgumentsOf("SetupDiGetClassDevsExA"), "null, 0x6");
  EXPECT_EQ(machine.fake.OpenHandles(), 0);
  EXPECT_EQ(machine.fake.memory.LiveBlocks(), 0u);
}

TEST(DeviceVerbsTest, HwidOnAMachineWithoutPresentDevicesGivesFour) {
  Machine machine;
  machine.fake.devices.Add({"ROOT\\X\\0", fakes::MakeGuid(1), false, fakes::MultiSz({"X"}), {}});
  EXPECT_EQ(Dispatch(machine, {"-hwid", "#"}).exitCode, 4);
}

TEST(DeviceVerbsTest, HwidWithoutHashArgumentsMakesNoQuery) {
  Machine machine;
  machine.fake.devices.Add(
      {"PCI\\X", fakes::MakeGuid(1), true, fakes::MultiSz({"PCI\\VEN_1234"}), {}});
  EXPECT_EQ(Dispatch(machine, {"-hwid"}).exitCode, 4);
  EXPECT_EQ(Dispatch(machine, {"-hwid", "PCI\\VEN_1234"}).exitCode, 4);
  EXPECT_EQ(Dispatch(machine, {"-hwidx", "*"}).exitCode, 4);
  EXPECT_TRUE(machine.fake.log.calls().empty());
  EXPECT_EQ(machine.fake.console.output, "");
}

TEST(DeviceVerbsTest, HwidTriesEachHashPatternUntilOneMatches) {
  Machine machine;
  machine.fake.devices.Add(
      {"PCI\\VEN_1234&DEV_5678\\3",
       fakes::MakeGuid(1),
       true,
       fakes::MultiSz({"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01",
                       "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000", "PCI\\VEN_1234&DEV_5678"}),
       {}});
  Table table{"-hwid", "#PNP0501", "USB\\X", "#PCI\\VEN_1234&DEV_5678", "#NEVER"};
  const common::CommandResult result =
      mordelt::DispatchCommand(machine.platform, table.data(), table.count());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(machine.fake.devices.SetsMade(), 2);
  EXPECT_EQ(table.at(1), "*PNP0501");
  EXPECT_EQ(table.at(3), "*PCI\\VEN_1234&DEV_5678");
  EXPECT_EQ(table.at(4), "#NEVER");  // never looked at
  EXPECT_EQ(machine.fake.OpenHandles(), 0);
  EXPECT_EQ(machine.fake.memory.LiveBlocks(), 0u);
}

TEST(DeviceVerbsTest, HwidWhereNoPatternMatchesGivesFour) {
  Machine machine;
  machine.fake.devices.Add({"PCI\\X",
                            fakes::MakeGuid(1),
                            true,
                            fakes::MultiSz({"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000"}),
                            {}});
  EXPECT_EQ(Dispatch(machine, {"-hwid", "#A", "#PCI\\VEN_1234&DEV_5678"}).exitCode, 4);
  EXPECT_EQ(machine.fake.devices.SetsMade(), 2);
}

TEST(DeviceVerbsTest, HwidQueryFailureIsNotAMatch) {
  Machine machine;
  machine.fake.devices.Add({"PCI\\X", fakes::MakeGuid(1), true, fakes::MultiSz({"A"}), {}});
  machine.fake.log.Fail("SetupDiGetClassDevsExA", fakes::kDefaultFault, 0);
  // The first query fails (2), the second finds the device.
  EXPECT_EQ(Dispatch(machine, {"-hwid", "#", "#A"}).exitCode, 0);
  machine.fake.log.Clear();
  machine.fake.log.Fail("SetupDiGetClassDevsExA");
  EXPECT_EQ(Dispatch(machine, {"-hwid", "#"}).exitCode, 4);
}

TEST(DeviceVerbsTest, RescanReturnsTheRescanResult) {
  Machine machine;
  common::CommandResult result = Dispatch(machine, {"-rescan"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(Dispatch(machine, {"-rescan", "x"}).exitCode, 0);
  EXPECT_EQ(machine.fake.devices.reenumerated.size(), 2u);
  machine.fake.log.Fail("CM_Locate_DevNode_ExA");
  EXPECT_EQ(Dispatch(machine, {"-rescan"}).exitCode, 2);
  machine.fake.log.Clear();
  machine.fake.log.Fail("CM_Reenumerate_DevNode_Ex");
  result = Dispatch(machine, {"-rescan"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(machine.fake.console.output, "");
}

TEST(FileVerbsTest, CpfileCopiesOverTheDestination) {
  Machine machine;
  machine.files.files["C:\\a.sys"] = {"a", 0x20};
  machine.files.files["C:\\b.sys"] = {"b", 0x20};
  const common::CommandResult result = Dispatch(machine, {"-cpfile", "C:\\a.sys", "C:\\b.sys"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(machine.files.files["C:\\b.sys"].contents, "a");
}

TEST(FileVerbsTest, CpfileThatFailsGivesSeven) {
  Machine machine;
  const common::CommandResult result = Dispatch(machine, {"-cpfile", "C:\\none", "C:\\b.sys"});
  EXPECT_EQ(result.exitCode, 7);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(machine.fake.console.output, "");
}

TEST(FileVerbsTest, CpfileWithOneArgumentIsAUsageError) {
  Machine machine;
  const common::CommandResult result = Dispatch(machine, {"-cpfile", "C:\\a.sys"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(machine.fake.log.Count("CopyFileA"), 0u);
}

TEST(FileVerbsTest, DelfileDeletesReadOnlyFilesAndAcceptsMissingOnes) {
  Machine machine;
  machine.files.files["C:\\ro.sys"] = {"x", 0x21};
  common::CommandResult result = Dispatch(machine, {"-delfile", "C:\\ro.sys"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(machine.files.files.count("C:\\ro.sys"), 0u);
  EXPECT_EQ(Dispatch(machine, {"-delfile", "C:\\ro.sys"}).exitCode, 0);
  machine.files.files["C:\\busy.sys"] = {"x", 0x20};
  machine.files.locked.push_back("C:\\busy.sys");
  EXPECT_EQ(Dispatch(machine, {"-delfile", "C:\\busy.sys"}).exitCode, 7);
  EXPECT_EQ(Dispatch(machine, {"-delfile"}).exitCode, 1);
  EXPECT_EQ(machine.fake.log.Count("DeleteFileA"), 3u);
}

}  // namespace
