// The device walk of "-hwid" with a pattern that matches nothing, written directly against
// SetupAPI for the benchmarks: every present device of every class, its hardware and then its
// compatible identifiers read into an 8194-byte area (8192 offered), each identifier tested for
// the pattern's text at its end without regard to ASCII case.
#ifndef BENCH_DEVICE_WALK_H_
#define BENCH_DEVICE_WALK_H_

#include <windows.h>
// (after windows.h)
#include <setupapi.h>

#include <cstring>
#include <vector>

namespace bench {

inline bool EndsWithIgnoringCase(const char* identifier, const char* tail) {
  const std::size_t a = std::strlen(identifier);
  const std::size_t b = std::strlen(tail);
  if (a < b) return false;
  const char* s = identifier + (a - b);
  for (std::size_t i = 0; i < b; ++i) {
    char x = s[i];
    char y = tail[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// Whether some identifier of the list property ends with `tail`.
inline bool PropertyMatches(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property,
                            const char* tail) {
  std::vector<char> buffer(8194);
  DWORD type = 0;
  DWORD required = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, property, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), 8192, &required)) {
    return false;
  }
  const DWORD end = required < 8192 ? required : 8192;
  buffer[end] = '\0';
  buffer[end + 1] = '\0';
  for (const char* entry = buffer.data(); *entry != '\0'; entry += std::strlen(entry) + 1) {
    if (EndsWithIgnoringCase(entry, tail)) return true;
  }
  return false;
}

// Walks the present devices until one has an identifier that ends with `tail`. Returns the
// number of devices walked, or -1 when the device list cannot be made; *matched tells whether
// a device matched.
inline int WalkPresentDevices(const char* tail, bool* matched) {
  *matched = false;
  HDEVINFO set = SetupDiGetClassDevsExA(nullptr, nullptr, nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES,
                                        nullptr, nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return -1;
  SP_DEVINFO_LIST_DETAIL_DATA_A detail = {};
  detail.cbSize = sizeof detail;
  SetupDiGetDeviceInfoListDetailA(set, &detail);
  int walked = 0;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    ++walked;
    const bool hardware = PropertyMatches(set, &device, SPDRP_HARDWAREID, tail);
    const bool compatible = PropertyMatches(set, &device, SPDRP_COMPATIBLEIDS, tail);
    if (hardware || compatible) {
      *matched = true;
      break;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return walked;
}

// The text that no device's identifier ends with, and the "-hwid" argument made of it.
inline const char* NoSuchDeviceTail() { return "NO\\SUCH_DEVICE_9F3A"; }

}  // namespace bench

#endif  // BENCH_DEVICE_WALK_H_
