#pragma once

// A registry that forwards every call to the fake and notes, per registry operation, the key
// path it prepared (or the path of the key it was made on, when that key was held from an
// earlier operation) and the value call it made, with their results: what a fuzz target compares
// with the entries a plain second reader expects. A held key found deleted and prepared again
// stays one operation.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/registry.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_registry.h"

namespace fuzzing {

// One registry operation as the program made it: it begins with the key's creation, or with its
// value call on a held key.
struct RegistryOperation {
  std::string keyPath;
  bool held = false;  // made on a key prepared for an earlier operation
  bool valueCallMade = false;
  std::string call;  // "set" or "delete"
  std::string valueName;
  std::string data;  // the bytes handed to RegSetValueExA
  std::int32_t valueResult = -1;
};

class RecordingRegistry final : public platform::Registry {
 public:
  explicit RecordingRegistry(fakes::FakeRegistry& registry) : registry_(registry) {}

  std::int32_t RegCreateKeyExA(platform::KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, platform::KeyHandle* result) override {
    const bool again = !operations.empty() && operations.back().valueCallMade &&
                       operations.back().valueResult == platform::kErrorKeyDeleted;
    if (again) {
      operations.back().valueCallMade = false;
    } else {
      operations.push_back({});
      operations.back().keyPath = subKey;
    }
    return registry_.RegCreateKeyExA(root, subKey, options, access, result);
  }
  std::int32_t RegOpenKeyExA(platform::KeyHandle root, const char* subKey, std::uint32_t options,
                             std::uint32_t access, platform::KeyHandle* result) override {
    const std::int32_t opened = registry_.RegOpenKeyExA(root, subKey, options, access, result);
    if (opened == platform::kErrorSuccess) paths_[*result] = subKey;
    return opened;
  }
  std::int32_t RegSetValueExA(platform::KeyHandle key, const char* valueName, std::uint32_t type,
                              const unsigned char* data, std::uint32_t size) override {
    const std::int32_t result = registry_.RegSetValueExA(key, valueName, type, data, size);
    Note(key, "set", valueName, std::string(reinterpret_cast<const char*>(data), size), result);
    return result;
  }
  std::int32_t RegDeleteKeyA(platform::KeyHandle key, const char* subKey) override {
    const std::int32_t result = registry_.RegDeleteKeyA(key, subKey);
    Note(key, "delete key", subKey, "", result);
    return result;
  }
  std::int32_t RegDeleteValueA(platform::KeyHandle key, const char* valueName) override {
    const std::int32_t result = registry_.RegDeleteValueA(key, valueName);
    Note(key, "delete", valueName, "", result);
    return result;
  }
  std::int32_t RegCloseKey(platform::KeyHandle key) override { return registry_.RegCloseKey(key); }

  std::vector<RegistryOperation> operations;

 private:
  void Note(platform::KeyHandle key, const char* call, const char* name, std::string data,
            std::int32_t result) {
    if (operations.empty() || operations.back().valueCallMade) {
      operations.push_back({});
      operations.back().keyPath = paths_[key];
      operations.back().held = true;
    }
    RegistryOperation& operation = operations.back();
    operation.valueCallMade = true;
    operation.call = call;
    operation.valueName = name;
    operation.data = std::move(data);
    operation.valueResult = result;
  }

  fakes::FakeRegistry& registry_;
  std::map<platform::KeyHandle, std::string> paths_;  // of every key opened
};

// The fakes, with the registry's calls recorded by `registry`.
inline platform::Platform RecordedPlatform(fakes::FakePlatform& fake, RecordingRegistry& registry) {
  return {fake.memory, fake.console, fake.codePage,  fake.windows,
          registry,    fake.files,   fake.processes, fake.devices};
}

// The text DeleteRegistryValue writes when the removal itself fails.
inline std::string DeleteErrorText(std::int32_t error) {
  return "Error: the number of error is " + std::to_string(error);
}

}  // namespace fuzzing
