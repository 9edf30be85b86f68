// The real tavrenmj-server against clients that do not play fair: a peer that
// never reads, more connections than the server has descriptors for, chat
// floods, a log nobody reads and hostile text for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "support/server_harness.h"
#include "support/server_process.h"

namespace tavren::server::test {
namespace {

TEST(ServerBinaryHostile, APeerThatNeverReadsIsDroppedAndOthersStayServed) {
  // Chat lines are the load here: the table relays them without spacing.
  ServerProcess srv({"--port", "0", "--seed", "2", "--chat-spacing", "0"});
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket player(srv.port);
  player.send(login("fair", "table=0;seat=0"));
  In f;
  ASSERT_TRUE(player.next(f, 3000));
  ASSERT_EQ(f.lo(3), proto::kLoginAccepted);
  // A watcher with a tiny receive buffer floods chat lines, which come back to it,
  // and never reads a byte.
  Socket lazy(srv.port, 2048);
  lazy.send(login("lazy", "watch=0"));
  Req line = Req(proto::kReqChat).op(3, 0).text(proto::kPayloadOffset, std::string(60, 'x'));
  std::vector<std::uint8_t> burst;
  for (int i = 0; i < 64; ++i) burst.insert(burst.end(), line.b, line.b + kFrame);
  bool dropped = false;
  std::size_t playerFrames = 0;
  for (int round = 0; round < 200 && !dropped; ++round) {
    lazy.sendRaw(burst.data(), burst.size());
    // The fair player keeps getting everything meanwhile.
    while (player.next(f, 20)) ++playerFrames;
    srv.readSome(10);
    dropped = srv.text.find("does not read") != std::string::npos;
  }
  ASSERT_TRUE(srv.waitFor("does not read", 5000)) << srv.text;
  EXPECT_GT(playerFrames, 1000u);
  // The lazy one finds its stream ended once it reads what the kernel still held.
  std::size_t got = 0;
  EXPECT_TRUE(lazy.drainToEnd(5000, &got));
  EXPECT_LT(got, 4u * 1024 * 1024);
  // The fair player is still at the table.
  player.send(Req(proto::kReqKeepAlive));
  player.send(Req(proto::kReqChat).op(3, 0).text(proto::kPayloadOffset, "still here"));
  bool echoed = false;
  while (!echoed && player.next(f, 3000))
    echoed = f.type() == proto::kInsChat &&
             f.text(proto::kPayloadOffset, proto::kChatTextBytes).find("still here") !=
                 std::string::npos;
  EXPECT_TRUE(echoed);
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

TEST(ServerBinaryHostile, AtTheDescriptorLimitStrangersMakeRoomForPlayers) {
  ServerProcess srv({"--port", "0", "--seed", "4"}, 24);
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket early(srv.port);
  early.send(login("early", "table=0"));
  In f;
  ASSERT_TRUE(early.next(f, 5000));
  EXPECT_EQ(f.lo(3), proto::kLoginAccepted);
  // Far more connections than descriptors, none of which logs in.
  std::vector<std::unique_ptr<Socket>> flood;
  for (int i = 0; i < 40; ++i) flood.push_back(std::make_unique<Socket>(srv.port));
  // The player already seated is served meanwhile...
  early.send(Req(proto::kReqChat).text(proto::kPayloadOffset, "early still here"));
  bool echoed = false;
  while (!echoed && early.next(f, 5000))
    echoed = f.type() == proto::kInsChat &&
             f.text(proto::kPayloadOffset, proto::kChatTextBytes).find("still here") !=
                 std::string::npos;
  EXPECT_TRUE(echoed);
  // ...and a newcomer gets in while the flood is still there.
  Socket late(srv.port);
  late.send(login("late", "watch=0"));
  ASSERT_TRUE(late.next(f, 10000)) << srv.text;
  EXPECT_EQ(f.type(), proto::kInsLoginResult);
  EXPECT_EQ(f.lo(3), proto::kLoginAccepted);
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

// Waits for the next frame of `type`, sending a byte on every slow connection
// now and then meanwhile.
bool nextOfType(Socket& s, int type, int timeoutMs, std::vector<std::unique_ptr<Socket>>& slow,
                In& f) {
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto trickled = Clock::now();
  while (Clock::now() < until) {
    if (s.next(f, 100) && f.type() == type) return true;
    if (Clock::now() - trickled > std::chrono::milliseconds(500)) {
      for (auto& c : slow) c->sendRaw("\x12", 1);
      trickled = Clock::now();
    }
  }
  return false;
}

// Three hundred connections, half of them sending a byte now and then and half
// silent, with descriptors for a quarter of them: a player who comes later is
// seated and dealt its tiles.
TEST(ServerBinaryHostile, ThreeHundredSlowAndIdleConnectionsDoNotLockAPlayerOut) {
  ServerProcess srv({"--port", "0", "--seed", "8", "--robot-delay", "50"}, 80);
  ASSERT_GT(srv.port, 0) << srv.text;
  std::vector<std::unique_ptr<Socket>> slow, idle;
  for (int i = 0; i < 300; ++i) (i % 2 ? slow : idle).push_back(std::make_unique<Socket>(srv.port));
  for (auto& c : slow) c->sendRaw("\x00", 1);
  Socket player(srv.port);
  player.send(login("pat", "table=0;seat=0"));
  In f;
  ASSERT_TRUE(nextOfType(player, proto::kInsLoginResult, 15000, slow, f)) << srv.text;
  EXPECT_EQ(f.lo(3), proto::kLoginAccepted);
  player.send(Req(proto::kReqReady).op(3, 1));
  EXPECT_TRUE(nextOfType(player, proto::kInsDeal, 15000, slow, f)) << srv.text;
  EXPECT_EQ(f.seat(), 1);
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

// Thirty watchers chat a hundred lines a second between them: the seated player
// is sent a few lines a second, keeps its seat and is still heard.
TEST(ServerBinaryHostile, AChatFloodFromThirtyWatchersReachesAPlayerAsAFewLines) {
  ServerProcess srv({"--port", "0", "--seed", "9"});
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket player(srv.port);
  player.send(login("pia", "table=0;seat=0"));
  In f;
  ASSERT_TRUE(player.next(f, 5000));
  ASSERT_EQ(f.lo(3), proto::kLoginAccepted);
  std::vector<std::unique_ptr<Socket>> watchers;
  for (int i = 0; i < 30; ++i) {
    watchers.push_back(std::make_unique<Socket>(srv.port));
    watchers.back()->send(login("w" + std::to_string(i), "watch=0"));
  }
  int lines = 0, sent = 0;
  const auto start = Clock::now();
  const auto until = start + std::chrono::seconds(3);
  while (Clock::now() < until) {
    const auto due = start + std::chrono::milliseconds(10 * sent);
    if (Clock::now() >= due) {
      watchers[static_cast<std::size_t>(sent % 30)]->send(
          Req(proto::kReqChat).text(proto::kPayloadOffset, "flood " + std::to_string(sent)));
      ++sent;
    }
    while (player.next(f, 1)) lines += f.type() == proto::kInsChat;
  }
  while (player.next(f, 300)) lines += f.type() == proto::kInsChat;
  EXPECT_GE(sent, 200);
  // Two lines a second for all watchers together and a burst of three, the
  // table's start notice, and a second of slack for a loaded machine.
  EXPECT_LE(lines, 4 * 2 + 3 + 1 + 1) << sent << " lines sent";
  player.send(Req(proto::kReqChat).text(proto::kPayloadOffset, "pia still here"));
  bool echoed = false;
  while (!echoed && player.next(f, 5000))
    echoed = f.type() == proto::kInsChat && f.seat() == 1 &&
             f.text(proto::kPayloadOffset, proto::kChatTextBytes).find("still here") !=
                 std::string::npos;
  EXPECT_TRUE(echoed);
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

// Standard error goes to a pipe nobody reads, and a client sends thousands of
// requests before logging in: the server still serves a player.
TEST(ServerBinaryHostile, ALogNobodyReadsNeverStopsTheServer) {
  ServerProcess srv({"--port", "0", "--seed", "10"});
  ASSERT_GT(srv.port, 0) << srv.text;
  // From here on the test never reads the server's output.
  std::vector<std::uint8_t> junk;
  const Req line = Req(proto::kReqChat).text(proto::kPayloadOffset, "before any login");
  for (int i = 0; i < 2000; ++i) junk.insert(junk.end(), line.b, line.b + kFrame);
  std::vector<std::unique_ptr<Socket>> noisy;
  for (int i = 0; i < 20; ++i) {
    noisy.push_back(std::make_unique<Socket>(srv.port));
    noisy.back()->sendRaw(junk.data(), junk.size());
  }
  Socket player(srv.port);
  player.send(login("pat", "table=0;seat=0"));
  In f;
  ASSERT_TRUE(player.next(f, 10000));
  EXPECT_EQ(f.type(), proto::kInsLoginResult);
  EXPECT_EQ(f.lo(3), proto::kLoginAccepted);
}

// What a hostile login puts in the log reaches the operator's terminal escaped,
// and a pass never.
TEST(ServerBinaryHostile, AHostileLoginIsLoggedEscapedWithoutItsPass) {
  ServerProcess srv({"--port", "0", "--seed", "11"});
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket a(srv.port);
  a.send(login("\x1b]0;owned\x07\x1b[2J", "table=zz;pass=S3CRETPASS\nrefused forged"));
  ASSERT_TRUE(srv.waitFor("login refused", 5000)) << srv.text;
  EXPECT_EQ(srv.stop(SIGTERM), 0);
  EXPECT_EQ(srv.text.find("S3CRET"), std::string::npos) << srv.text;
  EXPECT_EQ(srv.text.find('\x1b'), std::string::npos) << srv.text;
  EXPECT_EQ(srv.text.find("\nrefused forged"), std::string::npos) << srv.text;
}

// No descriptor of the server's (the listening socket, connections, the event
// loop's own) survives into a program it might start.
TEST(ServerBinaryHostile, EveryDescriptorIsCloseOnExec) {
  ServerProcess srv({"--port", "0", "--seed", "12"});
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket player(srv.port), watcher(srv.port);
  player.send(login("pat", "table=0;seat=0"));
  watcher.send(login("wes", "watch=0"));
  In f;
  ASSERT_TRUE(player.next(f, 5000));
  ASSERT_TRUE(watcher.next(f, 5000));
  // The flags of a descriptor of a process; -1: no such descriptor.
  auto flagsOf = [](const std::string& proc, int fd) -> long {
    FILE* info = std::fopen((proc + "/fdinfo/" + std::to_string(fd)).c_str(), "r");
    if (!info) return -1;
    char row[256];
    unsigned long flags = 0;
    while (std::fgets(row, sizeof row, info)) std::sscanf(row, "flags: %lo", &flags);
    std::fclose(info);
    return static_cast<long>(flags);
  };
  const std::string proc = "/proc/" + std::to_string(srv.pid);
  int checked = 0;
  for (int fd = 3; fd < 1024; ++fd) {
    const long flags = flagsOf(proc, fd);
    if (flags < 0) continue;
    // What the test itself was given without close-on-exec, the server inherits.
    const long ours = flagsOf("/proc/self", fd);
    if (ours >= 0 && !(ours & 02000000)) continue;
    EXPECT_TRUE(flags & 02000000) << "descriptor " << fd << " flags " << std::oct << flags;
    ++checked;
  }
  EXPECT_GE(checked, 3);  // the listening socket and the two connections at least
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

}  // namespace
}  // namespace tavren::server::test
