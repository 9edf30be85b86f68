// The state of one hand at a table: the wall, every seat's tiles and melds, the
// 吃牌上听 lock, and what each seat may do next. It changes only through the
// events below and knows nothing of frames, seats' people or time, so a test can
// set up a state, apply one event and compare the state that follows.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "rules/scoring.h"
#include "rules/tiles.h"

namespace tavren::server {

// A small deterministic generator (splitmix64): the same seed deals the same game.
struct Rng {
  std::uint64_t s;
  std::uint64_t next() {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
};

// Face of the tile just drawn: -1 a wild tile, kNothingDrawn when the last move
// was no draw.
inline constexpr int kNothingDrawn = -2;
// Ordinary draws stop when this many tiles are left: they serve flower and kong
// replacements to the end.
inline constexpr int kWallReserve = 16;

// One seat's part of the hand.
struct SeatHand {
  Counts hand;
  std::array<Meld, kMaxMelds> melds{};
  int meldCount = 0;
  int exposedCount = 0;    // chi, peng and exposed kongs
  int thirdMeldFrom = -1;  // who fed the third exposed set (包胡)
  int flowers = 0;
  int redAside = 0, wildAside = 0;  // 中 and wild tiles set aside this hand
  std::vector<Tile> pendingFlowers;
  int river = 0;  // discards still lying in front of the seat
  int discards = 0;
  int lastDrawn = kNothingDrawn;
  bool chiPending = false;  // chi made; the lock starts with the next discard
  bool locked = false;      // 吃牌上听: only the drawn tile may go
  // What the seat may do now (claim bits), and its answer to a claim offer.
  int offer = 0;
  int answer = 0;  // 0 none yet
  int chiLow = -1;
  void clearOffer() {
    offer = 0;
    answer = 0;
    chiLow = -1;
  }
  bool operator==(const SeatHand&) const = default;
};

// What a discard did.
struct DiscardEvent {
  bool done = false;           // false: refused, nothing changed
  bool followsDealer = false;  // 跟庄: the dealer's first discard thrown again
};

// The claim the answers chose: a seat and a claim kind, seat -1 for none.
// `onKong`: the claims were on a tile being added to a kong (抢杠).
struct ClaimChoice {
  int seat = -1;
  int kind = 0;
  bool onKong = false;
};

// A chi on the discard with two of the seat's tiles: the lowest face of the run
// (-1: no run the hand can make), and whether a discard then leaves it ready.
struct ChiCheck {
  int low = -1;
  bool staysReady = false;
};

// A flower put aside and the tile from the back that replaces it (kNoTile: the
// wall ran out).
struct FlowerSwap {
  Tile flower = kNoTile;
  Tile replacement = kNoTile;
};

// Coins of a finished hand.
struct Settlement {
  Score score;      // the winner's items (empty for a drawn hand)
  int liable = -1;  // 包胡: the seat that pays the whole win
  std::int64_t results[4] = {0, 0, 0, 0};
};

struct HandState {
  // The game around the hand.
  int dealer = 0;
  int dealerStreak = 1;
  int dealerPasses = 0;
  int roundWind = 0;  // face 0..3

  // The wall: the live part is [front, back).
  std::array<Tile, kWallSize> wall{};
  int front = 0, back = kWallSize;
  int backTaken = 0;
  int wildFace = 0, shownFace = 0;
  int dice[4] = {1, 1, 1, 1};
  int tou = 1, mo = 0;

  // The play.
  int turn = 0;
  bool afterDraw = false;
  int discarder = -1, discardFace = -1;
  int dealerFirstDiscard = -1;
  int turnsTaken = 0;  // discards this hand, for 跟庄
  bool claimMade = false;
  bool robbing = false;    // the claims are on a tile being added to a kong (抢杠)
  bool robbedWin = false;  // this hand was won on such a tile
  std::array<SeatHand, 4> seats;

  bool operator==(const HandState&) const = default;

  int wallLeft() const { return back - front; }

  // ---- the game
  void startGame();
  // The deal moves on unless the dealer won or nobody did; every fourth pass
  // turns the round wind.
  void passDeal(int winner);

  // ---- setting up a hand
  // Every tile shuffled, then the dice.
  void shuffle(Rng& rng);
  // A fresh hand on the wall as it lies: the tile turned up on its back names
  // the wild face, every seat starts empty.
  void begin();
  // Twelve tiles each, four at a time from the dealer on.
  std::array<std::array<Tile, 12>, 4> dealTwelve();
  // The 叫头 call of the dealer.
  void call(int tou, int mo);

  // ---- tiles
  Tile drawFront();  // kNoTile when only the reserve is left
  Tile drawBack();   // kNoTile when the wall is empty
  Tile takeFront() { return front < back ? wall[front++] : kNoTile; }  // the deal: no reserve
  void give(int seat, Tile t);
  // The first flower the seat holds goes aside for a tile from the back.
  FlowerSwap replaceFlower(int seat);

  // ---- a turn
  // The seat's turn: what it may do besides discarding.
  int beginTurn(int seat, bool afterDraw);
  int turnOfferMask(int seat, bool afterDraw) const;
  DiscardEvent discard(int seat, int face, bool byRobot);
  // Offers on the discard just made; false when nobody may claim it.
  bool openClaims();
  ChiCheck checkChi(int seat, int a, int b) const;
  // Hu first, nearest seat after the discarder; then kong and peng; then chi.
  ClaimChoice chooseClaim() const;
  // The answers are in: the choice, with every offer and the robbing closed.
  ClaimChoice closeClaims();
  // A chi, peng or exposed kong on the discard; returns the meld laid.
  Meld claimMeld(int seat, int kind, int low);
  // The seat wins on the discard.
  void winOnDiscard(int seat);

  // ---- kongs and set-aside tiles
  bool canKong(int seat) const;
  bool concealedKong(int seat, int face);
  // The peng of `face` the seat would add to, or -1.
  int pengOf(int seat, int face) const;
  // Offers 抢杠胡 on the tile being added; false when no seat can win on it.
  bool offerRobbing(int seat, int face);
  void addToKong(int seat, int face);
  // The robbing seat takes the tile from the kong being made.
  void robKong(int winner);
  // The face set aside (kRed or the wild face), -1 when the seat cannot.
  int setAside(int seat, int face);

  // ---- winning
  WinContext winContext(int seat, const Counts& hand, int winFace, bool selfDrawn) const;
  bool canWinWith(int seat, const Counts& hand, int winFace, bool selfDrawn) const;
  int winFace(int seat, bool selfDrawn) const {
    return selfDrawn ? seats[seat].lastDrawn : discardFace;
  }
  Settlement settle(int winner, bool selfDrawn, int winFace, int stake) const;

  // A request's tile operand: face, -1 wild, -2 no known tile.
  int parseTile(int operand) const;
};

}  // namespace tavren::server
