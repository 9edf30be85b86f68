#include "link/pump.h"

#include <algorithm>
#include <exception>
#include <string>

#include "autoplay/autoplay.h"
#include "core/client.h"
#include "core/waits.h"
#include "input/input.h"
#include "link/proxy.h"
#include "link/reconnect.h"
#include "replay/recorder.h"
#include "view/timed.h"

namespace tavren {

namespace p = protocol;

void ClearPumpGates(LinkState& link) {
  link.SendPending = link.DataSeen = link.LoginPending = link.BlinkOn = false;
  link.TurnClockOn = link.ContinueClockOn = link.LinkWatch = link.ClaimWordOn = false;
}

void ClearReceived(LinkState& link) {
  link.ReceiveRing.clear();
  link.ChatLines.clear();
}

void ChatAside::push(const Frame& f, std::uint32_t framesAhead, std::int64_t arrivedMs) {
  if (count == kLines) {
    pop();
    ++dropped;
  }
  const std::size_t at = (first + count) % kLines;
  frames[at] = f;
  ahead[at] = framesAhead;
  arrived[at] = arrivedMs;
  ++count;
}

void ChatAside::pop() {
  if (count == 0) return;
  first = (first + 1) % kLines;
  --count;
}

void ChatAside::frameTaken() {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t& n = ahead[(first + i) % kLines];
    if (n > 0) --n;
  }
}

void ChatAside::clampTo(std::uint32_t waitingFrames) {
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t& n = ahead[(first + i) % kLines];
    if (n > waitingFrames) n = waitingFrames;
  }
}

namespace {

// A statement of the tick that fails is skipped; the tick goes on. Only the
// end of the program unwinds further.
template <class F>
void Statement(F&& fn) {
  try {
    fn();
  } catch (const ProgramEnd&) {
    throw;
  } catch (const std::exception&) {
  }
}

bool Reached(const Client& c, PumpTask task, int threshold) {
  return c.link.TickCount[task] >= threshold;
}

void Settle(Client& c, PumpTask task, int threshold) {
  if (c.link.TickCount[task] >= threshold) c.link.TickCount[task] = 0;
}

bool Connected(Client& c) {
  return c.platform.socketState() == kSocketConnected;
}

void SendTask(Client& c) {
  FrameRing& ring = c.link.SendRing;
  if (ring.buffered() >= p::kFrameSize) {
    if (Connected(c) && c.link.LoginSent) {
      const std::uint8_t* f = ring.buf.data() + ring.read;
      ring.read = static_cast<std::uint32_t>((ring.read + p::kFrameSize) % FrameRing::kSize);
      c.platform.socketSend(f, p::kFrameSize);
      if (c.recorder) RecordSent(c, f);
    }
  } else {
    c.link.SendPending = false;
  }
  c.link.TickCount[kTaskSend] = 0;
}

// The server has been silent for about five minutes of a hand.
void SilentServer(Client& c) {
  if (LobbyExists(c)) {
    c.link.Watchdog = 0;
    ReturnToLobbyWithReason(c, kSilentServerText);
  } else {
    c.link.Watchdog = 0;
    EndProgram(c);
  }
}

std::uint32_t GameFramesWaiting(const LinkState& link) {
  return static_cast<std::uint32_t>(link.ReceiveRing.buffered() / p::kFrameSize);
}

void AfterDecode(Client& c) {
  if (c.table.HandInProgress) c.link.Watchdog = 0;
  Dispatch(c);
  if (c.shell.LobbyLinkLost) CheckLobbyAfterHand(c);
}

// Hands over every chat line that no waiting game frame precedes. Chat is
// not paced: however fast lines come, each run of the task takes them all.
void DeliverDueChatLines(Client& c) {
  ChatAside& lines = c.link.ChatLines;
  lines.clampTo(GameFramesWaiting(c.link));
  while (lines.frontDue()) {
    const Frame f = lines.front();
    const std::int64_t arrived = lines.arrived[lines.first];
    lines.pop();
    if (c.recorder) {
      RecordTaken(c);  // the game frames taken before this line come first
      RecordReceived(c, f.data(), arrived);
    }
    DecodeFrame(c.link, f);
    AfterDecode(c);
  }
}

void ReceiveTask(Client& c) {
  LinkState& link = c.link;
  if (c.table.HandInProgress && ++link.Watchdog >= kWatchdogLimit) SilentServer(c);
  DeliverDueChatLines(c);
  // Game instructions keep the table's pace: one per run.
  if (link.ReceiveRing.buffered() >= p::kFrameSize) {
    DecodeFrame(c.link);
    link.ChatLines.frameTaken();
    AfterDecode(c);
    DeliverDueChatLines(c);
  }
  link.TickCount[kTaskReceive] = link.ReceiveRing.buffered() < p::kFrameSize ? 0 : 1;
}

void LoginTask(Client& c) {
  if (TakeLoginNotice(c)) PostToLobby(c, kWmEndSession);
  // Wait while the attempt is under way; one that fails (or hangs past the
  // limit) goes to the link watch, which resumes or returns to the lobby.
  WaitUntil(
      c, [&] { return c.platform.socketState() != kSocketConnecting; }, kConnectWaitLimitMs);
  c.link.ConnectFailed = !Connected(c);
  if (Connected(c)) {
    c.link.LoginAwaited = true;
    SendLoginFrame(c);
  } else {
    c.platform.socketClose();
  }
  c.link.LinkWatch = true;
  c.link.TickCount[kTaskLinkWatch] = 0;
  c.link.LoginPending = false;
  c.link.TickCount[kTaskLogin] = 0;
}

void TurnClockTask(Client& c) {
  if (StepCountdown(c)) {
    if (c.offer.Countdown <= 5 && c.sound.SoundOn) PlayEffect(c, kEffectWarning, kWarningVolume);
    return;
  }
  OfferState& o = c.offer;
  if (o.ActionPhase >= 2) return;
  o.ActionPhase = 3;
  if (!c.link.BossMode) {
    ++c.link.TimeoutCount;
    if (c.link.AutoPlayAfter > 0 && c.link.TimeoutCount >= c.link.AutoPlayAfter) BossKeyAction(c);
  }
  if (c.shell.JiaoTouOpen) {
    c.shell.JiaoTouOpen = false;
    if (c.shell.UnattendedMode)
      SendJiaoTouAnswer(c, 5, 5);
    else
      SendJiaoTouAnswer(c, 1, 0);
    UnloadJiaoTouPrompt(c);
  }
  HideCountdown(c);
  o.Countdown = o.TurnTime;
  c.link.TurnClockOn = false;
  if (c.table.custom[0].count > 0) {
    if (c.shell.UnattendedMode && (!o.TingLock || o.HuOffered))
      AutoPlayMove(c);
    else
      TimeoutMove(c);
  }
}

void ContinueClockTask(Client& c) {
  if (StepCountdown(c)) return;
  HideCountdown(c);
  if (!c.table.TableCleared) {
    c.view.AnNiu[2].picture = ButtonPicture(c, 6);
    MarkContinueButton(c, true);
    clearTableModel(c);
    resetTableView(c);
    ResetForNextHand(c);
    c.table.TableCleared = true;
  }
  SendReady(c);
  c.link.ContinueClockOn = false;
}

void LinkWatchTask(Client& c) {
  if (Connected(c)) return;
  // Frames that arrived before the close are the server's last word (a
  // refused login, say): they are handled before the link counts as lost.
  if (c.link.ReceiveRing.buffered() >= p::kFrameSize) return;
  if (!LobbyExists(c)) EndProgram(c);
  if (c.recorder) RecordLink(c, false);
  if (c.table.HandInProgress) {
    c.table.LoginAccepted = false;
    c.link.LinkWatch = false;
    c.link.TickCount[kTaskLinkWatch] = 0;
    OpenReconnectDialog(c);
    return;
  }
  if (c.link.ConnectFailed)
    ReturnToLobbyWithReason(c, kUnreachableServerText);
  else if (!c.table.PlayerLeft)
    ReturnToLobby(c);
  c.link.ContinueClockOn = false;
  c.table.HandInProgress = false;
}

void BlinkTasks(Client& c) {
  Statement([&] { StepDiscardBlink(c); });
  Statement([&] { StepChatButtonFlash(c); });
}

struct ScheduledTask {
  PumpTask task;
  int period;  // in ticks
  bool (*gate)(const Client&);
  void (*run)(Client&);
};

// The tick's tasks in their order.
constexpr ScheduledTask kSchedule[] = {
    {kTaskSend, 1, [](const Client& c) { return c.link.SendPending; }, SendTask},
    {kTaskReceive, 2, [](const Client& c) { return c.link.DataSeen; }, ReceiveTask},
    {kTaskLogin, 4, [](const Client& c) { return c.link.LoginPending; }, LoginTask},
    {kTaskBlink, 8, [](const Client& c) { return c.link.BlinkOn; }, BlinkTasks},
    {kTaskTurnClock, 20,
     [](const Client& c) { return c.link.TurnClockOn && c.table.LoginAccepted; }, TurnClockTask},
    {kTaskContinueClock, 20, [](const Client& c) { return c.link.ContinueClockOn; },
     ContinueClockTask},
    {kTaskLinkWatch, 1, [](const Client& c) { return c.link.LinkWatch; }, LinkWatchTask},
    {kTaskClaimWord, 40, [](const Client& c) { return c.link.ClaimWordOn; }, HideClaimWord},
};

// Re-enables the pump timer when the tick is left, unless the program ended.
struct TickScope {
  Client& c;
  explicit TickScope(Client& client) : c(client) {
    SetTimer(c, TimerId::Bong, false);
    c.link.TickRunning = true;
  }
  ~TickScope() {
    // What this tick took and recorded reaches the file now, even when a
    // handler ended the program: a crash loses no more than this tick.
    if (c.recorder) FlushRecording(c);
    c.link.TickRunning = false;
    if (!c.ended) SetTimer(c, TimerId::Bong, true);
  }
  TickScope(const TickScope&) = delete;
  TickScope& operator=(const TickScope&) = delete;
};

}  // namespace

void PumpTick(Client& c) {
  if (c.link.TickRunning) return;
  TickScope scope(c);
  for (int& n : c.link.TickCount) ++n;
  // A task runs when its gate is set and its counter has reached its period;
  // a counter that reached its period starts again, whether the task ran or not.
  for (const ScheduledTask& t : kSchedule) {
    Statement([&] {
      if (t.gate(c) && Reached(c, t.task, t.period)) t.run(c);
    });
    Settle(c, t.task, t.period);
  }
}

namespace {

// When the frame just completed at the ring's write end is a chat line, it
// leaves the ring for the chat queue; returns whether it did.
bool SetAsideChatLine(LinkState& link, std::int64_t arrivedMs) {
  FrameRing& ring = link.ReceiveRing;
  const std::uint32_t start = static_cast<std::uint32_t>(
      (ring.write + FrameRing::kSize - p::kFrameSize) % FrameRing::kSize);
  if (ring.buf[(start + p::kTypeOffset) % FrameRing::kSize] != p::kInsChat) return false;
  Frame f;
  for (std::size_t i = 0; i < p::kFrameSize; ++i) f[i] = ring.buf[(start + i) % FrameRing::kSize];
  ring.write = start;
  link.ChatLines.push(f, GameFramesWaiting(link), arrivedMs);
  return true;
}

}  // namespace

void AppendReceived(Client& c, const std::uint8_t* data, std::size_t size) {
  LinkState& link = c.link;
  FrameRing& ring = link.ReceiveRing;
  // While whole frames wait, the receive task already runs every tick: new
  // bytes must not hold it back, or a steady stream would halve its pace.
  const bool framesWaiting = ring.buffered() >= p::kFrameSize;
  // Frame by frame, so that each chat line leaves the ring as soon as it is
  // whole and only game frames can fill it.
  bool gameBytes = false;
  std::int64_t now = 0;
  if (c.recorder) {
    // The frames already taken are kept before new bytes may reuse their room.
    RecordTaken(c);
    now = RecordClock(c);
  }
  while (size > 0) {
    const std::size_t partial = ring.buffered() % p::kFrameSize;
    const std::size_t n = std::min(size, p::kFrameSize - partial);
    if (n > ring.room()) {
      // The ring would wrap onto unread frames.
      RestoreLobby(c);
      EndProgram(c);
    }
    ring.append(data, n);
    data += n;
    size -= n;
    if (partial + n < p::kFrameSize) {
      gameBytes = true;
      continue;
    }
    if (!SetAsideChatLine(link, now)) {
      gameBytes = true;
      // The frame just completed: its slot ends at the write position.
      const std::size_t slot = (ring.write + FrameRing::kSize - p::kFrameSize) % FrameRing::kSize;
      link.ArrivalMs[slot / p::kFrameSize] = now;
    }
  }
  link.DataSeen = true;
  // Chat lines leave the task's beat alone, so a game instruction is taken
  // when it would be without them.
  if (gameBytes && !framesWaiting) link.TickCount[kTaskReceive] = 0;
}

void DataArrival(Client& c, const std::uint8_t* data, std::size_t size) {
  LinkState& link = c.link;
  if (link.LinkReady) {
    AppendReceived(c, data, size);
    return;
  }
  if (size > link.ProxyBuffer.room()) {
    RestoreLobby(c);
    EndProgram(c);
  }
  link.ProxyBuffer.append(data, size);
  ProxyStep(c);
}

void StartTurnClock(Client& c, int seconds) {
  StartCountdown(c, seconds);
  c.link.TurnClockOn = true;
  c.link.TickCount[kTaskTurnClock] = 0;
}

void StopTurnClock(Client& c) {
  c.link.TurnClockOn = false;
  c.offer.Countdown = c.offer.TurnTime;
  HideCountdown(c);
}

void StartContinueClock(Client& c, int seconds) {
  c.link.ContinueClockOn = true;
  c.link.TickCount[kTaskContinueClock] = 0;
  StartCountdown(c, seconds);
}

void StopContinueClock(Client& c) {
  c.link.ContinueClockOn = false;
  HideCountdown(c);
}

void SocketClosed(Client& c) {
  c.platform.socketClose();
}

void TimerKeepAlive(Client& c) {
  SendKeepAlive(c);
}

void OpenConnection(Client& c, const std::string& host, std::uint16_t port) {
  c.link.LoginSent = false;
  c.platform.socketConnect(host, port);
}

void SendLoginFrame(Client& c) {
  if (c.recorder && c.link.LoginFrame[p::kTypeOffset] == p::kReqResume) RecordLink(c, true);
  c.platform.socketSend(c.link.LoginFrame.data(), c.link.LoginFrame.size());
  if (c.recorder) RecordSent(c, c.link.LoginFrame.data());
  c.link.LoginSent = true;
}

}  // namespace tavren
