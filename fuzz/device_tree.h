#pragma once

// The device tree the fuzz targets make from their input, and how the device query reads the
// identifier lists of its devices.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "tests/fakes/fake_devices.h"
#include "tests/unit/identifier_reference.h"

namespace fuzzing {

// A text of at most `most` bytes, up to its first NUL.
inline std::string ShortText(FuzzedDataProvider& input, std::size_t most) {
  return std::string(input.ConsumeRandomLengthString(most).c_str());
}

// An identifier-list property: usually REG_MULTI_SZ of up to three identifiers, sometimes one
// REG_SZ string, sometimes larger than the 8192 bytes a first read offers, sometimes none.
inline std::optional<fakes::FakeProperty> IdentifierProperty(FuzzedDataProvider& input) {
  std::vector<std::string> strings;
  const int count = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < count; ++i) strings.push_back(ShortText(input, 64));
  switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
      return std::nullopt;
    case 1:
      strings.insert(strings.begin(), std::string(9000, 'x'));
      return fakes::MultiSz(strings);
    case 2:
      return fakes::RawProperty(1, (strings.empty() ? std::string() : strings[0]) + '\0');
    case 3:
      return fakes::RawProperty(1, std::string(9000, 'y') + '\0');
    default:
      return fakes::MultiSz(strings);
  }
}

// Up to four devices of three classes, present or not, with their identifier lists; and
// whether the device-id call answers without writing.
inline void AddDevices(FuzzedDataProvider& input, fakes::FakeDevices& devices) {
  const int count = input.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < count; ++i) {
    fakes::FakeDevice device;
    device.instanceId = ShortText(input, 64);
    device.classGuid = fakes::MakeGuid(input.ConsumeIntegralInRange<std::uint32_t>(1, 3));
    device.present = input.ConsumeBool();
    device.hardwareIds = IdentifierProperty(input);
    device.compatibleIds = IdentifierProperty(input);
    devices.Add(device);
  }
  devices.deviceIdWritesNothing = input.ConsumeBool();
}

// Whether an identifier of a list property matches, as the query reads it: a value that fits in
// 8192 bytes, or a larger REG_MULTI_SZ, with two NULs after it, cut into strings up to the first
// empty one; a larger value of another type counts as no list.
inline bool AnyMatches(const platform::CodePage& codePage,
                       const std::optional<fakes::FakeProperty>& ids,
                       const reference::Pattern& pattern) {
  if (!ids) return false;
  if (ids->bytes.size() > 8192 && ids->type != 7) return false;
  const std::string bytes = ids->bytes + std::string(2, '\0');
  for (std::size_t at = 0; bytes[at] != '\0'; at += std::strlen(bytes.c_str() + at) + 1) {
    if (reference::Match(codePage, std::string(bytes.c_str() + at), pattern)) return true;
  }
  return false;
}

}  // namespace fuzzing
