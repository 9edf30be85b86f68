// A kept game played again in the real table window, with the replay bar
// under the table: pause and play, one instruction forward, the speed, the
// hand list with each hand's result (choosing one jumps to it), and the
// "all hands open" switch. The table itself only shows: clicks on it and keys
// reach no core handler, and nothing goes out.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <string>

#include "qt/table_window.h"
#include "replay/player.h"

namespace tavren::qt {

class ReplayView;

// The other seats' concealed rows of the table face up from a server file's
// snapshot, as the table lays them open at a hand's end: each standing tile
// of sides 1..3 shows its face in the side's orientation at the reveal size,
// where it stands. The snapshot's tiles go in the row's order (a tile just
// drawn last, in the drawn tile's place); where the row and the snapshot
// differ in length for a moment (a frame on its way), the shorter decides.
ScenePainter::Looks OpenHandLooks(const Client& c, const replay::SeatHands& hands);

// The bar: plain Qt widgets in a strip at the bottom of the table window.
class ReplayBar : public QWidget {
 public:
  ReplayBar(ReplayView& view, QWidget* parent);
  // Brings the controls in line with the player (position, hand, notes, end).
  void refresh();

  QPushButton* playButton() const { return play_; }
  QPushButton* stepButton() const { return step_; }
  QComboBox* speedBox() const { return speed_; }
  QComboBox* handBox() const { return hands_; }
  QCheckBox* openHandsBox() const { return open_; }
  QLabel* statusLabel() const { return status_; }

  static constexpr int kHeight = 34;

 private:
  ReplayView& view_;
  QPushButton* play_;
  QPushButton* step_;
  QComboBox* speed_;
  QComboBox* hands_;
  QCheckBox* open_;
  QLabel* status_;
  bool filling_ = false;
};

class ReplayView : public QObject, public replay::Host {
 public:
  // `sound` and `programFolder` are the real world's (or a test's).
  ReplayView(replay::ReadResult file, SoundDevice& sound, std::string programFolder);
  ~ReplayView() override;

  replay::Player& player() { return *player_; }
  TableWindow& window() { return window_; }
  ReplayBar& bar() { return *bar_; }

  // Runs the replay from the event loop (again after a control asked for more).
  void resume();
  // A test's world: when the replay is paused, run() returns instead of
  // waiting for the next event.
  void setReturnWhenPaused(bool v) { returnWhenPaused_ = v; }
  // The replay runs, or is about to (a control asked for more).
  bool running() const { return running_ || resumeQueued_; }
  // Whether the window was closed (the program ends).
  bool closed() const { return closed_; }
  // Whether every hand is shown open (the switch is on and the file can).
  bool handsOpen() const;
  // The line the bar shows about the other hands.
  std::string openHandsText() const;
  // Brings the open hands on the table in line with the switch and the replay.
  void syncOpenHands();

  // replay::Host
  std::int64_t realNow() override { return clock_.elapsed(); }
  void idleUntil(std::int64_t realMs) override;
  bool idle() override;
  void poll() override;
  void draw() override;
  void block(std::int64_t realMs) override;
  void changed() override;
  SoundDevice& sound() override { return sound_; }
  std::string programFolder() override { return folder_; }
  PixelSize screenSize() override;
  LocalTime localTime() override;
  void attach(Client& c) override;

 private:
  void runNow();

  SoundDevice& sound_;
  std::string folder_;
  QElapsedTimer clock_;
  TableWindow window_;
  ReplayBar* bar_ = nullptr;
  std::unique_ptr<replay::Player> player_;
  bool returnWhenPaused_ = false;
  bool running_ = false;
  bool resumeQueued_ = false;
  bool closed_ = false;
};

}  // namespace tavren::qt
