// The settlement sheet of a won hand: the server's settlement rows laid out as
// one column per side in the result window, the money on the table, wins and
// losses, the ranking window's line and the running totals.
#pragma once

#include <array>
#include <cstdint>

#include "table/tiles.h"

namespace tavren {

struct Client;

struct SettlementState {
  std::array<std::int64_t, kSides> HandResult{};    // this hand's coins per side
  std::array<std::int64_t, kSides> RunningTotal{};  // since the seat was taken
};

// Builds and shows the sheet from the four sides' settlement rows.
void ShowSettlement(Client& c);

// The running totals back to 0 (a new seating).
void ResetGameTotals(Client& c);

}  // namespace tavren
