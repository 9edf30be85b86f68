// The client's main window. For now a plain top-level window of the table's
// size; the drawn table scene takes its place later.
#pragma once

#include <QWidget>
#include <functional>

namespace tavren::qt {

class MainWindow : public QWidget {
 public:
  static constexpr int kWidth = 1040;
  static constexpr int kHeight = 796;

  // `onClose` runs when the user closes the window, `onRestored` when a
  // minimised window is brought back.
  MainWindow(std::function<void()> onClose, std::function<void()> onRestored);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  std::function<void()> onClose_;
  std::function<void()> onRestored_;
};

}  // namespace tavren::qt
