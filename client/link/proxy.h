// The SOCKS5 handshake that runs before the game protocol when the lobby
// asks for a proxy.
#pragma once

namespace tavren {

struct Client;

// Runs the handshake step for the current state, after bytes arrived in the proxy buffer.
void ProxyStep(Client& c);

}  // namespace tavren
