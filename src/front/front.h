#pragma once

// Formats like printf to standard output and flushes, so the text is on screen before any later
// read.
void Print(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints one status line: two blanks, `message`, a newline.
void PrintStatus(const char* message);

// The whole program after process start: switch or menu, at most one procedure, the closing pause;
// returns the exit code.
int RunSetupFrontEnd(int argc, char** argv);
