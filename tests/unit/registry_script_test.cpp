#include "mordelt/registry_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

using namespace std::string_literals;

using mordelt::ScriptMode;

const char kScript[] = "C:\\Setup\\values.txt";

// The five-line example: a text line, an entry, an entry whose data goes on on the next line
// through the marker, and an entry under another key.
const char kExample[] =
    "Values for the example tool\n"
    "\"SOFTWARE\\Example\\Tool\" \"InstallDir\" \"C:\\Program Files\\Example\"\n"
    "\"SOFTWARE\\Example\\Tool\" \"Description\" \"A long text /\n"
    "that goes on\"\n"
    "\"SOFTWARE\\Example\\Tool\\Options\" \"Mode\" \"auto\"\n";

std::string Between(const std::string& text, const std::string& before, const std::string& after) {
  const std::size_t start = text.find(before);
  if (start == std::string::npos) return "?";
  const std::size_t from = start + before.size();
  const std::size_t end = text.rfind(after);
  return end == std::string::npos || end < from ? "?" : text.substr(from, end - from);
}

class ScriptTest : public ::testing::Test {
 protected:
  int RunFile(ScriptMode mode, const std::string& content) {
    fake.files.AddFile(kScript, content);
    return mode == ScriptMode::SetValues
               ? mordelt::SetValuesFromScriptFile(fake.platform, kScript)
               : mordelt::DeleteValuesFromScriptFile(fake.platform, kScript);
  }

  // The registry operations the script made, in order, read from the call log:
  // "key path|value name|data" for a set, "key path|value name" for a deletion.
  std::vector<std::string> Applied() const {
    std::vector<std::string> applied;
    std::string keyPath;
    for (const fakes::Call& call : fake.log.calls()) {
      if (call.name == "RegOpenKeyExA")
        keyPath = Between(call.arguments, "HKLM, \"", "\", options");
      if (call.name == "RegSetValueExA") {
        applied.push_back(keyPath + "|" + Between(call.arguments, ", \"", "\", type") + "|" +
                          Between(call.arguments, "data \"", "\\x00\", size"));
      }
      if (call.name == "RegDeleteValueA") {
        applied.push_back(keyPath + "|" + Between(call.arguments, ", \"", "\""));
      }
    }
    return applied;
  }

  void ExpectNothingLeft() const {
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  }

  fakes::FakePlatform fake;
};

using Entries = std::vector<std::string>;

// ---- the example ----

TEST_F(ScriptTest, ExampleSetsThreeValuesInOrder) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, kExample), 0);
  EXPECT_EQ(Applied(), (Entries{"SOFTWARE\\Example\\Tool|InstallDir|C:\\Program Files\\Example",
                                "SOFTWARE\\Example\\Tool|Description|A long text that goes on",
                                "SOFTWARE\\Example\\Tool\\Options|Mode|auto"}));
  EXPECT_EQ(fake.registry.StringValue("SOFTWARE\\Example\\Tool", "Description"),
            "A long text that goes on");
  EXPECT_EQ(fake.registry.StringValue("SOFTWARE\\Example\\Tool\\Options", "Mode"), "auto");
  EXPECT_EQ(fake.console.output, "");
  EXPECT_EQ(fake.log.Names().front(), "CreateFileA");
  EXPECT_EQ(fake.log.Names().back(), "fclose");
  ExpectNothingLeft();
}

TEST_F(ScriptTest, ExampleInDeleteModeRemovesTheSameValuesOnly) {
  fake.registry.PutString("SOFTWARE\\Example\\Tool", "InstallDir", "x");
  fake.registry.PutString("SOFTWARE\\Example\\Tool", "Description", "x");
  fake.registry.PutString("SOFTWARE\\Example\\Tool", "Keep", "x");
  fake.registry.PutString("SOFTWARE\\Example\\Tool\\Options", "Mode", "x");
  EXPECT_EQ(RunFile(ScriptMode::DeleteValues, kExample), 0);
  EXPECT_EQ(Applied(),
            (Entries{"SOFTWARE\\Example\\Tool|InstallDir", "SOFTWARE\\Example\\Tool|Description",
                     "SOFTWARE\\Example\\Tool\\Options|Mode"}));
  EXPECT_EQ(fake.registry.ValueCount("SOFTWARE\\Example\\Tool"), 1u);
  EXPECT_EQ(fake.registry.ValueCount("SOFTWARE\\Example\\Tool\\Options"), 0u);
  EXPECT_EQ(fake.console.output, "");
  ExpectNothingLeft();
}

TEST_F(ScriptTest, CrLfFileReadsAsTheSameScript) {
  std::string crlf = "\xEF\xBB\xBF";  // as Notepad saves UTF-8: the mark is text of a line
  for (const char* p = kExample; *p != '\0'; ++p)
    crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
  crlf += "\xFF\xFE\r\n";  // only the file's first bytes can be a UTF-16 mark
  EXPECT_EQ(RunFile(ScriptMode::SetValues, crlf), 0);
  EXPECT_EQ(Applied(), (Entries{"SOFTWARE\\Example\\Tool|InstallDir|C:\\Program Files\\Example",
                                "SOFTWARE\\Example\\Tool|Description|A long text that goes on",
                                "SOFTWARE\\Example\\Tool\\Options|Mode|auto"}));
}

TEST_F(ScriptTest, DeleteModeStopsAtTheFirstMissingValueWithTheMessage) {
  fake.registry.PutString("SOFTWARE\\Example\\Tool", "InstallDir", "x");
  fake.registry.PutString("SOFTWARE\\Example\\Tool\\Options", "Mode", "x");
  EXPECT_EQ(RunFile(ScriptMode::DeleteValues, kExample), 6);
  EXPECT_EQ(fake.console.output, "Error: the number of error is 2");
  EXPECT_EQ(Applied(),
            (Entries{"SOFTWARE\\Example\\Tool|InstallDir", "SOFTWARE\\Example\\Tool|Description"}));
  EXPECT_EQ(fake.registry.StringValue("SOFTWARE\\Example\\Tool\\Options", "Mode"), "x");
  ExpectNothingLeft();
}

TEST_F(ScriptTest, DeleteModeCreatesTheKeyOfTheFailingEntry) {
  EXPECT_EQ(RunFile(ScriptMode::DeleteValues, "\"SOFTWARE\\New\\Key\" \"N\" \"\"\"x\"\n"), 6);
  EXPECT_TRUE(fake.registry.KeyExists("SOFTWARE\\New\\Key"));
}

TEST_F(ScriptTest, SetModeStopsAtTheFirstFailureAndKeepsTheEntriesBefore) {
  fake.log.Fail("RegSetValueExA", 5, 1);
  EXPECT_EQ(RunFile(ScriptMode::SetValues, kExample), 5);
  EXPECT_EQ(fake.registry.StringValue("SOFTWARE\\Example\\Tool", "InstallDir"),
            "C:\\Program Files\\Example");
  EXPECT_FALSE(fake.registry.KeyExists("SOFTWARE\\Example\\Tool\\Options"));
  EXPECT_EQ(fake.log.Count("RegSetValueExA"), 2u);
  EXPECT_EQ(fake.console.output, "");
  ExpectNothingLeft();
}

// ---- files ----

TEST_F(ScriptTest, MissingFileGivesZeroWithoutAnyRegistryCall) {
  EXPECT_EQ(mordelt::SetValuesFromScriptFile(fake.platform, "C:\\none.txt"), 0);
  EXPECT_EQ(mordelt::DeleteValuesFromScriptFile(fake.platform, "C:\\none.txt"), 0);
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"CreateFileA", "GetLastError",
                                                        "CreateFileA", "GetLastError"}));
  // Reading, sharing reading and writing; a pipe's server may not act as the caller.
  EXPECT_EQ(fake.log.ArgumentsOf("CreateFileA"),
            "\"C:\\none.txt\", access 0x80000000, share 0x3, flags 0x110080");
  EXPECT_EQ(fake.console.output, "");
}

TEST_F(ScriptTest, EmptyFileGivesZero) {
  EXPECT_EQ(RunFile(ScriptMode::DeleteValues, ""), 0);
  EXPECT_EQ(fake.log.Count("fgets"), 1u);
  EXPECT_EQ(fake.log.Count("RegCreateKeyExA"), 0u);
  ExpectNothingLeft();
}

TEST_F(ScriptTest, FileThatCannotBeOpenedOrReadFailsUnlessItDoesNotExist) {
  const std::string kTwo =
      "\"S\\A\" \"N\" \"V\"\n\"S\\B\" \"M\" \"" + std::string(3000, 'w') + "\"\n";
  struct Row {
    const char* what;
    std::uint32_t openError;  // 0: opened
    int failedRead;           // the fgets call (from 0) that fails; -1: none
    std::string content;      // empty: the name is a folder
    bool fails;               // with the mode's failure code; else 0
    Entries applied;          // the entries applied before the failure
    std::uint32_t fileType = platform::kFileTypeDisk;  // another: a pipe or device offering it
  };
  const Row rows[] = {
      {"no such file", platform::kErrorFileNotFound, -1, kExample, false, {}},
      {"no such folder", platform::kErrorPathNotFound, -1, kExample, false, {}},
      {"held open without sharing", 32, -1, kExample, true, {}},  // ERROR_SHARING_VIOLATION
      {"access denied", platform::kErrorAccessDenied, -1, kExample, true, {}},
      {"a folder", 0, -1, "", true, {}},
      {"first read", 0, 0, kExample, true, {}},
      {"third line", 0, 2, kExample, true, {"SOFTWARE\\Example\\Tool|InstallDir"}},
      {"inside a long line", 0, 2, kTwo, true, {"S\\A|N"}},  // what arrived of it is not applied
      {"an invalid name", platform::kErrorInvalidName, -1, kExample, true, {}},
      {"a pipe", 0, -1, kExample, true, {}, 3},
      {"UTF-16", 0, -1, "\xFF\xFE\"\0S\0\\\0A\0\"\0 \0\"\0N\0\"\0 \0\"\0V\0\"\0\n\0"s, true, {}},
  };
  for (const Row& row : rows) {
    for (ScriptMode mode : {ScriptMode::SetValues, ScriptMode::DeleteValues}) {
      fakes::FakePlatform fresh;
      const bool setting = mode == ScriptMode::SetValues;
      for (const char* key : {"SOFTWARE\\Example\\Tool", "S\\A", "S\\B"}) {
        for (const char* name : {"InstallDir", "N", "M"}) {
          if (!setting) fresh.registry.PutString(key, name, "x");
        }
      }
      if (row.content.empty()) {
        fresh.files.AddDirectoryEntry("f", fakes::kFileAttributeDirectory);
      } else {
        fresh.files.AddDevice("f", row.fileType, row.content);
      }
      if (row.openError != 0) fresh.log.Fail("CreateFileA", row.openError);
      if (row.failedRead >= 0) fresh.log.Fail("fgets", fakes::kDefaultFault, row.failedRead);
      EXPECT_EQ(setting ? mordelt::SetValuesFromScriptFile(fresh.platform, "f")
                        : mordelt::DeleteValuesFromScriptFile(fresh.platform, "f"),
                row.fails ? (setting ? 5 : 6) : 0)
          << row.what;
      EXPECT_EQ(fresh.log.Count(setting ? "RegSetValueExA" : "RegDeleteValueA"), row.applied.size())
          << row.what;
      for (const std::string& entry : row.applied) {
        const std::string key = entry.substr(0, entry.find('|'));
        const std::string name = entry.substr(entry.find('|') + 1);
        EXPECT_EQ(fresh.registry.Value(key, name).has_value(), setting) << row.what;
      }
      EXPECT_EQ(fresh.console.output, "") << row.what;
      EXPECT_EQ(fresh.OpenHandles(), 0) << row.what;
      EXPECT_EQ(fresh.memory.LiveBlocks(), 0u) << row.what;
    }
  }
}

TEST_F(ScriptTest, RunRegistryScriptNeitherOpensNorClosesTheFile) {
  fake.files.AddFile("f", "\"K\\A\" \"N\" \"V\"\n");
  const platform::TextFileHandle file =
      fake.files.fdopen_r(fake.files.CreateFileA("f", platform::kGenericRead, 3, 0));
  ASSERT_NE(file, nullptr);
  fake.log.Clear();
  EXPECT_EQ(mordelt::RunRegistryScript(fake.platform, ScriptMode::SetValues, file), 0);
  EXPECT_EQ(fake.log.Count("CreateFileA") + fake.log.Count("fclose"), 0u);
  EXPECT_EQ(fake.files.OpenStreams(), 1);
  EXPECT_EQ(fake.files.fclose(file), 0);
}

// ---- fields ----

TEST_F(ScriptTest, BlanksAtTheEndsOfAFieldGoAndBlanksInsideStay) {
  EXPECT_EQ(
      RunFile(ScriptMode::SetValues, "\" \tSOFTWARE\\A B \"\"  Value Name \" \"  two  words \"\n"),
      0);
  EXPECT_EQ(Applied(), Entries{"SOFTWARE\\A B|Value Name|two  words"});
}

TEST_F(ScriptTest, UnquotedTextIsOneFieldAndAnUnfinishedEntryIsDropped) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "SOFTWARE\\A Name Data\n"), 0);
  EXPECT_EQ(fake.log.Count("RegCreateKeyExA"), 0u);
}

TEST_F(ScriptTest, EmptyQuotesGiveNoFieldSoTheLaterFieldsMoveUp) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"SOFTWARE\\A\" \"\" \"N\" \"V\"\n"), 0);
  EXPECT_EQ(Applied(), Entries{"SOFTWARE\\A|N|V"});
}

TEST_F(ScriptTest, QuotesNeedNotComeInPairsAndRunsOfQuotesAreOneSeparator) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"\"\"SOFTWARE\\A\"\"\"\"N\"V\n"), 0);
  EXPECT_EQ(Applied(), Entries{"SOFTWARE\\A|N|V"});
}

TEST_F(ScriptTest, FieldsWithoutBackslashAreSkippedUntilAKeyPath) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues,
                    "# comment\n\n   \nnote \"x\" \"SOFTWARE\\A\" \"N\" \"V\" tail\nmore text\n"),
            0);
  EXPECT_EQ(Applied(), Entries{"SOFTWARE\\A|N|V"});
}

TEST_F(ScriptTest, SeveralEntriesOnOneLineEachWithItsKeyPath) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N1\" \"V1\" \"S\\B\" \"N2\" \"V2\"\n"), 0);
  EXPECT_EQ(Applied(), (Entries{"S\\A|N1|V1", "S\\B|N2|V2"}));
}

TEST_F(ScriptTest, BackslashesInValueNameAndDataAreText) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"a\\b\" \"C:\\x\\\"\n"), 0);
  EXPECT_EQ(Applied(), Entries{"S\\A|a\\b|C:\\x\\"});
}

TEST_F(ScriptTest, DeleteModeStillNeedsTheThirdField) {
  EXPECT_EQ(RunFile(ScriptMode::DeleteValues, "\"S\\A\" \"N\"\n"), 0);
  EXPECT_EQ(fake.log.Count("RegCreateKeyExA"), 0u);
  EXPECT_EQ(fake.console.output, "");
}

TEST_F(ScriptTest, IncompleteEntryAtTheEndOfTheFileIsDropped) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" \"V\"\n\"S\\B\" \"M\""), 0);
  EXPECT_EQ(Applied(), Entries{"S\\A|N|V"});
}

TEST_F(ScriptTest, LastLineWithoutLineFeedKeepsEveryCharacter) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" \"value\""), 0);
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"M\" value"), 0);
  EXPECT_EQ(Applied(), (Entries{"S\\A|N|value", "S\\A|M|value"}));
}

// ---- mend: "/" is a continuation marker only at the end of a line ----

TEST_F(ScriptTest, SlashesInsideFieldsAreText) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues,
                    "\"S\\A\" \"Url\" \"http://example.com/a/b\"\n"
                    "\"S\\A\" \"Date\" \"2024/01/02\"\n"
                    "// a comment \"S\\A\" \"Path\" \"C:/x/y/\"   \n"
                    "\"S\\A\" \"N\" \"V\" / \"S\\B\" \"M\" \"W\"\n"
                    "\"S\\A\" \"Last\" \"a/b\""),
            0);
  EXPECT_EQ(Applied(), (Entries{"S\\A|Url|http://example.com/a/b", "S\\A|Date|2024/01/02",
                                "S\\A|Path|C:/x/y/", "S\\A|N|V", "S\\B|M|W", "S\\A|Last|a/b"}));
}

TEST_F(ScriptTest, MarkerWithBlanksAndTabsAfterItStillJoins) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"D\" \"first /  \t \nsecond\"\n"), 0);
  EXPECT_EQ(Applied(), Entries{"S\\A|D|first second"});
}

TEST_F(ScriptTest, MarkerJoinsWhetherTheNextLineBeginsWithAQuoteOrNot) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"D\" \"ab/\n\"cd\" \"S\\B\" \"E\" \"ef\"\n"),
            0);
  EXPECT_EQ(Applied(), (Entries{"S\\A|D|abcd", "S\\B|E|ef"}));
}

TEST_F(ScriptTest, MarkerSpreadsAFieldOverSeveralLinesAndKeepsTheEntry) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues,
                    "\"SOFTWARE\\Ex/\nample\\Tool\" \"Va/\r\nlue\" \"one /\ntwo /\nthree\"\n"),
            0);
  EXPECT_EQ(Applied(), Entries{"SOFTWARE\\Example\\Tool|Value|one two three"});
}

TEST_F(ScriptTest, EmptyLineAfterTheMarkerEndsTheJoinedField) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" \"one /\n\ntwo\"\n"), 0);
  EXPECT_EQ(Applied(), Entries{"S\\A|N|one"});
}

TEST_F(ScriptTest, MarkerAfterAClosingQuoteCarriesTheEntryToTheNextLine) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" /\n\"V\"\n"), 0);
  EXPECT_EQ(Applied(), Entries{"S\\A|N|V"});
}

TEST_F(ScriptTest, MarkerOnTheLastLineOfTheFileDropsThePendingField) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" \"V\" \"S\\B\" \"M\" \"W/"), 0);
  EXPECT_EQ(Applied(), Entries{"S\\A|N|V"});
}

TEST_F(ScriptTest, SlashAsATrailByteIsNoMarker) {
  fake.codePage.SetLeadByte(0xA0);
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" \"x\xA0/\n\"S\\B\" \"M\" \"W\"\n"), 0);
  EXPECT_EQ(fake.registry.StringValue("S\\A", "N"), "x\xA0/");
  EXPECT_EQ(fake.registry.StringValue("S\\B", "M"), "W");
}

// ---- mend: an entry never spans lines without the marker ----

TEST_F(ScriptTest, EntryCutByALineEndIsDroppedAndNeverWritesTheRootsValue) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\"\n\"V\"\n\"S\\B\" \"M\" \"W\"\n"), 0);
  EXPECT_EQ(Applied(), Entries{"S\\B|M|W"});
  EXPECT_EQ(fake.registry.ValueCount(""), 0u);
  EXPECT_EQ(RunFile(ScriptMode::DeleteValues, "\"S\\A\" \"\" \"N\"\n\"V\"\n"), 0);
  EXPECT_EQ(fake.log.Count("RegDeleteValueA"), 0u);
}

TEST_F(ScriptTest, KeyPathAloneOnALineDoesNotGovernTheNextLine) {
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\"\n\"N\" \"V\"\n"), 0);
  EXPECT_EQ(fake.log.Count("RegCreateKeyExA"), 0u);
}

// ---- mend: lines of any length ----

TEST_F(ScriptTest, LongValuesAreStoredWhole) {
  for (std::size_t length :
       {1000u, 1011u, 1012u, 1013u, 1014u, 1023u, 2034u, 2035u, 2036u, 2047u, 5000u, 70000u}) {
    fakes::FakePlatform fresh;
    const std::string value(length, 'v');
    // "\"S\\A\" \"N\" \"" is 11 bytes, the closing quote and line feed 2 more.
    fresh.files.AddFile("f", "\"S\\A\" \"N\" \"" + value + "\"\n\"S\\B\" \"M\" \"" + value + "\"");
    EXPECT_EQ(mordelt::SetValuesFromScriptFile(fresh.platform, "f"), 0) << length;
    EXPECT_EQ(fresh.registry.StringValue("S\\A", "N"), value) << length;
    EXPECT_EQ(fresh.registry.StringValue("S\\B", "M"), value) << length;
    EXPECT_EQ(fresh.log.Count("RegSetValueExA"), 2u) << length;
    EXPECT_EQ(fresh.memory.LiveBlocks(), 0u);
  }
}

TEST_F(ScriptTest, LinesThatFillTheBufferExactlyStayApart) {
  for (std::size_t total : {1022u, 1023u, 1024u, 2046u, 2047u, 2048u, 4095u}) {
    fakes::FakePlatform fresh;
    std::string first = "\"S\\A\" \"N\"";
    first += std::string(total - 1 - first.size(), ' ') + "\n";
    ASSERT_EQ(first.size(), total);
    fresh.files.AddFile("f", first + "\"V\"\n" + first + "\"S\\B\" \"M\" \"W\"\n");
    EXPECT_EQ(mordelt::SetValuesFromScriptFile(fresh.platform, "f"), 0) << total;
    EXPECT_EQ(fresh.log.Count("RegSetValueExA"), 1u) << total;
    EXPECT_EQ(fresh.registry.StringValue("S\\B", "M"), "W") << total;
  }
}

TEST_F(ScriptTest, LongLineTailIsNeverTakenForNewFields) {
  // Cut after a fixed number of bytes, the tail of this value would read as a new entry
  // (key path "aaa...\\x", value name M, data W).
  const std::string value = std::string(1100, 'a') + "\\x";
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" \"" + value + "\" \"M\" \"W\"\n"), 0);
  EXPECT_EQ(Applied(), Entries{"S\\A|N|" + value});
}

TEST_F(ScriptTest, MemoryFollowsTheLongestLineNotTheFile) {
  std::string content;
  for (int i = 0; i < 300; ++i) {
    content += "\"S\\A\" \"N" + std::to_string(i) + "\" \"" + std::string(900, 'd') + "\"\n";
  }
  EXPECT_EQ(RunFile(ScriptMode::SetValues, content), 0);
  EXPECT_EQ(fake.log.Count("RegSetValueExA"), 300u);
  std::size_t largest = 0;
  for (const fakes::Call& call : fake.log.calls()) {
    if (call.name == "HeapAlloc")
      largest = std::max<std::size_t>(largest, std::stoul(call.arguments));
  }
  EXPECT_LE(largest, 2048u);
  EXPECT_GT(largest, 0u);
  ExpectNothingLeft();
}

// ---- NUL bytes, double-byte characters ----

TEST_F(ScriptTest, NulByteEndsTheLineItStandsIn) {
  const std::string content = "\"S\\A\" \"N\" \"ab\0cd\" \"S\\C\" \"X\" \"Y\"\n"s +
                              "\0\"S\\Z\" \"Z\" \"Z\"\n"s + "\"S\\B\" \"M\" \"W\"\n";
  EXPECT_EQ(RunFile(ScriptMode::SetValues, content), 0);
  EXPECT_EQ(Applied(), (Entries{"S\\A|N|ab", "S\\B|M|W"}));
  ExpectNothingLeft();
}

TEST_F(ScriptTest, LongLineWithANulBytePastTheFirstRead) {
  const std::string content = "\"S\\A\" \"N\" \"" + std::string(3000, 'v') + std::string(1, '\0') +
                              "tail\"\n\"S\\B\" \"M\" \"W\"\n";
  EXPECT_EQ(RunFile(ScriptMode::SetValues, content), 0);
  EXPECT_EQ(fake.registry.StringValue("S\\A", "N"), std::string(3000, 'v'));
  EXPECT_EQ(fake.registry.StringValue("S\\B", "M"), "W");
}

TEST_F(ScriptTest, BackslashAsATrailByteDoesNotMakeAKeyPath) {
  fake.codePage.UseShiftJis();
  EXPECT_EQ(RunFile(ScriptMode::SetValues,
                    "\"\x95\x5c\" \"N\" \"V\"\n\"SOFTWARE\\\x95\x5c\" \"\x95\x5c\" \"\x95\x5c\"\n"),
            0);
  EXPECT_EQ(fake.log.Count("RegSetValueExA"), 1u);
  EXPECT_EQ(fake.registry.StringValue("SOFTWARE\\\x95\x5c", "\x95\x5c"), "\x95\x5c");
  EXPECT_EQ(fake.registry.SubkeyNames("SOFTWARE"), std::vector<std::string>{"\x95\x5c"});
}

TEST_F(ScriptTest, QuoteAsATrailByteDoesNotSeparate) {
  fake.codePage.SetLeadByte(0xA0);
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\xA0\"x\" \"V\"\n"), 0);
  EXPECT_EQ(fake.registry.StringValue("S\\A", "N\xA0\"x"), "V");
}

TEST_F(ScriptTest, LeadByteAtTheEndOfALineStaysOneByte) {
  fake.codePage.UseShiftJis();
  EXPECT_EQ(RunFile(ScriptMode::SetValues, "\"S\\A\" \"N\" \"V\x95"), 0);
  EXPECT_EQ(fake.registry.StringValue("S\\A", "N"), "V\x95");
}

TEST_F(ScriptTest, UnderTheUtf8CodePageAnEntryThatIsNoUtf8StopsTheScript) {
  struct Row {
    const char* what;
    ScriptMode mode;
    std::string second;  // the lines between the entries of S\A and S\C
    std::size_t applied;
  };
  const Row rows[] = {
      {"data in code page 1252", ScriptMode::SetValues, "\"S\\B\" \"M\" \"M\xFCller\"\n", 1},
      {"value name", ScriptMode::DeleteValues, "\"S\\B\" \"M\xFC\" \"x\"\n", 1},
      {"key path", ScriptMode::SetValues, "\"S\\\xFC\" \"M\" \"x\"\n", 1},
      // The data is not used when deleting; text that is no entry is skipped as ever.
      {"data, deleting", ScriptMode::DeleteValues, "\"S\\B\" \"M\" \"M\xFCller\"\n", 3},
      {"a line of text", ScriptMode::SetValues, "M\xFCller\n\"S\\B\" \"M\" \"x\"\n", 3},
      // A character cut by the continuation marker is whole again in the joined field.
      {"joined field", ScriptMode::SetValues, "\"S\\B\" \"M\" \"M\xC3/\n\xBCller\"\n", 3},
  };
  for (const Row& row : rows) {
    fakes::FakePlatform fresh;
    fresh.codePage.UseUtf8();
    const bool setting = row.mode == ScriptMode::SetValues;
    for (const char* key : {"S\\A", "S\\B", "S\\C"}) {
      if (!setting) fresh.registry.PutString(key, key == std::string("S\\A") ? "N" : "O", "x");
    }
    if (!setting) fresh.registry.PutString("S\\B", "M", "x");
    fresh.files.AddFile("f", "\"S\\A\" \"N\" \"V\"\n" + row.second + "\"S\\C\" \"O\" \"W\"\n");
    const int result = setting ? mordelt::SetValuesFromScriptFile(fresh.platform, "f")
                               : mordelt::DeleteValuesFromScriptFile(fresh.platform, "f");
    EXPECT_EQ(result, row.applied == 3 ? 0 : setting ? 5 : 6) << row.what;
    EXPECT_EQ(fresh.log.Count(setting ? "RegSetValueExA" : "RegDeleteValueA"), row.applied)
        << row.what;
    EXPECT_EQ(fresh.console.output, "") << row.what;
  }
}

// ---- the key kept open from one entry to the next ----

TEST_F(ScriptTest, KeyIsKeptOnlyWhileTheEntriesSurelyNameTheSameKey) {
  struct Row {
    const char* first;
    const char* second;
    bool shiftJis;
    std::size_t preparations;
    const char* third = nullptr;  // the key path of a third entry, when there is one
  };
  const std::string kLong = "S\\" + std::string(1100, 'k');
  const std::string kFull = "S\\" + std::string(1022, 'k');  // 1,024 bytes: one past what is kept
  const std::string kLongest = kFull.substr(0, 1023);        // 1,023 bytes: kept
  const Row rows[] = {
      {"S\\Key", "S\\Key", false, 1},
      {"SOFTWARE\\Key", "software\\kEY", false, 1},  // the registry ignores ASCII case
      {"S\\Key", "S\\Key\\Sub", false, 2},
      {"S\\Key\\Sub", "S\\Key", false, 2},
      {"S\\Key", "S\\Key\\", false, 2},            // perhaps the same key: prepared afresh
      {"S\\\xC9t\xE9", "S\\\xE9t\xE9", false, 2},  // case beyond ASCII: prepared afresh
      {"S\\\x83\x41", "S\\\x83\x61", true, 2},     // the trail bytes differ, not their case
      {"S\\\x83\x41", "S\\\x83\x41", true, 1},
      {kLong.c_str(), kLong.c_str(), false, 2},  // too long to keep
      {kFull.c_str(), kFull.c_str(), false, 2},
      {kLongest.c_str(), kLongest.c_str(), false, 1},
      {"S\\Key", kLong.c_str(), false, 3, "S\\Key"},  // the long key is not kept for the third
      {"S\\[", "S\\{", false, 2},                     // 0x5B and 0x7B are no letters
      {"S\\@", "S\\`", false, 2},
      {"S\\Zz", "S\\zZ", false, 1},
  };
  for (const Row& row : rows) {
    fakes::FakePlatform fresh;
    if (row.shiftJis) fresh.codePage.UseShiftJis();
    std::string script =
        "\"" + std::string(row.first) + "\" \"N\" \"1\" \"" + row.second + "\" \"M\" \"2\"\n";
    if (row.third != nullptr) script += "\"" + std::string(row.third) + "\" \"T\" \"3\"\n";
    fresh.files.AddFile("f", script);
    EXPECT_EQ(mordelt::SetValuesFromScriptFile(fresh.platform, "f"), 0) << row.second;
    EXPECT_EQ(fresh.log.Count("RegCreateKeyExA"), row.preparations) << row.second;
    EXPECT_EQ(fresh.log.Count("RegOpenKeyExA"), row.preparations) << row.second;
    EXPECT_EQ(fresh.registry.StringValue(row.first, "N"), "1") << row.second;
    EXPECT_EQ(fresh.registry.StringValue(row.second, "M"), "2") << row.second;
    if (row.third != nullptr) {
      EXPECT_EQ(fresh.registry.StringValue(row.third, "T"), "3") << row.second;
    }
    EXPECT_EQ(fresh.OpenHandles(), 0) << row.second;
  }
}

TEST_F(ScriptTest, KeyDeletedWhileHeldIsPreparedAgainOncePerEntry) {
  const char kThree[] = "\"S\\A\" \"N1\" \"1\" \"S\\A\" \"N2\" \"2\"\n\"S\\A\" \"N3\" \"3\"\n";
  struct Row {
    const char* what;
    ScriptMode mode;
    std::vector<int> deletedBefore;  // value calls before which someone deletes S\A
    int result;
    const char* output;
    const char* left;     // the values of S\A afterwards; "-": no key
    int failedOpen = -1;  // the RegOpenKeyExA call (from 0) that fails with 5; -1: none
  };
  const char kNotFound[] = "Error: the number of error is 2";
  const Row rows[] = {
      {"deleted", ScriptMode::SetValues, {1}, 0, "", "N2 N3"},
      {"deleted before two entries", ScriptMode::SetValues, {1, 3}, 0, "", "N3"},
      {"deleted again before the second try", ScriptMode::SetValues, {1, 2}, 5, "", "-"},
      {"deleted, values to remove", ScriptMode::DeleteValues, {1}, 6, kNotFound, ""},
      // The re-opening fails: the entry ends as a failed preparation does, with no message.
      {"deleted, re-open refused", ScriptMode::SetValues, {1}, 5, "", "", 1},
      {"deleted, re-open refused, removing", ScriptMode::DeleteValues, {1}, 6, "", "", 1},
  };
  for (const Row& row : rows) {
    fakes::FakePlatform fresh;
    fresh.files.AddFile("f", kThree);
    const bool setting = row.mode == ScriptMode::SetValues;
    if (!setting) {
      for (const char* name : {"N1", "N2", "N3"}) fresh.registry.PutString("S\\A", name, "x");
    }
    for (int before : row.deletedBefore) {
      fresh.registry.DeleteKeyBefore(setting ? "RegSetValueExA" : "RegDeleteValueA", before,
                                     "S\\A");
    }
    if (row.failedOpen >= 0) fresh.log.Fail("RegOpenKeyExA", 5, row.failedOpen);
    const int result = setting ? mordelt::SetValuesFromScriptFile(fresh.platform, "f")
                               : mordelt::DeleteValuesFromScriptFile(fresh.platform, "f");
    EXPECT_EQ(result, row.result) << row.what;
    EXPECT_EQ(fresh.console.output, row.output) << row.what;
    std::string left = fresh.registry.KeyExists("S\\A") ? "" : "-";
    for (const char* name : {"N1", "N2", "N3"}) {
      if (fresh.registry.Value("S\\A", name)) left += (left.empty() ? "" : " ") + std::string(name);
    }
    EXPECT_EQ(left, row.left) << row.what;
    EXPECT_EQ(fresh.OpenHandles(), 0) << row.what;
  }
}

// ---- failures: memory and every call in turn ----

TEST_F(ScriptTest, MemoryFailureStopsTheScriptWithTheFailureCodeOfTheMode) {
  for (ScriptMode mode : {ScriptMode::SetValues, ScriptMode::DeleteValues}) {
    for (int occurrence = 0; occurrence < 6; ++occurrence) {
      fakes::FakePlatform fresh;
      fresh.files.AddFile("f", std::string("\"S\\A\" \"N\" \"V\"\n\"S\\B\" \"M\" \"") +
                                   std::string(3000, 'w') + "\"\n");
      fresh.registry.PutString("S\\A", "N", "old");
      fresh.registry.PutString("S\\B", "M", "old");
      fresh.log.Fail("HeapAlloc", fakes::kDefaultFault, occurrence);
      const int result = mode == ScriptMode::SetValues
                             ? mordelt::SetValuesFromScriptFile(fresh.platform, "f")
                             : mordelt::DeleteValuesFromScriptFile(fresh.platform, "f");
      const bool allocationFailed =
          fresh.log.Count("HeapAlloc") > static_cast<std::size_t>(occurrence);
      const int failure = mode == ScriptMode::SetValues ? 5 : 6;
      EXPECT_EQ(result, allocationFailed ? failure : 0) << occurrence;
      EXPECT_EQ(fresh.OpenHandles(), 0);
      EXPECT_EQ(fresh.memory.LiveBlocks(), 0u);
      EXPECT_EQ(fresh.console.output, "");
    }
  }
}

}  // namespace
