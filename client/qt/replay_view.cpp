#include "qt/replay_view.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <cmath>

#include "core/client.h"
#include "rules/sort_hand.h"
#include "view/access.h"
#include "view/catalogue.h"
#include "view/scene.h"

namespace tavren::qt {

namespace {

struct SpeedChoice {
  const char* label;
  double speed;
};
constexpr SpeedChoice kSpeeds[] = {{"½×", 0.5},
                                   {"1×", 1},
                                   {"2×", 2},
                                   {"4×", 4},
                                   {"8×", 8},
                                   {"16×", 16},
                                   {"最快", replay::kAsFastAsPossible}};

QString MinSec(std::int64_t ms) {
  const std::int64_t s = std::max<std::int64_t>(ms, 0) / 1000;
  return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

ScenePainter::Looks OpenHandLooks(const Client& c, const replay::SeatHands& hands) {
  ScenePainter::Looks looks;
  for (int side = 1; side < kSides; ++side) {
    const HandRecord& h = Hand(c, side);
    const std::uint8_t bit = h.seat;
    if (bit != 1 && bit != 2 && bit != 4 && bit != 8) continue;
    const auto seat = static_cast<std::size_t>(BitIndex(bit));
    if (h.count <= 0 || h.first < 0 || h.first + h.count > kSlots) continue;
    // The wild tiles show as the row shows them: by the wild tile's own picture.
    std::vector<int> codes;
    for (std::uint8_t t : hands.tiles[seat])
      codes.push_back(hands.wildCode != 0 && t == hands.wildCode ? kWildTileCode : t);
    int drawn = -1;
    if (hands.drawnLast[seat] && !codes.empty()) {
      drawn = codes.back();
      codes.pop_back();
    }
    std::stable_sort(codes.begin(), codes.end(), [](int a, int b) { return SortsAfter(b, a); });
    if (drawn >= 0) codes.push_back(drawn);
    int w = 0, hgt = 0;
    StepSize(c, Steps::Reveal, side, w, hgt);
    const int n = std::min(static_cast<int>(h.count), static_cast<int>(codes.size()));
    for (int k = 0; k < n; ++k) {
      const TileSlot& slot = h.mj[static_cast<std::size_t>(h.first + k)];
      if (slot.ind < 0 || slot.ind >= kWallTiles) continue;
      const Control& tile = c.view.MJ_Image[static_cast<std::size_t>(slot.ind)];
      const int code = codes[static_cast<std::size_t>(k)];
      int picture = 0;
      if (code != kWildTileCode && code >= 1 && code <= 8) {
        picture = FlowerPicId(side, code).value_or(0);
      } else if (const auto index = TilePicIndex(side, code)) {
        picture = TilePictureId(c, *index);
      }
      if (picture == 0) continue;
      looks[&tile] = ScenePainter::Look{picture, QRect(tile.x, tile.y, w, hgt)};
    }
  }
  return looks;
}

// ---- the bar -------------------------------------------------------------------

ReplayBar::ReplayBar(ReplayView& view, QWidget* parent) : QWidget(parent), view_(view) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0x2B, 0x1A, 0x0C));
  pal.setColor(QPalette::WindowText, QColor(0xFF, 0xD9, 0x8A));
  setPalette(pal);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 3, 6, 3);
  row->setSpacing(6);
  play_ = new QPushButton(QStringLiteral("暂停"), this);
  play_->setObjectName(QStringLiteral("replayPlay"));
  step_ = new QPushButton(QStringLiteral("单步"), this);
  step_->setObjectName(QStringLiteral("replayStep"));
  step_->setToolTip(QStringLiteral("向前一条指令，然后暂停"));
  speed_ = new QComboBox(this);
  speed_->setObjectName(QStringLiteral("replaySpeed"));
  for (const SpeedChoice& s : kSpeeds) speed_->addItem(QString::fromUtf8(s.label), s.speed);
  speed_->setToolTip(QStringLiteral("速度（4× 以上静音）"));
  hands_ = new QComboBox(this);
  hands_->setObjectName(QStringLiteral("replayHands"));
  hands_->setMinimumWidth(300);
  hands_->setToolTip(QStringLiteral("各局结果；选一局即跳到该局开始"));
  open_ = new QCheckBox(QStringLiteral("四家明牌"), this);
  open_->setObjectName(QStringLiteral("replayOpen"));
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("replayStatus"));
  status_->setMinimumWidth(200);
  row->addWidget(play_);
  row->addWidget(step_);
  row->addWidget(speed_);
  row->addWidget(hands_);
  row->addWidget(open_);
  row->addWidget(status_, 1);

  replay::Player& p = view_.player();
  filling_ = true;
  hands_->addItem(QStringLiteral("跳到…"), 0);
  for (const replay::HandInfo& h : p.hands()) {
    QString text = QStringLiteral("第%1局  %2").arg(h.number).arg(MinSec(h.ms));
    if (h.ended)
      text += QStringLiteral("  ") + QString::fromStdString(h.result);
    else
      text += QStringLiteral("  （未完）");
    hands_->addItem(text, h.number);
  }
  filling_ = false;

  connect(play_, &QPushButton::clicked, this, [this] {
    replay::Player& pl = view_.player();
    pl.setPaused(!pl.paused());
    refresh();
    view_.resume();
  });
  connect(step_, &QPushButton::clicked, this, [this] {
    view_.player().step();
    refresh();
    view_.resume();
  });
  connect(speed_, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (filling_ || i < 0) return;
    view_.player().setSpeed(speed_->itemData(i).toDouble());
    view_.resume();
  });
  connect(hands_, &QComboBox::activated, this, [this](int i) {
    const int n = hands_->itemData(i).toInt();
    if (n <= 0) return;
    view_.player().jumpToHand(n);
    view_.resume();
  });
  connect(open_, &QCheckBox::toggled, this, [this](bool) {
    refresh();
    view_.draw();
  });
}

void ReplayBar::refresh() {
  replay::Player& p = view_.player();
  filling_ = true;
  play_->setText(p.paused() ? QStringLiteral("播放") : QStringLiteral("暂停"));
  for (int i = 0; i < speed_->count(); ++i)
    if (speed_->itemData(i).toDouble() == p.speed() && speed_->currentIndex() != i)
      speed_->setCurrentIndex(i);
  const int hand = p.currentHand();
  if (hand >= 1 && hand < hands_->count() && hands_->currentIndex() != hand &&
      !hands_->view()->isVisible())
    hands_->setCurrentIndex(hand);
  filling_ = false;

  QStringList parts;
  parts << QStringLiteral("第%1/%2局").arg(hand).arg(p.hands().size());
  if (p.muted()) parts << QStringLiteral("静音");
  if (open_->isChecked()) parts << QString::fromStdString(view_.openHandsText());
  if (p.finished())
    parts << (p.endText().empty() ? QStringLiteral("录像结束")
                                  : QString::fromStdString(p.endText()));
  else if (!p.notes().empty())
    parts << QString::fromStdString(p.notes().back());
  status_->setText(parts.join(QStringLiteral("  ")));
  status_->setToolTip(status_->text());
  step_->setEnabled(!p.finished());
}

// ---- the view ------------------------------------------------------------------

ReplayView::ReplayView(replay::ReadResult file, SoundDevice& sound, std::string programFolder)
    : sound_(sound),
      folder_(std::move(programFolder)),
      window_([this](const std::function<void()>& entry) {
        // The small windows still take clicks (a ranking list scrolled): they
        // change the scene only, and what they would send is swallowed.
        if (player_ == nullptr) return;
        RunEvent(player_->client(), entry);
        window_.sync();
      }) {
  clock_.start();
  window_.setViewOnly([this] {
    closed_ = true;
    if (player_ != nullptr) player_->stop();
    if (!running_) QCoreApplication::exit(0);
  });
  player_ = std::make_unique<replay::Player>(std::move(file), *this);
  bar_ = new ReplayBar(*this, &window_);
  window_.setBottomBar(bar_, ReplayBar::kHeight);
  bar_->refresh();
  bar_->show();
}

ReplayView::~ReplayView() {
  // The window's sink refers to the player: the window goes quiet first.
  player_.reset();
}

bool ReplayView::handsOpen() const {
  // Only a server's file holds the other hands; a client's shows them where
  // the stream reveals them, and the bar says so rather than show a guess.
  return bar_ != nullptr && bar_->openHandsBox()->isChecked() && player_ != nullptr &&
         player_->fullGame();
}

std::string ReplayView::openHandsText() const {
  if (player_->fullGame()) return "他家手牌取自服务器录像，每一刻都明示（不只局末亮牌）";
  return "他家手牌只在局末亮牌时可见（录像不含他家手牌）";
}

void ReplayView::syncOpenHands() {
  ScenePainter& painter = window_.surface()->painter();
  const replay::SeatHands* hands = handsOpen() ? player_->seatHands() : nullptr;
  if (hands == nullptr || window_.client() == nullptr) {
    if (!painter.looks().empty()) painter.setLooks({});
    return;
  }
  painter.setLooks(OpenHandLooks(*window_.client(), *hands));
}

void ReplayView::attach(Client& c) {
  // The looks name the last core's controls: a new core starts without them.
  window_.surface()->painter().setLooks({});
  window_.attach(c);
}

void ReplayView::resume() {
  if (running_ || resumeQueued_ || closed_) return;
  resumeQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    resumeQueued_ = false;
    runNow();
  });
}

void ReplayView::runNow() {
  if (running_ || closed_) return;
  running_ = true;
  player_->run();
  running_ = false;
  draw();
  changed();
  if (closed_) QCoreApplication::exit(0);
}

void ReplayView::idleUntil(std::int64_t realMs) {
  // The deadline only wakes the wait; the wait sleeps in the dispatcher.
  const std::int64_t left = realMs - realNow();
  if (left <= 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  deadline.start(static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

bool ReplayView::idle() {
  if (returnWhenPaused_ || closed_) return false;
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  return true;
}

void ReplayView::poll() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ReplayView::draw() {
  if (player_ == nullptr) return;
  syncOpenHands();
  window_.sync();
}

void ReplayView::block(std::int64_t realMs) {
  draw();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) w->repaint();
  if (realMs > 0) QThread::msleep(static_cast<unsigned long>(realMs));
}

void ReplayView::changed() {
  if (bar_ != nullptr) bar_->refresh();
}

PixelSize ReplayView::screenSize() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {1280, 1024};
  const QSize size = screen->size();
  return {size.width(), size.height()};
}

LocalTime ReplayView::localTime() {
  const QTime t = QTime::currentTime();
  return LocalTime{t.hour(), t.minute(), t.second()};
}

}  // namespace tavren::qt
