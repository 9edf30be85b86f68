// A client at a table, fed by a server that sends anything: the fuzzer's bytes
// become chunks of the byte stream (frames cut anywhere), whole frames with
// chosen type and seat, virtual time for the pump's ticks and the link watch,
// drops of the connection (and the resumes that follow) and lobby messages.
// Every invariant of the model is checked after each step.
#include <array>

#include "fuzz_support.h"
#include "shell/startup.h"

using namespace tavren;

namespace {

constexpr const char* kHost = "10.0.0.7";
// Longer than the client's longest wait: five minutes of a silent server
// during a hand, then sixteen resume attempts 3 s apart.
constexpr std::int64_t kTimeBudgetMs = 400'000;
constexpr std::uint16_t kPort = 8000;

constexpr std::array<std::uint32_t, 8> kLobbyMessages = {
    kWmEndSession,        kWmSysCommand,       kWmClear, kWmUser, kLobbyNewHand,
    kLobbyHandInProgress, kLobbyLoginUnderWay, 0x1234};

void Feed(sim::ScriptedPeer& peer, const std::uint8_t* data, std::size_t n) {
  sim::Connection* conn = peer.last();
  if (conn != nullptr && conn->open() && n > 0) conn->send({data, n});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  fuzz::TimeBudget budget(kTimeBudgetMs);
  sim::World world;
  sim::ScriptedPeer peer(world, kHost, kPort);
  sim::SimPlatform platform(world);
  platform.folder = fuzz::FreshFolder();
  Client c(platform);
  platform.attach(c);

  const std::uint8_t mode = in.byte();
  const std::string tail = std::string("$") + kHost + "$" + std::to_string(kPort) + "$T1$0$$0$$$" +
                           ((mode & 2) ? "1$Qixo山庄$Main" : "0$$");
  // A player's line ends with "$"; a watcher's names the watched user id instead.
  const std::string line = (mode & 1) ? "amy$watch=0$" + std::string(kHost) + "$" +
                                            std::to_string(kPort) + "$T1$900001$0$$$$$0"
                                      : "amy$table=0;seat=0" + tail + "$";
  StartUp(c, line);
  world.loop.runFor(100);
  fuzz::CheckClient(c);

  while (!in.empty() && !c.ended) {
    switch (in.byte() % 8) {
      case 0:
      case 1: {  // a piece of the stream, cut anywhere
        const auto chunk = in.bytes(in.byte() + 1u);
        Feed(peer, chunk.data(), chunk.size());
        world.loop.runFor(1);
        break;
      }
      case 2: {  // one whole frame: type, seat, operands and payload, token
        Frame f{};
        f[3] = in.byte();
        f[6] = in.byte();
        const auto body = in.bytes(in.byte() + 1u);
        std::memcpy(f.data() + 8, body.data(), std::min<std::size_t>(body.size(), 252));
        const std::uint16_t token = in.u16();
        f[260] = static_cast<std::uint8_t>(token >> 8);
        f[261] = static_cast<std::uint8_t>(token);
        Feed(peer, f.data(), f.size());
        world.loop.runFor(1);
        break;
      }
      case 3:  // time for the pump's ticks, countdowns and timers
        world.loop.runFor(budget.take(in.u16() % 20000 + 1));
        break;
      case 4:  // a silence of 5 ms to 164 s, on every scale alike: blinks, keep-alives,
               // resume attempts, and (twice in a row) the silent-server watch
        world.loop.runFor(budget.take(std::int64_t{5} << (in.byte() % 16)));
        break;
      case 5:  // the server drops the connection
        if (sim::Connection* conn = peer.last(); conn != nullptr && conn->open()) conn->close();
        world.loop.runFor(budget.take(in.byte() * 50 + 1));
        break;
      case 6:  // the lobby says something
        OnLobbyMessage(c, kLobbyMessages[in.byte() % kLobbyMessages.size()], in.byte(), in.byte());
        world.loop.runFor(1);
        break;
      default:  // one pump tick
        world.loop.runFor(kPumpIntervalMs);
        break;
    }
    fuzz::CheckClient(c);
  }
  return 0;
}
