#include <windows.h>

#include <gtest/gtest.h>

#include "front/front.h"

// What a console gets of Print's text, read back from a console of the test's own. Processed output
// is off, so the screen keeps every unit written, line ends too: with it on, Wine's console (and
// Windows', unless told otherwise) starts a new line at a bare "\n" as well.
TEST(Console, PrintWritesUtf16WithCrLfLineEnds) {
  char text[64];  // the program's text is in the active code page
  WideCharToMultiByte(CP_ACP, 0, L"Installing to C:\\Users\\Zoë\n\nDone.\n", -1, text, sizeof text,
                      nullptr, nullptr);
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
  // Wine starts the test on a console whose screen cannot be opened. The new one is never freed:
  // under Wine that ends the process there, with exit code 0. Wine's console host would inherit
  // the standard handles and keep a log file they write to open after the test has ended.
  FreeConsole();
  SetHandleInformation(out, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err, HANDLE_FLAG_INHERIT, 0);
  ASSERT_TRUE(AllocConsole());
  // The console's own screen: AllocConsole leaves standard handles that were redirected at start
  // as they were (Windows 8 and later fill only empty ones), so GetStdHandle may name a log file.
  const HANDLE console =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE) << "no console screen: " << GetLastError();
  SetStdHandle(STD_OUTPUT_HANDLE, console);
  SetStdHandle(STD_ERROR_HANDLE, err);  // standard output alone is the console
  SetConsoleMode(console, 0);
  Print("%s", text);
  SetStdHandle(STD_OUTPUT_HANDLE, out);
  std::wstring screen(80, L' ');
  DWORD read;
  ReadConsoleOutputCharacterW(console, screen.data(), 80, {0, 0}, &read);
  EXPECT_EQ(screen.substr(0, screen.find_last_not_of(L' ') + 1),
            L"Installing to C:\\Users\\Zoë\r\n\r\nDone.\r\n");
}
