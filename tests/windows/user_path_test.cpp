// The PATH phases against scratch keys below HKEY_CURRENT_USER, for conditions the real
// Environment key cannot be put in. This executable has no UTF-8 manifest: its A calls use the
// legacy code page, as the setup does on Windows before 10 1903.
#include <windows.h>
#include <winternl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "path/path.h"

namespace {

using namespace std::literals;

constexpr char kBin[] = "C:\\Users\\x\\AppData\\Local\\Programs\\Palvex\\bin";
constexpr wchar_t kBinW[] = L"C:\\Users\\x\\AppData\\Local\\Programs\\Palvex\\bin";
constexpr wchar_t kParentKey[] = L"Software\\PalvexTest";

const std::string kAdded = "  Added Palvex to your PATH\n";
const std::string kAlreadySet = "  PATH already set\n";
const std::string kRemoved = "  Removed Palvex from your PATH\n";
const std::string kNotUpdated = "  WARNING: could not update PATH\n";
const std::string kNotRead = "  WARNING: could not read your PATH, so it was left unchanged\n"s +
                             "        (add " + kBin + " to your PATH yourself)\n";

// The Path value as stored: its type and raw bytes.
struct Value {
  bool exists = false;
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const Value& other) const {
    return exists == other.exists && (!exists || (type == other.type && bytes == other.bytes));
  }
};

void PrintTo(const Value& value, std::ostream* out) {
  if (!value.exists) {
    *out << "(no value)";
    return;
  }
  *out << "type " << value.type << ", " << value.bytes.size() << " bytes: ";
  for (size_t i = 0; i + 1 < value.bytes.size(); i += 2) {
    const unsigned unit = static_cast<unsigned char>(value.bytes[i]) |
                          static_cast<unsigned char>(value.bytes[i + 1]) << 8;
    if (unit >= 0x20 && unit < 0x7f) {
      *out << static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x", unit);
      *out << escaped;
    }
  }
  if (value.bytes.size() % 2 != 0) *out << " +1 odd byte";
}

Value Raw(DWORD type, std::string bytes) { return {true, type, std::move(bytes)}; }

// A string value holding exactly `text` in UTF-16, zeros included only where `text` has them.
Value Text(DWORD type, std::wstring_view text) {
  return {true, type,
          std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t))};
}
// What the setup writes: REG_EXPAND_SZ, the text and one terminating zero.
Value Written(const std::wstring& text) { return Text(REG_EXPAND_SZ, text + L'\0'); }

// A key of its own below HKEY_CURRENT_USER\Software\PalvexTest, deleted with its values after.
class ScratchKey {
 public:
  explicit ScratchKey(const std::string& name)
      : name_("Software\\PalvexTest\\" + name), wide_name_(name_.begin(), name_.end()) {
    Delete();
  }
  ~ScratchKey() {
    Delete();
    RegDeleteKeyW(HKEY_CURRENT_USER, kParentKey);  // fails, harmlessly, while others remain
  }
  const char* name() const { return name_.c_str(); }

  bool Exists() const {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide_name_.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  // Creates the key and stores `value` in it, or leaves it without a Path value. Goes below
  // RegSetValueExW, which under Wine adds a zero to string data that lacks one.
  void Set(const Value& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, wide_name_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value.exists) {
      using SetValueKey = LONG(WINAPI*)(HANDLE, UNICODE_STRING*, ULONG, ULONG, const void*, ULONG);
      const auto set_value_key = reinterpret_cast<SetValueKey>(
          reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtSetValueKey")));
      wchar_t name[] = L"Path";
      UNICODE_STRING value_name = {sizeof(name) - sizeof(wchar_t), sizeof(name), name};
      EXPECT_EQ(set_value_key(key, &value_name, 0, value.type, value.bytes.data(),
                              static_cast<ULONG>(value.bytes.size())),
                0);
    } else {
      const LONG status = RegDeleteValueW(key, L"Path");
      EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    }
    RegCloseKey(key);
  }

  Value Get() const {
    Value value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide_name_.c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
      return value;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, L"Path", nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
      value.bytes.assign(size, '\0');
      value.exists =
          RegQueryValueExW(key, L"Path", nullptr, &value.type,
                           reinterpret_cast<BYTE*>(value.bytes.data()), &size) == ERROR_SUCCESS;
      value.bytes.resize(size);
    }
    RegCloseKey(key);
    return value;
  }

 private:
  void Delete() { RegDeleteTreeW(HKEY_CURRENT_USER, wide_name_.c_str()); }

  std::string name_;
  std::wstring wide_name_;
};

std::string ScratchName() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

// Runs one phase and returns what it printed.
template <typename Phase>
std::string Printed(Phase phase) {
  ::testing::internal::CaptureStdout();
  phase();
  return ::testing::internal::GetCapturedStdout();
}

struct Case {
  const char* what;
  Value before;
  std::string printed;
  Value after;
};

void RunCases(const std::vector<Case>& cases, void (*phase)(const std::string&, const char*)) {
  ScratchKey key(ScratchName());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    key.Set(c.before);
    EXPECT_EQ(Printed([&] { phase(kBin, key.name()); }), c.printed);
    EXPECT_EQ(key.Get(), c.after);
  }
}

TEST(UserPath, InstallReadsAnyTypeUpToItsFirstZeroAndWritesExpandableText) {
  RunCases(
      {
          {"no value", {}, kAdded, Written(kBinW)},
          {"empty, no zero", Text(REG_SZ, L""), kAdded, Written(kBinW)},
          {"empty, one zero", Text(REG_SZ, L"\0"sv), kAdded, Written(kBinW)},
          {"REG_SZ", Text(REG_SZ, L"C:\\A;C:\\B\0"sv), kAdded, Written(L"C:\\A;C:\\B;"s + kBinW)},
          {"REG_SZ stored without its zero", Text(REG_SZ, L"C:\\A"), kAdded,
           Written(L"C:\\A;"s + kBinW)},
          {"ends in a separator", Text(REG_SZ, L"C:\\A;\0"sv), kAdded, Written(L"C:\\A;"s + kBinW)},
          {"REG_MULTI_SZ", Text(REG_MULTI_SZ, L"C:\\A\0C:\\B\0\0"sv), kAdded,
           Written(L"C:\\A;"s + kBinW)},
          {"REG_BINARY", Raw(REG_BINARY, "C:\\A\0C:\\B"s), kAdded, Written(L"C:\\A;"s + kBinW)},
          {"REG_DWORD", Raw(REG_DWORD, "\x01\x00\x00\x00"s), kAdded, Written(L"\x01;"s + kBinW)},
          {"environment references stay text",
           Text(REG_EXPAND_SZ, L"%USERPROFILE%\\bin;%SystemRoot%\0"sv), kAdded,
           Written(L"%USERPROFILE%\\bin;%SystemRoot%;"s + kBinW)},
          {"listed with a trailing backslash", Text(REG_SZ, L"C:\\A;"s + kBinW + L"\\" + L'\0'),
           kAdded, Written(L"C:\\A;"s + kBinW + L"\\;" + kBinW)},
          {"listed in capitals",
           Text(REG_SZ, L"C:\\A;C:\\USERS\\X\\APPDATA\\LOCAL\\PROGRAMS\\PALVEX\\BIN"), kAlreadySet,
           Text(REG_SZ, L"C:\\A;C:\\USERS\\X\\APPDATA\\LOCAL\\PROGRAMS\\PALVEX\\BIN")},
          {"listed with blanks around it", Text(REG_SZ, L"C:\\A;  "s + kBinW + L" ;;C:\\B" + L'\0'),
           kAlreadySet, Text(REG_SZ, L"C:\\A;  "s + kBinW + L" ;;C:\\B" + L'\0')},
          {"listed in a REG_MULTI_SZ", Text(REG_MULTI_SZ, kBinW + L"\0C:\\A\0\0"s), kAlreadySet,
           Text(REG_MULTI_SZ, kBinW + L"\0C:\\A\0\0"s)},
      },
      AddBinToUserPath);
}

// Text the A interface cannot hand out exactly: a character outside the legacy code page, or a
// lone surrogate. Read as '?' or U+FFFD and written back, it would destroy the user's entries.
TEST(UserPath, ValueTheCodePageCannotCarryIsLeftAlone) {
  ASSERT_NE(GetACP(), static_cast<UINT>(CP_UTF8)) << "this case needs a legacy code page";
  const std::wstring unreadable[] = {
      L"C:\\Tools\\\u65e5\u672c\\bin\0"s, L"C:\\A;C:\\\xd800x\\bin;C:\\B\0"s, L"C:\\A\xdc00"s,
      L"C:\\A;"s + kBinW + L";C:\\\xd83d" +
          L'\0',  // listed, so a lossy read would make uninstall rewrite it
  };
  for (const std::wstring& text : unreadable) {
    SCOPED_TRACE(::testing::PrintToString(Text(REG_SZ, text)));
    RunCases({{"install", Text(REG_EXPAND_SZ, text), kNotRead, Text(REG_EXPAND_SZ, text)}},
             AddBinToUserPath);
    RunCases({{"uninstall", Text(REG_SZ, text), "", Text(REG_SZ, text)}}, RemoveBinFromUserPath);
  }
}

TEST(UserPath, UninstallRewritesOnlyWhenListed) {
  RunCases(
      {
          {"no value", {}, "", {}},
          {"empty", Text(REG_SZ, L"\0"sv), "", Text(REG_SZ, L"\0"sv)},
          {"not listed: empty entries and type kept", Text(REG_SZ, L"C:\\A;;C:\\B;\0"sv), "",
           Text(REG_SZ, L"C:\\A;;C:\\B;\0"sv)},
          {"listed with a trailing backslash", Text(REG_SZ, kBinW + L"\\"s), "",
           Text(REG_SZ, kBinW + L"\\"s)},
          {"listed among others", Text(REG_SZ, L";C:\\A;;"s + kBinW + L";  C:\\B ;" + L'\0'),
           kRemoved, Written(L"C:\\A;  C:\\B ")},
          {"listed twice, other case",
           Text(REG_EXPAND_SZ,
                kBinW + L";%X%;"s + L"c:\\users\\X\\appdata\\local\\programs\\palvex\\BIN"),
           kRemoved, Written(L"%X%")},
          {"only entry", Text(REG_SZ, kBinW + L"\0"s), kRemoved, Written(L"")},
          {"REG_BINARY", Raw(REG_BINARY, "C:\\A;"s + kBin + "\0junk"s), kRemoved,
           Written(L"C:\\A")},
      },
      RemoveBinFromUserPath);
}

// The real Environment key cannot be deleted under Wine; a scratch name that is never created
// stands for it.
TEST(UserPath, MissingKeyReadsEmptyAndIsNeverCreated) {
  ScratchKey key(ScratchName());
  std::string list = "left over";
  EXPECT_TRUE(ReadUserPath(&list, key.name()));
  EXPECT_EQ(list, "");
  EXPECT_FALSE(WriteUserPath(kBin, key.name()));
  EXPECT_EQ(Printed([&] { AddBinToUserPath(kBin, key.name()); }), kNotUpdated);
  EXPECT_EQ(Printed([&] { RemoveBinFromUserPath(kBin, key.name()); }), "");
  EXPECT_FALSE(key.Exists());
}

TEST(UserPath, LongValueSurvivesInstallAndUninstall) {
  std::wstring text;
  for (int i = 0; i < 2500; ++i) text += L"C:\\Some Folder\\" + std::to_wstring(i) + L"\\bin;";
  text.pop_back();
  ASSERT_GT(text.size(), 40000u);
  const Value installed = Written(text + L";" + kBinW);
  RunCases({{"install", Text(REG_EXPAND_SZ, text + L'\0'), kAdded, installed}}, AddBinToUserPath);
  RunCases({{"uninstall", installed, kRemoved, Written(text)}}, RemoveBinFromUserPath);
}

}  // namespace
