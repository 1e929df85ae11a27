#include "common/child_process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

using common::RunOutcome;

TEST(RunAndWaitTest, StartsTheChildWithCopiesAndTheFixedOptionsThenWaitsAndCloses) {
  fakes::FakePlatform fake;
  const char commandLine[] = "msiexec  /i Product.msi";
  const char application[] = "C:\\windows\\system32\\msiexec.exe";
  std::vector<std::size_t> blockSizes;
  fake.processes.child = [&](const char* applicationName, const char* line) {
    // The system gets writable heap copies, not the caller's texts.
    EXPECT_NE(line, commandLine);
    EXPECT_NE(applicationName, application);
    blockSizes = {fake.memory.SizeOf(line), fake.memory.SizeOf(applicationName)};
  };

  EXPECT_EQ(common::RunAndWait(fake.platform, application, commandLine), RunOutcome::Finished);

  ASSERT_EQ(fake.processes.creations.size(), 1u);
  const fakes::ProcessCreation& creation = fake.processes.creations[0];
  EXPECT_EQ(creation.applicationName, std::optional<std::string>(application));
  EXPECT_EQ(creation.commandLine, commandLine);
  EXPECT_FALSE(creation.inheritHandles);
  EXPECT_EQ(creation.creationFlags, 0x08000008u);
  EXPECT_EQ(blockSizes,
            (std::vector<std::size_t>{std::strlen(commandLine) + 1, std::strlen(application) + 1}));
  // The command line is copied first, then the application path.
  EXPECT_EQ(fake.log.ArgumentsOfEach("HeapAlloc"),
            (std::vector<std::string>{std::to_string(std::strlen(commandLine) + 1),
                                      std::to_string(std::strlen(application) + 1)}));
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"HeapAlloc", "HeapAlloc", "CreateProcessA", "PeekMessageA",
                                      "MsgWaitForMultipleObjects", "CloseHandle", "CloseHandle"}));
  // For the process (closed first), without a time limit, woken by any input (QS_ALLINPUT as
  // Windows 7 knows it).
  EXPECT_EQ(fake.log.ArgumentsOf("MsgWaitForMultipleObjects"),
            fake.log.ArgumentsOf("CloseHandle") + ", 0xffffffff, 0x4ff");
  EXPECT_EQ(fake.processes.closedKinds, (std::vector<std::string>{"process", "thread"}));
  EXPECT_EQ(fake.processes.badCloses, 0);
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  EXPECT_EQ(fake.memory.BadFrees(), 0);
  EXPECT_EQ(fake.console.output, "");
}

TEST(RunAndWaitTest, TheStartupRecordIsZeroExceptItsSize) {
  fakes::FakePlatform fake;
  ASSERT_EQ(common::RunAndWait(fake.platform, nullptr, "x"), RunOutcome::Finished);
  const std::vector<unsigned char>& bytes = fake.processes.creations.at(0).startupBytes;
  ASSERT_EQ(bytes.size(), sizeof(platform::StartupInfo));
  platform::StartupInfo expected;
  std::memset(&expected, 0, sizeof expected);
  expected.cb = sizeof(platform::StartupInfo);
  EXPECT_EQ(std::memcmp(bytes.data(), &expected, sizeof expected), 0);
  std::uint32_t cb = 0;
  std::memcpy(&cb, bytes.data(), sizeof cb);
  EXPECT_EQ(cb, sizeof(platform::StartupInfo));
}

TEST(RunAndWaitTest, WithoutApplicationPathOnlyTheCommandLineIsCopied) {
  fakes::FakePlatform fake;
  EXPECT_EQ(common::RunAndWait(fake.platform, nullptr, "msiexec  /quiet /i Product.msi"),
            RunOutcome::Finished);
  ASSERT_EQ(fake.processes.creations.size(), 1u);
  EXPECT_FALSE(fake.processes.creations[0].applicationName.has_value());
  EXPECT_EQ(fake.log.ArgumentsOf("CreateProcessA"),
            "null, \"msiexec  /quiet /i Product.msi\", FALSE, 0x8000008");
  EXPECT_EQ(fake.log.ArgumentsOfEach("HeapAlloc"), (std::vector<std::string>{"31"}));
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
}

TEST(RunAndWaitTest, AnEmptyCommandLineIsCopiedAsOneByte) {
  fakes::FakePlatform fake;
  EXPECT_EQ(common::RunAndWait(fake.platform, "C:\\t.exe", ""), RunOutcome::Finished);
  EXPECT_EQ(fake.log.ArgumentsOfEach("HeapAlloc"), (std::vector<std::string>{"1", "9"}));
  EXPECT_EQ(fake.processes.creations.at(0).commandLine, "");
}

TEST(RunAndWaitTest, AChildEndingWithANonZeroCodeHasFinished) {
  for (std::uint32_t code : {1u, 2u, 1603u, 0xC0000005u}) {
    fakes::FakePlatform fake;
    fake.processes.childExitCode = code;
    EXPECT_EQ(common::RunAndWait(fake.platform, nullptr, "msiexec x"), RunOutcome::Finished);
    EXPECT_EQ(fake.OpenHandles(), 0);
  }
}

TEST(RunAndWaitTest, ARefusedCreationIsNotStartedWithNothingLeftOpen) {
  for (std::uint32_t error : {fakes::kDefaultFault, 5u, 193u, 740u}) {
    fakes::FakePlatform fake;
    fake.log.Fail("CreateProcessA", error);
    EXPECT_EQ(common::RunAndWait(fake.platform, "C:\\missing.exe", "x y"), RunOutcome::NotStarted);
    EXPECT_EQ(fake.log.Names(),
              (std::vector<std::string>{"HeapAlloc", "HeapAlloc", "CreateProcessA"}));
    EXPECT_EQ(fake.processes.OpenHandles(), 0);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
    EXPECT_EQ(fake.memory.BadFrees(), 0);
  }
}

TEST(RunAndWaitTest, TheProcessHandleDecidesNotTheAnswer) {
  {
    // The call says it failed, yet a child exists: it is awaited and its handles closed.
    fakes::FakePlatform fake;
    fake.processes.forcedAnswer = false;
    EXPECT_EQ(common::RunAndWait(fake.platform, nullptr, "x"), RunOutcome::Finished);
    EXPECT_EQ(fake.log.Count("MsgWaitForMultipleObjects"), 1u);
    EXPECT_EQ(fake.OpenHandles(), 0);
  }
  {
    // The call says it succeeded, yet no process handle came back.
    fakes::FakePlatform fake;
    fake.log.Fail("CreateProcessA");
    fake.processes.forcedAnswer = true;
    EXPECT_EQ(common::RunAndWait(fake.platform, nullptr, "x"), RunOutcome::NotStarted);
    EXPECT_EQ(fake.log.Count("MsgWaitForMultipleObjects"), 0u);
  }
}

TEST(RunAndWaitTest, HeapExhaustionStartsNothingAndLeaksNothing) {
  // The command line copy, then the application path copy.
  for (int occurrence : {0, 1}) {
    fakes::FakePlatform fake;
    fake.log.Fail("HeapAlloc", fakes::kDefaultFault, occurrence);
    EXPECT_EQ(common::RunAndWait(fake.platform, "C:\\tool.exe", "a b"), RunOutcome::OutOfMemory)
        << occurrence;
    EXPECT_EQ(fake.log.Count("CreateProcessA"), 0u);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
    EXPECT_EQ(fake.memory.BadFrees(), 0);
    EXPECT_EQ(fake.OpenHandles(), 0);
  }
}

platform::WindowMessage Message(std::uint32_t number) {
  platform::WindowMessage message = {};
  message.window = reinterpret_cast<platform::WindowHandle>(0x1000);
  message.message = number;
  return message;
}

TEST(RunAndWaitTest, TheWaitAnswersEveryMessageButQuitUntilTheChildHasEnded) {
  constexpr std::uint32_t kNull = 0x0000, kQuit = 0x0012, kUser = 0x0400;
  struct Row {
    const char* name;
    std::vector<std::uint32_t> queuedBefore;
    std::vector<std::vector<std::uint32_t>> arrivingWhileWaiting;
    std::vector<std::uint32_t> dispatched;
  };
  const Row rows[] = {
      {"queued before the wait", {kNull, kUser}, {}, {kNull, kUser}},
      {"arriving while waiting", {}, {{kNull}, {kUser, kNull}}, {kNull, kUser, kNull}},
      {"a quit is dropped and the wait goes on", {kQuit}, {{kQuit}, {kNull}}, {kNull}},
  };
  for (const Row& row : rows) {
    fakes::FakePlatform fake;
    for (std::uint32_t number : row.queuedBefore) fake.windows.queue.push_back(Message(number));
    for (const std::vector<std::uint32_t>& batch : row.arrivingWhileWaiting) {
      fake.windows.arrivals.emplace_back();
      for (std::uint32_t number : batch) fake.windows.arrivals.back().push_back(Message(number));
    }

    EXPECT_EQ(common::RunAndWait(fake.platform, nullptr, "msiexec x"), RunOutcome::Finished)
        << row.name;
    EXPECT_EQ(fake.windows.dispatched, row.dispatched) << row.name;
    // One wait per batch, and the last one for the child's end.
    EXPECT_EQ(fake.log.Count("MsgWaitForMultipleObjects"), row.arrivingWhileWaiting.size() + 1)
        << row.name;
    EXPECT_EQ(fake.windows.waitsOverQueuedMessages, 0) << row.name;
    EXPECT_TRUE(fake.windows.queue.empty()) << row.name;
    EXPECT_EQ(fake.OpenHandles(), 0) << row.name;
  }
}

TEST(RunAndWaitTest, AFailedWaitEndsTheWaitAsFinished) {
  fakes::FakePlatform fake;
  fake.log.Fail("MsgWaitForMultipleObjects", fakes::kDefaultFault, 0);
  fake.windows.arrivals = {{Message(0)}, {Message(0)}};
  EXPECT_EQ(common::RunAndWait(fake.platform, nullptr, "msiexec x"), RunOutcome::Finished);
  EXPECT_EQ(fake.log.Count("MsgWaitForMultipleObjects"), 1u);
  EXPECT_EQ(fake.OpenHandles(), 0);
}

}  // namespace
