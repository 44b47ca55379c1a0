#include "setup/setup.h"

#include <windows.h>
// Needs <windows.h> first.
#include <shlobj.h>

#include "editor/editor.h"
#include "files/files.h"
#include "front/front.h"
#include "path/path.h"

namespace {

constexpr char kInstallSubfolder[] = "\\Programs\\Palvex";

// Reads LOCALAPPDATA and derives both folders; false (after the error line) when it is missing.
bool FindInstallLocation(std::string* install_root, std::string* bin_folder) {
  const std::string local_app_data = GetEnvString("LOCALAPPDATA");
  if (local_app_data.empty()) {
    Print("  ERROR: LOCALAPPDATA is not set.\n");
    return false;
  }
  *install_root = local_app_data + kInstallSubfolder;
  *bin_folder = *install_root + "\\bin";
  return true;
}

}  // namespace

std::string GetEnvString(const char* name) {
  constexpr DWORD kLargestValue = 32767;
  std::string value(kLargestValue, '\0');
  const DWORD length = GetEnvironmentVariableA(name, value.data(), kLargestValue);
  if (length == 0 || length >= kLargestValue) return "";
  value.resize(length);
  return value;
}

int RunInstall() {
  std::string install_root, bin_folder;
  if (!FindInstallLocation(&install_root, &bin_folder)) return 1;
  Print("\nInstalling Palvex to %s\n\n", install_root.c_str());

  // Any failure, "already exists" included, is settled by whether something now has that name;
  // a plain file there is caught by the tool write that follows.
  if (SHCreateDirectoryExA(/*hwnd=*/nullptr, bin_folder.c_str(), /*psa=*/nullptr) !=
          ERROR_SUCCESS &&
      GetFileAttributesA(bin_folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Print("  ERROR: could not create %s\n", bin_folder.c_str());
    return 1;
  }
  if (!PlaceToolExecutable(bin_folder)) return 1;
  AddBinToUserPath(bin_folder);
  InstallEditorExtension(install_root);

  Print("\nDone. Open a NEW terminal and run:  palvex --version\n");
  return 0;
}

int RunUninstall() {
  std::string install_root, bin_folder;
  if (!FindInstallLocation(&install_root, &bin_folder)) return 1;
  Print("\nRemoving Palvex from %s\n\n", install_root.c_str());

  // The PATH entry goes first so that a half-deleted install is never left reachable by name.
  RemoveBinFromUserPath(bin_folder);
  DeleteInstallRoot(install_root);
  RemoveEditorExtension();

  Print("\nPalvex removed. Restart open terminals to refresh PATH.\n");
  return 0;
}
