#pragma once

// Fault-injection sweep over the fakes. An operation is run once as it is, which records every
// platform call it makes; then once per recorded call, with exactly that call failing (with each
// error the operation's description lists); then once per allocation, with the heap exhausted
// from that allocation on. Every run must end as the operation's description says for that
// failure (result and texts written), and leave no handle open and no block live but those the
// operation hands to its caller by design. A call that an operation gains later is swept
// without any change here.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/call_log.h"
#include "tests/fakes/fake_platform.h"

namespace sweep {

// The fakes one run works on.
struct World {
  fakes::FakePlatform fake;
  const platform::Platform& platform = fake.platform;

  int OpenHandles() const { return fake.OpenHandles(); }
  int BadReleases() const {
    return fake.memory.BadFrees() + fake.processes.badCloses + fake.files.BadCloses();
  }
};

// What a run ended with.
struct Outcome {
  std::string result;          // the operation's result, written out
  std::size_t keptBlocks = 0;  // heap blocks the operation hands to its caller by design
};

// What a run must end with.
struct Expected {
  std::string result;
  std::string output;  // every text written, in order
};

// The call that was made to fail.
struct Fault {
  std::string name;            // the platform call, e.g. "RegOpenKeyExA"
  std::size_t occurrence = 0;  // among the calls of that name in the run, from 0
  std::uint32_t error = fakes::kDefaultFault;
  std::string arguments;                            // as the call log wrote them
  std::size_t position = 0;                         // among all calls of the run
  const std::vector<fakes::Call>* calls = nullptr;  // every call of the run without a fault

  // How many calls named `name` the run made before the failing one.
  std::size_t CountBefore(const std::string& name) const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < position && i < calls->size(); ++i) {
      if ((*calls)[i].name == name) ++count;
    }
    return count;
  }
};

struct Operation {
  std::string name;
  // Sets up the world before each run (registry keys, files, devices...).
  std::function<void(World&)> arrange = [](World&) {};
  // Runs the operation.
  std::function<Outcome(World&)> act;
  // The end of a run in which nothing fails.
  Expected success;
  // The end of a run in which `fault` fails.
  std::function<Expected(const Fault& fault)> onFailure;
  // The end of a run in which the heap refuses the allocation `fault` and every later one; when
  // not given, the same as that allocation failing alone.
  std::function<Expected(const Fault& fault)> onExhaustion;
  // The errors each call is failed with, by call name; calls not listed fail with their fake's
  // usual error (kDefaultFault) only.
  std::map<std::string, std::vector<std::uint32_t>> errors;
  // Further checks after a failing run (for example, that nothing was changed).
  std::function<void(World&, const Fault&)> verify;
};

inline std::string Describe(const Operation& operation, const Fault& fault) {
  return operation.name + ": " + fault.name + " #" + std::to_string(fault.occurrence) + " (" +
         fault.arguments + ") failing with " +
         (fault.error == fakes::kDefaultFault ? std::string("its usual error")
                                              : std::to_string(fault.error));
}

// Calls that release a handle, each of which may release a given handle only once.
inline bool IsRelease(const std::string& name) {
  return name == "RegCloseKey" || name == "fclose" || name == "FindClose" ||
         name == "CloseHandle" || name == "SetupDiDestroyDeviceInfoList";
}

inline void CheckNothingLeft(const World& world, const Outcome& outcome, const std::string& where) {
  EXPECT_EQ(world.OpenHandles(), 0) << where;
  EXPECT_EQ(world.fake.memory.LiveBlocks(), outcome.keptBlocks) << where;
  EXPECT_EQ(world.BadReleases(), 0) << where;
  std::map<std::string, int> releases;
  for (const fakes::Call& call : world.fake.log.calls()) {
    if (IsRelease(call.name)) {
      EXPECT_EQ(++releases[call.name + " " + call.arguments], 1)
          << where << ": released twice: " << call.name << " " << call.arguments;
    }
  }
}

// Runs the operation without a fault and returns the calls it made.
inline std::vector<fakes::Call> RunClean(const Operation& operation) {
  auto world = std::make_unique<World>();
  operation.arrange(*world);
  world->fake.log.Clear();
  const Outcome outcome = operation.act(*world);
  EXPECT_EQ(outcome.result, operation.success.result) << operation.name << " without a fault";
  EXPECT_EQ(world->fake.console.output, operation.success.output) << operation.name;
  CheckNothingLeft(*world, outcome, operation.name + " without a fault");
  return world->fake.log.calls();
}

// Fails each call of the operation in turn; returns how many failing runs were made.
inline int SweepEachCall(const Operation& operation) {
  const std::vector<fakes::Call> calls = RunClean(operation);
  std::map<std::string, std::size_t> seen;
  int runs = 0;
  for (std::size_t position = 0; position < calls.size(); ++position) {
    Fault fault;
    fault.name = calls[position].name;
    fault.occurrence = seen[fault.name]++;
    fault.arguments = calls[position].arguments;
    fault.position = position;
    fault.calls = &calls;
    std::vector<std::uint32_t> errors = {fakes::kDefaultFault};
    const auto listed = operation.errors.find(fault.name);
    if (listed != operation.errors.end()) errors = listed->second;
    for (std::uint32_t error : errors) {
      fault.error = error;
      const std::string where = Describe(operation, fault);
      auto world = std::make_unique<World>();
      operation.arrange(*world);
      world->fake.log.Clear();
      world->fake.log.FailAt(position, error);
      const Outcome outcome = operation.act(*world);
      ++runs;
      // The run up to the failing call is the clean run's.
      const std::vector<fakes::Call>& made = world->fake.log.calls();
      EXPECT_GT(made.size(), position) << where;
      if (made.size() > position) {
        EXPECT_EQ(made[position].name, fault.name) << where;
        EXPECT_TRUE(made[position].failed) << where;
      }
      const Expected expected = operation.onFailure(fault);
      EXPECT_EQ(outcome.result, expected.result) << where;
      EXPECT_EQ(world->fake.console.output, expected.output) << where;
      CheckNothingLeft(*world, outcome, where);
      if (operation.verify) operation.verify(*world, fault);
    }
  }
  return runs;
}

// Exhausts the heap from each allocation of the operation on; returns how many runs were made.
// The end must be the one defined for that allocation failing alone (the operation stops at the
// first refused allocation).
inline int SweepHeapExhaustion(const Operation& operation) {
  const std::vector<fakes::Call> calls = RunClean(operation);
  std::size_t allocations = 0;
  int runs = 0;
  for (std::size_t position = 0; position < calls.size(); ++position) {
    const fakes::Call& call = calls[position];
    if (call.name != "HeapAlloc") continue;
    Fault fault;
    fault.name = call.name;
    fault.occurrence = allocations++;
    fault.arguments = call.arguments;
    fault.position = position;
    fault.calls = &calls;
    const std::string where = Describe(operation, fault) + " and every later allocation";
    auto world = std::make_unique<World>();
    operation.arrange(*world);
    world->fake.log.Clear();
    world->fake.log.FailFrom("HeapAlloc", static_cast<int>(fault.occurrence));
    const Outcome outcome = operation.act(*world);
    ++runs;
    const Expected expected =
        operation.onExhaustion ? operation.onExhaustion(fault) : operation.onFailure(fault);
    EXPECT_EQ(outcome.result, expected.result) << where;
    EXPECT_EQ(world->fake.console.output, expected.output) << where;
    CheckNothingLeft(*world, outcome, where);
    if (operation.verify) operation.verify(*world, fault);
  }
  return runs;
}

// Writable entries of an argument table, as the splitter makes them (text and two NULs).
class Table {
 public:
  explicit Table(const std::vector<std::string>& entries) {
    for (const std::string& entry : entries) {
      storage_.emplace_back(entry.begin(), entry.end());
      storage_.back().insert(storage_.back().end(), 2, '\0');
    }
    for (auto& entry : storage_) pointers_.push_back(entry.data());
  }
  char** data() { return pointers_.data(); }
  int count() const { return static_cast<int>(pointers_.size()); }

 private:
  std::vector<std::vector<char>> storage_;
  std::vector<char*> pointers_;
};

}  // namespace sweep
