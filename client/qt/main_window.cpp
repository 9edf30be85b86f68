#include "qt/main_window.h"

#include <QCloseEvent>
#include <utility>

namespace tavren::qt {

MainWindow::MainWindow(std::function<void()> onClose, std::function<void()> onRestored)
    : onClose_(std::move(onClose)), onRestored_(std::move(onRestored)) {
  setWindowTitle(QStringLiteral("Tavren麻将"));
  setFixedSize(kWidth, kHeight);
  // The table is green cloth until the drawn scene replaces this window.
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(0x1E, 0x5A, 0x3C));
  setPalette(p);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the window ends the program through the core's normal close.
  event->ignore();
  if (onClose_) onClose_();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  const auto* change = static_cast<QWindowStateChangeEvent*>(event);
  const bool wasMinimized = (change->oldState() & Qt::WindowMinimized) != 0;
  if (wasMinimized && !isMinimized() && onRestored_) onRestored_();
}

}  // namespace tavren::qt
