// The stand-in lobby: its socket path, its message records, the command line it
// hands over, and one real run with a fake client on the lobby socket.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "lobby/link_server.h"
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

// Runs the lobby program under the name `name` (as tavrenmj-play's script does)
// with a scratch lobby folder; its exit status and standard error.
std::pair<int, std::string> runLobbyAs(const std::string& name, std::vector<std::string> args) {
  int err[2];
  if (pipe(err) != 0) return {-1, ""};
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclose(&fa, err[0]);
  args.insert(args.begin(), name);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string program = std::string(TAVREN_BIN_DIR) + "/tavrenmj-lobby";
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(err[1]);
  std::string text;
  char buf[512];
  for (ssize_t n; rc == 0 && (n = read(err[0], buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  close(err[0]);
  int status = 0;
  if (rc != 0 || waitpid(pid, &status, 0) != pid) return {-1, text};
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST(LobbyOptions, BadOptionsAndValuesAreNamedInOneLine) {
  struct Case {
    std::string program;
    std::vector<std::string> args;
    std::string line;  // the first line on standard error
  } cases[] = {
      {"tavrenmj-lobby", {"--bogus"}, "tavrenmj-lobby: unrecognized option '--bogus'"},
      {"tavrenmj-lobby",
       {"--port", "abc"},
       "tavrenmj-lobby: invalid value 'abc' for '--port': a number from 0 to 65535 is expected"},
      {"tavrenmj-lobby",
       {"--seat=9"},
       "tavrenmj-lobby: invalid value '9' for '--seat': a number from 0 to 3 is expected"},
      {"tavrenmj-lobby",
       {"--table", "1000"},
       "tavrenmj-lobby: invalid value '1000' for '--table': a number from 0 to 999 is expected"},
      {"tavrenmj-lobby", {"--account"}, "tavrenmj-lobby: option '--account' requires an argument"},
      {"tavrenmj-lobby",
       {"--no-client=yes"},
       "tavrenmj-lobby: option '--no-client' doesn't allow an argument"},
      {"tavrenmj-lobby",
       {"--proxy", "p:0"},
       "tavrenmj-lobby: invalid port in 'p:0' for '--proxy': 1 to 65535 is expected"},
      {"tavrenmj-lobby", {"--watch", "x1"}, "tavrenmj-lobby: invalid user id 'x1' for '--watch'"},
      {"tavrenmj-lobby",
       {"--account", "a b"},
       "tavrenmj-lobby: invalid name 'a b': 1 to 15 printable ASCII characters without blanks or "
       "'$'"},
      {"tavrenmj-lobby", {"stray"}, "tavrenmj-lobby: unexpected argument 'stray'"},
      {"tavrenmj-play", {"--bogus"}, "tavrenmj-play: unrecognized option '--bogus'"},
      {"tavrenmj-play",
       {"--join", "h", "--seat", "9"},
       "tavrenmj-play: invalid value '9' for '--seat': a number from 0 to 3 is expected"},
      {"tavrenmj-play",
       {"--join=h:abc"},
       "tavrenmj-play: invalid port in 'h:abc' for '--join': 1 to 65535 is expected"},
      {"tavrenmj-play", {"--join", ":7000"}, "tavrenmj-play: invalid address ':7000' for '--join'"},
      {"tavrenmj-play",
       {"--port", "abc"},
       "tavrenmj-play: invalid value 'abc' for '--port': a number from 0 to 65535 is expected"},
      {"tavrenmj-play",
       {"--bind", "0.0.0.x"},
       "tavrenmj-play: invalid address '0.0.0.x' for '--bind': an IPv4 address is expected"},
      {"tavrenmj-play",
       {"--robots", "--join", "h"},
       "tavrenmj-play: --robots, --host and --join go to different tables: give one of them"},
      {"tavrenmj-play",
       {"--join", "h", "--table", "0"},
       "tavrenmj-play: invalid value '0' for '--table': a number from 1 to 1000 is expected"},
      // Options of the command-line lobby are not tavrenmj-play's.
      {"tavrenmj-play", {"--no-client"}, "tavrenmj-play: unrecognized option '--no-client'"},
      {"tavrenmj-play",
       {"--host", "--port", "0"},
       "tavrenmj-play: --host needs a port friends can be told: give --port 1..65535"},
  };
  for (const auto& c : cases) {
    std::string line = c.program;
    for (const auto& a : c.args) line += " " + a;
    SCOPED_TRACE(line);
    const auto [status, err] = runLobbyAs(c.program, c.args);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(err, c.line + "\nTry '" + c.program + " --help' for more information.\n");
  }
}

TEST(LobbyOptions, ValuesAfterAnEqualsSignAndWindowlessModes) {
  // --opt=value reads as --opt value; --print-command shows the result.
  Proc lobby({std::string(TAVREN_BIN_DIR) + "/tavrenmj-lobby", "--print-command", "--account=amy",
              "--table=2", "--seat=1", "--port=7001", "--server=h"});
  ASSERT_TRUE(lobby.waitFor("\n")) << lobby.text;
  EXPECT_TRUE(std::regex_search(
      lobby.text, std::regex("^amy\\$table=2;seat=1;pass=[0-9a-f]{32}\\$h\\$7001\\$")))
      << lobby.text;
}

// A scratch folder for one test, removed with everything in it.
struct Scratch {
  std::string dir;
  Scratch() {
    char tmpl[] = "/tmp/tavren-lobby-test-XXXXXX";
    dir = mkdtemp(tmpl) ? tmpl : "";
  }
  ~Scratch() { std::filesystem::remove_all(dir); }
};

TEST(LobbyDirectory, OnlyAPrivateFolderOfTheUsersOwnIsAccepted) {
  Scratch s;
  ASSERT_FALSE(s.dir.empty());
  std::string error;
  // Missing: made private.
  const std::string fresh = s.dir + "/fresh";
  EXPECT_TRUE(ensureDirectory(fresh, &error)) << error;
  struct stat st {};
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Already there and private: accepted as it is.
  EXPECT_TRUE(ensureDirectory(fresh, &error)) << error;

  struct Case {
    std::string name;
    std::function<std::string()> make;  // returns the folder to check
    std::string why;
  };
  const std::vector<Case> cases = {
      {"open to others",
       [&] {
         const std::string d = s.dir + "/open";
         mkdir(d.c_str(), 0700);
         chmod(d.c_str(), 0755);
         return d;
       },
       "is open to other users (mode 0755)"},
      {"writable by the group",
       [&] {
         const std::string d = s.dir + "/group";
         mkdir(d.c_str(), 0700);
         chmod(d.c_str(), 0770);
         return d;
       },
       "is open to other users (mode 0770)"},
      {"a link to a private folder",
       [&] {
         const std::string d = s.dir + "/link";
         (void)!symlink(fresh.c_str(), d.c_str());
         return d;
       },
       "is not a folder"},
      {"a file",
       [&] {
         const std::string d = s.dir + "/file";
         std::ofstream(d) << "x";
         return d;
       },
       "is not a folder"},
      {"another user's",
       [&] {
         if (geteuid() != 0) return std::string("/");  // root's, for anyone else
         const std::string d = s.dir + "/theirs";
         mkdir(d.c_str(), 0700);
         (void)!chown(d.c_str(), 65534, 65534);
         return d;
       },
       "belongs to another user"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string d = c.make();
    error.clear();
    EXPECT_FALSE(ensureDirectory(d, &error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
    EXPECT_NE(error.find(d), std::string::npos) << error;
  }
}

int connectTo(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool closeOnExec(int fd) {
  return (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
}

TEST(LinkServer, ALiveCaptionIsRefusedAndAStaleOneReplaced) {
  Scratch s;
  std::vector<std::string> lines;
  auto say = [&](const std::string& l) { lines.push_back(l); };
  LinkServer first(say, {});
  std::string error;
  ASSERT_TRUE(first.listen(s.dir, "Qixo山庄", &error)) << error;
  LinkServer second(say, {});
  EXPECT_FALSE(second.listen(s.dir, "Qixo山庄", &error));
  EXPECT_NE(error.find("another lobby"), std::string::npos) << error;
  // The first still owns its socket: a client reaches it.
  const int c = connectTo(first.path());
  ASSERT_GE(c, 0);
  first.service(0);
  EXPECT_EQ(first.clientCount(), 1u);
  close(c);
  // The second's failure removed nothing; the first's end removes its own file.
  first.close();
  struct stat st {};
  EXPECT_NE(lstat(first.path().c_str(), &st), 0);
  // A socket file nobody answers on (a lobby that was killed) is taken over.
  {
    const int dead = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, first.path().c_str(), sizeof a.sun_path - 1);
    ASSERT_EQ(bind(dead, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    close(dead);
  }
  LinkServer third(say, {});
  EXPECT_TRUE(third.listen(s.dir, "Qixo山庄", &error)) << error;
  // Something else under the name is never removed.
  LinkServer fourth(say, {});
  std::ofstream(s.dir + "/Plain.sock") << "mine";
  EXPECT_FALSE(fourth.listen(s.dir, "Plain", &error));
  EXPECT_TRUE(std::filesystem::exists(s.dir + "/Plain.sock"));
}

TEST(LinkServer, EveryDescriptorIsCloseOnExec) {
  Scratch s;
  LinkServer link([](const std::string&) {}, {});
  std::string error;
  ASSERT_TRUE(link.listen(s.dir, "T", &error)) << error;
  const int c = connectTo(link.path());
  ASSERT_GE(c, 0);
  link.service(0);
  const auto fds = link.descriptors();
  ASSERT_EQ(fds.size(), 2u);  // the listener and the client
  for (int fd : fds) EXPECT_TRUE(closeOnExec(fd)) << fd;
  close(c);
}

TEST(LinkServer, AFloodIsSummarisedAndEveryMessageStillHandled) {
  Scratch s;
  std::vector<std::string> lines;
  int handled = 0;
  LinkServer link([&](const std::string& l) { lines.push_back(l); },
                  [&](const Message&) { ++handled; });
  std::string error;
  ASSERT_TRUE(link.listen(s.dir, "T", &error)) << error;
  const int c = connectTo(link.path());
  link.service(0);
  const auto rec = encode({kNewHand, 0, 0});
  std::vector<std::uint8_t> many;
  for (int i = 0; i < 5000; ++i) many.insert(many.end(), rec.begin(), rec.end());
  std::size_t sent = 0;
  std::int64_t now = 10;
  while (handled < 5000 && now < 100000) {
    if (sent < many.size()) {
      const ssize_t n = send(c, many.data() + sent, many.size() - sent, MSG_DONTWAIT);
      if (n > 0) sent += static_cast<std::size_t>(n);
    }
    link.service(now);
    now += 1;
  }
  EXPECT_EQ(handled, 5000);
  link.service(now + 1000);  // the second is over: its summary
  int printed = 0;
  std::uint64_t summarised = 0;
  for (const auto& l : lines) {
    if (l.rfind("received new hand", 0) == 0) ++printed;
    if (l.find("more messages in a second") != std::string::npos)
      summarised += std::stoull(l.substr(9));
  }
  EXPECT_LE(printed, LinkServer::kPrintedPerSecond * (now / 1000 + 2));
  EXPECT_EQ(printed + summarised, 5000u);
  close(c);
}

TEST(LinkServer, AtTheDescriptorLimitAcceptingBacksOff) {
  Scratch s;
  std::vector<std::string> lines;
  LinkServer link([&](const std::string& l) { lines.push_back(l); }, {});
  std::string error;
  ASSERT_TRUE(link.listen(s.dir, "T", &error)) << error;
  std::vector<int> clients;
  for (int i = 0; i < 6; ++i) clients.push_back(connectTo(link.path()));
  // Room for two more descriptors in this process: new ones take the lowest
  // free numbers, and the limit caps the number.
  int freeSeen = 0, limit = 0;
  for (int fd = 0; fd < 4096 && freeSeen < 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && ++freeSeen == 2) limit = fd + 1;
  ASSERT_GT(limit, 0);
  rlimit old{};
  getrlimit(RLIMIT_NOFILE, &old);
  rlimit low = old;
  low.rlim_cur = static_cast<rlim_t>(limit);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  link.service(1000);
  const std::size_t accepted = link.clientCount();
  const auto waiting = link.descriptors();
  const int timeout = link.timeoutMs(1000);
  link.service(1010);  // still backing off: no new attempt
  const std::size_t linesAfter = lines.size();
  setrlimit(RLIMIT_NOFILE, &old);
  EXPECT_EQ(accepted, 2u);
  // The listener is not waited on while backing off (it would wake at once).
  EXPECT_EQ(waiting.size(), accepted);
  EXPECT_EQ(timeout, 50);
  EXPECT_EQ(linesAfter, lines.size());
  // Once descriptors are there again, the rest come in.
  link.service(1060);
  EXPECT_EQ(link.clientCount(), 6u);
  for (int c : clients) close(c);
}

int freeTcpPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

bool someoneListens(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

// Waits up to 10 s for the process to end; its exit status, or -1.
int exitStatus(pid_t& pid) {
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    usleep(50000);
  }
  return -1;
}

TEST(LobbyModes, ARobotTableOnEveryInterfaceHandsTheClientItsPort) {
  // As tavrenmj-play --bind 0.0.0.0 --port N: the client goes to that port on
  // loopback, and the server the lobby started for it is stopped again.
  const int port = freeTcpPort();
  Proc lobby({std::string(TAVREN_BIN_DIR) + "/tavrenmj-lobby", "--robots", "--bind", "0.0.0.0",
              "--port", std::to_string(port), "--account", "amy", "--print-command"});
  ASSERT_TRUE(lobby.waitFor("$\n")) << lobby.text;
  EXPECT_NE(lobby.text.find("table server on 0.0.0.0:" + std::to_string(port)), std::string::npos)
      << lobby.text;
  EXPECT_TRUE(std::regex_search(
      lobby.text, std::regex("amy\\$table=0;seat=0;pass=[0-9a-f]{32}\\$127\\.0\\.0\\.1\\$" +
                             std::to_string(port) + "\\$Qixo山庄 第1桌\\$0\\$")))
      << lobby.text;
  EXPECT_EQ(exitStatus(lobby.pid), 0);
  EXPECT_FALSE(someoneListens(port));
}

TEST(LobbyModes, AHostedTableSaysWhereFriendsJoinAndSeatsTheHost) {
  Scratch s;
  setenv("TAVREN_LOBBY_DIR", (s.dir + "/link").c_str(), 1);
  setenv("FAKE_CLIENT_SOCKET", (s.dir + "/link/Qixo%E5%B1%B1%E5%BA%84.sock").c_str(), 1);
  const std::string argsFile = s.dir + "/args";
  setenv("FAKE_CLIENT_OUT", argsFile.c_str(), 1);
  const int port = freeTcpPort();
  Proc lobby({std::string(TAVREN_BIN_DIR) + "/tavrenmj-lobby", "--host", "--port",
              std::to_string(port), "--client", std::string(TAVREN_BIN_DIR) + "/fake_lobby_client",
              "--account", "amy", "--exit-with-client"});
  ASSERT_TRUE(lobby.waitFor("table server on 0.0.0.0:" + std::to_string(port))) << lobby.text;
  ASSERT_TRUE(lobby.waitFor("received WM_SYSCOMMAND minimise")) << lobby.text;
  // Every address of this machine, with the command a friend types, or why there is none.
  EXPECT_TRUE(lobby.text.find("friends join with: tavrenmj-play --join ") != std::string::npos ||
              lobby.text.find("no network address") != std::string::npos)
      << lobby.text;
  EXPECT_TRUE(someoneListens(port));
  std::ifstream f(argsFile);
  std::string argc, line;
  std::getline(f, argc);
  std::getline(f, line);
  EXPECT_TRUE(
      std::regex_search(line, std::regex("^amy\\$table=0;pass=[0-9a-f]{32}\\$127\\.0\\.0\\.1\\$" +
                                         std::to_string(port) + "\\$")))
      << line;
  // The client leaves and ends: so do the lobby and the server.
  lobby.say("leave\n");
  EXPECT_EQ(exitStatus(lobby.pid), 0) << lobby.text;
  EXPECT_FALSE(someoneListens(port));
  unsetenv("TAVREN_LOBBY_DIR");
}

}  // namespace
}  // namespace tavren::lobby
