#include "setup/launch_sequence.h"

namespace setup {

const common::ProgramDefinition kSetupProgram = {'-', true, 10, RunLaunchSequence,
                                                 WriteSetupUsage};

void WriteSetupUsage(platform::Console& console) {
  console.Write("Setup Options <Required Parameter> \n");
  console.Write("Options:\n");
  console.Write("-i <Product.msi> : Install msi package. \n");
  console.Write("-u <Product.msi> : Uninstall msi package. \n");
  console.Write("-l <Log file>    : Log information in the <Log file>. \n");
  console.Write("-s               : Quiet mode, no user interaction. \n");
}

common::CommandResult RunLaunchSequence(const platform::Platform& /*platform*/,
                                        char** /*entries*/, int /*count*/) {
  return common::ReturnCode(1);
}

}  // namespace setup
