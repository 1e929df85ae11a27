#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fakes {

// Error value that asks the failing fake for its usual error for that call.
constexpr std::uint32_t kDefaultFault = 0xFFFFFFFFu;

struct Call {
  std::string name;         // the platform call, e.g. "RegOpenKeyExA"
  std::string arguments;    // its parameters as text, e.g. "HKLM, SOFTWARE\\X, 0, 0x2"
  bool failed = false;      // whether a planned fault made it fail
  std::uint32_t error = 0;  // the planned fault's error (kDefaultFault: the call's usual one)
};

// The calls that all fakes of one platform received, in order, and the faults planned for them.
// Every fake call goes through Record, which says whether that call is to fail and with which
// error; so a test can fail any call by its name and occurrence, or by its position among all
// calls (which lets a sweep fail each call of an operation in turn).
class CallLog {
 public:
  // Records a call. Returns the error it must fail with (kDefaultFault: the fake's usual error
  // for that call), or nothing when it is to succeed.
  std::optional<std::uint32_t> Record(std::string name, std::string arguments);

  // Fails the `occurrence`-th call (0-based) named `name`, or every such call when occurrence
  // is negative.
  void Fail(const std::string& name, std::uint32_t error = kDefaultFault, int occurrence = -1);
  // Fails the `occurrence`-th call named `name` and every later one (a heap that stays exhausted).
  void FailFrom(const std::string& name, int occurrence, std::uint32_t error = kDefaultFault);
  // Fails the call at `position` among all recorded calls (0-based).
  void FailAt(std::size_t position, std::uint32_t error = kDefaultFault);
  void ClearFaults();
  void Clear();

  const std::vector<Call>& calls() const { return calls_; }
  std::vector<std::string> Names() const;
  std::size_t Count(const std::string& name) const;
  // The arguments of the `occurrence`-th call named `name`; empty when there is none.
  std::string ArgumentsOf(const std::string& name, std::size_t occurrence = 0) const;
  // The arguments of every call of that name, in order.
  std::vector<std::string> ArgumentsOfEach(const std::string& name) const;

 private:
  struct Rule {
    std::string name;  // empty: by position
    int occurrence;
    bool andLater;  // by name: the occurrence and every later one
    std::size_t position;
    std::uint32_t error;
  };
  std::vector<Call> calls_;
  std::map<std::string, int> occurrences_;  // calls recorded so far, by name
  std::vector<Rule> rules_;
};

// The error a failing fake returns: the planned one, or the call's usual one.
inline std::uint32_t FaultOr(std::uint32_t planned, std::uint32_t usual) {
  return planned == kDefaultFault ? usual : planned;
}

// Formats a string argument for the log: "null" or the text in quotes.
std::string Quote(const char* text);
std::string Hex(std::uint64_t value);

}  // namespace fakes
