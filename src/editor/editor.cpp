#include "editor/editor.h"

#include <windows.h>

#include <cstdlib>

#include "files/files.h"
#include "front/front.h"

namespace {

constexpr char kProbeCommand[] = "where code >nul 2>nul";
// publisher.name as recorded in the package's package.json.
constexpr char kUninstallCommand[] = "code --uninstall-extension palvex.palvex-lang >nul 2>nul";

// "C:\..." or "\\server\...": a path that names the same file from any current folder.
bool IsFullyQualified(const std::string& path) {
  return path.starts_with("\\\\") || (path.size() >= 3 && path[1] == ':' && path[2] == '\\');
}

// Runs one command line through the command interpreter and waits for it; only exit code 0 is
// success (system() gives -1 when the interpreter cannot start). Windows' where.exe looks for
// `code` in the current folder before PATH, whatever NoDefaultCurrentDirectoryInExePath says, and
// cmd.exe started in a network folder prints a warning that no >nul of the command catches. So the
// command runs from the Windows folder, which holds neither `where` nor `code` and is where cmd.exe
// itself falls back from a network folder; `stay` keeps the caller's folder, for a command that
// names a relative path.
bool RunCommand(const std::string& command, bool stay = false) {
  char caller[MAX_PATH], windows[MAX_PATH];
  const DWORD caller_length = GetCurrentDirectoryA(MAX_PATH, caller);
  const UINT windows_length = GetSystemWindowsDirectoryA(windows, MAX_PATH);
  const bool move = !stay && caller_length > 0 && caller_length < MAX_PATH && windows_length > 0 &&
                    windows_length < MAX_PATH && SetCurrentDirectoryA(windows);
  const bool ran = std::system(command.c_str()) == 0;
  if (move) SetCurrentDirectoryA(caller);
  return ran;
}

}  // namespace

void InstallEditorExtension(const std::string& install_root) {
  const std::string package = install_root + "\\palvex-extension.vsix";
  if (!WriteResourceToFile(PAYLOAD_EXTENSION, package)) return;

  if (!RunCommand(kProbeCommand)) {
    PrintStatus("VS Code not found; skipped the editor extension");
    Print("        (install later with: code --install-extension \"%s\")\n", package.c_str());
    return;
  }
  // The quotes keep a path with blanks or &()^;,= one argument; cmd.exe still expands % in it.
  const std::string install = "code --install-extension \"" + package + "\" --force >nul 2>nul";
  PrintStatus(RunCommand(install, /*stay=*/!IsFullyQualified(package))
                  ? "Installed the VS Code extension"
                  : "Note: VS Code extension install did not complete");
}

void RemoveEditorExtension() {
  if (!RunCommand(kProbeCommand)) return;
  // Reported whatever code returns: it fails also when the extension was never installed.
  (void)RunCommand(kUninstallCommand);
  PrintStatus("Removed the VS Code extension");
}
