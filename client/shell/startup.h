// Start-up from the lobby's command line, the lobby's messages, and close.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tavren {

struct Client;

inline constexpr int kHandOverFields = 13;
inline constexpr std::size_t kAccountBytes = 16;  // login frame bytes 16..31
inline constexpr std::size_t kKeyBytes = 228;     // login frame bytes 32..259

// What the lobby hands over on the command line.
struct HandOver {
  std::array<std::string, kHandOverFields + 1> field{};  // 1..13 as written
  bool watching = false;
  std::int32_t watchedUserId = 0;
  std::uint16_t serverPort = 0;
  int linkMode = 0;
  std::uint16_t proxyPort = 0;
  bool unattended = false;
};

// Parses a trimmed, non-empty command line; nothing when a field cannot be
// used (a port that is not a number, an account or key that is not single-byte text …).
std::optional<HandOver> ParseHandOver(const std::string& line);

// Runs the start-up sequence with the process's command line (its arguments
// joined by single blanks). Ends the program itself when it cannot start.
void StartUp(Client& c, const std::string& commandLine);

// A message from the lobby arrived on the lobby link.
void OnLobbyMessage(Client& c, std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam);

// The lobby's link closed (the lobby ended or dropped the client).
void OnLobbyLinkClosed(Client& c);

// The main window closes.
void ShutDown(Client& c);

}  // namespace tavren
