#include "path/path_list.h"

#include <gtest/gtest.h>

#include <string>

#include "show_bytes.h"

namespace {

const std::string kBin = "C:\\x\\bin";

std::string Describe(const std::string& list, const std::string& folder) {
  return "list " + ShowBytes(list) + ", folder " + ShowBytes(folder);
}

struct Piece {
  std::string folder;
  std::string piece;
};

// Pieces that name the folder: only blanks are trimmed, only A-Z fold.
const Piece kMatching[] = {
    {kBin, kBin},
    {kBin, "c:\\X\\BIN"},
    {kBin, " C:\\x\\bin"},
    {kBin, "C:\\x\\bin   "},
    {kBin, "   c:\\x\\Bin "},
    {"C:\\AZaz\\bin", "c:\\azAZ\\BIN"},  // both ends of the letter range
    {"C:\\Users\\Zo\xC3\xAB\\bin", "c:\\USERS\\ZO\xC3\xAB\\BIN"},
    {"C:\\Program Files\\x", " C:\\PROGRAM FILES\\x "},  // inner blank is part of the entry
};

// Pieces that differ from the folder: nothing beyond blank trimming and ASCII folding applies.
const Piece kNotMatching[] = {
    {kBin, "\tC:\\x\\bin"},
    {kBin, "C:\\x\\bin\t"},
    {kBin, "C:\\x\\bin\r"},
    {kBin, "\nC:\\x\\bin"},
    {kBin, "\xA0" + kBin},  // no-break space in code page 1252
    {kBin, "C:\\x\\bin\\"},
    {kBin, "\"C:\\x\\bin\""},
    {kBin, "C:/x/bin"},
    {kBin, "C:\\\\x\\bin"},
    {kBin, "C:\\x\\bi"},
    {kBin, "C:\\x\\bins"},
    {kBin, "D:C:\\x\\bin"},
    {kBin, "C:\\x\\bin\\sub"},
    {"C:\\Users\\x\\AppData\\Local\\Programs\\Palvex\\bin",
     "%LOCALAPPDATA%\\Programs\\Palvex\\bin"},
    {"C:\\Program Files\\Palvex\\bin", "C:\\PROGRA~1\\Palvex\\bin"},
    {"C:\\\xC3\x84\\bin", "C:\\\xC3\xA4\\bin"},  // UTF-8 A/a umlaut
    {"C:\\\xC4\\bin", "C:\\\xE4\\bin"},          // the same pair in code page 1252
    {"C:\\x[1]\\bin", "C:\\x{1}\\bin"},          // 0x20 apart, but not letters
    {"C:\\x@^\\bin", "C:\\x`~\\bin"},
    {" C:\\x\\bin", " C:\\x\\bin"},  // the folder itself is not trimmed
};

// Where a piece P sits in a list; A and B are other entries.
struct Position {
  std::string before, after;
  std::string without;                  // Remove's result when P matches
  std::string kept_before, kept_after;  // around P in Remove's result when it does not
};

const Position kPositions[] = {
    {"", "", "", "", ""},
    {"A;", "", "A", "A;", ""},
    {"", ";B", "B", "", ";B"},
    {"A;", ";B", "A;B", "A;", ";B"},
    {";", ";", "", "", ""},
    {"A;;", ";;B", "A;B", "A;", ";B"},
    {" A ;", "; B", " A ; B", " A ;", "; B"},
};

TEST(PathListContains, FindsAMatchingPieceAnywhere) {
  for (const Piece& p : kMatching) {
    for (const Position& at : kPositions) {
      const std::string list = at.before + p.piece + at.after;
      EXPECT_TRUE(PathListContains(list, p.folder)) << Describe(list, p.folder);
    }
  }
}

TEST(PathListContains, MissesEveryOtherSpelling) {
  for (const Piece& p : kNotMatching) {
    for (const Position& at : kPositions) {
      const std::string list = at.before + p.piece + at.after;
      EXPECT_FALSE(PathListContains(list, p.folder)) << Describe(list, p.folder);
    }
  }
}

TEST(PathListContains, EmptyAndBlankPiecesMatchNothing) {
  const char* const lists[] = {"", ";", ";;;", " ", "  ;  ", "A; ;B"};
  const char* const folders[] = {"", " ", "  "};
  for (const char* list : lists) {
    for (const char* folder : folders) {
      EXPECT_FALSE(PathListContains(list, folder)) << Describe(list, folder);
    }
  }
}

TEST(PathListAppend, AddsOneSeparatorUnlessEmptyOrEndingInOne) {
  const struct {
    std::string list, expected;
  } cases[] = {
      {"", kBin},
      {"A", "A;" + kBin},
      {"A;", "A;" + kBin},
      {"A;;", "A;;" + kBin},  // the empty piece stays
      {";", ";" + kBin},
      {" ", " ;" + kBin},
      {"A ", "A ;" + kBin},
      {"A\t", "A\t;" + kBin},
      {";;A; ;B", ";;A; ;B;" + kBin},
      {kBin, kBin + ";" + kBin},  // no duplicate check: the caller asks Contains first
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathListAppend(c.list, kBin), c.expected) << Describe(c.list, kBin);
  }
}

TEST(PathListRemove, DropsAMatchingPieceAnywhere) {
  for (const Piece& p : kMatching) {
    for (const Position& at : kPositions) {
      const std::string list = at.before + p.piece + at.after;
      EXPECT_EQ(PathListRemove(list, p.folder), at.without) << Describe(list, p.folder);
    }
  }
}

TEST(PathListRemove, KeepsOtherPiecesByteForByte) {
  for (const Piece& p : kNotMatching) {
    for (const Position& at : kPositions) {
      const std::string list = at.before + p.piece + at.after;
      EXPECT_EQ(PathListRemove(list, p.folder), at.kept_before + p.piece + at.kept_after)
          << Describe(list, p.folder);
    }
  }
}

TEST(PathListRemove, RemovesEveryCopy) {
  const struct {
    std::string list, expected;
  } cases[] = {
      {kBin + ";" + kBin, ""},
      {kBin + ";" + kBin + ";" + kBin + ";A", "A"},
      {"A;" + kBin + "; c:\\X\\BIN ;" + kBin + ";B", "A;B"},
      {kBin + ";A;C:\\X\\BIN;B;  " + kBin, "A;B"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathListRemove(c.list, kBin), c.expected) << Describe(c.list, kBin);
  }
}

TEST(PathListRemove, CollapsesEmptyAndBlankPieces) {
  const struct {
    std::string list, expected;
  } cases[] = {
      {"", ""},
      {";", ""},
      {";;;", ""},
      {"   ", ""},
      {" ; ;  ", ""},
      {";A", "A"},
      {"A;", "A"},
      {"A;;B", "A;B"},
      {"A; ;B", "A;B"},
      {";;A;  ;B;;", "A;B"},
      {"A; C:\\X\\bin ;;B;", "A;B"},
      {"\t", "\t"},  // a tab is not a blank
      {"A;\t;;B", "A;\t;B"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathListRemove(c.list, kBin), c.expected) << Describe(c.list, kBin);
  }
}

}  // namespace
