// A fixed byte ring of 128 frames. Buffered = (write + size − read) mod size;
// it holds at most size − 1 bytes, so write == read always means empty.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "protocol/tavren_protocol.h"

namespace tavren {

template <std::size_t N>
struct ByteRing {
  static constexpr std::size_t kSize = N;
  std::array<std::uint8_t, N> buf{};
  std::uint32_t read = 0;
  std::uint32_t write = 0;

  std::size_t buffered() const { return (write + N - read) % N; }
  std::size_t room() const { return N - 1 - buffered(); }
  void clear() { read = write = 0; }

  // Drops every whole record of `unit` bytes that waits and keeps the tail of
  // one not yet complete, so the next record still starts on its boundary.
  void dropWhole(std::size_t unit) {
    const std::size_t whole = buffered() / unit * unit;
    read = static_cast<std::uint32_t>((read + whole) % N);
  }

  // Appends bytes, wrapping at the end. The caller checks room() first.
  void append(const std::uint8_t* data, std::size_t n) {
    if (n == 0) return;  // nothing to copy, and `data` may be null
    std::size_t first = N - write;
    if (first > n) first = n;
    std::memcpy(buf.data() + write, data, first);
    if (n > first) std::memcpy(buf.data(), data + first, n - first);
    write = static_cast<std::uint32_t>((write + n) % N);
  }
};

inline constexpr std::size_t kRingBytes = 128 * protocol::kFrameSize;  // 34816
using FrameRing = ByteRing<kRingBytes>;
using ProxyRing = ByteRing<1024>;

}  // namespace tavren
