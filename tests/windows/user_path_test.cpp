// What the real Environment key cannot show under Wine, which will not delete it: a user hive
// without that key, stood for by a scratch key that takes HKEY_CURRENT_USER's place in this
// process.
#include <windows.h>

#include <gtest/gtest.h>

#include "path/path.h"

TEST(UserPath, MissingKeyReadsAsEmptyCannotBeWrittenAndIsNeverCreated) {
  constexpr char kHive[] = "Software\\PalvexTest\\Hive";
  RegDeleteTreeA(HKEY_CURRENT_USER, kHive);
  HKEY hive, key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kHive, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hive,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, hive), ERROR_SUCCESS);
  ::testing::internal::CaptureStdout();
  AddBinToUserPath("C:\\x\\bin");
  RemoveBinFromUserPath("C:\\x\\bin");
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "  WARNING: could not update PATH\n");
  EXPECT_EQ(RegOpenKeyExA(hive, "Environment", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  RegCloseKey(hive);
}
