#pragma once

#include <string>

// Install phase: writes the extension package into `install_root` and, when VS Code's `code`
// launcher is on PATH, installs it; prints the outcome, or nothing when the package was not
// written.
void InstallEditorExtension(const std::string& install_root);

// Uninstall phase: removes the extension when `code` is on PATH; silent when it is not.
void RemoveEditorExtension();
