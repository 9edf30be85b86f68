#include "input/input.h"

#include "core/client.h"

namespace tavren {

void BossKeyAction(Client& c) {
  c.offer.TurnTime = 0;
  MinimizeMainWindow(c);
  c.link.BossMode = true;
  c.log.record("BossKeyAction");
}

void MarkContinueButton(Client& c, bool used) {
  c.log.record(used ? "ContinueButtonUsed" : "ContinueButtonAvailable");
}

}  // namespace tavren
