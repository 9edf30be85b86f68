#include "link/reconnect.h"

#include <string>

#include "core/client.h"
#include "link/proxy.h"

namespace tavren {

namespace p = protocol;

namespace {

void ShowSeconds(Client& c) {
  c.view.frmReconnect.lbTime.caption =
      std::to_string(c.reconnect.ReconnectSeconds) + " 秒后自动重连";
}

// From the countdown (or the reconnect button) to the attempts every 3 s.
void StartAttempts(Client& c) {
  SetTimer(c, TimerId::Reconnect, false);
  c.reconnect.ReconnectSeconds = 1;
  ShowSeconds(c);
  SetTimer(c, TimerId::Count, true);
  c.view.frmReconnect.visible = false;
}

void LoadReconnectDialog(Client& c) {
  ReconnectForm& f = c.view.frmReconnect;
  f.loaded = true;
  f.lbReconnect.caption = "网络断开，需要重连吗？";
  f.pbReconnect.w = f.pbCancel.w = 65;
  f.pbReconnect.h = f.pbCancel.h = 30;
  f.pbReconnect.picture = 130;  // dialog buttons: confirm and cancel
  f.pbCancel.picture = 132;
  c.reconnect.ReconnectTries = 0;
  c.reconnect.ReconnectSeconds = 1;
  ShowSeconds(c);
  SetTimer(c, TimerId::Reconnect, true);
  SetTimer(c, TimerId::Count, false);
}

}  // namespace

void OpenReconnectDialog(Client& c) {
  if (!c.view.frmReconnect.loaded) LoadReconnectDialog(c);
  c.view.frmReconnect.visible = true;
}

void UnloadReconnectDialog(Client& c) {
  SetTimer(c, TimerId::Reconnect, false);
  SetTimer(c, TimerId::Count, false);
  c.view.frmReconnect.loaded = false;
  c.view.frmReconnect.visible = false;
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
  if (c.link.LinkMode == 0) {
    c.platform.socketConnect(c.link.ServerHost, c.link.ServerPort);
    c.link.LoginPending = true;
    c.link.TickCount[kTaskLogin] = 0;
  } else if (c.link.LinkMode == 5) {
    c.link.LoginPending = false;
    StartProxyLink(c);
  }
}

void HandleResumed(Client& c) {
  if (c.link.LastFrame[15] == 1) {
    ClearSysmsg(c);
    SetSysmsg(c, 0, "正在重连服务器，请等待...！");
    c.table.LoginAccepted = true;
    c.link.Resumed = true;
    return;
  }
  c.platform.messageBox(kAppTitle, "重连服务器失败，退出后请重新入座！");
  RestoreLobby(c);
  EndProgram(c);
}

}  // namespace tavren
