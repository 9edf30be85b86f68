// The tavrenmj binary as the lobby starts it: a real process with a scripted
// game server on loopback TCP and a scripted lobby on a Unix socket.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "support/client_rig.h"

namespace tavren::e2e {
namespace {

constexpr std::uint32_t kWmEndSession = 0x16;
constexpr std::uint32_t kWmSysCommand = 0x112;
constexpr std::uint32_t kWmClear = 0x303;
constexpr std::uint32_t kWmUser = 0x400;
constexpr std::uint32_t kStateQuery = 0x465;
constexpr std::uint32_t kLoginUnderWay = 0x466;
constexpr std::uint32_t kScRestore = 0xF120;

constexpr int kLoginResult = 18;
constexpr int kKeepAlive = 24;
constexpr int kLeave = 16;

// Deadlines: generous for a loaded two-core machine, never a way of timing.
constexpr int kStartMs = 5000;
constexpr int kAnswerMs = 3000;
constexpr int kKeepAliveMs = 8000;

std::string Bytes(const Frame& f, std::size_t at, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(f.data() + at), n);
}

bool OperandsZero(const Frame& f) {
  for (std::size_t i = 8; i < 16; ++i)
    if (f[i] != 0) return false;
  return true;
}

// Records a client wrote just before it ended may still be on their way to
// the lobby when the end is seen: counts after an end are waited for too.
class ClientProcess : public ::testing::Test {
 protected:
  // Starts a player's client and waits for its login frame.
  void startAndLogIn(const std::string& account = "acc01", const std::string& key = "k3y") {
    rig.start({rig.playerLine(account, key)});
    ASSERT_TRUE(rig.waitFor([&] { return !rig.framesReceived().empty(); }, kStartMs))
        << "no login frame; client stderr:\n"
        << rig.stderrText();
  }

  // The server accepts the login; the client's first login answers the lobby with WM_CLEAR.
  void acceptLogin(std::uint8_t t0, std::uint8_t t1) {
    rig.serverSend(ServerFrame(kLoginResult, {15, 15, 0, 1}, t0, t1));
    ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmClear) == 1; }, kAnswerMs))
        << rig.stderrText();
  }

  std::vector<Frame> framesOfType(int type) const {
    std::vector<Frame> out;
    for (const Frame& f : rig.framesReceived())
      if (f[3] == type) out.push_back(f);
    return out;
  }

  void expectCleanEnd(int status = 0) {
    ASSERT_TRUE(rig.waitFor([&] { return !rig.running(); }, kAnswerMs))
        << "the client did not end; stderr:\n"
        << rig.stderrText();
    EXPECT_TRUE(rig.ended()->exited) << "killed by signal " << rig.ended()->status;
    EXPECT_EQ(rig.ended()->status, status);
  }

  Rig rig;
};

TEST_F(ClientProcess, TheLoginFrameIsTheFirstFrameOnTheSocket) {
  startAndLogIn("player7", "secret-key-42");
  const Frame f = rig.framesReceived().front();
  EXPECT_EQ(f[3], 18);
  EXPECT_EQ(f[2], 0);
  EXPECT_EQ(Bytes(f, 16, 8), std::string("player7\0", 8));
  EXPECT_EQ(Bytes(f, 32, 14), std::string("secret-key-42\0", 14));
  // Everything else is zero: no token yet, no operands.
  for (std::size_t i = 0; i < f.size(); ++i) {
    if (i == 3 || (i >= 16 && i < 23) || (i >= 32 && i < 45)) continue;
    EXPECT_EQ(f[i], 0) << "byte " << i;
  }
  // The lobby heard that the login is about to go out.
  EXPECT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmEndSession) >= 1; }, kAnswerMs));
  EXPECT_TRUE(rig.running());
}

TEST_F(ClientProcess, KeepAlivesFollowEveryFiveSecondsWithTheTokenOfTheLastFrame) {
  startAndLogIn();
  acceptLogin(0x5A, 0xC3);

  ASSERT_TRUE(rig.waitFor([&] { return framesOfType(kKeepAlive).size() == 1; }, kKeepAliveMs));
  const std::int64_t first = rig.now();
  Frame k = framesOfType(kKeepAlive)[0];
  EXPECT_EQ(k[260], 0x5A);
  EXPECT_EQ(k[261], 0xC3);
  EXPECT_EQ(k[2], 0);
  EXPECT_TRUE(OperandsZero(k));

  // Any frame the server sends carries the token the next keep-alive echoes;
  // type 25 is one the client ignores otherwise.
  rig.serverSend(ServerFrame(25, {}, 0x01, 0x77));
  ASSERT_TRUE(rig.waitFor([&] { return framesOfType(kKeepAlive).size() == 2; }, kKeepAliveMs));
  k = framesOfType(kKeepAlive)[1];
  EXPECT_EQ(k[260], 0x01);
  EXPECT_EQ(k[261], 0x77);
  // The second one comes a period later, not at once.
  EXPECT_GE(rig.now() - first, 4000);
  // Nothing but the login and keep-alives went out.
  EXPECT_EQ(rig.framesReceived().size(), 3u);
}

TEST_F(ClientProcess, AStateQueryOutsideAHandIsAnsweredWithWmUser) {
  startAndLogIn();
  acceptLogin(0, 1);
  ASSERT_TRUE(rig.lobbyConnected());
  rig.lobbySend(kStateQuery);
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmUser) == 1; }, kAnswerMs));
  EXPECT_EQ(rig.lobbyCount(kStateQuery), 0);
  EXPECT_TRUE(rig.running());
}

TEST_F(ClientProcess, ALeaveRequestWhileTheLoginIsAwaitedIsAnsweredAndChangesNothing) {
  startAndLogIn();
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyConnected(); }, kAnswerMs));
  rig.lobbySend(kWmClear);
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kLoginUnderWay) == 1; }, kAnswerMs));
  EXPECT_TRUE(framesOfType(kLeave).empty());
  EXPECT_TRUE(rig.serverConnected());
  EXPECT_TRUE(rig.running());
}

TEST_F(ClientProcess, ALeaveRequestSendsTheLeaveFrameAndAnswersWmUser) {
  startAndLogIn();
  acceptLogin(0x12, 0x34);
  rig.lobbySend(kWmClear);
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmUser) == 1; }, kAnswerMs))
      << rig.stderrText();
  const std::vector<Frame> leave = framesOfType(kLeave);
  ASSERT_EQ(leave.size(), 1u);
  EXPECT_TRUE(OperandsZero(leave[0]));
  EXPECT_EQ(leave[0][260], 0);  // the leave frame carries no token
  EXPECT_EQ(leave[0][261], 0);
  // Back in the lobby state: the client closed the game socket and keeps running.
  EXPECT_TRUE(rig.waitFor([&] { return rig.serverPeerClosed(); }, kAnswerMs));
  EXPECT_TRUE(rig.running());
}

TEST_F(ClientProcess, ARefusedLoginRestoresTheLobbyAndEndsCleanly) {
  startAndLogIn();
  rig.serverSend(ServerFrame(kLoginResult, {0, 0, 0, 3}, 0, 9));
  expectCleanEnd();
  EXPECT_TRUE(
      rig.waitFor([&] { return rig.lobbyCount(kWmSysCommand, kScRestore) == 1; }, kAnswerMs));
  // WM_ENDSESSION before the login, and again for the refusal.
  EXPECT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmEndSession) == 2; }, kAnswerMs));
}

TEST_F(ClientProcess, TheServerClosingOutsideAHandTakesTheClientBackToTheLobby) {
  startAndLogIn();
  acceptLogin(0, 2);
  rig.serverClose();
  ASSERT_TRUE(
      rig.waitFor([&] { return rig.lobbyCount(kWmSysCommand, kScRestore) == 1; }, kAnswerMs))
      << rig.stderrText();
  EXPECT_TRUE(rig.running());
}

TEST_F(ClientProcess, ARefusedConnectionTakesTheClientBackToTheLobby) {
  // A bound socket that does not listen refuses every connection to its port.
  const int closedPort = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(closedPort, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(closedPort, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::getsockname(closedPort, reinterpret_cast<sockaddr*>(&a), &len), 0);
  const std::string line =
      "acc$key$127.0.0.1$" + std::to_string(ntohs(a.sin_port)) + "$T1$0$$0$$$0$$$";
  rig.start({line});
  const bool back =
      rig.waitFor([&] { return rig.lobbyCount(kWmSysCommand, kScRestore) == 1; }, kStartMs);
  ::close(closedPort);
  ASSERT_TRUE(back) << rig.stderrText();
  EXPECT_FALSE(rig.serverConnected());
  EXPECT_TRUE(rig.running());
  // The box follows the return to the lobby.
  EXPECT_TRUE(rig.waitFor(
      [&] {
        return rig.stderrText().find("无法连接游戏服务器，请检查网络后重新入座！") !=
               std::string::npos;
      },
      kAnswerMs))
      << rig.stderrText();
}

// The client's bound on a connection attempt that neither stands nor fails.
constexpr int kConnectBoundMs = 20000;

TEST_F(ClientProcess, AServerHostThatDoesNotResolveIsReportedAndTheClientGoesBack) {
  rig.start({"acc$key$no-such-host.invalid$7000$T1$0$$0$$$0$$$"});
  // The name lookup fails at once or within the bounded wait for a connection.
  const bool back = rig.waitFor([&] { return rig.lobbyCount(kWmSysCommand, kScRestore) == 1; },
                                kStartMs + kConnectBoundMs);
  ASSERT_TRUE(back) << rig.stderrText();
  EXPECT_TRUE(rig.waitFor(
      [&] {
        return rig.stderrText().find("无法连接游戏服务器，请检查网络后重新入座！") !=
               std::string::npos;
      },
      kAnswerMs))
      << rig.stderrText();
  EXPECT_TRUE(rig.running());
}

TEST_F(ClientProcess, TheServerClosingWithTheLobbyGoneEndsTheClient) {
  startAndLogIn();
  acceptLogin(0, 3);
  rig.stopLobby();
  rig.serverClose();
  expectCleanEnd();
  EXPECT_EQ(rig.lobbyCount(kWmSysCommand, kScRestore), 0);
}

TEST_F(ClientProcess, ThroughARealSocks5ProxyTheLoginFrameIsTheFirstFrame) {
  const std::uint16_t proxy = rig.startSocks5("proxyuser", "pr0xy-pw");
  if (proxy == 0) GTEST_SKIP() << "microsocks is not installed";
  rig.start({rig.proxyLine("viaproxy", "key9", proxy, "proxyuser", "pr0xy-pw")});
  ASSERT_TRUE(rig.waitFor([&] { return !rig.framesReceived().empty(); }, kStartMs))
      << rig.stderrText();
  const Frame f = rig.framesReceived().front();
  EXPECT_EQ(f[3], 18);
  EXPECT_EQ(Bytes(f, 16, 9), std::string("viaproxy\0", 9));
  EXPECT_EQ(Bytes(f, 32, 5), std::string("key9\0", 5));
  // The open tunnel is announced to the lobby; the login then works as direct.
  EXPECT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmClear) == 1; }, kAnswerMs));
  rig.serverSend(ServerFrame(kLoginResult, {15, 15, 0, 1}, 0x0A, 0x0B));
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmClear) == 2; }, kAnswerMs));
  rig.lobbySend(kStateQuery);
  EXPECT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmUser) == 1; }, kAnswerMs));
}

TEST_F(ClientProcess, ThroughARealSocks5ProxyAServerNamedByHostIsReached) {
  const std::uint16_t proxy = rig.startSocks5("proxyuser", "pr0xy-pw");
  if (proxy == 0) GTEST_SKIP() << "microsocks is not installed";
  // The proxy connects to the name's first address; the test server is on 127.0.0.1.
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo("localhost", nullptr, &hints, &found) != 0 || found == nullptr)
    GTEST_SKIP() << "localhost does not resolve here";
  const bool loopback4 =
      found->ai_family == AF_INET &&
      reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr == htonl(INADDR_LOOPBACK);
  ::freeaddrinfo(found);
  if (!loopback4) GTEST_SKIP() << "localhost resolves to another address first here";
  std::string line = rig.proxyLine("byname", "key9", proxy, "proxyuser", "pr0xy-pw");
  // The game server by name: the proxy resolves "localhost" itself.
  line.replace(line.find("$127.0.0.1$"), 11, "$localhost$");
  rig.start({line});
  ASSERT_TRUE(rig.waitFor([&] { return !rig.framesReceived().empty(); }, kStartMs))
      << rig.stderrText();
  EXPECT_EQ(rig.framesReceived().front()[3], 18);
  EXPECT_EQ(rig.stderrText().find("messagebox"), std::string::npos) << rig.stderrText();
}

TEST_F(ClientProcess, AWrongProxyPasswordIsReportedAndNoLoginGoesOut) {
  const std::uint16_t proxy = rig.startSocks5("proxyuser", "pr0xy-pw");
  if (proxy == 0) GTEST_SKIP() << "microsocks is not installed";
  rig.start({rig.proxyLine("viaproxy", "key9", proxy, "proxyuser", "wrong")});
  ASSERT_TRUE(rig.waitFor(
      [&] { return rig.stderrText().find("代理服务器用户验证失败！") != std::string::npos; },
      kStartMs))
      << rig.stderrText();
  EXPECT_FALSE(rig.serverConnected());
  EXPECT_TRUE(rig.framesReceived().empty());
  EXPECT_TRUE(rig.running());
}

TEST(UnattendedClientProcess, FindsTheLobbyByTheCaptionItWasGiven) {
  // "测试 Lobby" as its socket file name, encoded by hand.
  Rig rig("%E6%B5%8B%E8%AF%95%20Lobby.sock");
  const std::string line = "robot$key$127.0.0.1$" + std::to_string(rig.serverPort()) +
                           "$T1$0$$0$$$1$测试 Lobby$Robot table$";
  // A shell may split the line at its blanks; the client joins the pieces again.
  const std::size_t blank = line.find(' ');
  rig.start({line.substr(0, blank), line.substr(blank + 1)});
  ASSERT_TRUE(rig.waitFor([&] { return !rig.framesReceived().empty(); }, kStartMs))
      << rig.stderrText();
  EXPECT_EQ(Bytes(rig.framesReceived().front(), 16, 6), std::string("robot\0", 6));
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmEndSession) == 1; }, kAnswerMs));
  rig.lobbySend(kStateQuery);
  EXPECT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmUser) == 1; }, kAnswerMs));
}

TEST_F(ClientProcess, ALobbyLineThatLooksLikeAToolkitOptionIsStillTheHandOver) {
  // "-platform" followed by a word would choose a window system for a GUI
  // toolkit that read its options from the command line.
  rig.start({"-platform", rig.playerLine("acc", "key")});
  ASSERT_TRUE(
      rig.waitFor([&] { return !rig.framesReceived().empty() || !rig.running(); }, kStartMs));
  ASSERT_TRUE(rig.running()) << rig.stderrText();
  EXPECT_EQ(Bytes(rig.framesReceived().front(), 16, 14), std::string("-platform acc\0", 14));
}

TEST_F(ClientProcess, AFloodFromTheServerRestoresTheLobbyAndEndsCleanly) {
  startAndLogIn();
  // 160 frames at once: more than the receive ring holds before the pump
  // has taken even a few of them out.
  Frame junk = ServerFrame(25);
  for (int i = 0; i < 160; ++i) rig.serverSend(junk);
  expectCleanEnd();
  EXPECT_TRUE(
      rig.waitFor([&] { return rig.lobbyCount(kWmSysCommand, kScRestore) == 1; }, kAnswerMs));
}

TEST_F(ClientProcess, TheReferenceServerAcceptsTheLoginAndTheLeave) {
  const std::uint16_t server = rig.startReferenceServer();
  if (server == 0) GTEST_SKIP() << "tavrenmj-server is not built";
  rig.start({"e2e$table=0$127.0.0.1$" + std::to_string(server) + "$T1$0$$0$$$0$$$"});
  // An independent implementation of the protocol takes the login frame.
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmClear) == 1; }, kStartMs))
      << "login not accepted; stderr:\n"
      << rig.stderrText();
  // The table's first hand waits for its ready timeout; the seat is left before.
  rig.lobbySend(kWmClear);
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(kWmUser) == 1; }, kAnswerMs))
      << rig.stderrText();
  EXPECT_TRUE(rig.running());
}

TEST_F(ClientProcess, SigtermStopsARunningClient) {
  startAndLogIn();  // sound is open by now: the mixer must not swallow the signal
  ASSERT_EQ(::kill(rig.pid(), SIGTERM), 0);
  ASSERT_TRUE(rig.waitFor([&] { return !rig.running(); }, kAnswerMs));
  EXPECT_FALSE(rig.ended()->exited);
  EXPECT_EQ(rig.ended()->status, SIGTERM);
}

TEST_F(ClientProcess, ARefusedLoginWithTheLobbyGoneStillEndsCleanly) {
  startAndLogIn();
  rig.stopLobby();
  rig.serverSend(ServerFrame(kLoginResult, {0, 0, 0, 3}));
  expectCleanEnd();
}

TEST_F(ClientProcess, WithoutACommandLineTheClientSaysItNeedsTheLobbyAndEnds) {
  rig.start({});
  expectCleanEnd(2);  // not started as designed: a usage error
  EXPECT_NE(rig.stderrText().find("messagebox: 警告: 本游戏需从游戏大厅中启动！\n"),
            std::string::npos)
      << rig.stderrText();
  EXPECT_NE(rig.stderrText().find("To play, run tavrenmj-play"), std::string::npos)
      << rig.stderrText();
  EXPECT_FALSE(rig.serverConnected());
}

TEST_F(ClientProcess, ACommandLineThatCannotBeParsedRestoresTheLobbyAndEnds) {
  rig.start({"acc$key$127.0.0.1$port$T1$0$$0$$$0$$$"});
  expectCleanEnd(2);
  EXPECT_TRUE(
      rig.waitFor([&] { return rig.lobbyCount(kWmSysCommand, kScRestore) == 1; }, kAnswerMs));
  EXPECT_NE(rig.stderrText().find("not a lobby's hand-over"), std::string::npos)
      << rig.stderrText();
  EXPECT_FALSE(rig.serverConnected());
}

TEST_F(ClientProcess, ASecondClientOfTheSameInstanceSaysSoAndEnds) {
  startAndLogIn();
  const int second = rig.start({rig.playerLine("other", "key")}, rig.defaultInstance());
  ASSERT_TRUE(rig.waitFor([&] { return !rig.running(second); }, kStartMs));
  EXPECT_TRUE(rig.ended(second)->exited);
  EXPECT_EQ(rig.ended(second)->status, 0);
  EXPECT_NE(rig.stderrText(second).find("messagebox: 警告: Tavren麻将游戏已经运行！\n"),
            std::string::npos)
      << rig.stderrText(second);
  EXPECT_TRUE(
      rig.waitFor([&] { return rig.lobbyCount(kWmSysCommand, kScRestore) == 1; }, kAnswerMs));
  // The first client goes on undisturbed with its one connection.
  EXPECT_TRUE(rig.running(0));
  EXPECT_EQ(rig.framesReceived().size(), 1u);
}

}  // namespace
}  // namespace tavren::e2e
