// The editor phases, against the test's `where` and a fake `code.cmd` that logs each call as
//   <the whole argument line>
//   args: [%1] [%2] [%3] [%4]
//   NoDefaultCurrentDirectoryInExePath=[<value>]
#include "harness.h"
#include "package_identifier.h"

namespace {

class Editor : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    // A known PATH, so that whole outputs can be compared.
    WriteRegistryPath({true, REG_EXPAND_SZ, std::wstring(L"C:\\windows\\system32") + L'\0'});
  }

  std::string Package() const { return install_root() + "\\palvex-extension.vsix"; }
  std::string InstallArgs() const {
    return "args: [--install-extension] [\"" + Package() + "\"] [--force] []";
  }

  // The argument lines of every call the fake code.cmd logged, in order.
  std::vector<std::string> CodeCalls() const {
    std::vector<std::string> calls;
    const std::string log = CodeLog();
    size_t start = 0;
    while (start < log.size()) {
      size_t end = log.find('\n', start);
      if (end == std::string::npos) end = log.size();
      std::string line = log.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.rfind("args: ", 0) == 0) calls.push_back(line);
      start = end + 1;
    }
    return calls;
  }
};

TEST_F(Editor, WithoutVsCodeInstallSaysHowToInstallLaterAndUninstallStaysSilent) {
  Finished run = RunSetup({"-i"}, "\r\n", Env());
  EXPECT_EQ(run.output, InstallHeading() +
                            Crlf("  Installed palvex.exe\n"
                                 "  Added Palvex to your PATH\n"
                                 "  VS Code not found; skipped the editor extension\n"
                                 "        (install later with: code --install-extension \"" +
                                 Package() + "\")\n") +
                            kInstallDone + kPause);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(ReadFileBytes(Package()),
            ReadFileBytes(std::string(PALVEX_EMBEDDED_DIR) + "/palvex-extension.vsix"));

  run = RunSetup({"-u"}, "\r\n", Env());
  EXPECT_EQ(run.output, UninstallHeading() +
                            Crlf("  Removed Palvex from your PATH\n"
                                 "  Deleted installed files\n") +
                            kUninstallDone + kPause);
  EXPECT_TRUE(CodeCalls().empty());
}

TEST_F(Editor, InstallReportsByTheExitCodeOfCode) {
  code_on_path_ = true;
  const std::pair<int, const char*> cases[] = {
      {0, "  Installed the VS Code extension\n"},
      {1, "  Note: VS Code extension install did not complete\n"},
      {9009, "  Note: VS Code extension install did not complete\n"},
  };
  for (const auto& [exit_code, line] : cases) {
    SCOPED_TRACE("code exits with " + std::to_string(exit_code));
    code_exit_code_ = exit_code;
    const Finished run = RunSetup({"-i"}, "\r\n", Env());
    EXPECT_NE(run.output.find(Crlf(line) + kInstallDone), std::string::npos) << run.output;
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(FileExists(Package()));
  }
}

TEST_F(Editor, InstallTwiceSendsTheSameForcedInstallCommand) {
  code_on_path_ = true;
  ASSERT_EQ(RunSetup({"-i"}, "\r\n", Env()).exit_code, 0);
  ASSERT_EQ(RunSetup({"-i"}, "\r\n", Env()).exit_code, 0);
  EXPECT_EQ(CodeCalls(), std::vector<std::string>({InstallArgs(), InstallArgs()}));
}

TEST_F(Editor, PackagePathReachesCodeAsOneArgumentWhateverItsCharacters) {
  code_on_path_ = true;
  // Blanks, and everything cmd.exe treats specially outside double quotes (but %).
  const std::string names[] = {"Local With Blanks", "a&b",        "x (y)", "c^d",
                               "s;t,u=v",           "& (^) ;,= !"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    local_app_data_ = scratch_ + "\\" + name;
    DeleteFileA((scratch_ + "\\code.log").c_str());
    const Finished run = RunSetup({"-i"}, "\r\n", Env());
    EXPECT_NE(run.output.find(Crlf("  Installed the VS Code extension\n")), std::string::npos)
        << run.output;
    EXPECT_EQ(CodeCalls(), std::vector<std::string>({InstallArgs()}));
  }
}

TEST_F(Editor, UninstallRemovesTheExtensionNamedInThePackageWhateverCodeAnswers) {
  code_on_path_ = true;
  const std::string uninstall_args =
      std::string("args: [--uninstall-extension] [") + PALVEX_PACKAGE_IDENTIFIER + "] [] []";
  for (int exit_code : {0, 1}) {
    SCOPED_TRACE("code exits with " + std::to_string(exit_code));
    code_exit_code_ = exit_code;
    DeleteFileA((scratch_ + "\\code.log").c_str());
    const Finished run = RunSetup({"-u"}, "\r\n", Env());
    EXPECT_EQ(run.output, UninstallHeading() + Crlf("  Removed the VS Code extension\n") +
                              kUninstallDone + kPause);
    EXPECT_EQ(CodeCalls(), std::vector<std::string>({uninstall_args}));
  }
}

TEST_F(Editor, UnwritablePackageSkipsTheEditorSilently) {
  code_on_path_ = true;
  CreateFolders(Package());  // a folder where the package file belongs
  const Finished run = RunSetup({"-i"}, "\r\n", Env());
  EXPECT_EQ(run.output, InstallHeading() +
                            Crlf("  Installed palvex.exe\n"
                                 "  Added Palvex to your PATH\n") +
                            kInstallDone + kPause);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_TRUE(CodeCalls().empty());
}

TEST_F(Editor, ChildCommandsAreToldNotToSearchTheCurrentFolder) {
  // cmd.exe asks NeedCurrentDirectoryForExePath, which this variable answers, before it looks for
  // `where` and `code` in the current folder. Wine's cmd.exe does not ask, so a planted code.cmd
  // in the current folder would run here anyway; what can be shown is that the guard reaches the
  // commands the setup starts.
  code_on_path_ = true;
  ASSERT_EQ(RunSetup({"-i"}, "\r\n", Env()).exit_code, 0);
  ASSERT_EQ(RunSetup({"-u"}, "\r\n", Env()).exit_code, 0);
  const std::string log = CodeLog();
  size_t guards = 0;
  for (size_t at = log.find("NoDefaultCurrentDirectoryInExePath=[1]"); at != std::string::npos;
       at = log.find("NoDefaultCurrentDirectoryInExePath=[1]", at + 1)) {
    ++guards;
  }
  EXPECT_EQ(guards, 2u) << log;
}

}  // namespace
