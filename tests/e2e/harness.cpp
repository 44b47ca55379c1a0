#include "harness.h"

#include "quote_argument.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

const char kUnset[] = "\x01unset";
const std::string kInstallDone = Crlf("\nDone. Open a NEW terminal and run:  palvex --version\n");
const std::string kUninstallDone =
    Crlf("\nPalvex removed. Restart open terminals to refresh PATH.\n");
const std::string kPause = Crlf("\nPress Enter to close...");

namespace {

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// This process's environment with `changes` applied, as a block for CreateProcessW.
std::wstring EnvironmentBlock(const EnvChanges& changes) {
  std::vector<std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    entries.emplace_back(entry);
  }
  FreeEnvironmentStringsW(block);

  for (const auto& [name_utf8, value] : changes) {
    const std::wstring name = Wide(name_utf8);
    for (auto it = entries.begin(); it != entries.end();) {
      // Names of the drive entries ("=C:=C:\...") start with '='; search after it.
      const size_t equals = it->find(L'=', 1);
      if (SameName(it->substr(0, equals), name)) {
        it = entries.erase(it);
      } else {
        ++it;
      }
    }
    if (value != kUnset) entries.push_back(name + L"=" + Wide(value));
  }

  std::wstring result;
  for (const std::wstring& entry : entries) result += entry + L'\0';
  return result + L'\0';
}

void CloseIfOpen(HANDLE* handle) {
  if (*handle != nullptr) CloseHandle(*handle);
  *handle = nullptr;
}

}  // namespace

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

std::string WindowsPath(const std::string& unix_path) {
  std::string path = "Z:" + unix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string Crlf(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

SetupProcess::SetupProcess(const std::vector<std::string>& args, const EnvChanges& env,
                           const std::string& program) {
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE child_input = nullptr;
  HANDLE child_output = nullptr;
  if (!CreatePipe(&child_input, &input_, &inheritable, 0) ||
      !CreatePipe(&output_pipe_, &child_output, &inheritable, 0)) {
    ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
    return;
  }
  // Only the child's ends may be inherited, or end of input and end of output never come.
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_pipe_, HANDLE_FLAG_INHERIT, 0);

  const std::wstring exe = Wide(program.empty() ? WindowsPath(PALVEX_SETUP_EXE) : program);
  std::wstring command_line = QuoteArgument(exe);
  for (const std::string& arg : args) command_line += L" " + QuoteArgument(Wide(arg));
  std::wstring environment = EnvironmentBlock(env);

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_input;
  startup.hStdOutput = child_output;
  startup.hStdError = child_output;
  if (!CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, /*bInheritHandles=*/TRUE,
                      CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                      &process_)) {
    ADD_FAILURE() << "could not start " << Utf8(exe) << ": " << GetLastError();
  }
  CloseHandle(child_input);
  CloseHandle(child_output);
}

SetupProcess::~SetupProcess() {
  if (process_.hProcess != nullptr) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
    }
    CloseIfOpen(&process_.hProcess);
    CloseIfOpen(&process_.hThread);
  }
  CloseIfOpen(&input_);
  CloseIfOpen(&output_pipe_);
}

void SetupProcess::Write(const std::string& text) {
  DWORD written = 0;
  if (input_ == nullptr ||
      !WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    ADD_FAILURE() << "could not write to the setup's input";
  }
}

void SetupProcess::CloseInput() { CloseIfOpen(&input_); }

bool SetupProcess::Drain() {
  if (output_pipe_ == nullptr) return false;
  DWORD available = 0;
  if (!PeekNamedPipe(output_pipe_, nullptr, 0, nullptr, &available, nullptr)) return false;
  while (available > 0) {
    char buffer[4096];
    DWORD read = 0;
    const DWORD want = available < sizeof(buffer) ? available : sizeof(buffer);
    if (!ReadFile(output_pipe_, buffer, want, &read, nullptr) || read == 0) return false;
    output_.append(buffer, read);
    available -= read;
  }
  return true;
}

bool SetupProcess::WaitForOutputEndingWith(const std::string& suffix) {
  for (int waited = 0; waited < 30000; waited += 10) {
    const bool open = Drain();
    if (output_.size() >= suffix.size() &&
        output_.compare(output_.size() - suffix.size(), suffix.size(), suffix) == 0) {
      return true;
    }
    if (!open) return false;
    Sleep(10);
  }
  return false;
}

bool SetupProcess::StillRunningAfter(int ms) {
  return process_.hProcess != nullptr &&
         WaitForSingleObject(process_.hProcess, static_cast<DWORD>(ms)) == WAIT_TIMEOUT;
}

Finished SetupProcess::Finish() {
  Finished finished;
  CloseInput();
  if (process_.hProcess == nullptr) return finished;
  if (WaitForSingleObject(process_.hProcess, 60000) != WAIT_OBJECT_0) {
    ADD_FAILURE() << "the setup did not end within 60 s; output so far:\n" << output_;
    TerminateProcess(process_.hProcess, 99);
  }
  while (true) {
    char buffer[4096];
    DWORD read = 0;
    if (!ReadFile(output_pipe_, buffer, sizeof(buffer), &read, nullptr) || read == 0) break;
    output_.append(buffer, read);
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  finished.exit_code = static_cast<int>(code);
  finished.output = output_;
  return finished;
}

Finished RunSetup(const std::vector<std::string>& args, const std::string& input,
                  const EnvChanges& env, const std::string& program) {
  SetupProcess setup(args, env, program);
  if (!input.empty()) setup.Write(input);
  return setup.Finish();
}

RegistryPath ReadRegistryPath() {
  RegistryPath value;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Environment", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return value;
  }
  DWORD size = 0;
  if (RegQueryValueExW(key, L"Path", nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    std::wstring data((size + 1) / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(key, L"Path", nullptr, &value.type, reinterpret_cast<BYTE*>(data.data()),
                         &size) == ERROR_SUCCESS) {
      value.exists = true;
      data.resize(size / sizeof(wchar_t));
      value.text = data;
    }
  }
  RegCloseKey(key);
  return value;
}

void WriteRegistryPath(const RegistryPath& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Environment", 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  if (value.exists) {
    EXPECT_EQ(RegSetValueExW(key, L"Path", 0, value.type,
                             reinterpret_cast<const BYTE*>(value.text.data()),
                             static_cast<DWORD>(value.text.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
  } else {
    const LONG status = RegDeleteValueW(key, L"Path");
    EXPECT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
  }
  RegCloseKey(key);
}

void SetupTest::SetUp() {
  saved_path_ = ReadRegistryPath();
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  scratch_ = Utf8(temp) + "palvex-test-" + std::to_string(GetCurrentProcessId()) + "-" +
             info->test_suite_name() + "." + info->name();
  std::error_code ignored;
  fs::remove_all(fs::u8path(scratch_), ignored);
  CreateFolders(scratch_);
  local_app_data_ = scratch_ + "\\Local";
  CreateFolders(local_app_data_);
}

void SetupTest::TearDown() {
  WriteRegistryPath(saved_path_);
  std::error_code ignored;
  fs::remove_all(fs::u8path(scratch_), ignored);
}

std::string SetupTest::InstallHeading() const {
  return Crlf("\nInstalling Palvex to " + install_root() + "\n\n");
}

std::string SetupTest::UninstallHeading() const {
  return Crlf("\nRemoving Palvex from " + install_root() + "\n\n");
}

EnvChanges SetupTest::Env() const {
  std::string path = WindowsPath(PALVEX_FIXTURE_WHERE_DIR);
  if (code_on_path_) path += ";" + WindowsPath(PALVEX_FIXTURE_CODE_DIR);
  path += ";C:\\windows\\system32;C:\\windows";
  return {
      {"LOCALAPPDATA", local_app_data_},
      {"PATH", path},
      {"PALVEX_FAKE_CODE_LOG", scratch_ + "\\code.log"},
      {"PALVEX_FAKE_CODE_EXIT", std::to_string(code_exit_code_)},
  };
}

std::string SetupTest::CodeLog() const {
  const std::string path = scratch_ + "\\code.log";
  return FileExists(path) ? ReadFileBytes(path) : "";
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::is_regular_file(fs::u8path(path), ignored);
}

bool FolderExists(const std::string& path) {
  std::error_code ignored;
  return fs::is_directory(fs::u8path(path), ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(fs::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(fs::u8path(path), std::ios::binary);
  file << bytes;
  ASSERT_TRUE(file.good()) << path;
}

void CreateFolders(const std::string& path) {
  std::error_code error;
  fs::create_directories(fs::u8path(path), error);
  ASSERT_FALSE(error) << path << ": " << error.message();
}
