// Claims on the table: the claimer's speech bubble and voice, and the meld laid
// face up (a concealed kong face down) at the head of the claimer's row.
#pragma once

#include <cstdint>
#include <span>

#include "view/seats.h"

namespace tavren {

struct Client;

// `tiles` are the meld's three tile codes (operands 1..3 of the meld
// instruction): for a chi in the order of the run; the third is the kong tile.
void showClaim(Client& c, int kind, std::uint8_t seat, std::span<const std::int16_t> tiles);
void showClaimWatching(Client& c, int kind, std::uint8_t seat, std::span<const std::int16_t> tiles);

// The user's own melds in player mode. The slots are the standing slots the
// claim was made with; slots that do not hold the meld's tiles are replaced by
// the standing tiles that do.
void layChowOwn(Client& c, int firstSlot, int secondSlot, std::span<const std::int16_t> tiles);
void layPungOwn(Client& c, std::span<const std::int16_t> tiles);
void layKongOwn(Client& c, int slot, std::span<const std::int16_t> tiles);
void addKongOwn(Client& c, int slot);
void layConcealedKongOwn(Client& c, int slot, std::span<const std::int16_t> tiles);

// Place of meld slot `slot` of a side, with the meld step set loaded; a watcher's
// view of side 0 steps one pixel wider.
Point MeldPlace(const Client& c, int side, int slot, bool watching);

// The speech bubble of side 1..3 beside its portrait; `ShowClaimWord` hides it
// two seconds later.
void placeSpeechBubble(Client& c, int side);

}  // namespace tavren
