#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace mordelt {

// Whether a device with one of the given identifiers is in the machine. The arguments, in
// order: an optional setup class ("=" and its name, first position only), an optional "*" for
// any device, then identifier patterns. The devices of the class (of every class without one),
// restricted by the DIGCF_* `flags`, are walked in the order of the device set, and each
// device's identifiers are tested against the patterns in argument order. Returns
//   0  a device matched; or nothing restricts the query (no pattern, "*", or only instance
//      patterns without wildcard) and the set holds a device; or no setup class bears the name,
//   2  memory for the patterns, the class lookup, making the set or reading its details failed,
//   3  no arguments (nothing is called),
//   4  no device of the set matched, an empty set included.
// The arguments are not changed; everything the query makes is released before it returns.
[[nodiscard]] int QueryDevices(const platform::Platform& platform, std::uint32_t flags, int count,
                               char** arguments);

// Asks whether a present device matches the one pattern it is given (count 1).
using PatternQuery = int (*)(const platform::Platform& platform, int count, char** arguments);

// The "-hwid" loop: every argument whose first character is "#" has that character replaced by
// "*" in place and is queried alone; the first query that gives 0 ends the loop with 0. Other
// arguments are passed over. Returns 4 when no query gave 0 (no argument, none with "#").
int QueryEachHashPattern(const platform::Platform& platform, char** arguments, int count,
                         PatternQuery query);

// QueryDevices over the present devices: 3 when count is 0, else its result with DIGCF_PRESENT.
[[nodiscard]] int QueryPresentDevices(const platform::Platform& platform, int count,
                                      char** arguments);

}  // namespace mordelt
