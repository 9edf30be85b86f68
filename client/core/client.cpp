#include "core/client.h"

#include <algorithm>

#include "link/pump.h"
#include "replay/recorder.h"

namespace tavren {

namespace {

int DefaultInterval(TimerId id) {
  switch (id) {
    case TimerId::Bong:
      return kPumpIntervalMs;
    case TimerId::KeepAlive:
      return kKeepAliveIntervalMs;
    case TimerId::Chat:
      return 800;
    case TimerId::Reconnect:
      return 1000;
    case TimerId::Count:
      return 3000;
    case TimerId::Prompt:
      return 5000;
    case TimerId::FadeIn:
      return kFadeTickMs;
    case TimerId::kCount:
      break;
  }
  return 1000;
}

}  // namespace

void CallLog::record(const char* name) {
  if (calls.size() >= kKept) calls.erase(calls.begin());
  calls.emplace_back(name);
  for (auto& [n, total] : totals)
    if (n == name) {
      ++total;
      return;
    }
  totals.emplace_back(name, 1);
}

int CallLog::count(const std::string& name) const {
  for (const auto& [n, total] : totals)
    if (n == name) return total;
  return 0;
}

Client::Client(Platform& p) : platform(p) {
  InstallHandlers(handlers);
  for (int i = 0; i < kTimerCount; ++i)
    timers[i].intervalMs = DefaultInterval(static_cast<TimerId>(i));
}

// Out of line: the recorder is complete only here.
Client::~Client() = default;

void EndProgram(Client& c) {
  if (!c.ended) {
    c.ended = true;
    c.platform.requestEnd();
  }
  throw ProgramEnd{};
}

void SetTimer(Client& c, TimerId id, bool enabled) {
  TimerSetting& t = c.timers[static_cast<int>(id)];
  if (t.enabled == enabled) return;
  t.enabled = enabled;
  c.platform.setTimer(id, t.intervalMs, enabled);
}

void SetTimerInterval(Client& c, TimerId id, int intervalMs) {
  TimerSetting& t = c.timers[static_cast<int>(id)];
  if (t.intervalMs == intervalMs) return;
  t.intervalMs = intervalMs;
  if (t.enabled) c.platform.setTimer(id, intervalMs, true);
}

bool TimerEnabled(const Client& c, TimerId id) {
  return c.timers[static_cast<int>(id)].enabled;
}

void OnTimer(Client& c, TimerId id) {
  RunEvent(c, [&] {
    switch (id) {
      case TimerId::Bong:
        PumpTick(c);
        break;
      case TimerId::KeepAlive:
        TimerKeepAlive(c);
        break;
      case TimerId::Reconnect:
        ReconnectTimerTick(c);
        break;
      case TimerId::Count:
        ReconnectCountTick(c);
        break;
      case TimerId::Chat:
        TimerChatTick(c);
        break;
      case TimerId::Prompt:
        PromptTimerTick(c);
        break;
      case TimerId::FadeIn:
        FadeInTick(c);
        break;
      default:
        c.log.record("timer");
        break;
    }
  });
}

void OnDataArrival(Client& c, const std::uint8_t* data, std::size_t size) {
  RunEvent(c, [&] { DataArrival(c, data, size); });
}

void OnSocketClosed(Client& c) {
  RunEvent(c, [&] { SocketClosed(c); });
}

}  // namespace tavren
