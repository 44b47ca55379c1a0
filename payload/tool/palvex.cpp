// Stand-in for the real Palvex tool, embedded when the build is given no tool executable, so that
// the setup program can be built and tried end to end.
#include <cstdio>
#include <cstring>

#include "palvex_version.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("palvex " PALVEX_VERSION "\n");
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf("usage: palvex [--version | --help | FILE.palvex]\n");
    return 0;
  }
  // release/gate.py knows any build of the stand-in by this sentence.
  std::fprintf(stderr,
               "palvex: this is the stand-in that Palvex Setup installs when it was built without "
               "the real tool; it runs no programs.\n");
  return 1;
}
