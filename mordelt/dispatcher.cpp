#include "mordelt/dispatcher.h"

#include <cstring>

#include "mordelt/device_query.h"
#include "mordelt/device_rescan.h"
#include "mordelt/exit_codes.h"
#include "mordelt/file_commands.h"
#include "mordelt/import_registry_file.h"
#include "mordelt/path_file.h"
#include "mordelt/registry_script.h"
#include "mordelt/registry_values.h"

namespace mordelt {
namespace {

using common::Ending;

// A verb's operation, given the arguments that follow the verb (at least as many as the verb
// needs).
using Operation = int (*)(const platform::Platform& platform, char** arguments, int count);

struct Verb {
  const char* name;
  std::size_t comparedLength;  // the leading characters of the entry that must equal the verb's
  int requiredArguments;
  Ending ending;
  Operation run;
};

// "-add": key path, value name, data.
int RunAdd(const platform::Platform& platform, char** arguments, int) {
  return SetRegistryString(platform, arguments[0], arguments[1], arguments[2]);
}
// "-delete": key path, subkey name.
int RunDelete(const platform::Platform& platform, char** arguments, int) {
  return DeleteRegistrySubkey(platform, arguments[0], arguments[1]);
}
// "-regfile", "-delregfromfile", "-delregkeyfromfile": the file named by the argument.
int RunRegFile(const platform::Platform& platform, char** arguments, int) {
  return SetValuesFromScriptFile(platform, arguments[0]);
}
int RunDelRegFromFile(const platform::Platform& platform, char** arguments, int) {
  return DeleteValuesFromScriptFile(platform, arguments[0]);
}
int RunDelRegKeyFromFile(const platform::Platform& platform, char** arguments, int) {
  return DeleteValueFromPathFile(platform, arguments[0]);
}

// "-importreg": the operation and the file reg.exe is given.
int RunImportReg(const platform::Platform& platform, char** arguments, int /*count*/) {
  return ImportRegistryFile(platform, arguments[0], arguments[1]);
}

// "-delfile": the file named by the argument.
int RunDeleteFile(const platform::Platform& platform, char** arguments, int /*count*/) {
  return DeleteFileForced(platform.files, arguments[0]);
}

// "-cpfile": source, then destination.
int RunCopyFile(const platform::Platform& platform, char** arguments, int /*count*/) {
  return CopyFileReplacing(platform.files, arguments[0], arguments[1]);
}

// "-hwid": each "#" argument in turn, as a present-device query.
int RunHardwareIdQuery(const platform::Platform& platform, char** arguments, int count) {
  return QueryEachHashPattern(platform, arguments, count, QueryPresentDevices);
}

// "-rescan": no argument is used.
int RunRescan(const platform::Platform& platform, char** /*arguments*/, int /*count*/) {
  return RescanDeviceTree(platform.devices);
}

// The verbs in the order in which they are tested.
const Verb kVerbs[] = {
    {"-add", 4, 3, Ending::ExitProcess, RunAdd},
    {"-importreg", 8, 2, Ending::Return, RunImportReg},
    {"-delfile", 8, 1, Ending::Return, RunDeleteFile},
    {"-delregfromfile", 14, 1, Ending::Return, RunDelRegFromFile},
    {"-delregkeyfromfile", 14, 1, Ending::Return, RunDelRegKeyFromFile},
    {"-cpfile", 7, 2, Ending::Return, RunCopyFile},
    {"-regfile", 4, 1, Ending::Return, RunRegFile},
    {"-hwid", 5, 0, Ending::Return, RunHardwareIdQuery},
    {"-rescan", 7, 0, Ending::Return, RunRescan},
    {"-delete", 7, 2, Ending::ExitProcess, RunDelete},
};

const Verb* FindVerb(const char* entry) {
  for (const Verb& verb : kVerbs) {
    if (std::strncmp(entry, verb.name, verb.comparedLength) == 0) return &verb;
  }
  return nullptr;
}

}  // namespace

const common::ProgramDefinition kMordeltProgram = {
    '*', false, common::DelimiterPlace::Anywhere, 5, DispatchCommand, WriteUsage, WriteUsage};

void WriteUsage(platform::Console& console) {
  console.Write("Usage:Mordelt.exe  -int [OPTION]\n");
  console.Write("-int - if regestry val is  integer:\n");
  console.Write("Options:\n");
  console.Write(" -add <path in registry> <key's name> <value>\n");
  console.Write(" -delete <path in registry> <key's name> \n");
}

common::CommandResult DispatchCommand(const platform::Platform& platform, char** entries,
                                      int count) {
  if (count == 0) return common::ReturnCode(kExitSuccess);

  const Verb* verb = FindVerb(entries[0]);
  char** arguments = entries + 1;
  const int argumentCount = count - 1;
  if (verb == nullptr || argumentCount < verb->requiredArguments) {
    WriteUsage(platform.console);
    return common::ExitWith(kExitFailure);
  }
  return {verb->run(platform, arguments, argumentCount), verb->ending};
}

}  // namespace mordelt
