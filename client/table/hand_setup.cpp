#include "table/hand_setup.h"

#include <algorithm>
#include <string>

#include "core/client.h"
#include "core/waits.h"
#include "input/input.h"
#include "input/side_windows.h"
#include "link/pump.h"
#include "rules/settlement.h"
#include "shell/dialogs.h"
#include "shell/record_file.h"
#include "shell/result_windows.h"
#include "table/snapshot.h"
#include "view/access.h"
#include "view/melds.h"
#include "view/motion.h"
#include "view/seats.h"
#include "view/timed.h"

namespace tavren {

namespace {

namespace p = protocol;

constexpr int kDieFaces = 6;
constexpr int kTumblingFrames = 10;

// The picture of dice frame `i`: faces 1..6 are frames 0..5, tumbling 6..15.
int DicePicture(const Client& c, int i) {
  const auto k = static_cast<std::size_t>(i);
  const int id = c.view.SZ_Image[k].picture;
  return id != 0 ? id : c.view.pics.DicePics[k];
}

int RandomBelow(Client& c, int n) {
  PlayState& ps = c.play;
  if (!ps.DiceSeeded) SeedDice(c, static_cast<std::uint32_t>(c.platform.nowMillis()));
  return static_cast<int>(ps.DiceRandom() % static_cast<std::uint32_t>(n));
}

// One throw of dice `a` and `b` of the record: tumbling faces, then the real ones.
void ThrowPair(Client& c, std::array<std::int16_t, 12>& dice, int a, int b) {
  MainForm& f = c.view;
  c.view.Label3.caption.clear();
  PlayEffect(c, kEffectDice, kFullVolume);
  for (int i : {a, b}) {
    std::int16_t& die = dice[static_cast<std::size_t>(i)];
    if (die == 0) die = 1;
    if (die < 1 || die > kDieFaces) throw BadRecord("die out of range");
  }
  Control& first = f.Sai_Image[0];
  Control& second = f.Sai_Image[1];
  first.x = SX(c, 400);
  first.y = SY(c, 284);
  second.x = SX(c, 560);
  second.y = SY(c, 284);
  first.visible = second.visible = true;
  BringToFront(f, first);
  BringToFront(f, second);
  const int n = 20 + RandomBelow(c, 5);
  for (int j = 0; j <= n; ++j) {
    if (j == n) {
      first.picture = DicePicture(c, dice[static_cast<std::size_t>(a)] - 1);
      second.picture = DicePicture(c, dice[static_cast<std::size_t>(b)] - 1);
    } else {
      first.picture = DicePicture(c, kDieFaces + RandomBelow(c, kTumblingFrames));
      second.picture = DicePicture(c, kDieFaces + RandomBelow(c, kTumblingFrames));
    }
    waitSeconds(c, 0.002f);
  }
  motionPause(c, 0.6f);
  first.visible = second.visible = false;
}

}  // namespace

void ShowSideBubble(Client& c, int side, int picture) {
  if (side < 1 || side > 3) return;
  MainForm& f = c.view;
  placeSpeechBubble(c, side);
  f.Words.visible = false;
  Control& bubble = f.Speak[static_cast<std::size_t>(side - 1)];
  bubble.picture = picture;
  bubble.visible = true;
  BringToFront(f, bubble);
  ShowClaimWord(c, side);
}

void SeedDice(Client& c, std::uint32_t seed) {
  c.play.DiceRandom.seed(seed);
  c.play.DiceSeeded = true;
}

std::int16_t FirstDrawPosition(int side, const std::array<std::int16_t, 12>& dice) {
  const int d1 = dice[0], d2 = dice[1], d3 = dice[2], d4 = dice[3];
  const int column = (((side + 11 - d1 - d2) % 4) + 4) % 4;
  const int pos = 3 * (12 * column + d1 + d2 + d3 + d4);
  return static_cast<std::int16_t>(((pos % kWallTiles) + kWallTiles) % kWallTiles);
}

void ThrowDice(Client& c, int side, std::array<std::int16_t, 12>& dice) {
  (void)side;  // every side's dice are thrown in the centre of the table
  ThrowPair(c, dice, 0, 1);
  motionPause(c, 0.6f);
  ThrowPair(c, dice, 2, 3);
}

void HandlePlayerNames(Client& c, const InfoRecord& r) {
  MainForm& f = c.view;
  TableModel& t = c.table;
  PlayState& ps = c.play;
  {
    std::string& tag = t.PlayerTag[BitIndex(r.seat)];
    const std::string name = FrameBytes(c.link.LastFrame, p::kPayloadOffset, p::kNameBytes);
    // Repeated names for one seat append; the cap keeps a chatty server bounded.
    const std::size_t room = tag.size() < kPlayerTagBytes ? kPlayerTagBytes - tag.size() : 0;
    tag.append(name, 0, std::min(name.size(), room));
  }
  c.chat.PhraseBubblesOn = true;
  // No keep-alives until the next login result switches them on again.
  if (!t.Watching) SetTimer(c, TimerId::KeepAlive, false);
  ClearRankingLists(c);
  for (Control& ok : f.OK) ok.visible = false;
  t.HandNo = 0;
  ++ps.SeatCount;
  ps.SeatDrawState = -1;
  DeleteRecordFile(c);
  ResetGameTotals(c);
  if (ps.SeatCount >= 4) {
    ps.SeatCount = 0;
    f.AnNiu[2].picture = ButtonPicture(c, 6);
  }
  // The ready button does nothing while the user takes part in the game.
  MarkContinueButton(c, true);

  const std::string& own = t.custom[0].name;
  if (own.empty()) return;
  for (int i = 3; i >= 0; --i) {
    if (own != t.PlayerTag[static_cast<std::size_t>(i)]) continue;
    for (int k = 0; k < kSides; ++k) {
      HandRecord& h = Hand(c, k);
      h.seat = static_cast<std::uint8_t>(PowerOfTwo((i + 4 - k) % 4));
      h.name = t.PlayerTag[BitIndex(h.seat)];
    }
    return;
  }
}

void StartHandView(Client& c) {
  TableModel& t = c.table;
  TableViewState& v = c.tableView;
  PlayState& ps = c.play;
  PlayEffect(c, kEffectShuffle, kFullVolume);

  // Column 0 of each wall side gets that side's lying back, and every later
  // column copies it, one column of all four sides at a time.
  static constexpr std::array<int, 4> kWallBack = {8, 44, 80, 116};
  for (int side = 0; side < kSides; ++side)
    for (int layer = 0; layer < 3; ++layer) {
      const int control = 36 * side + layer;
      setTileImage(c, control, kWallBack[static_cast<std::size_t>(side)]);
      Tile(c, control).visible = true;
    }
  for (int column = 1; column < 12; ++column) {
    for (int side = 0; side < kSides; ++side)
      for (int layer = 0; layer < 3; ++layer) {
        Control& k = Tile(c, 36 * side + 3 * column + layer);
        k.picture = Tile(c, 36 * side + layer).picture;
        k.visible = true;
      }
    waitSeconds(c, 0.01f);
  }

  PostToLobby(c, kLobbyNewHand);

  v.KongTops.fill(KongTop{});
  v.KongTopCount = 0;
  v.DiscardLaid = false;
  ps.RevealTiles.fill(0);
  ps.RevealPos.fill(0);
  ps.RevealCount = 0;
  t.Dice.fill(0);
  t.OwnFlowerCount = 0;
  t.SideFlowerCount.fill(0);
  for (HandRecord& h : t.custom) h.flowers = 0;
  c.offer.ChiDone = c.offer.TingLock = c.offer.HuOffered = false;
  ps.FlowerPhase = false;
}

void HandleNewHand(Client& c, const InfoRecord& r) {
  // The last hand is over: what it freed goes back to the system.
  c.platform.releaseFreeMemory();
  c.table.RoundWindPic = static_cast<std::int16_t>(344 + c.link.LastFrame[p::kPayloadOffset]);
  MainForm& f = c.view;
  TableModel& t = c.table;
  f.Label3.caption.clear();
  UnloadOtherExitDialog(c);
  // The last hand's sheet would cover the new deal: it closes as the hand starts.
  HideSideWindow(c, SideWindow::Score);
  c.input.TableDissolved = false;
  // A hand dealt over the last hand's tiles would hand out their controls a
  // second time: a table nobody cleared since is cleared here, as a watcher's is.
  if (t.Watching || !t.TableCleared) {
    clearTableModel(c);
    resetTableView(c);
    ResetHandRecords(c);
    c.play.SeatCount = 0;
    t.TableCleared = true;
  }
  c.link.BlinkOn = true;
  c.link.TickCount[kTaskBlink] = 0;
  t.HandsStarted = 1;
  t.HandInProgress = true;
  // Whatever started the hand (a ready, the server's own start of a game's
  // first hand, a resume), the user now plays it: tiles follow the pointer and
  // the ready button is used up until the hand's result.
  MarkContinueButton(c, true);
  for (Control& ok : f.OK) ok.visible = false;
  c.play.HandUnscored = true;
  ++t.HandNo;

  resetTableView(c);
  StartHandView(c);

  f.imgCircle.visible = false;
  f.imgCircle.picture = t.RoundWindPic;
  f.imgCircle.visible = true;
  BringToFront(f, f.imgCircle);

  // Throwing the dice turns a die of 0 into 1; the wall is counted from what was thrown.
  std::array<std::int16_t, 12> dice = r.value;
  bool found = false;
  for (int s = 0; s < kSides && !found; ++s) {
    HandRecord& h = Hand(c, s);
    if (h.seat != r.seat) continue;
    found = true;
    h.isDealer = true;
    ThrowDice(c, s, dice);
    t.MJPOINT = FirstDrawPosition(s, dice);
    t.MJFIRST = static_cast<std::int16_t>((t.MJPOINT + kWallTiles - 3) % kWallTiles);
  }
  t.Dice[0] = dice[0];
  t.Dice[1] = dice[1];
  if (!found) {
    // Nobody holds the dealer's seat: the table has broken up.
    c.platform.messageBox(kAppTitle, "有玩家退出，游戏结束！");
    RestoreLobby(c);
    EndProgram(c);
  }

  f.ZhiNan.visible = true;
  f.Host.visible = true;
  f.Zhuang.visible = true;
  BringToFront(f, f.Zhuang);
  // The table holds this hand now until the next clear. Left set, a ready
  // (or the continue countdown) after this hand would skip clearing the
  // table and the next deal would land on this hand's tiles.
  t.TableCleared = false;
  for (auto& suit : t.SeenCount) suit.fill(0);
  for (int i = 0; i < static_cast<int>(f.Operation.size()); ++i) {
    Control& op = f.Operation[static_cast<std::size_t>(i)];
    op.visible = false;
    op.enabled = false;
    op.picture = f.pics.ClaimButtonPics[static_cast<std::size_t>(3 * i)];
  }
}

void HandleCall(Client& c, const InfoRecord& r) {
  MainForm& f = c.view;
  PlayState& ps = c.play;
  ps.CallTou = 1;
  ps.CallMo = 0;
  ++ps.CallRound;
  c.offer.ActionPhase = 0;
  if (ps.CallRound == 1) {
    const int side = SideOf(c, r.seat);
    // A watcher is never asked: the watched player answers at the table, and
    // the watcher sees the notice any other side would see.
    if (side == 0 && !c.table.Watching) {
      c.shell.JiaoTouOpen = true;
      ShowJiaoTouPrompt(c);
      ps.PromptOpen = true;
      StartTurnClock(c, c.shell.UnattendedMode ? 2 : 6);
    } else {
      c.shell.JiaoTouOpen = false;
      if (!c.shell.UnattendedMode) {
        ShowCallNotice(
            c, c.table.PlayerInfo[static_cast<std::size_t>(side)].nick + "正在叫头，请稍候...");
        ps.PromptOpen = true;
      }
    }
    return;
  }
  if (ps.PromptOpen) {
    UnloadJiaoTouPrompt(c);
    ps.PromptOpen = false;
  }
  // The result closes the question too: when it comes unanswered (the server
  // answered for a user whose link was down), no answer of ours may follow it.
  if (c.shell.JiaoTouOpen) {
    c.shell.JiaoTouOpen = false;
    StopTurnClock(c);
  }
  ps.CallTou = r.value[1];
  ps.CallMo = r.value[3];
  std::string text = std::to_string(ps.CallTou) + "头";
  if (ps.CallMo > 0) text += std::to_string(ps.CallMo) + "摸";
  f.Label3.caption = text;
  f.Label3.visible = true;
  BringToFront(f, f.Label3);
}

void HandleFlower(Client& c, const InfoRecord& r) {
  // An own flower replacement without a tile: nothing to show. A watcher never
  // sees the watched player's tile, yet the flower still goes aside and the
  // wall's replacement end still gives up a tile.
  if (r.value[3] == 0 && r.seat == c.table.custom[0].seat && !c.table.Watching) return;
  TableModel& t = c.table;
  PlayState& ps = c.play;
  ps.FlowerPhase = true;
  motionWaitMillis(c, 200);
  const int side = SideOf(c, r.seat);
  if (c.sound.SoundOn) {
    PlayEffect(c, ClaimVoicePath(c, side, kVoiceFlower), false);
    SetEffectVolume(c, kFullVolume);
  }
  // The 财神 bubble.
  ShowSideBubble(c, side, 425 + side);

  // Counted even when no slot is left to show it: the replacement tile then
  // takes the flower's place instead of joining the row as a tile of its own.
  showFlower(c, side, r.value[1]);
  if (side == 0)
    ++t.OwnFlowerCount;
  else
    ++t.SideFlowerCount[static_cast<std::size_t>(side)];
  ++Hand(c, side).flowers;
  c.link.ContinueClockOn = false;
  if (t.Watching) {
    // A watcher sees every row face down: the flower was drawn as one of its
    // backs, and the replacement takes that back's place. Only the wall's
    // replacement end gives up a tile; a tile added here would be one too many.
    RefuseDuringSnapshot(c);
    Tile(c, WallPosition(t.MJFIRST)).visible = false;
    advanceBack(c);
  } else {
    takeWallTiles(c, r.seat, 1, r.value, true);
  }
  ps.FlowerPhase = false;
}

}  // namespace tavren
