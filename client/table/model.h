// The table model the client mirrors: four hand records seen from the user's
// chair, the wall pointers and the table-wide fields of the current hand.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "table/player_info.h"
#include "table/tiles.h"

namespace tavren {

struct Client;

// One tile slot of a hand record.
struct TileSlot {
  std::int16_t typ = 0;    // 0 empty, 1 standing, 2 chi, 3 peng, 4 exposed kong,
                           // 5 concealed kong, 6 added kong
  std::int16_t value = 0;  // tile code
  std::int16_t ind = -1;   // MJ_Image control showing the tile, −1 none
};

enum SlotKind : std::int16_t {
  kSlotEmpty = 0,
  kSlotStanding = 1,
  kSlotChi = 2,
  kSlotPeng = 3,
  kSlotExposedKong = 4,
  kSlotConcealedKong = 5,
  kSlotAddedKong = 6,
};

// One side's record: `custom(side)`.
struct HandRecord {
  std::string name;  // account name, GBK bytes as they came from the lobby or the wire
  std::int32_t gold = 0;
  std::uint8_t seat = 0;  // absolute seat bit 1, 2, 4, 8; survives every reset
  bool isDealer = false;
  // Screen anchors of the side's discard area and standing row.
  std::int16_t discardX = 0, discardY = 0;
  std::int16_t discardOriginX = 0, discardOriginY = 0;
  std::int16_t handX = 0, handY = 0;
  std::array<TileSlot, kSlots> mj{};
  std::int16_t meldCursor = 4;
  std::int16_t first = 4;  // first standing slot
  std::int16_t count = 0;  // standing tiles
  std::int16_t leadWilds = 0;
  std::int16_t redAside = 0;
  std::int16_t wildAside = 0;
  std::int16_t flowers = 0;
};

inline constexpr std::size_t kPlayerTagBytes = 64;  // room for four name frames per seat

struct TableModel {
  std::array<HandRecord, kSides> custom{};

  std::int16_t MJPOINT = 0;  // wall position of the next ordinary draw
  std::int16_t MJFIRST = 0;  // wall position of the next replacement draw

  bool Watching = false;
  std::int16_t WildTileCode = -1;
  std::int16_t WildShownCode = 0;
  std::array<std::int16_t, 2> Dice{};
  std::int16_t RoundWindPic = 0;
  std::int16_t HandNo = 0;
  std::int16_t LastDiscard = 0;
  std::int16_t LastDiscardInd = -1;
  std::array<std::array<std::int16_t, 10>, 4> SeenCount{};  // [suit index][rank 1..9]
  std::int16_t OwnFlowerCount = 0;
  std::array<std::int16_t, 4> SideFlowerCount{};                 // sides 1..3 used
  std::array<std::array<std::int16_t, kSides>, 8> AsideTiles{};  // [column][side]

  // Details of the player at each side.
  std::array<PlayerInfoRecord, kSides> PlayerInfo{};

  // Player names by absolute seat index, appended by instruction 3 (GBK bytes).
  std::array<std::string, kSides> PlayerTag{};

  // Hand and table flags shared by the link pump and the instruction handlers.
  bool HandInProgress = false;
  bool TableCleared = false;
  bool PlayerLeft = false;
  bool LoginAccepted = false;
  std::int16_t HandsStarted = 0;
};

// The table reset run before a new game or when a watcher's view is rebuilt.
void ResetHandRecords(Client& c);

// The own seat bit and the side of a wire seat bit.
std::uint8_t OwnSeat(const Client& c);
int SideOf(const Client& c, std::uint8_t seat);

}  // namespace tavren
