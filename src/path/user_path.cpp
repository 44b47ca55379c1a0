#include <windows.h>

#include <cstring>
#include <memory>
#include <type_traits>

#include "front/front.h"
#include "path/path.h"
#include "path/path_list.h"

namespace {

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

constexpr char kKeyName[] = "Environment";
constexpr char kValueName[] = "Path";

bool IsConvertedText(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The registry keeps string values in UTF-16 and the A interface hands out a conversion to the
// active code page, which replaces what that page cannot carry: '?' for a character outside a
// legacy page (Windows before 10 1903 ignores our UTF-8 manifest), U+FFFD for an unpaired
// surrogate under UTF-8. Writing such text back would destroy the user's entries, so the A text
// is accepted only when it converts back to exactly the stored UTF-16 text.
bool MatchesStoredText(HKEY key, const std::string& text) {
  DWORD size = 0;
  if (RegQueryValueExW(key, L"Path", /*lpReserved=*/nullptr, /*lpType=*/nullptr, /*lpData=*/nullptr,
                       &size) != ERROR_SUCCESS) {
    return false;
  }
  std::wstring stored(size / sizeof(wchar_t) + 1, L'\0');
  DWORD stored_size = size;
  if (RegQueryValueExW(key, L"Path", /*lpReserved=*/nullptr, /*lpType=*/nullptr,
                       reinterpret_cast<BYTE*>(stored.data()), &stored_size) != ERROR_SUCCESS) {
    return false;
  }
  stored.resize(std::wcslen(stored.c_str()));
  if (text.empty()) return stored.empty();

  const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return false;
  std::wstring converted(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      converted.data(), length);
  return converted == stored;
}

}  // namespace

bool ReadUserPath(std::string* list) {
  HKEY raw_key = nullptr;
  LONG status =
      RegOpenKeyExA(HKEY_CURRENT_USER, kKeyName, /*ulOptions=*/0, KEY_QUERY_VALUE, &raw_key);
  if (status == ERROR_FILE_NOT_FOUND) {
    list->clear();
    return true;
  }
  if (status != ERROR_SUCCESS) return false;
  UniqueKey key(raw_key);

  DWORD type = 0;
  DWORD size = 0;
  status = RegQueryValueExA(key.get(), kValueName, /*lpReserved=*/nullptr, &type,
                            /*lpData=*/nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && size == 0)) {
    list->clear();
    return true;
  }
  if (status != ERROR_SUCCESS) return false;

  // One byte more than asked for, never handed to the call, so the text always ends in a zero.
  std::string buffer(size + 1, '\0');
  DWORD read_size = size;
  status = RegQueryValueExA(key.get(), kValueName, /*lpReserved=*/nullptr, &type,
                            reinterpret_cast<BYTE*>(buffer.data()), &read_size);
  if (status != ERROR_SUCCESS) return false;  // ERROR_MORE_DATA: it grew between the two queries.
  buffer.resize(std::strlen(buffer.c_str()));

  if (IsConvertedText(type) && !MatchesStoredText(key.get(), buffer)) return false;
  *list = std::move(buffer);
  return true;
}

bool WriteUserPath(const std::string& list) {
  HKEY raw_key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKeyName, /*ulOptions=*/0, KEY_SET_VALUE, &raw_key) !=
      ERROR_SUCCESS) {
    return false;
  }
  LONG status;
  {
    UniqueKey key(raw_key);
    status = RegSetValueExA(key.get(), kValueName, /*Reserved=*/0, REG_EXPAND_SZ,
                            reinterpret_cast<const BYTE*>(list.c_str()),
                            static_cast<DWORD>(list.size() + 1));
  }
  if (status != ERROR_SUCCESS) return false;

  // Explorer rebuilds the environment of programs it starts from then on; a hung window is
  // skipped at once, a slow one after five seconds.
  SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, /*wParam=*/0,
                      reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG, /*uTimeout=*/5000,
                      /*lpdwResult=*/nullptr);
  return true;
}

void AddBinToUserPath(const std::string& bin_folder) {
  std::string list;
  if (!ReadUserPath(&list)) {
    PrintStatus("WARNING: could not read your PATH, so it was left unchanged");
    Print("        (add %s to your PATH yourself)\n", bin_folder.c_str());
    return;
  }
  if (PathListContains(list, bin_folder)) {
    PrintStatus("PATH already set");
    return;
  }
  PrintStatus(WriteUserPath(PathListAppend(list, bin_folder)) ? "Added Palvex to your PATH"
                                                              : "WARNING: could not update PATH");
}

void RemoveBinFromUserPath(const std::string& bin_folder) {
  std::string list;
  if (!ReadUserPath(&list) || !PathListContains(list, bin_folder)) return;
  // The line stands whatever the store did; a failed store leaves the old value whole.
  (void)WriteUserPath(PathListRemove(list, bin_folder));
  PrintStatus("Removed Palvex from your PATH");
}
