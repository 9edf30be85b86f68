// The small windows over the table, drawn from their forms in the scene: one
// frameless window per form, shown while the form is loaded and visible.
// Images and labels are painted; list boxes are real lists (wheel, scroll
// bar, the line under the pointer) and text boxes real line edits. Every
// pointer and key event goes back to the core through the table window.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QWidget>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "view/forms.h"

namespace tavren {
struct Client;
}

namespace tavren::qt {

class ScenePainter;
class TableWindow;

class FormWindow : public QWidget {
 public:
  FormWindow(TableWindow& owner, FormId id, ScenePainter& pictures);
  // Brings the window in line with its form; does nothing when the form is as last shown.
  void sync();
  // The real list that stands for control `control`, or null.
  QListWidget* list(int control) const;
  // Control under a point of the window (painted controls only; below the
  // title strip where there is one), or -1.
  int controlAt(const QPoint& p) const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  const SmallForm& form() const;
  // Height of the drawn title strip above the form's area, 0 for none.
  int titleH() const;
  std::uint64_t fingerprint() const;
  void syncChildren();
  void syncList(int i, const Control& k);
  void syncEdit(int i, const Control& k);
  // The lists of row group `group` (lists that read across as one table).
  std::vector<QListWidget*> rowGroup(int group) const;
  // The row groups' lines level with each other, and their scroll positions one.
  void lineUpRowGroups();
  void applyShape();
  template <class W>
  void DropStale(std::map<int, W*>& widgets, ControlType type);
  void deliver(const std::function<void()>& entry);

  TableWindow& owner_;
  Client& client_;
  FormId id_;
  ScenePainter& pictures_;
  std::map<int, QListWidget*> lists_;  // by control index
  std::map<int, QLineEdit*> edits_;
  std::map<int, unsigned> scrolledToLast_;  // the list's last scroll request applied, by control
  std::map<int, int> pendingScroll_;  // where a row group's list goes once its group is laid out
  bool following_ = false;            // one list of a row group moves the others
  std::uint64_t shown_ = 0;           // fingerprint of the form as last applied
  int shapePicture_ = -1;
  QSize shapeSize_;
  int pressed_ = -1;  // control under the last press
  // Where the pointer holds the window while it drags it itself (no window
  // manager to do it), relative to the window's corner.
  std::optional<QPoint> dragGrip_;
  int hovered_ = -2;  // control under the pointer as last reported
  bool syncing_ = false;
};

// Every small window of the client.
class FormWindows {
 public:
  FormWindows(TableWindow& owner, ScenePainter& pictures);
  void sync();
  // The window of a form, once it was shown; null before.
  FormWindow* window(FormId id) const;

 private:
  TableWindow& owner_;
  ScenePainter& pictures_;
  std::array<std::unique_ptr<FormWindow>, kFormCount> windows_;
};

}  // namespace tavren::qt
