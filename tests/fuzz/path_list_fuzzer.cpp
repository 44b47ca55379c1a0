// libFuzzer target: arbitrary bytes as folder and list, checked against a small reference model
// written from the list rules, not from the code under test.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "path/path_list.h"

namespace {

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> pieces(1);
  for (const char c : list) {
    if (c == ';') {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

std::string Trim(const std::string& piece) {
  size_t first = 0;
  size_t last = piece.size();
  while (first < last && piece[first] == ' ') ++first;
  while (last > first && piece[last - 1] == ' ') --last;
  return piece.substr(first, last - first);
}

bool Names(const std::string& piece, const std::string& folder) {
  const std::string entry = Trim(piece);
  if (entry.empty() || entry.size() != folder.size()) return false;
  for (size_t i = 0; i < entry.size(); ++i) {
    const unsigned char a = entry[i];
    const unsigned char b = folder[i];
    const bool letters = (a | 0x20) >= 'a' && (a | 0x20) <= 'z' && (a | 0x20) == (b | 0x20);
    if (a != b && !letters) return false;
  }
  return true;
}

void Expect(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t folder_size = data[0] % 48 < size - 1 ? data[0] % 48 : size - 1;
  const std::string folder(reinterpret_cast<const char*>(data) + 1, folder_size);
  const std::string list(reinterpret_cast<const char*>(data) + 1 + folder_size,
                         size - 1 - folder_size);

  bool listed = false;
  std::string survivors;
  for (const std::string& piece : Split(list)) {
    if (Names(piece, folder)) {
      listed = true;
    } else if (!Trim(piece).empty()) {
      survivors += (survivors.empty() ? "" : ";") + piece;
    }
  }

  Expect(PathListContains(list, folder) == listed, "Contains");
  const std::string removed = PathListRemove(list, folder);
  Expect(removed == survivors, "Remove");
  Expect(PathListRemove(removed, folder) == removed, "Remove is idempotent");

  const std::string appended = PathListAppend(list, folder);
  const bool separator = !list.empty() && list.back() != ';';
  Expect(appended == list + (separator ? ";" : "") + folder, "Append");
  // Only a folder that is one non-empty entry without outer blanks can be found again.
  const bool plain = !folder.empty() && folder.find(';') == std::string::npos &&
                     folder.front() != ' ' && folder.back() != ' ';
  if (plain) {
    Expect(PathListContains(appended, folder), "Contains after Append");
    Expect(PathListRemove(appended, folder) == survivors, "Remove after Append");
  }
  return 0;
}
