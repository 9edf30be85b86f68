// A server's tables as a lobby reads them: the request frame, and one table
// from each answer frame (see server/README.md, "The table list").
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tavren::lobby {

inline constexpr std::size_t kFrameBytes = 272;

struct SeatEntry {
  int kind = 0;  // protocol::SeatKind
  bool ready = false;
  std::uint64_t userId = 0;
  std::string name;  // the account (printable ASCII)
};

struct TableEntry {
  int table = 0;
  int tableCount = 0;
  int state = 0;  // protocol::TableState
  int watchers = 0;
  bool waitsForStart = false;
  SeatEntry seats[4];
};

// The request for the tables from `first` on.
std::array<std::uint8_t, kFrameBytes> tableListRequest(int first);
// One answer frame; nothing when it is not one, or its numbers do not make sense.
std::optional<TableEntry> decodeTableEntry(const std::uint8_t* frame);

// What the lobby shows: "空位", "机器人", the player's name; the table's state.
std::string seatText(const SeatEntry& s);
std::string stateText(const TableEntry& t);
// A free seat or a robot's can be taken; a player's can be watched.
bool seatCanBeTaken(const SeatEntry& s);
bool seatCanBeWatched(const SeatEntry& s);

}  // namespace tavren::lobby
