#include "qt/table_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <utility>

#include "core/client.h"
#include "input/input.h"
#include "view/chrome.h"

namespace tavren::qt {

namespace {

constexpr int kTitleButtonW = 18;
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

}  // namespace

// ---- TableSurface

TableSurface::TableSurface(TableWindow& window, QWidget* parent)
    : QWidget(parent), window_(window) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TableSurface::paintEvent(QPaintEvent* e) {
  Client* c = window_.client();
  if (c == nullptr) return;
  QPainter p(this);
  painter_.paint(p, c->view, e->rect());
}

void TableSurface::mouseMoveEvent(QMouseEvent* e) {
  if (Client* c = window_.client()) {
    const QPoint pt = e->position().toPoint();
    TableMouseMove(*c, pt.x(), pt.y());
    WindowBackgroundHover(*c);
    window_.sync();
  }
}

void TableSurface::mousePressEvent(QMouseEvent* e) {
  Client* c = window_.client();
  if (c == nullptr) return;
  const QPoint pt = e->position().toPoint();
  if (e->button() == Qt::LeftButton)
    TableClick(*c, pt.x(), pt.y());
  else if (e->button() == Qt::RightButton)
    TableRightClick(*c, pt.x(), pt.y());
  window_.sync();
}

// ---- InformationWindow

InformationWindow::InformationWindow() {
  setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
  setWindowTitle(QStringLiteral("Form1"));
  setFixedSize(220, 9 * 22 + 16);
}

void InformationWindow::show(const InformationForm& form) {
  for (std::size_t i = 0; i < values_.size(); ++i) values_[i] = QString::fromStdString(form.Inf[i]);
  move(form.left, form.top);
  QWidget::show();
  update();
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

// ---- TableWindow

TableWindow::TableWindow(std::function<void()> onClose, std::function<void()> onRestored)
    : onClose_(std::move(onClose)), onRestored_(std::move(onRestored)) {
  setWindowTitle(QStringLiteral("Tavren麻将"));
  setWindowIcon(QIcon(QStringLiteral(":/pics/icon.png")));
  setMouseTracking(true);
  resize(1040, 796);
  surface_ = new TableSurface(*this, this);
  chat_ = new QLineEdit(surface_);
  chat_->setFrame(false);
  chat_->setMaxLength(100);
  chat_->hide();
  information_ = std::make_unique<InformationWindow>();
}

void TableWindow::attach(Client& c) {
  client_ = &c;
  forms_ = std::make_unique<FormWindows>(c, surface_->painter());
  sync();
}

void TableWindow::applyGeometry() {
  const MainForm& f = client_->view;
  skinned_ = f.skinned;
  setWindowFlag(Qt::FramelessWindowHint, true);
  setFixedSize(f.windowW, f.windowH);
  surface_->setGeometry(f.pic1X, f.pic1Y, f.pic1W, f.pic1H);
}

void TableWindow::sync() {
  if (client_ == nullptr) return;
  const MainForm& f = client_->view;
  if (!geometryApplied_ || f.windowW != width() || f.windowH != height()) {
    geometryApplied_ = true;
    const bool wasVisible = isVisible();
    applyGeometry();
    if (wasVisible) show();
  }
  if (forms_) forms_->sync();
  // The chat line is a real text field where the scene has its box.
  const Control& box = f.Chat;
  chat_->setGeometry(box.x + 2, box.y + 1, std::max(box.w - 4, 1), std::max(box.h - 2, 1));
  chat_->setVisible(box.visible);
  if (f.Information.visible && isVisible())
    information_->show(f.Information);
  else
    information_->hide();
  const QRegion dirty = surface_->painter().changes(f);
  if (!dirty.isEmpty()) surface_->update(dirty);
  if (skinned_) update(QRect(0, 0, width(), f.pic1Y));  // title buttons
}

QRect TableWindow::closeRect() const {
  return QRect(width() - kTitleButtonW - 5, 2, kTitleButtonW, kTitleButtonH);
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
  static const QPixmap skin(QStringLiteral(":/pics/skin.png"));
  if (!skin.isNull())
    p.drawPixmap(rect(), skin);
  else
    p.fillRect(rect(), QColor(0x3A, 0x22, 0x10));
  p.drawPixmap(QRect(3, 2, 16, 16), QPixmap(QStringLiteral(":/pics/icon.png")));
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
  p.drawPixmap(closeRect(),
               QPixmap(QStringLiteral(":/pics/close-%1.png").arg(LookSuffix(closeLook))));
  p.drawPixmap(minRect(), QPixmap(QStringLiteral(":/pics/min-%1.png").arg(LookSuffix(minLook))));
}

void TableWindow::mouseMoveEvent(QMouseEvent* e) {
  if (client_ == nullptr) return;
  const QPoint pt = e->position().toPoint();
  if (closeRect().contains(pt))
    TitleButtonHover(*client_, TitleButton::Close);
  else if (minRect().contains(pt))
    TitleButtonHover(*client_, TitleButton::Minimize);
  else
    WindowBackgroundHover(*client_);
  setCursor(dragRect().contains(pt) ? Qt::ArrowCursor : Qt::ArrowCursor);
  sync();
}

void TableWindow::mousePressEvent(QMouseEvent* e) {
  if (client_ == nullptr || e->button() != Qt::LeftButton) return;
  const QPoint pt = e->position().toPoint();
  if (closeRect().contains(pt)) {
    pressed_ = 1;
    TitleButtonDown(*client_, TitleButton::Close);
  } else if (minRect().contains(pt)) {
    pressed_ = 2;
    TitleButtonDown(*client_, TitleButton::Minimize);
  } else if (dragRect().contains(pt) && windowHandle() != nullptr) {
    setCursor(Qt::SizeAllCursor);
    windowHandle()->startSystemMove();
  }
  sync();
}

void TableWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (client_ == nullptr || e->button() != Qt::LeftButton) return;
  const QPoint pt = e->position().toPoint();
  const int was = std::exchange(pressed_, 0);
  if (was == 1) {
    TitleButtonUp(*client_, TitleButton::Close);
    if (closeRect().contains(pt)) close();
  } else if (was == 2) {
    TitleButtonUp(*client_, TitleButton::Minimize);
    if (minRect().contains(pt)) showMinimized();
  }
  unsetCursor();
  sync();
}

void TableWindow::moveEvent(QMoveEvent*) {
  if (client_ == nullptr) return;
  client_->view.windowLeft = x();
  client_->view.windowTop = y();
}

void TableWindow::keyPressEvent(QKeyEvent* e) {
  if (client_ == nullptr) return;
  // The table's keys in the codes the core uses: F1, Esc, Alt and C.
  int key = 0;
  switch (e->key()) {
    case Qt::Key_F1:
      key = kKeyF1;
      break;
    case Qt::Key_Escape:
      key = kKeyEsc;
      break;
    case Qt::Key_Alt:
      key = kKeyAlt;
      break;
    case Qt::Key_C:
      key = kKeyC;
      break;
    default:
      QWidget::keyPressEvent(e);
      return;
  }
  OnKey(*client_, key, (e->modifiers() & Qt::AltModifier) != 0);
  sync();
}

void TableWindow::closeEvent(QCloseEvent* event) {
  // Closing the window ends the program through the core's normal close.
  event->ignore();
  if (onClose_) onClose_();
}

void TableWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || client_ == nullptr) return;
  const auto* change = static_cast<QWindowStateChangeEvent*>(event);
  const bool wasMinimized = (change->oldState() & Qt::WindowMinimized) != 0;
  if (isMinimized()) {
    OnWindowMinimized(*client_);
  } else if (wasMinimized) {
    OnWindowRestored(*client_);
    if (onRestored_) onRestored_();
  }
}

}  // namespace tavren::qt
