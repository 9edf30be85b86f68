// All state of one running client, grouped by the subsystem that owns it, and
// the event entries through which the outside world reaches the core.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "autoplay/autoplay.h"
#include "chat/chat.h"
#include "input/input.h"
#include "link/link.h"
#include "link/proxy.h"
#include "link/reconnect.h"
#include "platform/platform.h"
#include "rules/offer.h"
#include "rules/settlement.h"
#include "shell/shell.h"
#include "sound/settings.h"
#include "sound/sound.h"
#include "table/dispatch.h"
#include "table/hand_end_state.h"
#include "table/model.h"
#include "table/play_state.h"
#include "view/chrome.h"
#include "view/forms.h"
#include "view/scene.h"
#include "view/table_view.h"

namespace tavren {

struct Recorder;

// The program's name, the title of its message boxes.
inline constexpr const char* kAppTitle = "Tavren麻将";

// Thrown to unwind to the event entry once the program is to end. Only the
// event entries catch it.
struct ProgramEnd {};

// A record the client cannot apply (an index out of range, a state that
// cannot be). Inside an instruction handler it restores the lobby and ends.
struct BadRecord : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TimerSetting {
  int intervalMs = 0;
  bool enabled = false;
};

// Operations of later subsystems that are still minimal record their calls
// here, so tests can see that the link asked for them. Auto-play records every
// move, so a client playing all evening keeps only the latest calls in order
// and a running total per name.
struct CallLog {
  static constexpr std::size_t kKept = 64;
  std::vector<std::string> calls;  // the latest calls, oldest first
  std::vector<std::pair<std::string, int>> totals;
  void record(const char* name);
  int count(const std::string& name) const;
};

struct Client {
  explicit Client(Platform& p);
  ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  Platform& platform;
  LinkState link;
  ProxySettings proxy;
  ReconnectState reconnect;
  TableModel table;
  PlayState play;
  HandEndState handEnd;
  OfferState offer;
  SettlementState settlement;
  InputState input;
  AutoPlayState autoplay;
  ChatState chat;
  SoundState sound;
  SoundSettingsState soundSettings;
  ShellState shell;
  MainForm view;
  TableViewState tableView;
  ChromeState chrome;
  FormSet forms;
  Handlers handlers;
  CallLog log;
  // The game being recorded; null when nothing is (tests, the replay player).
  std::unique_ptr<Recorder> recorder;

  std::array<TimerSetting, kTimerCount> timers{};
  bool ended = false;
};

// Ends the program: asks the platform to end and unwinds to the event entry.
[[noreturn]] void EndProgram(Client& c);

// Turns a timer on or off at its own interval.
void SetTimer(Client& c, TimerId id, bool enabled);
void SetTimerInterval(Client& c, TimerId id, int intervalMs);
bool TimerEnabled(const Client& c, TimerId id);

// Event entries: every event from the outside world comes in through one of
// these. After the program has ended they do nothing.
void OnTimer(Client& c, TimerId id);
void OnDataArrival(Client& c, const std::uint8_t* data, std::size_t size);
void OnSocketClosed(Client& c);

// Runs `fn` as one event: stops the unwinding of an ended program here.
template <class F>
void RunEvent(Client& c, F&& fn) {
  if (c.ended) return;
  try {
    fn();
  } catch (const ProgramEnd&) {
  }
}

// Runs `fn` as one event in which any fault restores the lobby and ends the
// client, as a fault in an instruction handler does (start-up, the lobby's
// messages, user input).
template <class F>
void RunGuardedEvent(Client& c, F&& fn) {
  RunEvent(c, [&] {
    try {
      fn();
    } catch (const ProgramEnd&) {
      throw;
    } catch (const std::exception&) {
      RestoreLobby(c);
      EndProgram(c);
    }
  });
}

// Checks an index that came from outside; a bad one fails the handler.
inline int CheckIndex(int i, int size, const char* what) {
  if (i < 0 || i >= size) throw BadRecord(what);
  return i;
}

}  // namespace tavren
