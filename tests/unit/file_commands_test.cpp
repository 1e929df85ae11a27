#include "mordelt/file_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

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

TEST(DeleteFileForcedTest, AFileThatAnotherProgramHoldsIsDeletedOnlyWithDeleteSharing) {
  // Held open with delete sharing, the file goes only when the other program closes it; locked,
  // it is refused.
  // A refused deletion gives a read-only file its mark back, and writes nothing more otherwise.
  struct Case {
    void (fakes::FakeFiles::*hold)(const std::string&);
    std::uint32_t attributes;
    int expected;
    std::uint32_t attributesAfter;
    std::size_t attributeWrites;
  };
  for (const Case c : {Case{&fakes::FakeFiles::Lock, 0x21, 7, 0x21, 2},
                       Case{&fakes::FakeFiles::Lock, 0x20, 7, 0x20, 1},
                       Case{&fakes::FakeFiles::HoldOpenSharingDelete, 0x21, 0, 0x20, 1}}) {
    fakes::FakePlatform fake;
    fake.files.AddFile("C:\\held.sys", "x", c.attributes);
    (fake.files.*c.hold)("C:\\held.sys");
    EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\held.sys"), c.expected);
    EXPECT_TRUE(fake.files.Exists("C:\\held.sys"));
    EXPECT_EQ(fake.files.Attributes("C:\\held.sys"), c.attributesAfter) << c.attributes;
    EXPECT_EQ(fake.log.Count("SetFileAttributesA"), c.attributeWrites) << c.attributes;
  }
}

TEST(DeleteFileForcedTest, AReadOnlyBitThatCannotBeClearedGivesSeven) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\ro.sys", "x", 0x21);
  fake.log.Fail("SetFileAttributesA");
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\ro.sys"), 7);
  EXPECT_EQ(fake.console.output, "");
}

TEST(DeleteFileForcedTest, ARefusedDeletionIsDoneOnlyWhenThereIsNoSuchFile) {
  struct Case {
    std::uint32_t error;
    int expected;
  };
  for (const Case c : {Case{platform::kErrorFileNotFound, 0}, Case{platform::kErrorPathNotFound, 0},
                       Case{platform::kErrorInvalidName, 0}, Case{5, 7}, Case{32, 7}}) {
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

}  // namespace
