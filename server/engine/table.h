// One table of four seats: the flow of the game, hand by hand, driven by the
// seats' requests and the engine's virtual time. Robots sit wherever no client
// does, and act for a client that is gone or too slow.
//
// The table is put together from three parts it owns: the hand's state
// (engine/hand_state.h), the people at the table and the delivery of frames
// (engine/seating.h), and the frames themselves (engine/wire.h). What it needs
// of the server (the clock, the connections, the observers) comes through a
// TableHost, with the configuration.
#pragma once

#include <cstdint>
#include <string>

#include "engine/budget.h"
#include "engine/frame.h"
#include "engine/hand_state.h"
#include "engine/seating.h"
#include "engine/server.h"
#include "engine/table_host.h"

namespace tavren::server {

class Table {
 public:
  Table(TableHost& host, const Server::Config& config, int index, std::uint64_t seed);

  // ---- seating
  // A login takes a seat (-1: first free); returns the seat, or -1.
  int freeSeat(int wanted) const { return seating_.freeSeat(wanted); }
  bool hasFreeSeat() const { return freeSeat(-1) >= 0; }
  bool accountSeated(const std::string& account) const { return seating_.accountSeated(account); }
  // `secret` is the key's pass: a resume of the seat must bring it again.
  void seatHuman(int seat, ConnId conn, const std::string& account, const std::string& secret);
  void addWatcher(ConnId conn, int watchSeat, const std::string& account,
                  std::uint64_t watchUser = 0);
  using Resume = server::Resume;
  Resume resume(int seat, ConnId conn, const std::string& account, std::uint16_t token,
                const std::string& secret);
  void connectionLost(ConnId conn);
  // A fresh login of the account (with the seat's pass) gives up a seat it left.
  void releaseAwaySeat(const std::string& account, const std::string& secret) {
    seating_.releaseAwaySeat(account, secret);
  }
  std::uint16_t seatToken(int seat) const { return seating_[seat].token; }
  std::uint16_t watcherToken(ConnId conn) const { return seating_.watcherToken(conn); }
  int seatOf(ConnId conn) const { return seating_.seatOf(conn); }
  bool isWatcher(ConnId conn) const { return seating_.isWatcher(conn); }

  // Requests of a seated client (seat >= 0) or a watcher (seat -1).
  void request(ConnId conn, const Frame& f);

  // ---- time
  std::int64_t due() const { return due_; }
  void onTimer();
  void shutdown(const std::string& noticeGbk);
  // Robots-only play (busy tables).
  void startBusy() {
    if (!gameStarted_) startGame();
  }

  // ---- what it holds
  int wallLeft() const { return hand_.wallLeft(); }
  TableView view() const;
  // What a client seated at `seat` now would be sent first (names, records,
  // dealer, who is ready).
  std::vector<Frame> seatingFor(int seat) const { return seating_.seatingFor(seat, hand_.dealer); }
  int handsPlayed() const { return handsPlayed_; }
  // The table as a lobby's list shows it.
  Frame listEntry(int tableCount) const;

 private:
  enum class Phase { Idle, Call, Turn, Claims, AfterHand };

  // The game (table.cpp).
  std::int64_t now() const { return host_.nowMs(); }
  bool handRunning() const;
  void startGame();
  void announceStart(int seat);
  void checkAllReady();
  void startHand();
  void dealHand();
  void drawDealt(int seat);
  bool replaceFlowers(int seat);
  void answerCall(int tou, int mo);
  void beginTurn(int seat, bool afterDraw);
  void armTurnTimers();
  bool discard(int seat, int face, bool byRobot);
  void openClaims();
  void sendOffers();
  void resolveClaims();
  void drawFor(int seat);
  void claimMeld(int seat, int kind, int low);
  bool selfKong(int seat, int kind, int face);
  bool setAside(int seat, int face);
  void completeKong(int seat, int kind, int face);
  void drawReplacement(int seat);
  // Gives a tile drawn from either end to `seat`, or ends the hand drawn when
  // the wall had none; then flowers are replaced and the seat's turn begins.
  void giveDrawn(int seat, Tile t);
  void win(int seat, bool selfDrawn);
  void freeSeatOf(int seat, bool announce);
  void leave(int seat);
  void endGameIfEmpty();

  // The end of a hand (table_end.cpp).
  void endHand(int winner, bool selfDrawn, int winFace);
  Settlement payOut(int winner, bool selfDrawn, int winFace);
  void recordHand(int winner, bool selfDrawn, const Settlement& st);
  void dropAwayAndShort();
  void endGameAfterLastHand();
  void seatNewcomers();
  void nextHandOrIdle();

  // Requests (table_requests.cpp).
  void chat(ConnId conn, int seat, const Frame& f);
  void ready(ConnId conn, int seat, const Frame& f);
  void callRequest(ConnId conn, int seat, const Frame& f);
  void discardRequest(ConnId conn, int seat, const Frame& f);
  void claimRequest(ConnId conn, int seat, const Frame& f);
  void turnClaim(ConnId conn, int seat, int kind, const Frame& f);
  void refuse(ConnId conn, const std::string& why);
  // Refuses, or, when the seat's robot has answered for it, notes a late answer.
  void refuseOrLate(ConnId conn, int seat, const std::string& why);

  // Time and robots (table_time.cpp).
  void schedule();
  std::int64_t actionTime(int seat) const;
  void maybeResolve();
  void actForSeat(int seat);
  void robotAnswer(int seat);
  void timeUpForClaims();

  TableHost& host_;
  const Server::Config& config_;
  int index_;
  Rng rng_;
  Seating seating_;
  HandState hand_;

  Phase phase_ = Phase::Idle;
  std::int64_t due_ = -1;       // next timer, -1 none
  std::int64_t deadline_ = -1;  // when the human seats run out of time
  std::int64_t robotAt_ = -1;   // when the robots act
  bool gameStarted_ = false;
  bool firstHand_ = true;
  std::int64_t startAt_ = -1;  // all seats ready: the next hand starts then
  int handsPlayed_ = 0;
  int handsThisGame_ = 0;
  Budget watcherChat_;  // shared by every watcher's chat lines
};

}  // namespace tavren::server
