// The table as a client sees it: login, seating, a human seat playing whole hands,
// refusals of requests that make no sense, resume, watchers, chat and leaving.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/gbk.h"
#include "support/server_harness.h"

namespace tavren::server::test {
namespace {

Server::Config quiet() {
  Server::Config c;
  c.seed = 11;
  c.turnTimeSec = 8;
  c.autoPlayLimit = 3;
  return c;
}

std::vector<int> typesOf(const std::vector<In>& frames) {
  std::vector<int> t;
  for (auto& f : frames) t.push_back(f.type());
  return t;
}

// A client that plays like the real one would: answers the call, discards the tile
// it just drew after each offer on its own turn, claims hu, passes everything else,
// and presses continue after each hand.
struct Player : Client {
  int ownBit = 0;
  std::map<int, int> hand;
  int lastOwnTile = 0;
  bool myTurn = false;
  int calls = 0;
  int results = 0, hands = 0;
  bool autoReady = true;
  std::uint16_t lastToken = 0;

  using Client::Client;

  void handle(const In& f) {
    if (f.type() != proto::kInsResumed) lastToken = f.token();
    const bool own = f.seat() == ownBit;
    switch (f.type()) {
      case proto::kInsNewHand:
        hand.clear();
        calls = 0;
        results = 0;
        break;
      case proto::kInsDeal:
        ownBit = f.seat();
        for (int i = 0; i < 12; ++i) ++hand[f.b[proto::kPayloadOffset + i]];
        break;
      case proto::kInsDraw:
        if (own) {
          ++hand[f.lo(0)];
          lastOwnTile = f.lo(0);
          myTurn = true;
        }
        break;
      case proto::kInsFlower:
        if (own) {
          --hand[f.lo(1)];
          ++hand[f.lo(3)];
          lastOwnTile = f.lo(3);
        }
        break;
      case proto::kInsJiaoTou:
        if (++calls == 1 && own) send(Req(proto::kReqJiaoTou).op(1, 2).op(3, 1).token(lastToken));
        if (calls == 2 && own) myTurn = true;
        break;
      case proto::kInsDiscard:
        if (own) --hand[f.lo(3)];
        break;
      case proto::kInsMeld:
        break;
      case proto::kInsOffer: {
        const int mask = f.lo(0);
        if (mask & proto::kClaimHu) {
          send(Req(proto::kReqClaim).op(0, proto::kClaimHu).token(lastToken));
        } else if (myTurn) {
          int tile = lastOwnTile;
          if (hand[tile] <= 0 || (tile >= 1 && tile <= 8))
            for (auto& [code, n] : hand)
              if (n > 0 && !(code >= 1 && code <= 8)) tile = code;
          myTurn = false;
          send(Req(proto::kReqDiscard)
                   .op(3, (tile & 0xFFF) | proto::kDiscardMarker)
                   .token(lastToken));
        } else {
          send(Req(proto::kReqClaim).op(0, proto::kClaimPass).token(lastToken));
        }
        break;
      }
      case proto::kInsResult:
        if (++results == 4) ++hands;
        break;
      case proto::kInsSettlement:
        break;
      default:
        break;
    }
  }

  // Pulls and answers until nothing more comes.
  void play() {
    for (;;) {
      auto frames = pull();
      if (frames.empty()) return;
      for (auto& f : frames) handle(f);
    }
  }
};

TEST(Login, AcceptedThenSeatedInOrder) {
  Server s(quiet());
  Client c(s);
  c.send(login("alice", "table=0;seat=2"));
  auto frames = c.pull();
  ASSERT_GE(frames.size(), 10u);
  const In& verdict = frames[0];
  EXPECT_EQ(verdict.type(), proto::kInsLoginResult);
  EXPECT_EQ(verdict.lo(3), proto::kLoginAccepted);
  EXPECT_EQ(verdict.s16(1) & 15, 8);                   // turn time
  EXPECT_EQ(verdict.b[proto::kOperandOffset + 1], 3);  // run-out countdowns before auto-play
  EXPECT_NE(verdict.token(), 0);
  // Four names, four records (own one with seat byte 15), the dealer announcement.
  EXPECT_EQ(typesOf(frames).size() >= 9, true);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(frames[i].type(), proto::kInsPlayerName);
  EXPECT_EQ(frames[3].text(proto::kPayloadOffset, proto::kNameBytes), "alice");
  EXPECT_EQ(frames[3].seat(), 4);
  for (int i = 5; i <= 8; ++i) EXPECT_EQ(frames[i].type(), proto::kInsPlayerRecord);
  EXPECT_EQ(frames[7].b[proto::kSeatOffset], 15);
  EXPECT_EQ(frames[7].text(168, 16), "alice");
  EXPECT_EQ(frames[5].b[208], 1);  // a robot is ready at once
  EXPECT_EQ(frames[9].type(), proto::kInsMembership);
  EXPECT_EQ(frames[9].lo(3), proto::kMembershipDealer);
  for (auto& f : frames) EXPECT_EQ(f.token(), verdict.token());
}

TEST(Login, RefusalsAndBadSeats) {
  Server s(quiet());
  struct Case {
    std::string account, key;
    int verdict;
  } cases[] = {
      {"", "table=0", 0},                               // no account
      {"bob", "table=x", 0},                            // key not understood
      {"bob", "table=5", proto::kLoginBadSeat},         // no such table
      {"bob", "table=0;seat=4", proto::kLoginBadSeat},  // no such seat
  };
  for (auto& tc : cases) {
    Client c(s);
    c.send(login(tc.account, tc.key));
    auto frames = c.pull();
    ASSERT_EQ(frames.size(), 1u) << tc.key;
    EXPECT_EQ(frames[0].type(), proto::kInsLoginResult);
    EXPECT_EQ(frames[0].lo(3), tc.verdict) << tc.key;
    EXPECT_TRUE(s.isClosed(c.id));
  }
  Client a(s), b(s);
  a.send(login("ann", "table=0;seat=1"));
  b.send(login("ben", "table=0;seat=1"));  // taken by a client
  EXPECT_EQ(b.pull()[0].lo(3), proto::kLoginBadSeat);
}

TEST(Login, FramesAssembledFromAnyChunks) {
  Server s(quiet());
  ConnId id = s.connect();
  auto bytes = login("carl", "table=0").bytes();
  for (auto b : bytes) s.receive(id, std::span<const std::uint8_t>(&b, 1));
  auto frames = split(s.takeOutput(id));
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames[0].type(), proto::kInsLoginResult);
  EXPECT_EQ(frames[0].lo(3), proto::kLoginAccepted);
}

TEST(Play, AHumanSeatPlaysHandsToTheEnd) {
  Server s(quiet());
  Player p(s);
  int hands = 0;
  std::int64_t sum = 0;
  s.setHandSink([&](const HandRecord& r) {
    ++hands;
    for (auto v : r.results) sum += v;
  });
  std::vector<std::string> refusals;
  s.setLogSink([&](const std::string& l) { refusals.push_back(l); });
  p.send(login("dora", "table=0;seat=0"));
  p.play();
  p.send(Req(proto::kReqReady).op(3, 1));  // start
  ASSERT_TRUE(runWhile(s, [&] {
    p.play();
    if (p.results == 4 && hands > 0 && hands < 3) {
      p.results = 0;
      p.send(Req(proto::kReqReady).op(3, 1).token(p.lastToken));
    }
    return hands >= 3;
  }));
  EXPECT_EQ(sum, 0);
  // The client's own hand stayed consistent: each discard was one it held, and
  // every discard it sent was accepted.
  EXPECT_TRUE(refusals.empty()) << refusals.front();
  const auto ownDiscards = std::count_if(p.got.begin(), p.got.end(), [&](const In& f) {
    return f.type() == proto::kInsDiscard && f.seat() == 1;
  });
  EXPECT_GT(ownDiscards, 10);
  std::vector<int> order = typesOf(p.got);
  EXPECT_NE(std::find(order.begin(), order.end(), proto::kInsNewHand), order.end());
  EXPECT_NE(std::find(order.begin(), order.end(), proto::kInsReveal), order.end());
  EXPECT_NE(std::find(order.begin(), order.end(), proto::kInsReady), order.end());
}

// Runs the table until the given seat is offered its own turn.
bool untilOwnTurnOffer(Server& s, Player& p) {
  p.autoReady = false;
  return runWhile(s, [&] {
    for (auto frames = p.pull(); !frames.empty(); frames = p.pull())
      for (auto& f : frames) {
        if (f.type() == proto::kInsJiaoTou && f.seat() == 1 && f.s16(1) == 0)
          p.send(Req(proto::kReqJiaoTou).op(1, 1).op(3, 0));
        if (f.type() == proto::kInsDeal) p.ownBit = f.seat();
        if (f.type() == proto::kInsDeal)
          for (int i = 0; i < 12; ++i) ++p.hand[f.b[proto::kPayloadOffset + i]];
        if (f.type() == proto::kInsDraw && f.seat() == p.ownBit) ++p.hand[f.lo(0)];
        if (f.type() == proto::kInsFlower && f.seat() == p.ownBit) {
          --p.hand[f.lo(1)];
          ++p.hand[f.lo(3)];
        }
        if (f.type() == proto::kInsOffer && f.seat() == p.ownBit) {
          int tiles = 0;
          for (auto& [c, n] : p.hand) tiles += n;
          if (tiles % 3 == 2) return true;
          p.send(Req(proto::kReqClaim).op(0, proto::kClaimPass));
        }
        if (f.type() == proto::kInsDiscard && f.seat() == p.ownBit) --p.hand[f.lo(3)];
      }
    return false;
  });
}

TEST(BadInput, NonsenseRequestsAreRefusedWithoutChangingTheTable) {
  auto cfg = quiet();
  Server s(cfg);
  std::vector<std::string> log;
  s.setLogSink([&](const std::string& l) { log.push_back(l); });
  Player p(s);
  p.send(login("eve", "table=0;seat=0"));
  p.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(untilOwnTurnOffer(s, p));
  const int wall = s.wallLeft(0);
  int notHeld = 0x11;
  while (p.hand[notHeld] > 0) ++notHeld;
  int held = 0;
  for (auto& [c, n] : p.hand)
    if (n > 0 && c > 8 && c != proto::kWireWildTile) held = c;
  const struct {
    Req req;
    const char* why;
  } bad[] = {
      {Req(proto::kReqDiscard).op(3, notHeld | proto::kDiscardMarker), "not hold"},
      {Req(proto::kReqDiscard).op(3, proto::kDiscardMarker | 0x99), "no known tile"},
      {Req(proto::kReqClaim).op(0, proto::kClaimChi).op(1, held | proto::kMeldMarker),
       "not offered"},
      {Req(proto::kReqJiaoTou).op(1, 3), "nobody asked"},
      {Req(99), ""},      // unknown: ignored without a word
      {Req(0x1202), ""},  // a type with a high byte: unknown too
  };
  for (auto& b : bad) {
    const std::size_t before = log.size();
    p.send(b.req);
    EXPECT_TRUE(p.pull().empty());
    EXPECT_EQ(s.wallLeft(0), wall);
    if (*b.why) {
      ASSERT_EQ(log.size(), before + 1);
      EXPECT_NE(log.back().find(b.why), std::string::npos) << log.back();
    } else {
      EXPECT_EQ(log.size(), before);
    }
  }
  // The seat may still discard what it holds.
  p.send(Req(proto::kReqDiscard).op(3, held | proto::kDiscardMarker));
  auto after = p.pull();
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after[0].type(), proto::kInsDiscard);
  EXPECT_EQ(after[0].lo(3), held);
}

TEST(BadInput, AStalledSeatIsPlayedByARobot) {
  Server s(quiet());
  Player p(s);
  p.send(login("finn", "table=0;seat=3"));
  p.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(untilOwnTurnOffer(s, p));
  const std::int64_t offered = s.nowMs();
  // The seat says nothing: after the turn time and the grace a robot discards for it.
  std::vector<In> frames;
  ASSERT_TRUE(runWhile(s, [&] {
    for (auto& f : p.pull()) frames.push_back(f);
    return std::any_of(frames.begin(), frames.end(), [&](const In& f) {
      return f.type() == proto::kInsDiscard && f.seat() == p.ownBit;
    });
  }));
  EXPECT_GE(s.nowMs() - offered, 8000 + 2000);
}

TEST(BadInput, GarbageOnTheWireDoesNotStopTheTable) {
  Server s(quiet());
  Player p(s);
  int hands = 0;
  s.setHandSink([&](const HandRecord&) { ++hands; });
  p.send(login("gus", "table=0;seat=1"));
  p.send(Req(proto::kReqReady).op(3, 1));
  std::vector<std::uint8_t> junk(kFrame * 3 + 100);
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 37 + 5);
  s.receive(p.id, junk);
  ASSERT_TRUE(runWhile(s, [&] {
    p.pull();
    return hands >= 1;
  }));
}

TEST(Resume, TheSameTokenResumesTheSeatAndTheHandGoesOn) {
  Server s(quiet());
  Player p(s);
  p.send(login("hana", "table=0;seat=0"));
  p.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(untilOwnTurnOffer(s, p));
  const std::uint16_t token = p.got.back().token();
  s.disconnect(p.id);
  // The table moves on for a while (the seat's turn runs out, a robot plays it).
  s.advanceTo(s.nowMs() + s.config().turnTimeSec * 1000 + s.config().turnGraceMs + 5000);
  // A wrong token is refused.
  Client wrong(s);
  wrong.send(login("hana", "table=0;seat=0", proto::kReqResume)
                 .token(static_cast<std::uint16_t>(token ^ 1)));
  auto no = wrong.pull();
  ASSERT_EQ(no.size(), 1u);
  EXPECT_EQ(no[0].type(), proto::kInsResumed);
  EXPECT_EQ(no[0].lo(3), 0);  // not resumed
  EXPECT_TRUE(s.isClosed(wrong.id));
  // The right one resumes, and the frames missed meanwhile follow.
  Client again(s);
  again.send(login("hana", "table=0;seat=0", proto::kReqResume).token(token));
  auto yes = again.pull();
  ASSERT_GE(yes.size(), 2u);
  EXPECT_EQ(yes[0].type(), proto::kInsResumed);
  EXPECT_EQ(yes[0].lo(3), proto::kResumeDone);
  EXPECT_EQ(yes[1].type(), proto::kInsDiscard);  // the robot's discard for the seat
  // And the hand goes on with this connection.
  bool more = runWhile(s, [&] { return !again.pull().empty(); });
  EXPECT_TRUE(more);
}

TEST(Resume, FindsTheSeatByAccountAndAFreshLoginGivesItUp) {
  Server s(quiet());
  Player p(s);
  p.send(login("tess", "table=0"));  // no seat named: the first free one
  p.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(untilOwnTurnOffer(s, p));
  const std::uint16_t token = p.got.back().token();
  s.disconnect(p.id);
  Client again(s);
  again.send(login("tess", "table=0", proto::kReqResume).token(token));
  auto yes = again.pull();
  ASSERT_FALSE(yes.empty());
  EXPECT_EQ(yes[0].type(), proto::kInsResumed);
  EXPECT_EQ(yes[0].lo(3), proto::kResumeDone);
  // Lost again; this time the client logs in afresh and gets a seat for the next hand.
  s.disconnect(again.id);
  Client fresh(s);
  fresh.send(login("tess", "table=0"));
  auto v = fresh.pull();
  ASSERT_FALSE(v.empty());
  EXPECT_EQ(v[0].type(), proto::kInsLoginResult);
  EXPECT_EQ(v[0].lo(3), proto::kLoginAccepted);
  ASSERT_TRUE(runWhile(s, [&] {
    auto more = fresh.pull();
    return std::any_of(more.begin(), more.end(),
                       [](const In& f) { return f.type() == proto::kInsPlayerName; });
  }));
}

// A seat is kept for a resume only until the hand ends: a client whose link
// broke during the hand and that comes back after its end, or whose link broke
// between hands, finds a robot there. The resume is refused, and the log says
// which of the two it was (not that the account never sat there).
TEST(Resume, TooLateForTheSeatIsRefusedAndTheLogSaysWhy) {
  const struct {
    bool betweenHands;
    const char* why;
  } cases[] = {
      {false, "the hand ended before the resume came, and a robot took the seat"},
      {true, "its connection broke between hands, and a robot took the seat"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.why);
    Server s(quiet());
    std::vector<std::string> log;
    s.setLogSink([&](const std::string& l) { log.push_back(l); });
    int hands = 0;
    s.setHandSink([&](const HandRecord&) { ++hands; });
    Player p(s);
    p.send(login("hana", "table=0;seat=0;pass=pw"));
    p.send(Req(proto::kReqReady).op(3, 1));
    ASSERT_TRUE(untilOwnTurnOffer(s, p));
    const std::uint16_t token = p.got.back().token();
    if (k.betweenHands) {
      // The hand runs to its end with the client there; its link breaks after.
      ASSERT_TRUE(runWhile(s, [&] {
        p.play();
        return hands >= 1;
      }));
      ASSERT_FALSE(s.tableView(0).handRunning);
      s.disconnect(p.id);
    } else {
      s.disconnect(p.id);
      ASSERT_TRUE(runWhile(s, [&] { return hands >= 1; }));
    }
    Client late(s);
    late.send(login("hana", "table=0;seat=0;pass=pw", proto::kReqResume).token(token));
    auto no = late.pull();
    ASSERT_EQ(no.size(), 1u);
    EXPECT_EQ(no[0].type(), proto::kInsResumed);
    EXPECT_EQ(no[0].lo(3), 0);
    EXPECT_TRUE(s.isClosed(late.id));
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log.back().find(std::string("resume refused for 'hana'")), std::string::npos)
        << log.back();
    EXPECT_NE(log.back().find(k.why), std::string::npos) << log.back();
    // An account that never sat there is told apart from them.
    Client stranger(s);
    stranger.send(login("zoe", "table=0;seat=0;pass=pw", proto::kReqResume).token(token));
    ASSERT_EQ(stranger.pull().size(), 1u);
    EXPECT_NE(log.back().find("no seat of that account"), std::string::npos) << log.back();
  }
}

TEST(Watcher, JoinsDuringAHandWithASnapshot) {
  Server s(quiet());
  Player p(s);
  p.send(login("ivan", "table=0;seat=0"));
  p.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(untilOwnTurnOffer(s, p));
  Client w(s);
  w.send(login("wendy", "watch=0;seat=0"));
  auto frames = w.pull();
  ASSERT_EQ(frames.size(), 10u);
  EXPECT_EQ(frames[0].type(), proto::kInsLoginResult);
  EXPECT_EQ(frames[0].lo(3), proto::kLoginAccepted);
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(frames[i].type(), proto::kInsPlayerRecord);
    EXPECT_EQ(frames[i].seat(), 1 << (i - 1));  // real seat bits, not 15
  }
  EXPECT_EQ(frames[5].type(), proto::kInsTableJoined);
  for (int i = 6; i <= 9; ++i) EXPECT_EQ(frames[i].type(), proto::kInsSnapshot);
  // The snapshot of the playing seat holds its fourteen tiles, concealed.
  const In& own = frames[6];
  EXPECT_EQ(own.seat(), 1);
  int concealed = 0, exposed = 0;
  for (int i = 0; i < 24; ++i) {
    const int kind = own.b[proto::kPayloadOffset + 2 * i] & 0xF0;
    concealed += kind == 0x10;
    exposed += kind == 0x20;
  }
  int held = 0;
  for (auto& [c, n] : p.hand) held += n;
  EXPECT_EQ(concealed + exposed / 3 * 3, held + exposed / 3 * 3);
  EXPECT_EQ(own.lo(1), 144 - 1 - s.wallLeft(0) - (143 - own.lo(3)));
  // Then the normal flow: the player's discard reaches the watcher.
  int held1 = 0;
  for (auto& [c, n] : p.hand)
    if (n > 0 && c > 8 && c != proto::kWireWildTile) held1 = c;
  p.send(Req(proto::kReqDiscard).op(3, held1 | proto::kDiscardMarker));
  auto next = w.pull();
  ASSERT_FALSE(next.empty());
  EXPECT_EQ(next[0].type(), proto::kInsDiscard);
  EXPECT_EQ(next[0].lo(3), held1);
}

TEST(Watcher, AtAnIdleTableGetsTheRecordsOnce) {
  Server s(quiet());
  Client w(s);
  w.send(login("uma", "watch=0"));
  auto frames = w.pull();
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0].type(), proto::kInsLoginResult);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(frames[i].type(), proto::kInsPlayerRecord);
  // The table starts for the watcher: the hand comes without any seat taken.
  ASSERT_TRUE(runWhile(s, [&] {
    auto more = w.pull();
    return std::any_of(more.begin(), more.end(),
                       [](const In& f) { return f.type() == proto::kInsWildTile; });
  }));
}

// A watcher who names the watched player by user id is dealt that player's
// seat, every hand; one who names a seat gets that seat, and neither seat 0.
TEST(Watcher, IsDealtTheSeatOfThePlayerItWatches) {
  struct Case {
    std::string key;
    int seatBit;
  } cases[] = {{"watch=0;user=" + std::to_string(900000 + 2), 4},
               {"watch=0;user=" + std::to_string(900000 + 3), 8},
               {"watch=0;seat=1", 2},
               {"watch=0", 1},
               {"watch=0;user=12345", 1}};  // nobody has that id: the default seat
  for (const Case& k : cases) {
    Server s(quiet());
    Client w(s);
    w.send(login("uma", k.key));
    int deals = 0;
    ASSERT_TRUE(runWhile(s, [&] {
      for (const In& f : w.pull()) {
        if (f.type() != proto::kInsDeal) continue;
        EXPECT_EQ(f.seat(), k.seatBit) << k.key;
        ++deals;
      }
      return deals >= 4;  // two hands, two batches each
    })) << k.key;
  }
}

TEST(Chat, TypedLinesPhrasesAndPrivateLines) {
  Server s(quiet());
  Player a(s), b(s);
  a.send(login("jo", "table=0;seat=0"));
  b.send(login("kim", "table=0;seat=2"));
  a.pull();
  b.pull();
  a.send(Req(proto::kReqChat).text(proto::kPayloadOffset, "jo\xcb\xb5\xb5\xc0: hi"));
  auto ra = a.pull(), rb = b.pull();
  ASSERT_EQ(ra.size(), 1u);
  ASSERT_EQ(rb.size(), 1u);
  EXPECT_EQ(rb[0].type(), proto::kInsChat);
  EXPECT_EQ(rb[0].seat(), 1);
  EXPECT_EQ(rb[0].text(proto::kPayloadOffset, proto::kChatTextBytes), "jo\xcb\xb5\xb5\xc0: hi");
  // A quick phrase keeps its list and number.
  b.send(Req(proto::kReqChat).op(0, 2).op(3, 5).text(proto::kPayloadOffset, "kim: phrase"));
  auto pa = a.pull();
  ASSERT_EQ(pa.size(), 1u);
  EXPECT_EQ(pa[0].lo(0), 2);
  EXPECT_EQ(pa[0].lo(3), 5);
  EXPECT_EQ(pa[0].seat(), 4);
  EXPECT_EQ(b.pull().size(), 1u);  // the speaker sees its own line too
  // A private line reaches the addressee and the speaker only.
  Client w(s);
  w.send(login("lee", "watch=0"));
  w.pull();
  runUntil(s, s.nowMs() + 600);  // jo's next line, at a pace the table relays
  a.send(Req(proto::kReqChat).op(1, 4).text(proto::kPayloadOffset, "secret"));
  EXPECT_EQ(b.pull().size(), 1u);
  EXPECT_EQ(a.pull().size(), 1u);
  EXPECT_TRUE(w.pull().empty());
}

TEST(Leaving, BetweenHandsAndDuringAHand) {
  Server s(quiet());
  Player a(s), b(s);
  a.send(login("max", "table=0;seat=0"));
  b.send(login("ned", "table=0;seat=1"));
  a.pull();
  b.pull();
  // Between hands: the others learn the name; a robot takes the seat.
  b.send(Req(proto::kReqReady));
  auto fa = a.pull();
  ASSERT_GE(fa.size(), 2u);
  EXPECT_EQ(fa[0].type(), proto::kInsPlayerGone);
  EXPECT_EQ(fa[0].text(proto::kPayloadOffset, proto::kNameBytes), "ned");
  EXPECT_EQ(fa[1].type(), proto::kInsPlayerRecord);
  EXPECT_EQ(fa[1].seat(), 2);
  // During a hand: the table's game ends for the others.
  Player c(s);
  c.send(login("ora", "table=0;seat=1"));
  a.send(Req(proto::kReqReady).op(3, 1));
  c.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(runWhile(s, [&] {
    auto frames = a.pull();
    c.pull();
    return std::any_of(frames.begin(), frames.end(),
                       [](const In& f) { return f.type() == proto::kInsWildTile; });
  }));
  c.send(Req(proto::kReqReady));
  auto fl = a.pull();
  ASSERT_EQ(fl.size(), 1u);
  EXPECT_EQ(fl[0].type(), proto::kInsMembership);
  EXPECT_EQ(fl[0].lo(3), proto::kMembershipLeft);
  EXPECT_EQ(fl[0].seat(), 15 & ~2);
}

TEST(Gold, AShortSeatIsToldAndDropped) {
  auto cfg = quiet();
  cfg.startGold = 10;
  cfg.minGold = 10;
  Server s(cfg);
  Player p(s);
  int hands = 0;
  s.setHandSink([&](const HandRecord& r) { hands += r.results[0] < 0 ? 1 : 0; });
  p.send(login("pat", "table=0;seat=0"));
  p.send(Req(proto::kReqReady).op(3, 1));
  // Play until the human loses a hand.
  ASSERT_TRUE(runWhile(s, [&] {
    p.play();
    if (p.results == 4) {
      p.results = 0;
      p.send(Req(proto::kReqReady).op(3, 1));
    }
    return hands >= 1;
  }));
  p.play();
  auto it = std::find_if(p.got.begin(), p.got.end(), [](const In& f) {
    return f.type() == proto::kInsMembership && f.lo(3) == proto::kMembershipGoldShortage;
  });
  ASSERT_NE(it, p.got.end());
  EXPECT_EQ(it->seat() & 1, 0);
  EXPECT_TRUE(s.isClosed(p.id));
}

TEST(GameOver, TheNoticeAfterTheLastHandAndAtShutdown) {
  auto cfg = quiet();
  cfg.handsPerGame = 1;
  Server s(cfg);
  Player p(s);
  p.send(login("quin", "table=0;seat=0"));
  p.send(Req(proto::kReqReady).op(3, 1));
  ASSERT_TRUE(runWhile(s, [&] {
    p.play();
    return std::any_of(p.got.begin(), p.got.end(),
                       [](const In& f) { return f.type() == proto::kInsGameOver; });
  }));
  Player q(s);
  q.send(login("rex", "table=0;seat=1"));
  q.pull();
  s.shutdown("服务器关闭");
  auto last = q.pull();
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0].type(), proto::kInsGameOver);
  EXPECT_EQ(last[0].text(proto::kPayloadOffset, proto::kNoticeBytes),
            "\xb7\xfe\xce\xf1\xc6\xf7\xb9\xd8\xb1\xd5");  // GBK
  EXPECT_TRUE(s.isClosed(q.id));
}

}  // namespace
}  // namespace tavren::server::test

namespace tavren::server::test {
namespace {

// A game's first hand waits for no 开始 button: a client seated when the game is
// set (or before its first hand) is ready, is told when the hand starts, and
// the deal follows the start pause without any request from it.
TEST(FirstHand, StartsAfterTheStartPauseWithoutAReadyAndSaysSo) {
  for (const char* key : {"table=0;seat=0", "table=0;seat=2"}) {
    SCOPED_TRACE(key);
    Server s(quiet());
    Client c(s);
    c.send(login("mia", key));
    const std::int64_t seated = s.nowMs();
    ASSERT_TRUE(runWhile(s, [&] {
      for (const In& f : c.pull())
        if (f.type() == proto::kInsDeal) return true;
      return false;
    }));
    EXPECT_LE(s.nowMs() - seated, s.config().startPauseMs + 100);
    bool told = false;
    for (const In& f : c.got)
      if (f.type() == proto::kInsChat &&
          f.text(proto::kPayloadOffset, proto::kChatTextBytes).find(toGbk("牌局将在3秒后开始")) !=
              std::string::npos)
        told = true;
    EXPECT_TRUE(told);
  }
}

}  // namespace
}  // namespace tavren::server::test

namespace tavren::server::test {
namespace {

// A client whose answer comes after its robot answered for it (the client was
// still showing the deal) is late, not wrong: nothing changes, no refusal.
TEST(LateAnswer, ACallAfterTheRobotCalledIsNotedAsLateNotRefused) {
  Server s(quiet());
  std::vector<std::string> log;
  s.setLogSink([&](const std::string& line) { log.push_back(line); });
  Client c(s);
  c.send(login("lena", "table=0;seat=0"));  // the first hand's dealer
  bool asked = false;
  ASSERT_TRUE(runWhile(s, [&] {
    for (const In& f : c.pull())
      if (f.type() == proto::kInsJiaoTou) asked = true;
    return asked;
  }));
  // The call's time and the grace run out: the robot calls for the dealer.
  bool called = false;
  ASSERT_TRUE(runWhile(s, [&] {
    for (const In& f : c.pull())
      if (f.type() == proto::kInsJiaoTou) called = true;
    return called;
  }));
  c.send(Req(proto::kReqJiaoTou).op(1, 2).op(3, 0));
  c.send(Req(proto::kReqJiaoTou).op(1, 2).op(3, 0));
  ASSERT_EQ(log.size(), 2u);
  for (const std::string& line : log) {
    EXPECT_EQ(line.find("refused"), std::string::npos) << line;
    EXPECT_NE(line.find("late answer"), std::string::npos) << line;
  }
  // A seat whose robot never answered for it is still refused.
  Client other(s);
  other.send(login("omar", "table=0;seat=1"));
  other.send(Req(proto::kReqJiaoTou).op(1, 2).op(3, 0));
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log.back().find("refused"), std::string::npos) << log.back();
}

}  // namespace
}  // namespace tavren::server::test
