// Times PathListContains, PathListAppend and PathListRemove on PATH values of about 1 KB, 32 KB
// and 1 MB next to a plain copy of the same string, with Google Benchmark. Prints figures only;
// nothing here judges them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "path/path_list.h"

namespace {

const std::string kFolder = "C:\\Users\\x\\AppData\\Local\\Programs\\Palvex\\bin";

// Entries as found on real machines (blanks, trailing backslashes, references included); beyond
// the first round each gets a numbered subfolder so no two are equal.
std::string MakePath(size_t target) {
  static const char* const kEntries[] = {
      "C:\\Windows\\system32",
      "C:\\Windows",
      "C:\\Windows\\System32\\Wbem",
      "C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\",
      "C:\\Windows\\System32\\OpenSSH\\",
      "C:\\Program Files\\Git\\cmd",
      "C:\\Program Files\\nodejs\\",
      "C:\\Program Files (x86)\\NVIDIA Corporation\\PhysX\\Common",
      "%USERPROFILE%\\AppData\\Local\\Microsoft\\WindowsApps",
      "C:\\Users\\x\\AppData\\Local\\Programs\\Python\\Python312\\Scripts\\",
      "C:\\Users\\x\\AppData\\Local\\Programs\\Microsoft VS Code\\bin",
      " C:\\ProgramData\\chocolatey\\bin ",
  };
  std::vector<std::string> entries;
  size_t total = 0;
  for (size_t i = 0; total < target; ++i) {
    std::string entry = kEntries[i % std::size(kEntries)];
    if (i >= std::size(kEntries)) entry += "\\v" + std::to_string(i);
    total += entry.size() + 1;
    entries.push_back(std::move(entry));
  }
  entries.insert(entries.end() - std::min<size_t>(3, entries.size()), kFolder);
  std::string path;
  for (const std::string& entry : entries) path += (path.empty() ? "" : ";") + entry;
  return path;
}

std::string Copy(const std::string& path) { return path; }
bool Contains(const std::string& path) { return PathListContains(path, kFolder); }
std::string Append(const std::string& path) { return PathListAppend(path, kFolder); }
std::string Remove(const std::string& path) { return PathListRemove(path, kFolder); }

// Bytes per second should stay roughly flat as the PATH grows.
template <typename Op>
void PathList(benchmark::State& state, Op op) {
  const std::string path = MakePath(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(op(path));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(path.size()));
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->RangeMultiplier(32)->Range(1 << 10, 1 << 20);
}

}  // namespace

BENCHMARK_CAPTURE(PathList, copy, Copy)->Apply(Sizes);
BENCHMARK_CAPTURE(PathList, Contains, Contains)->Apply(Sizes);
BENCHMARK_CAPTURE(PathList, Append, Append)->Apply(Sizes);
BENCHMARK_CAPTURE(PathList, Remove, Remove)->Apply(Sizes);
BENCHMARK_MAIN();
