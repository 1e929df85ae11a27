#include "tests/fakes/fake_registry.h"

#include <algorithm>
#include <cstdio>

#include "common/multibyte.h"

namespace fakes {
namespace {

constexpr std::int32_t kErrorBadPathname = 161;

std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string Join(const std::vector<std::string>& path) {
  std::string text;
  for (const std::string& part : path) text += (text.empty() ? "" : "\\") + part;
  return text;
}

std::string Bytes(const unsigned char* data, std::uint32_t size) {
  if (data == nullptr) return "null";
  std::string text = "\"";
  for (std::uint32_t i = 0; i < size; ++i) {
    if (data[i] >= 0x20 && data[i] <= 0x7E) {
      text += static_cast<char>(data[i]);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", data[i]);
      text += escaped;
    }
  }
  return text + "\"";
}

}  // namespace

struct FakeRegistry::Key {
  std::string name;                                                     // as created
  std::uint64_t serial = 0;                                             // 0: the root
  std::map<std::string, std::unique_ptr<Key>> subkeys;                  // by folded name
  std::map<std::string, std::pair<std::string, RegistryValue>> values;  // folded -> (name, value)
};

FakeRegistry::FakeRegistry(CallLog& log, const platform::CodePage* codePage)
    : log_(log), codePage_(codePage), root_(std::make_unique<Key>()) {}

FakeRegistry::~FakeRegistry() = default;

std::vector<std::string> FakeRegistry::Split(const std::string& path) const {
  std::vector<std::string> parts;
  std::string part;
  const char* p = path.c_str();
  while (*p != '\0') {
    const bool lead = codePage_ != nullptr && common::IsLeadPair(*codePage_, p);
    if (!lead && *p == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
      ++p;
      continue;
    }
    part.append(p, lead ? 2 : 1);
    p += lead ? 2 : 1;
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

FakeRegistry::Key* FakeRegistry::Find(const std::vector<std::string>& path) const {
  Key* key = root_.get();
  for (const std::string& part : path) {
    auto found = key->subkeys.find(Fold(part));
    if (found == key->subkeys.end()) return nullptr;
    key = found->second.get();
  }
  return key;
}

FakeRegistry::Key* FakeRegistry::Create(const std::vector<std::string>& path) {
  Key* key = root_.get();
  for (const std::string& part : path) {
    std::unique_ptr<Key>& child = key->subkeys[Fold(part)];
    if (!child) {
      child = std::make_unique<Key>();
      child->name = part;
      child->serial = nextSerial_++;
    }
    key = child.get();
  }
  return key;
}

std::string FakeRegistry::Describe(platform::KeyHandle key) const {
  if (key == platform::LocalMachineKey()) return "HKLM";
  const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(key));
  if (found == handles_.end()) return Hex(reinterpret_cast<std::uintptr_t>(key));
  return "key#" + std::to_string(reinterpret_cast<std::uintptr_t>(key) >> 4);
}

FakeRegistry::Key* FakeRegistry::Resolve(platform::KeyHandle key, std::vector<std::string>* path,
                                         std::int32_t* error) const {
  if (key == platform::LocalMachineKey()) {
    path->clear();
    return root_.get();
  }
  const auto found = handles_.find(reinterpret_cast<std::uintptr_t>(key));
  if (found == handles_.end()) {
    *error = platform::kErrorInvalidHandle;
    return nullptr;
  }
  *path = found->second.path;
  Key* resolved = Find(*path);
  if (resolved == nullptr || resolved->serial != found->second.serial) {
    *error = platform::kErrorKeyDeleted;
    return nullptr;
  }
  return resolved;
}

platform::KeyHandle FakeRegistry::NewHandle(std::vector<std::string> path, std::uint32_t access) {
  const std::uintptr_t value = nextHandle_++ << 4;
  const std::uint64_t serial = Find(path)->serial;
  handles_[value] = Handle{std::move(path), access, serial};
  return reinterpret_cast<platform::KeyHandle>(value);
}

std::string FakeRegistry::OpeningArguments(platform::KeyHandle root, const char* subKey,
                                           std::uint32_t options, std::uint32_t access) const {
  return Describe(root) + ", " + Quote(subKey) + ", options " + Hex(options) + ", access " +
         Hex(access);
}

std::int32_t FakeRegistry::SubKeyPath(platform::KeyHandle root, const char* subKey,
                                      std::vector<std::string>* path) const {
  std::int32_t error = 0;
  if (Resolve(root, path, &error) == nullptr) return error;
  if (subKey != nullptr && subKey[0] == '\\') return kErrorBadPathname;
  for (std::string& part : Split(subKey == nullptr ? "" : subKey)) path->push_back(part);
  return platform::kErrorSuccess;
}

FakeRegistry::Key* FakeRegistry::WritableKey(platform::KeyHandle key, std::int32_t* error) const {
  std::vector<std::string> path;
  Key* target = Resolve(key, &path, error);
  if (target == nullptr) return nullptr;
  const auto handle = handles_.find(reinterpret_cast<std::uintptr_t>(key));
  if (handle != handles_.end() && (handle->second.access & platform::kKeySetValue) == 0) {
    *error = platform::kErrorAccessDenied;
    return nullptr;
  }
  return target;
}

bool FakeRegistry::Denied(const std::vector<std::string>& wanted,
                          const std::vector<std::vector<std::string>>& list) const {
  const std::string folded = Fold(Join(wanted));
  return std::any_of(list.begin(), list.end(), [&](const std::vector<std::string>& path) {
    return Fold(Join(path)) == folded;
  });
}

std::int32_t FakeRegistry::RegCreateKeyExA(platform::KeyHandle root, const char* subKey,
                                           std::uint32_t options, std::uint32_t access,
                                           platform::KeyHandle* result) {
  BeforeCall("RegCreateKeyExA");
  *result = nullptr;
  const auto fault =
      log_.Record("RegCreateKeyExA", OpeningArguments(root, subKey, options, access));
  if (fault) return static_cast<std::int32_t>(FaultOr(*fault, platform::kErrorAccessDenied));
  std::vector<std::string> path;
  const std::int32_t error = SubKeyPath(root, subKey, &path);
  if (error != platform::kErrorSuccess) return error;
  if (Denied(path, denyCreate_)) return platform::kErrorAccessDenied;
  Create(path);
  *result = NewHandle(std::move(path), access);
  return platform::kErrorSuccess;
}

std::int32_t FakeRegistry::RegOpenKeyExA(platform::KeyHandle root, const char* subKey,
                                         std::uint32_t options, std::uint32_t access,
                                         platform::KeyHandle* result) {
  BeforeCall("RegOpenKeyExA");
  *result = nullptr;
  const auto fault = log_.Record("RegOpenKeyExA", OpeningArguments(root, subKey, options, access));
  if (fault) return static_cast<std::int32_t>(FaultOr(*fault, platform::kErrorAccessDenied));
  std::vector<std::string> path;
  const std::int32_t error = SubKeyPath(root, subKey, &path);
  if (error != platform::kErrorSuccess) return error;
  if (Find(path) == nullptr) return platform::kErrorFileNotFound;
  if ((access & platform::kKeySetValue) != 0 && Denied(path, denySetValue_)) {
    return platform::kErrorAccessDenied;
  }
  *result = NewHandle(std::move(path), access);
  return platform::kErrorSuccess;
}

std::int32_t FakeRegistry::RegSetValueExA(platform::KeyHandle key, const char* valueName,
                                          std::uint32_t type, const unsigned char* data,
                                          std::uint32_t size) {
  BeforeCall("RegSetValueExA");
  const auto fault = log_.Record(
      "RegSetValueExA", Describe(key) + ", " + Quote(valueName) + ", type " + std::to_string(type) +
                            ", data " + Bytes(data, size) + ", size " + std::to_string(size));
  if (fault) return static_cast<std::int32_t>(FaultOr(*fault, platform::kErrorAccessDenied));
  std::int32_t error = 0;
  Key* target = WritableKey(key, &error);
  if (target == nullptr) return error;
  const std::string name = valueName == nullptr ? "" : valueName;
  RegistryValue value{type, data == nullptr ? std::string() : std::string(data, data + size)};
  target->values[Fold(name)] = {name, value};
  return platform::kErrorSuccess;
}

std::int32_t FakeRegistry::RegDeleteKeyA(platform::KeyHandle key, const char* subKey) {
  BeforeCall("RegDeleteKeyA");
  const auto fault = log_.Record("RegDeleteKeyA", Describe(key) + ", " + Quote(subKey));
  if (fault) return static_cast<std::int32_t>(FaultOr(*fault, platform::kErrorAccessDenied));
  std::vector<std::string> path;
  const std::int32_t error = SubKeyPath(key, subKey, &path);
  if (error != platform::kErrorSuccess) return error;
  if (path.empty()) return platform::kErrorAccessDenied;  // the root stays
  Key* victim = Find(path);
  if (victim == nullptr) return platform::kErrorFileNotFound;
  if (!victim->subkeys.empty()) return platform::kErrorAccessDenied;
  const std::string leaf = Fold(path.back());
  path.pop_back();
  Find(path)->subkeys.erase(leaf);
  return platform::kErrorSuccess;
}

std::int32_t FakeRegistry::RegDeleteValueA(platform::KeyHandle key, const char* valueName) {
  BeforeCall("RegDeleteValueA");
  const auto fault = log_.Record("RegDeleteValueA", Describe(key) + ", " + Quote(valueName));
  if (fault) return static_cast<std::int32_t>(FaultOr(*fault, platform::kErrorAccessDenied));
  std::int32_t error = 0;
  Key* target = WritableKey(key, &error);
  if (target == nullptr) return error;
  if (target->values.erase(Fold(valueName == nullptr ? "" : valueName)) == 0) {
    return platform::kErrorFileNotFound;
  }
  return platform::kErrorSuccess;
}

std::int32_t FakeRegistry::RegCloseKey(platform::KeyHandle key) {
  BeforeCall("RegCloseKey");
  const auto fault = log_.Record("RegCloseKey", Describe(key));
  const std::size_t closed = handles_.erase(reinterpret_cast<std::uintptr_t>(key));
  if (fault) return static_cast<std::int32_t>(FaultOr(*fault, platform::kErrorInvalidHandle));
  return closed == 1 ? platform::kErrorSuccess : platform::kErrorInvalidHandle;
}

void FakeRegistry::AddKey(const std::string& path) { Create(Split(path)); }

void FakeRegistry::PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                            const std::string& bytes) {
  Create(Split(path))->values[Fold(name)] = {name, RegistryValue{type, bytes}};
}

bool FakeRegistry::KeyExists(const std::string& path) const { return Find(Split(path)) != nullptr; }

std::optional<RegistryValue> FakeRegistry::Value(const std::string& path,
                                                 const std::string& name) const {
  const Key* key = Find(Split(path));
  if (key == nullptr) return std::nullopt;
  const auto found = key->values.find(Fold(name));
  if (found == key->values.end()) return std::nullopt;
  return found->second.second;
}

std::optional<std::string> FakeRegistry::StringValue(const std::string& path,
                                                     const std::string& name) const {
  const std::optional<RegistryValue> value = Value(path, name);
  if (!value || value->type != platform::kRegSz || value->bytes.empty() ||
      value->bytes.back() != '\0') {
    return std::nullopt;
  }
  return value->bytes.substr(0, value->bytes.size() - 1);
}

std::size_t FakeRegistry::ValueCount(const std::string& path) const {
  const Key* key = Find(Split(path));
  return key == nullptr ? 0 : key->values.size();
}

std::vector<std::string> FakeRegistry::SubkeyNames(const std::string& path) const {
  std::vector<std::string> names;
  const Key* key = Find(Split(path));
  if (key == nullptr) return names;
  for (const auto& subkey : key->subkeys) names.push_back(subkey.second->name);
  return names;
}

std::string FakeRegistry::Dump() const {
  std::vector<std::string> lines;
  struct Walker {
    static void Walk(const Key& key, const std::string& path, std::vector<std::string>& lines) {
      if (!path.empty()) lines.push_back(path);
      for (const auto& value : key.values) {
        lines.push_back(
            path + ": " + value.second.first + " = " + std::to_string(value.second.second.type) +
            " " +
            Bytes(reinterpret_cast<const unsigned char*>(value.second.second.bytes.data()),
                  static_cast<std::uint32_t>(value.second.second.bytes.size())));
      }
      for (const auto& subkey : key.subkeys) {
        Walk(*subkey.second, path.empty() ? subkey.second->name : path + "\\" + subkey.second->name,
             lines);
      }
    }
  };
  Walker::Walk(*root_, "", lines);
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

void FakeRegistry::DenyCreate(const std::string& path) { denyCreate_.push_back(Split(path)); }

void FakeRegistry::DenySetValue(const std::string& path) { denySetValue_.push_back(Split(path)); }

void FakeRegistry::DeleteKeyBefore(const std::string& call, int occurrence,
                                   const std::string& path) {
  deletions_.push_back(Deletion{call, occurrence, Split(path)});
}

void FakeRegistry::BeforeCall(const std::string& call) {
  const int occurrence = callsMade_[call]++;
  for (const Deletion& deletion : deletions_) {
    if (deletion.call != call || deletion.occurrence != occurrence || deletion.path.empty()) {
      continue;
    }
    std::vector<std::string> parent = deletion.path;
    parent.pop_back();
    if (Key* above = Find(parent)) above->subkeys.erase(Fold(deletion.path.back()));
  }
}

}  // namespace fakes
