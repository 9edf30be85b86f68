// The lobby's side: an arbitrary command line, then an arbitrary run of lobby
// messages with time between them, against a server that accepts the login.
#include <array>

#include "fuzz_support.h"
#include "shell/startup.h"

using namespace tavren;

namespace {
// Longer than the login's wait for a connection that never answers (60 s),
// twice over.
constexpr std::int64_t kTimeBudgetMs = 150'000;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  fuzz::TimeBudget budget(kTimeBudgetMs);
  const std::string line = in.text(in.u16() % 600);
  if (auto h = ParseHandOver(line)) {
    fuzz::Require(h->field[1].size() <= kAccountBytes, "account length");
    fuzz::Require(h->field[2].size() <= kKeyBytes, "key length");
    fuzz::Require(h->linkMode >= -32768 && h->linkMode <= 32767, "link mode");
  }
  sim::World world;
  sim::ScriptedPeer server(world, "127.0.0.1", 7000);
  server.onFrame = [](sim::Connection& conn, const Frame& f) {
    if (f[3] != 18) return;
    Frame ok{};
    ok[3] = 18;
    ok[15] = 1;
    ok[261] = 7;
    conn.sendFrame(ok);
  };
  sim::SimPlatform platform(world);
  platform.folder = fuzz::FreshFolder();
  Client c(platform);
  platform.attach(c);
  StartUp(c, line);
  world.loop.runFor(100);
  fuzz::CheckClient(c);
  static constexpr std::array<std::uint32_t, 7> kKnown = {
      kWmEndSession, kWmSysCommand,        kWmClear,           kWmUser,
      kLobbyNewHand, kLobbyHandInProgress, kLobbyLoginUnderWay};
  while (!in.empty() && !c.ended) {
    const std::uint8_t op = in.byte();
    const std::uint32_t message = op & 0x80 ? in.u16() : kKnown[op % kKnown.size()];
    OnLobbyMessage(c, message, in.u16(), in.u16());
    world.loop.runFor(budget.take((op & 0x70) * 20 + 1));
    fuzz::CheckClient(c);
  }
  return 0;
}
