// The lobby end of the lobby link: where the lobby listens, the 12-byte message
// records, their names, and the command line it hands to the client.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavren::lobby {

// Window-message numbers the link carries.
inline constexpr std::uint32_t kEndSession =
    0x16;  // client: about to log in; lobby: sit down again
inline constexpr std::uint32_t kSysCommand = 0x112;  // client restores or minimises the lobby
inline constexpr std::uint32_t kClear = 0x303;       // client: logged in; lobby: leave the table
inline constexpr std::uint32_t kUser = 0x400;        // client: idle again; lobby: leave, no answer
inline constexpr std::uint32_t kNewHand = 0x455;
inline constexpr std::uint32_t kHandInProgress = 0x465;  // client: answer; lobby: state query
inline constexpr std::uint32_t kLoginUnderWay = 0x466;
inline constexpr std::uint32_t kRestore = 0xF120, kMinimise = 0xF020;

struct Message {
  std::uint32_t msg = 0, wParam = 0, lParam = 0;
};

std::array<std::uint8_t, 12> encode(const Message& m);
Message decode(const std::uint8_t* bytes);
std::string messageName(const Message& m);

// $TAVREN_LOBBY_DIR, else $XDG_RUNTIME_DIR/tavren-lobby, else /tmp/tavren-lobby-<uid>.
std::string lobbyDirectory();
// Creates the directory (mode 0700) if needed and checks it is fit to hold a
// lobby's socket: a real folder (not a link), the user's own, open to nobody
// else. Otherwise false with the reason in `error` (another local user could
// plant a socket there that the client would talk to).
bool ensureDirectory(const std::string& dir, std::string* error = nullptr);
// The same check without creating anything: the client uses it before it
// connects to a lobby's socket there.
bool privateDirectory(const std::string& dir, std::string* error = nullptr);
// Every UTF-8 byte outside A-Z a-z 0-9 . _ - as %XX.
std::string encodeCaption(std::string_view caption);
std::string socketPath(std::string_view caption);

// What the lobby hands to the client: thirteen "$"-separated fields.
struct HandOver {
  std::string account = "player";
  std::string key;
  std::string host = "127.0.0.1";
  int port = 7000;
  std::string location = "第1桌";
  bool proxy = false;  // mode 5 instead of 0
  std::string proxyHost, proxyUser, proxyPass;
  int proxyPort = 1080;
  bool unattended = false;
  std::string lobbyCaption = "Qixo山庄";
  std::string mainCaption = "Tavren麻将";
  std::optional<std::uint64_t> watchUserId;  // watching this player instead of playing
};

// A player's line ends with "$". A watcher's line has the watched user id where
// the connection mode would stand and no final "$" (see lobby/README.md).
std::string commandLine(const HandOver& h);

// Why a player's name cannot be an account (a sentence in Chinese for the
// window), or empty when it can: 1 to 15 printable ASCII characters, no blank
// and no "$" (the hand-over's separator).
std::string accountProblem(std::string_view name);

// A fresh secret for a seat (32 hex digits from the system's random source);
// empty when there is none.
std::string newSeatPass();
// The folder of the running program.
std::string programFolder();

}  // namespace tavren::lobby
