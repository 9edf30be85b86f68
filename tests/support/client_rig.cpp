#include "support/client_rig.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace tavren::e2e {

namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 1000);
        continue;
      }
      Fail("send");
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

int PidFdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

}  // namespace

Frame ServerFrame(int type, std::array<int, 4> values, std::uint8_t token0, std::uint8_t token1) {
  Frame f{};
  f[3] = static_cast<std::uint8_t>(type);
  for (std::size_t i = 0; i < values.size(); ++i) {
    f[8 + 2 * i] = static_cast<std::uint8_t>((values[i] >> 8) & 0xFF);
    f[9 + 2 * i] = static_cast<std::uint8_t>(values[i] & 0xFF);
  }
  f[260] = token0;
  f[261] = token1;
  return f;
}

TempDir::TempDir() {
  std::string tmpl = "/tmp/tavren-e2e-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) Fail("mkdtemp");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Rig::Rig(std::string lobbySocketName) : lobbySocketName_(std::move(lobbySocketName)) {
  home_ = dir_.path() + "/bin";
  lobbyDir_ = dir_.path() + "/lobby";
  runtimeDir_ = dir_.path() + "/run";
  for (const std::string& d : {home_, lobbyDir_, runtimeDir_})
    if (::mkdir(d.c_str(), 0700) != 0) Fail("mkdir " + d);
  // The sound tree sits beside the program folder, as it does beside build/bin.
  std::filesystem::create_directory_symlink(TAVREN_COMMON_DIR, dir_.path() + "/common");

  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0) Fail("socket");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) Fail("bind");
  if (::listen(listenFd_, 4) != 0) Fail("listen");
  socklen_t len = sizeof a;
  if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) Fail("getsockname");
  port_ = ntohs(a.sin_port);

  lobbyListen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (lobbyListen_ < 0) Fail("socket");
  sockaddr_un u{};
  u.sun_family = AF_UNIX;
  const std::string path = lobbyDir_ + "/" + lobbySocketName_;
  if (path.size() >= sizeof u.sun_path) throw std::runtime_error("lobby path too long");
  std::memcpy(u.sun_path, path.c_str(), path.size() + 1);
  if (::bind(lobbyListen_, reinterpret_cast<sockaddr*>(&u), sizeof u) != 0) Fail("bind lobby");
  if (::listen(lobbyListen_, 4) != 0) Fail("listen lobby");
}

Rig::~Rig() {
  for (Proc& p : procs_) {
    if (!p.end) {
      ::kill(p.pid, SIGKILL);
      int st = 0;
      ::waitpid(p.pid, &st, 0);
    }
    for (int fd : {p.pidFd, p.errFd})
      if (fd >= 0) ::close(fd);
  }
  for (pid_t h : helpers_) {
    ::kill(h, SIGKILL);
    int st = 0;
    ::waitpid(h, &st, 0);
  }
  for (int fd : {listenFd_, conn_, lobbyListen_})
    if (fd >= 0) ::close(fd);
  for (LobbyConn& c : lobbyConns_)
    if (c.fd >= 0) ::close(c.fd);
}

std::int64_t Rig::now() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               t0_)
      .count();
}

std::string Rig::playerLine(const std::string& account, const std::string& key) const {
  return account + "$" + key + "$127.0.0.1$" + std::to_string(port_) + "$T1$0$$0$$$0$$$";
}

std::string Rig::proxyLine(const std::string& account, const std::string& key,
                           std::uint16_t proxyPort, const std::string& user,
                           const std::string& password) const {
  return account + "$" + key + "$127.0.0.1$" + std::to_string(port_) + "$T1$5$127.0.0.1$" +
         std::to_string(proxyPort) + "$" + user + "$" + password + "$0$$$";
}

namespace {

// A loopback port that was free a moment ago, for a helper to listen on.
std::uint16_t FreePort(sockaddr_in& a) {
  const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  a = sockaddr_in{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (probe < 0 || ::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    Fail("probe port");
  ::close(probe);
  return ntohs(a.sin_port);
}

}  // namespace

std::uint16_t Rig::startHelper(std::vector<std::string> args, const std::string& portOption) {
  if (::access(args[0].c_str(), X_OK) != 0) return 0;
  sockaddr_in a{};
  const std::uint16_t port = FreePort(a);
  args.push_back(portOption);
  args.push_back(std::to_string(port));
  std::vector<char*> argv;
  for (std::string& x : args) argv.push_back(x.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  helpers_.push_back(pid);

  // Ready once it accepts a connection; retried briefly until then.
  const std::int64_t until = now() + 3000;
  while (now() < until) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    if (up) return port;
    ::poll(nullptr, 0, 10);
  }
  throw std::runtime_error(args[0] + " did not start");
}

std::uint16_t Rig::startSocks5(const std::string& user, const std::string& password) {
  return startHelper({"/usr/bin/microsocks", "-i", "127.0.0.1", "-u", user, "-P", password}, "-p");
}

std::uint16_t Rig::startReferenceServer() {
#ifdef TAVRENMJ_SERVER_BINARY
  // Quick robots, a fixed deal.
  return startHelper(
      {TAVRENMJ_SERVER_BINARY, "--bind", "127.0.0.1", "--seed", "7", "--robot-delay", "50"},
      "--port");
#else
  return 0;
#endif
}

std::string Rig::defaultInstance() const {
  return "tavrenmj-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(port_);
}

int Rig::start(const std::vector<std::string>& arguments, const std::string& instanceName) {
  const std::string instance = instanceName.empty() ? defaultInstance() : instanceName;
  std::vector<std::string> env;
  const std::map<std::string, std::string> set = {
      {"QT_QPA_PLATFORM", "offscreen"}, {"TAVRENMJ_MESSAGEBOX", "print"},
      {"SDL_AUDIODRIVER", "dummy"},     {"TAVRENMJ_INSTANCE", instance},
      {"TAVRENMJ_HOME", home_},         {"TAVREN_LOBBY_DIR", lobbyDir_},
      {"XDG_RUNTIME_DIR", runtimeDir_},
  };
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string kv = *e;
    const std::string name = kv.substr(0, kv.find('='));
    if (set.count(name) == 0 && name != "DISPLAY" && name != "WAYLAND_DISPLAY") env.push_back(kv);
  }
  for (const auto& [k, v] : set) env.push_back(k + "=" + v);

  std::vector<std::string> args = {TAVRENMJ_BINARY};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv, envp;
  for (std::string& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  for (std::string& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) Fail("pipe2");
  const pid_t pid = ::fork();
  if (pid < 0) Fail("fork");
  if (pid == 0) {
    ::dup2(pipeFds[1], 2);
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) ::dup2(devnull, 1);
    // The client starts with the three standard descriptors only, as a lobby
    // starts it: whatever else it holds, it opened itself.
    ::close_range(3, ~0U, 0);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  Proc p;
  p.pid = pid;
  p.errFd = pipeFds[0];
  p.pidFd = PidFdOpen(pid);
  procs_.push_back(std::move(p));
  return static_cast<int>(procs_.size()) - 1;
}

void Rig::reap(Proc& p) {
  if (p.end) return;
  int st = 0;
  if (::waitpid(p.pid, &st, WNOHANG) != p.pid) return;
  ProcessEnd e;
  e.exited = WIFEXITED(st);
  e.status = e.exited ? WEXITSTATUS(st) : (WIFSIGNALED(st) ? WTERMSIG(st) : -1);
  p.end = e;
  if (p.pidFd >= 0) ::close(p.pidFd);
  p.pidFd = -1;
  // Everything the process wrote is in the pipe now: take it all.
  char buf[4096];
  while (p.errFd >= 0) {
    const ssize_t r = ::read(p.errFd, buf, sizeof buf);
    if (r > 0) {
      p.err.append(buf, static_cast<std::size_t>(r));
    } else if (r < 0 && errno == EINTR) {
      continue;
    } else {
      ::close(p.errFd);
      p.errFd = -1;
    }
  }
}

void Rig::pollOnce(int timeoutMs) {
  enum Kind { kListen, kConn, kLobbyListen, kLobbyConn, kErr, kPid };
  bool polling = false;
  std::vector<pollfd> fds;
  std::vector<std::pair<Kind, std::size_t>> what;
  auto add = [&](int fd, Kind k, std::size_t i = 0) {
    if (fd < 0) return;
    fds.push_back(pollfd{fd, POLLIN, 0});
    what.emplace_back(k, i);
  };
  add(listenFd_, kListen);
  add(conn_, kConn);
  add(lobbyListen_, kLobbyListen);
  for (std::size_t i = 0; i < lobbyConns_.size(); ++i) add(lobbyConns_[i].fd, kLobbyConn, i);
  for (std::size_t i = 0; i < procs_.size(); ++i) {
    add(procs_[i].errFd, kErr, i);
    add(procs_[i].pidFd, kPid, i);
    // Without a process descriptor the exit is noticed by looking now and then.
    if (!procs_[i].end && procs_[i].pidFd < 0) polling = true;
  }
  if (polling) timeoutMs = std::min(timeoutMs, 20);

  const int n = ::poll(fds.data(), fds.size(), timeoutMs);
  if (n < 0 && errno != EINTR) Fail("poll");
  std::uint8_t buf[65536];
  for (std::size_t k = 0; n > 0 && k < fds.size(); ++k) {
    if (fds[k].revents == 0) continue;
    const auto [kind, index] = what[k];
    switch (kind) {
      case kListen: {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) break;
        // A new connection from the client replaces the old one.
        if (conn_ >= 0) ::close(conn_);
        conn_ = fd;
        connClosed_ = false;
        received_.clear();
        break;
      }
      case kConn: {
        const ssize_t r = ::read(conn_, buf, sizeof buf);
        if (r > 0) {
          received_.insert(received_.end(), buf, buf + r);
        } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
          ::close(conn_);
          conn_ = -1;
          connClosed_ = true;
        }
        break;
      }
      case kLobbyListen: {
        const int fd = ::accept4(lobbyListen_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) lobbyConns_.push_back(LobbyConn{fd, {}});
        break;
      }
      case kLobbyConn: {
        LobbyConn& c = lobbyConns_[index];
        const ssize_t r = ::read(c.fd, buf, sizeof buf);
        if (r > 0) {
          c.pending.insert(c.pending.end(), buf, buf + r);
          while (c.pending.size() >= 12) {
            lobbyRecords_.push_back(LobbyRecord{GetU32(c.pending.data()),
                                                GetU32(c.pending.data() + 4),
                                                GetU32(c.pending.data() + 8)});
            c.pending.erase(c.pending.begin(), c.pending.begin() + 12);
          }
        } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
          ::close(c.fd);
          c.fd = -1;
        }
        break;
      }
      case kErr: {
        Proc& p = procs_[index];
        const ssize_t r = ::read(p.errFd, buf, sizeof buf);
        if (r > 0) {
          p.err.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(r));
        } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
          ::close(p.errFd);
          p.errFd = -1;
        }
        break;
      }
      case kPid:
        reap(procs_[index]);
        break;
    }
  }
  for (Proc& p : procs_)
    if (p.pidFd < 0) reap(p);
}

bool Rig::waitFor(const std::function<bool()>& done, int ms) {
  const std::int64_t until = now() + ms;
  for (;;) {
    if (done()) return true;
    const std::int64_t left = until - now();
    if (left <= 0) return false;
    pollOnce(static_cast<int>(left));
  }
}

std::vector<Frame> Rig::framesReceived() const {
  std::vector<Frame> frames;
  for (std::size_t at = 0; at + 272 <= received_.size(); at += 272) {
    Frame f;
    std::copy_n(received_.begin() + static_cast<std::ptrdiff_t>(at), 272, f.begin());
    frames.push_back(f);
  }
  return frames;
}

void Rig::serverSend(const Frame& f) {
  if (conn_ < 0) throw std::runtime_error("no client connection");
  WriteAll(conn_, f.data(), f.size());
}

void Rig::serverClose() {
  if (conn_ >= 0) ::close(conn_);
  conn_ = -1;
}

int Rig::lobbyCount(std::uint32_t message, std::optional<std::uint32_t> wParam) const {
  return static_cast<int>(std::count_if(lobbyRecords_.begin(), lobbyRecords_.end(), [&](auto& r) {
    return r.message == message && (!wParam || r.wParam == *wParam);
  }));
}

void Rig::lobbySend(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
  for (auto it = lobbyConns_.rbegin(); it != lobbyConns_.rend(); ++it) {
    if (it->fd < 0) continue;
    std::uint8_t rec[12];
    PutU32(rec, message);
    PutU32(rec + 4, wParam);
    PutU32(rec + 8, lParam);
    WriteAll(it->fd, rec, sizeof rec);
    return;
  }
  throw std::runtime_error("no lobby connection");
}

void Rig::stopLobby() {
  if (lobbyListen_ >= 0) ::close(lobbyListen_);
  lobbyListen_ = -1;
  ::unlink((lobbyDir_ + "/" + lobbySocketName_).c_str());
  for (LobbyConn& c : lobbyConns_) {
    if (c.fd >= 0) ::close(c.fd);
    c.fd = -1;
  }
}

}  // namespace tavren::e2e
