#pragma once

#include "platform/code_page.h"

namespace mordelt {

// The parsed form of one device identifier pattern. It points into the argument it was parsed
// from, owns nothing, and is valid while that argument lives.
struct IdentifierPattern {
  const char* text;           // the characters matched, past any "@" and "'" markers
  const char* firstWildcard;  // the first "*" of text, or null: the pattern has no wildcard
  bool byInstanceId;          // tested against instance identifiers, else hardware/compatible
};

// Parses one pattern argument: a leading "@" makes an instance pattern; a leading "'" (after
// any "@") makes every "*" an ordinary character; otherwise the first "*" is the first
// wildcard. Every string is a pattern: this cannot fail.
IdentifierPattern ParseIdentifierPattern(const platform::CodePage& codePage, const char* argument);

// Whether the identifier matches the pattern. Without wildcard the whole identifier must
// equal text; with wildcards the text before the first "*" must begin the identifier, each
// segment between two "*" is taken at its leftmost occurrence after what is already matched
// (no backtracking), and the text after the last "*" must end the identifier without
// overlapping what is already matched. Letters A-Z compare without regard to case; every other
// character, double-byte ones included, must be equal, and no double-byte character is split.
bool MatchIdentifier(const platform::CodePage& codePage, const char* identifier,
                     const IdentifierPattern& pattern);

// Whether some entry of the null-terminated list matches the pattern, tried in order; false
// when none does, when the list is empty, or when there is no list (null).
bool MatchAnyIdentifier(const platform::CodePage& codePage, const char* const* list,
                        const IdentifierPattern& pattern);

}  // namespace mordelt
