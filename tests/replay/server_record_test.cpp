// tavrenmj-server --record: the files a table's games leave behind, each played
// again through the client's replay player as the client would play it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/client.h"
#include "replay/player.h"
#include "replay/replay_file.h"
#include "server/engine/game_record.h"
#include "server/engine/server.h"
#include "support/recorded_game.h"

namespace tavren {
namespace {

using testing::QuietHost;
using testing::TempFolder;

// A table of the server engine in virtual time, kept by the recorder.
struct RecordedTable {
  TempFolder dir;
  server::Server server;
  std::vector<std::string> log;
  std::unique_ptr<server::GameRecorder> recorder;
  // The table as it stood at each frame it sent seat 0.
  std::vector<server::TableView> atSeat0;

  explicit RecordedTable(server::Server::Config config,
                         server::GameRecorder::Options options = Options())
      : server(std::move(config)) {
    if (options.folder.empty()) options.folder = dir.path;
    recorder = std::make_unique<server::GameRecorder>(
        server, options, [this](const std::string& line) { log.push_back(line); });
    server.setFrameTap([this](int table, int seat, std::span<const std::uint8_t> f) {
      if (seat == 0) atSeat0.push_back(server.tableView(table));
      recorder->frame(table, seat, f);
    });
    server.setHandSink([this](const server::HandRecord& h) { recorder->handEnded(h); });
  }
  static server::GameRecorder::Options Options() {
    server::GameRecorder::Options o;
    o.programVersion = "test-1";
    o.serverName = "h:1";
    return o;
  }
  // Runs the table until it has played `hands` hands (and the next game began).
  void Play(int hands) {
    for (int i = 0; i < 2000000 && server.handsPlayed(0) < hands; ++i) {
      const auto due = server.nextDueMs();
      if (!due) break;
      server.advanceTo(*due);
    }
    recorder->closeAll();
  }
  // The kept files, oldest first (a name's "-N" counts the files that began
  // in the same second).
  std::vector<std::string> Files() const {
    struct Kept {
      std::int64_t start;
      std::string path;
    };
    std::vector<Kept> kept;
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
      if (e.path().extension() == ".tmr")
        kept.push_back({replay::ReadReplay(e.path().string()).header.startUnixMs, e.path()});
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
      if (a.start != b.start) return a.start < b.start;
      if (a.path.size() != b.path.size()) return a.path.size() < b.path.size();
      return a.path < b.path;
    });
    std::vector<std::string> out;
    for (const Kept& k : kept) out.push_back(k.path);
    return out;
  }
};

server::Server::Config BusyTable(std::uint64_t seed, int handsPerGame) {
  server::Server::Config config;
  config.seed = seed;
  config.turnTimeSec = 3;
  config.busyTables = true;
  config.robotDelayMs = 100;
  config.handsPerGame = handsPerGame;
  return config;
}

// Every file of several consecutive games of one table plays through the
// client's core to its last hand's end: each opens with what a client newly
// seated at seat 0 receives, never with a hand the core was not seated for.
TEST(ServerFiles, EveryGameOfATablePlaysToItsLastHandsEnd) {
  for (std::uint64_t seed : {3u, 8u}) {
    SCOPED_TRACE(seed);
    constexpr int kHandsPerGame = 2, kGames = 4;
    RecordedTable t(BusyTable(seed, kHandsPerGame));
    t.Play(kHandsPerGame * kGames);
    ASSERT_EQ(t.server.handsPlayed(0), kHandsPerGame * kGames);
    EXPECT_TRUE(t.log.empty());
    const std::vector<std::string> files = t.Files();
    // The games played, and the next one begun when the last ended.
    ASSERT_GE(files.size(), static_cast<std::size_t>(kGames));
    for (std::size_t g = 0; g < static_cast<std::size_t>(kGames); ++g) {
      SCOPED_TRACE(files[g]);
      const replay::ReadResult r = replay::ReadReplay(files[g]);
      ASSERT_TRUE(r.ok()) << r.error;
      const std::vector<replay::HandInfo> hands = replay::ListHands(r);
      ASSERT_EQ(hands.size(), static_cast<std::size_t>(kHandsPerGame));
      for (const replay::HandInfo& h : hands)
        EXPECT_EQ(h.players, "robot1|robot2|robot3|robot4") << "hand " << h.number;
      // One seating, before the first hand: the file's own or the stream's.
      int seatings = 0;
      for (std::size_t i = 0; i < r.handStarts.front(); ++i) {
        const replay::Entry& e = r.entries[i];
        seatings += e.kind == replay::EntryKind::Received &&
                    e.bytes[protocol::kTypeOffset] == protocol::kInsPlayerName &&
                    e.bytes[protocol::kSeatOffset] == 1;
      }
      EXPECT_EQ(seatings, 1);
      EXPECT_EQ(r.header.account, "robot1");
      QuietHost host;
      replay::Player p(r, host);
      p.setSpeed(replay::kAsFastAsPossible);
      p.run();
      EXPECT_TRUE(p.finished());
      EXPECT_EQ(p.endText(), "") << "the core refused a frame";
      EXPECT_EQ(p.entriesDone(), r.entries.size());
      EXPECT_EQ(p.currentHand(), kHandsPerGame);
      // The core itself played the last hand to its end.
      EXPECT_FALSE(p.client().ended);
      EXPECT_EQ(p.client().table.HandNo, kHandsPerGame);
      EXPECT_FALSE(p.client().table.HandInProgress);
    }
  }
}

// The hands a server's file keeps, as the player holds them wherever the
// replay stands (each step of a game, and after jumps forward and back), are
// the engine's own hands when it sent the frame the core took last.
TEST(ServerFiles, TheHandsShownAreTheEnginesOwnWhereverTheReplayStands) {
  RecordedTable t(BusyTable(5, 0));
  t.Play(3);
  const std::vector<std::string> files = t.Files();
  ASSERT_EQ(files.size(), 1u);
  const replay::ReadResult r = replay::ReadReplay(files[0]);
  ASSERT_TRUE(r.ok()) << r.error;
  int frames = 0, snapshots = 0;
  for (const replay::Entry& e : r.entries) {
    frames += e.kind == replay::EntryKind::Received;
    snapshots += e.kind == replay::EntryKind::SeatHands;
  }
  ASSERT_GE(frames, static_cast<int>(t.atSeat0.size()));
  // The login result and the seating the file opens with came from no tap.
  const int lead = frames - static_cast<int>(t.atSeat0.size());
  EXPECT_GT(snapshots, 100) << "a snapshot at every draw, discard and claim";

  QuietHost host;
  replay::Player p(r, host);
  p.setSpeed(replay::kAsFastAsPossible);
  int compared = 0, fullHands = 0, drawnShown = 0;
  const auto expectEnginesHands = [&](const char* where) {
    const int taken = p.instructionsTaken();
    if (taken <= lead) return;
    const server::TableView& v = t.atSeat0[static_cast<std::size_t>(taken - 1 - lead)];
    const replay::SeatHands* shown = p.seatHands();
    ASSERT_NE(shown, nullptr) << where << " at " << taken;
    for (int seat = 0; seat < 4; ++seat) {
      std::vector<int> want = v.seats[seat].codes;
      std::vector<int> got(shown->tiles[seat].begin(), shown->tiles[seat].end());
      const bool drawn = shown->drawnLast[seat];
      EXPECT_EQ(drawn, v.seats[seat].drawnCode != 0)
          << where << " seat " << seat << " at " << taken;
      if (drawn && !got.empty()) {
        EXPECT_EQ(got.back(), v.seats[seat].drawnCode) << where << " seat " << seat;
        ++drawnShown;
      }
      std::sort(want.begin(), want.end());
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, want) << where << " seat " << seat << " at instruction " << taken;
      fullHands += got.size() >= 13;
    }
    ++compared;
  };
  p.setPaused(true);
  for (int i = 0; i < 5000 && !p.finished(); ++i) {
    p.step();
    p.run();
    expectEnginesHands("a step");
    if (::testing::Test::HasFatalFailure()) return;
  }
  EXPECT_TRUE(p.finished());
  EXPECT_EQ(p.endText(), "");
  EXPECT_GT(compared, 300);
  EXPECT_GT(fullHands, 500);
  EXPECT_GT(drawnShown, 50);
  // Jumps: forward from the start, then back.
  replay::Player q(r, host);
  ASSERT_EQ(q.hands().size(), 3u);
  q.setPaused(true);
  for (int hand : {3, 1, 2}) {
    q.jumpToHand(hand);
    q.run();
    ASSERT_EQ(q.currentHand(), hand);
    for (int k = 0; k < 40; ++k) {
      q.step();
      q.run();
    }
    const int taken = q.instructionsTaken();
    ASSERT_GT(taken, lead);
    const server::TableView& v = t.atSeat0[static_cast<std::size_t>(taken - 1 - lead)];
    const replay::SeatHands* shown = q.seatHands();
    ASSERT_NE(shown, nullptr) << "hand " << hand;
    std::size_t dealt = 0;
    for (int seat = 0; seat < 4; ++seat) {
      std::vector<int> want = v.seats[seat].codes;
      std::vector<int> got(shown->tiles[seat].begin(), shown->tiles[seat].end());
      std::sort(want.begin(), want.end());
      std::sort(got.begin(), got.end());
      EXPECT_EQ(got, want) << "hand " << hand << " seat " << seat;
      dealt += got.size();
    }
    EXPECT_GE(dealt, 28u) << "the deal under way in hand " << hand;
  }
}

TEST(ServerFiles, OnlyTheServersOwnNamesAreItsRecordings) {
  for (const char* name : {"table0-20261211-104713.tmr", "table12-20261211-104713-2.tmr",
                           "table999-19991231-235959-1000.tmr"})
    EXPECT_TRUE(server::IsRecordingName(name)) << name;
  for (const char* name :
       {"", "table0-20261211-104713.tmr.bak", "table0-20261211-104713.TMR", "game.tmr",
        "table-20261211-104713.tmr", "tableX-20261211-104713.tmr", "table0-2026121-104713.tmr",
        "table0-20261211-10471.tmr", "table0-20261211-104713-.tmr", "table0-20261211-104713-x.tmr",
        "20261211-104713-amy.tmr", "table0-20261211-104713", "table00000-20261211-104713.tmr",
        "table0-20261211-104713-2-3.tmr", "../table0-20261211-104713.tmr"})
    EXPECT_FALSE(server::IsRecordingName(name)) << name;
}

// The folder's bound over many games: the oldest of the server's own files go
// first until the rest fit; a file that cannot be removed stays (said once),
// and whatever else lies in the folder is never touched.
TEST(ServerFiles, ANewFileMakesRoomByRemovingTheOldestRecordingsOnly) {
  struct File {
    const char* name;
    std::uint64_t bytes;
    int age;  // seconds before now of its last write
  };
  struct Case {
    const char* name;
    std::vector<File> files;
    std::uint64_t keepBytes;
    int keepGames;
    std::set<std::string> refused;  // removal fails for these
    std::set<std::string> left;     // what the folder holds afterwards
    int logLines;
  };
  constexpr std::uint64_t kK = 1024, kM = 1024 * 1024;
  const std::vector<File> four = {{"table0-20261201-100000.tmr", 400 * kK, 40},
                                  {"table0-20261201-100000-2.tmr", 400 * kK, 30},
                                  {"table1-20261201-100000.tmr", 400 * kK, 20},
                                  {"table0-20261201-100100.tmr", 400 * kK, 10}};
  const Case cases[] = {
      {"under both bounds",
       four,
       2 * kM,
       10,
       {},
       {"table0-20261201-100000.tmr", "table0-20261201-100000-2.tmr", "table1-20261201-100000.tmr",
        "table0-20261201-100100.tmr"},
       0},
      {"over the megabytes: the two oldest go",
       four,
       kM,
       10,
       {},
       {"table1-20261201-100000.tmr", "table0-20261201-100100.tmr"},
       0},
      {"over the games: room for the new one",
       four,
       2 * kM,
       3,
       {},
       {"table1-20261201-100000.tmr", "table0-20261201-100100.tmr"},
       0},
      {"the oldest cannot be removed: the next go instead",
       four,
       kM,
       10,
       {"table0-20261201-100000.tmr"},
       {"table0-20261201-100000.tmr", "table0-20261201-100100.tmr"},
       1},
      {"foreign files stay, however far over",
       {{"notes.txt", 5 * kM, 50},
        {"game.tmr", 5 * kM, 50},
        {"20261201-100000-amy.tmr", 5 * kM, 50},
        {"table0-20261201-100000.tmr.bak", 5 * kM, 50},
        {"table0-20261201-100000.tmr", 100, 5}},
       1,
       1,
       {},
       {"notes.txt", "game.tmr", "20261201-100000-amy.tmr", "table0-20261201-100000.tmr.bak"},
       0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    RecordedTable t(BusyTable(1, 0));
    for (const File& f : k.files) {
      const std::string path = t.dir.path + "/" + f.name;
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ASSERT_GE(fd, 0);
      ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(f.bytes)), 0);  // sparse: no disk taken
      ::close(fd);
      const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(f.age);
      std::filesystem::last_write_time(path, when);
    }
    server::GameRecorder::Keep keep;
    keep.bytes = k.keepBytes;
    keep.games = k.keepGames;
    std::vector<std::string> tried;
    keep.removeFile = [&](const std::string& path) {
      tried.push_back(path);
      if (k.refused.count(std::filesystem::path(path).filename().string())) return false;
      return ::unlink(path.c_str()) == 0;
    };
    t.recorder->setKeep(keep);
    t.recorder->prune();
    t.recorder->prune();  // again: nothing more goes, and a refusal is said once
    std::set<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(t.dir.path))
      left.insert(e.path().filename().string());
    EXPECT_EQ(left, k.left);
    EXPECT_EQ(static_cast<int>(t.log.size()), k.logLines);
    for (const std::string& path : tried)
      EXPECT_TRUE(server::IsRecordingName(std::filesystem::path(path).filename().string())) << path;
  }
  // A folder and a link that carry the server's naming are not its files.
  RecordedTable t(BusyTable(1, 0));
  std::filesystem::create_directory(t.dir.path + "/table0-20261201-100000.tmr");
  std::ofstream(t.dir.path + "/target") << std::string(1000, 'x');
  std::filesystem::create_symlink(t.dir.path + "/target",
                                  t.dir.path + "/table1-20261201-100000.tmr");
  server::GameRecorder::Keep keep;
  keep.bytes = 1;
  keep.games = 1;
  t.recorder->setKeep(keep);
  EXPECT_EQ(t.recorder->prune(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(t.dir.path + "/table0-20261201-100000.tmr"));
  EXPECT_TRUE(std::filesystem::is_symlink(t.dir.path + "/table1-20261201-100000.tmr"));
  EXPECT_TRUE(std::filesystem::exists(t.dir.path + "/target"));
}

// Over many games of a table the folder keeps the newest games, the one being
// written never removed.
TEST(ServerFiles, ATablesGamesKeepTheFolderWithinItsBound) {
  RecordedTable t(BusyTable(4, 1));
  server::GameRecorder::Keep keep;
  keep.games = 2;
  t.recorder->setKeep(keep);
  t.Play(5);
  ASSERT_EQ(t.server.handsPlayed(0), 5);
  EXPECT_TRUE(t.log.empty());
  const std::vector<std::string> files = t.Files();
  ASSERT_EQ(files.size(), 2u);
  // The newest: the fifth game whole, and the sixth just begun when the table stopped.
  EXPECT_EQ(replay::ListHands(replay::ReadReplay(files[0])).size(), 1u);
  EXPECT_TRUE(replay::ReadReplay(files[1]).ok());
}

// Snapshots that are not whole or out of bounds are ignored where the player
// meets them: the last good one stands, and the replay plays on to its end.
TEST(ServerFiles, ABadSnapshotOfTheHandsIsIgnored) {
  RecordedTable t(BusyTable(9, 0));
  t.Play(1);
  const std::vector<std::string> files = t.Files();
  ASSERT_EQ(files.size(), 1u);
  replay::ReadResult r = replay::ReadReplay(files[0]);
  ASSERT_TRUE(r.ok()) << r.error;
  // The last snapshot of the file, and the one before it spoilt in each way.
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < r.entries.size(); ++i)
    if (r.entries[i].kind == replay::EntryKind::SeatHands) at.push_back(i);
  ASSERT_GE(at.size(), 10u);
  const auto good = replay::ParseSeatHands(r.entries[at[at.size() - 2]].bytes);
  ASSERT_TRUE(good);
  const std::function<void(std::vector<std::uint8_t>&)> spoils[] = {
      [](std::vector<std::uint8_t>& b) { b[2] = 200; },              // a count past the bound
      [](std::vector<std::uint8_t>& b) { b.resize(b.size() / 2); },  // cut
      [](std::vector<std::uint8_t>& b) { b.back() = 0x99; },         // no tile
      [](std::vector<std::uint8_t>& b) { b.clear(); },
  };
  for (const auto& spoil : spoils) {
    replay::ReadResult f = r;
    spoil(f.entries[at.back()].bytes);
    QuietHost host;
    replay::Player p(f, host);
    p.setSpeed(replay::kAsFastAsPossible);
    p.run();
    EXPECT_TRUE(p.finished());
    EXPECT_EQ(p.endText(), "");
    ASSERT_NE(p.seatHands(), nullptr);
    EXPECT_EQ(*p.seatHands(), *good);
  }
}

}  // namespace
}  // namespace tavren
