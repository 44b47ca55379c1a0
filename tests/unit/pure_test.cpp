// The PATH list rules: pure string logic, built natively and for Windows.
#include <gtest/gtest.h>

#include <string>

#include "path/path_list.h"

namespace {

// Both ends of the A-Z range, so that a fold that misses one of them shows.
const std::string kBin = "C:\\Az\\bin";

// A list, whether it names kBin, what removing kBin leaves of it ("=": the list as it is), and what
// appending kBin puts between the two.
struct ListRow {
  std::string list;
  bool contains;
  std::string removed;
  const char* separator;
};

const ListRow kListRows[] = {
    {"", false, "", ""},
    {" c:\\aZ\\BIN  ", true, "", ";"},  // blanks trimmed, A-Z folded
    {"A; C:\\AZ\\bin ;;B;", true, "A;B", ""},
    {"C:\\Az\\bin;c:\\az\\bin;A;C:\\AZ\\BIN", true, "A", ";"},     // every copy goes
    {";;A;  ;B;;", false, "A;B", ""},                              // empty and blank entries go
    {" A ;B", false, "=", ";"},                                    // survivors keep their text
    {"\tC:\\Az\\bin", false, "=", ";"},                            // a tab is not a blank
    {"C:\\Az\\bin\\;\"C:\\Az\\bin\";C:/Az/bin", false, "=", ";"},  // nothing else is normalised
    {"C:\\Az\\bi;C:\\Az\\bins;D:\\Az\\bin", false, "=", ";"},      // every byte counts
};

TEST(PathList, ContainsRemoveAndAppendFollowTheEntryRules) {
  for (const ListRow& row : kListRows) {
    SCOPED_TRACE("list [" + row.list + "]");
    EXPECT_EQ(PathListContains(row.list, kBin), row.contains);
    EXPECT_EQ(PathListRemove(row.list, kBin), row.removed == "=" ? row.list : row.removed);
    EXPECT_EQ(PathListAppend(row.list, kBin), row.list + row.separator + kBin);
  }
}

}  // namespace
