// Start-up from the lobby's command line, the lobby's messages, and close.
#pragma once

#include <cstdint>
#include <string>

namespace tavren {

struct Client;

// Runs the start-up sequence with the process's command line (its arguments
// joined by single blanks). Ends the program itself when it cannot start.
void StartUp(Client& c, const std::string& commandLine);

// A message from the lobby arrived on the lobby link.
void OnLobbyMessage(Client& c, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam);

// The main window closes.
void ShutDown(Client& c);

}  // namespace tavren
