// Measures the registry script reader alone, natively: a script of N entries (100 values to a
// key, as bench/regfile_bench.cpp writes it) read from a real file through the C runtime
// and applied to a registry that does nothing, in both modes. Entries per second, next to the
// rate of the real registry calls (the -regfile rows) it shows what reading costs. A
// measurement, not a test.
//
//   script_reader_bench [RUNS [ENTRIES]]
//
// Output: one tab-separated line per row, as scripts/bench.sh expects:
//   row <TAB> measurement <TAB> runs <TAB> median <TAB> min <TAB> max <TAB> comparison
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mordelt/registry_script.h"
#include "tests/fakes/fake_platform.h"

namespace {

class HeapMemory final : public platform::Memory {
 public:
  void* HeapAlloc(std::size_t bytes) override { return std::malloc(bytes); }
  void HeapFree(void* block) override { std::free(block); }
};

class SingleByteCodePage final : public platform::CodePage {
 public:
  bool IsDBCSLeadByte(unsigned char /*byte*/) const override { return false; }
  bool IsUtf8() const override { return false; }
  bool IsValidMultiByte(const char*, std::size_t) const override { return true; }
  // The benchmark converts no wide text.
  platform::AnsiConversion WideToAnsi(const wchar_t*, std::size_t, char*,
                                      std::size_t) const override {
    return {};
  }
  bool EqualIgnoringCase(const wchar_t*, const wchar_t*, std::size_t) const override {
    return false;
  }
};

// Every call succeeds at once; handles are dummies.
class NullRegistry final : public platform::Registry {
 public:
  std::int32_t RegCreateKeyExA(platform::KeyHandle, const char*, std::uint32_t, std::uint32_t,
                               platform::KeyHandle* result) override {
    *result = Dummy();
    return 0;
  }
  std::int32_t RegOpenKeyExA(platform::KeyHandle, const char*, std::uint32_t, std::uint32_t,
                             platform::KeyHandle* result) override {
    *result = Dummy();
    return 0;
  }
  std::int32_t RegSetValueExA(platform::KeyHandle, const char*, std::uint32_t, const unsigned char*,
                              std::uint32_t) override {
    ++valueCalls;
    return 0;
  }
  std::int32_t RegDeleteKeyA(platform::KeyHandle, const char*) override { return 0; }
  std::int32_t RegDeleteValueA(platform::KeyHandle, const char*) override {
    ++valueCalls;
    return 0;
  }
  std::int32_t RegCloseKey(platform::KeyHandle) override { return 0; }

  long valueCalls = 0;

 private:
  static platform::KeyHandle Dummy() { return reinterpret_cast<platform::KeyHandle>(0x10); }
};

// The C runtime's text streams, opened by name; nothing else of the facility is used. The kernel
// handle is the stream itself.
class StdioFiles final : public platform::Files {
 public:
  platform::FileHandle CreateFileA(const char* name, std::uint32_t, std::uint32_t,
                                   std::uint32_t) override {
    FILE* const stream = std::fopen(name, "r");
    return stream == nullptr ? platform::InvalidFileHandle()
                             : reinterpret_cast<platform::FileHandle>(stream);
  }
  std::uint32_t GetFileType(platform::FileHandle) override { return platform::kFileTypeDisk; }
  bool GetFileInformationByHandle(platform::FileHandle, platform::FileInformation*) override {
    return false;
  }
  bool SetFileBasicInfo(platform::FileHandle, std::uint32_t) override { return false; }
  bool SetFileDispositionInfo(platform::FileHandle) override { return false; }
  bool CloseHandle(platform::FileHandle file) override {
    return std::fclose(reinterpret_cast<FILE*>(file)) == 0;
  }
  platform::TextFileHandle fdopen_r(platform::FileHandle file) override {
    return reinterpret_cast<platform::TextFileHandle>(file);
  }
  char* fgets(char* buffer, int size, platform::TextFileHandle file) override {
    return std::fgets(buffer, size, reinterpret_cast<FILE*>(file));
  }
  int ferror(platform::TextFileHandle file) override {
    return std::ferror(reinterpret_cast<FILE*>(file));
  }
  int fclose(platform::TextFileHandle file) override {
    return std::fclose(reinterpret_cast<FILE*>(file));
  }
  bool CopyFileA(const char*, const char*, bool) override { return false; }
  std::uint32_t GetLastError() override { return platform::kErrorFileNotFound; }
  platform::FindHandle FindFirstFileW(const char*, platform::FindData*) override {
    return platform::InvalidFindHandle();
  }
  bool FindNextFileW(platform::FindHandle, platform::FindData*) override { return false; }
  bool FindClose(platform::FindHandle) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const int entries = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10000;

  const std::string path = "script_reader_bench.txt";
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return 2;
  for (int entry = 0; entry < entries; ++entry) {
    std::fprintf(out,
                 "\"Software\\MordeltBench\\K%03d\" \"V%05d\" \"value %05d C:\\Program "
                 "Files\\Bench\"\r\n",
                 entry / 100, entry, entry);
  }
  std::fclose(out);

  fakes::CallLog log;
  fakes::FakeConsole console;
  fakes::FakeWindowSystem windows(log);
  fakes::FakeProcesses processes(log);
  fakes::FakeDevices devices(log);
  HeapMemory memory;
  SingleByteCodePage codePage;
  NullRegistry registry;
  StdioFiles files;
  const platform::Platform platform{memory,   console, codePage,  windows,
                                    registry, files,   processes, devices};

  for (const mordelt::ScriptMode mode :
       {mordelt::ScriptMode::SetValues, mordelt::ScriptMode::DeleteValues}) {
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
      registry.valueCalls = 0;
      const auto start = std::chrono::steady_clock::now();
      const int result = mode == mordelt::ScriptMode::SetValues
                             ? mordelt::SetValuesFromScriptFile(platform, path.c_str())
                             : mordelt::DeleteValuesFromScriptFile(platform, path.c_str());
      const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
      if (result != 0 || registry.valueCalls != entries) return 1;
      rates.push_back(entries / seconds.count() / 1e6);
    }
    std::sort(rates.begin(), rates.end());
    std::printf(
        "row\tnative: registry script reader, %d entries, %s, no registry\t%d\t%.2f "
        "M entries/s\t%.2f M entries/s\t%.2f M entries/s\treading alone\n",
        entries, mode == mordelt::ScriptMode::SetValues ? "setting" : "deleting", runs,
        rates[rates.size() / 2], rates.front(), rates.back());
  }
  std::remove(path.c_str());
  return 0;
}
