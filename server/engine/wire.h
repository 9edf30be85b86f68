// The wire: every frame the table sends, built from the state it reports. Faces
// become wire codes here and nowhere else.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/frame.h"
#include "engine/hand_state.h"
#include "engine/server.h"

namespace tavren::server {

struct Seat;

namespace wire {

// Wire code of a hand tile's face (-1 or the wild face: the wild code).
int encode(int face, int wildFace);
// Wire code of a wall tile: a flower's number, the wild code, or the face's code.
int tileCode(Tile t, int wildFace);

// ---- logins and seating
Frame loginAccepted(const Server::Config& config, std::uint16_t token);
Frame loginRefused(int verdict);
Frame resumed(int seat, std::uint16_t token);
Frame notResumed();
Frame name(int seat, const std::string& account);
Frame record(const Seat& s, int seatByte);
Frame dealer(int dealer);
Frame membership(int seatBits, int value);
Frame ready(int seat, const std::string& account);
Frame playerGone(int seat, const std::string& account);
// The system line for a client waiting for a game's first hand.
Frame startNotice(int seconds);
// The same at a hosted table, which waits for every client's 开始.
Frame waitForStartNotice();
// A chat request as the table relays it, said by `speakerGbk`.
Frame chat(const Frame& request, int fromSeat, const std::string& speakerGbk);
// The line as relayed: a client writes its own name first ("NAME说道: " or, to one
// player, "NAME对OTHER说: "), and such a line passes unchanged. Any other line
// gets the speaker's name in front, so that no line can pass for another
// player's, the reader's own or a notice of the system. Cut to the chat field at
// a character boundary.
std::string stampSpeaker(std::string_view textGbk, std::string_view speakerGbk);
Frame gameOver(std::string_view noticeGbk);

// ---- a hand
Frame newHand(const HandState& h);
Frame deal(int seat, const std::array<Tile, 12>& tiles, int wildFace);
Frame dealHidden(int seat);  // a deal as a watcher sees it
Frame draw(int seat, Tile t, int wildFace);
Frame drawHidden(int seat);
Frame flower(int seat, const FlowerSwap& swap, int wildFace);
Frame flowerHidden(int seat, Tile flower);
Frame wildTile(const HandState& h);
Frame jiaoTouAsk(int dealer);
Frame jiaoTou(const HandState& h);
Frame offer(int seat, int mask);
Frame discard(int seat, int face, bool followsDealer, int wildFace);
// A chi, peng or exposed kong claimed on a discard.
Frame meld(int seat, int kind, const Meld& m);
// A kong of `face`, or a tile of `face` set aside (kind: the added-kong bit).
Frame kong(int seat, int kind, int face);
Frame win(int seat, int winFace, int wildFace);

// ---- the end of a hand
// Every hand face up, four tiles a frame, each with the next tiles of the wall.
std::vector<Frame> reveals(const HandState& h, int winner, bool selfDrawn, int winFace);
Frame result(int seat, std::int64_t coins);
Frame settlement(int seat, const Settlement& st, int winner, bool selfDrawn, int discarder,
                 int stake, const std::string& levelGbk);

// ---- a hand under way, for a client that saw none of it
Frame tableJoined(const HandState& h);
Frame snapshot(int seat, const HandState& h);

}  // namespace wire
}  // namespace tavren::server
