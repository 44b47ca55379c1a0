// What the real Environment key cannot show under Wine, which will not delete it: a missing key,
// stood for by a scratch key name that is never created.
#include <windows.h>

#include <gtest/gtest.h>

#include "path/path.h"

TEST(UserPath, MissingKeyReadsAsEmptyCannotBeWrittenAndIsNeverCreated) {
  constexpr char kMissing[] = "Software\\PalvexTest\\Missing";
  RegDeleteTreeA(HKEY_CURRENT_USER, kMissing);
  ::testing::internal::CaptureStdout();
  AddBinToUserPath("C:\\x\\bin", kMissing);
  RemoveBinFromUserPath("C:\\x\\bin", kMissing);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "  WARNING: could not update PATH\n");
  HKEY key;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kMissing, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}
