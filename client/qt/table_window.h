// The client's main window: a frameless window that paints its own skin,
// title strip and buttons around the table surface, which draws the scene.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "qt/form_window.h"
#include "qt/scene_painter.h"
#include "view/scene.h"

namespace tavren {
struct Client;
}

namespace tavren::qt {

class TableWindow;

// The table surface: paints the scene and turns pointer events into the core's calls.
class TableSurface : public QWidget {
 public:
  TableSurface(TableWindow& window, QWidget* parent);
  ScenePainter& painter() { return painter_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  TableWindow& window_;
  ScenePainter painter_;
};

// The player-detail window over a portrait: nine captions and their values.
class InformationWindow : public QWidget {
 public:
  InformationWindow();
  void show(const InformationForm& form);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  std::array<QString, 9> values_;
};

class TableWindow : public QWidget {
 public:
  // `onClose` runs when the user closes the window, `onRestored` when a
  // minimised window is brought back.
  TableWindow(std::function<void()> onClose, std::function<void()> onRestored);

  void attach(Client& c);
  Client* client() const { return client_; }
  // Brings the window in line with the scene: geometry once, then a repaint
  // of exactly the places that changed.
  void sync();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  QRect closeRect() const;
  QRect minRect() const;
  QRect dragRect() const;
  void applyGeometry();

  std::function<void()> onClose_;
  std::function<void()> onRestored_;
  Client* client_ = nullptr;
  TableSurface* surface_ = nullptr;
  QLineEdit* chat_ = nullptr;
  std::unique_ptr<InformationWindow> information_;
  std::unique_ptr<FormWindows> forms_;
  bool geometryApplied_ = false;
  bool skinned_ = true;
  int pressed_ = 0;  // 1 close, 2 minimise
};

}  // namespace tavren::qt
