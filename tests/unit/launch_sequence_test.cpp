#include "setup/launch_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"
#include "tests/unit/argument_table.h"
#include "tests/unit/setup_texts.h"

namespace {

using testing_support::kInstallWithUninstall;
using testing_support::kNoLogFile;
using testing_support::kNoMsiFile;
using testing_support::kUninstallWithInstall;
constexpr const char* kUsage = testing_support::kSetupUsage;
const char kSystemMsiexec[] = "C:\\windows\\system32\\msiexec.exe";

class LaunchSequenceTest : public ::testing::Test {
 protected:
  // Runs the launch sequence over writable entries, as the splitter gives them.
  common::CommandResult Run(const std::vector<std::string>& entries) {
    std::vector<const char*> texts;
    for (const std::string& entry : entries) texts.push_back(entry.c_str());
    testing_support::ArgumentTable table(texts);
    const common::CommandResult result =
        setup::RunLaunchSequence(fake.platform, table.data(), table.count());
    EXPECT_EQ(result.ending, common::Ending::Return);
    return result;
  }
  int ExitCode(const std::vector<std::string>& entries) { return Run(entries).exitCode; }

  // The one command line msiexec was started with.
  std::string InstallerCommand() const {
    EXPECT_EQ(fake.processes.creations.size(), 1u);
    return fake.processes.creations.empty() ? "(nothing started)"
                                            : fake.processes.creations[0].commandLine;
  }
  bool NothingStarted() const { return fake.log.Count("CreateProcessA") == 0; }
  bool NothingLeft() const {
    return fake.memory.LiveBlocks() == 0 && fake.OpenHandles() == 0 &&
           fake.processes.badCloses == 0 && fake.files.BadCloses() == 0;
  }
  void AddPackage(const std::string& name) { fake.files.AddFile(name, ""); }
  // Leaves the current directory with these entries only, in this order.
  void SetEntries(const std::vector<std::string>& names) {
    for (const std::string& name : fake.files.Names()) fake.files.RemoveFile(name);
    for (const std::string& name : names) fake.files.AddFile(name, "");
  }

  fakes::FakePlatform fake;
};

struct WorkedExample {
  std::vector<std::string> entries;
  std::string command;
};

TEST_F(LaunchSequenceTest, WorkedExamplesGiveTheirInstallerCommands) {
  const std::string quotedPath = "\"C:\\Packages\\My Product.msi\"";
  const std::vector<WorkedExample> examples = {
      {{}, "msiexec  /i \"Product.msi\""},
      {{"-i Product.msi"}, "msiexec  /i  Product.msi"},
      {{"-iProduct.msi", "-s"}, "msiexec  /i Product.msi /quiet"},
      {{"-u Product.msi", "-s", "-l uninstall.log"},
       "msiexec  /x  Product.msi /quiet /l*v  uninstall.log"},
      {{"-s"}, "msiexec  /quiet /i \"Product.msi\""},
      {{"-l setup.log"}, "msiexec  /l*v  setup.log /i \"Product.msi\""},
      {{"-i " + quotedPath}, "msiexec  /i  " + quotedPath},
      {{"-s", "-s"}, "msiexec  /quiet /quiet /i \"Product.msi\""},
      {{"-install"}, "msiexec  /i nstall"},
      {{"-s", "-i a.msi"}, "msiexec  /quiet /i  a.msi"},
      {{"-l a.log", "-i a.msi"}, "msiexec  /l*v  a.log /i  a.msi"},
      {{"-i a.msi", "-l a.log"}, "msiexec  /i  a.msi /l*v  a.log"},
      {{"-l a.log", "-s", "-l b.log"},
       "msiexec  /l*v  a.log /quiet /l*v  b.log /i \"Product.msi\""},
      {{"-uProduct.msi"}, "msiexec  /x Product.msi"},
  };
  for (const WorkedExample& example : examples) {
    fake.processes.creations.clear();
    fake.console.output.clear();
    SetEntries({"Product.msi"});
    std::string shown;
    for (const std::string& entry : example.entries) shown += "[" + entry + "]";

    EXPECT_EQ(ExitCode(example.entries), 0) << shown;
    EXPECT_EQ(InstallerCommand(), example.command) << shown;
    ASSERT_EQ(fake.processes.creations.size(), 1u) << shown;
    EXPECT_EQ(fake.processes.creations[0].applicationName,
              std::optional<std::string>(kSystemMsiexec))
        << shown;
    EXPECT_EQ(fake.console.output, "") << shown;
    EXPECT_TRUE(NothingLeft()) << shown;
  }
}

TEST_F(LaunchSequenceTest, WithAnActionTheDirectoryIsNotSearched) {
  AddPackage("Product.msi");
  EXPECT_EQ(ExitCode({"-u Other.msi"}), 0);
  EXPECT_EQ(fake.log.Count("FindFirstFileW"), 0u);
  EXPECT_EQ(InstallerCommand(), "msiexec  /x  Other.msi");
}

TEST_F(LaunchSequenceTest, WithoutAnActionTheSearchIsForMsiInTheCurrentDirectory) {
  AddPackage("Product.msi");
  EXPECT_EQ(ExitCode({}), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("FindFirstFileW"), "\"*.msi\"");
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"FindFirstFileW", "FindClose", "GetSystemDirectoryA",
                                      "HeapAlloc", "HeapAlloc", "CreateProcessA", "PeekMessageA",
                                      "MsgWaitForMultipleObjects", "CloseHandle", "CloseHandle"}));
  EXPECT_TRUE(NothingLeft());
}

TEST_F(LaunchSequenceTest, NoArgumentsAndNoPackageEndsWithOneWritingAndStartingNothing) {
  SetEntries({"readme.txt", "setup.exe", "Product.ms"});
  EXPECT_EQ(ExitCode({}), 1);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_TRUE(NothingStarted());
  EXPECT_TRUE(NothingLeft());
}

TEST_F(LaunchSequenceTest, QuietOrLogAloneWithoutPackageEndsWithOne) {
  for (const std::vector<std::string>& entries :
       {std::vector<std::string>{"-s"}, std::vector<std::string>{"-l setup.log"},
        std::vector<std::string>{"-s", "-l a.log"}}) {
    EXPECT_EQ(ExitCode(entries), 1);
  }
  EXPECT_EQ(fake.console.output, "");
  EXPECT_TRUE(NothingStarted());
}

TEST_F(LaunchSequenceTest, TheFirstPackageTheSearchReportsIsUsedUnsorted) {
  AddPackage("Zeta.msi");
  AddPackage("Alpha.msi");
  EXPECT_EQ(ExitCode({}), 0);
  EXPECT_EQ(InstallerCommand(), "msiexec  /i \"Zeta.msi\"");
}

TEST_F(LaunchSequenceTest, ADiscoveredNameReachesMsiexecAsOneQuotedName) {
  AddPackage("My Product.msi");
  EXPECT_EQ(ExitCode({"-s"}), 0);
  EXPECT_EQ(InstallerCommand(), "msiexec  /quiet /i \"My Product.msi\"");
}

TEST_F(LaunchSequenceTest, ASecondActionDrawsTheMessageOfTheEntryBeingLookedAt) {
  struct Case {
    std::vector<std::string> entries;
    const char* message;
  };
  for (const Case& c : {Case{{"-i a.msi", "-u b.msi"}, kUninstallWithInstall},
                        Case{{"-u a.msi", "-i b.msi"}, kInstallWithUninstall},
                        Case{{"-i a.msi", "-i b.msi"}, kInstallWithUninstall},
                        Case{{"-u a.msi", "-u b.msi"}, kUninstallWithInstall},
                        // The action flag is tested before the length.
                        Case{{"-i a.msi", "-i"}, kInstallWithUninstall},
                        Case{{"-i a.msi", "-u"}, kUninstallWithInstall},
                        // Later entries are not looked at.
                        Case{{"-i a.msi", "-i b.msi", "-x"}, kInstallWithUninstall}}) {
    fake.console.output.clear();
    fake.console.writes.clear();
    EXPECT_EQ(ExitCode(c.entries), 1) << c.entries[1];
    EXPECT_EQ(fake.console.output, c.message) << c.entries[1];
    EXPECT_EQ(fake.console.writes.size(), 1u);
  }
  EXPECT_TRUE(NothingStarted());
  EXPECT_EQ(fake.log.Count("FindFirstFileW"), 0u);
}

TEST_F(LaunchSequenceTest, AnOptionWithoutItsValueIsRefused) {
  struct Case {
    std::vector<std::string> entries;
    const char* message;
  };
  AddPackage("Product.msi");
  for (const Case& c :
       {Case{{"-i"}, kNoMsiFile}, Case{{"-u"}, kNoMsiFile}, Case{{"-l"}, kNoLogFile},
        Case{{"-s", "-l", "-i a.msi"}, kNoLogFile}, Case{{"-l a.log", "-u", "-x"}, kNoMsiFile}}) {
    fake.console.output.clear();
    EXPECT_EQ(ExitCode(c.entries), 1) << c.entries[0];
    EXPECT_EQ(fake.console.output, c.message) << c.entries[0];
  }
  EXPECT_TRUE(NothingStarted());
  EXPECT_EQ(fake.log.Count("FindFirstFileW"), 0u);
}

TEST_F(LaunchSequenceTest, AnUnrecognisedEntryWritesTheUsageTextEndsWithZeroAndStartsNothing) {
  AddPackage("Product.msi");
  for (const std::vector<std::string>& entries :
       {std::vector<std::string>{"-x"}, std::vector<std::string>{"-S"},
        std::vector<std::string>{"-silent"}, std::vector<std::string>{"-i a.msi", "-q"},
        std::vector<std::string>{"-i my", "-product.msi"},
        std::vector<std::string>{"-Product.msi", "-s"}, std::vector<std::string>{"-"},
        std::vector<std::string>{"-s ", "-i a.msi"}, std::vector<std::string>{"-x", "-i"}}) {
    fake.console.output.clear();
    fake.console.writes.clear();
    EXPECT_EQ(ExitCode(entries), 0) << entries[0];
    EXPECT_EQ(fake.console.output, kUsage) << entries[0];
    EXPECT_EQ(fake.console.writes.size(), 6u) << entries[0];
  }
  EXPECT_TRUE(NothingStarted());
  EXPECT_EQ(fake.log.Count("FindFirstFileW"), 0u);
}

TEST_F(LaunchSequenceTest, MsiexecIsTakenFromTheSystemDirectoryOnly) {
  fake.processes.systemDirectory = "D:\\WinNT\\System32";
  EXPECT_EQ(ExitCode({"-i a.msi"}), 0);
  ASSERT_EQ(fake.processes.creations.size(), 1u);
  EXPECT_EQ(fake.processes.creations[0].applicationName,
            std::optional<std::string>("D:\\WinNT\\System32\\msiexec.exe"));
  // The command line itself still begins with the program's bare name.
  EXPECT_EQ(fake.processes.creations[0].commandLine, "msiexec  /i  a.msi");
  EXPECT_FALSE(fake.processes.creations[0].inheritHandles);
  EXPECT_EQ(fake.processes.creations[0].creationFlags, 0x08000008u);
}

TEST_F(LaunchSequenceTest, AnUnknownSystemDirectoryStartsNothingAndEndsWithOne) {
  fake.log.Fail("GetSystemDirectoryA");
  EXPECT_EQ(ExitCode({"-i a.msi"}), 1);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_TRUE(NothingStarted());
  EXPECT_TRUE(NothingLeft());
}

TEST_F(LaunchSequenceTest, ASystemDirectoryTooLongForItsBufferStartsNothing) {
  fake.processes.systemDirectory = "C:\\" + std::string(300, 'd');
  EXPECT_EQ(ExitCode({"-i a.msi"}), 1);
  EXPECT_TRUE(NothingStarted());
  // The longest that fits is used.
  fake.processes.systemDirectory = "C:\\" + std::string(256, 'd');
  EXPECT_EQ(ExitCode({"-i a.msi"}), 0);
  EXPECT_EQ(fake.processes.creations.at(0).applicationName,
            std::optional<std::string>(fake.processes.systemDirectory + "\\msiexec.exe"));
}

TEST_F(LaunchSequenceTest, MsiexecThatCannotStartEndsWithOne) {
  fake.log.Fail("CreateProcessA", 2);
  EXPECT_EQ(ExitCode({"-i a.msi"}), 1);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_TRUE(NothingLeft());
}

TEST_F(LaunchSequenceTest, MemoryRunningOutInTheRunnerEndsWithOne) {
  fake.log.Fail("HeapAlloc");
  EXPECT_EQ(ExitCode({"-i a.msi"}), 1);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_TRUE(NothingStarted());
  EXPECT_TRUE(NothingLeft());
}

TEST_F(LaunchSequenceTest, MsiexecEndingWithAnErrorStillGivesZero) {
  for (std::uint32_t code : {1603u, 1619u, 2u}) {
    fake.processes.childExitCode = code;
    EXPECT_EQ(ExitCode({"-i a.msi"}), 0) << code;
  }
  EXPECT_EQ(fake.console.output, "");
}

TEST_F(LaunchSequenceTest, AnInstallerCommandOf2047CharactersIsRunAnd2048IsRefused) {
  // "msiexec " and " /i " take 12 characters.
  const std::string fits(2047 - 12, 'p');
  EXPECT_EQ(ExitCode({"-i" + fits}), 0);
  EXPECT_EQ(InstallerCommand(), "msiexec  /i " + fits);
  EXPECT_EQ(InstallerCommand().size(), 2047u);

  fake.processes.creations.clear();
  EXPECT_EQ(ExitCode({"-i" + fits + "p"}), 1);
  EXPECT_EQ(fake.console.writes.size(), 1u);
  const std::string& message = fake.console.output;
  EXPECT_EQ(message.rfind("Setup:Error: ", 0), 0u) << message;
  ASSERT_FALSE(message.empty());
  EXPECT_EQ(message.back(), '\n');
  EXPECT_EQ(message.find('\n'), message.size() - 1);
  EXPECT_TRUE(fake.processes.creations.empty());
  EXPECT_TRUE(NothingLeft());
}

TEST_F(LaunchSequenceTest, AnyFragmentThatWouldOverflowIsRefusedBeforeAnythingStarts) {
  AddPackage("Product.msi");
  const std::string longLog(2000, 'l');
  for (const std::vector<std::string>& entries : {
           // The value, the fragment of a later option, or the discovered package.
           std::vector<std::string>{"-l " + longLog, "-l " + longLog},
           std::vector<std::string>{"-l" + std::string(2047 - 14, 'l'), "-s"},
           std::vector<std::string>{"-l" + std::string(2047 - 14, 'l'), "-i"},
           std::vector<std::string>{"-l" + std::string(2047 - 14 - 4, 'l')},
           std::vector<std::string>(300, "-s"),
       }) {
    fake.console.output.clear();
    EXPECT_EQ(ExitCode(entries), 1) << entries.size();
    EXPECT_EQ(fake.console.output.rfind("Setup:Error: ", 0), 0u) << fake.console.output;
  }
  EXPECT_TRUE(NothingStarted());

  // A discovered name that ends exactly at the limit is run.
  fake.console.output.clear();
  const std::string log(2047 - 14 - 4 - 13, 'l');
  EXPECT_EQ(ExitCode({"-l" + log}), 0);
  EXPECT_EQ(InstallerCommand(), "msiexec  /l*v " + log + " /i \"Product.msi\"");
  EXPECT_EQ(InstallerCommand().size(), 2047u);
  EXPECT_EQ(fake.console.output, "");
}

}  // namespace
