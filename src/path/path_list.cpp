#include "path/path_list.h"

#include <string_view>

namespace {

std::string_view TrimBlanks(std::string_view piece) {
  const size_t first = piece.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = piece.find_last_not_of(' ');
  return piece.substr(first, last - first + 1);
}

// Deliberately ASCII-only: folding bytes of a multibyte character would make different folders
// compare equal.
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EntryMatches(std::string_view piece, std::string_view folder) {
  const std::string_view entry = TrimBlanks(piece);
  if (entry.empty() || entry.size() != folder.size()) return false;
  for (size_t i = 0; i < entry.size(); ++i) {
    if (FoldAscii(entry[i]) != FoldAscii(folder[i])) return false;
  }
  return true;
}

// Calls visit(piece) for every piece between separators, the first and last (possibly empty)
// included; stops early when visit returns false.
template <typename Visit>
void ForEachPiece(std::string_view list, Visit visit) {
  size_t start = 0;
  while (true) {
    const size_t separator = list.find(';', start);
    const size_t end = separator == std::string_view::npos ? list.size() : separator;
    if (!visit(list.substr(start, end - start))) return;
    if (separator == std::string_view::npos) return;
    start = separator + 1;
  }
}

}  // namespace

bool PathListContains(const std::string& list, const std::string& folder) {
  bool found = false;
  ForEachPiece(list, [&](std::string_view piece) {
    found = EntryMatches(piece, folder);
    return !found;
  });
  return found;
}

std::string PathListAppend(const std::string& list, const std::string& folder) {
  std::string result = list;
  if (!result.empty() && result.back() != ';') result += ';';
  result += folder;
  return result;
}

std::string PathListRemove(const std::string& list, const std::string& folder) {
  std::string result;
  ForEachPiece(list, [&](std::string_view piece) {
    if (!TrimBlanks(piece).empty() && !EntryMatches(piece, folder)) {
      if (!result.empty()) result += ';';
      result.append(piece);
    }
    return true;
  });
  return result;
}
