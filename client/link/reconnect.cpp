#include "link/reconnect.h"

#include <cstring>
#include <string>

#include "chat/bubbles.h"
#include "core/client.h"
#include "link/proxy.h"
#include "link/pump.h"
#include "replay/recorder.h"
#include "shell/dialogs.h"
#include "view/windows.h"

namespace tavren {

namespace p = protocol;

namespace {

SmallForm& Dialog(Client& c) {
  return c.forms[FormId::frmReconnect];
}

void ShowSeconds(Client& c) {
  if (Control* k = Dialog(c).find("lbTime"))
    k->caption = std::to_string(c.reconnect.ReconnectSeconds) + " 秒后自动重连";
}

// From the countdown (or the reconnect button) to the attempts every 3 s.
void StartAttempts(Client& c) {
  SetTimer(c, TimerId::Reconnect, false);
  c.reconnect.ReconnectSeconds = 1;
  ShowSeconds(c);
  SetTimer(c, TimerId::Count, true);
  Dialog(c).visible = false;
}

void ReconnectClick(Client& c, int control) {
  const Control& k = Dialog(c).controls[static_cast<std::size_t>(control)];
  if (std::strcmp(k.name, "pbReconnect") == 0)
    ReconnectNowClicked(c);
  else if (std::strcmp(k.name, "pbCancel") == 0)
    ReconnectCancelClicked(c);
}

void LoadReconnectDialog(Client& c) {
  SmallForm& f = OpenSmallForm(c, FormId::frmReconnect, "重连", 260, 130);
  const int message = AddControl(f, ControlType::Label, "lbReconnect", 0, 20, 16, 220, 24);
  f.controls[static_cast<std::size_t>(message)].caption = "网络断开，需要重连吗？";
  AddControl(f, ControlType::Label, "lbTime", 0, 20, 44, 220, 24);
  // Dialog buttons: confirm and cancel.
  const int now = AddControl(f, ControlType::Image, "pbReconnect", 0, 45, 84, 65, 30);
  f.controls[static_cast<std::size_t>(now)].picture = c.view.pics.DialogButtonPics[0];
  const int cancel = AddControl(f, ControlType::Image, "pbCancel", 0, 150, 84, 65, 30);
  f.controls[static_cast<std::size_t>(cancel)].picture = c.view.pics.DialogButtonPics[2];
  CentreOverTable(c, f);
  c.forms.handlers[static_cast<std::size_t>(FormId::frmReconnect)].click = ReconnectClick;
  c.reconnect.ReconnectTries = 0;
  c.reconnect.ReconnectSeconds = 1;
  c.reconnect.NoticePosted = false;
  ShowSeconds(c);
  SetTimer(c, TimerId::Reconnect, true);
  SetTimer(c, TimerId::Count, false);
}

}  // namespace

void OpenReconnectDialog(Client& c) {
  // A failed attempt finds the link down again: the attempts go on with the
  // dialog hidden, rather than showing a countdown that no longer runs.
  if (Dialog(c).loaded && TimerEnabled(c, TimerId::Count)) return;
  // A dialog left loaded by a hand that ended during its attempts starts afresh.
  if (Dialog(c).loaded) UnloadReconnectDialog(c);
  LoadReconnectDialog(c);
  Dialog(c).visible = true;
}

bool TakeLoginNotice(Client& c) {
  if (!Dialog(c).loaded) return true;
  // The lobby hears of a resume once, not at every attempt.
  if (c.reconnect.NoticePosted) return false;
  c.reconnect.NoticePosted = true;
  return true;
}

void UnloadReconnectDialog(Client& c) {
  SetTimer(c, TimerId::Reconnect, false);
  SetTimer(c, TimerId::Count, false);
  CloseSmallForm(c, FormId::frmReconnect);
}

void ReconnectTimerTick(Client& c) {
  --c.reconnect.ReconnectSeconds;
  ShowSeconds(c);
  if (c.reconnect.ReconnectSeconds < 1) StartAttempts(c);
}

void ReconnectNowClicked(Client& c) {
  StartAttempts(c);
}

void ReconnectCancelClicked(Client& c) {
  if (c.platform.socketState() != kSocketConnected) ReturnToLobby(c);
  UnloadReconnectDialog(c);
}

void ReconnectCountTick(Client& c) {
  if (c.platform.socketState() == kSocketConnected) {
    SetTimer(c, TimerId::Count, false);
    UnloadReconnectDialog(c);
  } else if (c.reconnect.ReconnectTries >= kReconnectAttempts) {
    c.platform.messageBox(kAppTitle, "重连失败，请检查您的网络！");
    RestoreLobby(c);
    EndProgram(c);
  } else if (c.table.HandInProgress) {
    ++c.reconnect.ReconnectTries;
    ResumeLink(c);
  } else {
    SetTimer(c, TimerId::Count, false);
  }
}

void ResumeLink(Client& c) {
  ClearSysmsg(c);
  SetSysmsg(c, 0, "正在重新连接服务器...");
  Frame& f = c.link.LoginFrame;
  f[p::kTypeOffset] = p::kReqResume;
  f[p::kTokenOffset] = c.link.LinkToken[0];
  f[p::kTokenOffset + 1] = c.link.LinkToken[1];
  c.link.LinkReady = true;
  c.platform.socketClose();
  // What is left of the lost connection's stream belongs to no frame of the new one.
  if (c.recorder) RecordTaken(c);
  ClearReceived(c.link);
  if (c.recorder) RecordRingReset(c);
  if (c.link.LinkMode == 0) {
    OpenConnection(c, c.link.ServerHost, c.link.ServerPort);
    c.link.LoginPending = true;
    c.link.TickCount[kTaskLogin] = 0;
  } else if (c.link.LinkMode == 5) {
    c.link.LoginPending = false;
    StartProxyLink(c);
  }
}

void HandleResumed(Client& c, const InfoRecord&) {
  if (c.link.LastFrame[15] == 1) {
    ClearSysmsg(c);
    SetSysmsg(c, 0, "正在重连服务器，请等待...！");
    c.table.LoginAccepted = true;
    c.link.Resumed = true;
    ResumeHeldPrompt(c);
    return;
  }
  c.platform.messageBox(kAppTitle, "重连服务器失败，退出后请重新入座！");
  RestoreLobby(c);
  EndProgram(c);
}

}  // namespace tavren
