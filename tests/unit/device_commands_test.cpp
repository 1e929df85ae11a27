// The rescan, the file commands and the device and file verbs of the dispatcher.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mordelt/device_rescan.h"
#include "mordelt/dispatcher.h"
#include "mordelt/file_commands.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/argument_table.h"

namespace {

using Table = testing_support::ArgumentTable;

common::CommandResult Dispatch(fakes::FakePlatform& fake, Table table) {
  return mordelt::DispatchCommand(fake.platform, table.data(), table.count());
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
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\new.sys", "new", 0x20);
  fake.files.AddFile("C:\\drivers\\old.sys", "old", 0x20);
  EXPECT_EQ(mordelt::CopyFileReplacing(fake.files, "C:\\new.sys", "C:\\drivers\\old.sys"), 0);
  EXPECT_EQ(fake.files.Content("C:\\drivers\\old.sys"), "new");
  EXPECT_EQ(fake.log.ArgumentsOf("CopyFileA"),
            "\"C:\\new.sys\", \"C:\\drivers\\old.sys\", failIfExists 0");
}

TEST(CopyFileReplacingTest, RefusedCopyGivesSevenAndLeavesTheDestination) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::CopyFileReplacing(fake.files, "C:\\missing.sys", "C:\\to.sys"), 7);
  EXPECT_FALSE(fake.files.Exists("C:\\to.sys"));

  fake.files.AddFile("C:\\a", "a", 0x20);
  fake.files.AddFile("C:\\ro", "ro", 0x21);
  EXPECT_EQ(mordelt::CopyFileReplacing(fake.files, "C:\\a", "C:\\ro"), 7);
  EXPECT_EQ(fake.files.Content("C:\\ro"), "ro");

  fake.log.Fail("CopyFileA");
  EXPECT_EQ(mordelt::CopyFileReplacing(fake.files, "C:\\a", "C:\\b"), 7);
  EXPECT_EQ(fake.console.output, "");
}

// --- Forced delete ---

TEST(DeleteFileForcedTest, ReadOnlyFileIsDeleted) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\old.sys", "x", 0x21);
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\old.sys"), 0);
  EXPECT_FALSE(fake.files.Exists("C:\\old.sys"));
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"GetFileAttributesA", "SetFileAttributesA", "DeleteFileA"}));
  EXPECT_EQ(fake.log.ArgumentsOf("SetFileAttributesA"), "\"C:\\old.sys\", 0x20");
}

TEST(DeleteFileForcedTest, AttributesAreWrittenBackEvenWithoutTheReadOnlyBit) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\f", "x", 0x26);
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\f"), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("SetFileAttributesA"), "\"C:\\f\", 0x26");
}

TEST(DeleteFileForcedTest, MissingFileGivesZero) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\missing"), 0);
  EXPECT_EQ(fake.log.Count("SetFileAttributesA"), 0u);
  EXPECT_EQ(fake.log.Count("DeleteFileA"), 1u);
}

TEST(DeleteFileForcedTest, FileStillThereGivesSeven) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\in-use.sys", "x", 0x20);
  fake.files.Lock("C:\\in-use.sys");
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\in-use.sys"), 7);
  EXPECT_TRUE(fake.files.Exists("C:\\in-use.sys"));

  // The read-only bit could not be cleared, so the deletion is refused.
  fake.files.AddFile("C:\\ro.sys", "x", 0x21);
  fake.log.Fail("SetFileAttributesA");
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\ro.sys"), 7);
  EXPECT_EQ(fake.console.output, "");
}

TEST(DeleteFileForcedTest, AnAcceptedDeletionIsDoneEvenWhileAnotherProgramHoldsTheFile) {
  // Held open with delete sharing, the file goes only when the other program closes it.
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\scanned.sys", "x", 0x21);
  fake.files.HoldOpenSharingDelete("C:\\scanned.sys");
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\scanned.sys"), 0);
  EXPECT_TRUE(fake.files.Exists("C:\\scanned.sys"));
}

TEST(DeleteFileForcedTest, ARefusedDeletionIsDoneOnlyWhenThereIsNoSuchFile) {
  struct Case {
    std::uint32_t error;
    int expected;
  };
  for (const Case c : {Case{platform::kNoSuchFile, 0}, Case{platform::kNoSuchPath, 0},
                       Case{platform::kInvalidName, 0}, Case{5, 7}, Case{32, 7}}) {
    fakes::FakePlatform fake;
    fake.files.AddFile("C:\\f.sys", "x");
    fake.log.Fail("DeleteFileA", c.error);
    EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\f.sys"), c.expected) << c.error;
  }
}

TEST(DeleteFileForcedTest, FailedFirstAttributeReadStillDeletes) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\f", "x", 0x20);
  fake.log.Fail("GetFileAttributesA", fakes::kDefaultFault, 0);
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\f"), 0);
  EXPECT_EQ(fake.log.Count("SetFileAttributesA"), 0u);
  EXPECT_FALSE(fake.files.Exists("C:\\f"));
}

// --- The verbs ---

TEST(DeviceVerbsTest, HwidWithHashFindsAnyPresentDevice) {
  fakes::FakePlatform fake;
  fake.devices.Add({"ROOT\\X\\0", fakes::MakeGuid(1), true, fakes::MultiSz({"X"}), {}});
  const common::CommandResult result = Dispatch(fake, {"-hwid", "#"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.log.ArgumentsOf("SetupDiGetClassDevsExA"), "null, 0x6");
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
}

TEST(DeviceVerbsTest, HwidOnAMachineWithoutPresentDevicesGivesFour) {
  fakes::FakePlatform fake;
  fake.devices.Add({"ROOT\\X\\0", fakes::MakeGuid(1), false, fakes::MultiSz({"X"}), {}});
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#"}).exitCode, 4);
}

TEST(DeviceVerbsTest, HwidWithoutHashArgumentsMakesNoQuery) {
  fakes::FakePlatform fake;
  fake.devices.Add({"PCI\\X", fakes::MakeGuid(1), true, fakes::MultiSz({"PCI\\VEN_1234"}), {}});
  EXPECT_EQ(Dispatch(fake, {"-hwid"}).exitCode, 4);
  EXPECT_EQ(Dispatch(fake, {"-hwid", "PCI\\VEN_1234"}).exitCode, 4);
  EXPECT_EQ(Dispatch(fake, {"-hwidx", "*"}).exitCode, 4);
  EXPECT_TRUE(fake.log.calls().empty());
  EXPECT_EQ(fake.console.output, "");
}

TEST(DeviceVerbsTest, HwidTriesEachHashPatternUntilOneMatches) {
  fakes::FakePlatform fake;
  fake.devices.Add(
      {"PCI\\VEN_1234&DEV_5678\\3",
       fakes::MakeGuid(1),
       true,
       fakes::MultiSz({"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01",
                       "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000", "PCI\\VEN_1234&DEV_5678"}),
       {}});
  Table table{"-hwid", "#PNP0501", "USB\\X", "#PCI\\VEN_1234&DEV_5678", "#NEVER"};
  const common::CommandResult result =
      mordelt::DispatchCommand(fake.platform, table.data(), table.count());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(fake.devices.SetsMade(), 2);
  EXPECT_EQ(table.at(1), "*PNP0501");
  EXPECT_EQ(table.at(3), "*PCI\\VEN_1234&DEV_5678");
  EXPECT_EQ(table.at(4), "#NEVER");  // never looked at
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
}

TEST(DeviceVerbsTest, HwidWhereNoPatternMatchesGivesFour) {
  fakes::FakePlatform fake;
  fake.devices.Add({"PCI\\X",
                    fakes::MakeGuid(1),
                    true,
                    fakes::MultiSz({"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000"}),
                    {}});
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#A", "#PCI\\VEN_1234&DEV_5678"}).exitCode, 4);
  EXPECT_EQ(fake.devices.SetsMade(), 2);
}

TEST(DeviceVerbsTest, HwidQueryFailureIsNotAMatch) {
  fakes::FakePlatform fake;
  fake.devices.Add({"PCI\\X", fakes::MakeGuid(1), true, fakes::MultiSz({"A"}), {}});
  fake.log.Fail("SetupDiGetClassDevsExA", fakes::kDefaultFault, 0);
  // The first query fails (2), the second finds the device.
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#", "#A"}).exitCode, 0);
  fake.log.Clear();
  fake.log.Fail("SetupDiGetClassDevsExA");
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#"}).exitCode, 4);
}

TEST(DeviceVerbsTest, RescanReturnsTheRescanResult) {
  fakes::FakePlatform fake;
  common::CommandResult result = Dispatch(fake, {"-rescan"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(Dispatch(fake, {"-rescan", "x"}).exitCode, 0);
  EXPECT_EQ(fake.devices.reenumerated.size(), 2u);
  fake.log.Fail("CM_Locate_DevNode_ExA");
  EXPECT_EQ(Dispatch(fake, {"-rescan"}).exitCode, 2);
  fake.log.Clear();
  fake.log.Fail("CM_Reenumerate_DevNode_Ex");
  result = Dispatch(fake, {"-rescan"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.console.output, "");
}

TEST(FileVerbsTest, CpfileCopiesOverTheDestination) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\a.sys", "a", 0x20);
  fake.files.AddFile("C:\\b.sys", "b", 0x20);
  const common::CommandResult result = Dispatch(fake, {"-cpfile", "C:\\a.sys", "C:\\b.sys"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.files.Content("C:\\b.sys"), "a");
}

TEST(FileVerbsTest, CpfileThatFailsGivesSeven) {
  fakes::FakePlatform fake;
  const common::CommandResult result = Dispatch(fake, {"-cpfile", "C:\\none", "C:\\b.sys"});
  EXPECT_EQ(result.exitCode, 7);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.console.output, "");
}

TEST(FileVerbsTest, CpfileWithOneArgumentIsAUsageError) {
  fakes::FakePlatform fake;
  const common::CommandResult result = Dispatch(fake, {"-cpfile", "C:\\a.sys"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(fake.log.Count("CopyFileA"), 0u);
}

TEST(FileVerbsTest, DelfileDeletesReadOnlyFilesAndAcceptsMissingOnes) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\ro.sys", "x", 0x21);
  common::CommandResult result = Dispatch(fake, {"-delfile", "C:\\ro.sys"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_FALSE(fake.files.Exists("C:\\ro.sys"));
  EXPECT_EQ(Dispatch(fake, {"-delfile", "C:\\ro.sys"}).exitCode, 0);
  fake.files.AddFile("C:\\busy.sys", "x", 0x20);
  fake.files.Lock("C:\\busy.sys");
  EXPECT_EQ(Dispatch(fake, {"-delfile", "C:\\busy.sys"}).exitCode, 7);
  EXPECT_EQ(Dispatch(fake, {"-delfile"}).exitCode, 1);
  EXPECT_EQ(fake.log.Count("DeleteFileA"), 3u);
}

}  // namespace
