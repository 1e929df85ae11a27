#include "tests/fakes/fake_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace std::string_literals;

class FakeFilesTest : public ::testing::Test {
 protected:
  platform::TextFileHandle Open(const char* name) {
    const platform::FileHandle file = files.CreateFileA(name, platform::kGenericRead, 3, 0);
    return file == platform::InvalidFileHandle() ? nullptr : files.fdopen_r(file);
  }
  platform::FileHandle OpenToDelete(const char* name) {
    return files.CreateFileA(name, platform::kDeleteAccess | platform::kFileWriteAttributes, 7, 0);
  }
  fakes::CallLog log;
  fakes::FakeFiles files{log};
};

TEST_F(FakeFilesTest, FgetsReadsTextModeLinesAsTheRuntimeDoes) {
  files.AddFile("a.txt",
                "ab\r\ncd\re\0f\r\nlast\x1a"
                "after"s);
  const platform::TextFileHandle file = Open("A.TXT");
  ASSERT_NE(file, nullptr);
  char buffer[8];
  ASSERT_EQ(files.fgets(buffer, sizeof buffer, file), buffer);
  EXPECT_EQ(std::string(buffer), "ab\n");
  ASSERT_EQ(files.fgets(buffer, 4, file), buffer);  // at most size - 1 bytes
  EXPECT_EQ(std::string(buffer), "cd\r");
  ASSERT_EQ(files.fgets(buffer, sizeof buffer, file), buffer);
  EXPECT_EQ(std::string(buffer, 5), "e\0f\n\0"s);
  ASSERT_EQ(files.fgets(buffer, sizeof buffer, file), buffer);  // Ctrl-Z ends the file
  EXPECT_EQ(std::string(buffer), "last");
  std::memcpy(buffer, "keep", 5);
  EXPECT_EQ(files.fgets(buffer, sizeof buffer, file), nullptr);
  EXPECT_EQ(std::string(buffer), "keep");
  EXPECT_EQ(files.fgets(buffer, 1, file), buffer);  // size 1: an empty string, even at the end
  EXPECT_EQ(files.fgets(buffer, 0, file), nullptr);
  EXPECT_EQ(files.OpenStreams(), 1);
  EXPECT_EQ(files.fclose(file), 0);
  EXPECT_EQ(files.OpenHandles(), 0);
  EXPECT_EQ(log.ArgumentsOf("fgets", 1), "stream#2, size 4");
}

TEST_F(FakeFilesTest, FailedCallsOpenAndChangeNothing) {
  files.AddFile("a.txt", "line\nmore\n");
  log.Fail("CreateFileA", fakes::kDefaultFault, 0);
  EXPECT_EQ(Open("a.txt"), nullptr);
  EXPECT_EQ(files.OpenHandles(), 0);
  EXPECT_EQ(Open("missing.txt"), nullptr);
  log.Fail("fdopen", fakes::kDefaultFault, 0);
  EXPECT_EQ(Open("a.txt"), nullptr);
  EXPECT_EQ(files.OpenHandles(), 0);  // the handle taken over is closed
  const platform::TextFileHandle file = Open("a.txt");
  log.Fail("fgets", fakes::kDefaultFault, 0);
  char buffer[16];
  EXPECT_EQ(files.fgets(buffer, sizeof buffer, file), nullptr);
  EXPECT_EQ(files.fgets(buffer, sizeof buffer, file), buffer);
  EXPECT_EQ(std::string(buffer), "line\n");
  log.Fail("fclose");
  EXPECT_EQ(files.fclose(file), -1);
  EXPECT_EQ(files.OpenStreams(), 0);  // closed all the same
}

TEST_F(FakeFilesTest, KernelCallsOverTheFileSet) {
  files.AddFile("C:\\src.txt", "data", platform::kFileAttributeReadonly);
  files.AddFile("C:\\dst.txt", "old", platform::kFileAttributeReadonly);
  EXPECT_FALSE(files.CopyFileA("C:\\src.txt", "C:\\dst.txt", false));  // read-only destination
  const platform::FileHandle file = OpenToDelete("c:\\DST.txt");
  EXPECT_FALSE(files.SetFileDispositionInfo(file));  // read-only refuses deletion
  EXPECT_TRUE(files.SetFileBasicInfo(file, 0));      // 0 changes nothing
  EXPECT_EQ(files.Attributes("C:\\dst.txt"), platform::kFileAttributeReadonly);
  EXPECT_TRUE(files.SetFileBasicInfo(file, fakes::kFileAttributeNormal));
  EXPECT_TRUE(files.CopyFileA("C:\\src.txt", "C:\\dst.txt", false));
  EXPECT_EQ(files.Content("C:\\dst.txt"), "data");
  EXPECT_TRUE(files.SetFileBasicInfo(file, fakes::kFileAttributeNormal));
  EXPECT_TRUE(files.SetFileDispositionInfo(file));
  EXPECT_TRUE(files.CloseHandle(file));  // deleted when closed
  EXPECT_FALSE(files.Exists("C:\\dst.txt"));
  EXPECT_FALSE(files.CopyFileA("C:\\none", "C:\\x", false));
}

TEST_F(FakeFilesTest, FindFirstFileReportsTheFirstMatchInOrder) {
  files.AddDirectoryEntry("sub", fakes::kFileAttributeDirectory);
  files.AddFile("b.MSI", "");
  files.AddFile("a.msi", "");
  files.AddFile("C:\\pkg\\c.msi", "");
  platform::FindData data;
  const platform::FindHandle search = files.FindFirstFileW("*.msi", &data);
  ASSERT_NE(search, platform::InvalidFindHandle());
  EXPECT_EQ(std::string(data.fileName), "b.MSI");
  EXPECT_EQ(files.OpenSearches(), 1);
  ASSERT_TRUE(files.FindNextFileW(search, &data));
  EXPECT_EQ(std::string(data.fileName), "a.msi");
  EXPECT_FALSE(files.FindNextFileW(search, &data));
  EXPECT_EQ(files.GetLastError(), 18u);
  EXPECT_TRUE(files.FindClose(search));
  EXPECT_NE(files.FindFirstFileW("C:\\PKG\\?.msi", &data), platform::InvalidFindHandle());
  EXPECT_EQ(std::string(data.fileName), "c.msi");
  EXPECT_EQ(files.FindFirstFileW("*.txt", &data), platform::InvalidFindHandle());
  EXPECT_EQ(files.OpenSearches(), 1);
}

TEST_F(FakeFilesTest, FindFirstFileMatchesLongNamesAsTheSystemsWildcards) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  for (const Case& c :
       {Case{"*.msi", "a.msi", true}, Case{"*.msi", ".msi", true}, Case{"*.msi", "A.MSI", true},
        Case{"*.msi", "a.b.msi", true}, Case{"*.msi", "a.msix", false},
        Case{"*.msi", "amsi", false}, Case{"?.msi", "b.msi", true}, Case{"?.msi", "bb.msi", false},
        // Through the short name A~1.MSI.
        Case{"*.msi", "Ab.msix", true}, Case{"*.msix", "Ab.msix", true}}) {
    fakes::CallLog caseLog;
    fakes::FakeFiles directory(caseLog);
    directory.AddFile(c.name, "");
    if (std::string(c.name) == "Ab.msix") directory.SetShortName(c.name, "A~1.MSI");
    platform::FindData data;
    const platform::FindHandle search = directory.FindFirstFileW(c.pattern, &data);
    EXPECT_EQ(search != platform::InvalidFindHandle(), c.matches) << c.pattern << " " << c.name;
    if (search != platform::InvalidFindHandle()) {
      EXPECT_TRUE(directory.FindClose(search));
    }
    EXPECT_EQ(directory.OpenHandles(), 0);
  }
}

TEST_F(FakeFilesTest, ALockedFileRefusesDeletionOnly) {
  files.AddFile("C:\\busy.sys", "x");
  files.Lock("c:\\BUSY.sys");
  EXPECT_EQ(OpenToDelete("C:\\busy.sys"), platform::InvalidFileHandle());
  EXPECT_EQ(files.GetLastError(), 32u);
  const platform::TextFileHandle stream = Open("C:\\busy.sys");
  EXPECT_NE(stream, nullptr);
  EXPECT_EQ(files.fclose(stream), 0);
  EXPECT_TRUE(files.CopyFileA("C:\\busy.sys", "C:\\copy.sys", true));
  EXPECT_TRUE(files.CloseHandle(OpenToDelete("C:\\copy.sys")));  // not in use
}

TEST_F(FakeFilesTest, ClosingAHandleThatIsNotOpenIsCounted) {
  files.AddFile("a.txt", "");
  platform::FindData data;
  const platform::FindHandle search = files.FindFirstFileW("*.txt", &data);
  const platform::TextFileHandle stream = Open("a.txt");
  EXPECT_TRUE(files.FindClose(search));
  EXPECT_EQ(files.fclose(stream), 0);
  EXPECT_EQ(files.BadCloses(), 0);
  EXPECT_FALSE(files.FindClose(search));
  EXPECT_EQ(files.fclose(stream), -1);
  EXPECT_EQ(files.BadCloses(), 2);
}

}  // namespace
