#include "chat/bubbles.h"
#include "core/client.h"
#include "core/waits.h"
#include "input/input.h"
#include "replay/recorder.h"
#include "shell/dialogs.h"
#include "shell/record_file.h"
#include "shell/result_windows.h"
#include "shell/shell.h"
#include "table/players.h"

namespace tavren {

namespace p = protocol;

bool LobbyExists(Client& c) {
  return c.platform.lobbyFind(c.shell.LobbyCaption);
}

void LobbyLinkClosed(Client& c) {
  c.shell.LobbyLinkLost = true;
  CheckLobbyAfterHand(c);
}

void CheckLobbyAfterHand(Client& c) {
  if (!c.shell.LobbyLinkLost || c.table.HandInProgress) return;
  c.shell.LobbyLinkLost = false;
  // A lobby that started again in the meantime is found anew.
  if (!LobbyExists(c)) EndProgram(c);
}

void RestoreLobby(Client& c) {
  if (!LobbyExists(c)) EndProgram(c);
  c.platform.lobbySend(kWmSysCommand, kScRestore, 0);
}

void MinimizeLobby(Client& c) {
  if (!LobbyExists(c)) EndProgram(c);
  c.platform.lobbySend(kWmSysCommand, kScMinimize, 0);
}

void PostToLobby(Client& c, std::uint32_t message) {
  if (LobbyExists(c)) c.platform.lobbyPost(message, 0, 0);
}

namespace {

void StopLinkTimers(Client& c) {
  ClearPumpGates(c.link);
  SetTimer(c, TimerId::Bong, false);
  SetTimer(c, TimerId::KeepAlive, false);
}

}  // namespace

void ResetToLobby(Client& c) {
  c.table.HandInProgress = false;
  StopLinkTimers(c);
  MarkContinueButton(c, true);
  ClearSysmsg(c);

  c.platform.socketClose();
  c.link.LoginAwaited = false;
  WaitUntil(
      c, [&] { return c.platform.socketState() != kSocketConnected; }, 5000);

  for (int side = 0; side < kSides; ++side) {
    // The user's own account stays: it is still the account of this client
    // when the lobby seats it again.
    if (side != 0) c.table.custom[side].name.clear();
    c.table.custom[side].seat = 0;
    c.table.PlayerInfo[side] = PlayerInfoRecord{};
  }
  resetLobbyView(c);
  ClearResultWindows(c);
  ResetPlayerRecords(c);
  UnloadSpeakBoxes(c);
  ClearChatHistory(c);
  // A call prompt kept open through a lost link asks nothing any more.
  c.shell.JiaoTouOpen = false;
  UnloadJiaoTouPrompt(c);

  if (c.recorder) RecordTaken(c);
  ClearReceived(c.link);
  if (c.recorder) RecordRingReset(c);
  c.link.SendRing.clear();
  c.table.HandInProgress = false;
  c.link.TimeoutCount = 0;

  DeleteRecordFile(c);
  EndRecordedGame(c);

  c.table.TableCleared = false;
  // The next table starts without the last one's departures.
  c.table.PlayerLeft = false;
  c.table.HandNo = 0;
  c.shell.FirstStart = true;
  MinimizeMainWindow(c);
  c.log.record("ResetToLobby");
}

void ReturnToLobby(Client& c) {
  MinimizeMainWindow(c);
  RestoreLobby(c);
  c.table.TableCleared = false;
  ResetToLobby(c);
  ResetHandRecords(c);
  resetTableView(c);
}

void ReturnToLobbyWithReason(Client& c, const std::string& reason) {
  ReturnToLobby(c);
  if (c.ended) return;
  // The return to the lobby empties the message lines: the reason goes in after it.
  SetSysmsg(c, 0, reason);
  c.platform.messageBox(kAppTitle, reason);
}

void SendLeave(Client& c) {
  Frame f{};
  f[p::kTypeOffset] = p::kReqReady;
  f[p::kSeatOffset] = c.table.custom[0].seat;
  c.platform.socketSend(f.data(), f.size());
  if (c.recorder) RecordSent(c, f.data());
  StopLinkTimers(c);
  // Let the frame leave before the caller closes the socket.
  waitSeconds(c, c.link.Resumed ? 0.8f : 0.4f);
}

}  // namespace tavren
