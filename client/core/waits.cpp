#include "core/waits.h"

#include <algorithm>
#include <cmath>

#include "core/client.h"

namespace tavren {

namespace {

// An event handled inside a wait may have ended the program; the waiting
// code must not go on with its work then.
void UnwindIfEnded(Client& c) {
  if (c.ended) throw ProgramEnd{};
}

}  // namespace

void pauseSeconds(Client& c, float seconds) {
  const long ms = std::lround(static_cast<double>(seconds) * 1000.0);
  if (ms > 0) c.platform.pause(static_cast<int>(ms));
}

void waitMillis(Client& c, int ms) {
  const std::int64_t start = c.platform.nowMillis();
  const std::int64_t until = start + std::max(ms, 0) + 1;  // "more than ms" on a millisecond clock
  while (c.platform.nowMillis() < until) {
    c.platform.processEvents(until, 0);
    UnwindIfEnded(c);
  }
}

void waitSeconds(Client& c, float seconds) {
  waitMillis(c, static_cast<int>(std::ceil(static_cast<double>(seconds) * 1000.0)));
}

namespace {
constexpr int kBurstFrames = 4;     // frames that may wait with full pauses
constexpr int kCatchUpFrames = 32;  // frames waiting at which the pauses are gone
}  // namespace

int CatchUpMillis(const Client& c, int ms) {
  const int waiting = static_cast<int>(c.link.ReceiveRing.buffered() / protocol::kFrameSize);
  if (ms <= 0 || waiting <= kBurstFrames) return ms;
  if (waiting >= kCatchUpFrames) return 0;
  return static_cast<int>(static_cast<std::int64_t>(ms) * (kCatchUpFrames - waiting) /
                          (kCatchUpFrames - kBurstFrames));
}

void motionPause(Client& c, float seconds) {
  const long ms = std::lround(static_cast<double>(seconds) * 1000.0);
  const int shortened = CatchUpMillis(c, static_cast<int>(ms));
  if (shortened > 0) c.platform.pause(shortened);
}

void motionWaitMillis(Client& c, int ms) {
  if (ms > 0 && CatchUpMillis(c, ms) == 0) return;
  waitMillis(c, CatchUpMillis(c, ms));
}

bool WaitUntil(Client& c, const std::function<bool()>& done, int limitMs) {
  const std::int64_t until = c.platform.nowMillis() + limitMs;
  while (!done()) {
    if (c.platform.nowMillis() >= until) return false;
    c.platform.processEvents(until, 1);
    UnwindIfEnded(c);
  }
  return true;
}

}  // namespace tavren
