// The real tavrenmj-server against clients that do not play fair: a peer that
// never reads, and more connections than the server has descriptors for.
#include <gtest/gtest.h>

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
    echoed = f.type() == proto::kInsChat && f.text(proto::kPayloadOffset, 20) == "still here";
  EXPECT_TRUE(echoed);
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

TEST(ServerBinaryHostile, OutOfDescriptorsItKeepsServingAndRecovers) {
  ServerProcess srv({"--port", "0", "--seed", "4"}, 24);
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket early(srv.port);
  ASSERT_GE(early.fd, 0);
  std::vector<std::unique_ptr<Socket>> flood;
  for (int i = 0; i < 40; ++i) flood.push_back(std::make_unique<Socket>(srv.port));
  ASSERT_TRUE(srv.waitFor("accept:", 5000)) << srv.text;
  // The connection it already had is served while the others wait.
  early.send(login("early", "table=0"));
  In f;
  ASSERT_TRUE(early.next(f, 3000));
  EXPECT_EQ(f.type(), proto::kInsLoginResult);
  EXPECT_EQ(f.lo(3), proto::kLoginAccepted);
  // Descriptors free up: connections are taken again.
  flood.clear();
  Socket late(srv.port);
  late.send(login("late", "watch=0"));
  ASSERT_TRUE(late.next(f, 10000)) << srv.text;
  EXPECT_EQ(f.type(), proto::kInsLoginResult);
  EXPECT_EQ(f.lo(3), proto::kLoginAccepted);
  EXPECT_TRUE(srv.waitFor("working again", 3000)) << srv.text;
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

}  // namespace
}  // namespace tavren::server::test
