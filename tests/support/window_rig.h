// The real table window and its small windows driven by synthetic events on
// Qt's offscreen platform, over a client in the simulated world: time is
// virtual, the windows are real, and what the tests read back is what the
// windows actually painted (the offscreen backing store), not a fresh render.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <functional>

#include "core/client.h"
#include "qt/table_window.h"
#include "support/sim_client.h"
#include "view/scene.h"

namespace tavren::testing {

// Handles Qt's pending events until `done` holds or `boundMs` of real time
// passed; returns whether it holds.
inline bool WaitUntil(const std::function<bool()>& done, int boundMs = 3000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > boundMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

struct WindowRig {
  SimClient s;
  qt::TableWindow window{[this](const std::function<void()>& entry) {
    entry();
    window.sync();
  }};

  // `zoom`: the table size the window is drawn at (1 = 100 %).
  explicit WindowRig(PixelSize screen = {1280, 1024}, double zoom = 1.0) {
    window.setZoom(zoom);
    s.platform.screen = screen;
    RunEvent(s.c, [&] {
      LayOutTable(s.c);
      ShowMainWindow(s.c);
    });
    window.attach(s.c);
    window.sync();
    WaitUntil([&] { return window.isVisible() && window.windowHandle()->isExposed(); });
    Settle();
  }

  // Virtual time passes; afterwards the windows are brought in line with the
  // scene, as the real world does after every event.
  void Run(std::int64_t ms) {
    s.Run(ms);
    window.sync();
    Settle();
  }

  // Lets the windows paint what they were asked to.
  void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }

  // What a window has painted so far, as it stands in its backing store.
  static QImage Painted(QWidget& w) {
    return w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
  }
  QImage Painted() { return Painted(window); }

  // A point of the table surface in window coordinates.
  QPoint OnSurface(const Control& k) const {
    return window.surface()->geometry().topLeft() + QPoint(k.x + k.w / 2, k.y + k.h / 2);
  }
};

// The pointer moved over `w` at `pos`, delivered to that widget. (Moving the
// platform's cursor instead lets the offscreen platform pick whichever
// top-level window it finds there first.)
inline void MoveOver(QWidget* w, const QPoint& pos) {
  QMouseEvent move(QEvent::MouseMove, QPointF(pos), w->mapToGlobal(QPointF(pos)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
}

// How many pixels of `rect` differ between two pictures.
inline int Differing(const QImage& a, const QImage& b, const QRect& rect) {
  int n = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      if (a.valid(x, y) && b.valid(x, y) && a.pixel(x, y) != b.pixel(x, y)) ++n;
  return n;
}

}  // namespace tavren::testing
