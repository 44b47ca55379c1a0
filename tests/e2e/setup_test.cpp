// The built palvex-setup.exe run as a user runs it: one test per thing a user does, with the state
// before (files, the user Path value, VS Code present or not) and everything the user can see
// after (the console transcript byte for byte, the exit code, the Path, files, broadcasts, calls).
#include <windows.h>

#include <gtest/gtest.h>

// Needs <windows.h> first.
#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "palvex_version.h"

namespace {

namespace fs = std::filesystem;

constexpr int kNoEditor = -1;  // Row::code: no VS Code launcher on PATH
constexpr int kWaiting = -2;   // Row::exit_code: still waiting for a key at the end

// One thing a user does, and all that the user must get from it; a row states only what differs
// from a plain run. In its texts <root> stands for the install root, <bin> for the bin folder,
// <BIN> for it in capitals and <Dbin> for it one drive away (the folders hold an a and a z, both
// ends of A-Z), <system> for the system folder and <windows> for the Windows folder. Files are
// "|"-separated, each path=content below LOCALAPPDATA ("vsix" for the package, "tool" for the tool
// or the start of a longer file). A Path value is its type, a colon and its text: "REG_SZ:C:\A";
// "" is no value at all.
struct Row {
  const char* what = "";
  // What the user has and does.
  std::string args = "";  // separated by blanks
  std::string input = "\r\n";
  bool input_ends = false;               // after `input`; else it stays open
  const char* local_app_data = "Local";  // below the scratch folder; nullptr: unset
  std::string files = "";
  // Files planted in the folder that a copy of the setup runs from, the current folder too.
  std::string planted = "";
  // nullptr: unset, as when a launcher or a service starts the setup.
  const wchar_t* comspec = L"<system>\\cmd.exe";
  std::wstring path = L"";
  bool path_locked = false;  // the user may read the Path value but not change it
  int code = kNoEditor;      // the exit code of VS Code's launcher
  // What the user must get.
  std::string out = "";  // as the program writes it: each "\n" reaches the pipe as CR LF
  int exit_code = 0;
  std::string files_after = "=";   // "=": as before
  std::wstring path_after = L"=";  // "=": as before
  std::string code_calls = "";
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.what; }

const std::string kMenu =
    "======================================\n"
    "  Palvex " PALVEX_VERSION
    " - Setup\n"
    "  https://palvex.dev\n"
    "======================================\n\n"
    "  [1] Install Palvex\n"
    "  [2] Uninstall Palvex\n"
    "  [3] Exit\n\n"
    "  Choose (1-3): ";
const std::string kCancelled = "\nCancelled.\n";
const std::string kStopped = "\nInstalling Palvex to <root>\n\n";
const std::string kInstalling = kStopped + "  Installed palvex.exe\n";
const std::string kAdded = "  Added Palvex to your PATH\n";
const std::string kNoEditorHint =
    "  VS Code not found; skipped the editor extension\n"
    "        (install later with: code --install-extension \"<root>\\palvex-extension.vsix\")\n";
const std::string kDone = "\nDone. Open a NEW terminal and run:  palvex --version\n";
const std::string kRemoving = "\nRemoving Palvex from <root>\n\n";
const std::string kPathRemoved = "  Removed Palvex from your PATH\n";
const std::string kRemoved = "\nPalvex removed. Restart open terminals to refresh PATH.\n";
const std::string kPause = "\nPress Enter to close...";
const std::string kNotSet = "  ERROR: LOCALAPPDATA is not set.\n";
const std::string kFreshInstall = kInstalling + kAdded + kNoEditorHint + kDone + kPause;
const std::string kInstalled =
    "Programs\\Palvex\\bin\\palvex.exe=tool|"
    "Programs\\Palvex\\palvex-extension.vsix=vsix";
const std::wstring kScripts = L"C:\\\u65e5\u672c;%USERPROFILE%\\\U0001F600 \u0418";
const std::wstring kNearBin = L"\t<bin>;<bin>\\;\"<bin>\";<root>\\bi;<bin>s;<root>\\bim;<Dbin>";
const std::wstring kUnreadable = L"C:\\A\xd800\\bin;<bin>;C:\\B";  // a lone surrogate
const std::string kInstallCall =
    "[--install-extension] [\"<root>\\palvex-extension.vsix\"] [--force] [] guard=[1] "
    "in=[<windows>]\n";

// Fields in the order of Row: what the user has and does, then from .out on what the user gets.
// clang-format off
const Row kRows[] = {
    {.what = "words that are no switch, though some begin like one or are one cut short, show the "
             "menu, and a bare Enter cancels at once",
     .args = "install --INSTALL -I /Uninstall /installdir --uninst", .out = kMenu + kCancelled},
    {.what = "answer 12 installs, keeping entries in any script; REG_SZ becomes REG_EXPAND_SZ",
     .input = "12\r\n\r\n", .path = L"REG_SZ:" + kScripts,
     .out = kMenu + kFreshInstall, .files_after = kInstalled,
     .path_after = L"REG_EXPAND_SZ:" + kScripts + L";<bin>"},
    {.what = "answer 2 uninstalls, and the pause waits for a fresh Enter; taking off the only "
             "entry leaves an empty REG_EXPAND_SZ value",
     .input = "2\r\n", .path = L"REG_SZ:<bin>",
     .out = kMenu + kRemoving + kPathRemoved + kRemoved + kPause, .exit_code = kWaiting,
     .path_after = L"REG_EXPAND_SZ:"},
    {.what = "the first switch decides: -i installs without the menu into a missing Path, and any "
             "one key ends the pause; a where and a code in the current folder are no VS Code",
     .args = "-i -u", .input = "x",
     .planted = "where.bat where.cmd where.exe code.bat code.cmd code.exe",
     .out = kFreshInstall, .files_after = kInstalled, .path_after = L"REG_EXPAND_SZ:<bin>"},
    {.what = "files planted where the setup runs never run: DLLs named as system DLLs it uses or "
             "as DLLs those load, and a cmd.exe while COMSPEC is unset",
     .args = "-i", .planted = "ADVAPI32.dll SHELL32.dll USER32.dll version.dll cryptbase.dll "
                              "cryptsp.dll uxtheme.dll dwmapi.dll propsys.dll profapi.dll "
                              "windows.storage.dll cmd.exe",
     .comspec = nullptr, .code = 0,
     .out = kInstalling + kAdded + "  Installed the VS Code extension\n" + kDone + kPause,
     .files_after = kInstalled, .path_after = L"REG_EXPAND_SZ:<bin>", .code_calls = kInstallCall},
    {.what = "end of input at the pause ends with the procedure's result; uninstall leaves a Path "
             "it cannot read exactly alone",
     .args = "hello /uninstall --install", .input = "", .input_ends = true,
     .path = L"REG_SZ:" + kUnreadable, .out = kRemoving + kRemoved + kPause},
    {.what = "install without LOCALAPPDATA stops with 1 and touches nothing",
     .args = "--install", .local_app_data = nullptr, .out = kNotSet + kPause, .exit_code = 1},
    {.what = "install twice says PATH already set, replaces a longer old tool whole and hands VS "
             "Code the package path as one argument, whatever cmd.exe would split at; an empty "
             "COMSPEC runs no planted cmd.exe",
     .args = "/install", .local_app_data = "L & (^) ,= !",
     .files = "Programs\\Palvex\\bin\\palvex.exe=tool and an old tail", .planted = "cmd.exe",
     .comspec = L"", .path = L"REG_SZ:C:\\A; <BIN> ", .code = 0,
     .out = kInstalling + "  PATH already set\n  Installed the VS Code extension\n" + kDone +
            kPause,
     .files_after = kInstalled, .code_calls = kInstallCall},
    {.what = "uninstall takes every copy off the Path, drops empty and blank entries, keeps the "
             "others as they are, even one a tab, a backslash, quotes or a letter away, and "
             "deletes the install root with the user's own files in it outright, leaving nothing "
             "in the Recycle Bin; a code.cmd in the current folder is no VS Code",
     .args = "--uninstall", .files = kInstalled + "|Programs\\Palvex\\my\\notes=x",
     .planted = "code.cmd",
     .path = L"REG_SZ:;C:\\A;;<bin>;  C:\\B ;<BIN>;  ;" + kNearBin,
     .out = kRemoving + kPathRemoved + "  Deleted installed files\n" + kRemoved + kPause,
     .files_after = "", .path_after = L"REG_EXPAND_SZ:C:\\A;  C:\\B ;" + kNearBin},
    {.what = "install leaves a Path it cannot read exactly alone and says what to do",
     .args = "-i", .path = L"REG_EXPAND_SZ:" + kUnreadable,
     .out = kInstalling + "  WARNING: could not read your PATH, so it was left unchanged\n"
            "        (add <bin> to your PATH yourself)\n" + kNoEditorHint + kDone + kPause,
     .files_after = kInstalled},
    {.what = "install into a Path the user may not change warns and goes on",
     .args = "-i", .path = L"REG_SZ:C:\\A", .path_locked = true,
     .out = kInstalling + "  WARNING: could not update PATH\n" + kNoEditorHint + kDone + kPause,
     .files_after = kInstalled},
    {.what = "uninstall from a Path the user may not change reports the removal and leaves it be",
     .args = "-u", .path = L"REG_SZ:C:\\A;<bin>", .path_locked = true,
     .out = kRemoving + kPathRemoved + kRemoved + kPause},
    {.what = "a tool that cannot be replaced, here a folder in its place, stops the install with 1",
     .args = "-i", .files = "Programs\\Palvex\\bin\\palvex.exe\\x=folder",
     .out = kStopped + "  ERROR: could not write palvex.exe\n" + kPause, .exit_code = 1},
    {.what = "a bin folder that cannot be created stops the install with 1",
     .args = "-i", .files = "Programs=x",
     .out = kStopped + "  ERROR: could not create <bin>\n" + kPause, .exit_code = 1},
    {.what = "a failed extension install is a note and the install still ends with 0; a Path value "
             "of any type, here bytes without a terminating zero, is text up to its first zero "
             "byte; a COMSPEC that names no file runs no planted cmd.exe",
     .args = "-i", .planted = "cmd.exe", .comspec = L"<system>\\missing.exe",
     .path = L"REG_BINARY:C:\\A;", .code = 1,
     .out = kInstalling + kAdded + "  Note: VS Code extension install did not complete\n" + kDone +
            kPause,
     .files_after = kInstalled, .path_after = L"REG_EXPAND_SZ:C:\\A;<bin>",
     .code_calls = kInstallCall},
    {.what = "a package that cannot be written skips the editor without a word",
     .args = "-i", .files = "Programs\\Palvex\\palvex-extension.vsix\\x=folder", .code = 0,
     .out = kInstalling + kAdded + kDone + kPause,
     .files_after = "Programs\\Palvex\\bin\\palvex.exe=tool|"
                    "Programs\\Palvex\\palvex-extension.vsix\\x=folder",
     .path_after = L"REG_EXPAND_SZ:<bin>"},
    {.what = "uninstall leaves a Path that does not list the bin folder as it was, and removes the "
             "extension whatever VS Code answers; a COMSPEC that names a folder runs no planted "
             "cmd.exe",
     .args = "-u", .planted = "cmd.exe", .comspec = L"<system>", .path = L"REG_SZ:C:\\A;;C:\\B;",
     .code = 1,
     .out = kRemoving + "  Removed the VS Code extension\n" + kRemoved + kPause, .files_after = "",
     .code_calls = "[--uninstall-extension] [palvex.palvex-lang] [] [] guard=[1] in=[<windows>]\n"},
};
// clang-format on

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::string Folder(UINT (*get)(char*, UINT)) {
  char folder[MAX_PATH];
  return std::string(folder, get(folder, MAX_PATH));
}
const std::string kSystem = Folder(GetSystemDirectoryA), kWindows = Folder(GetSystemWindowsDirectoryA);

// `text` with the row's folders in place of <root>, <bin>, <BIN> and <Dbin>, the system's in place
// of <system> and <windows>, and "\n" as CR LF.
template <typename S>
S Fill(S text, const std::string& root) {
  const std::string bin = root + "\\bin", dbin = (root[0] == 'D' ? "E" : "D") + bin.substr(1);
  std::string upper = bin;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  const std::pair<std::string, std::string> fills[] = {
      {"<root>", root},      {"<bin>", bin},          {"<BIN>", upper}, {"<Dbin>", dbin},
      {"<system>", kSystem}, {"<windows>", kWindows}, {"\n", "\r\n"}};
  for (const auto& [from, to] : fills) {
    for (size_t at = 0; (at = text.find(S(from.begin(), from.end()), at)) != S::npos;) {
      text.replace(at, from.size(), S(to.begin(), to.end()));
      at += to.size();
    }
  }
  return text;
}

std::string Read(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The setup under test, its payloads, the fixtures and the planted files travel with this program
// (bundle/CMakeLists.txt).
const fs::path kHere = [] {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(/*hModule=*/nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}();
const std::string kTool = Read(kHere / "payload" / "palvex.exe");
const std::string kVsix = Read(kHere / "payload" / "palvex-extension.vsix");

const bool kWine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;

void MakeFiles(const fs::path& root, const std::string& files) {
  for (size_t start = 0, end; start < files.size(); start = end + 1) {
    end = std::min(files.find('|', start), files.size());
    const std::string file = files.substr(start, end - start);
    const std::string content = file.substr(file.rfind('=') + 1);
    const fs::path path = root / file.substr(0, file.rfind('='));
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        << (content.starts_with("tool") ? kTool + content.substr(4)
            : content == "vsix"         ? kVsix
                                        : content);
  }
}

std::string ListFiles(const fs::path& root) {
  std::set<std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_directory()) continue;
    const std::string content = Read(entry.path());
    files.insert(fs::relative(entry.path(), root).string() + "=" +
                 (content.starts_with(kTool) ? "tool" + content.substr(kTool.size())
                  : content == kVsix         ? "vsix"
                                             : content));
  }
  std::string joined;
  for (const std::string& file : files) joined += (joined.empty() ? "" : "|") + file;
  return joined;
}

// The user Path value in the rows' form, its stored terminating zero included.
std::wstring ReadPath() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_QUERY_VALUE, &key)) return L"";
  wchar_t data[4096];
  DWORD type, size = sizeof(data);
  const LONG status =
      RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return L"";
  return (type == REG_SZ          ? L"REG_SZ:"
          : type == REG_EXPAND_SZ ? L"REG_EXPAND_SZ:"
                                  : L"other:") +
         std::wstring(data, size / sizeof(wchar_t));
}

// Stores a value given in the rows' form: text with one terminating zero, or for REG_BINARY its
// ASCII bytes alone.
void WritePath(const std::wstring& value) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"Path");
  if (value.empty()) return;
  const size_t colon = value.find(L':');
  const std::wstring type = value.substr(0, colon), text = value.substr(colon + 1) + L'\0';
  const std::string bytes(text.begin(), text.end() - 1);
  const bool binary = type == L"REG_BINARY";
  ASSERT_EQ(
      RegSetKeyValueW(HKEY_CURRENT_USER, L"Environment", L"Path",
                      binary ? REG_BINARY : (type == L"REG_SZ" ? REG_SZ : REG_EXPAND_SZ),
                      binary ? static_cast<const void*>(bytes.data()) : text.data(),
                      static_cast<DWORD>(binary ? bytes.size() : text.size() * sizeof(text[0]))),
      ERROR_SUCCESS)
      << "cannot store the Path value";
}

// Runs the setup from `folder`, the current folder too, with pipes for its standard handles, and
// gives its exit code and output. One that still runs 10 s after its input, with that input left
// open, waits for a key: it is stopped and reported as kWaiting.
void RunSetup(const Row& row, const fs::path& folder, int* exit_code, std::string* output) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  HANDLE ends[4];
  ASSERT_TRUE(CreatePipe(&ends[0], &ends[1], &inherit, 0)) << "input pipe: " << GetLastError();
  UniqueHandle child_in(ends[0]), in(ends[1]);
  ASSERT_TRUE(CreatePipe(&ends[2], &ends[3], &inherit, 1 << 16))
      << "output pipe: " << GetLastError();
  UniqueHandle out(ends[2]), child_out(ends[3]);
  SetHandleInformation(in.get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(out.get(), HANDLE_FLAG_INHERIT, 0);

  std::wstring command = L"palvex-setup.exe " + std::wstring(row.args.begin(), row.args.end());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_in.get();
  startup.hStdOutput = startup.hStdError = child_out.get();
  PROCESS_INFORMATION started;
  ASSERT_TRUE(
      CreateProcessW((folder / "palvex-setup.exe").c_str(), command.data(), nullptr, nullptr,
                     /*bInheritHandles=*/TRUE, 0, nullptr, folder.c_str(), &startup, &started))
      << "cannot start the setup: " << GetLastError();
  const UniqueHandle process(started.hProcess), thread(started.hThread);
  child_in.reset();
  child_out.reset();

  DWORD count;
  WriteFile(in.get(), row.input.data(), static_cast<DWORD>(row.input.size()), &count, nullptr);
  if (row.input_ends) in.reset();
  if (WaitForSingleObject(process.get(), row.input_ends ? 60000 : 10000) == WAIT_TIMEOUT) {
    TerminateProcess(process.get(), kWaiting);
    WaitForSingleObject(process.get(), INFINITE);
  }
  DWORD code;
  GetExitCodeProcess(process.get(), &code);
  *exit_code = static_cast<int>(code);
  char buffer[4096];
  while (ReadFile(out.get(), buffer, sizeof(buffer), &count, nullptr) && count > 0) {
    output->append(buffer, count);
  }
}

// VS Code's stand-in logs its calls here, and a window that listens as Explorer does its
// broadcasts.
const fs::path kCallLog = fs::temp_directory_path() / "palvex-e2e-calls.log";

// Other programs broadcast settings changes too, with other texts or none.
LRESULT CALLBACK Listen(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  const char* text = reinterpret_cast<const char*>(lparam);
  if (message == WM_SETTINGCHANGE && text != nullptr && std::strcmp(text, "Environment") == 0) {
    std::ofstream(kCallLog, std::ios::app) << "[" << text << "] wParam=[" << wparam << "]\n";
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// The account's own Path value and Environment key DACL, saved before the first row and put back
// after the last: the rows change both, and Explorer keeps what a row last broadcast. A run that
// finds them saved was killed before it put them back, and does that first. In the user's own temp
// folder, where Windows points TEMP, rather than in TEMP: Wine leaves TEMP out of the environment
// of programs started while the key is locked, as it is after a kill.
const fs::path kSaved = [] {
  const wchar_t* local_app_data = _wgetenv(L"LOCALAPPDATA");
  return fs::path(local_app_data ? local_app_data : L"") / "Temp" / "palvex-e2e-account.saved";
}();

// The Environment key's DACL as SDDL, a newline, the Path value's type or "none", a newline and the
// value's bytes; "" when they cannot be read.
std::string ReadAccount() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_QUERY_VALUE | READ_CONTROL, &key)) {
    return "";
  }
  std::string dacl(1 << 16, '\0'), value(1 << 17, '\0');
  DWORD dacl_size = dacl.size(), type, size = value.size();
  const LONG status =
      RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size);
  char* sddl = nullptr;
  if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, dacl.data(), &dacl_size) == 0) {
    ConvertSecurityDescriptorToStringSecurityDescriptorA(dacl.data(), SDDL_REVISION_1,
                                                         DACL_SECURITY_INFORMATION, &sddl, nullptr);
  }
  RegCloseKey(key);
  if (sddl == nullptr || (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)) return "";
  const std::string kind = status == ERROR_SUCCESS ? std::to_string(type) : "none";
  const std::string account = sddl + ("\n" + kind + "\n") + value.substr(0, status ? 0 : size);
  LocalFree(sddl);
  return account;
}

void SetEnvironmentDacl(const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                   &descriptor, nullptr))
      << "not a DACL: " << sddl;
  HKEY key;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, WRITE_DAC, &key);
  if (status == ERROR_SUCCESS) {
    status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    RegCloseKey(key);
  }
  LocalFree(descriptor);
  ASSERT_EQ(status, ERROR_SUCCESS) << "cannot give the Environment key the DACL " << sddl;
}

// Puts the saved account back and broadcasts it, so that Explorer takes the user's own Path back.
void RestoreAccount() {
  const std::string saved = Read(kSaved);
  const size_t dacl_end = saved.find('\n'), type_end = saved.find('\n', dacl_end + 1);
  ASSERT_NE(type_end, std::string::npos) << kSaved << " holds no saved account";
  ASSERT_NO_FATAL_FAILURE(SetEnvironmentDacl(saved.substr(0, dacl_end)));
  const std::string type = saved.substr(dacl_end + 1, type_end - dacl_end - 1);
  const std::string value = saved.substr(type_end + 1);
  const LONG status =
      type == "none" ? RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"Path")
                     : RegSetKeyValueW(HKEY_CURRENT_USER, L"Environment", L"Path", std::stoul(type),
                                       value.data(), static_cast<DWORD>(value.size()));
  ASSERT_TRUE(status == ERROR_SUCCESS || (type == "none" && status == ERROR_FILE_NOT_FOUND))
      << "cannot put the Path value back: " << status;
  SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  fs::remove(kSaved);
}

// Adds to the Environment key's own DACL, first, an entry that denies everyone setting values, as
// a policy may; or puts the saved DACL back.
void LockPath(bool lock) {
  const std::string saved = Read(kSaved);
  std::string sddl = saved.substr(0, saved.find('\n'));
  if (lock) sddl.insert(std::min(sddl.find('('), sddl.size()), "(D;;0x2;;;WD)");
  SetEnvironmentDacl(sddl);
}

class EndToEnd : public ::testing::TestWithParam<Row> {
 protected:
  static void SetUpTestSuite() {
    if (fs::exists(kSaved)) {
      ASSERT_NO_FATAL_FAILURE(RestoreAccount());
    }
    const std::string account = ReadAccount(), part = kSaved.string() + ".part";
    ASSERT_NE(account, "") << "cannot read the Path value or the Environment key's DACL";
    fs::create_directories(kSaved.parent_path());
    std::ofstream(part, std::ios::binary) << account;
    // Only a whole file counts: the next run would restore from a half-written one.
    ASSERT_EQ(Read(part), account) << "cannot save the account in " << part;
    fs::rename(part, kSaved);
    const UniqueHandle listening(CreateEventA(nullptr, /*bManualReset=*/TRUE, FALSE, nullptr));
    std::thread([event = listening.get()] {
      WNDCLASSA kind = {};
      kind.lpfnWndProc = Listen;
      kind.lpszClassName = "Listener";
      RegisterClassA(&kind);
      CreateWindowA(kind.lpszClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                    nullptr);
      SetEvent(event);
      for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;) DispatchMessageA(&message);
    }).detach();
    WaitForSingleObject(listening.get(), INFINITE);
    // Windows of a program that hangs: this thread never reads their messages. The broadcast must
    // pass them by at once; waiting 5 s on each would keep a row running past its 10 s.
    HWND hung = nullptr;
    for (int i = 0; i < 3; ++i) {
      hung = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    }
    for (int i = 0; i < 300 && !IsHungAppWindow(hung); ++i) Sleep(100);
    ASSERT_TRUE(IsHungAppWindow(hung)) << "the windows were never taken for hung";
  }
  static void TearDownTestSuite() { RestoreAccount(); }
};

TEST_P(EndToEnd, Row) {
  const Row& row = GetParam();
  const fs::path scratch = fs::temp_directory_path() / "palvex-e2e-z";
  fs::remove_all(scratch);
  fs::remove(kCallLog);
  const bool named = row.local_app_data && *row.local_app_data;
  const fs::path local = scratch / (named ? row.local_app_data : "Local");
  fs::create_directories(local);
  MakeFiles(local, row.files);
  const std::string root = (named ? local.string() : "") + "\\Programs\\Palvex";
  ASSERT_NO_FATAL_FAILURE(WritePath(Fill(row.path, root)));
  SetEnvironmentVariableW(L"LOCALAPPDATA",
                          row.local_app_data ? (named ? local.wstring() : L"").c_str() : nullptr);
  // Wine 8's own where.exe finds any name.
  std::wstring path = kWine ? (kHere / "fixtures" / "where;").wstring() : L"";
  if (row.code != kNoEditor) path += (kHere / "fixtures" / "code;").wstring();
  SetEnvironmentVariableW(L"PATH", (path + fs::path(kSystem).wstring()).c_str());
  SetEnvironmentVariableW(L"COMSPEC",
                          row.comspec ? Fill<std::wstring>(row.comspec, root).c_str() : nullptr);
  SetEnvironmentVariableW(L"PALVEX_CODE_EXIT", std::to_wstring(row.code).c_str());
  SetEnvironmentVariableW(L"PALVEX_CODE_LOG", kCallLog.wstring().c_str());
  // Planted files log to the call log when they run or load (see bundle/wine-run.in for DLLs).
  fs::path folder = kHere;
  if (!row.planted.empty()) {
    folder = scratch / "Downloads";
    fs::create_directories(folder);
    fs::copy_file(kHere / "palvex-setup.exe", folder / "palvex-setup.exe");
    std::istringstream names(row.planted);
    for (std::string name; names >> name;) {
      fs::copy_file(kHere / "planted" / ("planted" + fs::path(name).extension().string()),
                    folder / name);
    }
  }
  // Counted, not emptied: on Windows the bin may hold the account's own items.
  SHQUERYRBINFO bin = {sizeof(bin), 0, 0}, bin_after = bin;
  ASSERT_EQ(SHQueryRecycleBinW(nullptr, &bin), S_OK) << "cannot count the Recycle Bin";
  if (row.path_locked) {
    ASSERT_NO_FATAL_FAILURE(LockPath(true));
  }
  int exit_code = kWaiting;
  std::string out;
  RunSetup(row, folder, &exit_code, &out);
  if (row.path_locked) LockPath(false);
  if (HasFatalFailure()) return;

  EXPECT_EQ(out, Fill(row.out, root));
  EXPECT_EQ(exit_code, row.exit_code);
  const std::wstring value = Fill(row.path_after == L"=" ? row.path : row.path_after, root);
  EXPECT_EQ(ReadPath(), value.empty() ? value : value + L'\0');
  EXPECT_EQ(ListFiles(local), row.files_after == "=" ? row.files : row.files_after);
  EXPECT_EQ(SHQueryRecycleBinW(nullptr, &bin_after), S_OK);
  EXPECT_EQ(bin_after.i64NumItems, bin.i64NumItems) << "items the setup put in the Recycle Bin";
  // The Path changes only when stored, and a store is broadcast once, before VS Code runs.
  const std::string broadcast = row.path_after == L"=" ? "" : "[Environment] wParam=[0]\n";
  EXPECT_EQ(Read(kCallLog), Fill(broadcast + row.code_calls, root));
}

// Each row is a test named by its sentence up to the first punctuation mark:
// --gtest_filter='*install_twice*' runs that row alone.
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
  std::string name = info.param.what;
  name = name.substr(0, name.find_first_of(",;:"));
  for (char& c : name) c = std::isalnum(c) ? c : '_';
  return name;
}
INSTANTIATE_TEST_SUITE_P(Rows, EndToEnd, ::testing::ValuesIn(kRows), RowName);

}  // namespace
