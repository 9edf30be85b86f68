// What one connection still has to write, with a bound. Frames wait here until the
// socket takes them. A peer that stops reading makes the queue grow; the queue then
// asks for the connection to be dropped: at once above the hard limit, or when it
// has stayed above the soft limit for longer than the grace. Time is the caller's
// (milliseconds), so the rule runs the same in tests and on the network.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace tavren::server {

class OutQueue {
 public:
  struct Limits {
    std::size_t soft = 256 * 1024;  // a resume's kept frames fit with room to spare
    std::size_t hard = 1024 * 1024;
    std::int64_t graceMs = 10000;
  };

  OutQueue() = default;
  explicit OutQueue(Limits limits) : limits_(limits) {}

  // Adds bytes to the end. False: the connection must go.
  bool push(std::vector<std::uint8_t> bytes, std::int64_t nowMs) {
    if (!bytes.empty()) {
      bytes_ += bytes.size();
      chunks_.push_back(std::move(bytes));
    }
    return check(nowMs);
  }

  // The limits alone, for a connection that gets nothing new. False: drop it.
  bool check(std::int64_t nowMs) {
    if (bytes_ > limits_.hard) return false;
    if (bytes_ <= limits_.soft) {
      overSince_ = -1;
      return true;
    }
    if (overSince_ < 0) overSince_ = nowMs;
    return nowMs - overSince_ <= limits_.graceMs;
  }

  bool empty() const { return chunks_.empty(); }
  std::size_t bytes() const { return bytes_; }
  // The chunk being written; it stays counted until pop().
  const std::vector<std::uint8_t>& front() const { return chunks_.front(); }
  void pop(std::int64_t nowMs) {
    bytes_ -= chunks_.front().size();
    chunks_.pop_front();
    check(nowMs);
  }
  // Gives every byte back to the system.
  void clear() {
    std::deque<std::vector<std::uint8_t>>().swap(chunks_);
    bytes_ = 0;
    overSince_ = -1;
  }

 private:
  Limits limits_;
  std::deque<std::vector<std::uint8_t>> chunks_;
  std::size_t bytes_ = 0;
  std::int64_t overSince_ = -1;
};

}  // namespace tavren::server
