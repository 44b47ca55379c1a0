// The PATH list rules and the switch scan: pure string logic, built natively and for Windows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "front/switches.h"
#include "path/path_list.h"

namespace {

// Both ends of the A-Z range, so that a fold that misses one of them shows.
const std::string kBin = "C:\\Az\\bin";

// A list, whether it names kBin, and what removing kBin leaves of it.
struct ListRow {
  std::string list;
  bool contains;
  std::string removed;
};

const ListRow kListRows[] = {
    {"", false, ""},
    {kBin, true, ""},
    {" c:\\aZ\\BIN  ", true, ""},  // blanks trimmed, A-Z folded
    {"A; C:\\AZ\\bin ;;B;", true, "A;B"},
    {"C:\\Az\\bin;c:\\az\\bin;A;C:\\AZ\\BIN", true, "A"},  // every copy goes
    {";;A;  ;B;;", false, "A;B"},                          // empty and blank entries go
    {" A ;B", false, " A ;B"},                             // survivors keep their text
    {"\tC:\\Az\\bin", false, "\tC:\\Az\\bin"},             // a tab is not a blank
    {"C:\\Az\\bin\\;\"C:\\Az\\bin\";C:/Az/bin", false, "C:\\Az\\bin\\;\"C:\\Az\\bin\";C:/Az/bin"},
    {"C:\\Az\\bi;C:\\Az\\bins;D:C:\\Az\\bin", false, "C:\\Az\\bi;C:\\Az\\bins;D:C:\\Az\\bin"},
};

TEST(PathList, ContainsAndRemoveFollowTheEntryRules) {
  for (const ListRow& row : kListRows) {
    SCOPED_TRACE("list [" + row.list + "]");
    EXPECT_EQ(PathListContains(row.list, kBin), row.contains);
    EXPECT_EQ(PathListRemove(row.list, kBin), row.removed);
    // What any list must give: nothing matching survives a removal, an append is always found,
    // and removing again or after an append changes nothing more.
    EXPECT_FALSE(PathListContains(row.removed, kBin));
    EXPECT_TRUE(PathListContains(PathListAppend(row.list, kBin), kBin));
    EXPECT_EQ(PathListRemove(PathListAppend(row.list, kBin), kBin), row.removed);
  }
}

TEST(PathList, AppendAddsOneSeparatorUnlessEmptyOrEndingInOne) {
  const std::pair<std::string, std::string> rows[] = {
      {"", kBin},           {"A", "A;" + kBin}, {"A;", "A;" + kBin}, {"A;;", "A;;" + kBin},
      {"A ", "A ;" + kBin},
  };
  for (const auto& [list, appended] : rows) {
    EXPECT_EQ(PathListAppend(list, kBin), appended) << "list [" << list << "]";
  }
}

TEST(ScanSwitches, FirstArgumentThatIsASwitchDecides) {
  const std::pair<std::vector<const char*>, char> rows[] = {
      {{"/install"}, '1'},
      {{"--install"}, '1'},
      {{"-i", "-u"}, '1'},
      {{"/uninstall"}, '2'},
      {{"--uninstall", "--install"}, '2'},
      {{"hello", "-u", "--install"}, '2'},
      {{}, 0},
      {{"install", "--INSTALL", "-I", "/Uninstall", "-ix", "--install ", "-", ""}, 0},
  };
  for (const auto& [args, choice] : rows) {
    std::vector<const char*> argv = {"palvex-setup.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_EQ(ScanSwitches(static_cast<int>(argv.size()), argv.data()), choice)
        << ::testing::PrintToString(args);
  }
}

}  // namespace
