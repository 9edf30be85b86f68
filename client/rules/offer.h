// The offer state: what the user may do now and the turn countdown, the chi
// and kong candidates formed from the standing hand, and the 吃牌上听 lock.
#pragma once

#include <array>
#include <cstdint>

namespace tavren {

struct Client;
struct InfoRecord;
struct HandRecord;

// Bits of an offer mask (instruction 6, value(0)).
inline constexpr int kOfferPass = 1;
inline constexpr int kOfferChi = 4;
inline constexpr int kOfferPeng = 8;
inline constexpr int kOfferExposedKong = 16;
inline constexpr int kOfferConcealedKong = 32;
inline constexpr int kOfferAddedKong = 64;
inline constexpr int kOfferHu = 128;

// The operation buttons Operation(0..4).
enum OperationButton {
  kButtonChi = 0,
  kButtonPeng = 1,
  kButtonKong = 2,
  kButtonHu = 3,
  kButtonPass = 4
};
inline constexpr int kOperationButtons = 5;
inline constexpr int kChiChoices = 6;
inline constexpr int kKongChoices = 10;

// Phases of an offer.
inline constexpr std::int16_t kPhaseOpen = 0;
inline constexpr std::int16_t kPhaseActed = 1;
inline constexpr std::int16_t kPhaseActing = 2;
inline constexpr std::int16_t kPhaseTimedOut = 3;

struct OfferState {
  std::int16_t OfferMask = 0;
  // Per button: 2 offered by the last offer, 0 not; a button acts above 1.
  std::array<std::int16_t, kOperationButtons> OfferState{};
  std::int16_t ActionPhase = 0;  // 2 or more: the user's action is being handled
  bool MayDiscard = false;
  // Set until the first offer: with no offer open there is nothing to answer.
  bool ClaimSent = true;
  bool HuOffered = false;
  bool ChiDone = false;
  bool TingLock = false;
  std::int16_t Countdown = 0;
  std::int16_t TurnTime = 0;

  // Chi candidates: pairs of standing slots (2k, 2k+1); ChiCount entries used.
  std::array<std::int16_t, kChiChoices> ChiChoice{};
  std::int16_t ChiCount = 0;
  // Kong candidates: the standing slot of each candidate's first tile, and
  // the claim code of its kind (16, 32 or 64); KongCount entries used.
  std::array<std::int16_t, kKongChoices> KongChoice{};
  std::array<std::int16_t, kKongChoices> KongKind{};
  std::int16_t KongCount = 0;
};

// Instruction 6: the server's offer.
void OnClaimOffer(Client& c, const InfoRecord& r);

// True when the user holds a tile to discard: (count − 2) mod 3 = 0.
bool HoldsExtraTile(const HandRecord& h);

// The chi candidates for the discard `tile`: one is sent at once, several are
// shown as Chi images, none shows nothing.
void FindChiChoices(Client& c, int tile);

// The kong candidates of the offered kong bits: one (or any after a run-out
// countdown) is sent at once, several are shown as Gang images.
void FindKongChoices(Client& c);

// Collects the auto-play kong candidates; true when the only kong on offer
// would give away a lone wild tile.
bool FindKongChoicesAuto(Client& c);

// The user's standing slot showing image `ind`: whether there is one, and its
// index (−1 when none).
bool HoldsTileInd(const Client& c, int ind);
int SlotOfTileInd(const Client& c, int ind);

}  // namespace tavren
