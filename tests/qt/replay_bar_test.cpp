// The replay bar in the real table window, driven by synthetic clicks and
// keys on the offscreen platform: pause, one step, the speed and a jump.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "core/client.h"
#include "qt/replay_view.h"
#include "replay/player.h"
#include "rules/sort_hand.h"
#include "server/engine/game_record.h"
#include "support/recorded_game.h"
#include "support/window_rig.h"
#include "view/access.h"
#include "view/catalogue.h"
#include "view/scene.h"

namespace tavren {
namespace {

const testing::LiveGame& Game() {
  static const testing::LiveGame game = testing::PlayLive(7, 4, testing::Twist::None);
  return game;
}

void Click(QWidget* w) {
  QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

// A file of tavrenmj-server --record: a robots' table kept by the engine's
// recorder, two hands.
const replay::ReadResult& ServerFile() {
  static const replay::ReadResult file = [] {
    testing::TempFolder dir;
    server::Server::Config config;
    config.seed = 6;
    config.busyTables = true;
    config.robotDelayMs = 100;
    server::Server engine(config);
    {
      server::GameRecorder recorder(engine, {dir.path, 64u << 20, "test-1", "h:1"}, nullptr);
      engine.setFrameTap(
          [&](int t, int seat, std::span<const std::uint8_t> f) { recorder.frame(t, seat, f); });
      engine.setHandSink([&](const server::HandRecord& h) { recorder.handEnded(h); });
      for (int i = 0; i < 500000 && engine.handsPlayed(0) < 2; ++i) {
        const auto due = engine.nextDueMs();
        if (!due) break;
        engine.advanceTo(*due);
      }
    }
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
      return replay::ReadReplay(e.path().string());
    return replay::ReadResult{};
  }();
  return file;
}

struct BarRig {
  sim::RecordingSound sound;
  testing::TempFolder home;
  qt::ReplayView view;
  explicit BarRig(const replay::ReadResult& file = Game().file) : view(file, sound, home.path) {
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

// How many opaque pixels of picture `want`, drawn at `at` of the surface, the
// window shows (each colour channel within a small tolerance).
int Showing(const QImage& painted, const QPoint& surface, const QImage& want, const QRect& at) {
  int same = 0;
  for (int y = 0; y < at.height(); ++y)
    for (int x = 0; x < at.width(); ++x) {
      const QPoint in(x, y);
      if (!want.valid(in) || qAlpha(want.pixel(in)) < 255) continue;
      const QRgb a = painted.pixel(surface + at.topLeft() + in), b = want.pixel(in);
      same += std::abs(qRed(a) - qRed(b)) <= 24 && std::abs(qGreen(a) - qGreen(b)) <= 24 &&
              std::abs(qBlue(a) - qBlue(b)) <= 24;
    }
  return same;
}

int OpaquePixels(const QImage& want) {
  int n = 0;
  for (int y = 0; y < want.height(); ++y)
    for (int x = 0; x < want.width(); ++x) n += qAlpha(want.pixel(x, y)) == 255;
  return n;
}

// 四家明牌 on a server's file: every other seat's concealed row turns face up
// in the real window, with the tiles the server's snapshot gives that seat
// where the replay stands, and face down again when the switch goes off.
TEST(ReplayBar, AllHandsOpenFromAServersFileTurnTheOtherRowsFaceUpAndDownAgain) {
  const replay::ReadResult& file = ServerFile();
  ASSERT_TRUE(file.ok()) << file.error;
  ASSERT_TRUE(file.header.fullGame);
  BarRig r(file);
  Click(r.bar().playButton());  // paused
  ASSERT_TRUE(r.Settled());
  replay::Player& p = r.player();
  // Into the first hand, past the deal: every other side holds its thirteen.
  const auto dealt = [&] {
    const Client& c = p.client();
    if (c.table.WildTileCode <= 0 || p.instructionsTaken() < 60) return false;
    for (int side = 1; side < 4; ++side)
      if (c.table.custom[static_cast<std::size_t>(side)].count < 13) return false;
    return true;
  };
  for (int i = 0; i < 400 && !dealt(); ++i) {
    Click(r.bar().stepButton());
    ASSERT_TRUE(r.Settled());
  }
  ASSERT_TRUE(dealt());
  for (int i = 0; i < 12; ++i) {  // a few draws and discards on
    Click(r.bar().stepButton());
    ASSERT_TRUE(r.Settled());
  }
  const Client& c = p.client();
  qt::ScenePainter& painter = r.view.window().surface()->painter();
  const QPoint surface = r.view.window().surface()->geometry().topLeft();
  testing::WaitUntil([] { return false; }, 100);
  const QImage down = testing::WindowRig::Painted(r.view.window());
  EXPECT_TRUE(painter.looks().empty());

  Click(r.bar().openHandsBox());
  ASSERT_TRUE(r.bar().openHandsBox()->isChecked());
  EXPECT_TRUE(r.view.handsOpen());
  EXPECT_TRUE(r.bar().statusLabel()->text().contains(QStringLiteral("服务器录像")));
  testing::WaitUntil([] { return false; }, 100);
  const QImage up = testing::WindowRig::Painted(r.view.window());

  // Each side's row shows the faces of the tiles the snapshot gives its seat.
  const replay::SeatHands* hands = p.seatHands();
  ASSERT_NE(hands, nullptr);
  const qt::ScenePainter::Looks& looks = painter.looks();
  int checked = 0;
  for (int side = 1; side < 4; ++side) {
    const HandRecord& h = c.table.custom[static_cast<std::size_t>(side)];
    const auto seat = static_cast<std::size_t>(BitIndex(h.seat));
    std::vector<int> want, shown;
    for (std::uint8_t t : hands->tiles[seat]) {
      const int code = t == hands->wildCode ? kWildTileCode : t;
      want.push_back(code <= 8 && code != kWildTileCode
                         ? FlowerPicId(side, code).value_or(-1)
                         : TilePictureId(c, TilePicIndex(side, code).value_or(-1)));
    }
    ASSERT_EQ(static_cast<int>(want.size()), h.count) << "side " << side;
    for (int k = 0; k < h.count; ++k) {
      const Control& tile = Tile(c, h.mj[static_cast<std::size_t>(h.first + k)].ind);
      const auto look = looks.find(&tile);
      ASSERT_NE(look, looks.end()) << "side " << side << " tile " << k;
      shown.push_back(look->second.picture);
      EXPECT_NE(look->second.picture, tile.picture) << "a face, not the back";
      // Where no later control covers it, the window shows that face, and
      // showed the back before.
      bool covered = false;
      bool after = false;
      for (const Control* o : c.view.order) {
        if (o == &tile) {
          after = true;
          continue;
        }
        if (!after || !o->visible) continue;
        const auto ol = looks.find(o);
        const QRect orect = ol != looks.end() ? ol->second.rect : QRect(o->x, o->y, o->w, o->h);
        covered = covered || orect.intersects(look->second.rect);
      }
      if (covered) continue;
      const QRect at = look->second.rect;
      const QImage face = painter.picture(look->second.picture, at.width(), at.height()).toImage();
      const int opaque = OpaquePixels(face);
      ASSERT_GT(opaque, 100);
      EXPECT_GT(Showing(up, surface, face, at), opaque * 8 / 10)
          << "side " << side << " tile " << k;
      EXPECT_LT(Showing(down, surface, face, at), opaque * 6 / 10)
          << "side " << side << " tile " << k;
      ++checked;
    }
    std::sort(want.begin(), want.end());
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, want) << "side " << side;
  }
  EXPECT_GE(checked, 3) << "a tile of each side seen on screen";

  // Off again: the rows are face down as before, pixel for pixel.
  Click(r.bar().openHandsBox());
  EXPECT_FALSE(r.view.handsOpen());
  EXPECT_TRUE(painter.looks().empty());
  testing::WaitUntil([] { return false; }, 100);
  const QImage again = testing::WindowRig::Painted(r.view.window());
  EXPECT_EQ(testing::Differing(down, again, r.view.window().surface()->geometry()), 0);
  EXPECT_GT(testing::Differing(down, up, r.view.window().surface()->geometry()), 3000);
}

}  // namespace
}  // namespace tavren
