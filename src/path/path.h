#pragma once

#include <string>

// The text of the user's Path value up to its first zero byte, "" when the key or value is absent
// or empty. False, leaving *list alone, when the value exists but cannot be read exactly.
[[nodiscard]] bool ReadUserPath(std::string* list);

// Stores `list` as the user's Path (REG_EXPAND_SZ) in an existing key and broadcasts the change;
// true when stored.
[[nodiscard]] bool WriteUserPath(const std::string& list);

// Install phase: appends `bin_folder` to the user PATH unless listed, and prints the outcome.
void AddBinToUserPath(const std::string& bin_folder);

// Uninstall phase: takes every copy of `bin_folder` off the user PATH; silent when none is listed.
void RemoveBinFromUserPath(const std::string& bin_folder);
