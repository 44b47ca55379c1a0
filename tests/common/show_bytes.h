#pragma once
// Shared by the PATH list tests, whose failures must show the exact bytes of a list.

#include <cstdio>
#include <string>

// `text` in double quotes, with tabs, control bytes, quotes and bytes >= 0x80 escaped.
inline std::string ShowBytes(const std::string& text) {
  std::string shown = "\"";
  for (const unsigned char c : text) {
    char hex[8];
    if (c == '\t') {
      shown += "\\t";
    } else if (c < 0x20 || c >= 0x7F || c == '"') {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown + "\"";
}
