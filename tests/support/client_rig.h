// A real tavrenmj process on loopback: a scripted game server (TCP), a
// scripted lobby (Unix socket in a private lobby folder) and the client's
// standard error, all watched with poll() against deadlines.
#pragma once

#include <sys/types.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavren::e2e {

using Frame = std::array<std::uint8_t, 272>;

struct LobbyRecord {
  std::uint32_t message, wParam, lParam;
};

// A frame from the server: type, four big-endian operands, token bytes 260..261.
Frame ServerFrame(int type, std::array<int, 4> values = {}, std::uint8_t token0 = 0,
                  std::uint8_t token1 = 0);

// A private folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct ProcessEnd {
  bool exited = false;
  int status = 0;  // exit status, or the signal number when not exited
};

class Rig {
 public:
  static constexpr const char* kLobbyCaption = "Qixo山庄";

  // The lobby's socket file for the caption "Qixo山庄", written out by hand so
  // the client's own encoder is checked against it.
  static constexpr const char* kDefaultLobbySocket = "Qixo%E5%B1%B1%E5%BA%84.sock";

  explicit Rig(std::string lobbySocketName = kDefaultLobbySocket);
  ~Rig();
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  std::uint16_t serverPort() const { return port_; }
  // The thirteen fields of a player's hand-over to this rig's server.
  std::string playerLine(const std::string& account, const std::string& key) const;

  // Starts a client with these arguments and returns its number (0 for the
  // first). Clients of one rig share its folders; `instance` names the lock,
  // a fresh name for each rig when empty.
  int start(const std::vector<std::string>& arguments, const std::string& instance = "");
  std::string defaultInstance() const;

  // Handles whatever arrives until `done()` holds or `ms` pass; true when done.
  bool waitFor(const std::function<bool()>& done, int ms);

  // Starts microsocks on loopback with this user and password and returns its
  // port once it accepts connections; 0 when microsocks is not installed.
  std::uint16_t startSocks5(const std::string& user, const std::string& password);
  // Starts the reference game server (tavrenmj-server) on loopback and returns
  // its port once it listens; 0 when it is not built.
  std::uint16_t startReferenceServer();
  // The hand-over of a player who reaches this rig's server through a proxy.
  std::string proxyLine(const std::string& account, const std::string& key, std::uint16_t proxyPort,
                        const std::string& user, const std::string& password) const;

  // Server side.
  bool serverConnected() const { return conn_ >= 0; }
  bool serverPeerClosed() const { return connClosed_; }
  std::vector<Frame> framesReceived() const;
  void serverSend(const Frame& f);
  void serverClose();

  // Lobby side.
  bool lobbyConnected() const { return !lobbyConns_.empty() && lobbyConns_.back().fd >= 0; }
  const std::vector<LobbyRecord>& lobbyRecords() const { return lobbyRecords_; }
  int lobbyCount(std::uint32_t message, std::optional<std::uint32_t> wParam = {}) const;
  void lobbySend(std::uint32_t message, std::uint32_t wParam = 0, std::uint32_t lParam = 0);
  void stopLobby();  // the lobby window goes away

  // The client processes.
  const std::string& stderrText(int client = 0) const { return procs_.at(client).err; }
  std::optional<ProcessEnd> ended(int client = 0) const { return procs_.at(client).end; }
  bool running(int client = 0) const { return !procs_.at(client).end; }
  pid_t pid(int client = 0) const { return procs_.at(client).pid; }
  // Millisecond stamps (steady clock) of arrivals, for ordering checks.
  std::int64_t now() const;

 private:
  struct Proc {
    pid_t pid = -1;
    int pidFd = -1;
    int errFd = -1;
    std::string err;
    std::optional<ProcessEnd> end;
  };
  struct LobbyConn {
    int fd = -1;
    std::vector<std::uint8_t> pending;
  };
  void pollOnce(int timeoutMs);
  // Starts a helper program listening on a free loopback port given after
  // `portOption`; returns the port once it accepts connections, 0 when the
  // program is not there.
  std::uint16_t startHelper(std::vector<std::string> args, const std::string& portOption);
  void reap(Proc& p);

  TempDir dir_;
  std::string lobbySocketName_;
  std::string home_, lobbyDir_, runtimeDir_;
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  int conn_ = -1;
  bool connClosed_ = false;
  std::vector<std::uint8_t> received_;
  int lobbyListen_ = -1;
  std::vector<LobbyConn> lobbyConns_;
  std::vector<LobbyRecord> lobbyRecords_;
  std::vector<Proc> procs_;
  std::vector<pid_t> helpers_;  // proxies and the like, stopped at the end
  std::chrono::steady_clock::time_point t0_ = std::chrono::steady_clock::now();
};

}  // namespace tavren::e2e
