#include "front/switches.h"

#include <cstring>
#include <utility>

namespace {

// Each switch with the menu choice it stands for. Matching is whole-argument and case-sensitive:
// "/Install" or "install" is just another unknown word.
constexpr std::pair<const char*, char> kSwitches[] = {
    {"/uninstall", '2'}, {"--uninstall", '2'}, {"-u", '2'},
    {"/install", '1'},   {"--install", '1'},   {"-i", '1'},
};

}  // namespace

char ScanSwitches(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    for (const auto& [text, choice] : kSwitches) {
      if (std::strcmp(argv[i], text) == 0) return choice;
    }
  }
  return 0;
}
