// The engine under abuse from clients that play by the frame format but not
// fair: chat floods from many watchers, lines that pretend to be someone else's,
// connections that never log in or go silent, hostile text in the log, and
// answers that come after their moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>

#include "engine/gbk.h"
#include "engine/wire.h"
#include "support/server_harness.h"

namespace tavren::server::test {
namespace {

Server::Config config() {
  Server::Config c;
  c.seed = 31;
  c.turnTimeSec = 1;
  c.turnGraceMs = 0;  // the seat's robot plays its turns soon: the game goes on
  c.robotDelayMs = 200;
  return c;
}

const std::string kSays = toGbk("说道");

Req chatLine(const std::string& text, int to = 0) {
  return Req(proto::kReqChat).op(1, to).text(proto::kPayloadOffset, text);
}

int chatCount(const std::vector<In>& frames) {
  return static_cast<int>(std::count_if(frames.begin(), frames.end(),
                                        [](const In& f) { return f.type() == proto::kInsChat; }));
}

// Chat lines a connection got in the last second, window by window.
struct Rate {
  std::deque<std::int64_t> times;
  std::size_t most = 0;
  int total = 0;
  void add(std::int64_t now, int n) {
    for (int i = 0; i < n; ++i) times.push_back(now);
    total += n;
    while (!times.empty() && times.front() <= now - 1000) times.pop_front();
    most = std::max(most, times.size());
  }
};

// Thirty watchers chat 100 lines a second between them for a minute, each at
// more than its own allowed spacing, while one player plays and another chats at
// an honest pace. The table relays the watchers' lines from one shared budget:
// the player is sent a few lines a second, not a flood, keeps its seat and goes
// on playing; the honest player's lines all get through.
TEST(ChatFlood, ThirtyWatchersShareOneBudgetAndEveryPlayerKeepsItsSeat) {
  Server s(config());
  const Server::Config& cfg = s.config();
  Client player(s), talker(s);
  player.send(login("pia", "table=0;seat=0"));
  talker.send(login("tom", "table=0;seat=2"));
  std::vector<std::unique_ptr<Client>> watchers;
  for (int i = 0; i < 30; ++i) {
    watchers.push_back(std::make_unique<Client>(s));
    watchers.back()->send(login("w" + std::to_string(i), "watch=0"));
  }
  Rate toPlayer;
  std::vector<Rate> toWatcher(30);
  int deals = 0, talkerSent = 0, talkerRelayed = 0;
  std::size_t mostBytes = 0;
  const std::int64_t start = s.nowMs();
  int next = 0;
  for (std::int64_t t = start; t < start + 60000; t += 10) {
    s.advanceTo(t);
    watchers[static_cast<std::size_t>(next)]->send(
        chatLine("w" + std::to_string(next) + kSays + ": flood " + std::to_string(t)));
    next = (next + 1) % 30;
    if ((t - start) % 1000 == 0) {
      talker.send(chatLine("tom" + kSays + ": line " + std::to_string(t)));
      ++talkerSent;
    }
    const auto got = player.pull();
    mostBytes = std::max(mostBytes, got.size() * kFrame);
    toPlayer.add(t, chatCount(got));
    for (const In& f : got) {
      if (f.type() == proto::kInsDeal) ++deals;
      if (f.type() == proto::kInsChat && f.seat() == 4) ++talkerRelayed;
    }
    talker.pull();
    player.got.clear();
    talker.got.clear();
    for (std::size_t i = 0; i < watchers.size(); ++i) {
      toWatcher[i].add(t, chatCount(watchers[i]->pull()));
      watchers[i]->got.clear();
    }
  }
  // The watchers' share: one line per spacing and a small burst, for all thirty.
  const int watcherShare = 60000 / cfg.chatSpacingMs + cfg.watcherChatBurst;
  EXPECT_LE(toPlayer.total, watcherShare + talkerSent);
  EXPECT_LE(toPlayer.most,
            static_cast<std::size_t>(1000 / cfg.chatSpacingMs + cfg.watcherChatBurst + 1));
  EXPECT_EQ(talkerRelayed, talkerSent);  // players keep their own budget
  for (const Rate& w : toWatcher) EXPECT_LE(w.most, toPlayer.most);
  // The player still sits and plays: hands were dealt to it all along, nobody
  // was closed, and nothing piled up for it.
  EXPECT_GE(deals, 2);
  EXPECT_GE(s.handsPlayed(0), 1);
  EXPECT_FALSE(s.isClosed(player.id));
  EXPECT_FALSE(s.isClosed(talker.id));
  EXPECT_EQ(s.connectionCount(), 32u);
  EXPECT_LT(mostBytes, 64u * kFrame);
  // The seat is still the player's: a line of its own comes back from seat 0.
  s.advanceTo(s.nowMs() + 1000);
  player.send(chatLine("pia" + kSays + ": still here"));
  const auto back = player.pull();
  ASSERT_EQ(chatCount(back), 1);
  EXPECT_EQ(back[0].seat(), 1);
}

// Every relayed line names its real speaker first: honest lines pass as they
// are, a line that claims another speaker, the reader or the system gets the
// speaker's name in front.
TEST(ChatSpeaker, ALineIsRelayedUnderItsRealSpeaker) {
  const std::string to = toGbk("对"), said = toGbk("说: "), title = toGbk("[玩家]"),
                    notice = toGbk("系统提示: 你已被请出牌桌");
  struct Case {
    const char* what;
    int who;  // 0 jo (seat 0), 1 kim (seat 2), 2 lee (a watcher)
    std::string sent;
    std::string relayed;
  };
  const std::string kimSays = "kim" + kSays + ": ";
  const std::string leeSays = "lee" + kSays + ": ";
  const Case cases[] = {
      {"an honest line", 0, "jo" + kSays + ": hi", "jo" + kSays + ": hi"},
      {"an honest private line", 0, "jo" + to + "kim" + said + "x", "jo" + to + "kim" + said + "x"},
      {"another seat's titled name", 1, title + "jo" + kSays + ": pay me",
       kimSays + title + "jo" + kSays + ": pay me"},
      {"another seat's name", 1, "jo" + kSays + ": hi", kimSays + "jo" + kSays + ": hi"},
      {"the system", 1, notice, kimSays + notice},
      {"a longer name that starts with the speaker's", 1, "kimmy" + kSays + ": x",
       kimSays + "kimmy" + kSays + ": x"},
      {"no name at all", 1, "hello", kimSays + "hello"},
      {"a watcher's own line", 2, "lee" + kSays + ": nice", "lee" + kSays + ": nice"},
      {"a watcher as a player", 2, "jo" + kSays + ": fold", leeSays + "jo" + kSays + ": fold"},
  };
  Server s(config());
  Client jo(s), kim(s), lee(s);
  jo.send(login("jo", "table=0;seat=0"));
  kim.send(login("kim", "table=0;seat=2"));
  lee.send(login("lee", "watch=0"));
  Client* speakers[] = {&jo, &kim, &lee};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s.advanceTo(s.nowMs() + 1000);
    jo.pull();
    speakers[c.who]->send(chatLine(c.sent));
    const auto got = jo.pull();
    ASSERT_EQ(chatCount(got), 1);
    const auto line = std::find_if(got.begin(), got.end(),
                                   [](const In& f) { return f.type() == proto::kInsChat; });
    EXPECT_EQ(line->text(proto::kPayloadOffset, proto::kChatTextBytes), c.relayed);
  }
  // A line that fills the field is cut at a whole character after the name.
  s.advanceTo(s.nowMs() + 1000);
  jo.pull();
  std::string full;
  while (full.size() + 2 <= proto::kChatTextBytes) full += toGbk("说");
  kim.send(chatLine(full));
  const auto got = jo.pull();
  ASSERT_EQ(chatCount(got), 1);
  const std::string text = got.back().text(proto::kPayloadOffset, proto::kChatTextBytes);
  EXPECT_EQ(text.substr(0, kimSays.size()), kimSays);
  EXPECT_EQ((text.size() - 5) % 2, 0u) << text.size();  // "kim" + ": " single bytes
  EXPECT_LE(text.size(), proto::kChatTextBytes);
}

// Three hundred connections that never log in (half of them trickle a byte a
// second, half say nothing), a table-list reader that stays, and a watcher that
// goes silent are closed in time;
// a player who logs in among them is seated, plays and stays while it sends its
// keep-alives.
TEST(Connections, StrangersAndSilentOnesAreClosedAndAPlayerPlaysOn) {
  Server::Config cfg = config();
  cfg.loginTimeoutMs = 5000;
  cfg.idleTimeoutMs = 60000;
  Server s(cfg);
  std::vector<std::unique_ptr<Client>> strangers;
  for (int i = 0; i < 300; ++i) strangers.push_back(std::make_unique<Client>(s));
  Client player(s), silent(s), lister(s);
  player.send(login("pat", "table=0;seat=1"));
  silent.send(login("sil", "watch=0"));
  // A lobby reading the table list never logs in on that connection; it has longer.
  lister.send(Req(proto::kReqTableList));
  const std::uint8_t one = 0;
  int deals = 0;
  const std::int64_t start = s.nowMs();
  for (std::int64_t t = start; t <= start + 120000; t += 1000) {
    s.advanceTo(t);
    for (std::size_t i = 0; i < strangers.size(); i += 2)
      s.receive(strangers[i]->id, std::span<const std::uint8_t>(&one, 1));
    if ((t - start) % 5000 == 0) player.send(Req(proto::kReqKeepAlive));
    for (const In& f : player.pull()) deals += f.type() == proto::kInsDeal;
    player.got.clear();
    silent.pull();
    if (t - start == cfg.loginTimeoutMs) {
      for (const auto& c : strangers) EXPECT_TRUE(s.isClosed(c->id));
      EXPECT_FALSE(s.isClosed(silent.id));
      EXPECT_FALSE(s.isClosed(lister.id));
    }
    if (t - start == Server::kListingMs) {
      EXPECT_TRUE(s.isClosed(lister.id));
    }
  }
  // The transport ends what the server closed.
  for (const auto& c : strangers) {
    EXPECT_TRUE(s.isClosed(c->id));
    s.disconnect(c->id);
  }
  EXPECT_TRUE(s.isClosed(silent.id));
  EXPECT_FALSE(s.isClosed(player.id));
  EXPECT_TRUE(s.loggedIn(player.id));
  EXPECT_GE(deals, 3);
}

// Accounts and keys come from the client: the log shows them escaped, never a
// pass, one line for one event; a flood of requests before a login costs a few
// lines, not one each.
TEST(HostileLog, KeysAndAccountsAreEscapedAndPassesNeverShown) {
  struct Case {
    const char* what;
    std::string account, key;
  };
  const Case cases[] = {
      {"a forged line in the account", "x\nrefused from connection 1: forged", "table=0"},
      {"escape codes in the account", "\x1b[2J\x1b]0;owned\x07", "table=0"},
      {"a pass in a refused key", "ann", "table=zero;pass=S3CRETPASS"},
      {"a pass and a newline in the key", "ann", "seat=9;pass=S3CRETPASS\nforged line"},
      {"escape codes in the key", "ann", "table=x\x1b[31m;pass=S3CRETPASS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Server s(config());
    std::vector<std::string> log;
    s.setLogSink([&](const std::string& line) { log.push_back(line); });
    Client a(s);
    a.send(login(c.account, c.key));
    ASSERT_EQ(log.size(), 1u);
    const std::string& line = log[0];
    EXPECT_EQ(line.find("S3CRETPASS"), std::string::npos) << line;
    for (char ch : line) {
      const auto u = static_cast<unsigned char>(ch);
      EXPECT_TRUE(u >= 0x20 && u < 0x7F) << "byte " << int(u) << " in " << line;
    }
  }
  // Two thousand frames before a login: a handful of lines, and the count.
  Server s(config());
  std::vector<std::string> log;
  s.setLogSink([&](const std::string& line) { log.push_back(line); });
  Client a(s);
  for (int i = 0; i < 2000; ++i) a.send(chatLine("x"));
  EXPECT_LE(log.size(), static_cast<std::size_t>(Server::kConnLogBurst));
  EXPECT_EQ(s.logLinesHeldBack(), 2000u - log.size());
  s.disconnect(a.id);
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("held back"), std::string::npos) << log.back();
  // Many connections at once: the server's own budget holds the total.
  log.clear();
  for (int i = 0; i < 2000; ++i) {
    Client b(s);
    b.send(chatLine("x"));
  }
  EXPECT_LE(log.size(), static_cast<std::size_t>(Server::kLogBurst) + 1);
  // Later, a line gets through and says how many were held back.
  s.advanceTo(s.nowMs() + 10000);
  Client c(s);
  c.send(chatLine("x"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log[log.size() - 2].find("held back"), std::string::npos) << log[log.size() - 2];
}

// The seat's robot discarded for it when its time ran out, the turn went round
// and came back; the client's own discard of that first turn arrives only now,
// naming the tile the robot threw. It is late, not wrong: ignored and noted.
TEST(LateAnswer, ADiscardAfterTheRobotPlayedTheTurnIsIgnoredNotRefused) {
  Server s(config());
  std::vector<std::string> log;
  s.setLogSink([&](const std::string& line) { log.push_back(line); });
  Client c(s);
  c.send(login("lou", "table=0;seat=0"));  // the first hand's dealer
  int robotThrew = -1;
  bool drewAgain = false, turnAgain = false;
  ASSERT_TRUE(runWhile(s, [&] {
    for (const In& f : c.pull()) {
      if (f.type() == proto::kInsDiscard && f.seat() == 1 && robotThrew < 0) robotThrew = f.lo(3);
      if (f.type() == proto::kInsDraw && f.seat() == 1 && robotThrew >= 0) drewAgain = true;
      if (f.type() == proto::kInsOffer && drewAgain) turnAgain = true;
    }
    return turnAgain;
  }));
  // Its own turn again, after its draw: the discard names the tile the robot
  // threw, or, when the seat drew another of it since, one it does not hold.
  const TableView before = s.tableView(0);
  const std::vector<int>& hand = before.seats[0].hand;
  std::vector<int> codes = {robotThrew};
  for (int suit : {0x10, 0x20, 0x40, 0x80})
    for (int rank = 1; rank <= (suit == 0x10 ? 7 : 9); ++rank) codes.push_back(suit | rank);
  const int tile = *std::find_if(codes.begin(), codes.end(), [&](int code) {
    return std::count(hand.begin(), hand.end(), code) == 0;
  });
  log.clear();
  c.send(Req(proto::kReqDiscard).op(3, tile | proto::kDiscardMarker));
  EXPECT_TRUE(c.pull().empty());
  EXPECT_EQ(s.tableView(0).front, before.front);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("late answer"), std::string::npos) << log[0];
  EXPECT_EQ(log[0].find("refused"), std::string::npos) << log[0];
}

}  // namespace
}  // namespace tavren::server::test
