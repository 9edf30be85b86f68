// The client's main window: a frameless window that paints its own skin,
// title strip and buttons around the table surface, which draws the scene.
//
// The window never decides anything: every pointer, key and window event
// goes to the core through the event sink, and after each one the window
// compares the scene with what it shows and redraws what differs.
#pragma once

#include <QHash>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "qt/form_window.h"
#include "qt/scene_painter.h"
#include "view/scene.h"

namespace tavren {
struct Client;
}

namespace tavren::qt {

class TableWindow;

// Runs one core event entry and brings every window in line with the scene
// afterwards. The real world guards it against faults; tests run it plainly.
using EventSink = std::function<void(const std::function<void()>&)>;

// The table surface: paints the scene and turns pointer and key events into the core's calls.
class TableSurface : public QWidget {
 public:
  TableSurface(TableWindow& window, QWidget* parent);
  ScenePainter& painter() { return painter_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  TableWindow& window_;
  ScenePainter painter_;
};

// The player-detail window over a portrait: nine captions and their values.
class InformationWindow : public QWidget {
 public:
  explicit InformationWindow(const TableWindow& owner);
  void show(const InformationForm& form);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  const TableWindow& owner_;
  std::array<QString, 9> values_;
};

// The chat box of the table: Enter and Backspace reach the core before the
// text changes, as the core's chat rules expect.
class ChatBox : public QLineEdit {
 public:
  ChatBox(TableWindow& window, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  TableWindow& window_;
};

// A point of a window drawn at `zoom` in table pixels: the table pixel that
// holds it (a point on a tile's last device pixel is on that tile).
QPoint TablePoint(const QPointF& at, double zoom);

class TableWindow : public QWidget {
 public:
  explicit TableWindow(EventSink sink);
  ~TableWindow() override;

  // The table size: the window, its drawing and the pointer at `zoom` times the
  // table's pixels (the scene stays in table pixels). Set before attach().
  void setZoom(double zoom) { zoom_ = zoom; }
  double zoom() const { return zoom_; }
  // A place the core gave in screen pixels (a small window over the table),
  // moved with the larger table: the same spot relative to the window. And back.
  QPoint toScreen(int left, int top) const;
  QPoint fromScreen(const QPoint& at) const;

  void attach(Client& c);
  Client* client() const { return client_; }
  // Hands one event entry to the core (through the sink, which syncs afterwards).
  void deliver(const std::function<void()>& entry);
  // Brings the window, the table surface and every small window in line with
  // the scene: what differs is redrawn, nothing else.
  void sync();

  TableSurface* surface() const { return surface_; }
  QLineEdit* chatBox() const { return chat_; }
  // Where the pointer was last seen over the table surface.
  void setPointer(const QPoint& p) { pointer_ = p; }
  FormWindows* forms() const { return forms_.get(); }
  // A strip of the program's own under the table (the replay bar): the window
  // grows by its height.
  void setBottomBar(QWidget* bar, int height);
  // What closing the window does instead of asking the core (a replay ends);
  // the table then only shows: pointer and keys on it reach no core handler.
  void setViewOnly(std::function<void()> close);
  bool viewOnly() const { return static_cast<bool>(closeAction_); }
  // The window is minimised and really off the screen. With no window manager
  // to take it away it stays on the screen, and so do its small windows.
  bool awayFromScreen() const;
  // The title strip's parts, in table pixels of the window.
  QRect closeRect() const;
  QRect minRect() const;
  QRect dragRect() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void applyGeometry();
  void syncWindowState();
  void syncChatBox();
  void syncPointer();
  // A second look at the small windows once the window system had time to
  // take a minimised window off the screen (or to leave it there).
  void followMinimise();

  EventSink sink_;
  Client* client_ = nullptr;
  TableSurface* surface_ = nullptr;
  ChatBox* chat_ = nullptr;
  std::unique_ptr<InformationWindow> information_;
  std::unique_ptr<FormWindows> forms_;
  QSize geometryApplied_;
  bool skinned_ = true;
  bool shownApplied_ = false;
  bool minimizedApplied_ = false;
  bool syncing_ = false;
  std::string captionApplied_;
  int titleLooks_ = -1;  // the title buttons' looks last painted
  int pressed_ = 0;      // 1 close, 2 minimise
  // Where the pointer holds the window by its title strip while the window
  // follows it by itself (no window manager to move it), from the corner.
  std::optional<QPoint> dragGrip_;
  QPoint pointer_{-1, -1};
  double zoom_ = 1.0;
  QPixmap chromePicture(const QString& name, double density);
  QHash<QString, QPixmap> chrome_;  // the frame's pictures, by name and set
  QFont chatFont_;                  // the chat box's font at the table's own size
  QWidget* bottomBar_ = nullptr;
  int bottomBarH_ = 0;
  std::function<void()> closeAction_;
};

}  // namespace tavren::qt
