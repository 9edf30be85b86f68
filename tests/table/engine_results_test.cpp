// Whole hands against the reference server's engine: the players' records
// seat the table, every finished hand leaves its sheet, its ranking line and
// its record-file section, and the totals are the server's own results.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/client.h"
#include "shell/ini_file.h"
#include "shell/record_file.h"
#include "shell/result_windows.h"
#include "shell/startup.h"
#include "support/engine_peer.h"

namespace tavren {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7000;

struct Session {
  sim::World world;
  testing::EnginePeer peer{world, kHost, kPort, Config()};
  sim::SimPlatform platform{world};
  Client c{platform};
  std::vector<server::HandRecord> hands;
  std::string folder;

  static server::Server::Config Config() {
    server::Server::Config config;
    config.seed = 23;
    config.turnTimeSec = 6;
    return config;
  }
  Session() {
    char tmpl[] = "/tmp/tavren-results-e2e-XXXXXX";
    folder = mkdtemp(tmpl);
    platform.folder = folder;
    platform.attach(c);
    peer.server.setHandSink([this](const server::HandRecord& h) { hands.push_back(h); });
    // The user plays by himself, so hands run on without anyone clicking.
    StartUp(c, std::string("amy$table=0;seat=0$") + kHost + "$" + std::to_string(kPort) +
                   "$T1$0$$0$$$0$1$Qixo山庄$");
  }
  ~Session() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

TEST(EngineResults, EveryFinishedHandLeavesItsSheetRankingLineAndRecord) {
  Session s;
  s.world.loop.runFor(8 * 60 * 1000);
  ASSERT_FALSE(s.c.ended);
  // The records seated the table and drew the winds once.
  EXPECT_EQ(s.c.play.SeatDrawState, 0);
  for (int k = 0; k < kSides; ++k) {
    const auto i = static_cast<std::size_t>(k);
    EXPECT_FALSE(s.c.view.Nid[i].caption.empty()) << k;
    EXPECT_FALSE(s.c.table.PlayerInfo[i].account.empty()) << k;
    EXPECT_EQ(s.c.table.PlayerInfo[i].voiceSet, "27");
  }
  EXPECT_EQ(s.c.table.PlayerInfo[0].account, "amy");

  std::vector<std::string>& num = HeroControl(s.c, "Num", 0).items;
  ASSERT_GE(s.hands.size(), 3u);
  // The client has shown every hand the server finished, except one whose
  // records are still on their way.
  ASSERT_GE(num.size() + 1, s.hands.size());
  ASSERT_LE(num.size(), s.hands.size());
  classIniFile file;
  file.INIFileName = RecordFilePath(s.c);
  std::array<std::int64_t, kSides> totals{};
  int won = 0;
  for (std::size_t h = 0; h < num.size(); ++h) {
    const server::HandRecord& rec = s.hands[h];
    EXPECT_EQ(num[h], PadRight(std::to_string(h + 1), 12));
    const std::string section = RecordSection(static_cast<int>(h + 1));
    for (int seat = 0; seat < kSides; ++seat) {
      // The user sits at seat 0 (bit 1): seat s is side (4 − s) mod 4.
      const int side = (4 - seat) % 4;
      const std::int64_t result = rec.results[seat];
      totals[static_cast<std::size_t>(side)] += result;
      EXPECT_EQ(HeroControl(s.c, "Grade", side).items[h],
                PadRight(std::to_string(result), 9) + "金币")
          << "hand " << h + 1 << " seat " << seat;
      EXPECT_EQ(file.GetIniKey(section, RecordLineKey(side + 4, 0)),
                "最终分：" + std::to_string(result) + "金币");
    }
    if (rec.winner >= 0) {
      ++won;
      const int side = (4 - rec.winner) % 4;
      EXPECT_EQ(file.GetIniKey(section, RecordLineKey(side, 0)), "房间底金:  10");
    } else {
      EXPECT_EQ(file.GetIniKey(section, RecordLineKey(0, 0)), "黄  庄");
    }
  }
  EXPECT_GT(won, 0);
  for (int k = 0; k < kSides; ++k)
    EXPECT_EQ(s.c.settlement.RunningTotal[static_cast<std::size_t>(k)],
              won > 0 ? totals[static_cast<std::size_t>(k)] : 0);

  // The last hand read back from the file is the sheet on show.
  const std::vector<std::string> shown = ScoreList(s.c, 4);
  ReadHandRecord(s.c, static_cast<int>(num.size()));
  EXPECT_EQ(ScoreList(s.c, 4), shown);
}

TEST(EngineResults, AWatcherSeesThePanelsAroundTheWatchedPlayerAndTheSheetsWithoutACountdown) {
  Session s;
  s.world.loop.runFor(20 * 1000);
  ASSERT_TRUE(s.c.table.LoginAccepted);
  sim::SimPlatform other(s.world);
  char tmpl[] = "/tmp/tavren-results-watch-XXXXXX";
  other.folder = mkdtemp(tmpl);
  other.instanceLockFree = true;
  Client watcher(other);
  other.attach(watcher);
  // The robot at seat 1 (seat bit 2) is watched: user id 900000 + 4 × table + seat.
  StartUp(watcher, std::string("eve$watch=0;seat=1$") + kHost + "$" + std::to_string(kPort) +
                       "$T1$900001$0$$0$$$0");
  const std::size_t handsBefore = s.hands.size();
  for (int minute = 0; minute < 15 && s.hands.size() < handsBefore + 3; ++minute)
    s.world.loop.runFor(60 * 1000);
  ASSERT_FALSE(watcher.ended);
  EXPECT_EQ(watcher.table.custom[0].seat, 2);
  // Seat bit 1 (amy) is to the watched player's left as the table turns: side 1.
  EXPECT_EQ(watcher.table.custom[1].seat, 1);
  EXPECT_EQ(watcher.table.custom[1].name, "amy");
  EXPECT_EQ(watcher.table.PlayerInfo[1].account, "amy");
  for (int k = 0; k < kSides; ++k)
    EXPECT_FALSE(watcher.view.Nid[static_cast<std::size_t>(k)].caption.empty()) << k;
  // Every hand the watcher saw end is on its sheet and in its own record file,
  // with the same results the player's client shows; no countdown runs.
  std::vector<std::string>& num = HeroControl(watcher, "Num", 0).items;
  EXPECT_GE(num.size(), 2u);
  EXPECT_FALSE(watcher.link.ContinueClockOn);
  EXPECT_TRUE(std::filesystem::exists(other.folder + "/info.qx"));
  const std::vector<std::string>& mine = HeroControl(s.c, "Grade", 1).items;        // seat bit 8
  const std::vector<std::string>& theirs = HeroControl(watcher, "Grade", 2).items;  // seat bit 8
  ASSERT_LE(theirs.size(), mine.size());
  for (std::size_t i = 0; i < theirs.size(); ++i)
    EXPECT_EQ(theirs[theirs.size() - 1 - i], mine[mine.size() - 1 - i]) << i;
  std::error_code ignored;
  std::filesystem::remove_all(other.folder, ignored);
}

}  // namespace
}  // namespace tavren
