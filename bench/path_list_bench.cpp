// Times PathListContains, PathListAppend and PathListRemove on PATH values of growing size next to
// a plain copy of the same string. Prints figures only; nothing here judges them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "path/path_list.h"

namespace {

const std::string kFolder = "C:\\Users\\x\\AppData\\Local\\Programs\\Palvex\\bin";

// Keeps a result alive and unknown to the optimiser, so the call producing it is not dropped.
template <typename T>
void Keep(const T& value) {
  asm volatile("" : : "r"(&value) : "memory");
}

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

// Best time per call, in nanoseconds, over a few rounds of `calls` calls each.
template <typename Op>
double NanosPerCall(size_t calls, Op op) {
  double best = 1e300;
  for (int round = 0; round < 7; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < calls; ++i) op();
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    best = std::min(best, spent.count() / static_cast<double>(calls));
  }
  return best;
}

}  // namespace

int main() {
  std::printf("%-10s %-9s %12s %10s %9s\n", "PATH size", "operation", "time/call", "ns/byte",
              "x copy");
  for (const size_t target : {size_t{1} << 10, size_t{32} << 10, size_t{1} << 20}) {
    const std::string path = MakePath(target);
    // About 32 MB of PATH text per round, whatever the size.
    const size_t calls = std::max<size_t>(4, (size_t{32} << 20) / path.size());
    const struct {
      const char* name;
      double nanos;
    } rows[] = {
        {"copy", NanosPerCall(calls, [&] { Keep(std::string(path)); })},
        {"Contains", NanosPerCall(calls, [&] { Keep(PathListContains(path, kFolder)); })},
        {"Append", NanosPerCall(calls, [&] { Keep(PathListAppend(path, kFolder)); })},
        {"Remove", NanosPerCall(calls, [&] { Keep(PathListRemove(path, kFolder)); })},
    };
    for (const auto& row : rows) {
      std::printf("%7zu B  %-9s %9.2f us %10.3f %9.1f\n", path.size(), row.name, row.nanos / 1000,
                  row.nanos / static_cast<double>(path.size()), row.nanos / rows[0].nanos);
    }
  }
  return 0;
}
