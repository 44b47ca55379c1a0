// The PATH phases in the built setup, whose manifest makes its A calls speak UTF-8: the status
// lines in the whole output, and the user's Path value as the registry stores it in UTF-16.
#include <cctype>
#include <string>

#include "harness.h"

namespace {

using namespace std::literals;

RegistryPath Stored(DWORD type, const std::wstring& text) { return {true, type, text + L'\0'}; }

void ExpectStored(const RegistryPath& expected) {
  const RegistryPath actual = ReadRegistryPath();
  EXPECT_EQ(actual.exists, expected.exists);
  EXPECT_EQ(actual.type, expected.type);
  EXPECT_EQ(actual.text, expected.text);
}

class PathPhases : public SetupTest {
 protected:
  void SetUp() override {
    SetupTest::SetUp();
    code_on_path_ = true;  // keeps the editor's lines short and fixed
  }

  std::wstring Bin() const { return Wide(bin_folder()); }

  Finished Run(const char* switch_name) { return RunSetup({switch_name}, "\r\n", Env()); }

  std::string InstallOutput(const std::string& path_lines) const {
    return InstallHeading() +
           Crlf("  Installed palvex.exe\n" + path_lines + "  Installed the VS Code extension\n") +
           kInstallDone + kPause;
  }
  std::string UninstallOutput(const std::string& path_lines, bool installed) const {
    return UninstallHeading() +
           Crlf(path_lines + (installed ? "  Deleted installed files\n" : "") +
                "  Removed the VS Code extension\n") +
           kUninstallDone + kPause;
  }
};

TEST_F(PathPhases, PrintsExactlyOneOutcomeForThePath) {
  std::string upper_bin_utf8 = bin_folder();
  for (char& c : upper_bin_utf8) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::wstring upper_bin = Wide(upper_bin_utf8);
  // A lone surrogate reaches a UTF-8 A call as U+FFFD; written back it would ruin the entry.
  const std::wstring lone_surrogate = L"C:\\A\xd800\\bin;"s + Bin() + L";C:\\B";
  const std::string not_read =
      "  WARNING: could not read your PATH, so it was left unchanged\n"
      "        (add " +
      bin_folder() + " to your PATH yourself)\n";
  struct Case {
    const char* what;
    const char* switch_name;
    RegistryPath before;
    std::string path_lines;
    RegistryPath after;
  };
  // Uninstalls first: while nothing is installed, no line about deleted files comes.
  const Case cases[] = {
      {"uninstall, listed", "-u", Stored(REG_SZ, L"C:\\A;"s + Bin() + L";;C:\\B"),
       "  Removed Palvex from your PATH\n", Stored(REG_EXPAND_SZ, L"C:\\A;C:\\B")},
      {"uninstall, not listed", "-u", Stored(REG_SZ, L"C:\\A;;C:\\B;"), "",
       Stored(REG_SZ, L"C:\\A;;C:\\B;")},
      {"uninstall, no value", "-u", {}, "", {}},
      {"uninstall, lone surrogate", "-u", Stored(REG_SZ, lone_surrogate), "",
       Stored(REG_SZ, lone_surrogate)},
      {"install, no value",
       "-i",
       {},
       "  Added Palvex to your PATH\n",
       Stored(REG_EXPAND_SZ, Bin())},
      {"install, listed in capitals with blanks", "-i",
       Stored(REG_SZ, L"C:\\A; " + upper_bin + L" "), "  PATH already set\n",
       Stored(REG_SZ, L"C:\\A; " + upper_bin + L" ")},
      {"install, lone surrogate", "-i", Stored(REG_EXPAND_SZ, lone_surrogate), not_read,
       Stored(REG_EXPAND_SZ, lone_surrogate)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteRegistryPath(c.before);
    const Finished run = Run(c.switch_name);
    EXPECT_EQ(run.output, c.switch_name == "-i"s ? InstallOutput(c.path_lines)
                                                 : UninstallOutput(c.path_lines, false));
    ExpectStored(c.after);
  }
}

TEST_F(PathPhases, EntriesOutsideTheLegacyCodePageSurviveInstallAndUninstall) {
  const std::wstring lists[] = {
      L"C:\\Tools\\\u65e5\u672c\\bin",
      L"C:\\\u0418\u043d\u0441\u0442\u0440\u0443\u043c\u0435\u043d\u0442\u044b\\bin;C:\\Caf\u00e9",
      L"%USERPROFILE%\\\U0001F600 emoji\\bin;C:\\A",
  };
  for (const std::wstring& list : lists) {
    SCOPED_TRACE(::testing::PrintToString(list));
    WriteRegistryPath(Stored(REG_EXPAND_SZ, list));
    EXPECT_EQ(Run("-i").output, InstallOutput("  Added Palvex to your PATH\n"));
    ExpectStored(Stored(REG_EXPAND_SZ, list + L";" + Bin()));
    EXPECT_EQ(Run("-u").output, UninstallOutput("  Removed Palvex from your PATH\n", true));
    ExpectStored(Stored(REG_EXPAND_SZ, list));
  }
}

TEST_F(PathPhases, InstallTwiceThenUninstallGivesARealisticPathBackAsExpandable) {
  // No empty entries: uninstall drops those, so only then is the old text given back whole.
  const std::wstring realistic =
      L"C:\\Program Files\\Git\\cmd;"
      L"C:\\Program Files (x86)\\Common Files\\Oracle\\Java\\javapath;"
      L"%USERPROFILE%\\AppData\\Local\\Microsoft\\WindowsApps;"
      L"%USERPROFILE%\\.cargo\\bin;"
      L"C:\\Users\\x\\AppData\\Local\\Programs\\Microsoft VS Code\\bin;"
      L"%LOCALAPPDATA%\\Programs\\Python\\Python312\\Scripts\\;"
      L"%LOCALAPPDATA%\\Programs\\Python\\Python312\\;"
      L"C:\\Program Files\\nodejs\\;"
      L"%APPDATA%\\npm;"
      L"C:\\tools\\msys64\\usr\\bin;"
      L"%LOCALAPPDATA%\\Programs\\Palvex\\bin;"  // not expanded, so never taken for our folder
      L"%USERPROFILE%\\scoop\\shims";
  WriteRegistryPath(Stored(REG_SZ, realistic));

  EXPECT_EQ(Run("-i").output, InstallOutput("  Added Palvex to your PATH\n"));
  ExpectStored(Stored(REG_EXPAND_SZ, realistic + L";" + Bin()));
  EXPECT_EQ(Run("-i").output, InstallOutput("  PATH already set\n"));
  ExpectStored(Stored(REG_EXPAND_SZ, realistic + L";" + Bin()));
  EXPECT_EQ(Run("-u").output, UninstallOutput("  Removed Palvex from your PATH\n", true));
  ExpectStored(Stored(REG_EXPAND_SZ, realistic));
}

}  // namespace
