// Lines for a descriptor that may never be read (standard error to a pipe
// nobody drains, a stopped terminal): they wait in a bounded buffer and go out
// only as far as the descriptor takes them without blocking. When the buffer is
// full, lines are dropped and counted, and the count is written once there is
// room again. The descriptor's own flags are left alone (it is shared with the
// parent), so a write is only tried when poll says it will not block.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavren::server {

class LogWriter {
 public:
  explicit LogWriter(int fd, std::size_t limit = 64 * 1024) : fd_(fd), limit_(limit) {}

  // Queues a line (a newline is added) and writes what can be written now.
  void line(std::string_view text) {
    if (waiting() + text.size() + 1 > limit_) {
      ++dropped_;
      ++droppedUnsaid_;
    } else {
      buf_.append(text);
      buf_ += '\n';
    }
    flush();
  }

  // Writes what the descriptor takes without blocking; true when nothing waits.
  bool flush() {
    for (;;) {
      if (waiting() == 0) {
        buf_.clear();
        at_ = 0;
        if (droppedUnsaid_ == 0) return true;
        buf_ = "(" + std::to_string(droppedUnsaid_) +
               " log line(s) dropped: the log was not being read)\n";
        droppedUnsaid_ = 0;
      }
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 0) != 1 || !(p.revents & POLLOUT)) return false;
      // A pipe that polls writable takes PIPE_BUF bytes without blocking.
      const std::size_t n = waiting() < PIPE_BUF ? waiting() : PIPE_BUF;
      const ssize_t w = ::write(fd_, buf_.data() + at_, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
        // A descriptor that cannot be written at all: nothing will ever go out.
        dropped_ += static_cast<std::uint64_t>(lines());
        buf_.clear();
        at_ = 0;
        return true;
      }
      at_ += static_cast<std::size_t>(w);
      if (at_ > limit_ / 2) {
        buf_.erase(0, at_);
        at_ = 0;
      }
    }
  }

  // Keeps trying for at most `ms` (at the end, so that what is queued is not lost
  // when there is a reader after all).
  void drain(int ms) {
    for (int waited = 0; !flush() && waited < ms; waited += 10) {
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, 10);
    }
  }

  std::size_t waiting() const { return buf_.size() - at_; }
  std::uint64_t dropped() const { return dropped_; }

 private:
  std::size_t lines() const {
    std::size_t n = 0;
    for (std::size_t i = at_; i < buf_.size(); ++i) n += buf_[i] == '\n';
    return n;
  }

  int fd_;
  std::size_t limit_;
  std::string buf_;
  std::size_t at_ = 0;
  std::uint64_t dropped_ = 0, droppedUnsaid_ = 0;
};

}  // namespace tavren::server
