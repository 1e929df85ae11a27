#pragma once

namespace testing_support {

// The usage text Mordelt.exe writes for an unknown verb or missing arguments, byte for byte.
inline constexpr char kMordeltUsage[] =
    "Usage:Mordelt.exe  -int [OPTION]\n"
    "-int - if regestry val is  integer:\n"
    "Options:\n"
    " -add <path in registry> <key's name> <value>\n"
    " -delete <path in registry> <key's name> \n";

}  // namespace testing_support
