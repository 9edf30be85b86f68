// The real tavrenmj-server as a child process, and a loopback client socket.
// Every wait has a bound.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "support/server_harness.h"

extern char** environ;

namespace tavren::server::test {

using Clock = std::chrono::steady_clock;

// The server process with its standard output and error on one pipe. A
// descriptor limit, when given, holds for the server only.
struct ServerProcess {
  pid_t pid = -1;
  int out = -1;
  int port = 0;
  std::string text;

  explicit ServerProcess(std::vector<std::string> args, rlim_t fileLimit = 0) {
    int fds[2];
    if (pipe(fds) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_addclose(&fa, fds[1]);  // only as 1 and 2
    std::string bin = std::string(TAVREN_BIN_DIR) + "/tavrenmj-server";
    args.insert(args.begin(), bin);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    if (fileLimit) {
      rlimit low = saved;
      low.rlim_cur = fileLimit;
      setrlimit(RLIMIT_NOFILE, &low);  // inherited by the child only; restored below
    }
    if (posix_spawn(&pid, bin.c_str(), &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    if (fileLimit) setrlimit(RLIMIT_NOFILE, &saved);
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

  // Reads until `what` shows up in the output, at most `timeoutMs`.
  bool waitFor(const std::string& what, int timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (text.find(what) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      if (left <= 0) return false;
      readSome(static_cast<int>(left));
    }
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
  explicit Socket(int port, int receiveBuffer = 0) {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
      setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
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
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  void send(const Req& r) {
    ASSERT_EQ(::send(fd, r.b, kFrame, MSG_NOSIGNAL), static_cast<ssize_t>(kFrame));
  }
  void sendRaw(const void* p, std::size_t n) { (void)::send(fd, p, n, MSG_NOSIGNAL); }
  // Waits until `until` for bytes and reads what came: recv's result, or
  // nothing when the time ran out first.
  std::optional<ssize_t> recvBefore(Clock::time_point until, std::uint8_t* tmp, std::size_t size) {
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
    if (left <= 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return std::nullopt;
    return recv(fd, tmp, size, 0);
  }
  // Next whole frame, or false on timeout or end of stream.
  bool next(In& f, int timeoutMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (buf.size() < kFrame) {
      std::uint8_t tmp[4096];
      const std::optional<ssize_t> n = recvBefore(until, tmp, sizeof tmp);
      if (!n || *n <= 0) return false;
      buf.insert(buf.end(), tmp, tmp + *n);
    }
    std::memcpy(f.b, buf.data(), kFrame);
    buf.erase(buf.begin(), buf.begin() + kFrame);
    return true;
  }
  // Reads and throws away until the stream ends (true) or `timeoutMs` passes.
  bool drainToEnd(int timeoutMs, std::size_t* bytes = nullptr) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      std::uint8_t tmp[65536];
      const std::optional<ssize_t> n = recvBefore(until, tmp, sizeof tmp);
      if (!n) return false;
      if (*n <= 0) return true;
      if (bytes) *bytes += static_cast<std::size_t>(*n);
    }
  }
};

}  // namespace tavren::server::test
