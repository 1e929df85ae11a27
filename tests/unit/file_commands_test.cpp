#include "mordelt/file_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
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
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{
                                  "CreateFileA", "GetFileType", "GetFileInformationByHandle",
                                  "SetFileBasicInfo", "SetFileDispositionInfo", "CloseHandle"}));
  // DELETE and the attributes, all sharing, the link itself, no acting as the caller for a pipe.
  EXPECT_EQ(fake.log.ArgumentsOf("CreateFileA"),
            "\"C:\\old.sys\", access 0x10180, share 0x7, flags 0x310000");
  EXPECT_EQ(fake.log.ArgumentsOf("SetFileBasicInfo"), "file#1, 0x20");
  EXPECT_EQ(fake.files.OpenHandles(), 0);
}

TEST(DeleteFileForcedTest, AttributesAreWrittenBackEvenWithoutTheReadOnlyBit) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\f", "x", 0x26);
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\f"), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("SetFileBasicInfo"), "file#1, 0x26");
}

TEST(DeleteFileForcedTest, MissingFileGivesZero) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\missing"), 0);
  EXPECT_EQ(fake.log.Count("SetFileBasicInfo"), 0u);
  EXPECT_EQ(fake.log.Count("CreateFileA"), 1u);
}

TEST(DeleteFileForcedTest, AFileThatAnotherProgramHoldsIsDeletedOnlyWithDeleteSharing) {
  // Held open with delete sharing, the file goes only when the other program closes it; held
  // without, it is refused at the open, before anything is changed.
  struct Case {
    void (fakes::FakeFiles::*hold)(const std::string&);
    std::uint32_t attributes;
    int expected;
    std::uint32_t attributesAfter;
    std::size_t attributeWrites;
  };
  for (const Case c : {Case{&fakes::FakeFiles::Lock, 0x21, 7, 0x21, 0},
                       Case{&fakes::FakeFiles::Lock, 0x20, 7, 0x20, 0},
                       Case{&fakes::FakeFiles::HoldOpenSharingDelete, 0x21, 0, 0x20, 1}}) {
    fakes::FakePlatform fake;
    fake.files.AddFile("C:\\held.sys", "x", c.attributes);
    (fake.files.*c.hold)("C:\\held.sys");
    EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\held.sys"), c.expected);
    EXPECT_TRUE(fake.files.Exists("C:\\held.sys"));
    EXPECT_EQ(fake.files.Attributes("C:\\held.sys"), c.attributesAfter) << c.attributes;
    EXPECT_EQ(fake.log.Count("SetFileBasicInfo"), c.attributeWrites) << c.attributes;
  }
}

TEST(DeleteFileForcedTest, AReadOnlyBitThatCannotBeClearedGivesSeven) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\ro.sys", "x", 0x21);
  fake.log.Fail("SetFileBasicInfo");
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\ro.sys"), 7);
  EXPECT_EQ(fake.console.output, "");
}

TEST(DeleteFileForcedTest, ARefusedDeletionIsDoneOnlyWhenThereIsNoSuchFile) {
  struct Case {
    const char* call;
    std::uint32_t error;
    int expected;
  };
  for (const Case c : {Case{"CreateFileA", platform::kErrorFileNotFound, 0},
                       Case{"CreateFileA", platform::kErrorPathNotFound, 0},
                       Case{"CreateFileA", platform::kErrorInvalidName, 0},
                       Case{"CreateFileA", 5, 7}, Case{"CreateFileA", 32, 7},
                       // Once the file is open, it is there.
                       Case{"SetFileDispositionInfo", platform::kErrorFileNotFound, 7}}) {
    fakes::FakePlatform fake;
    fake.files.AddFile("C:\\f.sys", "x");
    fake.log.Fail(c.call, c.error);
    EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\f.sys"), c.expected) << c.error;
  }
}

TEST(DeleteFileForcedTest, FailedFirstAttributeReadStillDeletes) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\f", "x", 0x20);
  fake.log.Fail("GetFileInformationByHandle", fakes::kDefaultFault, 0);
  EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\f"), 0);
  EXPECT_EQ(fake.log.Count("SetFileBasicInfo"), 0u);
  EXPECT_FALSE(fake.files.Exists("C:\\f"));
}

TEST(DeleteFileForcedTest, TheAttributesAfterwardsAndWhatWasWritten) {
  struct Row {
    const char* what;
    std::uint32_t attributes;
    std::vector<std::pair<const char*, int>> failing;  // calls that fail: name, occurrence
    int expected;
    std::vector<std::string> writes;  // the attributes given to SetFileBasicInfo, in order
    std::uint32_t attributesAfter;    // kInvalidFileAttributes: deleted
    std::uint32_t links = 1;
    std::uint32_t fileType = platform::kFileTypeDisk;
  };
  const std::uint32_t gone = platform::kInvalidFileAttributes;
  const Row rows[] = {
      {"attributes unknown, read-only", 0x21, {{"GetFileInformationByHandle", 0}}, 7, {}, 0x21},
      {"restore refused",
       0x21,
       {{"SetFileDispositionInfo", 0}, {"SetFileBasicInfo", 1}},
       7,
       {"0x20", "0x21"},
       0x20},
      {"nothing but read-only", 0x01, {}, 0, {"0x80"}, gone},
      {"other names keep the mark", 0x21, {}, 0, {"0x20", "0x21"}, gone, 2},
      {"other names, not read-only", 0x20, {}, 0, {"0x20"}, gone, 2},
      {"a pipe", 0x20, {}, 7, {}, 0x20, 1, 3},
      {"attributes may not be changed", 0x20, {{"CreateFileA", 0}}, 0, {"0x20"}, gone},
      {"attributes may not be changed, read-only", 0x21, {{"CreateFileA", 0}}, 7, {"0x20"}, 0x21},
  };
  for (const Row& row : rows) {
    fakes::FakePlatform fake;
    fake.files.AddDevice("C:\\f", row.fileType, "x");
    fake.files.AddFile("C:\\f", "x", row.attributes);
    fake.files.SetNumberOfLinks("C:\\f", row.links);
    for (const auto& [call, occurrence] : row.failing) {
      fake.log.Fail(call, fakes::kDefaultFault, occurrence);
    }
    EXPECT_EQ(mordelt::DeleteFileForced(fake.files, "C:\\f"), row.expected) << row.what;
    std::vector<std::string> writes;
    for (const std::string& arguments : fake.log.ArgumentsOfEach("SetFileBasicInfo")) {
      writes.push_back(arguments.substr(arguments.find(", ") + 2));
    }
    EXPECT_EQ(writes, row.writes) << row.what;
    EXPECT_EQ(fake.files.Attributes("C:\\f"), row.attributesAfter) << row.what;
    EXPECT_EQ(fake.files.OpenHandles(), 0) << row.what;
  }
}

}  // namespace
