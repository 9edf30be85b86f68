// The replay bar in the real table window, driven by synthetic clicks and
// keys on the offscreen platform: pause, one step, the speed and a jump.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "core/client.h"
#include "qt/replay_view.h"
#include "support/recorded_game.h"
#include "support/window_rig.h"

namespace tavren {
namespace {

const testing::LiveGame& Game() {
  static const testing::LiveGame game = testing::PlayLive(7, 4, testing::Twist::None);
  return game;
}

void Click(QWidget* w) {
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

struct BarRig {
  sim::RecordingSound sound;
  testing::TempFolder home;
  qt::ReplayView view{Game().file, sound, home.path};
  BarRig() {
    view.setReturnWhenPaused(true);
    view.player().client();  // the core starts, and with it the window
    view.draw();
    testing::WaitUntil(
        [&] { return view.window().isVisible() && view.window().windowHandle()->isExposed(); });
  }
  replay::Player& player() { return view.player(); }
  qt::ReplayBar& bar() { return view.bar(); }
  // The replay ran what the last control asked and stopped (paused, or at its end).
  bool Settled() {
    return testing::WaitUntil([&] { return !view.running(); }, 20000);
  }
};

TEST(ReplayBar, PauseStepSpeedAndJumpTakeEffectFromTheBar) {
  ASSERT_EQ(Game().handsPlayed, 4);
  BarRig r;
  ASSERT_TRUE(r.bar().isVisible());
  // The bar lies under the table, inside the table window.
  EXPECT_EQ(r.bar().parentWidget(), &r.view.window());
  EXPECT_GE(r.bar().geometry().top(), r.view.window().surface()->geometry().bottom());

  // Pause: the replay stands before its first instruction.
  Click(r.bar().playButton());
  ASSERT_TRUE(r.Settled());
  EXPECT_TRUE(r.player().paused());
  EXPECT_EQ(r.bar().playButton()->text(), QStringLiteral("播放"));
  EXPECT_EQ(r.player().instructionsTaken(), 0);

  // The speed: the last choice is as fast as possible, one above it 16×.
  r.bar().speedBox()->setFocus();
  QTest::keyClick(r.bar().speedBox(), Qt::Key_End);
  EXPECT_EQ(r.player().speed(), replay::kAsFastAsPossible);
  QTest::keyClick(r.bar().speedBox(), Qt::Key_Up);
  EXPECT_EQ(r.player().speed(), 16);
  EXPECT_TRUE(r.player().muted());
  EXPECT_TRUE(r.bar().statusLabel()->text().contains(QStringLiteral("静音")));
  QTest::keyClick(r.bar().speedBox(), Qt::Key_End);

  // One step: one instruction taken, paused again, and the table shows it.
  const QImage before = testing::WindowRig::Painted(r.view.window());
  Click(r.bar().stepButton());
  ASSERT_TRUE(r.Settled());
  EXPECT_EQ(r.player().instructionsTaken(), 1);
  EXPECT_TRUE(r.player().paused());
  for (int n = 2; n <= 40; ++n) {
    Click(r.bar().stepButton());
    ASSERT_TRUE(r.Settled());
  }
  EXPECT_GE(r.player().instructionsTaken(), 40);
  testing::WaitUntil([] { return false; }, 100);  // let the window paint
  const QImage after = testing::WindowRig::Painted(r.view.window());
  EXPECT_GT(testing::Differing(before, after, r.view.window().surface()->geometry()), 1000)
      << "forty instructions changed the table on screen";

  // A jump: the hand list's third hand (the list's first line is its title).
  QComboBox* hands = r.bar().handBox();
  ASSERT_EQ(hands->count(), 5);
  EXPECT_TRUE(hands->itemText(2).contains(QStringLiteral("第2局")));
  // The list stands on the hand being played; the arrows go from there.
  ASSERT_EQ(hands->currentIndex(), r.player().currentHand());
  ASSERT_LT(r.player().currentHand(), 3);
  hands->setFocus();
  while (hands->currentIndex() < 3) QTest::keyClick(hands, Qt::Key_Down);
  ASSERT_TRUE(r.Settled());
  EXPECT_EQ(r.player().currentHand(), 3);
  EXPECT_EQ(r.player().entriesDone(), r.player().hands()[2].entry + 1);
  EXPECT_TRUE(r.player().paused());
  EXPECT_TRUE(r.bar().statusLabel()->text().contains(QStringLiteral("第3/4局")));
  // And back to the first: the core starts again from the file's beginning.
  QTest::keyClick(hands, Qt::Key_Up);
  QTest::keyClick(hands, Qt::Key_Up);
  ASSERT_TRUE(r.Settled());
  EXPECT_EQ(r.player().currentHand(), 1);

  // Play to the end at top speed: the bar says the replay is over.
  Click(r.bar().playButton());
  ASSERT_TRUE(r.Settled());
  EXPECT_TRUE(r.player().finished());
  EXPECT_TRUE(r.bar().statusLabel()->text().contains(QStringLiteral("录像结束")));
  EXPECT_FALSE(r.bar().stepButton()->isEnabled());
}

TEST(ReplayBar, TheTableOnlyShowsAndTheCloseButtonEndsTheReplay) {
  BarRig r;
  Click(r.bar().playButton());  // paused
  ASSERT_TRUE(r.Settled());
  replay::Player& p = r.player();
  // A click and a key on the table reach no core handler: nothing queued to send.
  const int sent = p.platform().sentFrames;
  const std::size_t queued = p.client().link.SendRing.buffered();
  QWidget* surface = r.view.window().surface();
  QTest::mouseClick(&r.view.window(), Qt::LeftButton, Qt::NoModifier, surface->geometry().center());
  QTest::keyClick(surface, Qt::Key_Escape);
  EXPECT_FALSE(p.client().forms[FormId::frmExit].visible) << "no exit question";
  EXPECT_EQ(p.client().link.SendRing.buffered(), queued);
  EXPECT_EQ(p.platform().sentFrames, sent);
  // "All hands open" on a client's own file says what it cannot show.
  Click(r.bar().openHandsBox());
  EXPECT_TRUE(r.bar().openHandsBox()->isChecked());
  EXPECT_TRUE(r.bar().statusLabel()->text().contains(QStringLiteral("局末亮牌")));
  EXPECT_FALSE(r.view.handsOpen());
  // The window's close ends the replay instead of asking the exit question.
  r.view.window().close();
  EXPECT_TRUE(r.view.closed());
}

}  // namespace
}  // namespace tavren
