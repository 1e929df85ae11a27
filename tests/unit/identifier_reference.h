#pragma once

// A second, deliberately plain matcher of device identifier patterns, kept apart from the
// program's so that the two can be compared on many random inputs. It cuts both strings into
// characters first and then works on whole characters by index; it shares no code with the
// program's matcher.

#include <string>
#include <vector>

#include "platform/code_page.h"

namespace reference {

// A character: one byte, or a lead byte with the byte after it.
using Chars = std::vector<std::string>;

inline Chars Characters(const platform::CodePage& codePage, const std::string& text) {
  Chars chars;
  std::size_t i = 0;
  while (i < text.size()) {
    const bool pair =
        codePage.IsDBCSLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
    const std::size_t size = pair ? 2 : 1;
    chars.push_back(text.substr(i, size));
    i += size;
  }
  return chars;
}

inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

inline bool SameCharacter(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  if (a.size() == 2) return a == b;
  return Upper(a[0]) == Upper(b[0]);
}

struct Pattern {
  Chars text;
  bool wildcards = false;
  bool byInstanceId = false;
};

inline Pattern Parse(const platform::CodePage& codePage, const std::string& argument) {
  const Chars chars = Characters(codePage, argument);
  std::size_t start = 0;
  Pattern pattern;
  if (start < chars.size() && chars[start] == "@") {
    pattern.byInstanceId = true;
    ++start;
  }
  bool literal = false;
  if (start < chars.size() && chars[start] == "'") {
    literal = true;
    ++start;
  }
  pattern.text.assign(chars.begin() + static_cast<long>(start), chars.end());
  if (!literal) {
    for (const std::string& c : pattern.text) {
      if (c == "*") pattern.wildcards = true;
    }
  }
  return pattern;
}

inline std::size_t Bytes(const Chars& chars, std::size_t from, std::size_t to) {
  std::size_t bytes = 0;
  for (std::size_t i = from; i < to; ++i) bytes += chars[i].size();
  return bytes;
}

inline bool Match(const platform::CodePage& codePage, const std::string& identifierText,
                  const Pattern& pattern) {
  const Chars id = Characters(codePage, identifierText);
  const Chars& text = pattern.text;

  if (!pattern.wildcards) {
    if (id.size() != text.size()) return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
      if (!SameCharacter(id[i], text[i])) return false;
    }
    return true;
  }

  std::size_t star = 0;
  while (text[star] != "*") ++star;
  if (id.size() < star) return false;
  for (std::size_t i = 0; i < star; ++i) {
    if (!SameCharacter(id[i], text[i])) return false;
  }

  std::size_t s = star;  // index into id
  std::size_t q = star;  // index into text
  while (q < text.size()) {
    if (text[q] == "*") {
      ++q;
      continue;
    }
    std::size_t close = q;
    while (close < text.size() && text[close] != "*") ++close;

    if (close == text.size()) {
      // Last segment: the identifier's characters from the end that make up exactly its bytes.
      const std::size_t wanted = Bytes(text, q, text.size());
      std::size_t j = id.size();
      std::size_t got = 0;
      while (j > s && got < wanted) {
        --j;
        got += id[j].size();
      }
      if (got != wanted) return false;
      if (id.size() - j != text.size() - q) return false;
      for (std::size_t k = 0; j + k < id.size(); ++k) {
        if (!SameCharacter(id[j + k], text[q + k])) return false;
      }
      return true;
    }

    const std::size_t length = close - q;
    bool found = false;
    for (std::size_t at = s; at < id.size() && !found; ++at) {
      if (at + length > id.size()) break;
      bool all = true;
      for (std::size_t k = 0; k < length && all; ++k) all = SameCharacter(id[at + k], text[q + k]);
      if (all) {
        found = true;
        s = at + length;
      }
    }
    if (!found) return false;
    q = close;
  }
  return true;
}

}  // namespace reference
