// Instructions that start a game or a hand: the players' names, the new hand
// with its dice and wall ends, the 叫头 call and the flower replacements.
#pragma once

#include <array>
#include <cstdint>

namespace tavren {

struct Client;
struct InfoRecord;

// Instruction 3: a player's name; the user finds his seat among them.
void HandlePlayerNames(Client& c, const InfoRecord& r);

// Instruction 4: a new hand: dealer, dice, both ends of the wall.
void HandleNewHand(Client& c, const InfoRecord& r);

// Instruction 8: the 叫头 prompt, then its result.
void HandleCall(Client& c, const InfoRecord& r);

// Instruction 10: a flower set aside and its replacement drawn.
void HandleFlower(Client& c, const InfoRecord& r);

// The new-hand table: shuffle sound, the wall laid column by column, the lobby
// told, the per-hand counters cleared.
void StartHandView(Client& c);

// The dice animation of the dealer at `side`: two throws of two dice. A die of
// 0 becomes 1 in `dice` itself; a die above 6 is a record the client cannot show.
void ThrowDice(Client& c, int side, std::array<std::int16_t, 12>& dice);

// The wall position of the first ordinary draw for the dealer at `side`.
std::int16_t FirstDrawPosition(int side, const std::array<std::int16_t, 12>& dice);

// The speech bubble of side 1..3 shows `picture` until the claim-word timer
// hides it; the other two bubbles are hidden.
void ShowSideBubble(Client& c, int side, int picture);

// Seeds the dice animation's random faces (tests and repeatable runs).
void SeedDice(Client& c, std::uint32_t seed);

}  // namespace tavren
