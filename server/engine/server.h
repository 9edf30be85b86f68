// The table engine of the reference server: a deterministic state machine with
// no transport and no clock of its own. Embed it anywhere (the Asio binary, the
// client's simulated world, tests):
//
//   Server server(Server::Config{.seed = 7, .turnTimeSec = 8, .tables = 1});
//   ConnId c = server.connect();               // a new stream from a client
//   server.receive(c, bytes);                  // bytes in any chunks; 272-byte frames
//   auto out = server.takeOutput(c);           // frames for that client, whole
//   server.advanceTo(nowMs);                   // virtual time: runs every due timer
//   server.nextDueMs();                        // when the next timer falls due
//   server.disconnect(c);                      // the stream broke or was closed
//   server.isClosed(c);                        // the server dropped it: flush, then close
//
// Output appears only inside connect/receive/disconnect/advanceTo/shutdown: look
// at takeOutput (or hasOutput) after each of them.
//
// Time is the caller's: nothing happens between calls, so a test can run a whole
// hand (turn timers, robot pauses, the wait between hands) in microseconds by
// calling advanceTo(*nextDueMs()) in a loop. Everything follows from the seed.
//
// Login: the login frame carries the account (bytes 16..31) and a key (bytes 32..)
// of ';'-separated fields: "table=N" and "seat=S" (0..3) take that seat; without a
// seat the first free one; without a table the first table with a free seat.
// "watch=N" watches table N ("seat=S" then names the seat whose view is dealt).
// "pass=TEXT" is the seat's secret: a resume of that seat must bring it again.
// See server/README.md.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/budget.h"

namespace tavren::server {

using ConnId = std::uint32_t;

// One finished hand, for the log line and for tests.
struct HandRecord {
  int table = 0;
  int handNo = 0;
  int dealer = 0;
  int winner = -1;          // -1: drawn hand
  int discarder = -1;       // -1: self-drawn or drawn
  int liable = -1;          // seat that paid the whole win (包胡), or -1
  bool robbedKong = false;  // won on a tile being added to a kong (抢杠胡)
  int total = 0;            // hu total of the winner
  std::int64_t results[4] = {0, 0, 0, 0};
  int tou = 1, mo = 0;
  int wallLeft = 0;   // tiles still in the wall when it ended
  std::string items;  // the winner's scoring items, for the log
};

class Table;

// What a table holds at one moment, for tests that check a client's model.
struct SeatView {
  std::string account;    // who sits there (a robot's too)
  std::vector<int> hand;  // concealed tiles as face codes; wild tiles as 5, flowers as 1..8
  int meldTiles = 0;      // tiles laid in melds, three per chi, peng or kong
  int redAside = 0, wildAside = 0;
  // The same tiles as replays keep them: a wild tile by its face's code
  // (code 5 would read as flower 5 there).
  std::vector<int> codes;
  // The code of the tile the seat just drew and still holds (a wild tile by
  // its face's code), 0 when it holds none.
  int drawnCode = 0;
};
struct TableView {
  bool handRunning = false;
  int front = 0;      // tiles taken from the front of the wall, the deal included
  int backTaken = 0;  // tiles taken from its back
  SeatView seats[4];
  int dealer = 0;
  int wildCode = 0, shownCode = 0;  // wire codes of the wild face and of the tile turned up
  // The live wall from its front (the next draw) to its back (the next
  // replacement): wire codes of the faces (the wild face's too), flowers 1..8.
  std::vector<int> wall;
};

class Server {
 public:
  struct Config {
    std::uint64_t seed = 1;
    int turnTimeSec = 8;  // sent with the login result (0..15)
    int tables = 1;
    int autoPlayLimit = 3;  // run-out countdowns before the client plays by itself
    std::string pageUrl;    // optional page address of the login result
    int stake = 10;         // room stake; coins = hu total x stake per paying seat
    std::int64_t startGold = 10000;
    std::int64_t minGold = 10;  // a human below this after a hand must leave
    int robotDelayMs = 700;     // robots think this long before acting
    // A connection's chat lines are relayed at most one per this many ms: every
    // line goes to the whole table, so a flood would fill the others' queues.
    // (The client itself sends at most one typed line per 800 ms.)
    int chatSpacingMs = 500;
    // Watchers' lines at one table share one budget of that spacing (a few may
    // come at once), however many watchers there are: thirty of them would
    // otherwise send a player more lines than a client can show.
    int watcherChatBurst = 3;
    // A connection that has not logged in this long after it opened is closed,
    // and one not heard from this long too (0: never). Silent or slow strangers
    // would otherwise hold the descriptors that players need. Clients send a
    // keep-alive every 5 s.
    int loginTimeoutMs = 0;
    int idleTimeoutMs = 0;
    // A human seat gets turn time + this before a robot acts for it. The client
    // shows every move with pauses of its own (dice, deal, discards) and starts
    // its countdown only once it has caught up; the grace covers that, or its
    // answers would come after the robot's and be refused.
    int turnGraceMs = 10000;
    int startPauseMs = 3000;     // from seating to the first hand
    int nextHandPauseMs = 1500;  // from everyone ready to the next hand
    int readyTimeoutMs = 20000;  // the next hand starts by then even if someone is not ready
    bool busyTables = false;     // robots-only tables play too (benchmarks, ./run table)
    int handsPerGame = 0;        // 0: endless; else a game-over notice after this many hands
    // A hosted table: no game's first hand starts before every seated client has
    // said it is ready (the 开始 button); robots then play the seats still free.
    bool waitForStart = false;
    // A lobby's table-list requests on one connection are answered at most one
    // per this many ms; more are dropped.
    int tableListSpacingMs = 200;
  };

  explicit Server(Config config);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  ConnId connect();
  void receive(ConnId conn, std::span<const std::uint8_t> bytes);
  void disconnect(ConnId conn);

  void advanceTo(std::int64_t nowMs);
  std::optional<std::int64_t> nextDueMs() const;
  std::int64_t nowMs() const { return now_; }

  // Frames waiting for a connection (whole frames only), emptied by the call.
  std::vector<std::uint8_t> takeOutput(ConnId conn);
  bool hasOutput(ConnId conn) const;
  // The server has given up this connection (refused login, gold shortage, a
  // resume that failed, shutdown): send what is left, then close it.
  bool isClosed(ConnId conn) const;

  // Ends every game with the notice (GBK text) and drops every connection.
  void shutdown(const std::string& noticeUtf8);

  // Observers. The log gets refused requests and other events worth a line.
  void setLogSink(std::function<void(const std::string&)> sink);
  void setHandSink(std::function<void(const HandRecord&)> sink);
  void setCloseSink(std::function<void(ConnId)> sink);
  // Every frame the tables address to a seat, robots included (tests, tools).
  void setFrameTap(std::function<void(int table, int seat, std::span<const std::uint8_t>)> tap);

  const Config& config() const { return config_; }
  int tableCount() const { return static_cast<int>(tables_.size()); }
  // Tiles left in a table's wall; the hands finished there.
  int wallLeft(int table) const;
  int handsPlayed(int table) const;
  // The table as it stands (tests and tools); an empty view for no such table.
  TableView tableView(int table) const;
  // The frames a client that took `seat` of `table` now would get first: the
  // four names, the four records, the dealer and who is ready (whole frames,
  // one after another); empty for no such table or seat. A recording of a
  // seat starts with them.
  std::vector<std::uint8_t> seatingFrames(int table, int seat) const;
  // Connections the server still keeps (open, or closed but not yet disconnected).
  std::size_t connectionCount() const { return conns_.size(); }
  // The connection holds a seat or watches a table.
  bool loggedIn(ConnId conn) const;
  // Log lines held back by the limits below, so far.
  std::uint64_t logLinesHeldBack() const { return logHeldBack_; }

  // The log is fed by clients: every line about a connection counts against its
  // own budget (a few at once, then one per kConnLogSpacingMs) and against the
  // server's (kLogBurst at once, then one per kLogSpacingMs). What is held back
  // is counted and said in the next line that gets through.
  static constexpr int kConnLogBurst = 10;
  static constexpr std::int64_t kConnLogSpacingMs = 5000;
  static constexpr int kLogBurst = 100;
  static constexpr std::int64_t kLogSpacingMs = 50;
  // How long a connection that asked for the table list may stay without a login.
  static constexpr std::int64_t kListingMs = 30000;

  // Wrong resumes a seat takes before it refuses every further one until a new
  // client sits there.
  static constexpr int kResumeTries = 5;
  // A connection heard from this recently is live: a resume never displaces it.
  static constexpr std::int64_t kLiveWindowMs = 10000;

 private:
  struct Conn;
  // What the tables see of the server (engine/table_host.h).
  class Host;
  Conn* conn(ConnId id);
  const Conn* conn(ConnId id) const;
  void handleFrame(ConnId id, const std::uint8_t* data);
  struct LoginKey;
  static LoginKey parseKey(std::string_view key);
  void handleLogin(ConnId id, const std::uint8_t* data, bool resume);
  // A resume of the seat the key or the account names; a login to a free seat.
  void resumeLogin(ConnId id, const std::string& account, const LoginKey& k, std::uint16_t token);
  void seatLogin(ConnId id, const std::string& account, const LoginKey& k);
  void refuseLogin(ConnId id, int verdict);
  // A lobby's request for the tables (before any login on the connection).
  void tableList(ConnId id, const std::uint8_t* data);
  // Seat and watcher tokens come from the system's secure random source.
  std::uint16_t randomToken();
  // Open, not given up, and heard from within kLiveWindowMs.
  bool answering(ConnId id) const;
  void sendTo(ConnId id, const std::uint8_t* frame);
  void closeConn(ConnId id);
  // A line about connection `id` (0: about no one connection).
  void log(ConnId id, const std::string& line);
  // Closes connections that have not logged in or gone silent for too long.
  void closeLateConnections();
  std::int64_t loginDeadline(const Conn& c) const;
  std::optional<std::int64_t> nextConnectionDueMs() const;

  Config config_;
  std::int64_t now_ = 0;
  std::unique_ptr<Host> host_;
  std::vector<std::unique_ptr<Table>> tables_;
  std::map<ConnId, std::unique_ptr<Conn>> conns_;  // an entry goes with its stream
  ConnId nextConn_ = 1;
  std::function<void(const std::string&)> logSink_;
  Budget logBudget_;
  std::uint64_t logHeldBack_ = 0, logHeldBackUnsaid_ = 0;
  std::function<void(const HandRecord&)> handSink_;
  std::function<void(ConnId)> closeSink_;
  std::function<void(int, int, std::span<const std::uint8_t>)> tap_;
};

}  // namespace tavren::server
