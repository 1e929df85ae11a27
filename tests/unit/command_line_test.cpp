#include "common/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

struct Split {
  std::vector<std::string> entries;
  common::SplitStatus status;
};

class SplitCommandLineTest : public ::testing::Test {
 protected:
  Split Run(const char* text, char delimiter, bool rePrefix, int capacity,
            common::DelimiterPlace place = common::DelimiterPlace::Anywhere) {
    char* table[12] = {};
    const common::SplitResult result = common::SplitCommandLine(
        fake.memory, fake.codePage, text, delimiter, rePrefix, place, table, capacity);
    Split split{{}, result.status};
    for (int i = 0; i < result.count; ++i) {
      // Every entry is a block of exactly its length + 2 bytes ending in two NULs.
      const std::size_t length = std::strlen(table[i]);
      EXPECT_EQ(fake.memory.SizeOf(table[i]), length + 2) << table[i];
      EXPECT_EQ(table[i][length + 1], '\0') << table[i];
      split.entries.emplace_back(table[i]);
    }
    for (int i = result.count; i < 12; ++i) EXPECT_EQ(table[i], nullptr) << "slot " << i;
    // Only the stored entries hold memory; the program keeps them until it ends.
    EXPECT_EQ(fake.memory.LiveBlocks(), static_cast<std::size_t>(result.count));
    fake.memory.FreeAll();
    return split;
  }
  std::vector<std::string> Mordelt(const char* text) {
    Split split = Run(text, '*', false, 5);
    EXPECT_EQ(split.status, common::SplitStatus::Complete) << text;
    return split.entries;
  }
  std::vector<std::string> SplitForSetup(const char* text) {
    Split split = Run(text, '-', true, 10, common::DelimiterPlace::AtWordStart);
    EXPECT_EQ(split.status, common::SplitStatus::Complete) << text;
    return split.entries;
  }

  fakes::FakePlatform fake;
};

using Entries = std::vector<std::string>;

TEST_F(SplitCommandLineTest, MordeltExamples) {
  EXPECT_EQ(Mordelt("-add*SOFTWARE\\Example*Name*Value"),
            (Entries{"-add", "SOFTWARE\\Example", "Name", "Value"}));
  EXPECT_EQ(
      Mordelt("-add * SOFTWARE\\Example Tools * Install Dir * C:\\Program Files\\Example"),
      (Entries{"-add", "SOFTWARE\\Example Tools", "Install Dir", "C:\\Program Files\\Example"}));
  EXPECT_EQ(Mordelt("**-rescan**"), (Entries{"-rescan"}));
  EXPECT_EQ(Mordelt("-cpfile*\"C:\\a b.txt\"*C:\\c.txt"),
            (Entries{"-cpfile", "\"C:\\a b.txt\"", "C:\\c.txt"}));
  EXPECT_EQ(Mordelt("-add*Key*Name*"), (Entries{"-add", "Key", "Name"}));
  EXPECT_EQ(Mordelt("-add*Key* *Value"), (Entries{"-add", "Key", "Value"}));
  EXPECT_EQ(Mordelt("-hwid*#PCI\\VEN_1234*#USB\\VID_1234"),
            (Entries{"-hwid", "#PCI\\VEN_1234", "#USB\\VID_1234"}));
}

TEST_F(SplitCommandLineTest, NothingButDelimitersAndWhiteSpaceGivesNoEntry) {
  EXPECT_EQ(Mordelt(""), Entries{});
  EXPECT_EQ(Mordelt("   "), Entries{});
  EXPECT_EQ(Mordelt("***"), Entries{});
  EXPECT_EQ(Mordelt(" \t*\r\n* \v\f *"), Entries{});
}

TEST_F(SplitCommandLineTest, TrimsAllSixWhiteSpaceCharactersAtBothEndsOnly) {
  EXPECT_EQ(Mordelt("\t\n -add \v\f\r*  a  b  "), (Entries{"-add", "a  b"}));
}

TEST_F(SplitCommandLineTest, HighBitBytesAreNotWhiteSpace) {
  EXPECT_EQ(Mordelt("\xA0x\xA0*\x85"), (Entries{"\xA0x\xA0", "\x85"}));
}

TEST_F(SplitCommandLineTest, SetupExamples) {
  EXPECT_EQ(SplitForSetup("-i Product.msi -l install.log -s"),
            (Entries{"-i Product.msi", "-l install.log", "-s"}));
  EXPECT_EQ(SplitForSetup("-i  Product.msi  "), (Entries{"-i  Product.msi"}));
  EXPECT_EQ(SplitForSetup("Product.msi -s"), (Entries{"-Product.msi", "-s"}));
  EXPECT_EQ(SplitForSetup("--s"), (Entries{"-s"}));
  EXPECT_EQ(SplitForSetup("- -s"), (Entries{"-s"}));
  EXPECT_EQ(SplitForSetup(""), Entries{});
}

TEST_F(SplitCommandLineTest, SetupCutsOnlyAtAHyphenThatStartsAWord) {
  struct Row {
    const char* text;
    Entries entries;
  };
  for (const Row& row : {
           // A "-" inside a value stays in it.
           Row{"-i C:\\My-Setup\\Product.msi", {"-i C:\\My-Setup\\Product.msi"}},
           Row{"-i C:\\Users\\jean-luc\\Product.msi -s",
               {"-i C:\\Users\\jean-luc\\Product.msi", "-s"}},
           Row{"-l C:\\logs\\2024-06-01.log", {"-l C:\\logs\\2024-06-01.log"}},
           Row{"-u {5D2F1A60-7C1E-4B7A-9E2B-3A4C5D6E7F80} -s",
               {"-u {5D2F1A60-7C1E-4B7A-9E2B-3A4C5D6E7F80}", "-s"}},
           Row{"Product-1.msi -s", {"-Product-1.msi", "-s"}},
           Row{"-i a.msi-", {"-i a.msi-"}},
           // After a tab it cuts; after the other white space it does not.
           Row{"-i a.msi\t-s", {"-i a.msi", "-s"}},
           Row{"-i a.msi\n-s\r-s", {"-i a.msi\n-s\r-s"}},
           // A run of "-" where one cuts is one cut; a trailing one gives nothing.
           Row{"---i a.msi --s -", {"-i a.msi", "-s"}},
       }) {
    EXPECT_EQ(SplitForSetup(row.text), row.entries) << row.text;
  }
}

TEST_F(SplitCommandLineTest, DoubleByteCharactersAreNeverCutOrTrimmed) {
  fake.codePage.UseShiftJis();
  // 0x81 0x2A would be "*" as a trail byte; 0x81 0x20 a blank; 0x81 0x2D a "-".
  EXPECT_EQ(Mordelt("a\x81*b*c"), (Entries{"a\x81*b", "c"}));
  EXPECT_EQ(Mordelt(" \x81 *x"), (Entries{"\x81 ", "x"}));
  EXPECT_EQ(SplitForSetup("-i \x81-x"), (Entries{"-i \x81-x"}));
  EXPECT_EQ(SplitForSetup("-i \x81 -x"), (Entries{"-i \x81 -x"}));
  // A lead byte right before the end is a character of its own.
  EXPECT_EQ(Mordelt("a*\x81"), (Entries{"a", "\x81"}));
}

TEST_F(SplitCommandLineTest, CapacityIsExactAndMoreEntriesAreRefused) {
  Split five = Run("a*b*c*d*e", '*', false, 5);
  EXPECT_EQ(five.status, common::SplitStatus::Complete);
  EXPECT_EQ(five.entries.size(), 5u);

  // Blank tokens and trailing delimiters after a full table do not count.
  Split padded = Run("a*b*c*d*e* * ** ", '*', false, 5);
  EXPECT_EQ(padded.status, common::SplitStatus::Complete);

  Split six = Run("a*b*c*d*e*f", '*', false, 5);
  EXPECT_EQ(six.status, common::SplitStatus::TooManyEntries);
  EXPECT_EQ(six.entries.size(), 5u);

  Split eleven =
      Run("-a -b -c -d -e -f -g -h -i -j -k", '-', true, 10, common::DelimiterPlace::AtWordStart);
  EXPECT_EQ(eleven.status, common::SplitStatus::TooManyEntries);
  EXPECT_EQ(eleven.entries.size(), 10u);
}

TEST(SkipProgramNameTest, TheTextAfterTheNameAndItsBlanks) {
  struct Row {
    const wchar_t* commandLine;
    const wchar_t* text;
    const wchar_t* ownPath = L"";  // the program's own full path; empty: not known
  };
  const wchar_t* const own = L"C:\\x -delete\\Mordelt.exe";
  const Row rows[] = {
      {L"\"C:\\Program Files\\Mordelt.exe\" \t -add*K", L"-add*K"},
      {L"\"C:\\a b\\Mordelt.exe\"-int", L"-int"},
      {L"C:\\Users\\J\u00FCrgen\\Mordelt.exe -add*K*N*V", L"-add*K*N*V"},
      {L"\"Mordelt.exe\" \u00C4*-add*K*N*V", L"\u00C4*-add*K*N*V"},
      {L"C:\\J\u00FCrgen\\Mordelt.exe", L""},
      {L"\"Mordelt.exe\"", L""},
      {L"Mordelt.exe \t ", L""},
      {L"Mordelt.exe\t-add*K*N*V", L"-add*K*N*V"},
      {L"\"C:\\a b\\Mordelt.exe -int", L""},
      {L"", L""},
      // Look-alikes of a quote, a blank or a tab neither close nor end the name.
      {L"\"C:\\a\uFF02 -add\uFF0AK\uFF0AN\uFF0A\\Mordelt.exe\" -int", L"-int"},
      {L"C:\\\u3000\u00A0\\Mordelt.exe -int", L"-int"},
      // An unclosed quote ends with the text; nothing past its end is read.
      {L"\"C:\\a b\\M.exe\0-add*K", L""},
      // Only a blank or a tab ends the name, and only blanks and tabs are skipped after it.
      {L"M.exe\v \r-add*K", L"\r-add*K"},
      // The program's own path, unquoted: the whole of it is the name.
      {L"C:\\x -delete\\Mordelt.exe -add*K*N*V", L"-add*K*N*V", own},
      {L"c:\\X -DELETE\\mordelt.EXE\t-add*K", L"-add*K", own},
      {L"C:\\x -delete\\Mordelt.exe", L"", own},
      {L"C:\\\u00C9x y\\M.exe -int", L"-int", L"C:\\\u00E9x y\\M.exe"},
      {L"\\\\?\\C:\\x y\\M.exe -int", L"-int", L"C:\\x y\\M.exe"},
      {L"C:\\x y\\M.exe -int", L"-int", L"\\\\?\\C:\\x y\\M.exe"},
      {L"\\\\srv\\x y\\M.exe -int", L"-int", L"\\\\?\\unc\\srv\\x y\\M.exe"},
      // Anything else is no match: the old rule holds.
      {L"C:\\x -delete\\Mordelt.exe.bak -int", L"-delete\\Mordelt.exe.bak -int", own},
      {L"C:\\x -delete\\Mordelx.exe -int", L"-delete\\Mordelx.exe -int", own},
      {L"C:\\x -delete\\Mordelt", L"-delete\\Mordelt", own},
      {L"srv\\x y\\M.exe -int", L"y\\M.exe -int", L"\\\\srv\\x y\\M.exe"},
      {L"\\\\?\\srv\\x y\\M.exe -int", L"y\\M.exe -int", L"\\\\?\\UNC\\srv\\x y\\M.exe"},
      {L"Volume{1}\\y z\\M.exe -int", L"z\\M.exe -int", L"\\\\?\\Volume{1}\\y z\\M.exe"},
  };
  fakes::FakeCodePage codePage;
  for (const Row& row : rows) {
    EXPECT_STREQ(common::SkipProgramName(codePage, row.commandLine, row.ownPath), row.text)
        << row.commandLine;
  }
  EXPECT_EQ(codePage.comparedPastTheEnd, 0);
}

TEST_F(SplitCommandLineTest, MemoryFailureStopsWithTheEntriesBefore) {
  fake.log.Fail("HeapAlloc", fakes::kDefaultFault, 1);
  Split split = Run("a*b*c", '*', false, 5);
  EXPECT_EQ(split.status, common::SplitStatus::OutOfMemory);
  EXPECT_EQ(split.entries, (Entries{"a"}));
}

}  // namespace
