// The install location and the program files: what install writes and uninstall deletes.
#include "harness.h"

#include <winver.h>

namespace {

using ProgramFiles = SetupTest;

const std::string kToolError = Crlf("  ERROR: could not write palvex.exe\n");

std::string EmbeddedTool() {
  return ReadFileBytes(std::string(PALVEX_EMBEDDED_DIR) + "/palvex.exe");
}

TEST_F(ProgramFiles, InstallWritesTheEmbeddedToolThatThenRuns) {
  const Finished run = RunSetup({"-i"}, "\r\n", Env());
  ASSERT_EQ(run.exit_code, 0) << run.output;
  const std::string tool = bin_folder() + "\\palvex.exe";
  ASSERT_EQ(ReadFileBytes(tool), EmbeddedTool());

  const Finished version = RunSetup({"--version"}, "", Env(), tool);
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.output, Crlf("palvex 0.5.0\n"));
}

TEST_F(ProgramFiles, ReinstallReplacesAChangedTool) {
  ASSERT_EQ(RunSetup({"-i"}, "\r\n", Env()).exit_code, 0);
  WriteFileBytes(bin_folder() + "\\palvex.exe", "not the tool");
  const Finished run = RunSetup({"-i"}, "\r\n", Env());
  EXPECT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(ReadFileBytes(bin_folder() + "\\palvex.exe"), EmbeddedTool());
}

TEST_F(ProgramFiles, LockedToolStopsTheInstallAndLeavesItsFolders) {
  ASSERT_EQ(RunSetup({"-i"}, "\r\n", Env()).exit_code, 0);
  const std::string tool = bin_folder() + "\\palvex.exe";
  // A running palvex.exe holds its image this way.
  HANDLE held = CreateFileA(tool.c_str(), GENERIC_READ, /*dwShareMode=*/0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const Finished run = RunSetup({"-i"}, "\r\n", Env());
  CloseHandle(held);

  EXPECT_EQ(run.output, InstallHeading() + kToolError + kPause);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_TRUE(FolderExists(bin_folder()));
}

TEST_F(ProgramFiles, InstallStopsWhenTheBinFolderCannotBeHad) {
  // A plain file named bin counts as existing, so only the tool write fails.
  CreateFolders(install_root());
  WriteFileBytes(bin_folder(), "a file, not a folder");
  Finished run = RunSetup({"-i"}, "\r\n", Env());
  EXPECT_EQ(run.output, InstallHeading() + kToolError + kPause);
  EXPECT_EQ(run.exit_code, 1);

  // Below a plain file no folder can be made at all.
  local_app_data_ = scratch_ + "\\plain-file";
  WriteFileBytes(local_app_data_, "x");
  run = RunSetup({"-i"}, "\r\n", Env());
  EXPECT_EQ(run.output,
            InstallHeading() + Crlf("  ERROR: could not create " + bin_folder() + "\n") + kPause);
  EXPECT_EQ(run.exit_code, 1);
}

TEST_F(ProgramFiles, MissingLocalAppDataStopsEitherProcedureBeforeAnything) {
  for (const char* args : {"-i", "-u"}) {
    for (const std::string& value : {std::string(kUnset), std::string()}) {
      SCOPED_TRACE(std::string(args) + (value.empty() ? " with LOCALAPPDATA empty" : " unset"));
      EnvChanges env = Env();
      env["LOCALAPPDATA"] = value;
      const Finished run = RunSetup({args}, "\r\n", env);
      EXPECT_EQ(run.output, Crlf("  ERROR: LOCALAPPDATA is not set.\n") + kPause);
      EXPECT_EQ(run.exit_code, 1);
    }
  }
  EXPECT_FALSE(FolderExists(install_root()));
}

TEST_F(ProgramFiles, InstallRootIsBuiltWithoutRepair) {
  // Blanks and a trailing backslash: the path is used exactly as the variable gives it.
  const std::string folders[] = {scratch_ + "\\Local With Blanks", scratch_ + "\\Local\\"};
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    local_app_data_ = folder;
    Finished run = RunSetup({"-i"}, "\r\n", Env());
    EXPECT_EQ(run.output.rfind(InstallHeading(), 0), 0u) << run.output;
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(ReadFileBytes(bin_folder() + "\\palvex.exe"), EmbeddedTool());

    run = RunSetup({"-u"}, "\r\n", Env());
    EXPECT_EQ(run.output.rfind(UninstallHeading(), 0), 0u) << run.output;
    EXPECT_FALSE(FolderExists(install_root()));
  }
}

TEST_F(ProgramFiles, UninstallDeletesEverythingUnderTheInstallRoot) {
  ASSERT_EQ(RunSetup({"-i"}, "\r\n", Env()).exit_code, 0);
  CreateFolders(install_root() + "\\notes\\deeper");
  WriteFileBytes(install_root() + "\\notes\\deeper\\mine.txt", "the user's own file");
  WriteFileBytes(bin_folder() + "\\extra.dll", "x");

  const Finished run = RunSetup({"-u"}, "\r\n", Env());
  EXPECT_NE(run.output.find(Crlf("  Deleted installed files\n")), std::string::npos) << run.output;
  EXPECT_FALSE(FolderExists(install_root()));
  EXPECT_TRUE(FolderExists(local_app_data_ + "\\Programs")) << "only the install root goes";
}

TEST_F(ProgramFiles, UninstallWithNothingInstalledPrintsOnlyHeadingAndClosingLine) {
  const Finished run = RunSetup({"-u"}, "\r\n", Env());
  EXPECT_EQ(run.output, UninstallHeading() + kUninstallDone + kPause);
  EXPECT_EQ(run.exit_code, 0);
}

TEST_F(ProgramFiles, ExecutableCarriesItsManifestAndVersion) {
  const std::string exe = WindowsPath(PALVEX_SETUP_EXE);
  HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr);
  HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(image, found))),
                             SizeofResource(image, found));
  FreeLibrary(image);
  for (const char* needle : {"level=\"asInvoker\"", ">UTF-8</activeCodePage>",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle << " missing from\n" << manifest;
  }

  DWORD ignored = 0;
  std::string info(GetFileVersionInfoSizeA(exe.c_str(), &ignored), '\0');
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  const std::pair<const char*, const char*> strings[] = {
      {"ProductName", "Palvex"},
      {"ProductVersion", "0.5.0"},
      {"OriginalFilename", "palvex-setup.exe"},
  };
  for (const auto& [name, expected] : strings) {
    char* value = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    ASSERT_TRUE(
        VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << name;
    EXPECT_STREQ(value, expected) << name;
  }
}

}  // namespace
