// What a lobby learns of a server before anyone logs in: the table list, and
// hosted tables that wait for every seated client's 开始.
#include <gtest/gtest.h>

#include "engine/gbk.h"
#include "support/server_harness.h"

namespace tavren::server::test {
namespace {

struct SeatEntry {
  int kind = -1;
  bool ready = false;
  std::uint64_t userId = 0;
  std::string name;
};

SeatEntry seatOf(const In& f, int seat) {
  const std::size_t at = proto::kPayloadOffset + proto::kTableListSeatBytes * seat;
  SeatEntry e;
  e.kind = f.b[at];
  e.ready = f.b[at + 1] != 0;
  e.userId = f.u64(at + proto::kTableListUserIdOffset);
  e.name = f.text(at + proto::kTableListNameOffset, proto::kNameBytes);
  return e;
}

std::vector<In> listOf(Client& lobby, int first = 0) {
  lobby.send(Req(proto::kReqTableList).op(0, first));
  return lobby.pull();
}

std::vector<In> ofType(const std::vector<In>& frames, int type) {
  std::vector<In> out;
  for (const auto& f : frames)
    if (f.type() == type) out.push_back(f);
  return out;
}

TEST(TableList, EachTableWithItsSeatsAndStateBeforeAnyLogin) {
  Server::Config cfg;
  cfg.seed = 3;
  cfg.tables = 3;
  Server s(cfg);
  Client lobby(s);
  {
    const auto list = listOf(lobby);
    ASSERT_EQ(list.size(), 3u);
    for (int t = 0; t < 3; ++t) {
      EXPECT_EQ(list[t].type(), proto::kInsTableList);
      EXPECT_EQ(list[t].s16(0), t);
      EXPECT_EQ(list[t].s16(1), 3);
      EXPECT_EQ(list[t].s16(2), proto::kTableIdle);
      for (int seat = 0; seat < 4; ++seat) EXPECT_EQ(seatOf(list[t], seat).kind, proto::kSeatFree);
    }
  }
  Client amy(s), wat(s);
  amy.send(login("amy", "table=1;seat=2"));
  wat.send(login("wat", "watch=1"));
  s.advanceTo(s.nowMs() + 1000);  // past the list spacing
  {
    const auto list = listOf(lobby, 1);
    ASSERT_EQ(list.size(), 2u);  // from the table asked for
    EXPECT_EQ(list[0].s16(0), 1);
    EXPECT_EQ(list[0].s16(2), proto::kTableWaitingStart);
    EXPECT_EQ(list[0].s16(3), 1);  // one watcher
    const SeatEntry a = seatOf(list[0], 2);
    EXPECT_EQ(a.kind, proto::kSeatPlayer);
    EXPECT_EQ(a.name, "amy");
    EXPECT_NE(a.userId, 0u);
    EXPECT_EQ(seatOf(list[0], 0).kind, proto::kSeatRobot);
    EXPECT_EQ(seatOf(list[0], 0).name, "");
  }
  // The hand starts: the table is playing.
  ASSERT_TRUE(runWhile(s, [&] {
    amy.pull();
    return s.tableView(1).handRunning;
  }));
  s.advanceTo(s.nowMs() + 1000);
  EXPECT_EQ(listOf(lobby, 1)[0].s16(2), proto::kTablePlaying);
  // The lobby's connection stays a lobby's: it took no seat, and a login on it still works.
  lobby.send(login("zed", "table=0;seat=0"));
  const auto answer = ofType(lobby.pull(), proto::kInsLoginResult);
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_EQ(answer[0].s16(3), proto::kLoginAccepted);
}

TEST(TableList, PagedAndRateLimited) {
  Server::Config cfg;
  cfg.tables = 40;
  Server s(cfg);
  Client lobby(s);
  std::vector<std::string> log;
  s.setLogSink([&](const std::string& l) { log.push_back(l); });
  auto page = listOf(lobby, 0);
  ASSERT_EQ(static_cast<int>(page.size()), proto::kTableListMaxFrames);
  // Asked again at once: nothing (a flood of requests costs the server nothing).
  for (int i = 0; i < 50; ++i) EXPECT_TRUE(listOf(lobby, 0).empty());
  s.advanceTo(s.nowMs() + cfg.tableListSpacingMs);
  page = listOf(lobby, 32);
  ASSERT_EQ(page.size(), 8u);
  EXPECT_EQ(page.front().s16(0), 32);
  s.advanceTo(s.nowMs() + cfg.tableListSpacingMs);
  // A first table out of range is clamped, never read past the tables.
  for (int first : {-5, 40, 32767}) {
    s.advanceTo(s.nowMs() + cfg.tableListSpacingMs);
    page = listOf(lobby, first);
    ASSERT_FALSE(page.empty()) << first;
    EXPECT_LT(page.front().s16(0), 40);
  }
  EXPECT_TRUE(log.empty());
  // After a login the request is not a lobby's: refused and logged, no answer.
  Client amy(s);
  amy.send(login("amy", "table=0"));
  amy.pull();
  s.advanceTo(s.nowMs() + cfg.tableListSpacingMs);
  amy.send(Req(proto::kReqTableList));
  EXPECT_TRUE(ofType(amy.pull(), proto::kInsTableList).empty());
}

TEST(HostedTable, NoHandBeforeEverySeatedClientPressedStart) {
  Server::Config cfg;
  cfg.seed = 5;
  cfg.waitForStart = true;
  Server s(cfg);
  Client host(s), friend1(s), lobby(s);
  host.send(login("host", "table=0;seat=0"));
  const auto hostFrames = host.pull();
  bool toldToPressStart = false;
  for (const auto& f : hostFrames)
    if (f.type() == proto::kInsChat &&
        f.text(proto::kPayloadOffset, proto::kChatTextBytes).find(toGbk("开始")) !=
            std::string::npos)
      toldToPressStart = true;
  EXPECT_TRUE(toldToPressStart);
  // However long nobody presses 开始, no hand starts.
  s.advanceTo(s.nowMs() + 10 * 60 * 1000);
  EXPECT_FALSE(s.tableView(0).handRunning);
  EXPECT_FALSE(s.nextDueMs().has_value());
  friend1.send(login("pal", "table=0;seat=1"));
  friend1.pull();
  host.send(Req(proto::kReqReady).op(3, 1));
  s.advanceTo(s.nowMs() + 10 * 60 * 1000);
  EXPECT_FALSE(s.tableView(0).handRunning);
  {
    const auto list = listOf(lobby);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].b[proto::kByte7Offset] & 1, 1);
    EXPECT_EQ(list[0].s16(2), proto::kTableWaitingStart);
    EXPECT_TRUE(seatOf(list[0], 0).ready);
    EXPECT_FALSE(seatOf(list[0], 1).ready);
    EXPECT_EQ(seatOf(list[0], 2).kind, proto::kSeatRobot);
  }
  // The friend sees the host's 开始; when it presses its own, the hand starts
  // with robots in the two free seats.
  bool sawHostReady = false;
  for (const auto& f : friend1.pull())
    if (f.type() == proto::kInsReady && f.seat() == 1) sawHostReady = true;
  EXPECT_TRUE(sawHostReady);
  friend1.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(runWhile(s, [&] {
    host.pull();
    friend1.pull();
    return s.tableView(0).handRunning;
  }));
}

TEST(HostedTable, ARobotTableStartsByItselfAfterTheStartPause) {
  Server::Config cfg;
  cfg.seed = 5;
  cfg.startPauseMs = 0;
  Server s(cfg);
  Client p(s);
  p.send(login("solo", "table=0;seat=0"));
  // No 开始: the first hand is dealt at once.
  ASSERT_TRUE(runWhile(s, [&] {
    p.pull();
    return s.tableView(0).handRunning;
  }));
  EXPECT_EQ(s.nowMs(), 0);
}

}  // namespace
}  // namespace tavren::server::test
