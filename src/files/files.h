#pragma once

#include <cstdint>
#include <string>

// Payload resources (RT_RCDATA) that the build embeds in the setup program.
constexpr std::uint16_t PAYLOAD_TOOL = 101;
constexpr std::uint16_t PAYLOAD_EXTENSION = 102;

// Writes resource `id` of this program to `path`, replacing any file there; true when every byte
// was written. A partly written file is left in place.
[[nodiscard]] bool WriteResourceToFile(std::uint16_t id, const std::string& path);

// Install phase: writes palvex.exe into `bin_folder` and prints the outcome; false stops the
// install.
[[nodiscard]] bool PlaceToolExecutable(const std::string& bin_folder);

// Uninstall phase: deletes `install_root` and everything below it, outright and without any window.
void DeleteInstallRoot(const std::string& install_root);
