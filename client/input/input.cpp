#include "input/input.h"

#include <algorithm>
#include <exception>

#include "autoplay/autoplay.h"
#include "core/client.h"
#include "input/requests.h"
#include "input/side_windows.h"
#include "link/pump.h"
#include "rules/sort_hand.h"
#include "shell/result_windows.h"
#include "view/access.h"
#include "view/seats.h"

namespace tavren {

namespace {

HandRecord& Own(Client& c) {
  return c.table.custom[0];
}

// The standing image of the last standing slot (the tile just drawn), −1 when none.
int LastStandingInd(const HandRecord& h) {
  const int last = h.first + h.count - 1;
  if (h.count <= 0 || last < 0 || last >= kSlots) return -1;
  return Slot(h, last).ind;
}

// The pass that a right click or a discard gives to an open offer.
void PassOnOffer(Client& c) {
  RetireOperationButtons(c);
  if (!HoldsExtraTile(Own(c))) StopTurnClock(c);
  if (!c.offer.ClaimSent) SendPassRequest(c);
}

void Discard(Client& c, int slot) {
  OfferState& o = c.offer;
  if (o.ChiDone) o.TingLock = true;
  c.link.TimeoutCount = 0;
  o.ActionPhase = kPhaseActing;
  o.MayDiscard = false;
  StopTurnClock(c);
  if (!o.ClaimSent) SendPassRequest(c);
  RetireOperationButtons(c);
  DiscardStandingSlot(c, slot);
}

// A face-down kong top of another side, once the hand is won, turns up.
void TurnUpKongTop(Client& c, int control) {
  TableViewState& v = c.tableView;
  if (v.HuSide < 0 || v.HuSide >= kSides) return;
  for (int i = 0; i < v.KongTopCount && i < kKongTopSlots; ++i) {
    KongTop& top = v.KongTops[static_cast<std::size_t>(i)];
    if (top.ind != control) continue;
    ShowFace(c, control, top.side, top.tile);
    top.ind = -1;
    return;
  }
}

// A wall tile the server revealed at the hand's end turns up, lying face up
// and in front of the wall tiles around it, once per tile. It turns where it
// lies: every wall tile keeps its column's place, so no neighbour is moved
// into line first, and bringing it to the front keeps its face whole over
// the layer that overlaps it.
void TurnUpWallTile(Client& c, int control) {
  PlayState& ps = c.play;
  const int n = std::min<int>(ps.RevealCount, kRevealWallTiles);
  for (int i = 0; i < n; ++i) {
    std::int16_t& pos = ps.RevealPos[static_cast<std::size_t>(i)];
    const std::int16_t tile = ps.RevealTiles[static_cast<std::size_t>(i)];
    if (pos != control || tile == 0) continue;
    ShowFace(c, control, kLyingOwn, tile);
    BringToFront(c.view, Tile(c, control));
    pos = -1;
    return;
  }
}

void HideButtons(Client& c, std::initializer_list<int> buttons) {
  for (int i : buttons) c.view.Operation[static_cast<std::size_t>(i)].visible = false;
}

int ControlBarPicture(const Client& c, int index, bool highlighted) {
  int entry = index < 3 ? 2 * index : 2 * index + 2;
  if (index == 2) entry = c.shell.FirstStart && c.table.HandNo < 1 ? 4 : 6;
  return ButtonPicture(c, entry + (highlighted ? 1 : 0));
}

void ReadyForNextHand(Client& c) {
  MainForm& f = c.view;
  InputState& in = c.input;
  HideSideWindow(c, SideWindow::Hero);
  HideSideWindow(c, SideWindow::Score);
  if (in.TableDissolved) {
    c.table.TableCleared = false;
    ResetToLobby(c);
    ResetHandRecords(c);
    resetTableView(c);
    f.Label3.visible = false;
    if (!LobbyExists(c)) EndProgram(c);
    MinimizeMainWindow(c);
    RestoreLobby(c);
    return;
  }
  if (in.TableActive) return;
  c.shell.FirstStart = false;
  f.AnNiu[2].picture = ButtonPicture(c, 6);
  f.OK[0].visible = true;
  BringToFront(f, f.OK[0]);
  in.ReadyFlag = true;
  f.Label3.visible = false;
  StopContinueClock(c);
  in.TableActive = true;
  if (!c.table.TableCleared) {
    clearTableModel(c);
    resetTableView(c);
    ResetForNextHand(c);
    c.table.TableCleared = true;
  }
  SendReady(c);
}

}  // namespace

void OnTileClick(Client& c, int control, bool rightButton) {
  RunGuardedEvent(c, [&] {
    if (control < 0 || control >= kWallTiles) return;
    // Flowers are being replaced: tile clicks wait.
    if (c.play.FlowerPhase) return;
    OfferState& o = c.offer;
    HandRecord& h = Own(c);
    // A locked hand discards only the tile just drawn.
    const bool locked = o.ChiDone && o.TingLock && control != LastStandingInd(h);
    const int slot = SlotOfTileInd(c, control);
    if (!locked) {
      if (o.ActionPhase == kPhaseTimedOut || !c.table.LoginAccepted) return;
      if (slot >= 0 && o.MayDiscard && HoldsExtraTile(h)) {
        Discard(c, slot);
        return;
      }
      if (slot < 0 && rightButton && c.view.Operation[kButtonPass].visible) {
        PassOnOffer(c);
        return;
      }
    }
    if (slot < 0) {
      TurnUpKongTop(c, control);
      TurnUpWallTile(c, control);
    }
  });
}

void OnTileHover(Client& c, int control) {
  RunGuardedEvent(c, [&] {
    if (control < 0 || control >= kWallTiles) return;
    InputState& in = c.input;
    HandRecord& h = Own(c);
    Control& k = Tile(c, control);
    const int raised = h.handY - kTileRise;
    if (k.y < raised || c.table.Watching || !in.TableActive || !HoldsTileInd(c, control)) {
      in.Pointer = kPointerDefault;
      return;
    }
    in.Pointer = kPointerHand;
    if (k.y != h.handY) return;
    for (int s = h.first; s < h.first + h.count && s < kSlots; ++s) {
      const int ind = Slot(h, s).ind;
      if (!ValidControl(ind)) continue;
      Control& t = Tile(c, ind);
      if (t.y == raised) t.y = h.handY;
    }
    k.y = raised;
  });
}

void OnTableRightClick(Client& c) {
  RunGuardedEvent(c, [&] {
    OfferState& o = c.offer;
    if (!c.table.LoginAccepted || !c.view.Operation[kButtonPass].visible ||
        o.ActionPhase >= kPhaseActed)
      return;
    o.ActionPhase = kPhaseActing;
    PassOnOffer(c);
    o.ActionPhase = kPhaseActed;
  });
}

void OnTableSurfaceClick(Client& c) {
  RunGuardedEvent(c, [&] {
    for (SideWindow w : {SideWindow::Talk, SideWindow::huifu, SideWindow::Score, SideWindow::Hero,
                         SideWindow::VosSet, SideWindow::frmExit})
      HideSideWindow(c, w);
  });
}

void OnOperationClick(Client& c, int index) {
  RunGuardedEvent(c, [&] {
    if (index < 0 || index >= kOperationButtons) return;
    OfferState& o = c.offer;
    MainForm& f = c.view;
    if (o.OfferState[static_cast<std::size_t>(index)] <= 1 || !c.table.LoginAccepted ||
        o.ActionPhase >= kPhaseActed)
      return;
    o.ActionPhase = kPhaseActing;
    o.OfferState.fill(0);
    Control& button = f.Operation[static_cast<std::size_t>(index)];
    button.picture = f.pics.ClaimButtonPics[static_cast<std::size_t>(3 * index)];
    button.enabled = false;
    if (index < kButtonPass) StopTurnClock(c);
    c.link.TimeoutCount = 0;
    const std::initializer_list<int> all = {kButtonChi, kButtonPeng, kButtonKong, kButtonHu,
                                            kButtonPass};
    switch (index) {
      case kButtonChi:
        o.MayDiscard = false;
        HideButtons(c, all);
        PlayOwnClaimVoice(c, kVoiceChi);
        FindChiChoices(c, c.table.LastDiscard);
        break;
      case kButtonPeng:
        o.MayDiscard = false;
        HideButtons(c, all);
        PlayOwnClaimVoice(c, kVoicePeng);
        SendPengRequest(c, c.table.LastDiscard);
        break;
      case kButtonKong: {
        const bool mayDiscard = o.MayDiscard;
        o.MayDiscard = false;
        HideButtons(c, {kButtonChi, kButtonPeng, kButtonHu, kButtonPass});
        if (o.OfferMask & kOfferConcealedKong) SortHand(c, 0, Own(c).count);
        FindKongChoices(c);
        // No kong can be formed: the countdown answers the offer in the end.
        // On the user's own turn that answer is a discard (the server waits
        // for one), so the turn keeps its discard.
        if (o.KongCount == 0) {
          o.MayDiscard = mayDiscard;
          StartTurnClock(c, o.TurnTime);
        }
        break;
      }
      case kButtonHu:
        o.MayDiscard = false;
        SendHuRequest(c);
        PlayOwnClaimVoice(c, kVoiceHu);
        HideButtons(c, all);
        break;
      default:
        HideButtons(c, all);
        if (!HoldsExtraTile(Own(c))) StopTurnClock(c);
        if (!o.ClaimSent) SendPassRequest(c);
        break;
    }
    for (int i = 0; i < kOperationButtons; ++i) {
      Control& b = f.Operation[static_cast<std::size_t>(i)];
      b.picture = f.pics.ClaimButtonPics[static_cast<std::size_t>(3 * i)];
      b.enabled = false;
    }
    o.ActionPhase = kPhaseActed;
  });
}

void OnChoiceClick(Client& c, ChoiceKind kind, int index) {
  RunGuardedEvent(c, [&] {
    OfferState& o = c.offer;
    if (o.ActionPhase == kPhaseTimedOut || !c.table.LoginAccepted) return;
    if (kind == ChoiceKind::Chi) {
      // Only a picture on show stands for a pair: a single pair went out already.
      if (index < 0 || index >= o.ChiCount || index >= kChiChoices ||
          !c.view.Chi[static_cast<std::size_t>(index)].visible)
        return;
      StopTurnClock(c);
      const int a = index % 2 == 1 ? index - 1 : index;
      const int slotA = o.ChiChoice[static_cast<std::size_t>(a)];
      const int slotB = o.ChiChoice[static_cast<std::size_t>(a + 1)];
      SendChiRequest(c, slotA, slotB);
      for (Control& k : c.view.Chi) k.visible = k.enabled = false;
      return;
    }
    if (index < 0 || index >= o.KongCount || index >= static_cast<int>(c.view.Gang.size()) ||
        !c.view.Gang[static_cast<std::size_t>(index)].visible)
      return;
    // The halved countdown of the choice must not discard after the kong is asked for.
    StopTurnClock(c);
    HideChoiceImages(c);
    for (Control& b : c.view.Operation) b.visible = b.enabled = false;
    const HandRecord& h = Own(c);
    const int slot = o.KongChoice[static_cast<std::size_t>(index)];
    const int end = h.first + h.count;
    auto code = [&](int k) { return k >= 0 && k < kSlots ? Slot(h, k).value & 0xFF : -1; };
    const int neighbour = slot + 1 < end ? slot + 1 : slot - 1;
    if ((o.OfferMask & kOfferAddedKong) && code(neighbour) != code(slot)) {
      PlayOwnClaimVoice(c, kVoiceKong);
      SendKongRequest(c, kOfferAddedKong, slot);
    } else if (slot + 3 < end && (o.OfferMask & kOfferConcealedKong) &&
               code(slot) == code(slot + 3)) {
      PlayOwnClaimVoice(c, kVoiceConcealedKong);
      SendKongRequest(c, kOfferConcealedKong, slot);
    } else if (slot + 2 < end && (o.OfferMask & kOfferExposedKong) &&
               code(slot) == code(slot + 2)) {
      PlayOwnClaimVoice(c, kVoiceKong);
      SendKongRequest(c, kOfferExposedKong, slot);
    }
  });
}

int LatestFinishedHand(const Client& c) {
  // While a hand is played the latest finished one is the previous hand.
  return c.table.HandInProgress ? c.table.HandNo - 1 : c.table.HandNo;
}

const char* ControlBarTooltip(int index) {
  static constexpr const char* kTips[kControlBarButtons] = {"发送信息，快捷键为回车键",
                                                            "点击打开聊天窗口",
                                                            "点击开始新一局游戏",
                                                            "游戏的基本设置",
                                                            "最小化窗口，快捷键为F1",
                                                            "可以查看当前牌局详细结果",
                                                            "可以查看本次游戏的所有牌局详细结果",
                                                            "点击这里了解游戏规则",
                                                            "退出游戏"};
  return index >= 0 && index < kControlBarButtons ? kTips[index] : "";
}

void OnControlBarClick(Client& c, int index) {
  RunGuardedEvent(c, [&] {
    if (index < 0 || index >= kControlBarButtons ||
        !c.view.AnNiu[static_cast<std::size_t>(index)].enabled)
      return;
    switch (index) {
      case 0:
        ChatSendButton(c);
        break;
      case 1:
        ToggleTalk(c);
        break;
      case 2:
        ReadyForNextHand(c);
        break;
      case 3:
        ToggleSoundSettings(c);
        break;
      case 4:
        MinimizeMainWindow(c);
        for (SideWindow w : {SideWindow::Hero, SideWindow::Score, SideWindow::Talk,
                             SideWindow::VosSet, SideWindow::huifu})
          HideSideWindow(c, w);
        break;
      case 5:
        ToggleScoreWindow(c, LatestFinishedHand(c));
        break;
      case 6:
        ToggleHeroWindow(c);
        break;
      case 7:
        c.platform.openUrl(kRulesPageUrl);
        break;
      case 8:
        ToggleExitDialog(c);
        break;
      default:
        break;
    }
  });
}

void OnControlBarHover(Client& c, int index) {
  RunGuardedEvent(c, [&] {
    if (index < 0 || index >= kControlBarButtons) return;
    InputState& in = c.input;
    if (in.Hovered[static_cast<std::size_t>(index)]) return;
    in.Hovered[static_cast<std::size_t>(index)] = true;
    c.view.AnNiu[static_cast<std::size_t>(index)].picture = ControlBarPicture(c, index, true);
    in.Tooltip = ControlBarTooltip(index);
  });
}

void RestoreControlBarPictures(Client& c, int except) {
  RunGuardedEvent(c, [&] {
    InputState& in = c.input;
    for (int i = 0; i < kControlBarButtons; ++i) {
      if (i == except || !in.Hovered[static_cast<std::size_t>(i)]) continue;
      in.Hovered[static_cast<std::size_t>(i)] = false;
      c.view.AnNiu[static_cast<std::size_t>(i)].picture = ControlBarPicture(c, i, false);
    }
    if (except < 0) in.Tooltip.clear();
  });
}

void OnKey(Client& c, int key, bool alt) {
  RunGuardedEvent(c, [&] {
    InputState& in = c.input;
    switch (key) {
      case kKeyF1:
        BossKeyAction(c);
        break;
      case kKeyEsc:
        ToggleExitDialog(c);
        break;
      case kKeyAlt:
        in.AltDown = true;
        break;
      case kKeyC:
        in.CDown = true;
        if (alt) in.AltDown = true;
        break;
      default:
        in.AltDown = in.CDown = false;
        break;
    }
    if (in.AltDown && in.CDown) {
      in.AltDown = in.CDown = false;
      ShowTalk(c);
    }
  });
}

void BossKeyAction(Client& c) {
  c.link.BossMode = true;
  c.view.Information.visible = false;
  for (SideWindow w : {SideWindow::Talk, SideWindow::VosSet, SideWindow::frmExit, SideWindow::Hero,
                       SideWindow::Score})
    HideSideWindow(c, w);
  // Every later countdown runs out at once: the client plays on by itself.
  c.offer.TurnTime = 0;
  MinimizeMainWindow(c);
  MinimizeLobby(c);
  c.log.record("BossKeyAction");
}

void MarkContinueButton(Client& c, bool used) {
  c.input.TableActive = used;
}

}  // namespace tavren
