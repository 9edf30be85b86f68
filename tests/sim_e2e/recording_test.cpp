// Recording: a game played against the reference server's engine in virtual
// time is kept in a replay file that reads back with the frames the client
// took, in their order, each hand's start and end, and the link's losses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/client.h"
#include "replay/recorder.h"
#include "replay/replay_file.h"
#include "shell/startup.h"
#include "support/engine_peer.h"

namespace tavren {
namespace {

namespace p = protocol;
using replay::EntryKind;

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

class TempFolder {
 public:
  TempFolder() {
    char tmpl[] = "/tmp/recording-test-XXXXXX";
    const char* made = mkdtemp(tmpl);
    EXPECT_NE(made, nullptr);
    path_ = made ? made : "/tmp";
  }
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Splits a stream into frames, carrying a partial tail to the next block.
struct FrameStream {
  std::vector<Frame> frames;
  std::vector<std::uint8_t> tail;
  void add(std::span<const std::uint8_t> bytes) {
    tail.insert(tail.end(), bytes.begin(), bytes.end());
    std::size_t at = 0;
    for (; at + p::kFrameSize <= tail.size(); at += p::kFrameSize) {
      Frame f;
      std::copy(tail.begin() + static_cast<long>(at),
                tail.begin() + static_cast<long>(at + p::kFrameSize), f.begin());
      frames.push_back(f);
    }
    tail.erase(tail.begin(), tail.begin() + static_cast<long>(at));
  }
};

server::Server::Config Config(std::uint64_t seed) {
  server::Server::Config config;
  config.seed = seed;
  config.turnTimeSec = 3;
  return config;
}

struct Session {
  sim::World world;
  testing::EnginePeer peer;
  sim::SimPlatform platform{world};
  Client c{platform};
  FrameStream fromServer;
  FrameStream fromClient;
  TempFolder dir;
  std::string folder = dir.path() + "/replays";

  explicit Session(std::uint64_t seed, RecordSettings settings = {})
      : peer(world, kHost, kPort, Config(seed)) {
    platform.attach(c);
    platform.folder = dir.path();
    EnableRecording(c, folder, settings, "test-1");
    peer.onServerBytes = [this](const sim::Connection&, std::span<const std::uint8_t> b) {
      fromServer.add(b);
    };
    peer.onClientBytes = [this](const sim::Connection&, std::span<const std::uint8_t> b) {
      fromClient.add(b);
    };
  }
  void Start(const std::string& account, const std::string& key) {
    StartUp(c,
            account + "$" + key + "$" + kHost + "$" + std::to_string(kPort) + "$第1桌$0$$0$$$0$$$");
  }
  // Runs until the client has settled `hands` hands and waits between them.
  bool PlayHands(int hands) {
    for (int i = 0; i < 20 * 60 * 10; ++i) {
      world.loop.runFor(100);
      if (c.ended) return false;
      if (c.table.HandNo >= hands && !c.table.HandInProgress) return true;
    }
    return false;
  }
  std::vector<replay::KeptGame> Kept() const { return replay::ListReplays(folder); }
};

std::vector<Frame> EntriesOf(const replay::ReadResult& r, EntryKind kind) {
  std::vector<Frame> out;
  for (const replay::Entry& e : r.entries) {
    if (e.kind != kind) continue;
    Frame f{};
    EXPECT_EQ(e.bytes.size(), p::kFrameSize);
    std::copy(e.bytes.begin(),
              e.bytes.begin() + static_cast<long>(std::min(e.bytes.size(), f.size())), f.begin());
    out.push_back(f);
  }
  return out;
}

int Count(const replay::ReadResult& r, EntryKind kind) {
  int n = 0;
  for (const replay::Entry& e : r.entries) n += e.kind == kind;
  return n;
}

// The recorded frames are the stream's frames from its start, in order and
// byte for byte; only the newest may still be on their way (or waiting).
void ExpectPrefix(const std::vector<Frame>& recorded, const std::vector<Frame>& stream,
                  std::size_t slack, const char* what) {
  ASSERT_LE(recorded.size(), stream.size()) << what;
  for (std::size_t i = 0; i < recorded.size(); ++i)
    ASSERT_EQ(recorded[i], stream[i]) << what << " frame " << i;
  EXPECT_LE(stream.size() - recorded.size(), slack) << what;
}

Frame WithoutKey(Frame f) {
  if (f[p::kTypeOffset] == p::kReqLogin || f[p::kTypeOffset] == p::kReqResume)
    std::fill(f.begin() + p::kLoginKeyOffset, f.begin() + p::kTokenOffset, 0);
  return f;
}

TEST(Recording, AGameIsKeptWithEveryFrameInOrderAndEachHandsStartAndEnd) {
  for (std::uint64_t seed : {5u, 17u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Session s(seed);
    s.Start("amy", "table=0;seat=0;pass=secret");
    ASSERT_TRUE(s.PlayHands(3));
    // The file is read while the game goes on: each tick's entries are on disk.
    auto kept = s.Kept();
    ASSERT_EQ(kept.size(), 1u);
    const replay::ReadResult r = replay::ReadReplay(kept[0].path);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.header.account, "amy");
    EXPECT_EQ(r.header.caption, "第1桌");
    EXPECT_EQ(r.header.server, "127.0.0.1:7000");
    EXPECT_EQ(r.header.programVersion, "test-1");
    EXPECT_FALSE(r.header.watcher);
    EXPECT_FALSE(r.header.fullGame);
    EXPECT_GT(r.header.startUnixMs, 1600000000000);

    const std::vector<Frame> received = EntriesOf(r, EntryKind::Received);
    ExpectPrefix(received, s.fromServer.frames, 2 + s.c.link.ReceiveRing.buffered() / p::kFrameSize,
                 "received");
    std::vector<Frame> sentByClient;
    for (const Frame& f : s.fromClient.frames) sentByClient.push_back(WithoutKey(f));
    ExpectPrefix(EntriesOf(r, EntryKind::Sent), sentByClient, 2, "sent");
    // The login key never reaches the file.
    const std::string key = "table=0;seat=0;pass=secret";
    for (const replay::Entry& e : r.entries)
      EXPECT_EQ(std::search(e.bytes.begin(), e.bytes.end(), key.begin(), key.end()), e.bytes.end());

    // Each hand: a HandStart just before its new-hand frame, a HandEnd when settled.
    int newHands = 0;
    for (const Frame& f : received) newHands += f[p::kTypeOffset] == p::kInsNewHand;
    EXPECT_EQ(newHands, s.c.table.HandNo);
    ASSERT_EQ(static_cast<int>(r.handStarts.size()), s.c.table.HandNo);
    for (std::size_t i : r.handStarts) {
      ASSERT_LT(i + 1, r.entries.size());
      EXPECT_EQ(r.entries[i + 1].kind, EntryKind::Received);
      EXPECT_EQ(r.entries[i + 1].bytes[p::kTypeOffset], p::kInsNewHand);
    }
    EXPECT_EQ(Count(r, EntryKind::HandEnd), s.c.table.HandNo);
    EXPECT_EQ(Count(r, EntryKind::Link), 0);
    for (const replay::Entry& e : r.entries) {
      if (e.kind != EntryKind::HandEnd) continue;
      const std::string players = replay::HandEndValue(e, "players");
      EXPECT_NE(players.find("amy"), std::string::npos) << players;
      EXPECT_EQ(std::count(players.begin(), players.end(), '|'), 3) << players;
      EXPECT_FALSE(replay::HandEndValue(e, "result").empty());
    }
    // Received frames keep their arrival order in time.
    std::int64_t last = -1;
    for (const replay::Entry& e : r.entries)
      if (e.kind == EntryKind::Received) {
        EXPECT_GE(e.ms, last);
        last = e.ms;
      }

    // Leaving ends the game's file; the list shows its hands and results.
    OnLobbyMessage(s.c, kWmUser, 0, 0);
    s.world.loop.runFor(1000);
    kept = s.Kept();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_FALSE(kept[0].damaged);
    EXPECT_GE(kept[0].hands, 3);
    EXPECT_EQ(static_cast<int>(kept[0].handResults.size()), 3);
    std::printf("seed %llu: %d hands, %lld bytes, %lld bytes a hand\n",
                static_cast<unsigned long long>(seed), kept[0].hands,
                static_cast<long long>(
                    std::ifstream(kept[0].path, std::ios::ate | std::ios::binary).tellg()),
                static_cast<long long>(
                    std::ifstream(kept[0].path, std::ios::ate | std::ios::binary).tellg()) /
                    kept[0].hands);

    // Sitting down again starts a second game, in a file of its own.
    OnLobbyMessage(s.c, kWmEndSession, 0, 0);
    s.world.loop.runFor(3000);
    EXPECT_EQ(s.Kept().size(), 2u);
  }
}

TEST(Recording, ALostLinkAndItsResumeAreKeptBetweenTheFrames) {
  Session s(9);
  s.Start("amy", "table=0;seat=0;pass=secret");
  // Into a hand, past the deal.
  for (int i = 0; i < 600 && !(s.c.table.HandInProgress && s.peer.server.wallLeft(0) < 80); ++i)
    s.world.loop.runFor(100);
  ASSERT_TRUE(s.c.table.HandInProgress);
  s.platform.socketClose();  // the link breaks
  for (int i = 0; i < 300 && !s.c.link.Resumed; ++i) s.world.loop.runFor(100);
  ASSERT_TRUE(s.c.link.Resumed);
  ASSERT_TRUE(s.PlayHands(s.c.table.HandNo + 1));

  const auto kept = s.Kept();
  ASSERT_EQ(kept.size(), 1u);
  const replay::ReadResult r = replay::ReadReplay(kept[0].path);
  ASSERT_TRUE(r.ok()) << r.error;
  std::vector<std::size_t> links;
  for (std::size_t i = 0; i < r.entries.size(); ++i)
    if (r.entries[i].kind == EntryKind::Link) links.push_back(i);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(r.entries[links[0]].bytes, std::vector<std::uint8_t>{0});
  EXPECT_EQ(r.entries[links[1]].bytes, std::vector<std::uint8_t>{1});
  // The resume frame follows its Link entry; the server's answer comes after.
  ASSERT_LT(links[1] + 1, r.entries.size());
  EXPECT_EQ(r.entries[links[1] + 1].kind, EntryKind::Sent);
  EXPECT_EQ(r.entries[links[1] + 1].bytes[p::kTypeOffset], p::kReqResume);
  bool answered = false;
  for (std::size_t i = links[1]; i < r.entries.size() && !answered; ++i)
    answered = r.entries[i].kind == EntryKind::Received &&
               r.entries[i].bytes[p::kTypeOffset] == p::kInsResumed;
  EXPECT_TRUE(answered);
  EXPECT_LE(r.entries[links[0]].ms, r.entries[links[1]].ms);
  // Both connections' frames, in order. Frames of the lost connection still
  // waiting when it broke were never handled (the resume starts afresh), so
  // the only gap lies before the resume's answer.
  const std::vector<Frame> received = EntriesOf(r, EntryKind::Received);
  const std::vector<Frame>& stream = s.fromServer.frames;
  std::size_t at = 0, skipped = 0, resumeAt = stream.size();
  for (std::size_t i = 0; i < stream.size(); ++i)
    if (stream[i][p::kTypeOffset] == p::kInsResumed) resumeAt = std::min(resumeAt, i);
  for (const Frame& f : received) {
    while (at < stream.size() && stream[at] != f) {
      EXPECT_LT(at, resumeAt) << "a frame after the resume was not kept";
      ++at;
      ++skipped;
    }
    ASSERT_LT(at, stream.size()) << "a kept frame the server never sent, or out of order";
    ++at;
  }
  EXPECT_LE(skipped, 20u);
  EXPECT_LE(stream.size() - at, 2 + s.c.link.ReceiveRing.buffered() / p::kFrameSize);
  EXPECT_EQ(Count(r, EntryKind::HandEnd), s.c.table.HandNo);
}

TEST(Recording, AWatchersGameIsKeptFromTheHandItJoined) {
  Session s(23);
  s.Start("amy", "table=0;seat=0");
  for (int i = 0; i < 600 && !(s.c.table.HandInProgress && s.peer.server.wallLeft(0) < 70); ++i)
    s.world.loop.runFor(100);
  ASSERT_TRUE(s.c.table.HandInProgress);

  sim::SimPlatform other(s.world);
  Client watcher(other);
  other.attach(watcher);
  TempFolder dir;
  EnableRecording(watcher, dir.path() + "/replays", {}, "test-1");
  StartUp(watcher, std::string("eve$watch=0;seat=1$") + kHost + "$" + std::to_string(kPort) +
                       "$T1$900001$0$$0$$$0");
  ASSERT_TRUE(watcher.table.Watching);
  const int handsBefore = s.peer.server.handsPlayed(0);
  for (int i = 0; i < 20 * 60 * 10 && s.peer.server.handsPlayed(0) < handsBefore + 3; ++i)
    s.world.loop.runFor(100);
  ASSERT_FALSE(watcher.ended);

  const auto kept = replay::ListReplays(dir.path() + "/replays");
  ASSERT_EQ(kept.size(), 1u);
  const replay::ReadResult r = replay::ReadReplay(kept[0].path);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.header.watcher);
  EXPECT_EQ(r.header.account, "eve");
  ASSERT_GE(r.handStarts.size(), 2u);
  // The hand joined under way starts at the join, the next ones at their deal.
  EXPECT_EQ(r.entries[r.handStarts[0] + 1].bytes[p::kTypeOffset], p::kInsTableJoined);
  EXPECT_EQ(r.entries[r.handStarts[1] + 1].bytes[p::kTypeOffset], p::kInsNewHand);
  EXPECT_GE(Count(r, EntryKind::HandEnd), 2);
  // The seated client kept its own game meanwhile.
  EXPECT_EQ(s.Kept().size(), 1u);
}

// The descriptor of the open file whose path contains `name`, or -1.
int DescriptorOf(const std::string& name) {
  for (int fd = 3; fd < 4096; ++fd) {
    char target[1024] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target).find(name) != std::string::npos) return fd;
  }
  return -1;
}

std::string Messages(const Client& c) {
  return c.view.Sysmsg[0].text() + "\n" + c.view.Sysmsg[1].text();
}

TEST(Recording, AFolderThatCannotBeWrittenStopsTheRecordingNotTheGame) {
  Session s(5);
  // The replays folder's parent is a plain file: nothing can be made there.
  s.folder = s.dir.path() + "/file/replays";
  std::ofstream(s.dir.path() + "/file") << "x";
  EnableRecording(s.c, s.folder, {}, "test-1");
  s.Start("amy", "table=0;seat=0");
  // The line shows once, after the login's own lines, and scrolls away as any line does.
  int shown = 0;
  bool was = false;
  for (int i = 0; i < 200; ++i) {
    s.world.loop.runFor(50);
    const bool is = Messages(s.c).find("本局录像已停止") != std::string::npos;
    shown += is && !was;
    was = is;
  }
  EXPECT_EQ(shown, 1);
  ASSERT_TRUE(s.PlayHands(2));
  EXPECT_FALSE(s.c.ended);
  EXPECT_TRUE(s.c.table.LoginAccepted);
}

TEST(Recording, AFullDiskStopsTheRecordingAndKeepsWhatWasWritten) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  Session s(5);
  s.Start("amy", "table=0;seat=0");
  for (int i = 0; i < 600 && !s.c.table.HandInProgress; ++i) s.world.loop.runFor(100);
  ASSERT_TRUE(s.c.table.HandInProgress);
  const int fd = DescriptorOf(s.dir.path() + "/replays/");
  ASSERT_GE(fd, 0);
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0);
  ASSERT_EQ(dup2(full, fd), fd);
  ::close(full);
  s.world.loop.runFor(2000);
  EXPECT_NE(Messages(s.c).find("磁盘已满"), std::string::npos) << Messages(s.c);
  ASSERT_TRUE(s.PlayHands(2));
  EXPECT_FALSE(s.c.ended);
  // What reached the disk before reads back; the rest was never written.
  const auto kept = s.Kept();
  ASSERT_EQ(kept.size(), 1u);
  const replay::ReadResult r = replay::ReadReplay(kept[0].path);
  EXPECT_GE(r.handStarts.size(), 1u);
  EXPECT_FALSE(r.entries.empty());
}

TEST(Recording, ANewGameMakesRoomByRemovingTheOldestKeptGames) {
  Session s(5, MakeRecordSettings(3, 200));
  mkdir(s.folder.c_str(), 0700);
  for (int i = 0; i < 4; ++i) {
    const std::string path = s.folder + "/old" + std::to_string(i) + ".tmr";
    std::ofstream(path) << "old";
    const timespec t[2] = {{1000000 + i, 0}, {1000000 + i, 0}};
    utimensat(AT_FDCWD, path.c_str(), t, 0);
  }
  s.Start("amy", "table=0;seat=0");
  s.world.loop.runFor(2000);
  const auto kept = s.Kept();
  ASSERT_EQ(kept.size(), 3u);
  std::vector<std::string> names;
  for (const auto& k : kept) names.push_back(k.path.substr(s.folder.size() + 1));
  EXPECT_NE(std::find(names.begin(), names.end(), "old3.tmr"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "old2.tmr"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "old0.tmr"), names.end());
}

TEST(Recording, SettingsOutOfRangeFallBackToTheDefaults) {
  struct Case {
    long games, megabytes;
    int wantGames;
    std::uint64_t wantBytes;
  };
  const Case cases[] = {
      {200, 200, 200, 200ull << 20},
      {5, 1, 5, 1ull << 20},
      {0, 0, 200, 200ull << 20},
      {-3, -1, 200, 200ull << 20},
      {100001, 1000001, 200, 200ull << 20},
  };
  for (const Case& k : cases) {
    const RecordSettings s = MakeRecordSettings(k.games, k.megabytes);
    EXPECT_EQ(s.keepGames, k.wantGames) << k.games;
    EXPECT_EQ(s.keepBytes, k.wantBytes) << k.megabytes;
  }
}

}  // namespace
}  // namespace tavren

#include "engine/game_record.h"

namespace tavren {
namespace {

// tavrenmj-server --record: a robots' table kept with every hand open.
struct ServerRecording {
  TempFolder dir;
  server::Server server;
  std::vector<std::string> log;
  std::vector<Frame> seat0;
  std::unique_ptr<server::GameRecorder> recorder;
  explicit ServerRecording(std::uint64_t maxBytes = std::uint64_t{64} << 20,
                           std::string folder = {})
      : server([] {
          server::Server::Config config = Config(4);
          config.busyTables = true;
          config.robotDelayMs = 100;
          return config;
        }()) {
    recorder = std::make_unique<server::GameRecorder>(
        server,
        server::GameRecorder::Options{folder.empty() ? dir.path() : folder, maxBytes, "test-1",
                                      "h:1"},
        [this](const std::string& line) { log.push_back(line); });
    server.setFrameTap([this](int table, int seat, std::span<const std::uint8_t> f) {
      if (seat == 0) {
        Frame copy;
        std::copy(f.begin(), f.end(), copy.begin());
        seat0.push_back(copy);
      }
      recorder->frame(table, seat, f);
    });
    server.setHandSink([this](const server::HandRecord& h) { recorder->handEnded(h); });
  }
  void Play(int hands) {
    for (int i = 0; i < 500000 && server.handsPlayed(0) < hands; ++i) {
      const auto due = server.nextDueMs();
      if (!due) break;
      server.advanceTo(*due);
    }
    recorder->closeAll();
  }
};

TEST(ServerRecording, EveryHandIsKeptOpenWithItsDealAndWall) {
  ServerRecording s;
  s.Play(3);
  ASSERT_EQ(s.server.handsPlayed(0), 3);
  const auto kept = replay::ListReplays(s.dir.path());
  ASSERT_EQ(kept.size(), 1u);
  const replay::ReadResult r = replay::ReadReplay(kept[0].path);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.header.fullGame);
  EXPECT_EQ(r.header.seat, 0);
  EXPECT_EQ(r.header.server, "h:1");
  EXPECT_TRUE(s.log.empty());

  // Seat 0's frames, after what a client newly seated there would have had
  // first: the login result, then the seating (the table began its game before
  // the recorder listened, so the file opened in a hand). The header names the
  // account sitting at seat 0, by which a replaying client finds its seat.
  EXPECT_EQ(r.header.account, "robot1");
  const std::vector<Frame> received = EntriesOf(r, EntryKind::Received);
  ASSERT_GE(received.size(), s.seat0.size() + 10);
  const std::size_t lead = received.size() - s.seat0.size();
  EXPECT_EQ(received[0][p::kTypeOffset], p::kInsLoginResult);
  for (std::size_t i = 1; i <= 4; ++i) {
    EXPECT_EQ(received[i][p::kTypeOffset], p::kInsPlayerName) << i;
    EXPECT_EQ(received[i][p::kSeatOffset] & 15, 1 << (i - 1)) << i;
    EXPECT_EQ(received[i + 4][p::kTypeOffset], p::kInsPlayerRecord) << i;
  }
  EXPECT_EQ(received[5][p::kSeatOffset], 15) << "seat 0's own record";
  EXPECT_EQ(received[9][p::kTypeOffset], p::kInsMembership) << "the dealer";
  for (std::size_t i = 10; i < lead; ++i) EXPECT_EQ(received[i][p::kTypeOffset], p::kInsReady);
  for (std::size_t i = 0; i < s.seat0.size(); ++i) ASSERT_EQ(received[i + lead], s.seat0[i]) << i;

  EXPECT_GE(r.handStarts.size(), 3u);
  EXPECT_EQ(Count(r, EntryKind::HandEnd), 3);
  int deals = 0;
  for (const replay::Entry& e : r.entries) {
    if (e.kind != EntryKind::FullDeal) continue;
    ++deals;
    const std::vector<std::uint8_t>& b = e.bytes;
    ASSERT_GE(b.size(), 9u);
    EXPECT_EQ(b[0], 1);
    const int dealer = b[1];
    ASSERT_LT(dealer, 4);
    const int wild = b[2], shown = b[3];
    std::map<int, int> tiles;
    std::size_t at = 4;
    for (int seat = 0; seat < 4; ++seat) {
      ASSERT_LT(at, b.size());
      const int n = b[at++];
      // Thirteen each and the dealer's fourteenth, flowers not yet replaced included.
      EXPECT_EQ(n, seat == dealer ? 14 : 13) << "seat " << seat;
      for (int k = 0; k < n; ++k) ++tiles[b[at++]];
    }
    ASSERT_LT(at, b.size());
    const int w = b[at++];
    ASSERT_EQ(at + static_cast<std::size_t>(w), b.size());
    for (int k = 0; k < w; ++k) ++tiles[b[at++]];
    ++tiles[shown];
    // Every one of the 144 tiles once, the wild face's four by its code.
    int total = 0;
    for (const auto& [code, n] : tiles) total += n;
    EXPECT_EQ(total, 144);
    for (int f = 1; f <= 8; ++f) EXPECT_EQ(tiles[f], 1) << "flower " << f;
    EXPECT_GE(wild, 0x11);
    for (int suit : {0x10, 0x20, 0x40, 0x80})
      for (int rank = 1; rank <= (suit == 0x10 ? 7 : 9); ++rank)
        EXPECT_EQ(tiles[suit + rank], 4) << std::hex << suit + rank;
  }
  EXPECT_EQ(deals, static_cast<int>(r.handStarts.size()));
  // The deal of each hand lies between its HandStart and the next.
  for (std::size_t h = 0; h < r.handStarts.size(); ++h) {
    const std::size_t end = h + 1 < r.handStarts.size() ? r.handStarts[h + 1] : r.entries.size();
    int inHand = 0;
    for (std::size_t i = r.handStarts[h]; i < end; ++i)
      inHand += r.entries[i].kind == EntryKind::FullDeal;
    EXPECT_EQ(inHand, 1) << "hand " << h;
  }
}

TEST(ServerRecording, AFileStopsAtItsBoundWithOneLogLine) {
  ServerRecording s(40000);
  s.Play(3);
  ASSERT_EQ(s.log.size(), 1u);
  EXPECT_NE(s.log[0].find("ended"), std::string::npos) << s.log[0];
  const auto kept = replay::ListReplays(s.dir.path());
  ASSERT_EQ(kept.size(), 1u);
  const replay::ReadResult r = replay::ReadReplay(kept[0].path);
  EXPECT_TRUE(r.ok()) << r.error;
  struct stat st {};
  ASSERT_EQ(stat(kept[0].path.c_str(), &st), 0);
  EXPECT_LE(st.st_size, 40000);
  EXPECT_GT(st.st_size, 30000);
}

TEST(ServerRecording, AFolderThatCannotBeWrittenStopsRecordingWithOneLogLine) {
  TempFolder dir;
  std::ofstream(dir.path() + "/file") << "x";
  ServerRecording s(std::uint64_t{64} << 20, dir.path() + "/file/games");
  s.Play(1);
  EXPECT_EQ(s.server.handsPlayed(0), 1);
  ASSERT_EQ(s.log.size(), 1u);
  EXPECT_NE(s.log[0].find("recording stopped"), std::string::npos) << s.log[0];
  EXPECT_TRUE(s.recorder->stopped());
}

}  // namespace
}  // namespace tavren
