#include "tests/fakes/call_log.h"

#include <cstdio>

namespace fakes {

std::optional<std::uint32_t> CallLog::Record(std::string name, std::string arguments) {
  const std::size_t position = calls_.size();
  const int occurrence = occurrences_[name]++;
  calls_.push_back({name, std::move(arguments)});
  for (const Rule& rule : rules_) {
    const bool byPosition = rule.name.empty() && rule.position == position;
    const bool byName = !rule.name.empty() && rule.name == name &&
                        (rule.occurrence < 0 || rule.occurrence == occurrence ||
                         (rule.andLater && occurrence > rule.occurrence));
    if (byPosition || byName) {
      calls_.back().failed = true;
      calls_.back().error = rule.error;
      return rule.error;
    }
  }
  return std::nullopt;
}

void CallLog::Fail(const std::string& name, std::uint32_t error, int occurrence) {
  rules_.push_back({name, occurrence, false, 0, error});
}

void CallLog::FailFrom(const std::string& name, int occurrence, std::uint32_t error) {
  rules_.push_back({name, occurrence, true, 0, error});
}

void CallLog::FailAt(std::size_t position, std::uint32_t error) {
  rules_.push_back({std::string(), -1, false, position, error});
}

void CallLog::ClearFaults() { rules_.clear(); }

void CallLog::Clear() {
  calls_.clear();
  occurrences_.clear();
  rules_.clear();
}

std::vector<std::string> CallLog::Names() const {
  std::vector<std::string> names;
  for (const Call& call : calls_) names.push_back(call.name);
  return names;
}

std::size_t CallLog::Count(const std::string& name) const {
  std::size_t count = 0;
  for (const Call& call : calls_) {
    if (call.name == name) ++count;
  }
  return count;
}

std::string CallLog::ArgumentsOf(const std::string& name, std::size_t occurrence) const {
  for (const Call& call : calls_) {
    if (call.name == name && occurrence-- == 0) return call.arguments;
  }
  return std::string();
}

std::vector<std::string> CallLog::ArgumentsOfEach(const std::string& name) const {
  std::vector<std::string> arguments;
  for (const Call& call : calls_) {
    if (call.name == name) arguments.push_back(call.arguments);
  }
  return arguments;
}

std::string Quote(const char* text) {
  return text == nullptr ? std::string("null") : "\"" + std::string(text) + "\"";
}

std::string Hex(std::uint64_t value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
  return buffer;
}

}  // namespace fakes
