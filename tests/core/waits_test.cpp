// The three waits: a pause that blocks every event, a wait that handles them,
// and the tile motion's pauses that shorten while frames pile up.
#include "core/waits.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/pump.h"
#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::DiscardFrames;
using testing::SimClient;

int g_handled = 0;

TEST(Waits, PauseBlocksEventsAndWaitHandlesThem) {
  g_handled = 0;
  SimClient s;
  s.c.handlers.byType[2] = [](Client&, const InfoRecord&) { ++g_handled; };
  sim::Connection& conn = s.Connect();
  conn.send(DiscardFrames(1, 1));
  s.Run(1);  // the bytes are in the ring
  const std::int64_t t0 = s.Now();
  RunEvent(s.c, [&] { pauseSeconds(s.c, 0.5f); });
  EXPECT_EQ(s.Now() - t0, 500);
  EXPECT_EQ(g_handled, 0);  // no tick ran inside the pause
  RunEvent(s.c, [&] { waitMillis(s.c, 200); });
  EXPECT_EQ(g_handled, 1);
  EXPECT_EQ(s.Now() - t0, 701);
}

// The tile motion's pauses while whole frames wait: full for an ordinary
// burst, shorter beyond it, none at a quarter of the ring.
TEST(Waits, MotionPausesShortenWhileFramesPileUp) {
  struct Case {
    int waiting;
    int pauseMs;
  };
  for (const Case& k : {Case{0, 1000}, Case{1, 1000}, Case{4, 1000}, Case{18, 500}, Case{25, 250},
                        Case{32, 0}, Case{127, 0}}) {
    SCOPED_TRACE("frames waiting: " + std::to_string(k.waiting));
    SimClient t;
    t.c.link.LinkReady = true;
    const std::vector<std::uint8_t> bytes = DiscardFrames(k.waiting, 30);
    RunEvent(t.c, [&] { DataArrival(t.c, bytes.data(), bytes.size()); });
    EXPECT_EQ(CatchUpMillis(t.c, 1000), k.pauseMs);
    const std::int64_t before = t.platform.pausedMs;
    motionPause(t.c, 1.0f);
    EXPECT_EQ(t.platform.pausedMs - before, k.pauseMs);
  }
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// Auto-play records every move: an evening of them keeps the log small and
// the totals exact.
TEST(CallLog, KeepsTheLatestCallsInOrderAndEveryTotal) {
  testing::SimClient s;
  for (int i = 0; i < 10000; ++i) {
    s.c.log.record("AutoPlayMove");
    if (i % 100 == 0) s.c.log.record("TimeoutMove");
  }
  s.c.log.record("ResetToLobby");
  EXPECT_EQ(s.c.log.calls.size(), CallLog::kKept);
  EXPECT_EQ(s.c.log.calls.back(), "ResetToLobby");
  EXPECT_EQ(s.c.log.count("AutoPlayMove"), 10000);
  EXPECT_EQ(s.c.log.count("TimeoutMove"), 100);
  EXPECT_EQ(s.c.log.count("ResetToLobby"), 1);
  EXPECT_EQ(s.c.log.count("BossKeyAction"), 0);
}

}  // namespace
}  // namespace tavren
