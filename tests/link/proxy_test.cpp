// The SOCKS5 handshake against a scripted proxy in the simulated world.
#include "link/proxy.h"

#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::SimClient;

constexpr const char* kProxyHost = "10.0.0.9";
constexpr std::uint16_t kProxyPort = 1080;

struct ProxyHarness {
  SimClient s;
  sim::ScriptedPeer proxy{s.world, kProxyHost, kProxyPort};
  std::vector<std::vector<std::uint8_t>> requests;  // each block the client sent

  ProxyHarness() {
    s.c.proxy.ProxyHost = kProxyHost;
    s.c.proxy.ProxyPort = kProxyPort;
    s.c.proxy.ProxyUser = "us";
    s.c.proxy.ProxyPass = "pwd";
    s.c.link.ServerHost = "10.0.0.7";
    s.c.link.ServerPort = 8000;
    s.c.link.LinkMode = 5;
    s.c.link.LoginFrame[3] = 18;
    s.c.link.LoginFrame[16] = 'a';
  }
  void Start() {
    RunEvent(s.c, [&] { StartProxyLink(s.c); });
    s.Run(10);
  }
  // Bytes the client sent since the last call.
  std::vector<std::uint8_t> Sent() {
    const auto& all = proxy.last()->received();
    std::vector<std::uint8_t> out(all.begin() + static_cast<std::ptrdiff_t>(seen), all.end());
    seen = all.size();
    return out;
  }
  void Reply(std::vector<std::uint8_t> bytes, std::vector<std::size_t> chunks = {}) {
    proxy.last()->setChunks(std::move(chunks));
    proxy.last()->send(bytes);
    s.Run(10);
  }
  std::size_t seen = 0;
};

using Bytes = std::vector<std::uint8_t>;

TEST(Proxy, FullHandshakeWithAuthenticationThenTheLoginFrame) {
  ProxyHarness h;
  h.Start();
  EXPECT_EQ(h.Sent(), (Bytes{5, 2, 0, 2}));
  EXPECT_FALSE(h.s.c.link.LinkReady);
  EXPECT_TRUE(h.s.c.link.LoginAwaited);
  EXPECT_TRUE(h.s.c.link.LinkWatch);
  h.Reply({5, 2});
  EXPECT_EQ(h.Sent(), (Bytes{1, 2, 'u', 's', 3, 'p', 'w', 'd'}));
  h.Reply({1, 0});
  EXPECT_EQ(h.Sent(), (Bytes{5, 1, 0, 1, 10, 0, 0, 7, 0x1F, 0x40}));
  h.Reply({5, 0, 0, 1, 10, 0, 0, 9, 0x04, 0x38});
  EXPECT_TRUE(h.s.c.link.LinkReady);
  const Bytes login = h.Sent();
  ASSERT_EQ(login.size(), 272u);
  EXPECT_EQ(login[3], 18);
  EXPECT_EQ(login[16], 'a');
  EXPECT_EQ(h.s.c.view.Sysmsg[0].text(), "连接代理服务器成功！");
  EXPECT_EQ(h.s.platform.lobby.count(kWmClear), 1);
  EXPECT_TRUE(TimerEnabled(h.s.c, TimerId::Bong));
  EXPECT_EQ(h.s.c.link.ReceiveRing.buffered(), 0u);  // nothing of the reply reached the game stream
}

TEST(Proxy, NoAuthenticationGoesStraightToConnect) {
  ProxyHarness h;
  h.Start();
  h.Sent();
  h.Reply({5, 0});
  EXPECT_EQ(h.Sent(), (Bytes{5, 1, 0, 1, 10, 0, 0, 7, 0x1F, 0x40}));
}

TEST(Proxy, EmptyUserAndPasswordStillAuthenticate) {
  ProxyHarness h;
  h.s.c.proxy.ProxyUser.clear();
  h.s.c.proxy.ProxyPass.clear();
  h.Start();
  h.Sent();
  h.Reply({5, 2});
  EXPECT_EQ(h.Sent(), (Bytes{1, 0, 0}));
}

TEST(Proxy, RefusalsShowTheirMessageAndCloseTheSocket) {
  struct Case {
    std::vector<Bytes> replies;
    const char* message;
  };
  const Case cases[] = {
      {{{5, 255}}, "请求代理失败！"},
      {{{4, 0}}, "请求代理失败！"},
      {{{5, 2}, {1, 1}}, "代理服务器用户验证失败！"},
      {{{5, 0}, {5, 5, 0, 1, 0, 0, 0, 0, 0, 0}}, "通过代理连接主站失败！"},
  };
  for (const auto& k : cases) {
    ProxyHarness h;
    h.Start();
    for (const Bytes& r : k.replies) h.Reply(r);
    ASSERT_EQ(h.s.platform.messageBoxes.size(), 1u) << k.message;
    EXPECT_EQ(h.s.platform.messageBoxes[0].text, k.message);
    EXPECT_EQ(h.s.platform.socketState(), kSocketClosed);
    EXPECT_FALSE(h.s.c.link.LinkReady);
    EXPECT_FALSE(TimerEnabled(h.s.c, TimerId::Bong));
  }
}

TEST(Proxy, RepliesSplitIntoSingleBytesAreReadWhole) {
  ProxyHarness h;
  h.Start();
  h.Sent();
  h.Reply({5, 2}, {1});
  EXPECT_EQ(h.Sent().size(), 8u);
  h.Reply({1, 0}, {1});
  EXPECT_EQ(h.Sent().size(), 10u);
  // The connect reply in pieces, and the server's first frame right behind it.
  Bytes reply = {5, 0, 0, 1, 10, 0, 0, 9, 0x04, 0x38};
  Frame first = testing::ServerFrame(33, 1, {}, 0x0A0B);
  reply.insert(reply.end(), first.begin(), first.end());
  h.Reply(reply, {1, 2, 3, 300});
  EXPECT_TRUE(h.s.c.link.LinkReady);
  EXPECT_EQ(h.Sent().size(), 272u);
  h.s.Run(500);
  EXPECT_EQ(h.s.c.link.LinkToken, (std::array<std::uint8_t, 2>{0x0A, 0x0B}));
  EXPECT_TRUE(h.s.platform.messageBoxes.empty());
}

TEST(Proxy, AnUnreachableProxyIsReportedInsteadOfAwaitedForEver) {
  ProxyHarness h;
  h.s.c.proxy.ProxyPort = 1;  // nobody listens
  h.Start();
  ASSERT_EQ(h.s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(h.s.platform.messageBoxes[0].text, "请求代理失败！");
  EXPECT_FALSE(h.s.c.link.LoginAwaited);
}

TEST(Proxy, ConnectRequestBytes) {
  const std::string longest(255, 'h');
  Bytes longestRequest(5 + 255 + 2, 'h');
  for (std::size_t i : {0, 1, 2, 3, 4}) longestRequest[i] = Bytes{5, 1, 0, 3, 255}[i];
  longestRequest[260] = 0x1F;
  longestRequest[261] = 0x40;
  struct Case {
    std::string host;
    Bytes request;
  } cases[] = {
      {"10.0.0.7", {5, 1, 0, 1, 10, 0, 0, 7, 0x1F, 0x40}},
      // A host name (or anything else that is no IPv4 address) goes as a name.
      {"mj.example.org", {5,   1,   0,   3,   14,  'm', 'j', '.', 'e',  'x', 'a',
                          'm', 'p', 'l', 'e', '.', 'o', 'r', 'g', 0x1F, 0x40}},
      {"192.168.300.1", {5,   1,   0,   3,   13,  '1', '9', '2', '.',  '1',
                         '6', '8', '.', '3', '0', '0', '.', '1', 0x1F, 0x40}},
      {longest, longestRequest},
      // Nothing a request can carry: no request at all.
      {"", {}},
      {std::string(256, 'h'), {}},
  };
  for (const Case& k : cases) {
    SimClient s;
    s.c.link.ServerHost = k.host;
    s.c.link.ServerPort = 8000;
    EXPECT_EQ(ProxyRequest(s.c, 5), k.request) << k.host;
  }
}

TEST(Proxy, AServerNamedByHostGoesToTheProxyAsAName) {
  ProxyHarness h;
  h.s.c.link.ServerHost = "mj.example.org";
  h.Start();
  h.Sent();
  h.Reply({5, 2});
  h.Sent();
  h.Reply({1, 0});
  const Bytes connect = h.Sent();
  ASSERT_EQ(connect.size(), 5u + 14 + 2);
  EXPECT_EQ(connect[3], 3);
  EXPECT_EQ(connect[4], 14);
  EXPECT_EQ(std::string(connect.begin() + 5, connect.begin() + 19), "mj.example.org");
  h.Reply({5, 0, 0, 1, 1, 2, 3, 4, 0, 80});
  EXPECT_TRUE(h.s.c.link.LinkReady);
  EXPECT_EQ(h.Sent().size(), 272u);  // the login frame
  EXPECT_TRUE(h.s.platform.messageBoxes.empty());
}

TEST(Proxy, AServerHostNoRequestCanCarryIsRefusedWithAMessage) {
  ProxyHarness h;
  h.s.c.link.ServerHost = std::string(300, 'h');
  h.Start();
  h.Sent();
  h.Reply({5, 0});
  EXPECT_TRUE(h.Sent().empty());
  ASSERT_EQ(h.s.platform.messageBoxes.size(), 1u);
  EXPECT_EQ(h.s.platform.messageBoxes[0].text, "游戏服务器地址无效，无法通过代理连接！");
  EXPECT_FALSE(h.s.c.link.LinkReady);
}

}  // namespace
}  // namespace tavren
