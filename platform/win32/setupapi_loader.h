#pragma once

#include <windows.h>
// windows.h first: the device headers rely on its types.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstring>

namespace platform::win32 {

// SetupAPI, loaded at the first device call: only the device commands use it, and every other run
// is spared loading it and the RPC runtime it brings at start-up. It is loaded from the system
// directory, and its own dependencies with it, never from the program's directory. The entry
// points are those the import table would name (the CM_ calls included, which SetupAPI exports).
class SetupApi {
 public:
  decltype(&::SetupDiClassGuidsFromNameExA) classGuidsFromNameEx = nullptr;
  decltype(&::SetupDiGetClassDevsExA) getClassDevsEx = nullptr;
  decltype(&::SetupDiCreateDeviceInfoListExA) createDeviceInfoListEx = nullptr;
  decltype(&::SetupDiOpenDeviceInfoA) openDeviceInfo = nullptr;
  decltype(&::SetupDiGetDeviceInfoListDetailA) getDeviceInfoListDetail = nullptr;
  decltype(&::SetupDiEnumDeviceInfo) enumDeviceInfo = nullptr;
  decltype(&::SetupDiGetDeviceRegistryPropertyA) getDeviceRegistryProperty = nullptr;
  decltype(&::SetupDiDestroyDeviceInfoList) destroyDeviceInfoList = nullptr;
  decltype(&::CM_Get_Device_ID_ExA) getDeviceIdEx = nullptr;
  decltype(&::CM_Locate_DevNode_ExA) locateDevNodeEx = nullptr;
  decltype(&::CM_Reenumerate_DevNode_Ex) reenumerateDevNodeEx = nullptr;

  SetupApi() = default;
  SetupApi(const SetupApi&) = delete;
  SetupApi& operator=(const SetupApi&) = delete;
  ~SetupApi() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  // True when every entry point is there; loads the library on the first call. When it cannot
  // be loaded, GetLastError tells why, and each later call tells again.
  bool Load() {
    if (loaded_) return true;
    if (module_ == nullptr) module_ = LoadFromSystemDirectory();
    if (module_ == nullptr) return false;
    loaded_ = Find(classGuidsFromNameEx, "SetupDiClassGuidsFromNameExA") &&
              Find(getClassDevsEx, "SetupDiGetClassDevsExA") &&
              Find(createDeviceInfoListEx, "SetupDiCreateDeviceInfoListExA") &&
              Find(openDeviceInfo, "SetupDiOpenDeviceInfoA") &&
              Find(getDeviceInfoListDetail, "SetupDiGetDeviceInfoListDetailA") &&
              Find(enumDeviceInfo, "SetupDiEnumDeviceInfo") &&
              Find(getDeviceRegistryProperty, "SetupDiGetDeviceRegistryPropertyA") &&
              Find(destroyDeviceInfoList, "SetupDiDestroyDeviceInfoList") &&
              Find(getDeviceIdEx, "CM_Get_Device_ID_ExA") &&
              Find(locateDevNodeEx, "CM_Locate_DevNode_ExA") &&
              Find(reenumerateDevNodeEx, "CM_Reenumerate_DevNode_Ex");
    return loaded_;
  }

 private:
  static HMODULE LoadFromSystemDirectory() {
    HMODULE module = LoadLibraryExA("setupapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    // A system without the restricted search: the full path, with the library's own directory
    // searched first for its dependencies.
    char path[MAX_PATH + 16] = {};
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::memcpy(path + length, "\\setupapi.dll", sizeof "\\setupapi.dll");
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }

  template <typename Function>
  bool Find(Function& entry, const char* name) {
    entry = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    return entry != nullptr;
  }

  HMODULE module_ = nullptr;
  bool loaded_ = false;
};

}  // namespace platform::win32
