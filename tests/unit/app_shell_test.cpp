#include "common/app_shell.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mordelt/dispatcher.h"
#include "setup/launch_sequence.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/mordelt_usage.h"

namespace {

std::vector<std::string> g_commandEntries;
bool g_commandRan = false;
const common::ShellState* g_shell = nullptr;
bool g_commandSawItselfRunning = false;

common::CommandResult RecordingCommand(const platform::Platform& platform, char** entries,
                                       int count) {
  g_commandRan = true;
  g_commandSawItselfRunning = g_shell->commandRunning;
  g_commandEntries.assign(entries, entries + count);
  platform.console.Write("ran\n");
  return common::ReturnCode(42);
}

void WriteTestUsage(platform::Console& console) { console.Write("usage\n"); }

const common::ProgramDefinition kStarProgram = {
    '*', false, common::DelimiterPlace::Anywhere, 5, RecordingCommand, WriteTestUsage};

class StartupSequenceTest : public ::testing::Test {
 protected:
  StartupSequenceTest() {
    fake.windows.strings = {{103, "Tavrix"}, {106, "Hello World!"}, {109, "TAVRIX"}};
    g_commandRan = false;
    g_commandEntries.clear();
    g_shell = &shell;
  }
  common::CommandResult Run(const char* commandLine, int showState = 3 /* maximised */) {
    return common::RunStartupSequence(fake.platform, shell, instance, commandLine, showState,
                                      kStarProgram);
  }

  fakes::FakePlatform fake;
  common::ShellState shell;
  platform::InstanceHandle instance = reinterpret_cast<platform::InstanceHandle>(0x400000);
};

TEST_F(StartupSequenceTest, RunsTheStepsInOrderAndTheCommandLast) {
  const common::CommandResult result = Run("a * b");
  EXPECT_EQ(result.exitCode, 42);
  EXPECT_EQ(result.ending, common::Ending::Return);
  // The splitting comes first, before any resource is loaded.
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"HeapAlloc", "HeapAlloc", "LoadStringA", "LoadStringA",
                                      "RegisterClassExA", "CreateWindowExA", "ShowWindow",
                                      "UpdateWindow", "LoadAcceleratorsA"}));
  EXPECT_EQ(fake.log.ArgumentsOf("LoadStringA", 0), "103, 100");
  EXPECT_EQ(fake.log.ArgumentsOf("LoadStringA", 1), "109, 100");
  EXPECT_EQ(fake.log.ArgumentsOf("LoadAcceleratorsA"), "109");
  EXPECT_EQ(g_commandEntries, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(fake.console.output, "ran\n");
  // The window holds back menu commands while the command runs, and only then.
  EXPECT_TRUE(g_commandSawItselfRunning);
  EXPECT_FALSE(shell.commandRunning);
}

TEST(MainWindowMessagesTest, WhileACommandRunsOnlyWhatCouldStartAModalLoopIsIgnored) {
  // WM_COMMAND, WM_SYSCOMMAND, WM_CONTEXTMENU, WM_NCLBUTTONDOWN, WM_NCLBUTTONDBLCLK,
  // WM_NCRBUTTONDOWN, WM_NCRBUTTONUP.
  const std::uint32_t held[] = {0x0111, 0x0112, 0x007B, 0x00A1, 0x00A3, 0x00A4, 0x00A5};
  // WM_NULL, WM_PAINT, WM_CLOSE, WM_QUERYENDSESSION, WM_QUIT, WM_NCMOUSEMOVE, WM_NCLBUTTONUP,
  // WM_NCRBUTTONDBLCLK, WM_INITDIALOG.
  const std::uint32_t answered[] = {0x0000, 0x000F, 0x0010, 0x0011, 0x0012,
                                    0x00A0, 0x00A2, 0x00A6, 0x0110};
  common::ShellState state;
  for (const std::uint32_t message : held) EXPECT_FALSE(common::IgnoresMessage(state, message));
  state.commandRunning = true;
  for (const std::uint32_t message : held) EXPECT_TRUE(common::IgnoresMessage(state, message));
  for (const std::uint32_t message : answered) {
    EXPECT_FALSE(common::IgnoresMessage(state, message)) << message;
  }
}

TEST_F(StartupSequenceTest, RegistersTheClassAndCreatesAHiddenWindow) {
  Run("");
  const platform::WindowClass& c = fake.windows.registeredClass;
  EXPECT_EQ(c.style, 3u);
  EXPECT_EQ(c.classExtra, 0);
  EXPECT_EQ(c.windowExtra, 0);
  EXPECT_EQ(c.instance, instance);
  EXPECT_EQ(c.iconId, 107u);
  EXPECT_EQ(c.smallIconId, 108u);
  EXPECT_EQ(c.cursorId, 32512u);
  EXPECT_EQ(c.backgroundColor, 6);
  EXPECT_EQ(c.menuId, 109u);
  EXPECT_EQ(fake.windows.registeredClassName, "TAVRIX");

  const platform::WindowCreation& w = fake.windows.createdWindow;
  EXPECT_EQ(w.exStyle, 0u);
  EXPECT_EQ(fake.windows.createdClassName, "TAVRIX");
  EXPECT_EQ(fake.windows.createdWindowName, "Tavrix");
  EXPECT_EQ(w.style, 0x00CF0000u);  // overlapped, not visible
  EXPECT_EQ(w.x, static_cast<int>(0x80000000u));
  EXPECT_EQ(w.y, 0);
  EXPECT_EQ(w.width, static_cast<int>(0x80000000u));
  EXPECT_EQ(w.height, 0);
  EXPECT_EQ(w.instance, instance);
  EXPECT_EQ(fake.log.ArgumentsOf("ShowWindow"), "0");  // hidden whatever the show state
  EXPECT_TRUE(fake.windows.windowExists);
  EXPECT_FALSE(fake.windows.windowVisible);
  EXPECT_EQ(shell.instance, instance);
  EXPECT_STREQ(shell.title, "Tavrix");
  EXPECT_STREQ(shell.className, "TAVRIX");
}

TEST_F(StartupSequenceTest, LongResourceStringsAreCutToNinetyNineCharacters) {
  fake.windows.strings[103] = std::string(150, 'x');
  Run("");
  EXPECT_EQ(std::string(shell.title), std::string(99, 'x'));
}

TEST_F(StartupSequenceTest, AWindowThatCannotBeCreatedDoesNotStopTheCommand) {
  fake.log.Fail("CreateWindowExA");
  const common::CommandResult result = Run("a");
  EXPECT_TRUE(g_commandRan);
  EXPECT_EQ(result.exitCode, 42);
  EXPECT_EQ(fake.log.Count("ShowWindow"), 0u);
  // The window still comes before the command.
  EXPECT_EQ(fake.log.Names().back(), "LoadAcceleratorsA");
}

TEST_F(StartupSequenceTest, MoreEntriesThanTheTableHoldsAreRefusedWithTheUsageText) {
  const common::CommandResult result = Run("a*b*c*d*e*f");
  EXPECT_FALSE(g_commandRan);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.ending, common::Ending::ExitProcess);
  EXPECT_EQ(fake.console.output, "usage\n");
  EXPECT_EQ(fake.log.Count("CreateWindowExA"), 1u);  // after the window, as any command
}

TEST_F(StartupSequenceTest, EntriesThatCannotBeStoredEndWithOneAndNoText) {
  fake.log.Fail("HeapAlloc");
  const common::CommandResult result = Run("a*b");
  EXPECT_FALSE(g_commandRan);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(fake.console.output, "");
}

void WriteTestRefusal(platform::Console& console) { console.Write("refused\n"); }

TEST_F(StartupSequenceTest, TheWideCommandLineRunsOnlyWhenItsTextConvertsExactly) {
  struct Row {
    const wchar_t* commandLine;
    bool writesRefusal;
    std::vector<std::string> entries;  // what the command receives
    bool runs;                         // false: refused
  };
  const Row rows[] = {
      {L"\"C:\\Tools\\M.exe\" a * b", true, {"a", "b"}, true},
      {L"M.exe", true, {}, true},
      // The same bytes as the 8-bit command line: Latin-1 letters are held by the code page.
      {L"M.exe J\u00FCrgen*\u00E9", true, {"J\xFCrgen", "\xE9"}, true},
      // The program name is never converted.
      {L"\"C:\\a\uFF02 -add\uFF0AK\uFF0AN\uFF0A\\\u041F.exe\" a", true, {"a"}, true},
      {L"M.exe\t-add\uFF0AK\uFF0AN\uFF0AV", true, {}, false},
      {L"M.exe -add*K\\\u041F\u0440\u0438*N*V", true, {}, false},
      {L"M.exe -add*K*N*V\u00C4", true, {}, false},  // told that the code page lacks it
      // Two bytes for one character: the text is counted, and its room taken, in bytes.
      {L"M.exe -add*\u3042*N", true, {"-add", "\x82\xA0", "N"}, true},
      {L"M.exe -i a\uFF02.msi", false, {}, false},
  };
  for (const Row& row : rows) {
    fakes::FakePlatform world;
    world.codePage.CannotHold(L'\u00C4');
    g_commandRan = false;
    g_commandEntries.clear();
    common::ProgramDefinition program = kStarProgram;
    if (row.writesRefusal) program.writeRefusal = WriteTestRefusal;
    const common::CommandResult result =
        common::RunProgram(world.platform, shell, instance, row.commandLine, 1, program);
    EXPECT_EQ(g_commandRan, row.runs) << row.commandLine;
    if (row.runs) {
      EXPECT_EQ(result.exitCode, 42) << row.commandLine;
      EXPECT_EQ(g_commandEntries, row.entries) << row.commandLine;
      // The converted text is released; the entries stay for the run.
      EXPECT_EQ(world.memory.LiveBlocks(), row.entries.size()) << row.commandLine;
    } else {
      EXPECT_EQ(result.exitCode, 1) << row.commandLine;
      EXPECT_EQ(result.ending, common::Ending::ExitProcess) << row.commandLine;
      EXPECT_EQ(world.console.output, row.writesRefusal ? "refused\n" : "") << row.commandLine;
      // Refused before anything else is done, once the program name is known.
      EXPECT_EQ(world.log.Names(), (std::vector<std::string>{"GetModuleFileNameW"}))
          << row.commandLine;
    }
  }
}

TEST_F(StartupSequenceTest, ACommandTextWithoutMemoryForItsBytesEndsWithOneAndNoText) {
  fake.log.Fail("HeapAlloc");
  common::ProgramDefinition program = kStarProgram;
  program.writeRefusal = WriteTestRefusal;
  const common::CommandResult result =
      common::RunProgram(fake.platform, shell, instance, L"M.exe a*\u3042", 1, program);
  EXPECT_FALSE(g_commandRan);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_EQ(fake.log.ArgumentsOf("HeapAlloc"), "5");  // the four bytes and a NUL
}

TEST_F(StartupSequenceTest, TheProgramsOwnPathIsTheNameOnlyWhenItIsReadWhole) {
  const std::wstring folder = L"C:\\a b\\" + std::wstring(300, L'x');
  const std::wstring huge = L"C:\\a b\\" + std::wstring(40000, L'x');
  struct Row {
    std::wstring modulePath;
    bool readFails;
    std::wstring commandLine;
    std::string firstEntry;
  };
  for (const Row& row : {
           Row{folder + L"\\M.exe", false, folder + L"\\M.exe a*b", "a"},
           Row{folder + L"\\M.exe", true, folder + L"\\M.exe a*b",
               "b\\" + std::string(300, 'x') + "\\M.exe a"},
           // Longer than any path the system gives: cut, so never the program's path.
           Row{huge, false, huge.substr(0, 32767) + L" a*b",
               "b\\" + std::string(32760, 'x') + " a"},
       }) {
    fakes::FakePlatform world;
    world.processes.modulePath = row.modulePath;
    if (row.readFails) world.log.Fail("GetModuleFileNameW");
    common::RunProgram(world.platform, shell, instance, row.commandLine.c_str(), 1, kStarProgram);
    EXPECT_EQ(g_commandEntries, (std::vector<std::string>{row.firstEntry, "b"}));
  }
}

TEST(ProgramDefinitionsTest, ARefusedCommandTextWritesMordeltsUsageAndNothingFromSetup) {
  struct Row {
    const common::ProgramDefinition& program;
    std::string output;
  };
  for (const Row& row : {Row{mordelt::kMordeltProgram, testing_support::kMordeltUsage},
                         Row{setup::kSetupProgram, ""}}) {
    fakes::FakePlatform world;
    common::ShellState state;
    const common::CommandResult result =
        common::RunProgram(world.platform, state, nullptr, L"M.exe -i \u0416.msi", 1, row.program);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(world.console.output, row.output);
  }
}

}  // namespace
