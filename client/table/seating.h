// Instructions about the table's membership rather than the play of a hand.
#pragma once

namespace tavren {

struct Client;
struct InfoRecord;

// Instruction 18: the login result.
void HandleLoginResult(Client& c, const InfoRecord& r);

// Instruction 16: players left, the dealer announcement, or a gold shortage.
void HandleMembership(Client& c, const InfoRecord& r);

// Instruction 21: one player left, named in the frame.
void HandlePlayerGone(Client& c, const InfoRecord& r);

// Instruction 22: the server ends the game with a notice.
void HandleGameOver(Client& c, const InfoRecord& r);

// Instruction 23: a player is ready for the next hand.
void HandleReady(Client& c, const InfoRecord& r);

// Instruction 41: dealer, dice and wild tile of a table joined during a game.
void HandleTableJoined(Client& c, const InfoRecord& r);

}  // namespace tavren
