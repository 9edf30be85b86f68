#include "table/seating.h"

#include <string>
#include <vector>

#include "core/client.h"
#include "core/waits.h"
#include "input/input.h"
#include "rules/settlement.h"
#include "shell/dialogs.h"
#include "shell/result_windows.h"
#include "text/gbk.h"
#include "view/access.h"
#include "view/seats.h"
#include "view/timed.h"

namespace tavren {

namespace p = protocol;

namespace {

constexpr const char* kWatcherEnds = "有用户退出，旁观结束！";

std::string TimeOfDay(Client& c) {
  const LocalTime t = c.platform.localTime();
  return std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second);
}

// A side's panel and records emptied once its player has gone.
void ClearSide(Client& c, int side) {
  const auto s = static_cast<std::size_t>(side);
  MainForm& f = c.view;
  f.OK[s].visible = false;
  f.Tou[s].picture = 0;
  f.Nid[s].caption.clear();
  f.Cash[s].caption.clear();
  f.Level[s].caption.clear();
  c.table.custom[s].name.clear();
  c.table.PlayerInfo[s] = PlayerInfoRecord{};
}

void OneSeatFewer(Client& c) {
  if (c.play.SeatedCount > 0) --c.play.SeatedCount;
}

// A watcher has nothing left to watch once a player has gone.
void EndWatching(Client& c) {
  if (!c.table.Watching) return;
  c.platform.messageBox(kAppTitle, kWatcherEnds);
  EndProgram(c);
}

void PlayersLeft(Client& c, std::uint8_t staying) {
  const std::uint8_t leavers = ~staying & 15;
  if (leavers == 0) return;
  TableModel& t = c.table;
  const int side = SideOf(c, leavers);
  c.link.ContinueClockOn = false;
  t.HandInProgress = false;
  t.PlayerLeft = true;
  if (side == 0) {
    c.platform.socketClose();
    EndProgram(c);
  }
  t.TableCleared = false;
  std::string list;
  for (std::uint8_t bit = 1; bit <= 8; bit = static_cast<std::uint8_t>(bit << 1)) {
    if ((leavers & bit) == 0) continue;
    list += t.PlayerInfo[static_cast<std::size_t>(SideOf(c, bit))].nick + ",";
    OneSeatFewer(c);
  }
  for (int s = 1; s < kSides; ++s) ClearSide(c, s);
  ClearSysmsg(c);
  SetSysmsg(c, 0, list + "退出了游戏！ " + TimeOfDay(c));
  SetSysmsg(c, 1, list + "请退出重新开始游戏.");
  ShowRankingWindow(c);
  pauseSeconds(c, 2.0f);
  t.HandNo = 0;
  ShowOtherExitDialog(c, "玩家" + list + "退出了游戏！游戏结束！");
  EndWatching(c);
}

void AnnounceDealer(Client& c, std::uint8_t seat) {
  c.view.Zhuang.caption = SeatName(BitIndex(seat));
  for (HandRecord& h : c.table.custom)
    if (h.seat == seat) {
      h.isDealer = true;
      break;
    }
}

void GoldShortage(Client& c, std::uint8_t staying) {
  const std::uint8_t shortSeats = ~staying & 15;
  // A shortage that names nobody ends nothing.
  if (shortSeats == 0) return;
  TableModel& t = c.table;
  t.HandNo = 0;
  t.HandInProgress = false;
  t.PlayerLeft = true;

  const std::uint8_t own = OwnSeat(c);
  const bool ownShort = (shortSeats & own) != 0;
  std::vector<std::string> names;
  for (std::uint8_t bit = 1; bit <= 8; bit = static_cast<std::uint8_t>(bit << 1))
    if ((shortSeats & bit) != 0 && bit != own)
      names.push_back(t.PlayerInfo[static_cast<std::size_t>(SideOf(c, bit))].nick);
  std::string others;
  for (std::size_t i = 0; i < names.size(); ++i) others += (i > 0 ? "，" : "") + names[i];
  const std::string list = names.empty() ? std::string() : "玩家" + others;
  std::string all = others;
  if (ownShort) all += (all.empty() ? "" : "，") + GbkToUtf8(t.custom[0].name);
  ClearSysmsg(c);
  SetSysmsg(c, 0, "玩家" + all + "金币不够，退出游戏！");

  c.link.ContinueClockOn = false;
  for (int s = 1; s < kSides; ++s) {
    if ((shortSeats & Hand(c, s).seat) == 0) continue;
    t.TableCleared = false;
    OneSeatFewer(c);
    ClearSide(c, s);
  }
  if (!c.view.minimized) ShowResultWindow(c);
  c.link.LinkWatch = false;
  c.platform.socketClose();
  pauseSeconds(c, 2.0f);
  std::string text;
  if (ownShort && !names.empty())
    text = list + "以及您的金币不够，退出游戏！游戏结束！";
  else if (ownShort)
    text = "您的金币不够，退出游戏！游戏结束！";
  else
    text = list + "的金币不够，退出游戏！游戏结束！";
  ShowOtherExitDialog(c, text);
  EndWatching(c);
}

std::string NameInFrame(const Client& c) {
  return FrameBytes(c.link.LastFrame, p::kPayloadOffset, p::kNameBytes);
}

}  // namespace

void HandleLoginResult(Client& c, const InfoRecord& r) {
  c.chat.PhraseBubblesOn = false;
  SetTimer(c, TimerId::KeepAlive, true);
  UnloadOtherExitDialog(c);
  c.table.HandNo = 0;
  c.shell.FirstStart = true;
  c.link.LoginAwaited = false;

  const int verdict = r.value[3];
  if (verdict == p::kLoginAccepted) {
    c.table.LoginAccepted = true;
    ClearSysmsg(c);
    SetSysmsg(c, 0, "连接服务器成功！");
    SetSysmsg(c, 1, "三片起胡,吃牌上听");
    if (c.table.HandsStarted == 0) {
      PostToLobby(c, kWmClear);
      c.offer.TurnTime = c.shell.UnattendedMode ? 1 : (r.value[1] & 15);
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

void HandleMembership(Client& c, const InfoRecord& r) {
  const std::uint8_t seats = r.seat & 15;
  switch (r.value[3]) {
    case p::kMembershipNothing:
      return;
    case p::kMembershipLeft:
      PlayersLeft(c, seats);
      return;
    case p::kMembershipDealer:
      AnnounceDealer(c, seats);
      return;
    default:
      GoldShortage(c, seats);
      return;
  }
}

void HandlePlayerGone(Client& c, const InfoRecord&) {
  TableModel& t = c.table;
  const std::string name = NameInFrame(c);
  if (!name.empty() && name == t.custom[0].name) EndProgram(c);
  c.link.ContinueClockOn = false;
  for (int s = 1; s < kSides; ++s) {
    if (name.empty() || name != Hand(c, s).name) continue;
    t.TableCleared = false;
    OneSeatFewer(c);
    const std::string nick = t.PlayerInfo[static_cast<std::size_t>(s)].nick;
    ClearSide(c, s);
    SetSysmsg(c, 0, nick + "退出了游戏 " + TimeOfDay(c));
  }
  EndWatching(c);
}

void HandleGameOver(Client& c, const InfoRecord&) {
  c.link.LinkWatch = false;
  c.link.ContinueClockOn = false;
  c.table.HandInProgress = false;
  pauseSeconds(c, 2.0f);
  c.table.PlayerLeft = true;
  const std::string notice = FrameText(c.link.LastFrame, p::kPayloadOffset, p::kNoticeBytes);
  for (Control& tou : c.view.Tou) tou.picture = 0;
  ShowOtherExitDialog(c, notice);
}

void HandleReady(Client& c, const InfoRecord& r) {
  MainForm& f = c.view;
  TableModel& t = c.table;
  const std::string name = NameInFrame(c);
  if (r.value[3] == 1)
    for (int s = 0; s < kSides; ++s) {
      const auto i = static_cast<std::size_t>(s);
      if (f.Nid[i].caption.empty() || t.custom[i].name != name) continue;
      f.OK[i].visible = true;
      BringToFront(f, f.OK[i]);
    }
  if (t.HandsStarted > 0 && f.OK[1].visible && f.OK[2].visible && f.OK[3].visible) {
    f.AnNiu[2].picture = ButtonPicture(c, 6);
    clearTableModel(c);
    resetTableView(c);
    ResetHandRecords(c);
    c.play.SeatCount = 0;
    t.TableCleared = true;
    // The user's countdown to the next hand goes on: it stays in sight.
    if (c.link.ContinueClockOn) ShowCountdown(c);
  }
}

void HandleTableJoined(Client& c, const InfoRecord& r) {
  MainForm& f = c.view;
  TableModel& t = c.table;
  // Only the continue button's state is ever read.
  MarkContinueButton(c, true);
  clearTableModel(c);
  resetTableView(c);
  ResetHandRecords(c);
  c.play.SeatCount = 0;
  t.TableCleared = true;
  // The snapshot that follows hands out the controls from MJPOINT on and moves
  // the back end from MJFIRST; the back end starts where a deal puts it, the
  // column before the front, so replacements never reach the tiles handed out.
  t.MJFIRST = I16(WallPosition(t.MJPOINT + kWallTiles - 3));

  for (int i = 0; i < 3; ++i) {
    Control& button = f.AnNiu[static_cast<std::size_t>(i)];
    button.enabled = false;
    button.picture = ButtonPicture(c, 2 * i + 1);
  }
  f.Zhuang.caption = SeatName(BitIndex(r.seat));
  f.Host.visible = true;
  f.Zhuang.visible = true;
  BringToFront(f, f.Zhuang);

  c.play.DealerSeat = r.seat;
  t.WildTileCode = r.value[2];
  t.WildShownCode = r.value[3];
  t.Dice[0] = r.value[0];
  t.Dice[1] = r.value[1];
}

}  // namespace tavren
