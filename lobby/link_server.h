// The lobby's end of the lobby link: the listening socket of its caption and the
// clients connected to it, without an event loop of its own. The command-line
// lobby polls its descriptors; the window watches them with socket notifiers.
//
// It never lets a client or a local attacker wear it down: every descriptor is
// close-on-exec and non-blocking, a caption another lobby answers on is refused
// (never taken over), accepting backs off when descriptors run out, the number
// of clients is bounded, and a flood of messages is summarised, not printed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lobby/lobby_link.h"

namespace tavren::lobby {

class LinkServer {
 public:
  // Lines worth printing (connections, messages, summaries of floods).
  using Say = std::function<void(const std::string&)>;
  using OnMessage = std::function<void(const Message&)>;

  LinkServer(Say say, OnMessage onMessage);
  ~LinkServer();
  LinkServer(const LinkServer&) = delete;
  LinkServer& operator=(const LinkServer&) = delete;

  // Listens on <directory>/<caption>.sock. The folder is checked first (see
  // ensureDirectory). A socket file another lobby still answers on is refused;
  // one nobody answers on is left over from a lobby that died and is replaced.
  bool listen(const std::string& directory, std::string_view caption, std::string* error);
  const std::string& path() const { return path_; }

  // Descriptors to wait on for reading, and how long at most (ms, -1: no limit).
  std::vector<int> descriptors() const;
  int timeoutMs(std::int64_t nowMs) const;
  // Accepts, reads and dispatches whatever is waiting; never blocks.
  void service(std::int64_t nowMs);

  // Writes a message to every connected client; false when there is none.
  bool broadcast(const Message& m);
  std::size_t clientCount() const { return peers_.size(); }
  // Removes the socket file if it is still this lobby's, and closes everything.
  void close();

  // At most this many clients at once; more are accepted and closed at once.
  static constexpr std::size_t kMaxClients = 16;
  // Messages printed one by one per second; beyond, one summary line a second.
  static constexpr int kPrintedPerSecond = 20;

 private:
  struct Peer {
    int fd = -1;
    std::uint8_t partial[12] = {};
    std::size_t have = 0;
  };
  void acceptAll(std::int64_t nowMs);
  // False when the client is gone.
  bool readPeer(Peer& p, std::int64_t nowMs);
  void received(const Message& m, std::int64_t nowMs);
  void flushSummary(std::int64_t nowMs);

  Say say_;
  OnMessage onMessage_;
  int listener_ = -1;
  std::string path_;
  std::uint64_t inode_ = 0, device_ = 0;
  std::vector<Peer> peers_;
  // Out of descriptors: accepting waits until this time, longer each time.
  std::int64_t acceptAfterMs_ = -1;
  int acceptDelayMs_ = 0;
  std::uint64_t refusedWhileFull_ = 0;
  // Messages of the current second: printed, and counted beyond the limit.
  std::int64_t windowStartMs_ = -1;
  int printedInWindow_ = 0;
  std::uint64_t suppressed_ = 0;
};

}  // namespace tavren::lobby
