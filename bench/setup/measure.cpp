// Runs one program as a child with this process's standard handles, waits for it and appends one
// line to REPORT_FILE: "<exit code> <wall seconds> <peak working set bytes> <peak pagefile bytes>".
// The figures come from the Windows side, so the time of starting this helper under Wine stays
// outside them. Each NAME=VALUE before -- is set in the child's environment first, with %VAR%
// references expanded (Wine sets LOCALAPPDATA and PATH itself, so they cannot come from Linux).
//
//   measure.exe REPORT_FILE [NAME=VALUE...] -- PROGRAM [ARGS...]
//
// Exit code: the child's, or 125 when it could not be started.
#include <windows.h>
// Needs <windows.h> first.
#include <psapi.h>

#include <cstdio>
#include <string>

namespace {

// Quotes one argument so that the child's C runtime splits it back out unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// cmd.exe parses its own command line and does not undo the C runtime's quoting: what follows
// /c goes through as written, so `measure.exe OUT cmd /c "a & b"` runs "a & b".
bool IsCommandInterpreter(const std::wstring& program) {
  const size_t slash = program.find_last_of(L"\\/");
  const std::wstring name = program.substr(slash == std::wstring::npos ? 0 : slash + 1);
  return _wcsicmp(name.c_str(), L"cmd") == 0 || _wcsicmp(name.c_str(), L"cmd.exe") == 0;
}

// Wine answers GetProcessMemoryInfo from the live Linux process only, with zeros once it is gone;
// Windows keeps the figures until the last handle closes. Both report a high-water mark, so
// sampling every few milliseconds while the child runs misses at most the growth of its last few
// milliseconds, and polls the server seldom enough not to slow the child down.
void Sample(HANDLE process, PROCESS_MEMORY_COUNTERS* peak) {
  PROCESS_MEMORY_COUNTERS now = {};
  now.cb = sizeof(now);
  if (!GetProcessMemoryInfo(process, &now, sizeof(now))) return;
  if (now.PeakWorkingSetSize > peak->PeakWorkingSetSize) {
    peak->PeakWorkingSetSize = now.PeakWorkingSetSize;
  }
  if (now.PeakPagefileUsage > peak->PeakPagefileUsage) {
    peak->PeakPagefileUsage = now.PeakPagefileUsage;
  }
}

bool SetFromArgument(const std::wstring& assignment) {
  const size_t equals = assignment.find(L'=', 1);
  if (equals == std::wstring::npos) return false;
  const std::wstring value = assignment.substr(equals + 1);
  std::wstring expanded(32767, L'\0');
  const DWORD length = ExpandEnvironmentStringsW(value.c_str(), expanded.data(), 32767);
  if (length == 0 || length > 32767) return false;
  expanded.resize(length - 1);
  return SetEnvironmentVariableW(assignment.substr(0, equals).c_str(), expanded.c_str()) != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 2;
  for (; first < argc && std::wstring(argv[first]) != L"--"; ++first) {
    if (!SetFromArgument(argv[first])) {
      std::fwprintf(stderr, L"measure: not NAME=VALUE: %ls\n", argv[first]);
      return 2;
    }
  }
  ++first;
  if (first >= argc) {
    std::fprintf(stderr, "usage: measure.exe REPORT_FILE [NAME=VALUE...] -- PROGRAM [ARGS...]\n");
    return 2;
  }
  const std::wstring program = argv[first];
  const bool raw_tail = IsCommandInterpreter(program);
  std::wstring command_line = QuoteArgument(program);
  for (int i = first + 1; i < argc; ++i) {
    command_line += L" ";
    command_line += raw_tail ? std::wstring(argv[i]) : QuoteArgument(argv[i]);
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process = {};

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  // No application name: the child is looked up on PATH the way a shell would.
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, /*bInheritHandles=*/TRUE, 0,
                      nullptr, nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"measure: could not start %ls: error %lu\n", program.c_str(),
                  GetLastError());
    return 125;
  }
  PROCESS_MEMORY_COUNTERS peak = {};
  do {
    Sample(process.hProcess, &peak);
  } while (WaitForSingleObject(process.hProcess, /*dwMilliseconds=*/5) == WAIT_TIMEOUT);
  QueryPerformanceCounter(&end);
  Sample(process.hProcess, &peak);

  DWORD exit_code = 0;
  GetExitCodeProcess(process.hProcess, &exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  FILE* report = _wfopen(argv[1], L"a");
  if (report == nullptr) {
    std::fwprintf(stderr, L"measure: could not open %ls\n", argv[1]);
    return 125;
  }
  std::fprintf(report, "%lu %.6f %llu %llu\n", exit_code,
               static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart,
               static_cast<unsigned long long>(peak.PeakWorkingSetSize),
               static_cast<unsigned long long>(peak.PeakPagefileUsage));
  std::fclose(report);
  return static_cast<int>(exit_code);
}
