#include "link/proxy.h"

#include <algorithm>
#include <array>

#include "core/client.h"
#include "core/waits.h"
#include "link/pump.h"

namespace tavren {

namespace {

// Four numbers of a dotted IPv4 address; false when the text is not one.
bool ParseIpv4(const std::string& host, std::uint8_t result[4]) {
  std::uint8_t out[4] = {0, 0, 0, 0};
  int part = 0;
  int value = -1;
  for (char ch : host + ".") {
    if (ch >= '0' && ch <= '9') {
      value = (value < 0 ? 0 : value * 10) + (ch - '0');
      if (value > 255) return false;
    } else if (ch == '.') {
      if (value < 0 || part >= 4) return false;
      out[part++] = static_cast<std::uint8_t>(value);
      value = -1;
    } else {
      return false;
    }
  }
  if (part != 4) return false;
  std::copy(out, out + 4, result);
  return true;
}

void Fail(Client& c, const char* message) {
  c.platform.messageBox(kAppTitle, message);
  c.platform.socketClose();
}

std::uint8_t At(const ProxyRing& buf, std::size_t i) {
  return buf.buf[(buf.read + i) % ProxyRing::kSize];
}

// Length of a connect reply: 4 header bytes, the bound address by its type,
// 2 port bytes. 0 while the type byte has not arrived.
std::size_t ConnectReplyLength(const ProxyRing& buf) {
  if (buf.buffered() < 4) return 0;
  switch (At(buf, 3)) {
    case 1:
      return 4 + 4 + 2;
    case 4:
      return 4 + 16 + 2;
    case 3:
      return buf.buffered() < 5 ? 0 : 4 + 1 + At(buf, 4) + 2;
    default:
      return 4 + 4 + 2;  // unknown type: read as IPv4
  }
}

// Bytes past the reply already belong to the game protocol.
void MoveExtraBytesToReceiveRing(Client& c, std::size_t replyLength) {
  ProxyRing& buf = c.link.ProxyBuffer;
  std::array<std::uint8_t, ProxyRing::kSize> extra{};
  std::size_t n = 0;
  while (buf.buffered() > replyLength && n < extra.size()) {
    extra[n++] = At(buf, replyLength);
    buf.read = static_cast<std::uint32_t>((buf.read + 1) % ProxyRing::kSize);
  }
  // Only where the ring has room; more is the ring's overrun.
  if (n > 0) AppendReceived(c, extra.data(), n);
}

}  // namespace

std::vector<std::uint8_t> ProxyRequest(const Client& c, int state) {
  const ProxySettings& p = c.proxy;
  std::vector<std::uint8_t> out;
  switch (state) {
    case 1:
      out = {5, 2, 0, 2};
      break;
    case 3:
      // Lengths are one byte; the lobby hands over short single-byte texts.
      out.push_back(1);
      out.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(p.ProxyUser.size(), 255)));
      out.insert(out.end(), p.ProxyUser.begin(), p.ProxyUser.begin() + out.back());
      out.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(p.ProxyPass.size(), 255)));
      out.insert(out.end(), p.ProxyPass.begin(), p.ProxyPass.begin() + out.back());
      break;
    case 5: {
      const std::string& host = c.link.ServerHost;
      const auto port = {static_cast<std::uint8_t>(c.link.ServerPort >> 8),
                         static_cast<std::uint8_t>(c.link.ServerPort & 0xFF)};
      std::uint8_t ip[4] = {0, 0, 0, 0};
      if (ParseIpv4(host, ip)) {
        out = {5, 1, 0, 1, ip[0], ip[1], ip[2], ip[3]};
      } else if (!host.empty() && host.size() <= 255) {
        // A host name goes to the proxy as a name, for the proxy to resolve.
        out = {5, 1, 0, 3, static_cast<std::uint8_t>(host.size())};
        out.insert(out.end(), host.begin(), host.end());
      } else {
        break;  // no name the request can carry: no request
      }
      out.insert(out.end(), port);
      break;
    }
    default:
      break;
  }
  return out;
}

void SendProxyRequest(Client& c) {
  std::vector<std::uint8_t> bytes = ProxyRequest(c, c.link.ProxyState);
  if (c.link.ProxyState == 5 && bytes.empty()) {
    Fail(c, "游戏服务器地址无效，无法通过代理连接！");
    return;
  }
  c.link.ProxyBuffer.clear();
  if (c.link.ProxyState == 1 || c.link.ProxyState == 3 || c.link.ProxyState == 5)
    ++c.link.ProxyState;
  if (!bytes.empty()) c.platform.socketSend(bytes.data(), bytes.size());
}

void StartProxyLink(Client& c) {
  c.link.LinkReady = false;
  OpenConnection(c, c.proxy.ProxyHost, c.proxy.ProxyPort);
  WaitUntil(
      c, [&] { return c.platform.socketState() != kSocketConnecting; }, kProxyConnectLimitMs);
  if (c.platform.socketState() != kSocketConnected) {
    // The proxy cannot be reached: say so rather than wait for ever.
    Fail(c, "请求代理失败！");
    return;
  }
  c.link.LoginAwaited = true;
  c.link.ProxyState = 0;
  c.link.ProxyBuffer.clear();
  c.link.ProxyState = 1;
  SendProxyRequest(c);
  c.link.LinkWatch = true;
  c.link.TickCount[kTaskLinkWatch] = 0;
}

void ProxyStep(Client& c) {
  LinkState& link = c.link;
  const ProxyRing& buf = link.ProxyBuffer;
  // A reply may arrive split: wait until its first two bytes are here.
  if (buf.buffered() < 2) {
    if (link.ProxyState == 2 || link.ProxyState == 4 || link.ProxyState == 6) return;
  }
  const std::uint8_t b0 = At(buf, 0);
  const std::uint8_t b1 = At(buf, 1);
  switch (link.ProxyState) {
    case 2:
      if (b0 == 5 && (b1 == 2 || b1 == 0)) {
        link.ProxyState = b1 == 2 ? 3 : 5;
        SendProxyRequest(c);
      } else {
        Fail(c, "请求代理失败！");
      }
      break;
    case 4:
      if (b0 == 1 && b1 == 0) {
        link.ProxyState = 5;
        SendProxyRequest(c);
      } else {
        Fail(c, "代理服务器用户验证失败！");
      }
      break;
    case 6:
      if (b0 == 5 && b1 == 0) {
        // The reply names the bound address; all of it must be read here, or
        // its tail would reach the game stream once the link is ready.
        const std::size_t length = ConnectReplyLength(buf);
        if (length == 0 || buf.buffered() < length) return;
        link.LinkReady = true;
        MoveExtraBytesToReceiveRing(c, length);
        PostToLobby(c, kWmClear);
        SetSysmsg(c, 0, "连接代理服务器成功！");
        SendLoginFrame(c);
        SetTimer(c, TimerId::Bong, true);
      } else {
        Fail(c, "通过代理连接主站失败！");
      }
      break;
    default:
      break;
  }
}

}  // namespace tavren
