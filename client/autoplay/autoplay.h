// Playing for the user: the default move made when the turn countdown runs
// out (a pass and the drawn tile discarded), and the full automatic move of
// unattended mode with its hand evaluator built on tile counts and melds.
#pragma once

#include <array>
#include <cstdint>

namespace tavren {

struct Client;

// Working tables by suit index (0 honours, 1 条, 2 萬, 3 筒) and rank 1..9.
using SuitTable = std::array<std::array<std::int16_t, 10>, 4>;

struct AutoPlayState {
  SuitTable TileCount{};
  SuitTable MeldTiles{};
  SuitTable Weight{};
  // The tiles chosen for a claim: two standing slots for chi, the tile code for peng.
  std::int16_t AiTileA = 0;
  std::int16_t AiTileB = 0;
};

// The default move, also made at once on every offer while the hand is locked.
void TimeoutMove(Client& c);
// The full automatic move of unattended mode.
void AutoPlayMove(Client& c);

// The evaluator.
void LoadTileCounts(Client& c);
// Modes: 0 the suit as it stands, 1 with one tile of the given rank taken out,
// 2 and 3 after a chi or peng was taken out, 4 without the meld bonus.
int EvaluateSuit(Client& c, int mode, int tile);
int ChooseDiscard(Client& c);
// kind 1 chi, 2 peng; fills AiTileA, AiTileB.
bool ShouldClaim(Client& c, int kind, int tile);
bool ShouldKong(Client& c);

}  // namespace tavren
