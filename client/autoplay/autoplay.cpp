#include "autoplay/autoplay.h"

#include "core/client.h"

namespace tavren {

void TimeoutMove(Client& c) {
  c.log.record("TimeoutMove");
}

void AutoPlayMove(Client& c) {
  c.log.record("AutoPlayMove");
}

}  // namespace tavren
