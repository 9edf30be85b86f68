// The stand-in lobby: its socket path, its message records, the command line it
// hands over, and one real run with a fake client on the lobby socket.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "lobby/lobby_link.h"

extern char** environ;

namespace tavren::lobby {
namespace {

TEST(LobbyLink, CaptionsArePercentEncoded) {
  EXPECT_EQ(encodeCaption("Qixo山庄"), "Qixo%E5%B1%B1%E5%BA%84");
  EXPECT_EQ(encodeCaption("a b/c.d_e-f"), "a%20b%2Fc.d_e-f");
}

TEST(LobbyLink, DirectoryRule) {
  setenv("TAVREN_LOBBY_DIR", "/x/lobby", 1);
  EXPECT_EQ(socketPath("Qixo山庄"), "/x/lobby/Qixo%E5%B1%B1%E5%BA%84.sock");
  unsetenv("TAVREN_LOBBY_DIR");
  setenv("XDG_RUNTIME_DIR", "/run/user/7", 1);
  EXPECT_EQ(lobbyDirectory(), "/run/user/7/tavren-lobby");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(lobbyDirectory(), "/tmp/tavren-lobby-" + std::to_string(getuid()));
}

TEST(LobbyLink, MessagesAreThreeLittleEndianWords) {
  const auto b = encode({0x112, 0xF120, 0x01020304});
  const std::uint8_t want[12] = {0x12, 0x01, 0, 0, 0x20, 0xF1, 0, 0, 0x04, 0x03, 0x02, 0x01};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(b[static_cast<std::size_t>(i)], want[i]);
  const Message m = decode(b.data());
  EXPECT_EQ(m.msg, 0x112u);
  EXPECT_EQ(m.wParam, 0xF120u);
  EXPECT_EQ(m.lParam, 0x01020304u);
  EXPECT_EQ(messageName(m), "WM_SYSCOMMAND restore (0x112, 0xF120)");
  EXPECT_EQ(messageName({0x455, 0, 0}), "new hand (0x455)");
  EXPECT_EQ(messageName({0x999, 0, 0}), "message 0x999");
}

TEST(LobbyLink, CommandLines) {
  HandOver h;
  h.account = "a";
  h.key = "k";
  h.host = "h";
  h.port = 8000;
  h.location = "T1";
  EXPECT_EQ(commandLine(h), "a$k$h$8000$T1$0$$$$$0$$$");
  h.proxy = true;
  h.proxyHost = "p";
  h.proxyPort = 1080;
  h.proxyUser = "u";
  h.proxyPass = "w";
  h.unattended = true;
  h.lobbyCaption = "L";
  h.mainCaption = "M";
  EXPECT_EQ(commandLine(h), "a$k$h$8000$T1$5$p$1080$u$w$1$L$M$");
  HandOver w;
  w.account = "a";
  w.key = "watch=0";
  w.host = "h";
  w.port = 8000;
  w.location = "T1";
  w.watchUserId = 123456;
  const std::string line = commandLine(w);
  EXPECT_EQ(line, "a$watch=0$h$8000$T1$123456$0$$$$$0");
  EXPECT_NE(line.back(), '$');
  w.proxy = true;
  w.proxyHost = "p";
  w.proxyPort = 1080;
  EXPECT_EQ(commandLine(w), "a$watch=0$h$8000$T1$123456$5$p$1080$$$0");
}

struct Proc {
  pid_t pid = -1;
  int in = -1, out = -1;
  std::string text;
  Proc(std::vector<std::string> args) {
    int i[2], o[2];
    if (pipe(i) != 0 || pipe(o) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, i[0], 0);
    posix_spawn_file_actions_adddup2(&fa, o[1], 1);
    posix_spawn_file_actions_addclose(&fa, i[1]);
    posix_spawn_file_actions_addclose(&fa, o[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, args[0].c_str(), &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(i[0]);
    close(o[1]);
    in = i[1];
    out = o[0];
  }
  void say(const std::string& line) { (void)!write(in, line.data(), line.size()); }
  // Reads until `what` shows up in the output or 5 s pass.
  bool waitFor(const std::string& what) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (text.find(what) == std::string::npos) {
      if (std::chrono::steady_clock::now() > until) return false;
      pollfd p{out, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char buf[1024];
      ssize_t n = read(out, buf, sizeof buf);
      if (n <= 0) return false;
      text.append(buf, static_cast<std::size_t>(n));
    }
    return true;
  }
  ~Proc() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    close(in);
    close(out);
  }
};

TEST(LobbyProgram, StartsTheClientAndSpeaksTheLink) {
  char tmpl[] = "/tmp/tavren-lobby-test-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = std::string(tmpl) + "/link";
  setenv("TAVREN_LOBBY_DIR", dir.c_str(), 1);
  setenv("FAKE_CLIENT_SOCKET", socketPath("Qixo山庄").c_str(), 1);
  const std::string argsFile = std::string(tmpl) + "/args";
  setenv("FAKE_CLIENT_OUT", argsFile.c_str(), 1);
  Proc lobby({std::string(TAVREN_BIN_DIR) + "/tavrenmj-lobby", "--client",
              std::string(TAVREN_BIN_DIR) + "/fake_lobby_client", "--account", "amy", "--table",
              "2", "--seat", "1", "--port", "7001"});
  ASSERT_TRUE(lobby.waitFor("received WM_ENDSESSION (0x16)")) << lobby.text;
  ASSERT_TRUE(lobby.waitFor("received new hand (0x455)")) << lobby.text;
  ASSERT_TRUE(lobby.waitFor("received WM_SYSCOMMAND minimise (0x112, 0xF020)")) << lobby.text;
  lobby.say("state\n");
  ASSERT_TRUE(lobby.waitFor("received WM_USER (0x400)")) << lobby.text;
  lobby.say("leave\n");
  ASSERT_TRUE(lobby.waitFor("client ended with status 0")) << lobby.text;
  lobby.say("quit\n");
  ASSERT_TRUE(lobby.waitFor("lobby closed")) << lobby.text;
  // The client got the thirteen fields as one argument.
  std::ifstream f(argsFile);
  std::string argc, line;
  std::getline(f, argc);
  std::getline(f, line);
  EXPECT_EQ(argc, "2");
  // The key carries a fresh pass of 128 random bits for the seat.
  EXPECT_TRUE(
      std::regex_match(line, std::regex("amy\\$table=2;seat=1;pass=[0-9a-f]{32}\\$127\\.0\\.0\\."
                                        "1\\$7001\\$第1桌\\$0\\$\\$\\$\\$\\$0\\$\\$\\$")))
      << line;
  // The directory is private.
  struct stat st {};
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  unsetenv("TAVREN_LOBBY_DIR");
  std::filesystem::remove_all(tmpl);
}

}  // namespace
}  // namespace tavren::lobby
