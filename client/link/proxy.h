// The SOCKS5 handshake (RFC 1928, with RFC 1929 user name and password) that
// runs before the game protocol when the lobby asks for a proxy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavren {

struct Client;

struct ProxySettings {
  std::string ProxyHost;
  std::uint16_t ProxyPort = 0;
  std::string ProxyUser;  // single-byte text
  std::string ProxyPass;
};

// How long StartProxyLink waits for the proxy to accept the connection.
inline constexpr int kProxyConnectLimitMs = 30000;

// Connects to the proxy and sends the greeting; the replies drive ProxyStep.
void StartProxyLink(Client& c);

// Runs the handshake step for the current state, after bytes arrived in the proxy buffer.
void ProxyStep(Client& c);

// Builds the request of the current state (1 greeting, 3 authentication,
// 5 connect), resets the buffer, advances the state and sends the bytes.
void SendProxyRequest(Client& c);

// The request bytes of each state, exposed for tests.
std::vector<std::uint8_t> ProxyRequest(const Client& c, int state);

}  // namespace tavren
