// The small windows over the table, drawn from their forms in the scene: one
// frameless window per form, shown while the form is loaded and visible.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <map>
#include <memory>

#include "view/forms.h"

namespace tavren {
struct Client;
}

namespace tavren::qt {

class ScenePainter;

class FormWindow : public QWidget {
 public:
  FormWindow(Client& c, FormId id, ScenePainter& pictures);
  // Brings the window in line with its form.
  void sync();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;

 private:
  const SmallForm& form() const;
  int controlAt(const QPoint& p) const;
  int listLineAt(const Control& k, const QPoint& p) const;
  void syncTextBoxes();

  Client& client_;
  FormId id_;
  ScenePainter& pictures_;
  std::map<int, QLineEdit*> edits_;  // text boxes by control index
  bool syncing_ = false;
};

// Every small window of the client.
class FormWindows {
 public:
  FormWindows(Client& c, ScenePainter& pictures);
  void sync();

 private:
  Client& client_;
  ScenePainter& pictures_;
  std::array<std::unique_ptr<FormWindow>, kFormCount> windows_;
};

}  // namespace tavren::qt
