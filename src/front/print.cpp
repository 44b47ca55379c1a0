#include <cstdarg>
#include <cstdio>

#include "front/front.h"

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  // Prompts end without a newline and stdout to a pipe is fully buffered.
  std::fflush(stdout);
}

void PrintStatus(const char* message) { Print("  %s\n", message); }
