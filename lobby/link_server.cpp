#include "lobby/link_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tavren::lobby {

namespace {

bool addressFor(const std::string& path, sockaddr_un& addr) {
  addr = {};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// True when a process accepts connections on the socket file.
bool answers(const sockaddr_un& addr) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

LinkServer::LinkServer(Say say, OnMessage onMessage)
    : say_(std::move(say)), onMessage_(std::move(onMessage)) {}

LinkServer::~LinkServer() {
  close();
}

bool LinkServer::listen(const std::string& directory, std::string_view caption,
                        std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (!ensureDirectory(directory, error)) return false;
  const std::string path = directory + "/" + encodeCaption(caption) + ".sock";
  sockaddr_un addr;
  if (!addressFor(path, addr)) return fail("socket path too long: " + path);
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode))
      return fail(path + " is not a socket; remove it or choose another caption");
    if (answers(addr))
      return fail("another lobby with the caption '" + std::string(caption) + "' is running (" +
                  path + ")");
    unlink(path.c_str());  // left by a lobby that died
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return fail(std::string("cannot make a socket: ") + std::strerror(errno));
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, 8) != 0) {
    const int e = errno;
    ::close(fd);
    // Two lobbies starting at once: the second finds the first's socket here.
    return fail("cannot listen on " + path + ": " + std::strerror(e));
  }
  if (stat(path.c_str(), &st) == 0) {
    inode_ = st.st_ino;
    device_ = st.st_dev;
  }
  listener_ = fd;
  path_ = path;
  return true;
}

std::vector<int> LinkServer::descriptors() const {
  std::vector<int> fds;
  if (listener_ >= 0 && acceptAfterMs_ < 0) fds.push_back(listener_);
  for (const Peer& p : peers_) fds.push_back(p.fd);
  return fds;
}

int LinkServer::timeoutMs(std::int64_t nowMs) const {
  std::int64_t t = -1;
  if (acceptAfterMs_ >= 0) t = std::max<std::int64_t>(0, acceptAfterMs_ - nowMs);
  if (suppressed_ > 0) {
    const std::int64_t s = std::max<std::int64_t>(0, windowStartMs_ + 1000 - nowMs);
    t = t < 0 ? s : std::min(t, s);
  }
  return static_cast<int>(t);
}

void LinkServer::service(std::int64_t nowMs) {
  flushSummary(nowMs);
  if (listener_ >= 0 && (acceptAfterMs_ < 0 || nowMs >= acceptAfterMs_)) acceptAll(nowMs);
  for (std::size_t i = 0; i < peers_.size();) {
    if (readPeer(peers_[i], nowMs)) {
      ++i;
      continue;
    }
    ::close(peers_[i].fd);
    peers_.erase(peers_.begin() + static_cast<std::ptrdiff_t>(i));
    say_("client disconnected");
  }
}

void LinkServer::acceptAll(std::int64_t nowMs) {
  acceptAfterMs_ = -1;
  for (int n = 0; n < 64; ++n) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // The connection stays in the backlog; polling the listener now would
        // wake at once, again and again. Wait, longer each time, up to a second.
        acceptDelayMs_ = std::clamp(acceptDelayMs_ * 2, 50, 1000);
        if (acceptDelayMs_ == 50)
          say_(std::string("accept: ") + std::strerror(errno) + "; waiting before trying again");
        acceptAfterMs_ = nowMs + acceptDelayMs_;
      }
      return;
    }
    if (acceptDelayMs_ > 0) say_("accept: working again");
    acceptDelayMs_ = 0;
    if (peers_.size() >= kMaxClients) {
      ::close(fd);
      if (refusedWhileFull_++ % 100 == 0)
        say_("refused a connection: " + std::to_string(kMaxClients) + " clients already");
      continue;
    }
    peers_.push_back(Peer{fd});
    say_("client connected");
  }
}

bool LinkServer::readPeer(Peer& p, std::int64_t nowMs) {
  // At most this much per call, so one client cannot keep the lobby from the others.
  for (int rounds = 0; rounds < 16; ++rounds) {
    std::uint8_t buf[1200];
    const ssize_t n = recv(p.fd, buf, sizeof buf, 0);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    for (ssize_t i = 0; i < n; ++i) {
      p.partial[p.have++] = buf[i];
      if (p.have == 12) {
        p.have = 0;
        received(decode(p.partial), nowMs);
      }
    }
  }
  return true;
}

void LinkServer::received(const Message& m, std::int64_t nowMs) {
  flushSummary(nowMs);
  if (windowStartMs_ < 0 || nowMs - windowStartMs_ >= 1000) {
    windowStartMs_ = nowMs;
    printedInWindow_ = 0;
  }
  if (printedInWindow_ < kPrintedPerSecond) {
    ++printedInWindow_;
    say_("received " + messageName(m) + " wParam " + std::to_string(m.wParam) + " lParam " +
         std::to_string(m.lParam));
  } else {
    ++suppressed_;
  }
  if (onMessage_) onMessage_(m);
}

void LinkServer::flushSummary(std::int64_t nowMs) {
  if (suppressed_ == 0 || nowMs - windowStartMs_ < 1000) return;
  say_("received " + std::to_string(suppressed_) + " more messages in a second (not shown)");
  suppressed_ = 0;
  windowStartMs_ = nowMs;
  printedInWindow_ = 0;
}

bool LinkServer::broadcast(const Message& m) {
  const auto b = encode(m);
  bool sent = false;
  for (const Peer& p : peers_)
    if (send(p.fd, b.data(), b.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
        static_cast<ssize_t>(b.size()))
      sent = true;
  return sent;
}

void LinkServer::close() {
  for (const Peer& p : peers_) ::close(p.fd);
  peers_.clear();
  if (listener_ < 0) return;
  ::close(listener_);
  listener_ = -1;
  // Only our own socket file: another lobby may have taken the caption after
  // this one's file was removed by hand.
  struct stat st {};
  if (lstat(path_.c_str(), &st) == 0 && st.st_ino == inode_ && st.st_dev == device_)
    unlink(path_.c_str());
}

}  // namespace tavren::lobby
