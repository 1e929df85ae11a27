// Start-up of both programs and Mordelt's handling of command lines that
// name no operation: empty and delimiter-only lines, unrecognised verbs,
// too many entries and too few arguments, standard output to a pipe or a
// file, program paths with bytes of 0x80 and above, a DLL planted beside the
// programs, and the run without a window system.
#include <string>
#include <vector>

#include "tests/conformance/harness.h"
#include "tests/unit/mordelt_usage.h"
#include "tests/unit/setup_texts.h"

namespace conformance {
namespace {

const std::string kMordeltUsage = ConsoleText(testing_support::kMordeltUsage);
const std::string kSetupUsage = ConsoleText(testing_support::kSetupUsage);

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// The run ended by itself with this exit code and wrote exactly this.
void CheckRun(const Location& where, const RunResult& result, DWORD exit_code,
              const std::string& output) {
  CHECK_AT(where, result.started);
  if (!result.started) {
    ReportFailure(where, "the program did not start, error " + std::to_string(result.start_error));
    return;
  }
  CHECK_AT(where, !result.timed_out);
  CHECK_EQ_AT(where, result.exit_code, exit_code);
  CHECK_EQ_AT(where, result.output, output);
}

void CheckMordeltUsage(const Location& where, const std::string& command_line_text) {
  CheckRun(where, Run(MordeltExe(), command_line_text), 1, kMordeltUsage);
}

bool NoGraphicsRun() { return GetEnv("CONFORMANCE_NO_GRAPHICS") == "1"; }

// Tries to make a hidden top-level window as the programs do.
bool CanCreateWindow() {
  WNDCLASSEXA window_class = {};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "MordeltConformanceProbe";
  RegisterClassExA(&window_class);
  HWND window =
      CreateWindowExA(0, "MordeltConformanceProbe", "probe", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                      CW_USEDEFAULT, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) return false;
  DestroyWindow(window);
  return true;
}

// ---------------------------------------------------------------------------
// Mordelt: nothing to do.
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(MordeltEmptyCommandLine) {
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), ""), 0, "");
  // The program name alone, without a blank after it.
  CheckRun(CONFORMANCE_HERE, RunRaw(MordeltExe(), Quoted(MordeltExe())), 0, "");
}

CONFORMANCE_TEST(MordeltBlanksOnly) {
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "   "), 0, "");
  CheckRun(CONFORMANCE_HERE, RunRaw(MordeltExe(), Quoted(MordeltExe()) + " \t  \t "), 0, "");
}

CONFORMANCE_TEST(MordeltDelimitersOnly) {
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "***"), 0, "");
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "**  **"), 0, "");
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "*"), 0, "");
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "* \t *\t*"), 0, "");
}

// ---------------------------------------------------------------------------
// Mordelt: unrecognised verbs draw the five usage lines and exit code 1.
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(MordeltUnrecognisedVerbs) {
  CheckMordeltUsage(CONFORMANCE_HERE, "-int");
  CheckMordeltUsage(CONFORMANCE_HERE, "-int*Software*Name");
  CheckMordeltUsage(CONFORMANCE_HERE, "-ADD*K*N*V");
  CheckMordeltUsage(CONFORMANCE_HERE, "-Add*K*N*V");
  CheckMordeltUsage(CONFORMANCE_HERE, "-");
  CheckMordeltUsage(CONFORMANCE_HERE, "hello");
  CheckMordeltUsage(CONFORMANCE_HERE, "add*K*N*V");
  CheckMordeltUsage(CONFORMANCE_HERE, "-ad*K*N*V");
  CheckMordeltUsage(CONFORMANCE_HERE, "-import*import*x.reg");
  CheckMordeltUsage(CONFORMANCE_HERE, "-delregfromfi*x.txt");
  CheckMordeltUsage(CONFORMANCE_HERE, "-re*x.txt");
  CheckMordeltUsage(CONFORMANCE_HERE, "-hwi*#PCI");
  CheckMordeltUsage(CONFORMANCE_HERE, "-RESCAN");
  CheckMordeltUsage(CONFORMANCE_HERE, "\"-add\"*K*N*V");
}

CONFORMANCE_TEST(MordeltVerbIsTrimmed) {
  // Blanks around the entries are removed; blanks inside stay, so "- int"
  // is one unrecognised entry.
  CheckMordeltUsage(CONFORMANCE_HERE, "  -int  ");
  CheckMordeltUsage(CONFORMANCE_HERE, "*\t-int\t*");
  CheckMordeltUsage(CONFORMANCE_HERE, "- add*K*N*V");
}

CONFORMANCE_TEST(MordeltProgramNameForms) {
  // What follows the program name reaches the program, whether the name is
  // quoted or not and whatever blanks follow it.
  CheckRun(CONFORMANCE_HERE, RunRaw(MordeltExe(), Quoted(MordeltExe()) + "\t\t-int"), 1,
           kMordeltUsage);
  CheckRun(CONFORMANCE_HERE, RunRaw(MordeltExe(), "Mordelt.exe -int"), 1, kMordeltUsage);
  CheckRun(CONFORMANCE_HERE, RunRaw(MordeltExe(), "Mordelt.exe"), 0, "");
}

// The ANSI form of one character, or "" when the code page has no single byte of 0x80 or above
// for it.
std::string AnsiHighByte(wchar_t character) {
  char bytes[4] = {};
  BOOL defaulted = FALSE;
  const int length =
      WideCharToMultiByte(CP_ACP, 0, &character, 1, bytes, sizeof bytes, nullptr, &defaulted);
  if (length != 1 || defaulted || static_cast<unsigned char>(bytes[0]) < 0x80) return "";
  return std::string(bytes, 1);
}

CONFORMANCE_TEST(ProgramPathWithHighBytes) {
  const std::string u_umlaut = AnsiHighByte(L'\u00FC');
  const std::string a_umlaut = AnsiHighByte(L'\u00C4');
  if (u_umlaut.empty() || a_umlaut.empty())
    SKIP_TEST("no single-byte \"\u00FC\" in this code page");
  ScopedTestKey test_key;
  TempDir dir;
  const std::string folder = dir.File("J" + u_umlaut + "rgen");
  REQUIRE(CreateDirectoryA(folder.c_str(), nullptr) != 0);
  const std::string mordelt = folder + "\\Mordelt.exe";
  const std::string setup = folder + "\\setup.exe";
  REQUIRE(CopyFileA(MordeltExe().c_str(), mordelt.c_str(), FALSE) != 0);
  REQUIRE(CopyFileA(SetupExe().c_str(), setup.c_str(), FALSE) != 0);
  const std::string key = std::string(kTestKey) + "\\Path";

  // Started unquoted, as cmd.exe passes what is typed: the name ends at the first blank.
  CheckRun(CONFORMANCE_HERE, RunRaw(mordelt, mordelt + " -add*" + key + "*Name*Value"), 0, "");
  CHECK(ValueExists(key, "Name"));
  CheckRun(CONFORMANCE_HERE, RunRaw(mordelt, mordelt), 0, "");
  RunOptions empty_dir;  // no package to find: 1 and no text
  empty_dir.current_dir = dir.path();
  CheckRun(CONFORMANCE_HERE, RunRaw(setup, setup, empty_dir), 1, "");
  // A byte of 0x80 or above after the name is text: "\u00C4" is the verb, -add is not run.
  CheckRun(CONFORMANCE_HERE,
           RunRaw(mordelt, Quoted(mordelt) + " " + a_umlaut + "*-add*" + key + "*Other*Value"), 1,
           kMordeltUsage);
  CHECK(!ValueExists(key, "Other"));
}

// Under Wine: whether DLLs from a folder come before Wine's own for uxtheme.dll. Without that,
// Wine never loads a planted uxtheme.dll, and the test below would prove nothing. (Wine reads
// WINEDLLOVERRIDES when a process starts, from the environment it was started with: setting it
// here would not reach the programs.) On Windows it runs: the DLL is planted only in a fresh
// temporary folder, beside copies of the programs that are the only programs started there, and
// the folder goes afterwards (checked).
bool PlantedUxthemeCanLoad() {
  return !UnderWine() || GetEnv("WINEDLLOVERRIDES").find("uxtheme=n") != std::string::npos;
}

CONFORMANCE_TEST(DllPlantedBesideTheProgramIsNotLoaded) {
  if (!PlantedUxthemeCanLoad())
    SKIP_TEST("NOT RUN: under Wine, needs WINEDLLOVERRIDES=uxtheme=n,b");
  TempDir dir;
  const std::string planted = TestProgramDir() + "\\planted_dll.dll";
  // The planted DLL does leave its marker when it is loaded.
  REQUIRE(CopyFileA(planted.c_str(), dir.File("probe.dll").c_str(), FALSE) != 0);
  HMODULE probe = LoadLibraryA(dir.File("probe.dll").c_str());
  const DWORD load_error = probe == nullptr ? GetLastError() : 0;
  if (RefusedByPolicy(load_error)) {
    SKIP_TEST("NOT RUN: this machine's policy refuses DLLs of the temporary folder, error " +
              std::to_string(load_error) + "; needs a machine that lets them load");
  }
  REQUIRE(probe != nullptr);
  FreeLibrary(probe);
  REQUIRE(FileExists(dir.File("probe.dll.loaded")));

  // Creating the main window loads uxtheme.dll by name, and without a restricted search the
  // system looks for it in the program's folder first.
  REQUIRE(CopyFileA(planted.c_str(), dir.File("uxtheme.dll").c_str(), FALSE) != 0);
  const std::string mordelt = dir.File("Mordelt.exe");
  const std::string setup = dir.File("setup.exe");
  REQUIRE(CopyFileA(MordeltExe().c_str(), mordelt.c_str(), FALSE) != 0);
  REQUIRE(CopyFileA(SetupExe().c_str(), setup.c_str(), FALSE) != 0);

  const std::string marker = dir.File("uxtheme.dll.loaded");
  CheckRun(CONFORMANCE_HERE, Run(mordelt, "-int", dir.path()), 1, kMordeltUsage);
  CHECK(!FileExists(marker));
  DeleteFileA(marker.c_str());
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "-s ";
  CheckRun(CONFORMANCE_HERE, Run(setup, eleven, dir.path()), 1, kSetupUsage);
  CHECK(!FileExists(marker));
  // Undone: nothing holds the planted files any more, and they go with their folder.
  CHECK(RemoveTree(dir.path()));
}

CONFORMANCE_TEST(MordeltUsageToFile) {
  TempDir dir;
  RunOptions options;
  options.stdout_file = dir.File("out.txt");
  RunResult result = Run(MordeltExe(), "-int", options);
  CheckRun(CONFORMANCE_HERE, result, 1, "");
  std::string written;
  CHECK(ReadFileBytes(options.stdout_file, &written));
  CHECK_EQ(written, kMordeltUsage);
}

CONFORMANCE_TEST(MordeltAnyShowState) {
  // The window stays hidden and the run ends with the command, whatever the
  // show state.
  for (int show : {SW_SHOWMAXIMIZED, SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_HIDE}) {
    RunOptions options;
    options.show_window = show;
    CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "-int", options), 1, kMordeltUsage);
    CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "", options), 0, "");
  }
}

// ---------------------------------------------------------------------------
// Mordelt: command lines that are refused before any operation runs.
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(MordeltTooManyEntries) {
  ScopedTestKey test_key;
  // Six entries: more than the table holds.
  CheckMordeltUsage(CONFORMANCE_HERE, "a*b*c*d*e*f");
  CheckMordeltUsage(CONFORMANCE_HERE, "-hwid*#A*#B*#C*#D*#E");
  CheckMordeltUsage(CONFORMANCE_HERE, std::string("-add*") + kTestKey + "\\TooMany*Name*Value*x*y");
  CHECK(!KeyExists(kTestKey));
  // Blank tokens take no slot: this is five entries and an unknown verb.
  CheckMordeltUsage(CONFORMANCE_HERE, "a*b* *c*d*e");
}

CONFORMANCE_TEST(MordeltTooFewArguments) {
  ScopedTestKey test_key;
  TempDir dir;
  const std::string key = kTestKey;
  const std::string file = dir.File("data.txt");
  REQUIRE(WriteFileBytes(file, "data"));
  REQUIRE(CreateKey(key + "\\Child"));

  CheckMordeltUsage(CONFORMANCE_HERE, "-add");
  CheckMordeltUsage(CONFORMANCE_HERE, "-add*" + key + "\\Missing");
  CheckMordeltUsage(CONFORMANCE_HERE, "-add*" + key + "\\Missing*Name");
  CHECK(!KeyExists(key + "\\Missing"));

  CheckMordeltUsage(CONFORMANCE_HERE, "-delete");
  CheckMordeltUsage(CONFORMANCE_HERE, "-delete*" + key);
  CHECK(KeyExists(key + "\\Child"));

  CheckMordeltUsage(CONFORMANCE_HERE, "-importreg");
  CheckMordeltUsage(CONFORMANCE_HERE, "-importreg*import");
  CheckMordeltUsage(CONFORMANCE_HERE, "-cpfile");
  CheckMordeltUsage(CONFORMANCE_HERE, "-cpfile*" + file);
  CHECK(FileExists(file));
  CheckMordeltUsage(CONFORMANCE_HERE, "-delfile");
  CHECK(FileExists(file));
  CheckMordeltUsage(CONFORMANCE_HERE, "-regfile");
  CheckMordeltUsage(CONFORMANCE_HERE, "-delregfromfile");
  CheckMordeltUsage(CONFORMANCE_HERE, "-delregkeyfromfile");
  CheckMordeltUsage(CONFORMANCE_HERE, "-delfile*  *");
}

// ---------------------------------------------------------------------------
// setup.
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(SetupTooManyEntries) {
  TempDir dir;  // an empty current directory: no package to find
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "-s ";
  CheckRun(CONFORMANCE_HERE, Run(SetupExe(), eleven, dir.path()), 1, kSetupUsage);
  CheckRun(CONFORMANCE_HERE, Run(SetupExe(), "a -b -c -d -e -f -g -h -i -j -k", dir.path()), 1,
           kSetupUsage);
}

// ---------------------------------------------------------------------------
// The window system.
// ---------------------------------------------------------------------------

CONFORMANCE_TEST(WindowSystemAvailable) {
  if (NoGraphicsRun()) SKIP_TEST("run without a window system");
  // The ordinary environment: a hidden window can be made.
  CHECK(CanCreateWindow());
}

// The tests below run only where CONFORMANCE_NO_GRAPHICS=1 says that no
// window can be created (under Wine: a prefix without a graphics driver). The
// programs then run their command all the same.

CONFORMANCE_TEST(NoGraphicsWindowCannotBeCreated) {
  if (!NoGraphicsRun()) SKIP_TEST("needs CONFORMANCE_NO_GRAPHICS=1");
  CHECK(!CanCreateWindow());
}

CONFORMANCE_TEST(NoGraphicsMordeltRunsCommand) {
  if (!NoGraphicsRun()) SKIP_TEST("needs CONFORMANCE_NO_GRAPHICS=1");
  CheckMordeltUsage(CONFORMANCE_HERE, "-int");
  CheckMordeltUsage(CONFORMANCE_HERE, "a*b*c*d*e*f");
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), ""), 0, "");
  CheckRun(CONFORMANCE_HERE, Run(MordeltExe(), "***"), 0, "");
}

CONFORMANCE_TEST(NoGraphicsSetupRunsCommand) {
  if (!NoGraphicsRun()) SKIP_TEST("needs CONFORMANCE_NO_GRAPHICS=1");
  TempDir dir;
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "-s ";
  CheckRun(CONFORMANCE_HERE, Run(SetupExe(), eleven, dir.path()), 1, kSetupUsage);
}

}  // namespace
}  // namespace conformance
