// What the client core asks of the outside world. The core never touches a
// window system, a socket or the sound card directly: the real world (Qt) and
// the simulated world (tests) each implement this interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavren {

// The client's timers. Each has an interval and an enabled state; a timer that
// is enabled fires every interval, counted from the moment it was enabled.
enum class TimerId : int {
  Bong,       // the 50 ms link pump
  KeepAlive,  // a keep-alive request every 5 s
  Chat,       // chat rate limit, 800 ms
  Reconnect,  // reconnection dialog countdown, 1 s
  Count,      // reconnection attempts, 3 s
  Prompt,     // the prompt dialog's 5 s timer
  FadeIn,     // speech bubble fading, 16 ms (kFadeTickMs)
  kCount
};
inline constexpr int kTimerCount = static_cast<int>(TimerId::kCount);

// Socket states as the client reads them; only 7 (connected) matters to most code.
enum SocketState : int {
  kSocketClosed = 0,
  kSocketConnecting = 6,
  kSocketConnected = 7,
  kSocketClosing = 8,  // the peer closed; the client has not closed its side yet
  kSocketError = 9,    // the connection attempt failed
};

// Local wall-clock time, for messages that show the time of day.
struct LocalTime {
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Lobby messages, in both directions.
enum LobbyMessage : std::uint32_t {
  kWmEndSession = 0x16,
  kWmSysCommand = 0x112,
  kWmClear = 0x303,
  kWmUser = 0x400,
  kLobbyNewHand = 0x455,
  kLobbyHandInProgress = 0x465,
  kLobbyLoginUnderWay = 0x466,
};
inline constexpr std::uint32_t kScRestore = 0xF120;
inline constexpr std::uint32_t kScMinimize = 0xF020;

// Outcome of a sound device operation: a missing or unreadable file is
// skipped, a failing device switches sound off.
enum class SoundResult { Ok, FileFailed, DeviceFailed };

// One effect channel and four voice channels. Levels are in hundredths of a
// decibel: 0 is full volume, −800 is 8 dB down.
class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  virtual bool open() = 0;
  // Replaces whatever the effect channel plays.
  virtual SoundResult playEffect(const std::string& path, bool looping) = 0;
  virtual SoundResult stopEffect() = 0;
  virtual bool hasEffect() = 0;  // a file is loaded on the effect channel
  virtual SoundResult setEffectVolume(int hundredthsDb) = 0;
  virtual SoundResult playVoice(int channel, const std::string& path, int hundredthsDb) = 0;
};

// What the system reports of itself: the platform id and major version of
// the system the small windows' translucency was designed for (2 and 5).
struct OsVersion {
  int platform = 0;
  int major = 0;
};

struct PixelSize {
  int w = 0;
  int h = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The screen the main window opens on, in pixels.
  virtual PixelSize screenSize() { return {1280, 1024}; }
  // The system's platform id and major version.
  virtual OsVersion osVersion() { return {}; }

  // Clock: milliseconds of a clock that never jumps back; local time of day.
  virtual std::int64_t nowMillis() = 0;
  virtual LocalTime localTime() = 0;

  // Timers. Enabling a disabled timer (or changing its interval) restarts its period.
  virtual void setTimer(TimerId id, int intervalMs, bool enabled) = 0;

  // Handles pending and arriving events until `untilMillis`, sleeping between
  // them; returns early after `maxEvents` events when that is not zero.
  virtual void processEvents(std::int64_t untilMillis, int maxEvents) = 0;
  // Blocks the whole client for `ms` without handling any event. The real
  // world shows the scene as it stands first.
  virtual void pause(int ms) = 0;

  // The game socket.
  virtual void socketConnect(const std::string& host, std::uint16_t port) = 0;
  virtual int socketState() = 0;
  virtual void socketSend(const std::uint8_t* data, std::size_t size) = 0;
  virtual void socketClose() = 0;

  // The lobby. "Finding the lobby window" means having a live link to the lobby
  // whose window caption is `caption`; send and post write one message record.
  virtual bool lobbyFind(const std::string& caption) = 0;
  virtual void lobbySend(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) = 0;
  virtual void lobbyPost(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) = 0;

  // A modal message box with an OK button (UTF-8 texts).
  virtual void messageBox(const std::string& title, const std::string& text) = 0;

  // Ends the program once control is back at the event entry.
  virtual void requestEnd() = 0;

  // A hand is over and its pictures and records are freed: the memory they
  // held goes back to the system, so a client that plays all evening stays
  // the size it was. Nothing to do where memory is not pooled.
  virtual void releaseFreeMemory() {}

  // The program folder ($TAVRENMJ_HOME, else the executable's folder), with '/'.
  virtual std::string programFolder() = 0;
  // The single-instance lock; false when another client holds it.
  virtual bool acquireInstanceLock() = 0;
  // Opens a web address in the user's browser.
  virtual void openUrl(const std::string& url) = 0;
  virtual SoundDevice& sound() = 0;
};

}  // namespace tavren
