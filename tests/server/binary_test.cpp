// A few runs of the real tavrenmj-server on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "harness.h"

extern char** environ;

namespace tavren::server::test {
namespace {

using Clock = std::chrono::steady_clock;

// The server process with its standard output on a pipe.
struct ServerProcess {
  pid_t pid = -1;
  int out = -1;
  int port = 0;
  std::string text;

  explicit ServerProcess(std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    std::string bin = std::string(TAVREN_BIN_DIR) + "/tavrenmj-server";
    args.insert(args.begin(), bin);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, bin.c_str(), &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(fds[1]);
    out = fds[0];
    // The first line names the port.
    while (text.find('\n') == std::string::npos && readSome(3000)) {
    }
    auto at = text.find("127.0.0.1:");
    if (at != std::string::npos) port = std::atoi(text.c_str() + at + 10);
  }

  bool readSome(int timeoutMs) {
    pollfd p{out, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    char buf[4096];
    ssize_t n = read(out, buf, sizeof buf);
    if (n <= 0) return false;
    text.append(buf, static_cast<std::size_t>(n));
    return true;
  }

  int stop(int sig) {
    if (sig) kill(pid, sig);
    while (readSome(2000)) {
    }
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  ~ServerProcess() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    if (out >= 0) close(out);
  }
};

struct Socket {
  int fd = -1;
  std::vector<std::uint8_t> buf;
  explicit Socket(int port) {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      close(fd);
      fd = -1;
    }
  }
  ~Socket() {
    if (fd >= 0) close(fd);
  }
  void send(const Req& r) {
    ASSERT_EQ(::send(fd, r.b, kFrame, MSG_NOSIGNAL), static_cast<ssize_t>(kFrame));
  }
  void sendRaw(const void* p, std::size_t n) { (void)::send(fd, p, n, MSG_NOSIGNAL); }
  // Next whole frame, or false on timeout or end of stream.
  bool next(In& f, int timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (buf.size() < kFrame) {
      const int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
      if (left <= 0) return false;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) return false;
      std::uint8_t tmp[4096];
      ssize_t n = recv(fd, tmp, sizeof tmp, 0);
      if (n <= 0) return false;
      buf.insert(buf.end(), tmp, tmp + n);
    }
    std::memcpy(f.b, buf.data(), kFrame);
    buf.erase(buf.begin(), buf.begin() + kFrame);
    return true;
  }
};

TEST(ServerBinary, PlaysAHandOnLoopbackAndLogsIt) {
  ServerProcess srv({"--port", "0", "--seed", "9", "--robot-delay", "0", "--turn-time", "3"});
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket c(srv.port);
  ASSERT_GE(c.fd, 0);
  c.send(login("zed", "table=0;seat=0"));
  c.send(Req(16).op(3, 1));
  In f;
  int own = 0, last = 0, results = 0, calls = 0;
  bool turn = false;
  std::map<int, int> hand;
  while (results < 4 && c.next(f, 8000)) {
    switch (f.type()) {
      case 1:
        own = f.seat();
        for (int i = 0; i < 12; ++i) ++hand[f.b[16 + i]];
        break;
      case 5:
        if (f.seat() == own) ++hand[last = f.lo(0)], turn = true;
        break;
      case 10:
        if (f.seat() == own) --hand[f.lo(1)], ++hand[last = f.lo(3)];
        break;
      case 8:
        if (++calls == 1 && f.seat() == own) c.send(Req(8).op(1, 1));
        if (calls == 2 && f.seat() == own) turn = true;
        break;
      case 2:
        if (f.seat() == own) --hand[f.lo(3)];
        break;
      case 6:
        if (f.lo(0) & 128) {
          c.send(Req(7).op(0, 128));
        } else if (turn && hand[last] > 0) {
          turn = false;
          c.send(Req(2).op(3, last | 0x4000));
        } else {
          c.send(Req(7).op(0, 1));
        }
        break;
      case 9:
        ++results;
        break;
    }
  }
  EXPECT_EQ(results, 4);
  // One log line per finished hand.
  while (srv.text.find("hand 1:") == std::string::npos && srv.readSome(2000)) {
  }
  EXPECT_NE(srv.text.find("table 0 hand 1:"), std::string::npos) << srv.text;
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

TEST(ServerBinary, EndsCleanlyOnASignalWithTheGameOverNotice) {
  for (int sig : {SIGTERM, SIGINT}) {
    ServerProcess srv({"--port", "0", "--seed", "1"});
    ASSERT_GT(srv.port, 0);
    Socket c(srv.port), junk(srv.port);
    c.send(login("yan", "table=0"));
    // Garbage from another connection changes nothing for this one.
    std::vector<std::uint8_t> noise(1000, 0xAB);
    junk.sendRaw(noise.data(), noise.size());
    In f;
    ASSERT_TRUE(c.next(f, 3000));
    EXPECT_EQ(f.type(), 18);
    EXPECT_EQ(f.lo(3), 1);
    while (c.next(f, 300)) {
    }
    kill(srv.pid, sig);
    bool notice = false;
    while (c.next(f, 3000))
      if (f.type() == 22) notice = true;
    EXPECT_TRUE(notice);
    EXPECT_EQ(srv.stop(0), 0);  // it ends by itself after the signal
  }
}

TEST(ServerBinary, RefusesBadOptions) {
  ServerProcess srv({"--port", "nope"});
  int status = 0;
  waitpid(srv.pid, &status, 0);
  srv.pid = -1;
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace tavren::server::test
