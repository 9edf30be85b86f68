// The SOCKS5 handshake against a proxy that answers anything: the fuzzer's bytes
// are the proxy's replies, cut anywhere, with virtual time between them; after a
// successful handshake they go on as the game stream.
#include "fuzz_support.h"
#include "shell/startup.h"

using namespace tavren;

namespace {
// Longer than the client's wait for a proxy that never answers (30 s), twice.
constexpr std::int64_t kTimeBudgetMs = 90'000;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  fuzz::TimeBudget budget(kTimeBudgetMs);
  sim::World world;
  sim::ScriptedPeer proxy(world, "10.0.0.9", 1080);
  sim::SimPlatform platform(world);
  platform.folder = fuzz::FreshFolder();
  Client c(platform);
  platform.attach(c);
  const bool withUser = in.byte() & 1;
  StartUp(c, std::string("amy$table=0;seat=0$10.0.0.7$8000$T1$5$10.0.0.9$1080$") +
                 (withUser ? "user$pw" : "$") + "$0$$$");
  world.loop.runFor(10);
  fuzz::CheckClient(c);
  while (!in.empty() && !c.ended) {
    const std::uint8_t op = in.byte();
    if (op < 200) {
      const auto chunk = in.bytes(op % 16 + 1);
      if (sim::Connection* conn = proxy.last(); conn != nullptr && conn->open())
        conn->send({chunk.data(), chunk.size()});
      world.loop.runFor(1);
    } else if (op < 250) {
      world.loop.runFor(budget.take((op - 199) * 100));
    } else if (sim::Connection* conn = proxy.last(); conn != nullptr && conn->open()) {
      conn->close();
      world.loop.runFor(budget.take(100));
    }
    fuzz::CheckClient(c);
    fuzz::Require(c.link.ProxyState <= 6, "proxy state", c.link.ProxyState);
    fuzz::Require(c.link.ProxyBuffer.buffered() < decltype(c.link.ProxyBuffer)::kSize,
                  "proxy buffer fill");
  }
  return 0;
}
