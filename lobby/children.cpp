#include "lobby/children.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace tavren::lobby {

namespace {

std::int64_t monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

pid_t spawnProgram(const std::string& program, const std::vector<std::string>& args,
                   bool quietStdout) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quietStdout) posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

namespace {

// What the two forks of spawnDetached tell the caller through their pipe.
struct Report {
  int what;  // 'P': the program's pid; 'E': exec failed with errno `value`
  int value;
};

void tell(int fd, int what, int value) {
  const Report r{what, value};
  (void)!write(fd, &r, sizeof r);  // one write under PIPE_BUF: never interleaved
}

}  // namespace

pid_t spawnDetached(const std::string& program, const std::vector<std::string>& args,
                    const std::string& logPath, std::string* error, long maxLogBytes) {
  auto fail = [&](const std::string& what, int err) -> pid_t {
    if (error) *error = what + ": " + std::strerror(err);
    return -1;
  };
  // Everything the forks need is made here: between fork and exec only
  // async-signal-safe calls are allowed (Qt's threads may hold locks).
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int out = logPath.empty()
                ? -1
                : open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0600);
  struct stat st {};
  if (out >= 0 && fstat(out, &st) == 0 && st.st_size > maxLogBytes) (void)!ftruncate(out, 0);
  if (out < 0) out = open("/dev/null", O_WRONLY | O_CLOEXEC);
  int report[2] = {-1, -1};
  if (in < 0 || out < 0 || pipe2(report, O_CLOEXEC) != 0) {
    const int err = errno;
    for (int fd : {in, out})
      if (fd >= 0) close(fd);
    return fail("cannot start " + program, err);
  }
  const pid_t middle = fork();
  if (middle == 0) {
    setsid();
    const pid_t pid = fork();
    if (pid != 0) {
      tell(report[1], pid > 0 ? 'P' : 'E', pid > 0 ? pid : errno);
      _exit(0);
    }
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    // Nothing else of this process goes with it (sockets, the X connection);
    // the report pipe closes as the program starts.
    if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0)
      for (int fd = 3; fd < 65536; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
    // It starts with the signals as a program started from a desktop does.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program.c_str(), argv.data(), environ);
    tell(report[1], 'E', errno);
    _exit(127);
  }
  const int forkErr = errno;
  close(report[1]);
  close(in);
  close(out);
  if (middle < 0) {
    close(report[0]);
    return fail("cannot start " + program, forkErr);
  }
  while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  // Until both forks are done with it: the middle one's exit and the
  // program's exec (or its failure) close it.
  pid_t pid = -1;
  int execErr = 0;
  for (;;) {
    Report r{};
    const ssize_t n = read(report[0], &r, sizeof r);
    if (n < 0 && errno == EINTR) continue;
    if (n != static_cast<ssize_t>(sizeof r)) break;
    if (r.what == 'P') pid = r.value;
    if (r.what == 'E') execErr = r.value != 0 ? r.value : EIO;
  }
  close(report[0]);
  if (execErr != 0) return fail("cannot start " + program, execErr);
  if (pid <= 0) return fail("cannot start " + program, EAGAIN);
  return pid;
}

int reapIfEnded(pid_t& child) {
  if (child <= 0) return -2;
  int status = 0;
  const pid_t r = waitpid(child, &status, WNOHANG);
  if (r == 0) return -1;
  child = -1;
  if (r < 0) return 0;
  return WIFEXITED(status) ? WEXITSTATUS(status)
                           : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

void stopChild(pid_t& child, int graceMs) {
  if (child <= 0) return;
  kill(child, SIGTERM);
  const std::int64_t until = monotonicMs() + graceMs;
  while (monotonicMs() < until) {
    if (reapIfEnded(child) != -1) return;
    poll(nullptr, 0, 20);
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  child = -1;
}

int freePort(const std::string& bind) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  if (inet_pton(AF_INET, bind.c_str(), &a.sin_addr) != 1)
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int port = 0;
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(fd);
  return port;
}

bool waitForPort(const std::string& host, int port, pid_t& child, int limitMs) {
  const std::int64_t until = monotonicMs() + limitMs;
  for (int wait = 5; monotonicMs() < until; wait = wait < 100 ? wait * 2 : 100) {
    if (child > 0 && reapIfEnded(child) != -1) return false;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (host == "0.0.0.0" || inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1)
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (ok) return true;
    poll(nullptr, 0, wait);
  }
  return false;
}

bool spawnServer(const std::string& program, const std::string& bind, int port,
                 const std::vector<std::string>& extra, ServerChild& out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (port == 0) port = freePort(bind);
  if (port == 0) return fail("no free port on " + bind);
  std::vector<std::string> args = {program, "--bind", bind, "--port", std::to_string(port)};
  args.insert(args.end(), extra.begin(), extra.end());
  const pid_t pid = spawnProgram(program, args, true);
  if (pid < 0) return fail("cannot start " + program + ": " + std::strerror(errno));
  out.pid = pid;
  out.port = port;
  return true;
}

bool serverReady(const std::string& bind, ServerChild& server, std::string* error) {
  pid_t pid = server.pid;
  const int port = server.port;
  server = {};
  if (!waitForPort(bind, port, pid, 10000)) {
    const bool ended = pid < 0;
    stopChild(pid);
    if (!error) return false;
    *error = (ended ? "the table server ended at once (is port " + std::to_string(port) + " taken?)"
                    : "the table server did not start listening on port " + std::to_string(port));
    return false;
  }
  server.pid = pid;
  server.port = port;
  return true;
}

bool startServer(const std::string& program, const std::string& bind, int port,
                 const std::vector<std::string>& extra, ServerChild& out, std::string* error) {
  return spawnServer(program, bind, port, extra, out, error) && serverReady(bind, out, error);
}

}  // namespace tavren::lobby
