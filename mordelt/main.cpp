#include <windows.h>

#include "common/program_main.h"
#include "mordelt/dispatcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*runtimeText*/,
                   int showState) {
  return common::ProgramMain(instance, showState, mordelt::kMordeltProgram);
}
