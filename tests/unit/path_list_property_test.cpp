#include "path/path_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "show_bytes.h"

namespace {

// Pairwise different even with ASCII letters folded; several differ only in a byte >= 0x80 or in a
// non-letter 0x20 apart, so the folders double as near misses of each other.
const char* const kFolders[] = {
    "C:\\x\\bin",
    "C:\\Users\\x\\AppData\\Local\\Programs\\Palvex\\bin",
    "C:\\Program Files\\Palvex\\bin",
    "C:\\Users\\Zo\xC3\xAB\\bin",
    "C:\\\xC3\x84\\bin",
    "C:\\\xC3\xA4\\bin",
    "C:\\\xC4\\bin",
    "C:\\\xE4\\bin",
    "D:\\Tools [x86]\\bin",
    "D:\\Tools {x86}\\bin",
    "\xE5\xB7\xA5\xE5\x85\xB7\\bin",
    "%LOCALAPPDATA%\\Programs\\Palvex\\bin",
    "C:\\PROGRA~1\\Palvex\\bin",
    "C:\\Windows\\system32",
};
constexpr size_t kFolderCount = sizeof kFolders / sizeof kFolders[0];

struct Piece {
  std::string text;
  bool matches;  // names the folder, by construction
};

// A list as the pieces between its separators; the strings keep their buffers from case to case.
struct Pieces {
  static constexpr size_t kMax = 7;
  Piece piece[kMax];
  size_t count = 0;
  const Piece* begin() const { return piece; }
  const Piece* end() const { return piece + count; }
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  void Fill(const std::string& folder, size_t folder_index, Pieces& pieces) {
    pieces.count = 1 + Below(Pieces::kMax);
    for (size_t i = 0; i < pieces.count; ++i) {
      std::string& text = pieces.piece[i].text;
      text.clear();
      pieces.piece[i].matches = AddPiece(folder, folder_index, text);
    }
  }

 private:
  // Modulo bias is irrelevant here, and a distribution object per draw would slow every case.
  size_t Below(size_t n) { return rng_() % n; }
  void AddBlanks(std::string& out, size_t max) { out.append(Below(max + 1), ' '); }

  void AddCaseVariant(std::string& out, const std::string& text) {
    uint32_t bits = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (i % 32 == 0) bits = rng_();
      const char c = text[i];
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      out += letter && ((bits >> (i % 32)) & 1) ? static_cast<char>(c ^ 0x20) : c;
    }
  }

  // Bit 5 of a byte that is not an ASCII letter: the one change a sloppy fold (c | 0x20, tolower in
  // a Latin-1 locale) would hide.
  void FlipNonLetter(std::string& text) {
    for (size_t tries = 0; tries < 8; ++tries) {
      const size_t i = Below(text.size());
      const unsigned char c = static_cast<unsigned char>(text[i]);
      const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
      if (!letter && (c ^ 0x20) != ';' && (c ^ 0x20) != ' ') {
        text[i] = static_cast<char>(c ^ 0x20);
        return;
      }
    }
    text += '\\';
  }

  // Appends one piece to `out`; true when it names the folder.
  bool AddPiece(const std::string& folder, size_t folder_index, std::string& out) {
    switch (Below(14)) {
      case 0:
        out += folder;
        return true;
      case 1:
        AddCaseVariant(out, folder);
        return true;
      case 2:
        AddBlanks(out, 3);
        AddCaseVariant(out, folder);
        AddBlanks(out, 3);
        return true;
      case 3:
        AddBlanks(out, 1);
        out += '\t';
        out += folder;
        AddBlanks(out, 1);
        return false;
      case 4:
        out += folder;
        out += Below(2) ? '\t' : '\v';
        AddBlanks(out, 2);
        return false;
      case 5:
        AddBlanks(out, 1);
        out += folder;
        out += '\\';
        AddBlanks(out, 1);
        return false;
      case 6:
        out += '"';
        out += folder;
        out += '"';
        return false;
      case 7:
        AddCaseVariant(out, folder);
        FlipNonLetter(out);
        return false;
      case 8:
        if (Below(2)) {
          out.append(folder, 0, folder.size() - 1);
        } else {
          out += folder;
          out += 'x';
        }
        return false;
      case 9:
      case 10:
        AddBlanks(out, 2);
        AddCaseVariant(out, kFolders[(folder_index + 1 + Below(kFolderCount - 1)) % kFolderCount]);
        AddBlanks(out, 2);
        return false;
      case 11:
        return false;
      case 12:
        AddBlanks(out, 4);
        return false;
      default: {
        // At most five bytes, shorter than every folder, so they never name one.
        static const char kBytes[] = " \t\\/.%~xX\"\xC3\xA4\x84\xFF";
        for (size_t n = Below(6); n > 0; --n) out += kBytes[Below(sizeof kBytes - 1)];
        return false;
      }
    }
  }

  std::mt19937 rng_;
};

bool Blank(const std::string& piece) { return piece.find_first_not_of(' ') == std::string::npos; }

void Join(const Pieces& pieces, bool drop_matching, bool drop_blank, std::string& joined) {
  joined.clear();
  bool first = true;
  for (const Piece& p : pieces) {
    if ((drop_matching && p.matches) || (drop_blank && Blank(p.text))) continue;
    if (!first) joined += ';';
    joined += p.text;
    first = false;
  }
}

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(value, &end, 10);
  return *end == '\0' ? number : fallback;
}

// The expected results, computed from the pieces alone; kept across cases for their buffers.
struct Expected {
  std::string list, survivors, non_blank;
};

// Returns a description of the first broken invariant, or an empty string.
std::string Check(const std::string& folder, const Pieces& pieces, Expected& e) {
  Join(pieces, false, false, e.list);
  Join(pieces, true, true, e.survivors);
  Join(pieces, false, true, e.non_blank);
  bool listed = false;
  for (const Piece& p : pieces) listed = listed || p.matches;
  const std::string& list = e.list;

  if (PathListContains(list, folder) != listed) {
    return listed ? "Contains missed the folder" : "Contains found a folder that is not listed";
  }

  const std::string removed = PathListRemove(list, folder);
  if (removed != e.survivors) {
    return "Remove gave " + ShowBytes(removed) + ", expected " + ShowBytes(e.survivors);
  }
  if (PathListContains(removed, folder)) return "folder still listed after Remove";
  const bool tidy = e.non_blank.size() == list.size();  // no empty or blank-only piece
  if (!listed && tidy && removed != list) return "Remove changed a tidy list without the folder";
  if (PathListRemove(removed, folder) != removed) return "Remove is not idempotent";
  // Whether anything was dropped besides empty and blank pieces tells whether the folder was there.
  if ((removed != e.non_blank) != listed) return "Remove disagrees with Contains";

  const std::string appended = PathListAppend(list, folder);
  const bool separator = !list.empty() && list.back() != ';';
  if (appended.compare(0, list.size(), list) != 0) return "Append changed the old list";
  if (appended.size() != list.size() + separator + folder.size() ||
      (separator && appended[list.size()] != ';') ||
      appended.compare(list.size() + separator, std::string::npos, folder) != 0) {
    return "Append added " + ShowBytes(appended.substr(list.size()));
  }
  if (!PathListContains(appended, folder)) return "folder not listed after Append";
  // Install then uninstall leaves what uninstall alone would.
  if (PathListRemove(appended, folder) != e.survivors) return "Remove(Append(list)) differs";
  return "";
}

TEST(PathListProperty, RandomListsKeepTheInvariants) {
  const uint32_t seed = static_cast<uint32_t>(EnvNumber("PALVEX_PROPERTY_SEED", 20240611));
  const uint64_t cases = EnvNumber("PALVEX_PROPERTY_CASES", 1000000);
  const std::vector<std::string> folders(std::begin(kFolders), std::end(kFolders));
  Generator generator(seed);
  Pieces pieces;
  Expected expected;
  for (uint64_t i = 0; i < cases; ++i) {
    const size_t folder_index = i % kFolderCount;
    generator.Fill(folders[folder_index], folder_index, pieces);
    const std::string broken = Check(folders[folder_index], pieces, expected);
    if (!broken.empty()) {
      FAIL() << broken << "\n  seed " << seed << ", case " << i << " of " << cases << "\n  folder "
             << ShowBytes(folders[folder_index]) << "\n  list   " << ShowBytes(expected.list);
    }
  }
  std::printf("%llu cases, seed %u\n", static_cast<unsigned long long>(cases), seed);
}

}  // namespace
