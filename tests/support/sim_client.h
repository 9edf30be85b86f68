// A client in the simulated world, wired to a scripted peer, for tests.
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/client.h"
#include "platform/sim/sim_world.h"

namespace tavren::testing {

inline constexpr const char* kHost = "10.0.0.7";
inline constexpr std::uint16_t kPort = 8000;

// A server-to-client frame: type, seat byte, four operand pairs (hi, lo) and a token.
inline Frame ServerFrame(int type, std::uint8_t seat = 0, std::initializer_list<int> values = {},
                         std::uint16_t token = 0) {
  Frame f{};
  f[3] = static_cast<std::uint8_t>(type);
  f[6] = seat;
  int i = 0;
  for (int v : values) {
    f[8 + 2 * i] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
    f[9 + 2 * i] = static_cast<std::uint8_t>(v & 0xFF);
    ++i;
  }
  f[260] = static_cast<std::uint8_t>(token >> 8);
  f[261] = static_cast<std::uint8_t>(token & 0xFF);
  return f;
}

inline void PutText(Frame& f, std::size_t offset, const std::string& bytes) {
  std::memcpy(f.data() + offset, bytes.data(), bytes.size());
}

// `n` discards from seat bit 2 in a row, their tiles counting up from `firstValue`.
inline std::vector<std::uint8_t> DiscardFrames(int n, int firstValue) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < n; ++i) {
    Frame f = ServerFrame(2, 0x02, {0, 0, 0, firstValue + i});
    bytes.insert(bytes.end(), f.begin(), f.end());
  }
  return bytes;
}

struct SimClient {
  sim::World world;
  sim::SimPlatform platform{world};
  Client c{platform};
  sim::ScriptedPeer server{world, kHost, kPort};

  SimClient() {
    platform.attach(c);
    c.table.custom[0].seat = 1;
    c.link.LinkReady = true;
  }

  // Connects the socket and starts the pump, as a direct connection does once
  // its login frame went out.
  sim::Connection& Connect() {
    platform.socketConnect(kHost, kPort);
    c.link.LoginSent = true;
    world.loop.runFor(world.latencyMs);
    SetTimer(c, TimerId::Bong, true);
    return *server.last();
  }

  void Run(std::int64_t ms) { world.loop.runFor(ms); }
  std::int64_t Now() const { return world.loop.now(); }
};

}  // namespace tavren::testing
