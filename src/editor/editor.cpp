#include "editor/editor.h"

#include <cstdlib>

#include "files/files.h"
#include "front/front.h"

namespace {

constexpr char kProbeCommand[] = "where code >nul 2>nul";
// publisher.name as recorded in the package's package.json.
constexpr char kUninstallCommand[] = "code --uninstall-extension palvex.palvex-lang >nul 2>nul";

// Runs one command line through the command interpreter and waits for it; only exit code 0 is
// success (system() gives -1 when the interpreter cannot start).
bool RunCommand(const std::string& command) { return std::system(command.c_str()) == 0; }

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
  PrintStatus(RunCommand(install) ? "Installed the VS Code extension"
                                  : "Note: VS Code extension install did not complete");
}

void RemoveEditorExtension() {
  if (!RunCommand(kProbeCommand)) return;
  // Reported whatever code returns: it fails also when the extension was never installed.
  (void)RunCommand(kUninstallCommand);
  PrintStatus("Removed the VS Code extension");
}
