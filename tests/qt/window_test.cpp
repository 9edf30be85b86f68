// The real windows: synthetic pointer and key events on the table window and
// the small windows, and what they painted, over a client in virtual time.
#include <gtest/gtest.h>

#include <QBackingStore>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "chat/bubbles.h"
#include "chat/chat.h"
#include "input/input.h"
#include "link/reconnect.h"
#include "protocol/tavren_protocol.h"
#include "shell/dialogs.h"
#include "shell/record_file.h"
#include "shell/result_windows.h"
#include "sound/settings.h"
#include "support/window_rig.h"
#include "view/motion.h"
#include "view/seats.h"

namespace tavren {
namespace {

using testing::Differing;
using testing::MoveOver;
using testing::WaitUntil;
using testing::WindowRig;

int ControlIndex(const SmallForm& f, const char* name, int index = 0) {
  for (std::size_t i = 0; i < f.controls.size(); ++i)
    if (std::string(f.controls[i].name) == name && f.controls[i].index == index)
      return static_cast<int>(i);
  return -1;
}

QPoint Centre(const Control& k) {
  return QPoint(k.x + k.w / 2, k.y + k.h / 2);
}

// How many pixels of `area` (surface pixels) do not show control `k`'s own
// picture, where that picture is opaque: what lies over the control there.
int CoveredPixels(WindowRig& r, const Control& k, const QRect& area) {
  const QImage painted = r.Painted();
  const QImage own = r.window.surface()->painter().picture(k.picture, k.w, k.h).toImage();
  const QPoint surface = r.window.surface()->geometry().topLeft();
  int covered = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QPoint in(x - k.x, y - k.y);
      if (!own.valid(in) || qAlpha(own.pixel(in)) < 255) continue;
      covered += (painted.pixel(surface + QPoint(x, y)) & 0xFFFFFF) != (own.pixel(in) & 0xFFFFFF);
    }
  return covered;
}

// The user holds two standing tiles with a discard due: controls 0 and 1.
void HoldTwoTilesToDiscard(Client& c) {
  HandRecord& own = c.table.custom[0];
  c.table.LoginAccepted = true;
  c.input.TableActive = true;
  own.first = 0;
  own.count = 2;
  LoadSteps(c, Steps::Standing);
  for (int k = 0; k < 2; ++k) {
    own.mj[static_cast<std::size_t>(k)] = {kSlotStanding, static_cast<std::int16_t>(0x21 + k),
                                           static_cast<std::int16_t>(k)};
    ShowStandingFace(c, 0, k, 0x21 + k);
    placeInStandingRow(c, 0, k, k);
  }
  c.offer.MayDiscard = true;
  c.offer.ClaimSent = true;
  c.offer.ActionPhase = kPhaseOpen;
}

TEST(RealWindow, ACountdownDigitIsRedrawnWithNoPointerEvent) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    c.table.LoginAccepted = true;
    c.offer.Countdown = 9;
    c.view.Number.caption = "9";
    c.view.Number.visible = c.view.Time_Img.visible = true;
    c.link.TurnClockOn = true;
    SetTimer(c, TimerId::Bong, true);
  });
  r.Run(0);
  const QImage before = r.Painted();
  const QRect digit = QRect(c.view.Number.x, c.view.Number.y, c.view.Number.w, c.view.Number.h)
                          .translated(c.view.pic1X, c.view.pic1Y);
  r.Run(1000);  // twenty ticks: one step of the countdown, and no pointer moved
  ASSERT_EQ(c.view.Number.caption, "8");
  EXPECT_GT(Differing(before, r.Painted(), digit), 10);
}

TEST(RealWindow, TheCloseButtonAndTheWindowManagersCloseAskTheExitQuestion) {
  {
    WindowRig r;
    const QPoint button = r.window.closeRect().center();
    QTest::mousePress(&r.window, Qt::LeftButton, {}, button);
    QTest::mouseRelease(&r.window, Qt::LeftButton, {}, button);
    r.Settle();
    EXPECT_TRUE(r.s.c.forms[FormId::frmExit].visible);
    qt::FormWindow* exit = r.window.forms()->window(FormId::frmExit);
    ASSERT_NE(exit, nullptr);
    EXPECT_TRUE(exit->isVisible());
    EXPECT_FALSE(r.s.platform.endRequested);
  }
  {
    WindowRig r;
    EXPECT_FALSE(r.window.close());  // the window refuses: the question decides
    r.Settle();
    EXPECT_TRUE(r.s.c.forms[FormId::frmExit].visible);
    EXPECT_TRUE(r.window.isVisible());
    EXPECT_FALSE(r.s.platform.endRequested);
  }
}

// A window manager gives the keyboard to a small window as it opens; the
// table's keys work there too.
TEST(RealWindow, EscInASmallWindowThatHasTheKeyboardTogglesTheExitQuestion) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] { ToggleSoundSettings(c); });
  EXPECT_FALSE(r.window.close());  // the exit question
  r.Settle();
  qt::FormWindow* exit = r.window.forms()->window(FormId::frmExit);
  qt::FormWindow* sound = r.window.forms()->window(FormId::VosSet);
  ASSERT_NE(exit, nullptr);
  ASSERT_NE(sound, nullptr);
  ASSERT_TRUE(exit->isVisible());
  QTest::keyClick(exit, Qt::Key_Escape);
  r.Settle();
  EXPECT_FALSE(c.forms[FormId::frmExit].visible);
  EXPECT_TRUE(WaitUntil([&] { return !exit->isVisible(); }));
  // In another small window Esc opens it again.
  QTest::keyClick(sound, Qt::Key_Escape);
  r.Settle();
  EXPECT_TRUE(c.forms[FormId::frmExit].visible);
  EXPECT_TRUE(WaitUntil([&] { return exit->isVisible(); }));
}

// The offscreen platform, like an X server with no window manager, leaves a
// minimised window on the screen: the table stays usable, dialogs included.
TEST(RealWindow, AMinimiseThatLeavesTheTableOnTheScreenKeepsItsDialogsOpening) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] { MinimizeMainWindow(c); });
  r.window.sync();
  r.Settle();
  ASSERT_TRUE(r.window.isMinimized());
  ASSERT_TRUE(r.window.windowHandle()->isExposed());
  EXPECT_FALSE(r.window.awayFromScreen());
  QTest::keyClick(r.window.surface(), Qt::Key_Escape);
  r.Settle();
  ASSERT_TRUE(c.forms[FormId::frmExit].visible);
  qt::FormWindow* exit = r.window.forms()->window(FormId::frmExit);
  ASSERT_NE(exit, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return exit->isVisible(); }));
  // Restored, the dialog stays where it is.
  RunEvent(c, [&] { ShowMainWindow(c); });
  r.window.sync();
  r.Settle();
  EXPECT_FALSE(r.window.isMinimized());
  EXPECT_TRUE(exit->isVisible());
}

// The dialogs and the chat window show their captions on a strip above their
// controls, which still take the clicks meant for them.
TEST(RealWindow, TheExitSoundAndChatWindowsShowTheirCaptionsAndTheirButtonsStillWork) {
  struct Case {
    FormId id;
    const char* button;
    int index;
  } cases[] = {{FormId::frmExit, "pbCancel", 0},
               {FormId::frmOtherExit, "imgCancel", 0},
               {FormId::VosSet, "Command1", 1},
               {FormId::Talk, "Label1", 0}};
  for (const Case& k : cases) {
    WindowRig r;
    Client& c = r.s.c;
    RunEvent(c, [&] {
      if (k.id == FormId::frmExit) ShowExitDialog(c);
      if (k.id == FormId::frmOtherExit) ShowOtherExitDialog(c, "游戏结束");
      if (k.id == FormId::VosSet) ToggleSoundSettings(c);
      if (k.id == FormId::Talk) ShowTalk(c);
    });
    r.window.sync();
    r.Settle();
    const SmallForm& f = c.forms[k.id];
    ASSERT_TRUE(f.titled) << f.caption;
    qt::FormWindow* w = r.window.forms()->window(k.id);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return w->isVisible(); }));
    EXPECT_EQ(w->height(), f.h + kFormTitleH) << f.caption;
    const QImage painted = WindowRig::Painted(*w);
    int ink = 0, shade = 0;
    for (int y = 0; y < kFormTitleH; ++y)
      for (int x = 0; x < f.w; ++x) {
        const QColor px = painted.pixelColor(x, y);
        ink += px.red() > 200 && px.green() > 200 && px.blue() > 200;
        shade += px.red() < 160 && px.blue() < 60;
      }
    EXPECT_GT(ink, 30) << f.caption;         // the caption's white strokes
    EXPECT_GT(shade, f.w * 8) << f.caption;  // on the dark strip
    const int b = ControlIndex(f, k.button, k.index);
    ASSERT_GE(b, 0);
    const QPoint at = Centre(f.controls[static_cast<std::size_t>(b)]) + QPoint(0, kFormTitleH);
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    r.Settle();
    EXPECT_FALSE(c.forms[k.id].visible) << f.caption;
  }
}

// What a window holds in its backing store, as it stands.
QImage Stored(QWidget& w) {
  const auto* img = dynamic_cast<const QImage*>(w.backingStore()->paintDevice());
  return img != nullptr ? img->convertToFormat(QImage::Format_RGB32) : QImage();
}

TEST(RealWindow, AHiddenSmallWindowGivesBackItsPixelsAndDrawsThemAgainWhenShownAgain) {
  WindowRig r;
  Client& c = r.s.c;
  EXPECT_FALSE(r.window.close());  // the exit question
  r.Settle();
  qt::FormWindow* exit = r.window.forms()->window(FormId::frmExit);
  ASSERT_NE(exit, nullptr);
  ASSERT_TRUE(exit->isVisible());
  const QImage shown = Stored(*exit);
  ASSERT_EQ(shown.size(), exit->size() * exit->devicePixelRatio());
  RunEvent(c, [&] { c.forms[FormId::frmExit].visible = false; });
  r.window.sync();
  r.Settle();
  EXPECT_FALSE(exit->isVisible());
  EXPECT_TRUE(exit->backingStore()->size().isEmpty());
  RunEvent(c, [&] { c.forms[FormId::frmExit].visible = true; });
  r.window.sync();
  EXPECT_TRUE(WaitUntil([&] { return exit->isVisible() && Stored(*exit) == shown; }))
      << "the question shown again is not drawn as it was";
}

// Two tiles at opposite corners of the wall turn face up: the window asks for
// their two places only, and what its backing store then holds, in device
// pixels, is what a whole repaint draws (the cloth around the tiles included).
void ExpectTwoPlacesRepaintedAsAWholeRepaint() {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    for (int i = 0; i < kWallTiles; ++i) setTileImage(c, i, 36 * (i / 36) + 8);
  });
  r.window.sync();
  r.Settle();
  const Control& first = c.view.MJ_Image[0];
  const Control& last = c.view.MJ_Image[kWallTiles - 1];
  RunEvent(c, [&] {
    setTileImage(c, 0, 144 + 27);
    setTileImage(c, kWallTiles - 1, 144 + 28);
  });
  const QRegion asked = r.window.surface()->painter().changes(c.view);
  ASSERT_GE(asked.rectCount(), 2);
  ASSERT_FALSE(asked.boundingRect().contains(QRect(0, 0, c.view.pic1W, c.view.pic1H)));
  r.window.surface()->repaint(asked);
  const QImage stored = Stored(r.window);
  // The whole window drawn afresh, as the reference.
  const QImage whole = r.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const int density = static_cast<int>(r.window.devicePixelRatio());
  ASSERT_EQ(stored.size(), r.window.size() * density);
  ASSERT_EQ(stored.size(), whole.size());
  const QPoint at = r.window.surface()->geometry().topLeft();
  for (const Control* k : {&first, &last}) {
    const QRect place(QRect(k->x, k->y, k->w, k->h).translated(at).topLeft() * density,
                      QSize(k->w, k->h) * density);
    EXPECT_EQ(Differing(stored, whole, place), 0) << k->x << "," << k->y;
  }
  EXPECT_EQ(Differing(stored, whole, stored.rect()), 0);
}

TEST(RealWindow, TwoPlacesFarApartAreRedrawnAsAWholeRepaintDrawsThem) {
  ExpectTwoPlacesRepaintedAsAWholeRepaint();
}

struct ChatRig : WindowRig {
  std::vector<Frame> sent;
  ChatRig() {
    s.server.onFrame = [this](sim::Connection&, const Frame& f) { sent.push_back(f); };
    s.Connect();
    RunEvent(s.c, [&] {
      s.c.table.LoginAccepted = true;
      s.c.table.PlayerInfo[0].nick = "amy";
      s.c.table.PlayerInfo[1].nick = "bob";
      s.c.table.custom[1].seat = 2;
      s.c.table.custom[1].name = "bob";
      s.c.view.Chat.visible = true;
      s.c.view.Tou[1].visible = true;
    });
    window.sync();
    Settle();
  }
  std::vector<Frame> ChatFrames() const {
    std::vector<Frame> out;
    for (const Frame& f : sent)
      if (f[3] == protocol::kReqChat) out.push_back(f);
    return out;
  }
  static bool Holds(const Frame& f, const std::string& text) {
    return std::string(reinterpret_cast<const char*>(f.data()), f.size()).find(text) !=
           std::string::npos;
  }
};

TEST(RealWindow, ALineTypedIntoTheChatBoxGoesOutOnEnter) {
  ChatRig r;
  QLineEdit* box = r.window.chatBox();
  ASSERT_TRUE(box->isVisible());
  box->setFocus();
  QTest::keyClicks(box, "hello all");
  EXPECT_EQ(r.s.c.view.Chat.caption, "hello all");
  QTest::keyClick(box, Qt::Key_Return);
  r.Run(200);
  const std::vector<Frame> chat = r.ChatFrames();
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_TRUE(ChatRig::Holds(chat[0], "amy"));
  EXPECT_TRUE(ChatRig::Holds(chat[0], "hello all"));
  EXPECT_TRUE(box->text().isEmpty());  // the box was emptied by the core, and shows it
}

TEST(RealWindow, APortraitClickPutsThePrivatePrefixIntoTheBoxAndBackspaceTakesItWhole) {
  ChatRig r;
  const Control& bob = r.s.c.view.Tou[1];
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(bob));
  r.Settle();
  QLineEdit* box = r.window.chatBox();
  EXPECT_EQ(box->text(), QStringLiteral("你对bob说: "));
  EXPECT_TRUE(box->hasFocus() || QApplication::focusWidget() == box);
  QTest::keyClicks(box, "hi");
  EXPECT_EQ(box->text(), QStringLiteral("你对bob说: hi"));
  // The send button sends it to bob alone.
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(r.s.c.view.AnNiu[0]));
  r.Run(200);
  std::vector<Frame> chat = r.ChatFrames();
  ASSERT_EQ(chat.size(), 1u);
  EXPECT_EQ(chat[0][11], 2);  // value(1): bob's seat bit
  EXPECT_TRUE(ChatRig::Holds(chat[0], "hi"));

  // A Backspace that reaches into the prefix takes the whole prefix and keeps the body.
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(bob));
  r.Settle();
  QTest::keyClicks(box, "yo");
  box->setCursorPosition(3);
  QTest::keyClick(box, Qt::Key_Backspace);
  r.Settle();
  EXPECT_EQ(box->text(), QStringLiteral("yo"));
  EXPECT_TRUE(r.s.c.chat.PrivatePrefix.empty());
}

TEST(RealWindow, F1InTheChatBoxHidesTheClientAndAltThenCAtTheTableOpensTheChatWindow) {
  {
    ChatRig r;
    r.window.chatBox()->setFocus();
    QTest::keyClick(r.window.chatBox(), Qt::Key_F1);
    r.Settle();
    EXPECT_TRUE(r.s.c.link.BossMode);
    EXPECT_TRUE(r.s.c.view.minimized);
  }
  {
    WindowRig r;
    r.window.surface()->setFocus();
    QTest::keyClick(r.window.surface(), Qt::Key_Alt);
    QTest::keyClick(r.window.surface(), Qt::Key_C);
    r.Settle();
    EXPECT_TRUE(r.s.c.forms[FormId::Talk].visible);
    qt::FormWindow* talk = r.window.forms()->window(FormId::Talk);
    ASSERT_NE(talk, nullptr);
    EXPECT_TRUE(talk->isVisible());
    // Alt then C in the chat window's history hides it again.
    QListWidget* history = talk->list(ControlIndex(r.s.c.forms[FormId::Talk], "Text1"));
    ASSERT_NE(history, nullptr);
    history->setFocus();
    QTest::keyClick(history, Qt::Key_Alt);
    QTest::keyClick(history, Qt::Key_C);
    r.Settle();
    EXPECT_FALSE(r.s.c.forms[FormId::Talk].visible);
    EXPECT_FALSE(talk->isVisible());
  }
}

TEST(RealWindow, TheReconnectionDialogIsDrawnAndItsButtonsWork) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] { OpenReconnectDialog(c); });
  r.window.sync();
  r.Settle();
  qt::FormWindow* dialog = r.window.forms()->window(FormId::frmReconnect);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->isVisible());
  const SmallForm& f = c.forms[FormId::frmReconnect];
  const Control& time = f.controls[static_cast<std::size_t>(ControlIndex(f, "lbTime"))];
  // The countdown's text is painted: its place is no longer the bare background.
  const QImage painted = WindowRig::Painted(*dialog);
  const QRgb bare = painted.pixel(1, 1);
  int ink = 0;
  for (int y = time.y; y < time.y + time.h; ++y)
    for (int x = time.x; x < time.x + time.w; ++x) ink += painted.pixel(x, y) != bare;
  EXPECT_GT(ink, 30);

  // Reconnect now: the dialog hides and the attempts start.
  const Control& now = f.controls[static_cast<std::size_t>(ControlIndex(f, "pbReconnect"))];
  QTest::mouseClick(dialog, Qt::LeftButton, {}, Centre(now));
  r.Settle();
  EXPECT_FALSE(c.forms[FormId::frmReconnect].visible);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(TimerEnabled(c, TimerId::Count));

  // Cancel with no connection: back to the lobby, the dialog gone. (While the
  // attempts run the dialog stays hidden; a fresh loss shows it again.)
  RunEvent(c, [&] {
    UnloadReconnectDialog(c);
    OpenReconnectDialog(c);
  });
  r.window.sync();
  r.Settle();
  dialog = r.window.forms()->window(FormId::frmReconnect);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->isVisible());
  const SmallForm& g = c.forms[FormId::frmReconnect];
  QTest::mouseClick(dialog, Qt::LeftButton, {},
                    Centre(g.controls[static_cast<std::size_t>(ControlIndex(g, "pbCancel"))]));
  r.Settle();
  EXPECT_FALSE(c.forms[FormId::frmReconnect].loaded);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(c.log.count("ResetToLobby"), 1);
}

TEST(RealWindow, TheRankingListScrollsToItsFirstHandWhichADoubleClickOpens) {
  WindowRig r;
  Client& c = r.s.c;
  char tmpl[] = "/tmp/tavren-window-XXXXXX";
  const std::string folder = mkdtemp(tmpl);
  r.s.platform.folder = folder;
  RunEvent(c, [&] {
    HeroWindow(c);
    for (int n = 1; n <= 30; ++n) {
      HeroControl(c, "Num", 0).items.push_back(PadRight(std::to_string(n), 12));
      for (int s = 0; s < kSides; ++s)
        HeroControl(c, "Grade", s).items.push_back(std::to_string(n * 10 + s));
      for (int k = 0; k < 8; ++k) ScoreList(c, k) = {"hand " + std::to_string(n)};
      WriteHandRecord(c, n);
    }
    ShowRankingWindow(c);
  });
  r.window.sync();
  r.Settle();
  qt::FormWindow* hero = r.window.forms()->window(FormId::Hero);
  ASSERT_NE(hero, nullptr);
  QListWidget* num = hero->list(ControlIndex(c.forms[FormId::Hero], "Num"));
  ASSERT_NE(num, nullptr);
  ASSERT_EQ(num->count(), 30);
  QScrollBar* bar = num->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);  // more hands than lines: the list scrolls

  // The wheel scrolls down to the last hands ...
  for (int i = 0; i < 10; ++i) {
    QWheelEvent wheel(QPointF(20, 20), num->viewport()->mapToGlobal(QPointF(20, 20)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(num->viewport(), &wheel);
  }
  EXPECT_EQ(bar->value(), bar->maximum());
  // ... and the scroll bar back up to the first one, which a double click opens.
  bar->setValue(0);
  const QPoint first = num->visualItemRect(num->item(0)).center();
  // A person's double click: a click, then the second press that is the double click.
  QTest::mouseClick(num->viewport(), Qt::LeftButton, {}, first);
  QTest::mouseDClick(num->viewport(), Qt::LeftButton, {}, first);
  r.Settle();
  EXPECT_EQ(HeroControl(c, "Num", 0).selected, 0);
  EXPECT_EQ(ScoreList(c, 0), std::vector<std::string>{"hand 1"});
  EXPECT_TRUE(c.forms[FormId::Score].visible);
  std::filesystem::remove_all(folder);
}

TEST(RealWindow, TheWindowFollowsTheScreenSize) {
  struct Case {
    PixelSize screen;
    QSize window;
    QRect surface;
    bool scaled;
  } cases[] = {
      {{800, 600}, {800, 600}, {0, 0, 800, 600}, true},
      {{1024, 768}, {1024, 768}, {0, 0, 1024, 768}, false},
      {{1280, 1024}, {1040, 796}, {8, 20, 1024, 768}, false},
  };
  for (const Case& k : cases) {
    WindowRig r(k.screen);
    SCOPED_TRACE(k.window.width());
    EXPECT_EQ(r.window.size(), k.window);
    EXPECT_EQ(r.window.surface()->geometry(), k.surface);
    EXPECT_EQ(r.s.c.view.ScaleX < 1, k.scaled);
    // Every control-bar button lies inside the window and is drawn there.
    const QImage painted = r.Painted();
    ASSERT_EQ(painted.size(), k.window);
    for (const Control& b : r.s.c.view.AnNiu) {
      if (!b.visible) continue;
      EXPECT_LE(b.x + b.w, k.surface.width());
      EXPECT_LE(b.y + b.h, k.surface.height());
    }
    // The felt fills the surface; a skinned window has its frame around it.
    const QColor middle = painted.pixelColor(k.surface.center());
    EXPECT_GT(middle.green(), middle.red());
    if (k.surface.x() > 0) {
      const QColor frame = painted.pixelColor(2, k.window.height() / 2);
      EXPECT_FALSE(frame.green() > frame.red() + 20);
    }
  }
}

TEST(RealWindow, ALargerTableDrawsTheWindowLargerAndMapsThePointerToTablePixels) {
  // 150 %: the window and its drawing grow; the scene stays in table pixels.
  WindowRig r({1280, 1024}, 1.5);
  Client& c = r.s.c;
  EXPECT_EQ(r.window.size(), QSize(1560, 1194));
  EXPECT_EQ(r.window.surface()->geometry(), QRect(12, 30, 1536, 1152));
  EXPECT_EQ(c.view.pic1W, 1024);
  RunEvent(c, [&] { HoldTwoTilesToDiscard(c); });
  r.window.sync();
  r.Settle();
  const Control& tile = c.view.MJ_Image[1];
  // Its picture covers its place times 1.5, and the felt lies beside it.
  const QImage painted = r.Painted();
  const QPoint surface = r.window.surface()->geometry().topLeft();
  const QColor inside =
      painted.pixelColor(surface + QPoint((tile.x + 10) * 3 / 2, (tile.y + 40) * 3 / 2));
  EXPECT_FALSE(inside.green() > inside.red() + 20);
  // The surface pixel half on tile 1's right edge (tile 1 ends at 172.5) is on tile 1.
  const int lastX = static_cast<int>(std::ceil((tile.x + tile.w) * 1.5)) - 1;
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {},
                    QPoint(lastX, (tile.y + tile.h / 2) * 3 / 2));
  r.Settle();
  EXPECT_EQ(c.table.LastDiscardInd, 1);
  // A small window grows with the table, at its place relative to the table.
  RunEvent(c, [&] { CloseRequested(c); });
  r.window.sync();
  r.Settle();
  const SmallForm& exit = c.forms[FormId::frmExit];
  qt::FormWindow* w = r.window.forms()->window(FormId::frmExit);
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(w->isVisible());
  EXPECT_EQ(w->size(), QSize(static_cast<int>(std::lround(exit.w * 1.5)),
                             static_cast<int>(std::lround((exit.h + kFormTitleH) * 1.5))));
  EXPECT_EQ(w->pos(), r.window.toScreen(exit.left, exit.top));
}

// The pointer comes to rest at `pos`: the move, then the platform's tooltip request.
void RestPointer(QWidget* w, const QPoint& pos) {
  MoveOver(w, pos);
  QHelpEvent help(QEvent::ToolTip, pos, w->mapToGlobal(pos));
  QApplication::sendEvent(w, &help);
}

TEST(RealWindow, ATooltipBelongsToTheControlUnderThePointerAndGoesWithIt) {
  WindowRig r;
  Client& c = r.s.c;
  QWidget* surface = r.window.surface();
  const Control& exit = c.view.AnNiu[8];
  const Control& start = c.view.AnNiu[2];
  ASSERT_TRUE(exit.visible);
  RestPointer(surface, Centre(exit));
  r.Settle();
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QString::fromUtf8(ControlBarTooltip(8)));
  // Leaving the button takes its tooltip away, wherever the pointer goes.
  MoveOver(surface, Centre(c.view.Tou[1]));
  EXPECT_TRUE(WaitUntil([] { return !QToolTip::isVisible(); }));
  // Resting on a portrait, on the hand or on the bare table shows no tooltip:
  // the last button's tip does not stay with the table.
  RestPointer(surface, Centre(start));
  r.Settle();
  ASSERT_EQ(QToolTip::text(), QString::fromUtf8(ControlBarTooltip(2)));
  for (const QPoint& at :
       {Centre(c.view.Tou[1]), Centre(c.view.Tou[0]), QPoint(c.view.pic1W / 2, c.view.pic1H / 2)}) {
    RestPointer(surface, at);
    EXPECT_TRUE(WaitUntil([] { return !QToolTip::isVisible(); })) << at.x() << "," << at.y();
  }
}

TEST(RealWindow, TheChatLabelIsDrawnAndItsClickOpensAndClosesTheChatWindow) {
  WindowRig r;
  Client& c = r.s.c;
  const Control& label = c.view.Lbchat;
  ASSERT_TRUE(label.visible);
  // Its caption is painted in gold on the felt.
  const QImage painted = r.Painted();
  const QPoint surface = r.window.surface()->geometry().topLeft();
  int ink = 0;
  for (int y = label.y; y < label.y + label.h; ++y)
    for (int x = label.x; x < label.x + label.w; ++x) {
      const QColor px = painted.pixelColor(surface + QPoint(x, y));
      ink += px.red() > 160 && px.red() > px.green() - 10 && px.blue() < 170;
    }
  EXPECT_GT(ink, 20);
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(label));
  r.Settle();
  EXPECT_TRUE(c.forms[FormId::Talk].visible);
  qt::FormWindow* talk = r.window.forms()->window(FormId::Talk);
  ASSERT_NE(talk, nullptr);
  EXPECT_TRUE(talk->isVisible());
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(label));
  r.Settle();
  EXPECT_FALSE(c.forms[FormId::Talk].visible);
  EXPECT_FALSE(talk->isVisible());
}

// A window manager's close (the chat window's title bar, Alt+F4) goes to the
// core, which closes the window or keeps it.
TEST(RealWindow, ACloseFromTheSystemClosesTheChatWindowForTheCoreAndLeavesTheExitQuestion) {
  WindowRig r;
  Client& c = r.s.c;
  const Control& label = c.view.Lbchat;
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(label));
  EXPECT_FALSE(r.window.close());  // the exit question
  r.Settle();
  qt::FormWindow* talk = r.window.forms()->window(FormId::Talk);
  qt::FormWindow* exit = r.window.forms()->window(FormId::frmExit);
  ASSERT_NE(talk, nullptr);
  ASSERT_NE(exit, nullptr);
  ASSERT_TRUE(talk->isVisible());
  talk->close();
  exit->close();
  r.Settle();
  EXPECT_FALSE(c.forms[FormId::Talk].visible);
  EXPECT_TRUE(WaitUntil([&] { return !talk->isVisible(); }));
  EXPECT_TRUE(c.forms[FormId::frmExit].visible);
  EXPECT_TRUE(exit->isVisible());
  // One click on the chat label opens it again.
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(label));
  r.Settle();
  EXPECT_TRUE(c.forms[FormId::Talk].visible);
  EXPECT_TRUE(WaitUntil([&] { return talk->isVisible(); }));
}

TEST(RealWindow, ABubbleIsHiddenAfterItsFadeAndATransparentOneIsNeverShown) {
  WindowRig r;
  Client& c = r.s.c;
  auto say = [&] {
    RunEvent(c, [&] {
      PrepareBubble(c, 3);
      showMe(c, 3, "快点吧", kBubbleMaxAlpha, kBubbleFadeIn, kBubbleFadeOut, kBubbleHold);
    });
  };
  RunEvent(c, [&] { c.table.HandNo = 1; });
  say();
  r.Run(0);
  qt::FormWindow* bubble = r.window.forms()->window(FormId::SpeakBox3);
  // Fully transparent at the start of its fade: not shown yet.
  if (bubble != nullptr) {
    EXPECT_FALSE(bubble->isVisible());
  }
  r.Run(1000);
  bubble = r.window.forms()->window(FormId::SpeakBox3);
  ASSERT_NE(bubble, nullptr);
  EXPECT_TRUE(bubble->isVisible());
  r.Run(6000);  // the fade is over: hidden, not parked where a window manager may pull it back
  EXPECT_FALSE(bubble->isVisible());

  // Minimised and restored in the middle of a fade: the bubble is transparent
  // until its next phrase, so it is not shown, opaque, by a screen without a compositor.
  say();
  r.Run(1000);
  ASSERT_TRUE(bubble->isVisible());
  RunEvent(c, [&] { MinimizeMainWindow(c); });
  r.Run(0);
  EXPECT_FALSE(bubble->isVisible());
  RunEvent(c, [&] { c.view.minimized = false; });
  r.Run(0);
  ASSERT_TRUE(c.forms[FormId::SpeakBox3].visible);
  ASSERT_EQ(c.forms[FormId::SpeakBox3].opacity, 0);
  EXPECT_FALSE(bubble->isVisible());
  say();
  r.Run(1000);
  EXPECT_TRUE(bubble->isVisible());
}

TEST(RealWindow, TheUsersStandingTileRisesUnderThePointerWhichBecomesAHand) {
  WindowRig r;
  Client& c = r.s.c;
  HandRecord& own = c.table.custom[0];
  Control& tile = c.view.MJ_Image[0];
  RunEvent(c, [&] {
    c.table.LoginAccepted = true;
    c.input.TableActive = true;
    own.first = 0;
    own.count = 1;
    own.mj[0].ind = 0;
    own.mj[0].value = 0x11;
    tile.visible = true;
    tile.picture = 201;
    tile.x = 300;
    tile.y = own.handY;
    tile.w = 36;
    tile.h = 54;
    BringToFront(c.view, tile);
  });
  r.window.sync();
  r.Settle();
  EXPECT_EQ(r.window.surface()->cursor().shape(), Qt::ArrowCursor);
  MoveOver(r.window.surface(), QPoint(tile.x + 18, tile.y + 27));
  r.Settle();
  EXPECT_EQ(tile.y, own.handY - 10);
  EXPECT_EQ(r.window.surface()->cursor().shape(), Qt::PointingHandCursor);
  // The raised tile is drawn raised: the felt shows where its foot was.
  const QImage painted = r.Painted();
  const QPoint surface = r.window.surface()->geometry().topLeft();
  const QColor foot = painted.pixelColor(surface + QPoint(tile.x + 18, own.handY + 53 - 2));
  EXPECT_GT(foot.green(), foot.red());
  MoveOver(r.window.surface(), QPoint(5, 5));
  r.Settle();
  EXPECT_EQ(tile.y, own.handY);
  EXPECT_EQ(r.window.surface()->cursor().shape(), Qt::ArrowCursor);
}

TEST(RealWindow, AnotherPlayersCallNoticeIsDrawnOpaqueWithItsText) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] { ShowCallNotice(c, "bob正在叫头，请稍候..."); });
  r.window.sync();
  r.Settle();
  qt::FormWindow* notice = r.window.forms()->window(FormId::tishi);
  ASSERT_NE(notice, nullptr);
  ASSERT_TRUE(notice->isVisible());
  EXPECT_EQ(notice->windowOpacity(), 1.0);  // no translucency where the system offers none
  const QImage painted = WindowRig::Painted(*notice);
  const SmallForm& f = c.forms[FormId::tishi];
  // The window's own colour, not black, and the notice's text on it.
  const QColor back = painted.pixelColor(3, f.h - 4);
  EXPECT_EQ(back.rgb() & 0xFFFFFF, f.background);
  const Control& label = f.controls[static_cast<std::size_t>(ControlIndex(f, "Label1"))];
  int ink = 0;
  for (int y = label.y; y < label.y + label.h; ++y)
    for (int x = label.x; x < label.x + label.w; ++x) ink += painted.pixelColor(x, y) != back;
  EXPECT_GT(ink, 50);
}

// The 叫头 prompt's choices are round option buttons, the chosen one filled;
// a click on another moves the mark.
TEST(RealWindow, TheCallPromptsOptionButtonsAreDrawnRoundAndTheChosenOneFilled) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    c.shell.JiaoTouOpen = true;
    c.play.CallTou = 1;
    c.play.CallMo = 0;
    ShowJiaoTouPrompt(c);
  });
  r.window.sync();
  r.Settle();
  qt::FormWindow* prompt = r.window.forms()->window(FormId::tishi);
  ASSERT_NE(prompt, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return prompt->isVisible(); }));
  const auto check = [&](int tou, int mo) {
    const QImage painted = WindowRig::Painted(*prompt);
    const SmallForm& f = c.forms[FormId::tishi];
    for (const Control& k : f.controls) {
      const bool tous = std::string(k.name) == "Option1", mos = std::string(k.name) == "Option2";
      if (!tous && !mos) continue;
      const bool chosen = k.index == (tous ? tou : mo);
      // The button's middle, and its ring left and right of it.
      const int d = std::min(12, k.h - 4);
      const QPoint mid(k.x + 1 + d / 2, k.y + k.h / 2);
      const auto dark = [&](QPoint at) { return painted.pixelColor(at).lightness() < 110; };
      EXPECT_EQ(dark(mid), chosen) << k.name << " " << k.index;
      int ring = 0;
      for (int x = k.x; x <= k.x + d + 3; ++x) ring += dark(QPoint(x, mid.y()));
      EXPECT_GE(ring, chosen ? 6 : 2) << k.name << " " << k.index;
    }
  };
  check(1, 0);
  const SmallForm& f = c.forms[FormId::tishi];
  QTest::mouseClick(prompt, Qt::LeftButton, {},
                    Centre(f.controls[static_cast<std::size_t>(ControlIndex(f, "Option1", 3))]));
  QTest::mouseClick(prompt, Qt::LeftButton, {},
                    Centre(f.controls[static_cast<std::size_t>(ControlIndex(f, "Option2", 2))]));
  r.Settle();
  EXPECT_EQ(c.play.CallTou, 3);
  EXPECT_EQ(c.play.CallMo, 2);
  check(3, 2);
}

TEST(RealWindow, TheCallPromptsOkButtonLightsUnderThePointer) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    c.shell.JiaoTouOpen = true;
    ShowJiaoTouPrompt(c);
  });
  r.window.sync();
  r.Settle();
  qt::FormWindow* prompt = r.window.forms()->window(FormId::tishi);
  ASSERT_NE(prompt, nullptr);
  const SmallForm& f = c.forms[FormId::tishi];
  const Control& ok = f.controls[static_cast<std::size_t>(ControlIndex(f, "Image1"))];
  const int normal = ok.picture;
  MoveOver(prompt, Centre(ok));
  r.Settle();
  EXPECT_NE(c.forms[FormId::tishi].find("Image1")->picture, normal);
  MoveOver(prompt, QPoint(2, 2));
  r.Settle();
  EXPECT_EQ(c.forms[FormId::tishi].find("Image1")->picture, normal);
}

TEST(RealWindow, TheUsersCentredDiscardIsDrawnOverTheCompass) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    c.table.custom[0].seat = 1;
    showCompass(c);
    HoldTwoTilesToDiscard(c);
  });
  r.window.sync();
  r.Settle();
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(c.view.MJ_Image[0]));
  r.Settle();
  ASSERT_EQ(c.table.LastDiscardInd, 0);
  const Control& discard = c.view.MJ_Image[0];
  const Control& compass = c.view.ZhiNan;
  ASSERT_TRUE(compass.visible);
  const QRect overlap = QRect(discard.x, discard.y, discard.w, discard.h)
                            .intersected(QRect(compass.x, compass.y, compass.w, compass.h));
  ASSERT_FALSE(overlap.isEmpty());  // the two share the middle of the table
  EXPECT_EQ(CoveredPixels(r, discard, overlap), 0);
}

TEST(RealWindow, ALongHandTypeLineOfTheSettlementSheetWrapsAndKeepsItsPoints) {
  WindowRig r;
  Client& c = r.s.c;
  const std::string types = "混一色清一色捉五一条龙碰碰胡豪华七对  12分";
  RunEvent(c, [&] {
    ScoreWindow(c);
    ScoreList(c, 0) = {"   房间底金:  100", " ", types, "庄家    1分"};
    ScoreList(c, 1) = {"   房间底金:  100", " ", "         ", "      "};
    ShowResultWindow(c);
  });
  r.window.sync();
  r.Settle();
  qt::FormWindow* score = r.window.forms()->window(FormId::Score);
  ASSERT_NE(score, nullptr);
  ASSERT_TRUE(score->isVisible());
  QListWidget* column = score->list(ControlIndex(c.forms[FormId::Score], "State", 0));
  ASSERT_NE(column, nullptr);
  ASSERT_EQ(column->count(), 4);
  const QFontMetrics metrics(column->font());
  const QString text = QString::fromStdString(types);
  ASSERT_GT(metrics.horizontalAdvance(text), column->viewport()->width());  // too long for a line
  // The line takes as many lines as its text needs, within the column's width,
  // and the lines after it follow below.
  const QRect line = column->visualItemRect(column->item(2));
  const QRect needed =
      metrics.boundingRect(QRect(0, 0, line.width() - 8, 1000), Qt::TextWordWrap, text);
  EXPECT_GE(line.height(), needed.height());
  EXPECT_GE(line.height(), 2 * metrics.lineSpacing());
  EXPECT_LE(line.right(), column->viewport()->width());
  EXPECT_GE(column->visualItemRect(column->item(3)).top(), line.bottom());
  // Both of its lines are drawn: ink in its lower half too.
  const QImage painted = WindowRig::Painted(*score);
  const QPoint at = column->viewport()->mapTo(score, QPoint(0, 0));
  const QRect lower =
      QRect(line.left(), line.center().y() + 1, line.width(), line.height() / 2).translated(at);
  const QRgb bare = painted.pixel(at + QPoint(line.right() - 2, line.top() + 1));
  int ink = 0;
  for (int y = lower.top(); y <= lower.bottom(); ++y)
    for (int x = lower.left(); x <= lower.right(); ++x) ink += painted.pixel(x, y) != bare;
  EXPECT_GT(ink, 30);
}

// What a list shows inside its viewport, from `from` (viewport pixels) down,
// as painted in its window.
QImage ListPixels(const QImage& painted, QWidget& window, QListWidget& list, int from = 0) {
  const QPoint at = list.viewport()->mapTo(&window, QPoint(0, 0));
  return painted.copy(
      QRect(at.x(), at.y() + from, list.viewport()->width(), list.viewport()->height() - from));
}

// A sheet taller than the columns: the same lines in every column but the
// winner's long hand-type line, which the others have blank.
std::vector<std::string> SheetColumn(bool winner) {
  std::vector<std::string> lines = {
      "   房间底金:  100", " ",
      winner ? "混一色清一色捉五一条龙碰碰胡豪华七对  12分" : "         "};
  for (int i = 0; i < 26; ++i) lines.push_back("暗刻" + std::to_string(i % 3 + 1) + "个 2分");
  lines.push_back("最终分：-40金币");
  return lines;
}

TEST(RealWindow, TheSheetsColumnsKeepEachLineSideBySideAndScrollTogether) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    ScoreWindow(c);
    for (int s = 0; s < kSides; ++s) ScoreList(c, s) = SheetColumn(s == 0);
    ShowResultWindow(c);
  });
  r.window.sync();
  r.Settle();
  qt::FormWindow* score = r.window.forms()->window(FormId::Score);
  ASSERT_NE(score, nullptr);
  std::vector<QListWidget*> columns;
  for (int s = 0; s < kSides; ++s) {
    columns.push_back(score->list(ControlIndex(c.forms[FormId::Score], "State", s)));
    ASSERT_NE(columns.back(), nullptr);
  }
  ASSERT_TRUE(WaitUntil([&] {
    return columns[0]->visualItemRect(columns[0]->item(2)).height() >
           columns[0]->visualItemRect(columns[0]->item(3)).height();
  }));  // the long line wraps
  // Every line stands level with the same line of the other columns ...
  for (int line = 0; line < columns[0]->count(); ++line)
    for (int s = 1; s < kSides; ++s)
      EXPECT_EQ(columns[s]->visualItemRect(columns[s]->item(line)).top(),
                columns[0]->visualItemRect(columns[0]->item(line)).top())
          << "line " << line << ", column " << s;
  // ... as drawn: below the wrapped line the columns show their ink at the same heights.
  QImage painted = WindowRig::Painted(*score);
  const int below = columns[0]->visualItemRect(columns[0]->item(3)).top();
  const QImage winner = ListPixels(painted, *score, *columns[0], below);
  for (int s = 1; s < kSides; ++s)
    EXPECT_TRUE(ListPixels(painted, *score, *columns[s], below) == winner) << "column " << s;

  // The wheel over one column scrolls all four, and they stay level.
  ASSERT_GT(columns[3]->verticalScrollBar()->maximum(), 0);
  for (int i = 0; i < 3; ++i) {
    QWheelEvent wheel(QPointF(20, 20), columns[3]->viewport()->mapToGlobal(QPointF(20, 20)),
                      QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(columns[3]->viewport(), &wheel);
  }
  r.Settle();
  const int top = columns[3]->indexAt(QPoint(4, 2)).row();
  ASSERT_GT(top, 2);
  for (int s = 0; s < 3; ++s) EXPECT_EQ(columns[s]->indexAt(QPoint(4, 2)).row(), top) << s;
  painted = WindowRig::Painted(*score);
  for (int s = 0; s < 3; ++s)
    EXPECT_TRUE(ListPixels(painted, *score, *columns[s]) ==
                ListPixels(painted, *score, *columns[3]))
        << s;

  // The next hand's sheet opens at its top, wherever the last one was scrolled.
  RunEvent(c, [&] {
    for (int s = 0; s < kSides; ++s) {
      ScoreList(c, s) = SheetColumn(s == 1);
      ScoreList(c, s)[0] = "   房间底金:  200";
    }
  });
  r.window.sync();
  r.Settle();
  for (int s = 0; s < kSides; ++s) {
    EXPECT_EQ(columns[s]->verticalScrollBar()->value(), 0) << s;
    EXPECT_EQ(columns[s]->indexAt(QPoint(4, 2)).row(), 0) << s;
  }
}

// The ranking window shown with `hands` hands listed, and its five lists: the
// hand numbers, then each side's results.
struct RankingRig : WindowRig {
  qt::FormWindow* hero = nullptr;
  std::vector<QListWidget*> lists;
  explicit RankingRig(int hands) {
    Client& c = s.c;
    RunEvent(c, [&] {
      HeroWindow(c);
      for (int n = 1; n <= hands; ++n) {
        HeroControl(c, "Num", 0).items.push_back(PadRight(std::to_string(n), 12));
        for (int side = 0; side < kSides; ++side)
          HeroControl(c, "Grade", side).items.push_back(std::to_string(n * 10 + side));
      }
      ShowRankingWindow(c);
    });
    window.sync();
    Settle();
    hero = window.forms()->window(FormId::Hero);
    if (hero == nullptr) return;
    const SmallForm& h = c.forms[FormId::Hero];
    lists = {hero->list(ControlIndex(h, "Num"))};
    for (int side = 0; side < kSides; ++side)
      lists.push_back(hero->list(ControlIndex(h, "Grade", side)));
  }
};

TEST(RealWindow, TheRankingListsScrollTogetherSoThatEachRowIsOneHand) {
  RankingRig r(30);
  ASSERT_NE(r.hero, nullptr);
  const std::vector<QListWidget*>& lists = r.lists;
  for (QListWidget* list : lists) ASSERT_NE(list, nullptr);
  // Scrolled back by the wheel over one side's results, or by the scroll bar of the hand numbers.
  for (int by : {2, 0}) {
    QListWidget* moved = lists[static_cast<std::size_t>(by)];
    if (by == 0)
      moved->verticalScrollBar()->setValue(5);
    else
      for (int i = 0; i < 4; ++i) {
        QWheelEvent wheel(QPointF(20, 20), moved->viewport()->mapToGlobal(QPointF(20, 20)),
                          QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(moved->viewport(), &wheel);
      }
    r.Settle();
    const int top = moved->indexAt(QPoint(4, 2)).row();
    ASSERT_LT(top, 30 - 10) << by;
    for (QListWidget* list : lists) EXPECT_EQ(list->indexAt(QPoint(4, 2)).row(), top) << by;
  }
}

TEST(RealWindow, AHandPressedInOneRankingListIsMarkedInAllFive) {
  RankingRig r(10);
  ASSERT_NE(r.hero, nullptr);
  qt::FormWindow* hero = r.hero;
  const std::vector<QListWidget*>& lists = r.lists;
  for (QListWidget* list : lists) ASSERT_NE(list, nullptr);
  for (const auto& [pressed, line] : {std::pair{3, 3}, std::pair{0, 7}}) {
    QListWidget* list = lists[static_cast<std::size_t>(pressed)];
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(line)).center());
    r.Settle();
    const QImage painted = WindowRig::Painted(*hero);
    for (std::size_t k = 0; k < lists.size(); ++k) {
      SCOPED_TRACE(k);
      const QRect row = lists[k]->visualItemRect(lists[k]->item(line));
      const QPoint at =
          lists[k]->viewport()->mapTo(hero, QPoint(row.right() - 3, row.center().y()));
      // The line is marked in the selection's blue (a shade lighter in the
      // list under the pointer), the others are not.
      const auto marked = [](const QColor& p) { return p.red() < 0x50 && p.blue() > 0xA0; };
      EXPECT_TRUE(marked(painted.pixelColor(at))) << painted.pixelColor(at).name().toStdString();
      const QRect other = lists[k]->visualItemRect(lists[k]->item(line == 3 ? 7 : 3));
      EXPECT_NE(painted.pixelColor(lists[k]->viewport()->mapTo(
                    hero, QPoint(other.right() - 3, other.center().y()))),
                QColor(0x2F, 0x6F, 0xC0));
    }
  }
}

// A name too long for its one-line label in the ranking window (ten
// characters, five more than the label holds) and one that fits.
TEST(RealWindow, ANameTooLongForItsLabelIsCutOnOneLineNotWrappedOutOfSight) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    SetSideName(c, 1, "北风机器人北风机器人北风");
    SetSideName(c, 2, "amy");
    ShowRankingWindow(c);
  });
  r.window.sync();
  r.Settle();
  qt::FormWindow* hero = r.window.forms()->window(FormId::Hero);
  ASSERT_NE(hero, nullptr);
  const QImage painted = WindowRig::Painted(*hero);
  const SmallForm& h = c.forms[FormId::Hero];
  const QRgb bare = painted.pixel(2, h.h / 2);
  for (int side : {1, 2}) {
    const Control& k = h.controls[static_cast<std::size_t>(ControlIndex(h, "ID", side))];
    std::vector<int> ink(static_cast<std::size_t>(k.h));  // inked pixels per row of the label
    int right = k.x;                                      // the rightmost inked column
    for (int y = 0; y < k.h; ++y)
      for (int x = k.x; x < k.x + k.w; ++x)
        if (painted.pixel(x, k.y + y) != bare) {
          ++ink[static_cast<std::size_t>(y)];
          right = std::max(right, x);
        }
    SCOPED_TRACE(side);
    // One line, whole, in the middle: nothing cut off at the label's top or bottom ...
    EXPECT_EQ(ink.front(), 0);
    EXPECT_EQ(ink.back(), 0);
    EXPECT_GT(ink[static_cast<std::size_t>(k.h / 2)], 0);
    // ... and the long name goes on up to the label's end.
    if (side == 1) {
      EXPECT_GT(right, k.x + k.w - 20);
    }
  }
}

TEST(RealWindow, TheChatBoxTakesAHundredCharactersBesideThePrivatePrefix) {
  ChatRig r;
  QTest::mouseClick(r.window.surface(), Qt::LeftButton, {}, Centre(r.s.c.view.Tou[1]));
  r.Settle();
  QLineEdit* box = r.window.chatBox();
  const QString prefix = QStringLiteral("你对bob说: ");
  ASSERT_EQ(box->text(), prefix);
  QTest::keyClicks(box, QString(120, QLatin1Char('a')));
  EXPECT_EQ(box->text(), prefix + QString(100, QLatin1Char('a')));
  // Without the prefix the box holds a hundred characters again.
  box->setCursorPosition(2);
  QTest::keyClick(box, Qt::Key_Backspace);
  r.Settle();
  EXPECT_EQ(box->text(), QString(100, QLatin1Char('a')));
  QTest::keyClicks(box, "bb");
  EXPECT_EQ(box->text().size(), 100);
}

TEST(RealWindow, TheChatHistoryAndTheRankingListsOpenOnTheirLatestLines) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    ShowTalk(c);
    for (int i = 0; i < 40; ++i) DeliverChatLine(c, 1, InfoRecord{}, "line " + std::to_string(i));
  });
  r.Run(0);
  qt::FormWindow* talk = r.window.forms()->window(FormId::Talk);
  ASSERT_NE(talk, nullptr);
  QListWidget* history = talk->list(ControlIndex(c.forms[FormId::Talk], "Text1"));
  ASSERT_NE(history, nullptr);
  QScrollBar* bar = history->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  // Scrolled back by the user, the history still shows the next line as it comes.
  bar->setValue(0);
  RunEvent(c, [&] { DeliverChatLine(c, 2, InfoRecord{}, "one more"); });
  r.Run(0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(history->visualItemRect(history->item(history->count() - 1))
                  .intersects(history->viewport()->rect()));

  RunEvent(c, [&] {
    HeroWindow(c);
    for (int n = 1; n <= 30; ++n) {
      HeroControl(c, "Num", 0).items.push_back(PadRight(std::to_string(n), 12));
      for (int s = 0; s < kSides; ++s)
        HeroControl(c, "Grade", s).items.push_back(std::to_string(n * 10 + s));
    }
    ShowRankingWindow(c);
  });
  r.Run(0);
  qt::FormWindow* hero = r.window.forms()->window(FormId::Hero);
  ASSERT_NE(hero, nullptr);
  const SmallForm& h = c.forms[FormId::Hero];
  for (QListWidget* list :
       {hero->list(ControlIndex(h, "Num")), hero->list(ControlIndex(h, "Grade", 0)),
        hero->list(ControlIndex(h, "Grade", 3))}) {
    ASSERT_NE(list, nullptr);
    ASSERT_GT(list->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
  }
}

TEST(RealWindow, ANameLongerThanItsPanelIsCutWithAMarkAndShownWholeInItsTooltip) {
  WindowRig r({800, 600});
  Client& c = r.s.c;
  const std::string name = "[机器人] 北风机器人的名字很长很长";
  RunEvent(c, [&] {
    c.view.Nid[1].caption = name;
    c.view.Nid[2].caption = "[玩家] amy";
  });
  r.window.sync();
  r.Settle();
  const Control& nid = c.view.Nid[1];
  ASSERT_TRUE(qt::LabelElided(nid));
  EXPECT_FALSE(qt::LabelElided(c.view.Nid[2]));
  // Nothing of the name is drawn past its panel: the felt right of it is bare.
  const QImage painted = r.Painted();
  const QPoint surface = r.window.surface()->geometry().topLeft();
  int spilled = 0;
  for (int y = nid.y; y < nid.y + nid.h; ++y)
    for (int x = nid.x + nid.w; x < nid.x + nid.w + 30 && x < c.view.Tou[2].x; ++x)
      spilled += painted.pixelColor(surface + QPoint(x, y)).lightness() > 200;
  EXPECT_EQ(spilled, 0);
  QWidget* table = r.window.surface();
  RestPointer(table, Centre(nid));
  r.Settle();
  EXPECT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QString::fromStdString(name));
  // A name that fits has no tooltip.
  RestPointer(table, Centre(c.view.Nid[2]));
  EXPECT_TRUE(WaitUntil([] { return !QToolTip::isVisible(); }));
}

// Pixels of control `k`'s place on the surface that do not show `picture`
// (where that picture is opaque).
int NotShowing(WindowRig& r, const Control& k, int picture) {
  const QImage painted = r.Painted();
  const QImage want = r.window.surface()->painter().picture(picture, k.w, k.h).toImage();
  const QPoint surface = r.window.surface()->geometry().topLeft();
  int n = 0;
  for (int y = 0; y < k.h; ++y)
    for (int x = 0; x < k.w; ++x) {
      if (!want.valid(x, y) || qAlpha(want.pixel(x, y)) < 255) continue;
      n += (painted.pixel(surface + QPoint(k.x + x, k.y + y)) & 0xFFFFFF) !=
           (want.pixel(x, y) & 0xFFFFFF);
    }
  return n;
}

TEST(RealWindow, TheContinueButtonLosesItsHighlightWhenThePointerGoesOnToATile) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    HoldTwoTilesToDiscard(c);
    c.table.HandInProgress = true;
    c.table.HandNo = 2;
    c.shell.FirstStart = false;
    c.view.AnNiu[2].picture = ButtonPicture(c, 6);
  });
  r.window.sync();
  r.Settle();
  QWidget* surface = r.window.surface();
  const Control& button = c.view.AnNiu[2];
  ASSERT_TRUE(button.visible);
  const int normal = ButtonPicture(c, 6);
  ASSERT_EQ(button.picture, normal);
  MoveOver(surface, Centre(button));
  r.Settle();
  ASSERT_EQ(button.picture, ButtonPicture(c, 7));
  ASSERT_GT(NotShowing(r, button, normal), 50);  // the highlight is drawn
  // A click during the hand does nothing; the pointer then goes straight on
  // to a standing tile, which rises.
  QTest::mouseClick(surface, Qt::LeftButton, {}, Centre(button));
  r.Settle();
  MoveOver(surface, Centre(c.view.MJ_Image[1]));
  r.Settle();
  EXPECT_EQ(c.view.MJ_Image[1].y, c.table.custom[0].handY - kTileRise);
  EXPECT_EQ(button.picture, normal);
  EXPECT_EQ(NotShowing(r, button, normal), 0);
  // Back on the button it lights again, and goes dark when the pointer
  // leaves the table altogether.
  MoveOver(surface, Centre(button));
  r.Settle();
  EXPECT_EQ(button.picture, ButtonPicture(c, 7));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(surface, &leave);
  r.Settle();
  EXPECT_EQ(button.picture, normal);
  EXPECT_EQ(NotShowing(r, button, normal), 0);
}

// A real press, move and release of the left button, in screen coordinates.
void Drag(QWidget* w, const QPoint& from, const QPoint& by) {
  const QPointF global = w->mapToGlobal(QPointF(from));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  for (int step = 1; step <= 4; ++step) {
    const QPointF g = global + QPointF(by) * step / 4.0;
    QMouseEvent move(QEvent::MouseMove, w->mapFromGlobal(g), g, Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
    QCoreApplication::processEvents();
  }
  const QPointF end = global + QPointF(by);
  QMouseEvent release(QEvent::MouseButtonRelease, w->mapFromGlobal(end), end, Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

TEST(RealWindow, TheRankingWindowIsDraggedByItsHintItsFacesAndItsNames) {
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    HeroWindow(c);
    ShowRankingWindow(c);
  });
  r.window.sync();
  r.Settle();
  qt::FormWindow* hero = r.window.forms()->window(FormId::Hero);
  ASSERT_NE(hero, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return hero->isVisible(); }));
  struct Case {
    const char* name;
    int index;
    QPoint by;
  } cases[] = {{"ID", 2, {40, 30}}, {"Tou", 1, {-25, 50}}, {"Label1", 0, {60, -20}}};
  for (const Case& k : cases) {
    const SmallForm& f = c.forms[FormId::Hero];
    const int i = ControlIndex(f, k.name, k.index);
    ASSERT_GE(i, 0) << k.name;
    const QPoint was = hero->pos();
    const int left = f.left, top = f.top;
    Drag(hero, Centre(f.controls[static_cast<std::size_t>(i)]), k.by);
    EXPECT_TRUE(WaitUntil([&] { return hero->pos() == was + k.by; }))
        << k.name << ": at " << hero->pos().x() << "," << hero->pos().y();
    r.Settle();
    // The form knows its new place, so the next sync keeps it there.
    EXPECT_EQ(c.forms[FormId::Hero].left, left + k.by.x()) << k.name;
    EXPECT_EQ(c.forms[FormId::Hero].top, top + k.by.y()) << k.name;
    r.window.sync();
    r.Settle();
    EXPECT_EQ(hero->pos(), was + k.by) << k.name;
  }
  // A press on a label that does not drag moves nothing.
  const QPoint was = hero->pos();
  const SmallForm& f = c.forms[FormId::Hero];
  Drag(hero, Centre(f.controls[static_cast<std::size_t>(ControlIndex(f, "Label2", 0))]), {30, 30});
  r.Settle();
  EXPECT_EQ(hero->pos(), was);
}

TEST(RealWindow, TheTableWindowFollowsThePointerByItsTitleStripWithNoWindowManager) {
  // The offscreen platform, like a bare X server, has nobody to move windows.
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] { ToggleSoundSettings(c); });
  r.window.sync();
  r.Settle();
  const QPoint was = r.window.pos();
  const QPoint by(60, 40);
  Drag(&r.window, r.window.dragRect().center(), by);
  EXPECT_TRUE(WaitUntil([&] { return r.window.pos() == was + by; }))
      << "at " << r.window.pos().x() << "," << r.window.pos().y();
  r.Settle();
  // The core knows the new place; the side windows closed as the drag began.
  EXPECT_EQ(c.view.windowLeft, was.x() + by.x());
  EXPECT_EQ(c.view.windowTop, was.y() + by.y());
  EXPECT_FALSE(c.forms[FormId::VosSet].visible);
  // After the release the pointer moves the window no more.
  MoveOver(&r.window, r.window.dragRect().center() + QPoint(30, 30));
  r.Settle();
  EXPECT_EQ(r.window.pos(), was + by);
  // A press on the title's buttons is no drag.
  Drag(&r.window, r.window.minRect().center(), {20, 20});
  r.Settle();
  EXPECT_EQ(r.window.pos(), was + by);
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

using testing::WindowRig;

// How sharp a picture's edges are: the energy of the steps between neighbours.
double EdgeEnergy(const QImage& img) {
  double e = 0;
  const auto luma = [](QRgb p) { return 0.3 * qRed(p) + 0.59 * qGreen(p) + 0.11 * qBlue(p); };
  for (int y = 0; y + 1 < img.height(); ++y)
    for (int x = 0; x + 1 < img.width(); ++x) {
      const double here = luma(img.pixel(x, y));
      const double right = here - luma(img.pixel(x + 1, y));
      const double down = here - luma(img.pixel(x, y + 1));
      e += right * right + down * down;
    }
  return e;
}

// Suite AtDensityTwo runs alone at Qt's scale factor 2 (window_main.cpp).
void ExpectDensityTwo() {
  ASSERT_EQ(qApp->devicePixelRatio(), 2.0) << "run with --density=2";
}

// A press and release of the left button at a point of the table surface given
// in logical pixels, which at density 2 fall on half pixels too.
void ClickAt(QWidget* surface, const QPointF& at) {
  for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent e(type, at, surface->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(surface, &e);
  }
}

TEST(AtDensityTwo, AClickOnATilesEdgeDevicePixelHitsThatTile) {
  ExpectDensityTwo();
  // Tiles 0 and 1 stand side by side: the last device pixel of one touches
  // the first of the other.
  struct Case {
    const char* edge;
    int tile;        // whose edge
    bool rightEdge;  // its last device pixel, else its first
  } cases[] = {
      {"tile 0, left edge", 0, false},
      {"tile 0, right edge", 0, true},
      {"tile 1, left edge", 1, false},
      {"tile 1, right edge", 1, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.edge);
    WindowRig r;
    Client& c = r.s.c;
    RunEvent(c, [&] { HoldTwoTilesToDiscard(c); });
    r.window.sync();
    r.Settle();
    const Control& tile = c.view.MJ_Image[static_cast<std::size_t>(k.tile)];
    ASSERT_EQ(c.view.MJ_Image[1].x, c.view.MJ_Image[0].x + c.view.MJ_Image[0].w);
    const double x = k.rightEdge ? tile.x + tile.w - 0.5 : tile.x;
    ClickAt(r.window.surface(), QPointF(x, tile.y + tile.h - 0.5));
    r.Settle();
    EXPECT_EQ(c.table.LastDiscardInd, k.tile);
  }
}

TEST(AtDensityTwo, TwoPlacesFarApartAreRedrawnAsAWholeRepaintDrawsThem) {
  ExpectDensityTwo();
  ExpectTwoPlacesRepaintedAsAWholeRepaint();
}

TEST(AtDensityTwo, ATileIsDrawnFromTheTwoTimesSetAndTextAtTheDeviceDensity) {
  ExpectDensityTwo();
  WindowRig r;
  Client& c = r.s.c;
  RunEvent(c, [&] {
    for (int i = 0; i < kWallTiles; ++i) setTileImage(c, i, 36 * (i / 36) + 8);
    setTileImage(c, 0, 144 + 27);  // a standing 1筒, at its picture's own size
    c.view.MJ_Image[0].w = 50;
    c.view.MJ_Image[0].h = 77;
    c.view.Nid[0].caption = "玩家甲";
    c.view.Nid[0].visible = true;
  });
  r.window.sync();
  r.Settle();
  // The offscreen platform's screen grab comes back at logical size, so the
  // window draws itself once more into a picture of its device pixels.
  const QImage painted = r.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(painted.size(), r.window.size() * 2);  // the window's device pixels
  const Control& tile = c.view.MJ_Image[0];
  const QImage fine =
      QImage(qt::PicturePath(tile.picture, 2)).convertToFormat(QImage::Format_ARGB32);
  const QImage coarse = QImage(qt::PicturePath(tile.picture, 1))
                            .scaled(fine.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(fine.size(), QSize(tile.w, tile.h) * 2);
  const QPoint origin = (r.window.surface()->geometry().topLeft() + QPoint(tile.x, tile.y)) * 2;
  int opaque = 0, unlikeFine = 0, unlikeCoarse = 0;
  for (int y = 0; y < fine.height(); ++y)
    for (int x = 0; x < fine.width(); ++x) {
      if (qAlpha(fine.pixel(x, y)) < 255) continue;
      ++opaque;
      const QRgb here = painted.pixel(origin + QPoint(x, y)) & 0xFFFFFF;
      unlikeFine += here != (fine.pixel(x, y) & 0xFFFFFF);
      unlikeCoarse += here != (coarse.pixel(x, y) & 0xFFFFFF);
    }
  ASSERT_GT(opaque, fine.width() * fine.height() / 2);
  // Every opaque device pixel of the tile is the 2x picture's own, which the
  // 1x picture enlarged is not.
  EXPECT_EQ(unlikeFine, 0);
  EXPECT_GT(unlikeCoarse, opaque / 4);
  // The player's name is drawn at device density: its strokes are sharper than
  // the same label drawn at 1x and enlarged.
  const Control& name = c.view.Nid[0];
  const QRect nameRect(name.x, name.y, name.w, name.h);
  const QImage text = painted.copy(QRect(
      (r.window.surface()->geometry().topLeft() + nameRect.topLeft()) * 2, nameRect.size() * 2));
  QImage flat(c.view.pic1W, c.view.pic1H, QImage::Format_RGB32);
  {
    QPainter p(&flat);
    qt::ScenePainter painter;
    painter.paint(p, c.view);
  }
  const QImage enlarged =
      flat.copy(nameRect).scaled(text.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  EXPECT_GT(EdgeEnergy(text), 1.3 * EdgeEnergy(enlarged));
}

}  // namespace
}  // namespace tavren
