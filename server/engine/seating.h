// Who sits at a table and who watches it, and how frames reach them: the four
// seats' people (clients or robots), their tokens and passes, the frames kept for
// a seat whose client is away, and the watchers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/frame.h"
#include "engine/hand_state.h"
#include "engine/server.h"
#include "engine/table_host.h"

namespace tavren::server {

// The person in one seat.
struct Seat {
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
  // Its robot answered the seat's last question when the client's time ran
  // out: an answer of the client's that comes after it is late, not wrong.
  bool answeredFor = false;
};

struct Watcher {
  ConnId conn;
  int watchSeat;
  std::uint16_t token;
  std::int64_t lastChatMs = -1;  // when its last chat line was relayed
  std::string account;           // its login's (single-byte text)
  std::uint64_t watchUser = 0;   // the watched player's user id, 0 when not given
};

// Done: `conn` holds the seat now. NotHere: no client of that account sits there.
// HandEnded, BetweenHands: nor does it any more: the account's client was away
// when the hand ended, or lost its connection between hands, and a robot took
// the seat. WrongProof: token or pass wrong (counted). TooManyTries: the seat
// takes no more resumes. Live: the right proof, but the seat's connection still
// answers.
enum class Resume { Done, NotHere, HandEnded, BetweenHands, WrongProof, TooManyTries, Live };

class Seating {
 public:
  Seating(TableHost& host, const Server::Config& config, int table, Rng& rng);

  Seat& operator[](int seat) { return seats_[static_cast<std::size_t>(seat)]; }
  const Seat& operator[](int seat) const { return seats_[static_cast<std::size_t>(seat)]; }
  std::array<Seat, 4>& seats() { return seats_; }
  const std::vector<Watcher>& watchers() const { return watchers_; }

  // ---- who sits where
  int freeSeat(int wanted) const;  // -1: first free; returns the seat or -1
  bool accountSeated(const std::string& account) const;
  int seatOf(ConnId conn) const;
  bool isWatcher(ConnId conn) const;
  std::uint16_t watcherToken(ConnId conn) const;
  const std::string& watcherName(ConnId conn) const;  // its account; empty for a stranger
  // When the client's last chat line was relayed, or null for a stranger.
  std::int64_t* lastChat(ConnId conn);
  bool anyoneHere() const;
  // No client decides for the seat: a robot's, or one that plays from the next hand.
  bool robotControlled(int seat) const;
  bool readyOrAway() const;

  void makeRobot(int seat);
  // A client takes the seat; its login is answered with the seat's token.
  void seatHuman(int seat, ConnId conn, const std::string& account, const std::string& secret);
  void addWatcher(ConnId conn, int watchSeat, const std::string& account,
                  std::uint64_t watchUser = 0);
  // The seat whose (face-down) deal the watcher is sent: the watched player's
  // seat when the watcher named the player, else the seat it named.
  int dealSeatOf(const Watcher& w) const;
  void removeWatcher(ConnId conn);
  Resume resume(int seat, ConnId conn, const std::string& account, std::uint16_t token,
                const std::string& secret);
  // Seats whose client is away, of this account and pass, go to robots.
  void releaseAwaySeat(const std::string& account, const std::string& secret);
  // The seat's client is about to lose it for a lost connection: at the end of
  // the hand it missed, or between hands. A late resume of it is told apart.
  void noteLeft(int seat, bool atHandEnd);
  void applyResults(const std::int64_t (&results)[4]);

  // ---- frames
  bool wantsFrames(int seat) const;
  void toSeat(int seat, Frame f);
  void toWatchers(Frame f);
  void toAll(const Frame& f);
  void toAllBut(int seat, const Frame& f);
  void toConn(ConnId conn, Frame f);  // with the watcher's token
  // A seated client gets the four names, the four records (its own with seat byte
  // 15), the dealer announcement and who is ready.
  void sendSeating(int to, int dealer);
  // The same frames, as the seat would get them now (with its token), sent nowhere.
  std::vector<Frame> seatingFor(int to, int dealer) const;
  // A watcher keeps the first four records whole, with the real seat bits.
  void sendSeatingToWatcher(ConnId conn);
  // The seat's record for everyone else at the table.
  void showRecord(int seat);
  void announceReady(int seat);  // to everyone but the seat

 private:
  std::uint16_t newToken();

  TableHost& host_;
  const Server::Config& config_;
  int index_;
  Rng& rng_;
  std::array<Seat, 4> seats_;
  std::vector<Watcher> watchers_;
  // The account whose client last lost each seat for a lost connection, and when.
  struct Left {
    std::string account;
    bool atHandEnd = false;
  };
  std::array<Left, 4> left_;
};

}  // namespace tavren::server
