#include "qt/table_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <cmath>
#include <cstring>
#include <utility>

#include "chat/chat.h"
#include "core/client.h"
#include "input/input.h"
#include "qt/keys.h"
#include "qt/trace.h"
#include "view/chrome.h"

namespace tavren::qt {

namespace {

constexpr int kTitleButtonW = 18;
// The characters a chat line may carry (the frame's limit).
constexpr int kChatBoxChars = 100;
constexpr int kTitleButtonH = 16;

QString LookSuffix(ButtonLook look) {
  switch (look) {
    case ButtonLook::Hover:
      return QStringLiteral("hover");
    case ButtonLook::Pressed:
      return QStringLiteral("pressed");
    default:
      return QStringLiteral("normal");
  }
}

bool IsControl(const Control* k, const char* name) {
  return k != nullptr && std::strcmp(k->name, name) == 0;
}

// The tooltip of a table control: a control-bar button's own, or the whole
// text of a label too long for its place.
QString ControlTooltip(const Control& k) {
  if (IsControl(&k, "AnNiu")) return QString::fromUtf8(ControlBarTooltip(k.index));
  if (k.type == ControlType::Label && LabelElided(k)) return QString::fromStdString(k.caption);
  return QString();
}

}  // namespace

QPoint TablePoint(const QPointF& at, double zoom) {
  return QPoint(static_cast<int>(std::floor(at.x() / zoom)),
                static_cast<int>(std::floor(at.y() / zoom)));
}

// ---- TableSurface

TableSurface::TableSurface(TableWindow& window, QWidget* parent)
    : QWidget(parent), window_(window) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The table takes the keys (F1, Esc, Alt then C) once it is clicked, and from the start.
  setFocusPolicy(Qt::StrongFocus);
}

bool TableSurface::event(QEvent* e) {
  if (e->type() == QEvent::Leave) {
    // The pointer left the table (for the window's frame, a small window or
    // another program): a lit control-bar button goes dark.
    if (Client* c = window_.client()) window_.deliver([&] { RestoreControlBarPictures(*c); });
    return QWidget::event(e);
  }
  if (e->type() != QEvent::ToolTip) return QWidget::event(e);
  // A tooltip belongs to the control under the pointer and only lasts while
  // the pointer stays on it.
  const auto* help = static_cast<QHelpEvent*>(e);
  Client* c = window_.client();
  const double z = window_.zoom();
  const QPoint at = TablePoint(help->pos(), z);
  const Control* k = c != nullptr ? HitTest(c->view, at.x(), at.y()) : nullptr;
  const QString tip = k != nullptr ? ControlTooltip(*k) : QString();
  if (tip.isEmpty()) {
    QToolTip::hideText();
    e->ignore();
  } else {
    QToolTip::showText(help->globalPos(), tip, this,
                       QRectF(k->x * z, k->y * z, k->w * z, k->h * z).toAlignedRect());
  }
  return true;
}

void TableSurface::paintEvent(QPaintEvent* e) {
  Client* c = window_.client();
  if (c == nullptr) return;
  {
    QPainter p(this);
    const double z = window_.zoom();
    if (z != 1.0) p.scale(z, z);
    // Each place asked for is painted on its own: the bounding rectangle of
    // places far apart would draw everything between them, and a clip of
    // several rectangles takes Qt's slow path for every picture.
    const QRegion& region = e->region();
    const bool apart = region.rectCount() > 1 && region.rectCount() <= 32;
    for (const QRect& r : apart ? region : QRegion(e->rect())) {
      const QRectF clip(r.x() / z, r.y() / z, r.width() / z, r.height() / z);
      painter_.paint(p, c->view, clip.toAlignedRect());
    }
  }
  Trace("painted");
}

void TableSurface::mouseMoveEvent(QMouseEvent* e) {
  Client* c = window_.client();
  if (c == nullptr) return;
  const QPoint pt = TablePoint(e->position(), window_.zoom());
  window_.setPointer(pt);
  window_.deliver([&] {
    TableMouseMove(*c, pt.x(), pt.y());
    WindowBackgroundHover(*c);
  });
}

void TableSurface::mousePressEvent(QMouseEvent* e) {
  Client* c = window_.client();
  if (c == nullptr) return;
  Trace("press");
  setFocus(Qt::MouseFocusReason);
  const QPoint pt = TablePoint(e->position(), window_.zoom());
  if (e->button() == Qt::LeftButton)
    window_.deliver([&] { TableClick(*c, pt.x(), pt.y()); });
  else if (e->button() == Qt::RightButton)
    window_.deliver([&] { TableRightClick(*c, pt.x(), pt.y()); });
}

void TableSurface::mouseDoubleClickEvent(QMouseEvent*) {
  // The second press of a double click is not a new press on the table: a
  // quick double click on a tile discards it once, not twice.
}

void TableSurface::keyPressEvent(QKeyEvent* e) {
  Client* c = window_.client();
  if (c == nullptr || window_.viewOnly()) return;
  const int key = VirtualKey(e->key());
  const bool alt = (e->modifiers() & Qt::AltModifier) != 0;
  window_.deliver([&] { OnKey(*c, key, alt); });
}

// ---- InformationWindow

InformationWindow::InformationWindow(const TableWindow& owner) : owner_(owner) {
  setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
  setWindowTitle(QStringLiteral("Form1"));
  setFixedSize(220, 9 * 22 + 16);
}

void InformationWindow::show(const InformationForm& form) {
  bool changed = false;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    const QString v = QString::fromStdString(form.Inf[i]);
    if (values_[i] != v) {
      values_[i] = v;
      changed = true;
    }
  }
  const QPoint at = owner_.toScreen(form.left, form.top);
  if (pos() != at) move(at);
  if (!isVisible()) QWidget::show();
  if (changed) update();
}

void InformationWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0xFB, 0xF3, 0xDC));
  p.setPen(QColor(0x8A, 0x5A, 0x1E));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSize(10);
  p.setFont(font);
  for (int i = 0; i < 9; ++i) {
    const QRect row(10, 8 + 22 * i, width() - 20, 22);
    p.setPen(QColor(0x6B, 0x3A, 0x10));
    p.drawText(row, Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromUtf8(kInformationCaptions[static_cast<std::size_t>(i)]));
    p.setPen(Qt::black);
    p.drawText(row.adjusted(80, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
               values_[static_cast<std::size_t>(i)]);
  }
}

// ---- ChatBox

ChatBox::ChatBox(TableWindow& window, QWidget* parent) : QLineEdit(parent), window_(window) {
  setFrame(false);
  setMaxLength(kChatBoxChars);
}

void ChatBox::keyPressEvent(QKeyEvent* e) {
  Client* c = window_.client();
  if (c == nullptr) return;
  const int key = VirtualKey(e->key());
  // The box's own key-down handler (F1) comes first, then its key press
  // (Enter sends, Backspace may take the private prefix), then the edit.
  window_.deliver([&] { ChatKeyDown(*c, key); });
  if (e->key() == Qt::Key_Escape) {
    e->ignore();  // Esc goes on to the table: the exit question
    return;
  }
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    window_.deliver([&] { ChatKeyPress(*c, kKeyEnter); });
    return;
  }
  if (e->key() == Qt::Key_Backspace || !e->text().isEmpty())
    window_.deliver([&] { ChatKeyPress(*c, e->key() == Qt::Key_Backspace ? kKeyBackspace : key); });
  QLineEdit::keyPressEvent(e);
}

// ---- TableWindow

TableWindow::TableWindow(EventSink sink) : sink_(std::move(sink)) {
  setWindowTitle(QStringLiteral("Tavren麻将"));
  setWindowIcon(QIcon(QStringLiteral(":/pics/icon.png")));
  setWindowFlag(Qt::FramelessWindowHint, true);
  setMouseTracking(true);
  resize(1040, 796);
  surface_ = new TableSurface(*this, this);
  chat_ = new ChatBox(*this, surface_);
  chat_->hide();
  information_ = std::make_unique<InformationWindow>(*this);
  connect(chat_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (client_ == nullptr) return;
    const std::string t = text.toStdString();
    const int caret = chat_->cursorPosition();
    deliver([&] { ChatTextChanged(*client_, t, caret); });
  });
  connect(chat_, &QLineEdit::cursorPositionChanged, this, [this](int, int caret) {
    // The caret's place decides whether a Backspace reaches into the prefix.
    if (client_ == nullptr || syncing_) return;
    client_->chat.ChatCaret = caret;
  });
}

TableWindow::~TableWindow() = default;

void TableWindow::attach(Client& c) {
  client_ = &c;
  chatFont_ = chat_->font();
  forms_ = std::make_unique<FormWindows>(*this, surface_->painter());
  sync();
}

void TableWindow::deliver(const std::function<void()>& entry) {
  if (client_ == nullptr) return;
  if (sink_)
    sink_(entry);
  else {
    entry();
    sync();
  }
}

void TableWindow::setBottomBar(QWidget* bar, int height) {
  bottomBar_ = bar;
  bottomBarH_ = bar != nullptr ? height : 0;
  if (client_ != nullptr) applyGeometry();
}

void TableWindow::setViewOnly(std::function<void()> close) {
  closeAction_ = std::move(close);
  surface_->setAttribute(Qt::WA_TransparentForMouseEvents, true);
  surface_->setFocusPolicy(Qt::NoFocus);
  chat_->setEnabled(false);
}

void TableWindow::applyGeometry() {
  const MainForm& f = client_->view;
  skinned_ = f.skinned;
  geometryApplied_ = QSize(f.windowW, f.windowH);
  const auto scaled = [this](int v) { return static_cast<int>(std::lround(v * zoom_)); };
  // The bar under the table keeps its own size: it is made of Qt's widgets.
  setFixedSize(scaled(f.windowW), scaled(f.windowH) + bottomBarH_);
  move(f.windowLeft, f.windowTop);
  surface_->setGeometry(scaled(f.pic1X), scaled(f.pic1Y), scaled(f.pic1W), scaled(f.pic1H));
  if (bottomBar_ != nullptr)
    bottomBar_->setGeometry(0, scaled(f.windowH), scaled(f.windowW), bottomBarH_);
  if (zoom_ != 1.0) {
    QFont font = chatFont_;
    font.setPointSizeF(chatFont_.pointSizeF() * zoom_);
    chat_->setFont(font);
  }
  titleLooks_ = -1;
  update();
}

void TableWindow::syncWindowState() {
  MainForm& f = client_->view;
  if (f.caption != captionApplied_) {
    captionApplied_ = f.caption;
    setWindowTitle(f.caption.empty() ? QStringLiteral("Tavren麻将")
                                     : QString::fromStdString(f.caption));
    if (skinned_) update(QRect(0, 0, width(), surface_->y()));
  }
  if (f.shown && !shownApplied_) {
    shownApplied_ = true;
    show();
    // On another screen the density may differ: everything is drawn again,
    // and the painter takes the picture set of the new density.
    if (windowHandle() != nullptr)
      connect(windowHandle(), &QWindow::screenChanged, this, [this] {
        update();
        surface_->update();
      });
    surface_->setFocus(Qt::OtherFocusReason);
  }
  if (!shownApplied_) return;
  // The core's own minimise and restore run the window's minimise and restore
  // handlers, as a minimise by the user does.
  if (f.minimized != minimizedApplied_) {
    minimizedApplied_ = f.minimized;
    if (f.minimized) {
      showMinimized();
      followMinimise();
      OnWindowMinimized(*client_);
    } else {
      showNormal();
      OnWindowRestored(*client_);
    }
  }
  if (f.raiseRequested) {
    f.raiseRequested = false;
    if (isMinimized()) showNormal();
    // The offscreen platform has no stacking to change.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
      raise();
      activateWindow();
    }
  }
}

void TableWindow::syncChatBox() {
  const Control& box = client_->view.Chat;
  const QRect place = QRectF((box.x + 2) * zoom_, (box.y + 1) * zoom_,
                             std::max(box.w - 4, 1) * zoom_, std::max(box.h - 2, 1) * zoom_)
                          .toRect();
  if (chat_->geometry() != place) chat_->setGeometry(place);
  if (chat_->isVisibleTo(surface_) != box.visible) chat_->setVisible(box.visible);
  // A line may hold 100 characters besides the private prefix the box shows.
  const int cap =
      kChatBoxChars + static_cast<int>(QString::fromStdString(client_->chat.PrivatePrefix).size());
  const QString text = QString::fromStdString(box.caption);
  if (chat_->maxLength() < cap) chat_->setMaxLength(cap);
  if (chat_->text() != text) {
    chat_->setText(text);
    chat_->setCursorPosition(std::clamp(client_->chat.ChatCaret, 0, static_cast<int>(text.size())));
  }
  if (chat_->maxLength() != cap) chat_->setMaxLength(cap);
  if (client_->chat.ChatFocus) {
    client_->chat.ChatFocus = false;
    if (box.visible) chat_->setFocus(Qt::OtherFocusReason);
  }
}

void TableWindow::syncPointer() {
  const InputState& in = client_->input;
  // The pointer's shape is that of the control under it, as the pointer was last seen.
  const QPoint pt = pointer_;
  const MainForm& f = client_->view;
  const Control* k =
      QRect(0, 0, f.pic1W, f.pic1H).contains(pt) ? HitTest(f, pt.x(), pt.y()) : nullptr;
  const bool hand = IsControl(k, "MJ_Image") && in.Pointer == kPointerHand;
  const Qt::CursorShape shape = hand ? Qt::PointingHandCursor : Qt::ArrowCursor;
  if (surface_->cursor().shape() != shape) surface_->setCursor(shape);
}

void TableWindow::sync() {
  if (client_ == nullptr || syncing_ || client_->ended) return;
  syncing_ = true;
  const MainForm& f = client_->view;
  if (geometryApplied_ != QSize(f.windowW, f.windowH)) applyGeometry();
  syncWindowState();
  if (f.Information.visible && isVisible() && !awayFromScreen())
    information_->show(f.Information);
  else if (information_->isVisible())
    information_->hide();
  syncChatBox();
  const QRegion dirty = surface_->painter().changes(f);
  if (!dirty.isEmpty()) {
    Trace("changed");
    if (zoom_ == 1.0) {
      surface_->update(dirty);
    } else {
      // Table pixels to the surface's, with a pixel to spare for the rounding.
      QRegion scaled;
      for (const QRect& r : dirty)
        scaled += QRectF(r.x() * zoom_, r.y() * zoom_, r.width() * zoom_, r.height() * zoom_)
                      .toAlignedRect()
                      .adjusted(-1, -1, 1, 1);
      surface_->update(scaled);
    }
  }
  const int looks =
      static_cast<int>(client_->chrome.closeLook) * 8 + static_cast<int>(client_->chrome.minLook);
  if (skinned_ && looks != titleLooks_) {
    titleLooks_ = looks;
    update(QRect(0, 0, width(), surface_->y()));
  }
  syncPointer();
  if (forms_) forms_->sync();
  syncing_ = false;
}

QPixmap TableWindow::chromePicture(const QString& name, double density) {
  const QString key = name + QLatin1Char('@') + QString::number(PictureSet(density));
  auto it = chrome_.find(key);
  if (it == chrome_.end()) it = chrome_.insert(key, ChromePicture(name, density));
  return *it;
}

QPoint TableWindow::toScreen(int left, int top) const {
  if (zoom_ == 1.0) return QPoint(left, top);
  return QPoint(x() + static_cast<int>(std::lround((left - x()) * zoom_)),
                y() + static_cast<int>(std::lround((top - y()) * zoom_)));
}

QPoint TableWindow::fromScreen(const QPoint& at) const {
  if (zoom_ == 1.0) return at;
  return QPoint(x() + static_cast<int>(std::lround((at.x() - x()) / zoom_)),
                y() + static_cast<int>(std::lround((at.y() - y()) / zoom_)));
}

bool TableWindow::awayFromScreen() const {
  return isMinimized() && (windowHandle() == nullptr || !windowHandle()->isExposed());
}

void TableWindow::followMinimise() {
  QTimer::singleShot(500, this, [this] {
    if (client_ != nullptr && !client_->ended) sync();
  });
}

QRect TableWindow::closeRect() const {
  const int w = client_ != nullptr ? client_->view.windowW : width();
  return QRect(w - kTitleButtonW - 5, 2, kTitleButtonW, kTitleButtonH);
}

QRect TableWindow::minRect() const {
  const QRect c = closeRect();
  return QRect(c.left() - kTitleButtonW - 2, 2, kTitleButtonW, kTitleButtonH);
}

QRect TableWindow::dragRect() const {
  return QRect(19, 0, minRect().left() - 19, kTitleButtonH + 3);
}

void TableWindow::paintEvent(QPaintEvent*) {
  if (!skinned_) return;
  QPainter p(this);
  p.scale(zoom_, zoom_);
  // The chrome's pictures from the set of the density drawn at; the title's text
  // is drawn at that density anyway.
  const double density = PainterDensity(p);
  const QRect all(0, 0, client_ != nullptr ? client_->view.windowW : width(),
                  client_ != nullptr ? client_->view.windowH : height());
  // The frame from its nine-piece strip: the corners as drawn, the edges
  // stretched. (A whole frame picture would hold 13 MB of pixels at 2x.)
  const QPixmap pieces = chromePicture(QStringLiteral("skin-pieces"), density);
  if (!pieces.isNull()) {
    const double s = pieces.devicePixelRatio();
    const double w = all.width(), h = all.height();
    // Source columns left 0..8, edge 8..16, right 38..46; rows title 0..20,
    // side 20..212, bottom 212..220.
    const double fromX[][2] = {{0, 8}, {8, 16}, {38, 46}},
                 fromY[][2] = {{0, 20}, {20, 212}, {212, 220}};
    const double toX[][2] = {{0, 8}, {8, w - 8}, {w - 8, w}},
                 toY[][2] = {{0, 20}, {20, h - 8}, {h - 8, h}};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) {
        if (r == 1 && c == 1) continue;  // the table lies there
        p.drawPixmap(QRectF(QPointF(toX[c][0], toY[r][0]), QPointF(toX[c][1], toY[r][1])), pieces,
                     QRectF(QPointF(fromX[c][0] * s, fromY[r][0] * s),
                            QPointF(fromX[c][1] * s, fromY[r][1] * s)));
      }
  } else {
    p.fillRect(all, QColor(0x3A, 0x22, 0x10));
  }
  const QPixmap icon = chromePicture(QStringLiteral("icon"), density * 16 / 64);
  p.drawPixmap(QRectF(3, 2, 16, 16), icon, QRectF(icon.rect()));
  p.setPen(Qt::white);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSize(9);
  p.setFont(font);
  const QString title = client_ != nullptr && !client_->view.caption.empty()
                            ? QString::fromStdString(client_->view.caption)
                            : windowTitle();
  p.drawText(QRect(22, 0, 400, 20), Qt::AlignVCenter | Qt::AlignLeft, title);
  const ChromeState* chrome = client_ != nullptr ? &client_->chrome : nullptr;
  const ButtonLook closeLook = chrome != nullptr ? chrome->closeLook : ButtonLook::Normal;
  const ButtonLook minLook = chrome != nullptr ? chrome->minLook : ButtonLook::Normal;
  const QPixmap close =
      chromePicture(QStringLiteral("close-%1").arg(LookSuffix(closeLook)), density);
  const QPixmap min = chromePicture(QStringLiteral("min-%1").arg(LookSuffix(minLook)), density);
  p.drawPixmap(QRectF(closeRect()), close, QRectF(close.rect()));
  p.drawPixmap(QRectF(minRect()), min, QRectF(min.rect()));
}

void TableWindow::mouseMoveEvent(QMouseEvent* e) {
  if (client_ == nullptr) return;
  if (dragGrip_ && (e->buttons() & Qt::LeftButton)) {
    const QPoint to = e->globalPosition().toPoint() - *dragGrip_;
    if (to != pos()) move(to);
    return;
  }
  const QPoint pt = TablePoint(e->position(), zoom_);
  deliver([&] {
    if (closeRect().contains(pt))
      TitleButtonHover(*client_, TitleButton::Close);
    else if (minRect().contains(pt))
      TitleButtonHover(*client_, TitleButton::Minimize);
    else
      WindowBackgroundHover(*client_);
  });
  if (pressed_ == 0) setCursor(Qt::ArrowCursor);
}

void TableWindow::mousePressEvent(QMouseEvent* e) {
  if (client_ == nullptr || e->button() != Qt::LeftButton) return;
  const QPoint pt = TablePoint(e->position(), zoom_);
  if (closeRect().contains(pt)) {
    pressed_ = 1;
    deliver([&] { TitleButtonDown(*client_, TitleButton::Close); });
  } else if (minRect().contains(pt)) {
    pressed_ = 2;
    deliver([&] { TitleButtonDown(*client_, TitleButton::Minimize); });
  } else if (dragRect().contains(pt)) {
    // The side windows close first; then the system moves the window.
    deliver([&] { TitleStripPressed(*client_); });
    setCursor(Qt::SizeAllCursor);
    // Without a window manager that moves windows, the window follows the
    // pointer by itself until the button is released.
    if (windowHandle() == nullptr || !windowHandle()->startSystemMove())
      dragGrip_ = e->globalPosition().toPoint() - pos();
  }
}

void TableWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (client_ == nullptr || e->button() != Qt::LeftButton) return;
  const QPoint pt = TablePoint(e->position(), zoom_);
  dragGrip_.reset();
  const int was = std::exchange(pressed_, 0);
  if (was == 1) {
    deliver([&] {
      TitleButtonUp(*client_, TitleButton::Close);
      // The close button is the exit button of the control bar.
      if (closeRect().contains(pt) && !closeAction_) CloseRequested(*client_);
    });
    if (closeAction_ && closeRect().contains(pt)) closeAction_();
  } else if (was == 2) {
    deliver([&] {
      TitleButtonUp(*client_, TitleButton::Minimize);
      if (minRect().contains(pt)) MinimizeMainWindow(*client_);
    });
  }
  setCursor(Qt::ArrowCursor);
}

void TableWindow::moveEvent(QMoveEvent*) {
  if (client_ == nullptr) return;
  client_->view.windowLeft = x();
  client_->view.windowTop = y();
}

void TableWindow::closeEvent(QCloseEvent* event) {
  // A close asked by the window manager is the exit button's action: the
  // exit question, never an end in the middle of a hand.
  event->ignore();
  if (closeAction_) {
    closeAction_();
    return;
  }
  if (client_ != nullptr) deliver([&] { CloseRequested(*client_); });
}

void TableWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || client_ == nullptr || syncing_) return;
  // Only what the user or the window manager did: the core's own minimise
  // and restore were handled when they were applied.
  const bool minimized = isMinimized();
  if (minimized == minimizedApplied_) return;
  minimizedApplied_ = minimized;
  if (minimized) {
    followMinimise();
    deliver([&] { OnWindowMinimized(*client_); });
  } else
    deliver([&] { OnWindowRestored(*client_); });
}

}  // namespace tavren::qt
