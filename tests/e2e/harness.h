#pragma once
// Runs the built palvex-setup.exe as a child process, as a user would from a console: its own
// environment, its own standard input, and a pipe on its standard output.

#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// `utf8` in UTF-16, for the wide calls that the tests use to see text unconverted.
std::wstring Wide(const std::string& utf8);

// Windows form of a path the build gave in Unix form (Wine maps / to drive Z:).
std::string WindowsPath(const std::string& unix_path);

// The setup program's console text with "\n" turned into the "\r\n" a text-mode stream writes.
std::string Crlf(const std::string& text);

// What one finished run left.
struct Finished {
  int exit_code = -1;
  std::string output;
};

// Child environment changes: name -> value; a value of kUnset removes the variable.
using EnvChanges = std::map<std::string, std::string>;
extern const char kUnset[];

// One running setup process (or, given `program`, another program, in the same way).
class SetupProcess {
 public:
  SetupProcess(const std::vector<std::string>& args, const EnvChanges& env,
               const std::string& program = "");
  ~SetupProcess();
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  // Sends text to the child's standard input.
  void Write(const std::string& text);
  // Closes the child's standard input: later reads see end of input.
  void CloseInput();
  // Reads output until it ends with `suffix`; false when the child ended or 30 s passed first.
  bool WaitForOutputEndingWith(const std::string& suffix);
  // True when the child is still running `ms` milliseconds from now.
  bool StillRunningAfter(int ms);
  // Closes input, waits for the end (60 s at most) and collects the rest of the output.
  Finished Finish();
  const std::string& output() const { return output_; }

 private:
  // Moves whatever the pipe holds now into output_; false at end of output.
  bool Drain();

  PROCESS_INFORMATION process_ = {};
  HANDLE input_ = nullptr;
  HANDLE output_pipe_ = nullptr;
  std::string output_;
};

// Runs the setup (or `program`) to its end with `input` on standard input.
Finished RunSetup(const std::vector<std::string>& args, const std::string& input,
                  const EnvChanges& env, const std::string& program = "");

// The user's Path value as the registry stores it (read with the wide interface, so no code page
// conversion hides anything).
struct RegistryPath {
  bool exists = false;
  DWORD type = REG_NONE;
  std::wstring text;  // raw UTF-16 data, terminating zero included when stored
};
RegistryPath ReadRegistryPath();
void WriteRegistryPath(const RegistryPath& value);

// Base fixture: a fresh folder per test that stands for LOCALAPPDATA, the user's Path value put
// back afterwards, and a child PATH with the test's `where` first.
class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The environment changes every run gets: LOCALAPPDATA, PATH (with or without the fake `code`),
  // the fake code's log and exit code.
  EnvChanges Env() const;
  std::string install_root() const { return local_app_data_ + "\\Programs\\Palvex"; }
  // The first lines of each procedure for this test's install root, as the console gets them.
  std::string InstallHeading() const;
  std::string UninstallHeading() const;
  std::string bin_folder() const { return install_root() + "\\bin"; }
  // What the fake code.cmd logged, "" when it never ran.
  std::string CodeLog() const;

  std::string scratch_;         // per-test folder, deleted afterwards
  std::string local_app_data_;  // scratch_\Local unless a test changes it
  bool code_on_path_ = false;   // put the fake `code` launcher on PATH
  int code_exit_code_ = 0;      // what the fake `code` returns

 private:
  RegistryPath saved_path_;
};

// The procedures' closing lines and the pause prompt, as the console gets them.
extern const std::string kInstallDone;
extern const std::string kUninstallDone;
extern const std::string kPause;

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
void CreateFolders(const std::string& path);
