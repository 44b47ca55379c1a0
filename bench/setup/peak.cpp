// Runs the command line that follows its own name, waits for it and prints the child's peak
// working set in bytes on standard error; exits with the child's exit code (125: not started).
// Times come from hyperfine; this is the one figure no tool here gives for a Windows program under
// Wine, whose `wine` launcher is not the process that runs it.
#include <windows.h>
// Needs <windows.h> first.
#include <psapi.h>

#include <cstdio>
#include <string>

int main() {
  // The child's command line is ours without our own name, quoted or not.
  const wchar_t* tail = GetCommandLineW();
  const wchar_t end = *tail == L'"' ? *tail++ : L' ';
  while (*tail != L'\0' && *tail != end) ++tail;
  while (*tail == L'"' || *tail == L' ') ++tail;
  std::wstring command = tail;

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(/*lpApplicationName=*/nullptr, command.data(), nullptr, nullptr,
                      /*bInheritHandles=*/TRUE, 0, nullptr, nullptr, &startup, &process)) {
    return 125;
  }
  // Wine answers from the live Linux process only, with zeros once it is gone, so the high-water
  // mark is sampled while the child runs.
  SIZE_T peak = 0;
  do {
    PROCESS_MEMORY_COUNTERS now = {};
    if (GetProcessMemoryInfo(process.hProcess, &now, sizeof(now)) &&
        now.PeakWorkingSetSize > peak) {
      peak = now.PeakWorkingSetSize;
    }
  } while (WaitForSingleObject(process.hProcess, /*dwMilliseconds=*/5) == WAIT_TIMEOUT);
  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  std::fprintf(stderr, "%llu\n", static_cast<unsigned long long>(peak));
  return static_cast<int>(exit_code);
}
