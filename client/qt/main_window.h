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

  // `onClose` runs when the user closes the window.
  explicit MainWindow(std::function<void()> onClose);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::function<void()> onClose_;
};

}  // namespace tavren::qt
