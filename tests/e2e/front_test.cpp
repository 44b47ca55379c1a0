// The console front end: switches, the menu, the closing pause and the exit code.
#include "harness.h"

namespace {

const std::string kMenu = Crlf(
    "======================================\n"
    "  Palvex 0.5.0 - Setup\n"
    "  https://palvex.dev\n"
    "======================================\n\n"
    "  [1] Install Palvex\n"
    "  [2] Uninstall Palvex\n"
    "  [3] Exit\n\n"
    "  Choose (1-3): ");
const std::string kCancelled = Crlf("\nCancelled.\n");

using FrontEnd = SetupTest;

TEST_F(FrontEnd, MenuAnswersThatCancelEndAtOnceWithoutPause) {
  const std::vector<std::string> no_switch[] = {
      {}, {"install"}, {"--INSTALL"}, {"-I"}, {"/Uninstall"}};
  const std::string answers[] = {"3\r\n", "x\r\n", "\r\n", "", " 1\r\n", "0\r\n"};
  for (const auto& args : no_switch) {
    for (const std::string& answer : answers) {
      SCOPED_TRACE("args " + ::testing::PrintToString(args) + " answer " +
                   ::testing::PrintToString(answer));
      const Finished run = RunSetup(args, answer, Env());
      EXPECT_EQ(run.output, kMenu + kCancelled);
      EXPECT_EQ(run.exit_code, 0);
    }
  }
  EXPECT_FALSE(FolderExists(install_root()));
}

TEST_F(FrontEnd, BareEnterCancelsWithoutWaitingForAnotherLine) {
  SetupProcess setup({}, Env());
  ASSERT_TRUE(setup.WaitForOutputEndingWith(kMenu)) << setup.output();
  setup.Write("\r\n");
  // Input stays open: a front end that read a second line would still be waiting.
  EXPECT_TRUE(setup.WaitForOutputEndingWith(kCancelled)) << setup.output();
  EXPECT_FALSE(setup.StillRunningAfter(5000));
  EXPECT_EQ(setup.Finish().exit_code, 0);
}

TEST_F(FrontEnd, MenuAnswerTwoUninstallsAndStillWaitsForAFreshEnter) {
  SetupProcess setup({}, Env());
  ASSERT_TRUE(setup.WaitForOutputEndingWith(kMenu)) << setup.output();
  setup.Write("2\r\n");
  ASSERT_TRUE(setup.WaitForOutputEndingWith(kPause)) << setup.output();
  EXPECT_TRUE(setup.StillRunningAfter(500)) << "the newline after the answer ended the pause";
  setup.Write("\r\n");
  EXPECT_FALSE(setup.StillRunningAfter(10000));
  const Finished run = setup.Finish();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output.substr(0, kMenu.size() + UninstallHeading().size()),
            kMenu + UninstallHeading());
}

TEST_F(FrontEnd, SwitchRunsWithoutMenuAndPausesForOneCharacter) {
  SetupProcess setup({"-i"}, Env());
  ASSERT_TRUE(setup.WaitForOutputEndingWith(kPause)) << setup.output();
  EXPECT_EQ(setup.output().rfind(InstallHeading(), 0), 0u) << setup.output();
  EXPECT_TRUE(setup.StillRunningAfter(500));
  setup.Write("x");  // any one character ends the pause, without a newline after it
  EXPECT_FALSE(setup.StillRunningAfter(10000));
  EXPECT_EQ(setup.Finish().exit_code, 0);
  EXPECT_TRUE(FileExists(bin_folder() + "\\palvex.exe"));
}

TEST_F(FrontEnd, FirstMatchingArgumentChoosesTheProcedure) {
  struct Case {
    std::vector<std::string> args;
    bool installs;
  };
  const Case cases[] = {
      {{"--install", "-u"}, true},
      {{"/install"}, true},
      {{"--uninstall", "--install"}, false},
      {{"hello", "-u", "--install"}, false},
      {{"/uninstall"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const Finished run = RunSetup(c.args, "\r\n", Env());
    const std::string heading = c.installs ? InstallHeading() : UninstallHeading();
    EXPECT_EQ(run.output.rfind(heading, 0), 0u) << run.output;
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output.substr(run.output.size() - kPause.size()), kPause);
  }
}

TEST_F(FrontEnd, MenuAnswerCountsOnlyItsFirstCharacter) {
  // "12": the 2 goes with the rest of the line, so this installs.
  const Finished run = RunSetup({}, "12\r\n", Env());
  EXPECT_EQ(run.output.rfind(kMenu + InstallHeading(), 0), 0u) << run.output;
  EXPECT_TRUE(FileExists(bin_folder() + "\\palvex.exe"));
}

TEST_F(FrontEnd, EndOfInputAtThePauseClosesWithTheProcedureResult) {
  struct Case {
    std::vector<std::string> args;
    std::string input;
    std::string local_app_data;
    int exit_code;
  };
  const Case cases[] = {
      {{"-u"}, "", "set", 0},
      {{"-i"}, "", "", 1},
      {{}, "1", "", 1},  // the menu answer is the last byte of input
      {{}, "2\r\n", "set", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + " input " + ::testing::PrintToString(c.input));
    EnvChanges env = Env();
    if (c.local_app_data.empty()) env["LOCALAPPDATA"] = kUnset;
    const Finished run = RunSetup(c.args, c.input, env);
    EXPECT_EQ(run.exit_code, c.exit_code) << run.output;
    EXPECT_EQ(run.output.substr(run.output.size() - kPause.size()), kPause);
  }
}

}  // namespace
