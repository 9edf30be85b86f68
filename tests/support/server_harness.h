// Test helpers for the reference server: read its frames the way a client would,
// and build requests byte by byte. Independent of the engine's own frame code on
// purpose; only the protocol's numbers are shared.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/server.h"
#include "protocol/tavren_protocol.h"

namespace tavren::server::test {

namespace proto = tavren::protocol;

constexpr std::size_t kFrame = proto::kFrameSize;
constexpr std::size_t kOp = proto::kOperandOffset;

struct In {
  std::uint8_t b[kFrame];
  int type() const { return b[proto::kTypeOffset]; }
  int seat() const { return b[proto::kSeatOffset] & 15; }
  // Low byte of an operand, as the client reads most of them.
  int lo(int i) const { return b[kOp + 1 + 2 * i]; }
  int s16(int i) const {
    return static_cast<std::int16_t>((b[kOp + 2 * i] << 8) | b[kOp + 1 + 2 * i]);
  }
  std::string text(std::size_t at, std::size_t room) const {
    std::string s;
    for (std::size_t i = 0; i < room && b[at + i]; ++i) s += static_cast<char>(b[at + i]);
    return s;
  }
  std::uint64_t u64(std::size_t at) const {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
  }
  std::uint16_t token() const {
    return static_cast<std::uint16_t>((b[proto::kTokenOffset] << 8) | b[proto::kTokenOffset + 1]);
  }
  // Signed coin result of a result instruction.
  std::int64_t result() const {
    auto v = static_cast<std::int64_t>(u64(proto::kPayloadOffset));
    return lo(1) == 0 ? -v : v;
  }
};

inline std::vector<In> split(const std::vector<std::uint8_t>& bytes) {
  std::vector<In> out(bytes.size() / kFrame);
  for (std::size_t i = 0; i < out.size(); ++i)
    std::memcpy(out[i].b, bytes.data() + i * kFrame, kFrame);
  return out;
}

struct Req {
  std::uint8_t b[kFrame] = {};
  explicit Req(int type) {
    b[proto::kTypeHighOffset] = static_cast<std::uint8_t>(type >> 8);
    b[proto::kTypeOffset] = static_cast<std::uint8_t>(type & 0xFF);
  }
  Req& op(int i, int v) {
    b[kOp + 2 * i] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    b[kOp + 1 + 2 * i] = static_cast<std::uint8_t>(v & 0xFF);
    return *this;
  }
  Req& text(std::size_t at, const std::string& s) {
    std::memcpy(b + at, s.data(), s.size());
    return *this;
  }
  Req& token(std::uint16_t t) {
    b[proto::kTokenOffset] = static_cast<std::uint8_t>(t >> 8);
    b[proto::kTokenOffset + 1] = static_cast<std::uint8_t>(t & 0xFF);
    return *this;
  }
  std::vector<std::uint8_t> bytes() const { return std::vector<std::uint8_t>(b, b + kFrame); }
};

inline Req login(const std::string& account, const std::string& key, int type = proto::kReqLogin) {
  Req r(type);
  r.text(proto::kLoginAccountOffset, account).text(proto::kLoginKeyOffset, key);
  return r;
}

// One client connection on an in-process server, collecting what it receives.
struct Client {
  Server& server;
  ConnId id;
  std::vector<In> got;
  explicit Client(Server& s) : server(s), id(s.connect()) {}
  void send(const Req& r) { server.receive(id, std::vector<std::uint8_t>(r.b, r.b + kFrame)); }
  // Takes what the server has for this client; returns the new frames.
  std::vector<In> pull() {
    auto frames = split(server.takeOutput(id));
    got.insert(got.end(), frames.begin(), frames.end());
    return frames;
  }
};

// Runs every timer due up to `untilMs`.
inline void runUntil(Server& s, std::int64_t untilMs) {
  s.advanceTo(untilMs);
}

// Runs timers until `done` holds or time passes `limitMs`.
template <class Done>
bool runWhile(Server& s, Done done, std::int64_t limitMs = std::int64_t{1} << 40) {
  while (!done()) {
    auto due = s.nextDueMs();
    if (!due || *due > limitMs) return false;
    s.advanceTo(*due);
  }
  return true;
}

}  // namespace tavren::server::test
