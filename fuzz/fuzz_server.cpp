// The reference server's request decoder and table engine against clients that
// send anything: several connections log in (or not), send bytes cut anywhere
// and whole requests of any type, drop, and let virtual time pass. What the
// server sends is always whole frames, every hand's coins sum to zero, the
// walls stay within their tiles and the connection table matches the streams.
#include <map>
#include <vector>

#include "engine/server.h"
#include "fuzz_support.h"

using namespace tavren;
using tavren::server::ConnId;
using tavren::server::Server;

namespace {
// A few hands of robot play (each about half a minute), past every timer of
// the engine (the longest: a human's turn time and grace, 25 s).
constexpr std::int64_t kTimeBudgetMs = 300'000;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  fuzz::TimeBudget budget(kTimeBudgetMs);
  Server::Config cfg;
  cfg.seed = in.byte();
  const std::uint8_t shape = in.byte();
  cfg.tables = 1 + shape % 2;
  // Little gold, so that a human runs short after a hand or two.
  if (shape & 2) cfg.startGold = 30;
  const std::uint8_t play = in.byte();
  cfg.busyTables = play & 1;
  cfg.handsPerGame = (play >> 1) & 3;  // 0: endless; else a game over after 1 to 3 hands
  Server s(cfg);
  s.setHandSink([&](const server::HandRecord& r) {
    fuzz::Require(r.results[0] + r.results[1] + r.results[2] + r.results[3] == 0,
                  "a hand's coins sum to zero");
    fuzz::Require(r.wallLeft >= 0 && r.wallLeft <= 144, "wall left at the end", r.wallLeft);
  });
  std::vector<ConnId> open;
  std::map<ConnId, std::uint16_t> tokens;
  static const char* const kKeys[] = {
      "table=0;seat=0;pass=a", "table=0",        "watch=0", "seat=1",
      "table=1;seat=3",        "watch=1;seat=2", "",        "table=x"};
  auto pick = [&]() -> ConnId { return open.empty() ? 0 : open[in.byte() % open.size()]; };
  while (!in.empty()) {
    const std::uint8_t op = in.byte();
    switch (op % 7) {
      case 0:
        if (open.size() < 16) open.push_back(s.connect());
        break;
      case 1: {  // a login or a resume with one of the keys
        const ConnId id = pick();
        if (!id) break;
        std::uint8_t f[272] = {};
        f[3] = op & 0x80 ? 28 : 18;
        const std::string account = "p" + std::to_string(in.byte() % 4);
        const char* key = kKeys[in.byte() % 8];
        std::memcpy(f + 16, account.data(), account.size());
        std::memcpy(f + 32, key, std::strlen(key));
        const std::uint16_t t = tokens.count(id) ? tokens[id] : in.u16();
        f[260] = static_cast<std::uint8_t>(t >> 8);
        f[261] = static_cast<std::uint8_t>(t);
        s.receive(id, {f, sizeof f});
        break;
      }
      case 2: {  // a request of any type with the latest token
        const ConnId id = pick();
        if (!id) break;
        std::uint8_t f[272] = {};
        f[2] = in.byte() & 1;
        f[3] = in.byte();
        const auto body = in.bytes(in.byte() % 64);
        std::memcpy(f + 8, body.data(), body.size());
        const std::uint16_t t = tokens[id];
        f[260] = static_cast<std::uint8_t>(t >> 8);
        f[261] = static_cast<std::uint8_t>(t);
        s.receive(id, {f, sizeof f});
        break;
      }
      case 3: {  // raw bytes cut anywhere
        const ConnId id = pick();
        const auto chunk = in.bytes(in.byte() + 1u);
        if (id) s.receive(id, {chunk.data(), chunk.size()});
        break;
      }
      case 4: {
        const ConnId id = pick();
        if (!id) break;
        s.disconnect(id);
        open.erase(std::find(open.begin(), open.end(), id));
        tokens.erase(id);
        break;
      }
      case 5:
        s.advanceTo(s.nowMs() + budget.take(in.u16()));
        break;
      default:  // the next timer, while the budget lasts
        if (auto due = s.nextDueMs()) s.advanceTo(s.nowMs() + budget.take(*due - s.nowMs()));
        break;
    }
    for (ConnId id : open) {
      const auto out = s.takeOutput(id);
      fuzz::Require(out.size() % 272 == 0, "whole frames only", static_cast<long>(out.size()));
      for (std::size_t at = 0; at + 272 <= out.size(); at += 272) {
        const std::uint16_t t = static_cast<std::uint16_t>(out[at + 260] << 8 | out[at + 261]);
        if (t != 0) tokens[id] = t;
      }
    }
    fuzz::Require(s.connectionCount() == open.size(), "connection table matches the streams",
                  static_cast<long>(s.connectionCount()));
    for (int t = 0; t < s.tableCount(); ++t)
      fuzz::Require(s.wallLeft(t) >= 0 && s.wallLeft(t) <= 144, "wall within its tiles",
                    s.wallLeft(t));
  }
  return 0;
}
