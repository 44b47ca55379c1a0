#include <cstdio>

#include "front/front.h"
#include "palvex_version.h"
#include "front/switches.h"
#include "setup/setup.h"

namespace {

void PrintMenu() {
  Print("======================================\n");
  Print("  Palvex " PALVEX_VERSION " - Setup\n");
  Print("  https://palvex.dev\n");
  Print("======================================\n\n");
  Print("  [1] Install Palvex\n");
  Print("  [2] Uninstall Palvex\n");
  Print("  [3] Exit\n\n");
  Print("  Choose (1-3): ");
}

// Only the first character counts; the rest of its line is swallowed so that the closing pause
// waits for a fresh Enter. A bare Enter must not wait for a second line.
int ReadMenuChoice() {
  const int choice = std::getchar();
  if (choice != '\n' && choice != EOF) {
    int c;
    do {
      c = std::getchar();
    } while (c != '\n' && c != EOF);
  }
  return choice;
}

}  // namespace

int RunSetupFrontEnd(int argc, char** argv) {
  int choice = ScanSwitches(argc, argv);
  if (choice == 0) {
    PrintMenu();
    choice = ReadMenuChoice();
  }

  int result;
  if (choice == '1') {
    result = RunInstall();
  } else if (choice == '2') {
    result = RunUninstall();
  } else {
    Print("\nCancelled.\n");
    return 0;
  }

  Print("\nPress Enter to close...");
  (void)std::getchar();
  return result;
}
