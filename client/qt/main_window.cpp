#include "qt/main_window.h"

#include <QCloseEvent>
#include <utility>

namespace tavren::qt {

MainWindow::MainWindow(std::function<void()> onClose) : onClose_(std::move(onClose)) {
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

}  // namespace tavren::qt
