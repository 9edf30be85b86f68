// State of the link: rings, pump schedule, token, login frame and the
// connection settings handed over by the lobby.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/codec.h"
#include "link/ring.h"

namespace tavren {

// The pump's tasks in the order a tick runs them; each has its own counter.
enum PumpTask : int {
  kTaskSend = 1,
  kTaskReceive = 2,
  kTaskLogin = 3,
  kTaskBlink = 4,
  kTaskTurnClock = 5,
  kTaskContinueClock = 6,
  kTaskLinkWatch = 7,
  kTaskClaimWord = 8,
};
inline constexpr int kTickCounters = 9;

inline constexpr int kPumpIntervalMs = 50;
inline constexpr int kKeepAliveIntervalMs = 5000;
inline constexpr std::int32_t kWatchdogLimit = 3000;  // receive runs without a frame, about 5 min
// How long the login task waits for a connection attempt that neither
// connects nor fails before it hands the dead link to the link watch.
// Long enough for any live server, short enough that a user left waiting at
// an empty table learns soon that there is none.
inline constexpr int kConnectWaitLimitMs = 20000;

// Chat lines set aside as they arrive, so that a flood of them never fills the
// receive ring or holds up the game's instructions behind it. Each line keeps
// the number of game frames that were waiting ahead of it, so lines and
// instructions are still handled in the order they came. When it is full the
// oldest line goes: chat may be lost under a flood, the seat never.
struct ChatAside {
  static constexpr std::size_t kLines = 256;  // 2.5 s of a hundred lines a second
  std::array<Frame, kLines> frames{};
  std::array<std::uint32_t, kLines> ahead{};
  std::array<std::int64_t, kLines> arrived{};  // when each line came, for the recording
  std::size_t first = 0;
  std::size_t count = 0;
  std::uint32_t dropped = 0;  // lines lost to a full queue since start-up

  void clear() { first = count = 0; }
  void push(const Frame& f, std::uint32_t framesAhead, std::int64_t arrivedMs = 0);
  // True when the oldest line has no game frame left ahead of it.
  bool frontDue() const { return count > 0 && ahead[first] == 0; }
  const Frame& front() const { return frames[first]; }
  void pop();
  // A game frame left the receive ring from its front.
  void frameTaken();
  // No line waits for more game frames than the ring still holds (the ring
  // may have been emptied under the lines).
  void clampTo(std::uint32_t waitingFrames);
};

struct LinkState {
  FrameRing ReceiveRing;
  // When each frame slot of the receive ring was filled, kept while recording.
  std::array<std::int64_t, kRingBytes / protocol::kFrameSize> ArrivalMs{};
  ChatAside ChatLines;
  FrameRing SendRing;
  std::array<int, kTickCounters> TickCount{};

  // Task gates.
  bool SendPending = false;
  bool DataSeen = false;
  bool LoginPending = false;
  bool BlinkOn = false;
  bool TurnClockOn = false;
  bool ContinueClockOn = false;
  bool LinkWatch = false;
  bool ClaimWordOn = false;

  std::int32_t Watchdog = 0;
  bool LinkReady = false;
  bool TickRunning = false;

  InfoRecord rinfo;
  Frame LastFrame{};
  std::array<std::uint8_t, 2> LinkToken{};
  Frame LoginFrame{};
  bool LoginAwaited = false;
  // The login or resume frame went out on the current connection. Queued
  // requests wait for it: the server takes nothing before it, and on a proxy
  // connection the handshake comes first.
  bool LoginSent = false;
  bool Resumed = false;
  // The last login's connection never stood (refused, no such host, no answer).
  bool ConnectFailed = false;

  // Timeout auto-play.
  int TimeoutCount = 0;
  int AutoPlayAfter = 0;
  bool BossMode = false;

  // Blinking of the last discard.
  int BlinkCount = 0;
  int BlinkTile = -1;

  // Connection settings from the lobby.
  int LinkMode = 0;  // 0 direct, 5 SOCKS5 proxy
  std::string ServerHost;
  std::uint16_t ServerPort = 0;

  // SOCKS5 handshake: replies collect here while LinkReady is false.
  ProxyRing ProxyBuffer;
  std::uint8_t ProxyState = 0;

  // Frames that could not be queued because the send ring was full.
  std::uint32_t DroppedSends = 0;
};

void ClearPumpGates(LinkState& link);

// Empties everything received and not yet handled: the receive ring and the
// chat lines set aside.
void ClearReceived(LinkState& link);

}  // namespace tavren
