#include <cstdarg>
#include <cstdio>
#include <string>

#include "front/front.h"

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
  std::fputs(text.c_str(), stdout);
  // Prompts end without a newline and stdout to a pipe is fully buffered.
  std::fflush(stdout);
}

void PrintStatus(const char* message) { Print("  %s\n", message); }
