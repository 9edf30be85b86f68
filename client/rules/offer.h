// The offer state: what the user may do now and the turn countdown.
#pragma once

#include <cstdint>

namespace tavren {

struct OfferState {
  std::int16_t OfferMask = 0;
  std::int16_t OfferState = 0;
  std::int16_t ActionPhase = 0;  // 2 or more: the user's action is being handled
  bool MayDiscard = false;
  bool ClaimSent = false;
  bool HuOffered = false;
  bool ChiDone = false;
  bool TingLock = false;
  std::int16_t Countdown = 0;
  std::int16_t TurnTime = 0;
};

}  // namespace tavren
