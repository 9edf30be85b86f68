// Clients that attack the table: resumes that guess, resumes against a seat whose
// player is still there, fresh logins that try to free someone else's seat, and
// connections that come and go by the thousand.
#include <gtest/gtest.h>

#include <set>

#include "engine/out_queue.h"
#include "support/server_harness.h"

namespace tavren::server::test {
namespace {

constexpr const char* kKey = "table=0;seat=0;pass=9f3c1d77a0b24e56";

Server::Config config() {
  Server::Config c;
  c.seed = 21;
  return c;
}

// A client seated at table 0, seat 0, ready, with the hand running; its token.
std::uint16_t seatAndDeal(Server& s, Client& c, const std::string& key = kKey) {
  c.send(login("hana", key));
  c.send(Req(proto::kReqReady).op(3, 1));
  std::uint16_t token = 0;
  runWhile(s, [&] {
    for (const In& f : c.pull()) {
      if (f.type() == proto::kInsDeal) token = f.token();
    }
    return token != 0;
  });
  return token;
}

bool resumed(const std::vector<In>& frames) {
  return !frames.empty() && frames[0].type() == proto::kInsResumed &&
         frames[0].lo(3) == proto::kResumeDone;
}

TEST(HostileResume, NeedsBothTheTokenAndThePassOfTheFirstLogin) {
  struct Case {
    const char* what;
    bool rightToken;
    const char* key;
    bool accepted;
  };
  const Case cases[] = {
      {"token and pass", true, kKey, true},
      {"pass by account", true, "pass=9f3c1d77a0b24e56", true},
      {"wrong pass", true, "table=0;seat=0;pass=9f3c1d77a0b24e57", false},
      {"shorter pass", true, "table=0;seat=0;pass=9f3c1d77", false},
      {"no pass", true, "table=0;seat=0", false},
      {"wrong token", false, kKey, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Server s(config());
    Client owner(s);
    const std::uint16_t token = seatAndDeal(s, owner);
    ASSERT_NE(token, 0);
    s.disconnect(owner.id);
    Client again(s);
    again.send(
        login("hana", c.key, proto::kReqResume).token(c.rightToken ? token : token ^ 0x0101));
    EXPECT_EQ(resumed(again.pull()), c.accepted);
    EXPECT_EQ(s.isClosed(again.id), !c.accepted);
  }
}

TEST(HostileResume, WrongTriesPerSeatAreLimitedEvenForTheRightProofAfterwards) {
  Server s(config());
  Client owner(s);
  const std::uint16_t token = seatAndDeal(s, owner);
  s.disconnect(owner.id);
  std::vector<std::string> log;
  s.setLogSink([&](const std::string& line) { log.push_back(line); });
  for (int i = 0; i < Server::kResumeTries; ++i) {
    Client guess(s);
    guess.send(login("hana", "table=0;seat=0;pass=guess" + std::to_string(i), proto::kReqResume)
                   .token(token));
    EXPECT_FALSE(resumed(guess.pull()));
    s.disconnect(guess.id);
  }
  Client late(s);
  late.send(login("hana", kKey, proto::kReqResume).token(token));
  EXPECT_FALSE(resumed(late.pull()));
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("too many wrong tries"), std::string::npos) << log.back();
  // The seat goes to a robot when the hand ends, and a new login there starts afresh.
  ASSERT_TRUE(runWhile(s, [&] { return s.handsPlayed(0) >= 1; }));
  Client next(s);
  const std::uint16_t t2 = seatAndDeal(s, next, "table=0;seat=0;pass=other");
  ASSERT_NE(t2, 0);
  s.disconnect(next.id);
  Client back(s);
  back.send(login("hana", "table=0;seat=0;pass=other", proto::kReqResume).token(t2));
  EXPECT_TRUE(resumed(back.pull()));
}

TEST(HostileResume, ALiveConnectionIsNeverDisplacedButASilentOneIs) {
  Server s(config());
  Client owner(s);
  const std::uint16_t token = seatAndDeal(s, owner);
  // The owner keeps answering (a keep-alive every 5 s); a resume with the right
  // proof still does not take its place.
  for (int round = 0; round < 3; ++round) {
    s.advanceTo(s.nowMs() + 5000);
    owner.pull();
    owner.send(Req(proto::kReqKeepAlive).token(token));
    Client thief(s);
    thief.send(login("hana", kKey, proto::kReqResume).token(token));
    EXPECT_FALSE(resumed(thief.pull()));
    EXPECT_TRUE(s.isClosed(thief.id));
    EXPECT_FALSE(s.isClosed(owner.id));
  }
  // Refusals for a live seat are no wrong tries: the owner's own resume later works.
  // Now the owner falls silent (its link died without the server noticing).
  s.advanceTo(s.nowMs() + Server::kLiveWindowMs + 1);
  Client again(s);
  again.send(login("hana", kKey, proto::kReqResume).token(token));
  EXPECT_TRUE(resumed(again.pull()));
  EXPECT_TRUE(s.isClosed(owner.id));
  EXPECT_FALSE(s.isClosed(again.id));
}

TEST(HostileResume, AFreshLoginFreesALeftSeatOnlyWithItsPass) {
  Server s(config());
  Client owner(s);
  const std::uint16_t token = seatAndDeal(s, owner);
  s.disconnect(owner.id);
  // Somebody else with the same account name and another pass: the seat stays.
  Client other(s);
  other.send(login("hana", "table=0;seat=1;pass=nope"));
  other.pull();
  Client again(s);
  again.send(login("hana", kKey, proto::kReqResume).token(token));
  EXPECT_TRUE(resumed(again.pull()));
  s.disconnect(again.id);
  // The client itself logs in afresh with its pass: the seat is given up, and the
  // new login takes it.
  Client fresh(s);
  fresh.send(login("hana", kKey));
  auto v = fresh.pull();
  ASSERT_FALSE(v.empty());
  EXPECT_EQ(v[0].type(), proto::kInsLoginResult);
  EXPECT_EQ(v[0].lo(3), proto::kLoginAccepted);
}

TEST(HostileResume, TokensDoNotFollowTheSeed) {
  // Two servers with one seed deal the same walls but hand out other tokens.
  std::set<std::uint16_t> tokens;
  for (int run = 0; run < 2; ++run)
    for (int seat = 0; seat < 4; ++seat) {
      Server s(config());
      Client c(s);
      c.send(login("p" + std::to_string(seat), "table=0;seat=" + std::to_string(seat)));
      auto v = c.pull();
      ASSERT_FALSE(v.empty());
      EXPECT_NE(v[0].token(), 0);
      tokens.insert(v[0].token());
    }
  EXPECT_GT(tokens.size(), 4u);
}

TEST(ChatFlood, AConnectionRelaysAtMostOneLinePerHalfSecond) {
  Server s(config());
  Client flooder(s);
  Client listener(s);
  flooder.send(login("hana", kKey));
  listener.send(login("kenji", "table=0;seat=1;pass=0d1e2f3a4b5c6d7e"));
  runUntil(s, s.nowMs() + 100);
  listener.pull();
  const auto chatLines = [&] {
    int n = 0;
    for (const In& f : listener.pull()) n += f.type() == proto::kInsChat;
    return n;
  };
  for (int i = 0; i < 50; ++i)
    flooder.send(Req(proto::kReqChat).text(proto::kPayloadOffset, "spam"));
  EXPECT_EQ(chatLines(), 1);
  runUntil(s, s.nowMs() + 400);
  flooder.send(Req(proto::kReqChat).text(proto::kPayloadOffset, "spam"));
  EXPECT_EQ(chatLines(), 0);  // still within the half second
  runUntil(s, s.nowMs() + 200);
  flooder.send(Req(proto::kReqChat).text(proto::kPayloadOffset, "hello"));
  EXPECT_EQ(chatLines(), 1);  // an honest pace is relayed
}

TEST(Connections, TheTableShrinksWhenConnectionsGo) {
  Server s(config());
  std::vector<ConnId> ids;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 2000; ++i) {
      Client c(s);
      if (i % 3 == 0) c.send(login("w" + std::to_string(i), "watch=0"));
      if (i % 3 == 1) c.send(login("", "table=0"));  // refused: the server closes it
      ids.push_back(c.id);
    }
    EXPECT_EQ(s.connectionCount(), 2000u);
    for (ConnId id : ids) s.disconnect(id);
    ids.clear();
    EXPECT_EQ(s.connectionCount(), 0u);
  }
  // Ids are never handed out twice while their owner may still be named by a seat.
  Client a(s), b(s);
  EXPECT_NE(a.id, b.id);
  EXPECT_GT(a.id, 6000u);
}

TEST(OutputQueue, DropsAPeerThatStaysOverTheLimitOrPassesTheHardOne) {
  const OutQueue::Limits limits{.soft = 1000, .hard = 4000, .graceMs = 10000};
  auto chunk = [](std::size_t n) { return std::vector<std::uint8_t>(n, 7); };
  {
    SCOPED_TRACE("over the soft limit for the grace, then one more tick");
    OutQueue q(limits);
    EXPECT_TRUE(q.push(chunk(1500), 0));
    EXPECT_TRUE(q.check(10000));
    EXPECT_FALSE(q.check(10001));
  }
  {
    SCOPED_TRACE("back under the limit in time: the clock starts again");
    OutQueue q(limits);
    EXPECT_TRUE(q.push(chunk(600), 0));
    EXPECT_TRUE(q.push(chunk(600), 100));   // over from 100
    q.pop(9000);                            // written: under again
    EXPECT_TRUE(q.push(chunk(900), 9500));  // over from 9500
    EXPECT_TRUE(q.check(19500));
    EXPECT_FALSE(q.check(19501));
  }
  {
    SCOPED_TRACE("past the hard limit at once");
    OutQueue q(limits);
    EXPECT_TRUE(q.push(chunk(4000), 0));
    EXPECT_FALSE(q.push(chunk(1), 0));
  }
  {
    SCOPED_TRACE("a reader that keeps up is never dropped");
    OutQueue q(limits);
    for (std::int64_t t = 0; t < 100000; t += 50) {
      EXPECT_TRUE(q.push(chunk(272), t));
      q.pop(t);
    }
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.bytes(), 0u);
  }
  OutQueue q(limits);
  q.push(chunk(3000), 0);
  q.clear();
  EXPECT_TRUE(q.empty());
  EXPECT_EQ(q.bytes(), 0u);
}

}  // namespace
}  // namespace tavren::server::test
