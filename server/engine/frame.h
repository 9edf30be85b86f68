// The server's own frame codec: 272 bytes, type in byte 3, seat bit in byte 6,
// four big-endian operands from byte 8, payload from byte 16, token at 260.
// It shares only the numbers of protocol/tavren_protocol.h with the client.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "protocol/tavren_protocol.h"

namespace tavren::server {

namespace proto = tavren::protocol;

struct Frame {
  std::array<std::uint8_t, proto::kFrameSize> b{};

  Frame() = default;
  Frame(int type, int seatBit) {
    b[proto::kTypeOffset] = static_cast<std::uint8_t>(type);
    b[proto::kSeatOffset] = static_cast<std::uint8_t>(seatBit);
  }
  int type() const { return b[proto::kTypeOffset]; }
  // Requests carry the type in bytes 2..3.
  int requestType() const { return b[proto::kTypeHighOffset] * 256 + b[proto::kTypeOffset]; }
  int seat() const { return b[proto::kSeatOffset]; }

  Frame& operand(int i, int v) {
    const std::size_t at = proto::kOperandOffset + 2 * static_cast<std::size_t>(i);
    const auto u = static_cast<std::uint16_t>(v);
    b[at] = static_cast<std::uint8_t>(u >> 8);
    b[at + 1] = static_cast<std::uint8_t>(u & 0xFF);
    return *this;
  }
  int operand(int i) const {
    const std::size_t at = proto::kOperandOffset + 2 * static_cast<std::size_t>(i);
    return static_cast<std::int16_t>((b[at] << 8) | b[at + 1]);
  }
  Frame& byteAt(std::size_t at, int v) {
    b[at] = static_cast<std::uint8_t>(v);
    return *this;
  }
  // Text into a fixed field; cut to the field, never past it.
  Frame& text(std::size_t at, std::size_t room, std::string_view s) {
    std::size_t n = s.size() < room ? s.size() : room;
    std::memcpy(b.data() + at, s.data(), n);
    return *this;
  }
  // Little-endian 64-bit number.
  Frame& u64(std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return *this;
  }
  Frame& u32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    return *this;
  }
  Frame& token(std::uint16_t t) {
    b[proto::kTokenOffset] = static_cast<std::uint8_t>(t >> 8);
    b[proto::kTokenOffset + 1] = static_cast<std::uint8_t>(t & 0xFF);
    return *this;
  }
  std::uint16_t token() const {
    return static_cast<std::uint16_t>((b[proto::kTokenOffset] << 8) | b[proto::kTokenOffset + 1]);
  }
  // Zero-terminated text of at most `room` bytes from `at`.
  std::string_view textAt(std::size_t at, std::size_t room) const {
    std::size_t n = 0;
    while (n < room && b[at + n] != 0) ++n;
    return {reinterpret_cast<const char*>(b.data() + at), n};
  }
};

// Seat index 0..3 and its wire bit.
constexpr int seatBit(int seat) {
  return 1 << seat;
}
constexpr int seatOfBit(int bit) {
  return bit == 1 ? 0 : bit == 2 ? 1 : bit == 4 ? 2 : bit == 8 ? 3 : -1;
}

}  // namespace tavren::server
