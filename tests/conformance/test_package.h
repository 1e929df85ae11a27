// The one-file package that the setup tests install (conformance-product.msi, built beside
// conformance.exe from tools/product.wxs), shared by conformance.exe and matrix.exe.
#pragma once

#include <windows.h>

#include <string>

#include "tests/conformance/harness.h"

namespace conformance {

inline constexpr char kProductCode[] = "{5D2F1A60-7C1E-4B7A-9E2B-3A4C5D6E7F80}";

inline std::string PackageSource() { return TestProgramDir() + "\\conformance-product.msi"; }

// Where the package puts its one file: the 64-bit Program Files folder.
inline std::string InstalledFile() {
  std::string programFiles = GetEnv("ProgramW6432");
  if (programFiles.empty()) programFiles = GetEnv("ProgramFiles");
  return programFiles + "\\SetupConformanceProduct\\payload.txt";
}

// Removes the product with the system's msiexec when made and when destroyed, so that every
// test starts and ends without it. It first waits while another installation runs.
class ScopedProductRemoval {
 public:
  ScopedProductRemoval() {
    WaitForOtherInstallations();
    Remove();
  }
  ~ScopedProductRemoval() { Remove(); }
  ScopedProductRemoval(const ScopedProductRemoval&) = delete;
  ScopedProductRemoval& operator=(const ScopedProductRemoval&) = delete;

 private:
  static void Remove() {
    RunRaw(SystemMsiexec(), std::string("msiexec /x ") + kProductCode + " /quiet");
  }
};

}  // namespace conformance
