#include "shell/startup.h"

#include "core/client.h"

namespace tavren {

void StartUp(Client& c, const std::string&) {
  RunEvent(c, [&] { c.log.record("StartUp"); });
}

void OnLobbyMessage(Client& c, std::uint32_t, std::uint32_t, std::uint32_t) {
  RunEvent(c, [&] { c.log.record("OnLobbyMessage"); });
}

void ShutDown(Client& c) {
  RunEvent(c, [&] { c.log.record("ShutDown"); });
}

}  // namespace tavren
