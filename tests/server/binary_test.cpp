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

#include "harness.h"
#include "process.h"

extern char** environ;

namespace tavren::server::test {
namespace {

TEST(ServerBinary, PlaysAHandOnLoopbackAndLogsIt) {
  ServerProcess srv({"--port", "0", "--seed", "9", "--robot-delay", "0", "--turn-time", "3"});
  ASSERT_GT(srv.port, 0) << srv.text;
  Socket c(srv.port);
  ASSERT_GE(c.fd, 0);
  c.send(login("zed", "table=0;seat=0"));
  c.send(Req(16).op(3, 1));
  In f;
  int own = 0, last = 0, results = 0, calls = 0;
  bool turn = false;
  std::map<int, int> hand;
  while (results < 4 && c.next(f, 8000)) {
    switch (f.type()) {
      case 1:
        own = f.seat();
        for (int i = 0; i < 12; ++i) ++hand[f.b[16 + i]];
        break;
      case 5:
        if (f.seat() == own) ++hand[last = f.lo(0)], turn = true;
        break;
      case 10:
        if (f.seat() == own) --hand[f.lo(1)], ++hand[last = f.lo(3)];
        break;
      case 8:
        if (++calls == 1 && f.seat() == own) c.send(Req(8).op(1, 1));
        if (calls == 2 && f.seat() == own) turn = true;
        break;
      case 2:
        if (f.seat() == own) --hand[f.lo(3)];
        break;
      case 6:
        if (f.lo(0) & 128) {
          c.send(Req(7).op(0, 128));
        } else if (turn && hand[last] > 0) {
          turn = false;
          c.send(Req(2).op(3, last | 0x4000));
        } else {
          c.send(Req(7).op(0, 1));
        }
        break;
      case 9:
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
    EXPECT_EQ(f.type(), 18);
    EXPECT_EQ(f.lo(3), 1);
    while (c.next(f, 300)) {
    }
    kill(srv.pid, sig);
    bool notice = false;
    while (c.next(f, 3000))
      if (f.type() == 22) notice = true;
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
