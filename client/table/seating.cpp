#include "table/seating.h"

#include "core/client.h"

namespace tavren {

namespace p = protocol;

void HandleLoginResult(Client& c) {
  c.chat.PhraseBubblesOn = false;
  SetTimer(c, TimerId::KeepAlive, true);
  UnloadOtherExitDialog(c);
  c.table.HandNo = 0;
  c.shell.FirstStart = true;
  c.link.LoginAwaited = false;

  const int verdict = c.link.rinfo.value[3];
  if (verdict == p::kLoginAccepted) {
    c.table.LoginAccepted = true;
    ClearSysmsg(c);
    SetSysmsg(c, 0, "连接服务器成功！");
    SetSysmsg(c, 1, "三片起胡,吃牌上听");
    if (c.table.HandsStarted == 0) {
      PostToLobby(c, kWmClear);
      c.offer.TurnTime = c.shell.UnattendedMode ? 1 : (c.link.rinfo.value[1] & 15);
      c.link.AutoPlayAfter = c.link.LastFrame[9];
      c.shell.AdUrl = FrameBytes(c.link.LastFrame, p::kPayloadOffset, p::kLoginUrlBytes);
      // The page box over the logo opens the address in the user's browser.
      c.view.pageLinked = !c.shell.AdUrl.empty();
    }
    return;
  }
  PostToLobby(c, kWmEndSession);
  ClearSysmsg(c);
  SetSysmsg(c, 0,
            verdict == p::kLoginBadSeat ? "启动游戏失败，请重新在大厅就座后进入游戏！"
                                        : "验证错误，请重新登陆游戏！");
  RestoreLobby(c);
  EndProgram(c);
}

}  // namespace tavren
