// Stands in for conformance.exe in the checks of run.cmd (tests/conformance/check_run_cmd.sh):
// the environment variable STAND_IN says what it does.
//   pass     prints a summary, writes the --junit file, ends with 0; fail: 2 failed, ends with 1
//   crash    dies of an access violation before its summary
//   noxml    prints a summary and writes no file; code3: a summary, the file, ends with 3
//   leave    as pass, and leaves the suite's key and the manual's example keys behind
//   refuse   only ends with 1 (in place of a reg.exe that refuses to write)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  const char* mode = std::getenv("STAND_IN");
  const auto is = [&](const char* name) { return mode != nullptr && std::strcmp(mode, name) == 0; };
  if (is("refuse")) return 1;
  std::printf("[ RUN      ] Something\n");
  if (is("crash")) *static_cast<volatile int*>(nullptr) = 1;
  if (is("leave")) {
    for (const char* key :
         {"Software\\MordeltConformance\\Left", "SOFTWARE\\Example", "SOFTWARE\\Example Tools"}) {
      HKEY created = nullptr;
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                          nullptr) == ERROR_SUCCESS) {
        RegCloseKey(created);
      }
    }
  }
  std::printf("conformance: 90 passed, %d failed, 3 skipped\n", is("fail") ? 2 : 0);
  if (!is("noxml") && argc > 2 && std::strcmp(argv[1], "--junit") == 0) {
    FILE* file = std::fopen(argv[2], "w");
    if (file != nullptr) {
      std::fputs("<testsuites/>\n", file);
      std::fclose(file);
    }
  }
  return is("fail") ? 1 : is("code3") ? 3 : 0;
}
