// The PATH list rules: pure string logic, built natively and for Windows.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
