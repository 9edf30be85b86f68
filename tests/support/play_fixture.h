// A seated client with its table laid out, fed whole server frames through
// the decoder and the dispatcher, as the link pump feeds them.
#pragma once

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>

#include "support/sim_client.h"
#include "table/hand_setup.h"
#include "view/scene.h"

namespace tavren::testing {

struct Play : SimClient {
  Play() {
    LayOutTable(c);
    c.table.custom[0].name = "amy";
    // The user at seat bit 1; side k then holds seat index (4 − k) mod 4.
    for (int k = 0; k < kSides; ++k)
      c.table.custom[static_cast<std::size_t>(k)].seat =
          static_cast<std::uint8_t>(PowerOfTwo((4 - k) % 4));
    SeedDice(c, 7);
  }
  std::uint8_t seat(int side) const { return c.table.custom[static_cast<std::size_t>(side)].seat; }
  HandRecord& hand(int side) { return c.table.custom[static_cast<std::size_t>(side)]; }
  Control& tile(int control) { return c.view.MJ_Image[static_cast<std::size_t>(control)]; }

  // Decodes and dispatches one frame as one event.
  void Feed(const Frame& f) {
    c.link.ReceiveRing.append(f.data(), f.size());
    RunEvent(c, [&] {
      DecodeFrame(c.link);
      Dispatch(c);
    });
  }
  void Feed(int type, int side, std::initializer_list<int> values = {}) {
    Feed(ServerFrame(type, seat(side), values));
  }
  // A new hand with the dealer at `side`, the deal of `tiles` (12 bytes) and the wild tile.
  void StartHand(int dealerSide, std::initializer_list<int> dice, const std::array<int, 12>& tiles,
                 int wild = 0) {
    Feed(protocol::kInsNewHand, dealerSide, dice);
    Frame deal = ServerFrame(protocol::kInsDeal, seat(0));
    for (std::size_t i = 0; i < tiles.size(); ++i)
      deal[protocol::kPayloadOffset + i] = static_cast<std::uint8_t>(tiles[i]);
    Feed(deal);
    if (wild != 0) Feed(protocol::kInsWildTile, 0, {0, 0, wild, wild - 1});
  }
  // Every standing and meld control of every side.
  std::vector<int> HeldControls() const {
    std::vector<int> out;
    for (const HandRecord& h : c.table.custom)
      for (int k = 0; k < h.first + h.count && k < kSlots; ++k) {
        const TileSlot& s = h.mj[static_cast<std::size_t>(k)];
        if (k >= h.first || s.typ >= kSlotChi) out.push_back(s.ind);
      }
    return out;
  }
};

inline constexpr std::array<int, 12> kDealTiles = {0x81, 0x82, 0x83, 0x45, 0x45, 0x45,
                                                   0x27, 0x28, 0x11, 0x11, 0x17, 0x03};

}  // namespace tavren::testing
