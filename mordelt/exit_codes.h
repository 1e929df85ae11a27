#pragma once

#include "common/command_result.h"

namespace mordelt {

// Mordelt's exit codes, the contract with the installers that run it (README.md and
// docs/manual.md list every path to each). 0 and 1 are the codes both programs share.
using common::kExitFailure;            // 1: usage error, or reg.exe could not be started
using common::kExitSuccess;            // 0: done, nothing to do, or a file that does not exist
constexpr int kExitDeviceFailure = 2;  // the device tree or a device query failed
constexpr int kExitNoPattern = 3;      // a device query without a pattern
constexpr int kExitNoMatch = 4;        // no present device matches
constexpr int kExitSetValueFailed = 5;
constexpr int kExitDeleteFailed = 6;
constexpr int kExitFileCommandFailed = 7;  // a copy or deletion the system refused

}  // namespace mordelt
