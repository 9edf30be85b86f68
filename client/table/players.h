// Player records: who sits where, who is ready, the details shown in the seat
// panels; the seat-wind draw and the players' voices at the start of a game.
#pragma once

#include <cstdint>
#include <string>

#include "link/codec.h"
#include "table/player_info.h"

namespace tavren {

struct Client;

// Instruction 20: one player's record.
void HandlePlayerRecord(Client& c, const InfoRecord& r);

// Fills `record` from the player-record bytes of `frame`.
void ParsePlayerInfo(PlayerInfoRecord& record, const Frame& frame);

// A watcher's four first records: the watched player at side 0, the others
// around him, and every panel filled.
void LoadWatchedTable(Client& c);

// Back to the lobby: a watcher's kept records and the waiting players are
// forgotten, so the next table is seated from its own records.
void ResetPlayerRecords(Client& c);

// Gives every player a voice no other player of the same sex has, while one is free.
void AssignVoices(Client& c);
// Seeds the voice choice (tests and repeatable runs).
void SeedVoices(Client& c, std::uint32_t seed);

// The portrait number (0..19) of a face code; `previous` when the code cannot be read.
int PortraitNumber(const std::string& face, int previous);

}  // namespace tavren
