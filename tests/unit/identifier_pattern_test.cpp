#include "mordelt/identifier_pattern.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/fakes/fake_code_page.h"
#include "tests/unit/identifier_reference.h"

namespace {

using mordelt::IdentifierPattern;
using mordelt::MatchAnyIdentifier;
using mordelt::MatchIdentifier;
using mordelt::ParseIdentifierPattern;

int Match(const platform::CodePage& codePage, const char* argument, const char* identifier) {
  const IdentifierPattern pattern = ParseIdentifierPattern(codePage, argument);
  return MatchIdentifier(codePage, identifier, pattern);
}

int Match(const char* argument, const char* identifier) {
  fakes::FakeCodePage singleByte;
  return Match(singleByte, argument, identifier);
}

TEST(ParseIdentifierPatternTest, PlainPatternPointsIntoTheArgument) {
  fakes::FakeCodePage codePage;
  const char argument[] = "PCI\\VEN_1234*DEV*";
  const IdentifierPattern pattern = ParseIdentifierPattern(codePage, argument);
  EXPECT_EQ(pattern.text, argument);
  EXPECT_EQ(pattern.firstWildcard, argument + 12);
  EXPECT_EQ(pattern.byInstanceId, 0);
}

TEST(ParseIdentifierPatternTest, MarkersAreReadInTheirOrderOnly) {
  fakes::FakeCodePage codePage;
  const char instance[] = "@ROOT\\*";
  IdentifierPattern pattern = ParseIdentifierPattern(codePage, instance);
  EXPECT_EQ(pattern.text, instance + 1);
  EXPECT_EQ(pattern.firstWildcard, instance + 6);
  EXPECT_EQ(pattern.byInstanceId, 1);

  const char literalInstance[] = "@'*X";
  pattern = ParseIdentifierPattern(codePage, literalInstance);
  EXPECT_EQ(pattern.text, literalInstance + 2);
  EXPECT_EQ(pattern.firstWildcard, nullptr);
  EXPECT_EQ(pattern.byInstanceId, 1);

  // "@" after the apostrophe, or anywhere but first, is an ordinary character.
  const char literalAt[] = "'@A";
  pattern = ParseIdentifierPattern(codePage, literalAt);
  EXPECT_EQ(pattern.text, literalAt + 1);
  EXPECT_EQ(pattern.byInstanceId, 0);

  const char apostropheFirst[] = "'@*";
  pattern = ParseIdentifierPattern(codePage, apostropheFirst);
  EXPECT_EQ(pattern.firstWildcard, nullptr);

  const char twoAts[] = "@@A";
  pattern = ParseIdentifierPattern(codePage, twoAts);
  EXPECT_EQ(pattern.text, twoAts + 1);
  EXPECT_EQ(pattern.byInstanceId, 1);
}

TEST(ParseIdentifierPatternTest, EmptyAndMarkerOnlyArguments) {
  fakes::FakeCodePage codePage;
  const char empty[] = "";
  const char at[] = "@";
  const char apostrophe[] = "'";
  EXPECT_EQ(ParseIdentifierPattern(codePage, empty).firstWildcard, nullptr);
  IdentifierPattern pattern = ParseIdentifierPattern(codePage, at);
  EXPECT_EQ(pattern.byInstanceId, 1);
  EXPECT_EQ(pattern.text, at + 1);
  EXPECT_EQ(pattern.firstWildcard, nullptr);
  pattern = ParseIdentifierPattern(codePage, apostrophe);
  EXPECT_EQ(pattern.text, apostrophe + 1);
  EXPECT_EQ(pattern.byInstanceId, 0);
}

TEST(ParseIdentifierPatternTest, AStarThatIsATrailByteIsNoWildcard) {
  fakes::FakeCodePage codePage;
  codePage.UseShiftJis();
  const char argument[] = "A\x81*B*";
  const IdentifierPattern pattern = ParseIdentifierPattern(codePage, argument);
  EXPECT_EQ(pattern.firstWildcard, argument + 4);
}

struct Example {
  const char* pattern;
  const char* identifier;
  int result;
};

TEST(MatchIdentifierTest, WorkedExamples) {
  const Example examples[] = {
      {"*PNP0501", "ACPI\\PNP0501", 1},
      {"*PNP0501", "ACPI\\PNP05011", 0},
      {"*PNP0501", "pnp0501", 1},
      {"PCI\\VEN_1234*", "PCI\\VEN_1234&DEV_5678", 1},
      {"PCI\\VEN_1234*", "pci\\ven_1234", 1},
      {"PCI\\VEN_1234", "PCI\\VEN_1234&DEV_5678", 0},
      {"PCI\\VEN_1234", "pci\\ven_1234", 1},
      {"*EN_2*", "PCI\\VEN_1234&DEV_5678&VEN_2", 1},
      {"*VEN_1234*DEV_5678", "PCI\\VEN_1234&DEV_5678&SUBSYS_0", 0},
      {"USB\\VID_*&PID_5678", "USB\\VID_1234&PID_5678&PID_5678", 1},
      {"AB*BA", "ABA", 0},
      {"AB*BA", "ABBA", 1},
      {"*&*&*", "A&B", 0},
      {"'*PNP0501", "*PNP0501", 1},
      {"'*PNP0501", "ACPI\\PNP0501", 0},
      {"@ROOT\\*", "ROOT\\LEGACY_X\\0000", 1},
      {"'@A", "@A", 1},
      // The fold's last letter, both ways.
      {"*z", "xZ", 1},
  };
  for (const Example& example : examples) {
    EXPECT_EQ(Match(example.pattern, example.identifier), example.result)
        << example.pattern << " on " << example.identifier;
  }
}

TEST(MatchIdentifierTest, InstanceMarkerIsNotPartOfTheText) {
  fakes::FakeCodePage codePage;
  EXPECT_EQ(ParseIdentifierPattern(codePage, "@ROOT\\*").byInstanceId, 1);
  EXPECT_EQ(ParseIdentifierPattern(codePage, "'@A").byInstanceId, 0);
  EXPECT_EQ(Match("@ROOT\\*", "@ROOT\\X"), 0);
  EXPECT_EQ(Match("'@A", "A"), 0);
}

TEST(MatchIdentifierTest, LoneAndRepeatedStarsMatchEverything) {
  for (const char* identifier : {"", "A", "ACPI\\PNP0501", "*", "**"}) {
    EXPECT_EQ(Match("*", identifier), 1) << identifier;
    EXPECT_EQ(Match("**", identifier), 1) << identifier;
    EXPECT_EQ(Match("***", identifier), 1) << identifier;
  }
}

TEST(MatchIdentifierTest, EmptyTextsMatchOnlyTheEmptyIdentifier) {
  for (const char* argument : {"@", "'", "", "@'"}) {
    EXPECT_EQ(Match(argument, ""), 1) << argument;
    EXPECT_EQ(Match(argument, "A"), 0) << argument;
    EXPECT_EQ(Match(argument, "@"), 0) << argument;
  }
}

TEST(MatchIdentifierTest, PrefixLongerThanTheIdentifierFails) {
  EXPECT_EQ(Match("PCI\\VEN_1234*", "PCI\\VEN"), 0);
  EXPECT_EQ(Match("PCI*", ""), 0);
  EXPECT_EQ(Match("PCI*", "PC"), 0);
  EXPECT_EQ(Match("PCI*", "PCI"), 1);
}

TEST(MatchIdentifierTest, FinalSegmentMayNotOverlapEarlierSegments) {
  EXPECT_EQ(Match("*AB*BA", "ABA"), 0);
  EXPECT_EQ(Match("*AB*BA", "XABBA"), 1);
  EXPECT_EQ(Match("A*A", "A"), 0);
  EXPECT_EQ(Match("A*A", "AA"), 1);
  EXPECT_EQ(Match("*A*A", "A"), 0);
}

TEST(MatchIdentifierTest, SegmentsTakeTheirLeftmostOccurrenceWithoutBacktracking) {
  // "B" is taken at its first occurrence; the final "BC" must then end what follows.
  EXPECT_EQ(Match("*B*BC", "ABXBC"), 1);
  // Leftmost "AB" in "ABAB" leaves "AB" for the final segment: it matches.
  EXPECT_EQ(Match("*AB*AB", "ABAB"), 1);
  // What a segment took is not given back to the final segment.
  EXPECT_EQ(Match("*AA*AA", "AAA"), 0);
  EXPECT_EQ(Match("*AA*AA", "AAAA"), 1);
  EXPECT_EQ(Match("*AA*AAB", "AAAAB"), 1);
  // The segment search resumes one character after a false start.
  EXPECT_EQ(Match("*ABC*", "AABABC"), 1);
  EXPECT_EQ(Match("*ABC*", "AABAB"), 0);
  EXPECT_EQ(Match("*12*", "1"), 0);
}

TEST(MatchIdentifierTest, OnlyAsciiLettersFoldTheirCase) {
  EXPECT_EQ(Match("*abc*", "xABCx"), 1);
  EXPECT_EQ(Match("*ABC*", "xabcx"), 1);
  EXPECT_EQ(Match("[", "{"), 0);  // 0x5B and 0x7B differ by 0x20 but are no letters
  EXPECT_EQ(Match("*@", "`"), 0);
  EXPECT_EQ(Match("*^*", "~"), 0);
  EXPECT_EQ(Match("\xC4", "\xE4"), 0);  // accented letters of a code page are not folded
  EXPECT_EQ(Match("*\xC4*", "x\xE4x"), 0);
  EXPECT_EQ(Match("\xC4", "\xC4"), 1);
}

TEST(MatchIdentifierTest, DoubleByteCharactersAreComparedWholeAndNeverSplit) {
  fakes::FakeCodePage sjis;
  sjis.UseShiftJis();
  // Trail bytes in the letter range are not case-folded.
  EXPECT_EQ(Match(sjis, "\x81\x41", "\x81\x61"), 0);
  EXPECT_EQ(Match(sjis, "\x81\x41", "\x81\x41"), 1);
  EXPECT_EQ(Match(sjis, "*\x81\x41", "X\x81\x61"), 0);
  // The last byte of a double-byte character is not the text after a "*".
  EXPECT_EQ(Match(sjis, "*A", "X\x81\x41"), 0);
  EXPECT_EQ(Match(sjis, "*\\", "X\x81\\"), 0);
  EXPECT_EQ(Match(sjis, "*\\", "X\x81\\\\"), 1);
  // A segment is not found inside a double-byte character.
  EXPECT_EQ(Match(sjis, "*A*", "\x81\x41"), 0);
  EXPECT_EQ(Match(sjis, "*A*",
                  "\x81\x41"
                  "A"),
            1);
  // A "*" that is a trail byte is an ordinary character, in the pattern and the identifier.
  EXPECT_EQ(Match(sjis, "\x81*", "\x81*"), 1);
  EXPECT_EQ(Match(sjis, "\x81*", "\x81X"), 0);
  EXPECT_EQ(Match(sjis, "*\x82*", "AB\x82*"), 1);
  // Double-byte characters in a segment and at the end.
  EXPECT_EQ(Match(sjis, "*\x82\xA0*\x82\xA2", "x\x82\xA0y\x82\xA2"), 1);
  EXPECT_EQ(Match(sjis, "*\x82\xA0*\x82\xA2", "x\x82\xA0y\x82\xA3"), 0);
  // On a single-byte code page the same bytes are separate characters.
  EXPECT_EQ(Match("*A", "X\x81\x41"), 1);
  EXPECT_EQ(Match("*A*", "\x81\x41"), 1);
}

TEST(MatchIdentifierTest, LeadByteBeforeTheEndIsACharacterOfItsOwn) {
  fakes::FakeCodePage sjis;
  sjis.UseShiftJis();
  EXPECT_EQ(Match(sjis, "*\x81", "AB\x81"), 1);
  EXPECT_EQ(Match(sjis, "\x81", "\x81"), 1);
  EXPECT_EQ(Match(sjis, "*\x81", "A\x81\x41"), 0);
}

TEST(MatchAnyIdentifierTest, NoListOrEmptyListGivesZero) {
  fakes::FakeCodePage codePage;
  const IdentifierPattern any = ParseIdentifierPattern(codePage, "*");
  EXPECT_EQ(MatchAnyIdentifier(codePage, nullptr, any), 0);
  const char* const empty[] = {nullptr};
  EXPECT_EQ(MatchAnyIdentifier(codePage, empty, any), 0);
}

TEST(MatchAnyIdentifierTest, AnyEntryMatching) {
  fakes::FakeCodePage codePage;
  const IdentifierPattern pattern = ParseIdentifierPattern(codePage, "*PNP0501");
  const char* const first[] = {"ACPI\\PNP0501", "*PNP0501", nullptr};
  const char* const last[] = {"ACPI\\PNP05011", "X", "*pnp0501", nullptr};
  const char* const none[] = {"ACPI\\PNP05011", "PNP050", nullptr};
  EXPECT_EQ(MatchAnyIdentifier(codePage, first, pattern), 1);
  EXPECT_EQ(MatchAnyIdentifier(codePage, last, pattern), 1);
  EXPECT_EQ(MatchAnyIdentifier(codePage, none, pattern), 0);
}

// Random strings over a small alphabet where the traps lie: both letter cases, "*", the
// markers, bytes that differ from letters by 0x20, lead bytes, double-byte characters whose
// trail is a letter, a backslash or a "*".
class RandomText {
 public:
  explicit RandomText(std::uint32_t seed) : random_(seed) {}

  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(random_() % n); }

  std::string Pattern() {
    static const char* const kTokens[] = {"A", "a",        "B",        "b",     "*",   "*",
                                          "*", "\\",       "&",        "@",     "'",   "[",
                                          "{", "\x81\x41", "\x81\x61", "\x82*", "\x81"};
    return Build(kTokens, sizeof kTokens / sizeof kTokens[0], 7);
  }

  std::string Identifier() {
    static const char* const kTokens[] = {"A",        "a",        "B",     "b",    "\\",
                                          "&",        "@",        "[",     "{",    "*",
                                          "\x81\x41", "\x81\x61", "\x82*", "\x81", "A"};
    return Build(kTokens, sizeof kTokens / sizeof kTokens[0], 9);
  }

  // An identifier made from the pattern by filling its "*" with random text, changing the case
  // of some letters: mostly one that matches.
  std::string FromPattern(const std::string& pattern) {
    std::string identifier;
    for (char c : pattern) {
      if (c == '*' && Below(4) != 0) {
        identifier += Identifier().substr(0, Below(4));
      } else if (c >= 'A' && c <= 'Z' && Below(3) == 0) {
        identifier += static_cast<char>(c + 32);
      } else if (c >= 'a' && c <= 'z' && Below(3) == 0) {
        identifier += static_cast<char>(c - 32);
      } else if (c != '@' && c != '\'') {
        identifier += c;
      }
    }
    return identifier;
  }

 private:
  std::string Build(const char* const* tokens, std::uint32_t count, std::uint32_t maxLength) {
    std::string text;
    const std::uint32_t length = Below(maxLength + 1);
    for (std::uint32_t i = 0; i < length; ++i) text += tokens[Below(count)];
    return text;
  }
  std::mt19937 random_;
};

void CompareWithReference(const platform::CodePage& codePage, std::uint32_t seed, int rounds,
                          int* matches) {
  RandomText random(seed);
  for (int round = 0; round < rounds; ++round) {
    const std::string argument = random.Pattern();
    const std::string identifier =
        random.Below(2) == 0 ? random.Identifier() : random.FromPattern(argument);
    const IdentifierPattern pattern = ParseIdentifierPattern(codePage, argument.c_str());
    const reference::Pattern expected = reference::Parse(codePage, argument);
    ASSERT_EQ(pattern.byInstanceId == 1, expected.byInstanceId) << argument;
    ASSERT_EQ(pattern.firstWildcard != nullptr, expected.wildcards) << argument;
    const int result = MatchIdentifier(codePage, identifier.c_str(), pattern);
    ASSERT_EQ(result, reference::Match(codePage, identifier, expected) ? 1 : 0)
        << "round " << round << ": pattern \"" << argument << "\" identifier \"" << identifier
        << "\"";
    *matches += result;
  }
}

TEST(MatchIdentifierTest, AgreesWithThePlainMatcherOnRandomInputs) {
  constexpr int kRounds = 100000;
  fakes::FakeCodePage singleByte;
  fakes::FakeCodePage sjis;
  sjis.UseShiftJis();
  int singleByteMatches = 0;
  int doubleByteMatches = 0;
  CompareWithReference(singleByte, 20240611u, kRounds, &singleByteMatches);
  CompareWithReference(sjis, 20240612u, kRounds, &doubleByteMatches);
  // Both outcomes must be well represented, or the comparison proves little.
  EXPECT_GT(singleByteMatches, kRounds / 10);
  EXPECT_LT(singleByteMatches, kRounds * 9 / 10);
  EXPECT_GT(doubleByteMatches, kRounds / 10);
  EXPECT_LT(doubleByteMatches, kRounds * 9 / 10);
}

}  // namespace
