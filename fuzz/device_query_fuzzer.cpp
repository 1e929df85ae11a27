// The general device query (QueryDevices with the present-devices flag) with every form of
// argument the dispatcher never makes: a setup class after "=", "*" for any device, instance
// patterns after "@", literal patterns after "'", several patterns at once, over a device tree
// and setup classes the input makes, with calls failing where the input says.
//
// Always: a result of 0, 2, 3 or 4, the arguments unchanged, no device set left, no block live.
// Without a failing call and without class or instance arguments, the result must be what a
// plain search of the present devices' identifier lists with the reference matcher gives.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/device_tree.h"
#include "fuzz/fuzz_support.h"
#include "mordelt/device_query.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/identifier_reference.h"

using fuzzing::AnyMatches;
using fuzzing::ShortText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  fakes::FakePlatform fake;
  if (input.ConsumeBool()) fake.codePage.UseShiftJis();

  const int classes = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < classes; ++i) {
    fake.devices.classes.push_back(
        {ShortText(input, 12), fakes::MakeGuid(input.ConsumeIntegralInRange<std::uint32_t>(1, 3))});
  }
  fuzzing::AddDevices(input, fake.devices);
  if (input.ConsumeBool()) fuzzing::PlanFaults(input, fake.log, 3, 120, true);

  // The arguments, each in a block of exactly its size.
  const int count = input.ConsumeIntegralInRange<int>(0, 4);
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) texts.push_back(ShortText(input, 48));
  std::vector<std::vector<char>> blocks;
  std::vector<char*> arguments;
  for (const std::string& text : texts)
    blocks.emplace_back(text.c_str(), text.c_str() + text.size() + 1);
  for (std::vector<char>& block : blocks) arguments.push_back(block.data());

  const int result =
      mordelt::QueryPresentDevices(fake.platform, count, count == 0 ? nullptr : arguments.data());

  fuzzing::Require(result == 0 || result == 2 || result == 3 || result == 4,
                   "result " + std::to_string(result));
  fuzzing::Require((result == 3) == (count == 0), "3 is the result of no arguments only");
  fuzzing::Require(fake.OpenHandles() == 0, "a device set is left");
  fuzzing::Require(fake.memory.LiveBlocks() == 0, "a block is left allocated");
  fuzzing::Require(fake.memory.BadFrees() == 0, "a block was freed that was not live");
  for (int i = 0; i < count; ++i) {
    fuzzing::Require(
        std::string(arguments[static_cast<std::size_t>(i)]) == texts[static_cast<std::size_t>(i)],
        "an argument was changed");
  }

  bool anyFailed = false;
  for (const fakes::Call& call : fake.log.calls()) anyFailed = anyFailed || call.failed;
  if (anyFailed || count == 0) return 0;
  bool plain = texts[0].empty() || texts[0][0] != '=' || texts[0].size() == 1;
  for (const std::string& text : texts) plain = plain && (text.empty() || text[0] != '@');
  if (!plain) return 0;

  // Any present device ("*" first), or one with an identifier that matches one of the patterns.
  const bool any = texts[0] == "*";
  bool found = false;
  for (const fakes::FakeDevice& device : fake.devices.tree) {
    if (!device.present) continue;
    if (any) {
      found = true;
      break;
    }
    for (const std::string& text : texts) {
      const reference::Pattern pattern = reference::Parse(fake.codePage, text);
      found = found || AnyMatches(fake.codePage, device.hardwareIds, pattern) ||
              AnyMatches(fake.codePage, device.compatibleIds, pattern);
    }
    if (found) break;
  }
  fuzzing::Require(result == (found ? 0 : 4),
                   "result " + std::to_string(result) + " against the reference");
  return 0;
}
