#pragma once

namespace testing_support {

// The texts setup.exe writes, byte for byte.
inline constexpr char kSetupUsage[] =
    "Setup Options <Required Parameter> \n"
    "Options:\n"
    "-i <Product.msi> : Install msi package. \n"
    "-u <Product.msi> : Uninstall msi package. \n"
    "-l <Log file>    : Log information in the <Log file>. \n"
    "-s               : Quiet mode, no user interaction. \n";
inline constexpr char kInstallWithUninstall[] =
    "Setup:Error: Install action can not be used with Uninstall\n";
inline constexpr char kUninstallWithInstall[] =
    "Setup:Error: Unistall action can not be used with Install\n";
inline constexpr char kNoMsiFile[] = "Setup:Error: No msi file was specified\n";
inline constexpr char kNoLogFile[] = "Setup:Error: No Log file name was specified\n";
inline constexpr char kCommandTooLong[] =
    "Setup:Error: The installer command would be longer than 2047 characters\n";

}  // namespace testing_support
