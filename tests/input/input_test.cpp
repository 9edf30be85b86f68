// The user at the table: discards and passes with the mouse, hovering the
// hand, the operation buttons and candidates, the window keys and the
// control bar; clicks arrive by coordinates through the table's hit test.
#include "input/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "autoplay/autoplay.h"
#include "rules/offer.h"
#include "support/play_table.h"
#include "view/chrome.h"

namespace tavren {
namespace {

using testing::Honour;
using testing::PlayTable;
using testing::PumpTable;
using testing::Req;
using testing::Request;
using testing::Tiao;
using testing::Tong;
using testing::Wan;

// Clicks the middle of a control through the table's hit test.
void Click(PlayTable& t, const Control& k) {
  TableClick(t.c, k.x + k.w / 2, k.y + k.h / 2);
}

TEST(TileClick, ADiscardAnswersTheOpenOfferWithOnePassFirst) {
  for (bool passedBefore : {false, true}) {
    PlayTable t;
    t.stand({Wan(1), Wan(5), Tong(3), Tiao(2), Tiao(7)});  // unsorted on purpose
    t.offer(1 + 32);
    if (passedBefore) {
      OnOperationClick(t.c, kButtonPass);
      EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 1)}));
      EXPECT_TRUE(t.c.offer.MayDiscard);  // passing a self-drawn offer keeps the discard
    }
    Click(t, t.tile(42));  // the third of five: 3筒
    const std::vector<Request> want =
        passedBefore ? std::vector<Request>{Req(2, 0, 0, 0, 0x4000 | Tong(3))}
                     : std::vector<Request>{Req(7, 1), Req(2, 0, 0, 0, 0x4000 | Tong(3))};
    EXPECT_EQ(t.sent(), want) << passedBefore;
    // The fourth and fifth moved one place left, then the row was sorted again.
    EXPECT_EQ(t.codes(), (std::vector<int>{Wan(1), Wan(5), Tiao(2), Tiao(7)}));
    EXPECT_EQ(t.own().mj[6].ind, 43);
    EXPECT_EQ(t.tile(43).x, StandingPlace(t.c, 0, 6).x);
    EXPECT_EQ(t.own().mj[8].ind, -1);
    // The discard lies face up in the centre, behind the other tiles but in
    // front of the compass there.
    const Control& d = t.tile(42);
    EXPECT_EQ(d.w, 36);
    EXPECT_EQ(d.h, 50);
    EXPECT_EQ(d.x, (t.c.view.pic1W - 36) / 2);
    EXPECT_EQ(d.y, (t.c.view.pic1H - 50) / 2);
    EXPECT_EQ(d.picture, t.c.view.pics.TilePics[static_cast<std::size_t>(FaceIndex(Tong(3)))]);
    const auto& order = t.c.view.order;
    const auto at = std::find(order.begin(), order.end(), &d);
    const auto compass = std::find(order.begin(), order.end(), &t.c.view.ZhiNan);
    EXPECT_EQ(at, compass + 1);
    for (const Control& k : t.c.view.MJ_Image) {
      if (&k == &d) continue;
      EXPECT_LT(at, std::find(order.begin(), order.end(), &k));
    }
    EXPECT_EQ(t.c.table.LastDiscardInd, 42);
    EXPECT_EQ(t.c.offer.ActionPhase, 2);
    EXPECT_FALSE(t.c.offer.MayDiscard);
    EXPECT_FALSE(t.c.link.TurnClockOn);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(t.op(i).visible);
    // A second click has nothing left to discard.
    Click(t, t.tile(40));
    EXPECT_TRUE(t.sent().empty());
  }
}

TEST(TileClick, ALockedHandDiscardsOnlyTheDrawnTile) {
  PlayTable t;
  t.stand({Wan(1), Wan(2), Wan(3), Wan(4), Tiao(9)});
  t.c.offer.ChiDone = t.c.offer.TingLock = true;
  t.c.offer.MayDiscard = true;
  t.c.offer.ClaimSent = true;
  OnTileClick(t.c, 40, false);
  OnTileClick(t.c, 43, true);
  EXPECT_TRUE(t.sent().empty());
  OnTileClick(t.c, 44, false);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(2, 0, 0, 0, 0x4000 | Tiao(9))}));
}

TEST(TileClick, TheFirstDiscardAfterAChiLocksTheHand) {
  PlayTable t;
  t.stand({Wan(1), Wan(2)});
  t.c.offer.ChiDone = true;
  t.c.offer.MayDiscard = true;
  OnTileClick(t.c, 40, false);
  EXPECT_TRUE(t.c.offer.TingLock);
}

TEST(TileClick, ClicksThatDoNothing) {
  struct Case {
    const char* what;
    void (*set)(PlayTable&);
    int control;
    bool right;
  };
  const Case cases[] = {
      {"flowers being replaced", [](PlayTable& t) { t.c.play.FlowerPhase = true; }, 40, false},
      {"countdown ran out", [](PlayTable& t) { t.c.offer.ActionPhase = 3; }, 40, false},
      {"before the login", [](PlayTable& t) { t.c.table.LoginAccepted = false; }, 40, false},
      {"may not discard", [](PlayTable& t) { t.c.offer.MayDiscard = false; }, 40, false},
      {"a wall tile, pass hidden", [](PlayTable&) {}, 120, true},
      {"a wall tile, left button", [](PlayTable& t) { t.op(4).visible = true; }, 120, false},
      {"no such control", [](PlayTable&) {}, 144, true},
      {"negative control", [](PlayTable&) {}, -1, true},
  };
  for (const Case& k : cases) {
    PlayTable t;
    t.stand({Wan(1), Wan(2)});
    t.c.offer.MayDiscard = true;
    k.set(t);
    OnTileClick(t.c, k.control, k.right);
    EXPECT_TRUE(t.sent().empty()) << k.what;
    EXPECT_EQ(t.own().count, 2) << k.what;
    EXPECT_FALSE(t.c.ended) << k.what;
  }
}

TEST(TileClick, RightClickDiscardsAStandingTileAndPassesElsewhere) {
  PlayTable t;
  t.stand({Wan(1), Wan(2)});
  t.offer(1 + 8);
  t.c.offer.MayDiscard = true;
  OnTileClick(t.c, 41, true);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 1), Req(2, 0, 0, 0, 0x4000 | Wan(2))}));

  PlayTable u;
  u.stand({Wan(1)});
  u.offer(1 + 8);
  OnTileClick(u.c, 120, true);  // a wall tile while the pass button shows
  EXPECT_EQ(u.sent(), (std::vector<Request>{Req(7, 1)}));
  EXPECT_FALSE(u.op(4).visible);
  EXPECT_FALSE(u.c.link.TurnClockOn);
  OnTileClick(u.c, 120, true);
  EXPECT_TRUE(u.sent().empty());
}

TEST(TableRightClick, PassesOnceWhileThePassButtonShows) {
  PlayTable t;
  t.stand({Wan(1)});
  OnTableRightClick(t.c);
  EXPECT_TRUE(t.sent().empty());
  t.offer(1 + 4);
  OnTableRightClick(t.c);
  OnTableRightClick(t.c);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 1)}));
  EXPECT_EQ(t.c.offer.ActionPhase, 1);
}

TEST(TableRightClick, ARightClickOnTheSurfacePassesThroughTheHitTest) {
  PlayTable t;
  t.stand({Wan(1)});
  t.offer(1 + 4);
  TableRightClick(t.c, 5, 400);  // bare felt at the left edge
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 1)}));
}

TEST(TileHover, RaisesTheStandingTileUnderThePointer) {
  PlayTable t;
  t.stand({Wan(1), Wan(2), Wan(3)});
  const int y = t.own().handY;
  TableMouseMove(t.c, t.tile(41).x + 5, t.tile(41).y + 5);
  EXPECT_EQ(t.tile(41).y, y - 10);
  EXPECT_EQ(t.c.input.Pointer, kPointerHand);
  OnTileHover(t.c, 42);
  EXPECT_EQ(t.tile(41).y, y);
  EXPECT_EQ(t.tile(42).y, y - 10);
  // Over the bare table the raised tile goes down again.
  TableMouseMove(t.c, 5, 300);
  EXPECT_EQ(t.tile(42).y, y);

  OnTileHover(t.c, 120);
  EXPECT_EQ(t.c.input.Pointer, kPointerDefault);
  t.c.table.Watching = true;
  OnTileHover(t.c, 40);
  EXPECT_EQ(t.tile(40).y, y);
  t.c.table.Watching = false;
  t.c.input.TableActive = false;
  OnTileHover(t.c, 40);
  EXPECT_EQ(t.tile(40).y, y);
}

TEST(TileHover, TheRiseIsTenTablePixelsOnASmallScreenToo) {
  PlayTable t({800, 600});
  t.stand({Wan(1), Wan(2)});
  const int y = t.own().handY;
  ASSERT_LT(t.c.view.ScaleY, 1.0f);
  OnTileHover(t.c, 41);
  EXPECT_EQ(t.tile(41).y, y - 10);
}

TEST(OperationButtons, EachClaimSendsItsRequest) {
  struct Case {
    int mask;
    int button;
    std::vector<int> hand;
    int discard;
    std::vector<Request> sent;
  };
  const int w5 = 0x2000 | Wan(5);
  const Case cases[] = {
      {1 + 8, kButtonPeng, {Wan(5), Wan(5), Tiao(1)}, Wan(5), {Req(7, 8, w5, w5, w5)}},
      {1 + 128, kButtonHu, {Wan(5), Wan(5)}, Wan(5), {Req(7, 128)}},
      {1 + 4,
       kButtonChi,
       {Wan(3), Wan(4), Tiao(1)},
       Wan(5),
       {Req(7, 4, 0x2000 | Wan(3), 0x2000 | Wan(4), w5)}},
      {1 + 4, kButtonPass, {Wan(3), Wan(4), Tiao(1)}, Wan(5), {Req(7, 1)}},
      // Not offered: ignored.
      {1 + 4, kButtonPeng, {Wan(5), Wan(5)}, Wan(5), {}},
      {1 + 4, 7, {Wan(5), Wan(5)}, Wan(5), {}},
      // Four equal standing tiles go as a concealed kong, added bit or not.
      {1 + 32 + 64,
       kButtonKong,
       {Wan(2), Wan(2), Wan(2), Wan(2), Tiao(1)},
       0,
       {Req(7, 32, 0x2000 | Wan(2), 0x2000 | Wan(2), 0x2000 | Wan(2))}},
  };
  for (const Case& k : cases) {
    PlayTable t;
    t.own().meldCursor = 3;
    t.stand({});
    HandRecord& h = t.own();
    for (std::size_t i = 0; i < k.hand.size(); ++i)
      h.mj[h.first + i] = {kSlotStanding, static_cast<std::int16_t>(k.hand[i]),
                           static_cast<std::int16_t>(40 + i)};
    h.count = static_cast<std::int16_t>(k.hand.size());
    if (k.discard) t.onShow(k.discard);
    t.offer(k.mask);
    OnOperationClick(t.c, k.button);
    EXPECT_EQ(t.sent(), k.sent) << k.mask << " " << k.button;
    if (!k.sent.empty()) {
      EXPECT_EQ(t.c.offer.ActionPhase, 1);
      for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(t.op(i).enabled);
        EXPECT_EQ(t.op(i).picture, t.spentPic(i));
      }
      // Each button acts once per offer.
      for (int i = 0; i < 5; ++i) OnOperationClick(t.c, i);
      EXPECT_TRUE(t.sent().empty());
    }
  }
}

TEST(OperationButtons, ClaimingStopsTheClockAndThePassKeepsTheDiscard) {
  PlayTable t;
  t.stand({Wan(5), Wan(5), Tiao(1), Tiao(2), Tiao(3)});
  t.onShow(Wan(5));
  t.offer(1 + 8);
  ASSERT_TRUE(t.c.offer.MayDiscard);
  OnOperationClick(t.c, kButtonPass);
  EXPECT_TRUE(t.c.link.TurnClockOn);  // the user still has to discard
  EXPECT_TRUE(t.c.offer.MayDiscard);

  PlayTable u;
  u.stand({Wan(5), Wan(5), Tiao(1), Tiao(2), Tiao(3)});
  u.onShow(Wan(5));
  u.offer(1 + 8);
  OnOperationClick(u.c, kButtonPeng);
  EXPECT_FALSE(u.c.link.TurnClockOn);
  EXPECT_FALSE(u.c.offer.MayDiscard);
  EXPECT_EQ(u.c.link.TimeoutCount, 0);
}

TEST(ChoicePictures, AChiPictureSendsItsPair) {
  struct Case {
    int picture;
    int a, b;  // chosen ranks
  };
  // Discard 3萬 with 1 2 4 5萬: pairs (1,2) (2,4) (4,5).
  const Case cases[] = {{0, 1, 2}, {1, 1, 2}, {2, 2, 4}, {3, 2, 4}, {5, 4, 5}};
  for (const Case& k : cases) {
    PlayTable t;
    t.own().meldCursor = 3;
    t.stand({Wan(1), Wan(2), Wan(4), Wan(5)});
    t.onShow(Wan(3));
    t.offer(1 + 4);
    Click(t, t.op(kButtonChi));
    EXPECT_TRUE(t.sent().empty());
    Click(t, t.c.view.Chi[static_cast<std::size_t>(k.picture)]);
    EXPECT_EQ(
        t.sent(),
        (std::vector<Request>{Req(7, 4, 0x2000 | Wan(k.a), 0x2000 | Wan(k.b), 0x2000 | Wan(3))}))
        << k.picture;
    for (const Control& c : t.c.view.Chi) EXPECT_FALSE(c.visible);
    // The meld is laid with the chosen pair.
    const auto& o = t.c.offer;
    EXPECT_EQ(t.own().mj[static_cast<std::size_t>(o.ChiChoice[0])].value, Wan(k.a));
    EXPECT_EQ(t.own().mj[static_cast<std::size_t>(o.ChiChoice[1])].value, Wan(k.b));
  }
}

TEST(ChoicePictures, AKongPictureSendsItsKindAndStopsTheHalvedClock) {
  PlayTable t;
  t.own().meldCursor = 3;
  t.stand({Tong(9), Tong(9), Tong(9), Wan(2), Wan(2), Wan(2), Wan(2)});
  t.onShow(Tong(9));
  t.offer(1 + 16 + 32);
  Click(t, t.op(kButtonKong));
  ASSERT_TRUE(t.c.view.Gang[1].visible);
  EXPECT_TRUE(t.c.link.TurnClockOn);
  Click(t, t.c.view.Gang[1]);
  const int w2 = 0x2000 | Wan(2);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(7, 32, w2, w2, w2)}));
  EXPECT_EQ(t.c.offer.KongChoice[0], 7);
  EXPECT_FALSE(t.c.link.TurnClockOn);
  for (const Control& g : t.c.view.Gang) EXPECT_FALSE(g.visible);
  // Out of range or a picture not in use: nothing.
  OnChoiceClick(t.c, ChoiceKind::Gang, 4);
  OnChoiceClick(t.c, ChoiceKind::Gang, -3);
  OnChoiceClick(t.c, ChoiceKind::Chi, 5);
  EXPECT_TRUE(t.sent().empty());
}

TEST(ChoicePictures, NoPictureNoRequest) {
  // A single pair went out at once: a click on a hidden picture sends nothing more.
  PlayTable t;
  t.own().meldCursor = 3;
  t.stand({Wan(3), Wan(4), Tiao(1)});
  t.onShow(Wan(5));
  t.offer(1 + 4);
  OnOperationClick(t.c, kButtonChi);
  EXPECT_EQ(t.sent().size(), 1u);
  OnChoiceClick(t.c, ChoiceKind::Chi, 0);
  OnChoiceClick(t.c, ChoiceKind::Chi, 1);
  EXPECT_TRUE(t.sent().empty());
}

TEST(OperationButtons, AKongThatCannotBeFormedLeavesTheAnswerToTheCountdown) {
  PumpTable t;
  t.hand({Tong(9), Tong(8), Tong(7), Wan(1)});
  t.onShow(Tong(9));
  t.offer(1 + 16);
  OnOperationClick(t.c, kButtonKong);
  EXPECT_TRUE(t.c.link.TurnClockOn);
  t.Run(10000);
  EXPECT_EQ(t.take(), (std::vector<Request>{Req(7, 1)}));
}

// On the user's own turn the server waits for a discard: a kong button that
// finds no kong (a set-aside offer, say) must leave the turn a discard, by the
// user or by the countdown, or the table stalls.
TEST(OperationButtons, AKongThatCannotBeFormedOnTheUsersTurnStillEndsInADiscard) {
  PumpTable t;
  t.hand({Wan(1), Wan(5), Tong(3), Tiao(2), Tiao(7)});
  t.offer(1 + 64);
  ASSERT_TRUE(t.c.offer.MayDiscard);
  OnOperationClick(t.c, kButtonKong);
  EXPECT_TRUE(t.c.offer.MayDiscard);
  EXPECT_TRUE(t.c.link.TurnClockOn);
  t.Run(30000);
  bool discarded = false;
  for (const Request& r : t.take()) discarded = discarded || r.type == 2;
  EXPECT_TRUE(discarded);
}

TEST(ControlBar, ADisabledButtonDoesNothing) {
  PlayTable t;
  t.c.input.TableActive = false;
  t.c.view.AnNiu[2].enabled = false;
  OnControlBarClick(t.c, 2);
  EXPECT_TRUE(t.sent().empty());
  EXPECT_FALSE(t.c.input.TableActive);
}

TEST(Keys, AltAndCOpenTheChatWindowOnlyOneAfterTheOther) {
  struct Case {
    std::vector<std::pair<int, bool>> keys;
    int opened;
  };
  const Case cases[] = {
      {{{kKeyAlt, false}, {kKeyC, false}}, 1},
      {{{kKeyC, false}, {kKeyAlt, false}}, 1},
      {{{kKeyAlt, false}, {88, false}, {kKeyC, false}}, 0},
      {{{kKeyC, true}}, 1},
      {{{kKeyC, false}, {kKeyC, false}}, 0},
  };
  for (const Case& k : cases) {
    PlayTable t;
    for (auto [key, alt] : k.keys) OnKey(t.c, key, alt);
    EXPECT_EQ(t.c.forms[FormId::Talk].visible, k.opened == 1);
    EXPECT_FALSE(t.c.input.AltDown && t.c.input.CDown);
  }
}

TEST(Keys, F1PlaysOnAloneAndEscTogglesTheExitDialog) {
  PlayTable t;
  t.c.view.Information.visible = true;
  t.c.forms[FormId::Talk].visible = true;
  OnKey(t.c, kKeyF1, false);
  EXPECT_TRUE(t.c.link.BossMode);
  EXPECT_EQ(t.c.offer.TurnTime, 0);
  EXPECT_TRUE(t.c.view.minimized);
  EXPECT_FALSE(t.c.view.Information.visible);
  EXPECT_EQ(t.platform.lobby.count(kWmSysCommand), 1);
  EXPECT_EQ(t.platform.lobby.received.back().wParam, kScMinimize);
  EXPECT_FALSE(t.c.forms[FormId::Talk].visible);
  OnKey(t.c, kKeyEsc, false);
  EXPECT_TRUE(t.c.forms[FormId::frmExit].visible);
  OnKey(t.c, kKeyEsc, false);
  EXPECT_FALSE(t.c.forms[FormId::frmExit].visible);

  // Without the lobby the client ends.
  PlayTable u;
  u.platform.lobby.present = false;
  OnKey(u.c, kKeyF1, false);
  EXPECT_TRUE(u.c.ended);
}

TEST(ControlBar, TheReadyButtonActsOncePerHand) {
  PlayTable t;
  t.c.input.TableActive = false;
  t.c.shell.FirstStart = true;
  t.c.link.ContinueClockOn = true;
  Click(t, t.c.view.AnNiu[2]);
  Click(t, t.c.view.AnNiu[2]);
  EXPECT_EQ(t.sent(), (std::vector<Request>{Req(16, 0, 0, 0, 1)}));
  EXPECT_TRUE(t.c.input.TableActive);
  EXPECT_TRUE(t.c.input.ReadyFlag);
  EXPECT_TRUE(t.c.view.OK[0].visible);
  EXPECT_FALSE(t.c.link.ContinueClockOn);
  EXPECT_FALSE(t.c.shell.FirstStart);
  EXPECT_TRUE(t.c.table.TableCleared);
  EXPECT_EQ(t.c.view.AnNiu[2].picture, ButtonPicture(t.c, 6));
  // A hand's result makes it available again.
  MarkContinueButton(t.c, false);
  Click(t, t.c.view.AnNiu[2]);
  EXPECT_EQ(t.sent().size(), 1u);
}

TEST(ControlBar, AfterTheGameTheReadyButtonGoesBackToTheLobby) {
  PlayTable t;
  t.c.input.TableDissolved = true;
  OnControlBarClick(t.c, 2);
  EXPECT_EQ(t.c.log.count("ResetToLobby"), 1);
  EXPECT_TRUE(t.c.view.minimized);
  EXPECT_EQ(t.platform.lobby.received.back().wParam, kScRestore);
  EXPECT_TRUE(t.sent().empty());
  EXPECT_FALSE(t.c.ended);

  PlayTable u;
  u.c.input.TableDissolved = true;
  u.platform.lobby.present = false;
  OnControlBarClick(u.c, 2);
  EXPECT_TRUE(u.c.ended);
}

TEST(ControlBar, TheOtherButtons) {
  PlayTable t;
  t.c.table.HandNo = 4;
  t.c.table.HandInProgress = true;
  EXPECT_EQ(LatestFinishedHand(t.c), 3);
  OnControlBarClick(t.c, 5);
  EXPECT_TRUE(t.c.forms[FormId::Score].visible);
  t.c.table.HandInProgress = false;
  EXPECT_EQ(LatestFinishedHand(t.c), 4);
  OnControlBarClick(t.c, 5);
  EXPECT_FALSE(t.c.forms[FormId::Score].visible);
  OnControlBarClick(t.c, 7);
  ASSERT_EQ(t.platform.openedUrls.size(), 1u);
  EXPECT_EQ(t.platform.openedUrls[0], kRulesPageUrl);
  for (int i : {0, 1, 3, 6, 8}) OnControlBarClick(t.c, i);
  EXPECT_TRUE(t.c.forms[FormId::Talk].visible);
  EXPECT_TRUE(t.c.forms[FormId::VosSet].visible);
  EXPECT_TRUE(t.c.forms[FormId::frmExit].visible);
  EXPECT_TRUE(t.c.forms[FormId::Hero].visible);
  for (int i : {1, 3, 8}) OnControlBarClick(t.c, i);
  EXPECT_FALSE(t.c.forms[FormId::Talk].visible);
  EXPECT_FALSE(t.c.forms[FormId::VosSet].visible);
  EXPECT_FALSE(t.c.forms[FormId::frmExit].visible);
  OnControlBarClick(t.c, 4);
  EXPECT_TRUE(t.c.view.minimized);
  OnControlBarClick(t.c, 9);
  OnControlBarClick(t.c, -1);
  EXPECT_FALSE(t.c.ended);
}

TEST(ControlBar, HoverHighlightsUntilThePointerIsBackOnTheTable) {
  struct Case {
    int button;
    bool firstStart;
    int hand;
    int normal, highlighted;  // ButtonPics entries
  };
  const Case cases[] = {{0, false, 0, 0, 1},  {1, false, 0, 2, 3}, {2, true, 0, 4, 5},
                        {2, true, 1, 6, 7},   {2, false, 0, 6, 7}, {3, false, 0, 8, 9},
                        {8, false, 0, 18, 19}};
  for (const Case& k : cases) {
    PlayTable t;
    t.c.shell.FirstStart = k.firstStart;
    t.c.table.HandNo = static_cast<std::int16_t>(k.hand);
    const Control& b = t.c.view.AnNiu[static_cast<std::size_t>(k.button)];
    TableMouseMove(t.c, b.x + 2, b.y + 2);
    EXPECT_EQ(b.picture, ButtonPicture(t.c, k.highlighted)) << k.button;
    EXPECT_EQ(t.c.input.Tooltip, ControlBarTooltip(k.button));
    TableMouseMove(t.c, 5, 300);
    EXPECT_EQ(b.picture, ButtonPicture(t.c, k.normal)) << k.button;
    EXPECT_TRUE(t.c.input.Tooltip.empty());
  }
}

TEST(TableClick, TheBareTableClosesTheSecondaryWindows) {
  PlayTable t;
  const FormId closed[] = {FormId::Talk, FormId::huifu,  FormId::Score,
                           FormId::Hero, FormId::VosSet, FormId::frmExit};
  for (FormId id : closed) t.c.forms[id].visible = true;
  t.c.forms[FormId::tishi].visible = true;
  TableClick(t.c, 5, 300);
  for (FormId id : closed) EXPECT_FALSE(t.c.forms[id].visible) << static_cast<int>(id);
  EXPECT_TRUE(t.c.forms[FormId::tishi].visible);  // the 叫头 prompt stays
}

TEST(KongTops, AWonHandLetsTheUserTurnUpAKongTop) {
  PlayTable t;
  t.c.tableView.KongTops[0] = {70, static_cast<std::int16_t>(Wan(7)), 1};
  t.c.tableView.KongTopCount = 1;
  OnTileClick(t.c, 70, false);
  EXPECT_EQ(t.c.tableView.KongTops[0].ind, 70);  // not yet: nobody has won
  t.c.tableView.HuSide = 2;
  OnTileClick(t.c, 70, false);
  EXPECT_EQ(t.c.tableView.KongTops[0].ind, -1);
  EXPECT_EQ(t.tile(70).picture,
            t.c.view.pics.TilePics[static_cast<std::size_t>(36 + FaceIndex(Wan(7)))]);
}

// The wall tiles the hand's end revealed turn up one by one when clicked:
// a flower through the flower picture, a tile by its lying face.
TEST(RevealedWallTiles, AClickTurnsUpTheTileAtItsPositionOnce) {
  PlayTable t;
  PlayState& ps = t.c.play;
  ps.RevealCount = 3;
  ps.RevealTiles = {static_cast<std::int16_t>(Wan(7)), 3, static_cast<std::int16_t>(Wan(2)), 0, 0};
  ps.RevealPos = {45, 46, 100, 0, 0};
  const int back = t.tile(100).picture;
  OnTileClick(t.c, 101, false);  // not a revealed position
  EXPECT_EQ(t.tile(100).picture, back);
  OnTileClick(t.c, 100, false);
  EXPECT_EQ(t.tile(100).picture,
            t.c.view.pics.TilePics[static_cast<std::size_t>(FaceIndex(Wan(2)))]);
  EXPECT_EQ(ps.RevealPos[2], -1);
  EXPECT_EQ(t.c.view.order.back(), &t.tile(100));
  OnTileClick(t.c, 46, false);
  EXPECT_NE(t.tile(46).picture, 0);
  EXPECT_EQ(ps.RevealPos[1], -1);
  // Position 0 is listed for no tile: a click there shows nothing.
  const int zero = t.tile(0).picture;
  OnTileClick(t.c, 0, false);
  EXPECT_EQ(t.tile(0).picture, zero);
}

TEST(Robustness, ArbitraryOffersClicksAndKeysKeepTheHandWhole) {
  std::mt19937 random(7);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 200; ++round) {
    PlayTable t;
    t.own().meldCursor = 3;
    std::vector<int> hand;
    const int n = 1 + pick(14);
    for (int i = 0; i < n; ++i) {
      const int suit = 1 << pick(4);
      hand.push_back(suit << 4 | (1 + pick(9)));
    }
    t.stand({});
    HandRecord& h = t.own();
    for (int i = 0; i < n; ++i)
      h.mj[static_cast<std::size_t>(h.first + i)] = {
          kSlotStanding, static_cast<std::int16_t>(hand[i]), static_cast<std::int16_t>(40 + i)};
    h.count = static_cast<std::int16_t>(n);
    t.onShow(hand[0] + (pick(2) ? 1 : -1), 100);
    for (int step = 0; step < 12; ++step) {
      switch (pick(6)) {
        case 0:
          t.offer(pick(256));
          break;
        case 1:
          OnOperationClick(t.c, pick(7) - 1);
          break;
        case 2:
          OnChoiceClick(t.c, pick(2) ? ChoiceKind::Chi : ChoiceKind::Gang, pick(8) - 1);
          break;
        case 3:
          OnTileClick(t.c, pick(146) - 1, pick(2) == 1);
          break;
        case 4:
          OnKey(t.c, pick(2) ? kKeyAlt : kKeyC, false);
          break;
        default:
          TimeoutMove(t.c);
          break;
      }
      ASSERT_FALSE(t.c.ended) << round << " " << step;
      ASSERT_GE(h.count, 0);
      ASSERT_LE(h.first + h.count, kSlots);
      for (int k = h.first; k < h.first + h.count; ++k) {
        const int ind = h.mj[static_cast<std::size_t>(k)].ind;
        ASSERT_TRUE(ind >= 40 && ind < 40 + n) << round << " slot " << k << " ind " << ind;
      }
    }
  }
}

}  // namespace
}  // namespace tavren
