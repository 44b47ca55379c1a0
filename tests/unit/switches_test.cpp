#include "front/switches.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
  std::vector<const char*> args;  // argv[1..]
  char choice;
};

char Scan(const std::vector<const char*>& args) {
  std::vector<const char*> argv = {"palvex-setup.exe"};
  argv.insert(argv.end(), args.begin(), args.end());
  return ScanSwitches(static_cast<int>(argv.size()), argv.data());
}

std::string Describe(const std::vector<const char*>& args) {
  std::string text;
  for (const char* arg : args) text += std::string(" [") + arg + "]";
  return text.empty() ? " (no arguments)" : text;
}

TEST(ScanSwitches, EverySwitchSelectsItsProcedure) {
  const Case cases[] = {
      {{"/install"}, '1'},   {{"--install"}, '1'},   {{"-i"}, '1'},
      {{"/uninstall"}, '2'}, {{"--uninstall"}, '2'}, {{"-u"}, '2'},
  };
  for (const Case& c : cases) EXPECT_EQ(Scan(c.args), c.choice) << Describe(c.args);
}

TEST(ScanSwitches, FirstMatchingArgumentDecides) {
  const Case cases[] = {
      {{"--install", "-u"}, '1'},
      {{"--uninstall", "--install"}, '2'},
      {{"hello", "-u", "--install"}, '2'},
      {{"-I", "/INSTALL", "-i", "-u"}, '1'},
      {{"", "-u"}, '2'},
  };
  for (const Case& c : cases) EXPECT_EQ(Scan(c.args), c.choice) << Describe(c.args);
}

TEST(ScanSwitches, NonSwitchesLeaveTheMenu) {
  const Case cases[] = {
      {{}, 0},
      {{"install"}, 0},    // no dash or slash
      {{"--INSTALL"}, 0},  // other letter case
      {{"-U"}, 0},
      {{"/Uninstall"}, 0},
      {{"-install"}, 0},
      {{"--install "}, 0},  // whole argument, not a prefix
      {{"-ix"}, 0},
      {{"-"}, 0},
      {{""}, 0},
      {{"--install=yes", "x"}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Scan(c.args), c.choice) << Describe(c.args);
}

}  // namespace
