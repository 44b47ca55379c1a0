#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "front/front.h"

namespace {

// A console shows a program's bytes in its own output code page (437, 850, ...), not in the
// program's, so there the text goes as UTF-16; false when standard output is no console. Switching
// the console's code page instead would leave the user's shell switched if the program ended
// abnormally.
bool WriteToConsole(const std::string& text) {
  const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode;
  if (!GetConsoleMode(console, &mode)) return false;
  std::wstring wide(text.size(), L'\0');  // never more UTF-16 units than bytes
  wide.resize(MultiByteToWideChar(CP_ACP, /*dwFlags=*/0, text.data(), static_cast<int>(text.size()),
                                  wide.data(), static_cast<int>(wide.size())));
  // Each "\n" as the C runtime's text mode writes it.
  std::wstring lines;
  for (const wchar_t c : wide) lines += c == L'\n' ? std::wstring(L"\r\n") : std::wstring(1, c);
  DWORD written;
  WriteConsoleW(console, lines.data(), static_cast<DWORD>(lines.size()), &written,
                /*lpReserved=*/nullptr);
  return true;
}

}  // namespace

void Print(const char* format, ...) {
  // The C runtime DLL's own formatter: mingw's replacement, with its floating point, would add
  // some 17 KB to a program that formats only strings.
  va_list args;
  va_start(args, format);
  std::string text(static_cast<size_t>(_vscprintf(format, args)), '\0');
  va_end(args);
  va_start(args, format);
  _vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  if (WriteToConsole(text)) return;
  std::fputs(text.c_str(), stdout);
  // Prompts end without a newline and stdout to a pipe is fully buffered.
  std::fflush(stdout);
}

void PrintStatus(const char* message) { Print("  %s\n", message); }
