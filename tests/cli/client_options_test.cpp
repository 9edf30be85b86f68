// tavrenmj typed by hand: with no argument, a bad option or a line that is not
// the lobby's hand-over it says on standard error what is wrong and how a
// table is started, and ends with status 2. The message box stays for a start
// from a desktop (no terminal, a window system); these runs have no terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace tavren::cli_test {
namespace {

const std::string kClient = std::string(TAVREN_BIN_DIR) + "/tavrenmj";
const std::string kHowTo = "To play, run tavrenmj-play";
const std::string kTry = "Try 'tavrenmj --help' for more information.\n";
const std::string kBox = "messagebox: 警告: 本游戏需从游戏大厅中启动！";

struct Case {
  std::string what;
  std::vector<std::string> args;
  bool display;  // a window system to show a box on (the offscreen one)
  int status;
  std::vector<std::string> errHas;
  std::vector<std::string> errHasNot;
  std::string outHas;
};

TEST(ClientOptions, RunByHandTheClientSaysHowToStartATableAndEndsWithStatus2) {
  const std::vector<Case> cases = {
      {"a bad option",
       {"--bogus"},
       true,
       2,
       {"tavrenmj: unrecognized option '--bogus'\n", kHowTo, kTry},
       {"messagebox"},
       ""},
      {"a flag given a value",
       {"--help=1"},
       true,
       2,
       {"option '--help' doesn't allow an argument", kHowTo},
       {},
       ""},
      {"a word that is not a hand-over",
       {"table"},
       true,
       2,
       {"unexpected argument 'table'", kHowTo},
       {"messagebox"},
       ""},
      {"no argument, from a desktop",
       {},
       true,
       2,
       {"tavrenmj: no hand-over from the lobby on the command line\n", kHowTo, kTry, kBox},
       {},
       ""},
      {"no argument, no window system",
       {},
       false,
       2,
       {"tavrenmj: no hand-over from the lobby on the command line\n", kHowTo},
       {"messagebox"},
       ""},
      {"a blank argument", {"  "}, false, 2, {"no hand-over from the lobby", kHowTo}, {}, ""},
      {"a hand-over with a bad port",
       {"acc$key$127.0.0.1$port$T1$0$$0$$$0$$$"},
       true,
       2,
       {"tavrenmj: the command line is not a lobby's hand-over", kHowTo},
       {},
       ""},
      {"help", {"--help"}, false, 0, {}, {"unrecognized"}, "usage: tavrenmj "},
      {"help, short", {"-h"}, false, 0, {}, {}, "usage: tavrenmj "},
      {"version", {"--version"}, false, 0, {}, {}, "tavrenmj "},
      {"a replay speed out of range",
       {"--replay", "/nonexistent.tmr", "--speed", "32"},
       false,
       2,
       {"invalid value '32' for '--speed': a number from 0.5 to 16, or max", kTry},
       {},
       ""},
      {"a replay's hand that is no number",
       {"--replay", "/nonexistent.tmr", "--hand", "x"},
       false,
       2,
       {"invalid value 'x' for '--hand'"},
       {},
       ""},
      {"a speed without a replay",
       {"--speed", "max"},
       false,
       2,
       {"'--speed' and '--hand' go with '--replay FILE'"},
       {},
       ""},
      {"a replay file that is not there",
       {"--replay", "/nonexistent/game.tmr", "--speed=max"},
       false,
       1,
       {"tavrenmj: 无法播放录像 /nonexistent/game.tmr："},
       {kHowTo},
       ""},
  };
  for (const Case& c : cases) {
    Scratch dir;
    std::vector<std::string> env = {"TAVRENMJ_MESSAGEBOX=print",
                                    "SDL_AUDIODRIVER=dummy",
                                    "TAVRENMJ_INSTANCE=cli-options-test",
                                    "TAVRENMJ_HOME=" + dir.path(),
                                    "TAVREN_LOBBY_DIR=" + dir.path() + "/lobby",
                                    "XDG_RUNTIME_DIR=" + dir.path()};
    std::vector<std::string> unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    if (c.display) env.push_back("QT_QPA_PLATFORM=offscreen");
    const Outcome r = RunProgram(kClient, c.args, env, unset);
    ASSERT_TRUE(r.started) << kClient;
    EXPECT_FALSE(r.timedOut) << c.what;
    EXPECT_TRUE(r.exited) << c.what;
    EXPECT_EQ(r.status, c.status) << c.what << "\nstderr: " << r.err;
    for (const auto& s : c.errHas)
      EXPECT_NE(r.err.find(s), std::string::npos) << c.what << ": no \"" << s << "\" in\n" << r.err;
    for (const auto& s : c.errHasNot)
      EXPECT_EQ(r.err.find(s), std::string::npos) << c.what << ": \"" << s << "\" in\n" << r.err;
    EXPECT_NE(r.out.find(c.outHas), std::string::npos) << c.what << "\nstdout: " << r.out;
  }
}

}  // namespace
}  // namespace tavren::cli_test
