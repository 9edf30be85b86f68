// One table of four seats: the game, hand by hand, as a state machine driven by
// the seats' requests and the engine's virtual time. Robots sit wherever no
// client does, and act for a client that is gone or too slow.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frame.h"
#include "engine/server.h"
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

class Table {
 public:
  Table(Server& server, int index, std::uint64_t seed);

  // Seating. A login takes a seat (-1: first free); returns the seat, or -1.
  int freeSeat(int wanted) const;
  bool hasFreeSeat() const { return freeSeat(-1) >= 0; }
  bool accountSeated(const std::string& account) const;
  // `secret` is the key's pass: a resume of the seat must bring it again.
  void seatHuman(int seat, ConnId conn, const std::string& account, const std::string& secret);
  void addWatcher(ConnId conn, int watchSeat);
  // Done: `conn` holds the seat now. NotHere: no client of that account sits there.
  // WrongProof: token or pass wrong (counted). TooManyTries: the seat takes no more
  // resumes. Live: the right proof, but the seat's connection still answers.
  enum class Resume { Done, NotHere, WrongProof, TooManyTries, Live };
  Resume resume(int seat, ConnId conn, const std::string& account, std::uint16_t token,
                const std::string& secret);
  void connectionLost(ConnId conn);
  // A fresh login of the account (with the seat's pass) gives up a seat it left.
  void releaseAwaySeat(const std::string& account, const std::string& secret);
  std::uint16_t seatToken(int seat) const { return seats_[seat].token; }
  std::uint16_t watcherToken(ConnId conn) const;

  // Requests of a seated client (seat >= 0) or a watcher (seat -1).
  void request(ConnId conn, const Frame& f);

  std::int64_t due() const { return due_; }
  void onTimer();
  void shutdown(const std::string& noticeGbk);
  // Robots-only play (busy tables).
  void startBusy() {
    if (!gameStarted_) startGame();
  }

  int wallLeft() const { return back_ - front_; }
  TableView view() const;
  int handsPlayed() const { return handsPlayed_; }
  int seatOf(ConnId conn) const;
  bool isWatcher(ConnId conn) const;

 private:
  enum class Phase { Idle, Call, Turn, Claims, AfterHand };

  struct Seat {
    // Who sits here.
    ConnId conn = 0;
    bool human = false;    // a client holds the seat (it may be away)
    bool away = false;     // its connection broke during a hand; the seat waits for a resume
    bool waiting = false;  // took the seat during a hand: plays from the next one
    std::string account;
    std::string nickGbk, titleGbk, levelGbk;
    std::uint64_t userId = 0;
    std::int64_t gold = 0;
    int wins = 0, losses = 0;
    int face = 1;
    int sex = 0;
    std::uint16_t token = 0;
    std::string secret;            // the pass of the client's key
    int wrongResumes = 0;          // resumes of this seat refused for a wrong token or pass
    std::int64_t lastChatMs = -1;  // when its last chat line was relayed
    bool ready = false;
    std::vector<Frame> pending;  // frames kept for a resume
    // The hand.
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
    int lastDrawn = -2;       // face just drawn (-1 wild), -2 none
    bool chiPending = false;  // chi made; the lock starts with the next discard
    bool locked = false;      // 吃牌上听: only the drawn tile may go
    bool wantsHu = false;
    // Answer to a claim offer.
    int offer = 0;
    int answer = 0;  // 0 none yet
    int chiLow = -1;
    void clearOffer() {
      offer = 0;
      answer = 0;
      chiLow = -1;
    }
    // Its robot answered the seat's last question when the client's time ran
    // out: an answer of the client's that comes after it is late, not wrong.
    bool answeredFor = false;
  };

  // Sending.
  bool wantsFrames(int seat) const;
  void toSeat(int seat, Frame f);
  void toWatchers(Frame f);
  void toAll(const Frame& f);
  void toAllBut(int seat, const Frame& f);
  Frame nameFrame(int seat) const;
  Frame recordFrame(int seat, int seatByte) const;
  void sendSeating(int toSeatIndex);
  void sendSeatingToWatcher(ConnId conn);
  void sendSnapshot(ConnId conn);

  // Game flow.
  std::uint16_t newToken();
  bool anyoneHere() const;
  void makeRobot(int seat);
  void startGame();
  void startHand();
  void dealDraw(int seat);
  Tile drawFront();
  Tile drawBack();
  void giveTile(int seat, Tile t, bool fromBack, bool announce);
  bool replaceFlowers(int seat);
  void answerCall(int tou, int mo);
  void beginTurn(int seat, bool afterDraw);
  int turnOfferMask(int seat, bool afterDraw) const;
  bool canWinWith(int seat, const Counts& hand, int winFace, bool selfDrawn, Score* out) const;
  WinContext winContext(int seat, const Counts& hand, int winFace, bool selfDrawn) const;
  bool discard(int seat, int face, bool byRobot);
  void openClaims();
  void resolveClaims();
  void nextDraw();
  void drawFor(int seat);
  void claimMeld(int seat, int kind, int low);
  bool selfKong(int seat, int kind, int face);
  bool setAside(int seat, int face);
  void completeKong(int seat, int kind, int face);
  bool offerRobbing(int seat, int face);
  void win(int seat, bool selfDrawn);
  void endHand(int winner, bool selfDrawn, int winFace);
  void actForSeat(int seat);
  void robotAnswer(int seat);
  void maybeResolve();
  void checkAllReady();
  void announceStart(int seat);
  bool handRunning() const;
  bool robotControlled(int seat) const;
  void schedule();
  void refuse(ConnId conn, const std::string& why);
  // Refuses, or, when the seat's robot has answered for it, notes a late answer.
  void refuseOrLate(ConnId conn, int seat, const std::string& why);
  void leave(int seat);
  void freeSeatOf(int seat, bool announce);
  int encode(int face) const;        // wire code of a hand tile (24 for a wild tile)
  int parseTile(int operand) const;  // request tile -> face, -1 wild, -2 invalid
  std::string seatName(int seat) const;

  Server& server_;
  int index_;
  Rng rng_;
  std::array<Seat, 4> seats_;
  struct Watcher {
    ConnId conn;
    int watchSeat;
    std::uint16_t token;
    std::int64_t lastChatMs = -1;  // when its last chat line was relayed
  };
  std::vector<Watcher> watchers_;

  Phase phase_ = Phase::Idle;
  std::int64_t due_ = -1;       // next timer, -1 none
  std::int64_t deadline_ = -1;  // when the human seats run out of time
  std::int64_t robotAt_ = -1;   // when the robots act
  bool gameStarted_ = false;
  bool firstHand_ = true;
  std::int64_t startAt_ = -1;  // all seats ready: the next hand starts then
  int handsPlayed_ = 0;
  int handsThisGame_ = 0;

  // The game.
  int dealer_ = 0;
  int dealerStreak_ = 1;
  int dealerPasses_ = 0;
  int roundWind_ = 0;  // face 0..3

  // The hand.
  std::array<Tile, kWallSize> wall_{};
  int front_ = 0, back_ = kWallSize;  // live wall is [front_, back_)
  int backTaken_ = 0;
  int wildFace_ = 0, shownFace_ = 0;
  bool robbing_ = false;    // the claims are on a tile being added to a kong (抢杠)
  bool robbedWin_ = false;  // this hand was won on such a tile
  int dice_[4] = {1, 1, 1, 1};
  int tou_ = 1, mo_ = 0;
  int turn_ = 0;
  bool afterDraw_ = false;
  int discarder_ = -1, discardFace_ = -1;
  int dealerFirstDiscard_ = -1;
  int turnsTaken_ = 0;  // discards this hand, for 跟庄
  bool claimMade_ = false;
};

}  // namespace tavren::server
