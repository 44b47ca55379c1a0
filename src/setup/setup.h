#pragma once

#include <string>

// The value of environment variable `name`; "" when it is unset, empty or 32767 characters or more.
std::string GetEnvString(const char* name);

// Installs for the current user; 0 when it reached its closing line, 1 when it stopped early.
int RunInstall();

// Uninstalls for the current user; 1 only when LOCALAPPDATA is missing, else 0.
int RunUninstall();
