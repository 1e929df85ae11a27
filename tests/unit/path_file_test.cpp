#include "mordelt/path_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

using namespace std::string_literals;

const char kPathFile[] = "C:\\Setup\\path.txt";

class PathFileTest : public ::testing::Test {
 protected:
  int RunWith(const std::string& content) {
    fake.files.AddFile(kPathFile, content);
    return mordelt::DeleteValueFromPathFile(fake.platform, kPathFile);
  }
  // The key path of the preparation and the value name of the deletion, as "key|name".
  std::string Deleted() const {
    if (fake.log.Count("RegDeleteValueA") != 1)
      return "(" + std::to_string(fake.log.Count("RegDeleteValueA")) + " deletions)";
    const std::string open = fake.log.ArgumentsOf("RegOpenKeyExA");
    const std::string remove = fake.log.ArgumentsOf("RegDeleteValueA");
    const std::size_t keyStart = open.find('"') + 1;
    const std::size_t nameStart = remove.find('"') + 1;
    return open.substr(keyStart, open.find("\", options") - keyStart) + "|" +
           remove.substr(nameStart, remove.size() - 1 - nameStart);
  }
  void ExpectNoRegistryCall() const {
    EXPECT_EQ(fake.log.Count("RegCreateKeyExA") + fake.log.Count("RegOpenKeyExA") +
                  fake.log.Count("RegDeleteValueA"),
              0u);
    EXPECT_EQ(fake.console.output, "");
  }
  void ExpectNothingLeft() const {
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  }
  fakes::FakePlatform fake;
};

TEST_F(PathFileTest, RemovesTheValueNamedByTheWord) {
  fake.registry.PutString("SOFTWARE\\Example\\Tool", "InstallDir", "x");
  fake.registry.PutString("SOFTWARE\\Example\\Tool", "Other", "y");
  EXPECT_EQ(RunWith("SOFTWARE\\Example\\Tool\\InstallDir\n"), 0);
  EXPECT_EQ(Deleted(), "SOFTWARE\\Example\\Tool|InstallDir");
  EXPECT_EQ(fake.log.ArgumentsOf("CreateFileA"),
            "\"C:\\Setup\\path.txt\", access 0x80000000, share 0x3, flags 0x110080");
  EXPECT_FALSE(fake.registry.Value("SOFTWARE\\Example\\Tool", "InstallDir").has_value());
  EXPECT_EQ(fake.registry.ValueCount("SOFTWARE\\Example\\Tool"), 1u);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_EQ(fake.log.Names().back(), "fclose");
  EXPECT_EQ(fake.log.Count("RegDeleteKeyA"), 0u);
  ExpectNothingLeft();
}

TEST_F(PathFileTest, LeadingLinesAndBlanksAreSkippedAndTheRestIsIgnored) {
  EXPECT_EQ(RunWith("\n\r\n  \t\n \v\f SOFTWARE\\A\\N second\\word\nthird\\line\n"), 6);
  EXPECT_EQ(Deleted(), "SOFTWARE\\A|N");
  fake.log.Clear();
  EXPECT_EQ(RunWith("\n\xFF\xFE\\N\n"), 6);  // only the file's first bytes can be a UTF-16 mark
  EXPECT_EQ(Deleted(), "\xFF\xFE|N");
}

TEST_F(PathFileTest, CrLfFileAndWordWithoutLineEnd) {
  fake.registry.PutString("S\\A", "N", "x");
  EXPECT_EQ(RunWith("\r\nS\\A\\N\r\n"), 0);
  EXPECT_EQ(Deleted(), "S\\A|N");
  fake.log.Clear();
  fake.registry.PutString("S\\A", "M", "x");
  EXPECT_EQ(RunWith("S\\A\\M"), 0);
  EXPECT_EQ(Deleted(), "S\\A|M");
}

TEST_F(PathFileTest, ABlankEndsTheWord) {
  fake.registry.PutString("SOFTWARE", "Example", "x");
  EXPECT_EQ(RunWith("SOFTWARE\\Example Tool\\Mode\n"), 0);
  EXPECT_EQ(Deleted(), "SOFTWARE|Example");
}

TEST_F(PathFileTest, FinalBackslashRemovesTheUnnamedValue) {
  fake.registry.PutString("SOFTWARE\\A", "", "default");
  EXPECT_EQ(RunWith("SOFTWARE\\A\\"), 0);
  EXPECT_EQ(Deleted(), "SOFTWARE\\A|");
  EXPECT_FALSE(fake.registry.Value("SOFTWARE\\A", "").has_value());
}

TEST_F(PathFileTest, LeadingBackslashOnlyLooksInTheRoot) {
  fake.registry.PutString("", "AtRoot", "x");
  EXPECT_EQ(RunWith("\\AtRoot\n"), 0);
  EXPECT_EQ(Deleted(), "|AtRoot");
  EXPECT_EQ(fake.registry.ValueCount(""), 0u);
}

TEST_F(PathFileTest, MissingValuePrintsTheErrorAndGivesSix) {
  EXPECT_EQ(RunWith("SOFTWARE\\New\\Key\\Missing\n"), 6);
  EXPECT_EQ(fake.console.output, "Error: the number of error is 2");
  EXPECT_TRUE(fake.registry.KeyExists("SOFTWARE\\New\\Key"));
  ExpectNothingLeft();
}

TEST_F(PathFileTest, MissingFileGivesZeroAndDoesNothing) {
  EXPECT_EQ(mordelt::DeleteValueFromPathFile(fake.platform, "C:\\none.txt"), 0);
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"CreateFileA", "GetLastError"}));
  EXPECT_EQ(fake.console.output, "");
}

TEST_F(PathFileTest, FileThatCannotBeOpenedOrReadGivesSixUnlessItDoesNotExist) {
  struct Row {
    const char* what;
    std::uint32_t openError;  // 0: opened
    int failedRead;           // the fgets call (from 0) that fails; -1: none
    bool folder;
    int result;
    std::string content = "";  // "": the value path of the value present
  };
  const Row rows[] = {
      {"no such file", platform::kErrorFileNotFound, -1, false, 0},
      {"no such folder", platform::kErrorPathNotFound, -1, false, 0},
      {"held open without sharing", 32, -1, false, 6},
      {"access denied", platform::kErrorAccessDenied, -1, false, 6},
      {"a folder", 0, -1, true, 6},
      {"read error inside the word", 0, 1, false, 6},  // what arrived of it is not used
      {"an invalid name", platform::kErrorInvalidName, -1, false, 6},
      // U+5C5C U+4E41: read as ANSI text, two backslashes and "NA".
      {"UTF-16 big-endian", 0, -1, false, 6, "\xFE\xFF\x5C\x5C\x4E\x41"},
  };
  for (const Row& row : rows) {
    fakes::FakePlatform fresh;
    const std::string value(1100, 'n');
    fresh.registry.PutString("S\\A", value.substr(0, 1019), "x");
    if (row.folder) {
      fresh.files.AddDirectoryEntry("f", fakes::kFileAttributeDirectory);
    } else {
      fresh.files.AddFile("f", row.content.empty() ? "S\\A\\" + value + "\n" : row.content);
    }
    if (row.openError != 0) fresh.log.Fail("CreateFileA", row.openError);
    if (row.failedRead >= 0) fresh.log.Fail("fgets", fakes::kDefaultFault, row.failedRead);
    EXPECT_EQ(mordelt::DeleteValueFromPathFile(fresh.platform, "f"), row.result) << row.what;
    EXPECT_EQ(fresh.log.Count("RegCreateKeyExA"), 0u) << row.what;
    EXPECT_EQ(fresh.console.output, "") << row.what;
    EXPECT_EQ(fresh.OpenHandles(), 0) << row.what;
    EXPECT_EQ(fresh.memory.LiveBlocks(), 0u) << row.what;
  }
}

TEST_F(PathFileTest, NoWordOrAWordWithoutBackslashGivesSixWithoutARegistryCall) {
  for (const char* content :
       {"", "\n", "  \t\r\n\n  ", "NoBackslash", "  /forward/slashes \\x\n"}) {
    fakes::FakePlatform fresh;
    fresh.files.AddFile("f", content);
    EXPECT_EQ(mordelt::DeleteValueFromPathFile(fresh.platform, "f"), 6) << content;
    EXPECT_EQ(fresh.log.Count("RegCreateKeyExA"), 0u) << content;
    EXPECT_EQ(fresh.console.output, "") << content;
    EXPECT_EQ(fresh.OpenHandles(), 0);
    EXPECT_EQ(fresh.memory.LiveBlocks(), 0u);
  }
}

TEST_F(PathFileTest, WordsOfAnyLengthAreReadWhole) {
  for (std::size_t length : {551u, 552u, 1022u, 1023u, 1024u, 5000u}) {
    fakes::FakePlatform fresh;
    const std::string key = "S\\" + std::string(length, 'k');
    fresh.registry.PutString(key, "Value", "x");
    fresh.files.AddFile("f", "  " + key + "\\Value\n");
    EXPECT_EQ(mordelt::DeleteValueFromPathFile(fresh.platform, "f"), 0) << length;
    EXPECT_FALSE(fresh.registry.Value(key, "Value").has_value()) << length;
  }
}

TEST_F(PathFileTest, LastBackslashStepsOverDoubleByteCharacters) {
  fake.codePage.UseShiftJis();
  // 0x95 0x5C is one character: its second byte is no backslash.
  fake.registry.PutString("SOFTWARE", "\x95\x5c", "x");
  EXPECT_EQ(RunWith("SOFTWARE\\\x95\x5c\n"), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("RegOpenKeyExA"), "HKLM, \"SOFTWARE\", options 0x0, access 0x2");
  EXPECT_EQ(fake.log.ArgumentsOf("RegDeleteValueA"), "key#2, \"\x95\x5c\"");
  fake.log.Clear();
  fake.registry.PutString("SOFTWARE\\\x95\x5c", "Mode", "x");
  EXPECT_EQ(RunWith("SOFTWARE\\\x95\x5c\\Mode"), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("RegOpenKeyExA"),
            "HKLM, \"SOFTWARE\\\x95\x5c\", options 0x0, access 0x2");
}

TEST_F(PathFileTest, UnderTheUtf8CodePageAWordThatIsNoUtf8GivesSix) {
  fakes::FakePlatform utf8;
  utf8.codePage.UseUtf8();
  utf8.registry.PutString("S\\A", "M\xFCller", "x");
  utf8.files.AddFile("f", "S\\A\\M\xFCller\n");
  EXPECT_EQ(mordelt::DeleteValueFromPathFile(utf8.platform, "f"), 6);
  EXPECT_EQ(utf8.log.Count("RegCreateKeyExA"), 0u);
  // Under any other code page the bytes are used as they are, even where they end early.
  fake.codePage.UseShiftJis();
  fake.registry.PutString("S\\A", "N\x95", "x");
  EXPECT_EQ(RunWith("S\\A\\N\x95"), 0);
}

TEST_F(PathFileTest, WordWhoseOnlyBackslashIsATrailByteGivesSix) {
  fake.codePage.UseShiftJis();
  EXPECT_EQ(RunWith("SOFTWARE\x95\x5cTool\n"), 6);
  ExpectNoRegistryCall();
}

TEST_F(PathFileTest, NulByteEndsTheLineItStandsIn) {
  fake.registry.PutString("S\\A", "N", "x");
  EXPECT_EQ(RunWith("S\\A\\N\0\\junk\n"s), 0);
  EXPECT_EQ(Deleted(), "S\\A|N");
  fake.log.Clear();
  EXPECT_EQ(RunWith("  \0S\\A\\N\nNoBackslash\n"s), 6);
  ExpectNoRegistryCall();
}

TEST_F(PathFileTest, MemoryFailureGivesSixWithoutARegistryCall) {
  fake.log.Fail("HeapAlloc");
  EXPECT_EQ(RunWith("S\\A\\N\n"), 6);
  ExpectNoRegistryCall();
  ExpectNothingLeft();
}

}  // namespace
