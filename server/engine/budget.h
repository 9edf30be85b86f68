// A rate budget: at most `burst` events at once, then one per `spacingMs` on
// average. Time is the caller's (milliseconds), so it runs the same in virtual
// and in real time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tavren::server {

struct Budget {
  // When the budget would be full again if nothing more were taken.
  std::int64_t fullAt = std::numeric_limits<std::int64_t>::min();

  bool take(std::int64_t nowMs, std::int64_t spacingMs, int burst) {
    if (spacingMs <= 0) return true;
    const std::int64_t at = std::max(fullAt, nowMs);
    if (at - nowMs > spacingMs * (std::max(burst, 1) - 1)) return false;
    fullAt = at + spacingMs;
    return true;
  }
};

}  // namespace tavren::server
