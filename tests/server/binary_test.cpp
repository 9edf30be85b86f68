// A few runs of the real tavrenmj-server on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/server_harness.h"
#include "support/server_process.h"

extern char** environ;

namespace tavren::server::test {
namespace {

TEST(ServerBinary, PlaysAHandOnLoopbackAndLogsIt) {
  ServerProcess srv({"--port", "0", "--seed", "9", "--robot-delay", "0", "--turn-time", "3"});
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket c(srv.port);
  ASSERT_GE(c.fd, 0);
  c.send(login("zed", "table=0;seat=0"));
  c.send(Req(proto::kReqReady).op(3, 1));
  In f;
  int own = 0, last = 0, results = 0, calls = 0;
  bool turn = false;
  std::map<int, int> hand;
  while (results < 4 && c.next(f, 8000)) {
    switch (f.type()) {
      case proto::kInsDeal:
        own = f.seat();
        for (int i = 0; i < 12; ++i) ++hand[f.b[proto::kPayloadOffset + i]];
        break;
      case proto::kInsDraw:
        if (f.seat() == own) ++hand[last = f.lo(0)], turn = true;
        break;
      case proto::kInsFlower:
        if (f.seat() == own) --hand[f.lo(1)], ++hand[last = f.lo(3)];
        break;
      case proto::kInsJiaoTou:
        if (++calls == 1 && f.seat() == own) c.send(Req(proto::kReqJiaoTou).op(1, 1));
        if (calls == 2 && f.seat() == own) turn = true;
        break;
      case proto::kInsDiscard:
        if (f.seat() == own) --hand[f.lo(3)];
        break;
      case proto::kInsOffer:
        if (f.lo(0) & proto::kClaimHu) {
          c.send(Req(proto::kReqClaim).op(0, proto::kClaimHu));
        } else if (turn && hand[last] > 0) {
          turn = false;
          c.send(Req(proto::kReqDiscard).op(3, last | proto::kDiscardMarker));
        } else {
          c.send(Req(proto::kReqClaim).op(0, proto::kClaimPass));
        }
        break;
      case proto::kInsResult:
        ++results;
        break;
    }
  }
  EXPECT_EQ(results, 4);
  // One log line per finished hand.
  while (srv.text.find("hand 1:") == std::string::npos && srv.readSome(2000)) {
  }
  EXPECT_NE(srv.text.find("table 0 hand 1:"), std::string::npos) << srv.text;
  EXPECT_EQ(srv.stop(SIGTERM), 0);
}

TEST(ServerBinary, EndsCleanlyOnASignalWithTheGameOverNotice) {
  for (int sig : {SIGTERM, SIGINT}) {
    ServerProcess srv({"--port", "0", "--seed", "1"});
    ASSERT_GT(srv.port, 0);
    Socket c(srv.port), junk(srv.port);
    c.send(login("yan", "table=0"));
    // Garbage from another connection changes nothing for this one.
    std::vector<std::uint8_t> noise(1000, 0xAB);
    junk.sendRaw(noise.data(), noise.size());
    In f;
    ASSERT_TRUE(c.next(f, 3000));
    EXPECT_EQ(f.type(), proto::kInsLoginResult);
    EXPECT_EQ(f.lo(3), proto::kLoginAccepted);
    while (c.next(f, 300)) {
    }
    kill(srv.pid, sig);
    bool notice = false;
    while (c.next(f, 3000))
      if (f.type() == proto::kInsGameOver) notice = true;
    EXPECT_TRUE(notice);
    EXPECT_EQ(srv.stop(0), 0);  // it ends by itself after the signal
  }
}

TEST(ServerBinary, RefusesBadOptions) {
  ServerProcess srv({"--port", "nope"});
  int status = 0;
  waitpid(srv.pid, &status, 0);
  srv.pid = -1;
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace tavren::server::test
