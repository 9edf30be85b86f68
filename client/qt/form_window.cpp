#include "qt/form_window.h"

#include <QBackingStore>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <string_view>
#include <vector>

#include "chat/bubbles.h"
#include "core/client.h"
#include "input/input.h"
#include "qt/keys.h"
#include "qt/scene_painter.h"
#include "qt/table_window.h"

namespace tavren::qt {

namespace {

const QString kFontFamily = QStringLiteral("WenQuanYi Micro Hei");
// A list's scroll position as far down as it goes.
constexpr int kToEnd = INT_MAX;

QColor Rgb(std::uint32_t c) {
  return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

QFont Font(int points) {
  QFont f(kFontFamily);
  f.setPointSize(points > 0 ? points : 10);
  return f;
}

// Table pixels of a small window to its pixels at the table size `zoom`.
int Scaled(int v, double zoom) {
  return static_cast<int>(std::lround(v * zoom));
}

QRect Scaled(const QRect& r, double zoom) {
  return QRect(Scaled(r.x(), zoom), Scaled(r.y(), zoom), Scaled(r.width(), zoom),
               Scaled(r.height(), zoom));
}

QFont ScaledFont(int points, double zoom) {
  QFont f = Font(points);
  if (zoom != 1.0) f.setPointSizeF(f.pointSizeF() * zoom);
  return f;
}

bool IsBubble(FormId id) {
  return id == FormId::SpeakBox0 || id == FormId::SpeakBox1 || id == FormId::SpeakBox2 ||
         id == FormId::SpeakBox3;
}

// FNV-1a over everything a form shows.
struct Hasher {
  std::uint64_t h = 1469598103934665603ULL;
  void bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 1099511628211ULL;
  }
  void num(std::int64_t v) { bytes(&v, sizeof v); }
  void str(std::string_view s) {
    num(static_cast<std::int64_t>(s.size()));
    bytes(s.data(), s.size());
  }
};

// The line heights of a list that reads across with others: each line as
// tall as the tallest line of that row in any list of its group.
class RowDelegate : public QStyledItemDelegate {
 public:
  RowDelegate(QObject* parent, std::function<std::vector<QListWidget*>()> group)
      : QStyledItemDelegate(parent), group_(std::move(group)) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    for (const QListWidget* other : group_()) {
      if (other->model() == index.model() || index.row() >= other->count()) continue;
      const QModelIndex same = other->model()->index(index.row(), 0);
      size.setHeight(std::max(size.height(), QStyledItemDelegate::sizeHint(option, same).height()));
    }
    return size;
  }

 private:
  std::function<std::vector<QListWidget*>()> group_;
};

}  // namespace

FormWindow::FormWindow(TableWindow& owner, FormId id, ScenePainter& pictures)
    : QWidget(&owner, Qt::Tool | Qt::FramelessWindowHint),
      owner_(owner),
      client_(*owner.client()),
      id_(id),
      pictures_(pictures) {
  // The bubbles never take the focus from the table.
  setAttribute(Qt::WA_ShowWithoutActivating, IsBubble(id));
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
}

const SmallForm& FormWindow::form() const {
  return client_.forms[id_];
}

int FormWindow::titleH() const {
  return form().titleH();
}

void FormWindow::deliver(const std::function<void()>& entry) {
  owner_.deliver(entry);
}

QListWidget* FormWindow::list(int control) const {
  auto it = lists_.find(control);
  return it == lists_.end() ? nullptr : it->second;
}

std::uint64_t FormWindow::fingerprint() const {
  const SmallForm& f = form();
  Hasher h;
  h.str(f.caption);
  for (int v : {static_cast<int>(f.loaded), static_cast<int>(f.visible),
                static_cast<int>(f.topmost), static_cast<int>(f.titled), f.left, f.top, f.w, f.h,
                f.opacity, static_cast<int>(f.background), f.backgroundPicture})
    h.num(v);
  for (const Control& k : f.controls) {
    h.str(k.name);
    for (int v : {static_cast<int>(k.type), k.index, k.x, k.y, k.w, k.h,
                  static_cast<int>(k.visible), static_cast<int>(k.enabled), k.picture,
                  static_cast<int>(k.color), k.fontSize, k.selected, static_cast<int>(k.wrap),
                  static_cast<int>(k.drags), static_cast<int>(k.scrollToLast), k.rowGroup})
      h.num(v);
    h.str(k.caption);
    h.num(static_cast<std::int64_t>(k.items.size()));
    for (const std::string& item : k.items) h.str(item);
  }
  return h.h | 1;  // never 0, the value of "not shown yet"
}

void FormWindow::sync() {
  const SmallForm& f = form();
  // A fully transparent window is not shown at all: without a compositor it
  // would be drawn opaque. A table left on the screen by a minimise that
  // nothing carried out keeps its dialogs: the exit question must still open.
  const bool show =
      f.loaded && f.visible && f.opacity > 0 && !client_.ended && !owner_.awayFromScreen();
  if (!show) {
    if (isVisible()) {
      hide();
      // A hidden window's backing store would keep its pixels (the settlement
      // sheet's are 6 MB at 2x) until it shows again, and is then drawn anew.
      if (QBackingStore* store = backingStore()) store->resize(QSize(0, 0));
    }
    shown_ = 0;
    return;
  }
  const std::uint64_t now = fingerprint();
  if (now == shown_ && isVisible()) return;
  shown_ = now;
  syncing_ = true;
  // Every small window draws its own caption, if it has one.
  Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
  if (f.topmost) flags |= Qt::WindowStaysOnTopHint;
  if (windowFlags() != flags) setWindowFlags(flags);
  const QString title = QString::fromStdString(f.caption);
  if (windowTitle() != title) setWindowTitle(title);
  // A larger table brings its small windows to the same size: the form stays in
  // table pixels, the window, its drawing and its pointer scale.
  const QSize size(Scaled(std::max(f.w, 1), owner_.zoom()),
                   Scaled(std::max(f.h, 1) + titleH(), owner_.zoom()));
  if (this->size() != size) setFixedSize(size);
  const QPoint at = owner_.toScreen(f.left, f.top);
  if (pos() != at) move(at);
  const double opacity = f.opacity / 255.0;
  if (windowOpacity() != opacity) setWindowOpacity(opacity);
  syncChildren();
  lineUpRowGroups();
  applyShape();
  if (!isVisible()) QWidget::show();
  update();
  syncing_ = false;
}

void FormWindow::applyShape() {
  // A bubble is cut to its picture: the key colour around the bubble goes.
  const SmallForm& f = form();
  if (!IsBubble(id_) || f.backgroundPicture == 0) return;
  if (shapePicture_ == f.backgroundPicture && shapeSize_ == size()) return;
  shapePicture_ = f.backgroundPicture;
  shapeSize_ = size();
  const QImage img = pictures_.picture(f.backgroundPicture, width(), height())
                         .toImage()
                         .convertToFormat(QImage::Format_RGB32);
  if (img.isNull()) return;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(img.width()) *
                                    static_cast<std::size_t>(img.height()));
  for (int y = 0; y < img.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x)
      pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width()) +
             static_cast<std::size_t>(x)] = row[x] & 0xFFFFFF;
  }
  QRegion region;
  for (const ShapeRun& run : ShapeRuns(pixels, img.width(), img.height(), -1))
    region += QRect(run.x0, run.y, run.x1 - run.x0, 1);
  if (!region.isEmpty()) setMask(region);
}

void FormWindow::syncChildren() {
  const SmallForm& f = form();
  for (int i = 0; i < static_cast<int>(f.controls.size()); ++i) {
    const Control& k = f.controls[static_cast<std::size_t>(i)];
    if (k.type == ControlType::List) syncList(i, k);
    if (k.type == ControlType::TextBox) syncEdit(i, k);
  }
  DropStale(lists_, ControlType::List);
  DropStale(edits_, ControlType::TextBox);
}

template <class W>
void FormWindow::DropStale(std::map<int, W*>& widgets, ControlType type) {
  // A form loaded again may have fewer controls, or other ones in their place.
  const SmallForm& f = form();
  std::erase_if(widgets, [&](const auto& entry) {
    const auto i = static_cast<std::size_t>(entry.first);
    if (i < f.controls.size() && f.controls[i].type == type) return false;
    delete entry.second;
    return true;
  });
}

void FormWindow::syncList(int i, const Control& k) {
  QListWidget*& list = lists_[i];
  if (list == nullptr) {
    list = new QListWidget(this);
    list->setFocusPolicy(Qt::ClickFocus);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setUniformItemSizes(true);
    list->installEventFilter(this);
    // A press selects the line under the pointer and is the list's click; a
    // double click is its double click.
    connect(list, &QListWidget::pressed, this, [this, i](const QModelIndex& index) {
      const int line = index.row();
      deliver([&] { FormSelect(client_, id_, i, line); });
    });
    connect(list, &QListWidget::doubleClicked, this,
            [this, i](const QModelIndex&) { deliver([&] { FormDoubleClick(client_, id_, i); }); });
    if (k.rowGroup != 0) {
      const int group = k.rowGroup;
      list->setItemDelegate(new RowDelegate(list, [this, group] { return rowGroup(group); }));
      // The lists of a table scroll as one: the user's wheel or scroll bar on
      // one of them moves all.
      connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, group](int v) {
        if (syncing_ || following_) return;
        following_ = true;
        for (QListWidget* other : rowGroup(group)) other->verticalScrollBar()->setValue(v);
        following_ = false;
      });
    }
  }
  list->setGeometry(
      Scaled(QRect(k.x, k.y + titleH(), std::max(k.w, 1), std::max(k.h, 1)), owner_.zoom()));
  list->setVisible(k.visible);
  if (list->wordWrap() != k.wrap) {
    // Lines of a wrapping list differ in height and are never cut with "…".
    list->setWordWrap(k.wrap);
    list->setUniformItemSizes(!k.wrap);
    list->setTextElideMode(k.wrap ? Qt::ElideNone : Qt::ElideRight);
    list->setResizeMode(k.wrap ? QListView::Adjust : QListView::Fixed);
  }
  list->setFont(ScaledFont(k.fontSize > 0 ? std::min(k.fontSize, 10) : 9, owner_.zoom()));
  const QString style =
      QStringLiteral(
          "QListWidget { background: white; color: %1; border: 1px solid #8A5A1E; }"
          "QListWidget::item:selected { background: #2F6FC0; color: white; }")
          .arg(Rgb(k.color).name());
  if (list->styleSheet() != style) list->setStyleSheet(style);
  bool same = list->count() == static_cast<int>(k.items.size());
  for (int line = 0; same && line < list->count(); ++line)
    same =
        list->item(line)->text() == QString::fromStdString(k.items[static_cast<std::size_t>(line)]);
  if (!same) {
    // A list that showed its last line goes on showing it as lines are added;
    // one scrolled back by the user stays where it was; a new list starts at its top.
    QScrollBar* bar = list->verticalScrollBar();
    const bool wasEmpty = list->count() == 0;
    const bool atEnd = bar->value() >= bar->maximum();
    const int keep = bar->value();
    // A table whose lines were replaced, not only added to (the next hand's
    // sheet), is a new one too.
    bool added = list->count() <= static_cast<int>(k.items.size());
    for (int line = 0; added && line < list->count(); ++line)
      added = list->item(line)->text() ==
              QString::fromStdString(k.items[static_cast<std::size_t>(line)]);
    list->clear();
    for (const std::string& item : k.items) list->addItem(QString::fromStdString(item));
    if (k.rowGroup != 0)
      pendingScroll_[i] = wasEmpty || !added ? 0 : atEnd ? kToEnd : keep;
    else if (!wasEmpty && atEnd)
      list->scrollToBottom();
    else if (!wasEmpty)
      bar->setValue(keep);
  }
  // The core asked for the last line: the list goes as far down as it scrolls.
  unsigned& scrolled = scrolledToLast_[i];
  if (scrolled != k.scrollToLast) {
    scrolled = k.scrollToLast;
    if (k.rowGroup != 0)
      pendingScroll_[i] = kToEnd;
    else if (list->count() > 0)
      list->scrollToItem(list->item(list->count() - 1), QAbstractItemView::PositionAtTop);
  }
  const QSignalBlocker quiet(list);
  if (k.selected >= 0 && k.selected < list->count()) {
    if (list->currentRow() != k.selected) list->setCurrentRow(k.selected);
  } else if (list->currentRow() != -1 || !list->selectedItems().isEmpty()) {
    list->clearSelection();
    list->setCurrentRow(-1);
  }
}

std::vector<QListWidget*> FormWindow::rowGroup(int group) const {
  std::vector<QListWidget*> members;
  const auto& controls = form().controls;
  for (const auto& [i, list] : lists_)
    if (static_cast<std::size_t>(i) < controls.size() &&
        controls[static_cast<std::size_t>(i)].rowGroup == group)
      members.push_back(list);
  return members;
}

void FormWindow::lineUpRowGroups() {
  std::vector<int> groups;
  for (const Control& k : form().controls)
    if (k.type == ControlType::List && k.rowGroup != 0 &&
        std::find(groups.begin(), groups.end(), k.rowGroup) == groups.end())
      groups.push_back(k.rowGroup);
  for (const int group : groups) {
    const std::vector<QListWidget*> members = rowGroup(group);
    if (members.empty()) continue;
    // The line heights depend on every list of the table, so all are laid out
    // again once all hold their new lines; then all take one scroll position.
    int value = members.front()->verticalScrollBar()->value();
    for (QListWidget* list : members) list->doItemsLayout();
    for (const auto& [i, list] : lists_)
      if (auto it = pendingScroll_.find(i);
          it != pendingScroll_.end() &&
          std::find(members.begin(), members.end(), list) != members.end())
        value = it->second;
    for (QListWidget* list : members) {
      QScrollBar* bar = list->verticalScrollBar();
      bar->setValue(value == kToEnd ? bar->maximum() : value);
    }
  }
  pendingScroll_.clear();
}

void FormWindow::syncEdit(int i, const Control& k) {
  QLineEdit*& edit = edits_[i];
  if (edit == nullptr) {
    edit = new QLineEdit(this);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this, i](const QString& text) {
      const std::string t = text.toStdString();
      deliver([&] { FormText(client_, id_, i, t); });
    });
  }
  edit->setFont(ScaledFont(k.fontSize, owner_.zoom()));
  edit->setGeometry(
      Scaled(QRect(k.x, k.y + titleH(), std::max(k.w, 1), std::max(k.h, 1)), owner_.zoom()));
  edit->setVisible(k.visible);
  const QString text = QString::fromStdString(k.caption);
  if (edit->text() != text) edit->setText(text);
}

bool FormWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, e);
  // Keys in a list or a text box go to the form's key handler first.
  int control = -1;
  for (const auto& [i, w] : lists_)
    if (w == watched) control = i;
  for (const auto& [i, w] : edits_)
    if (w == watched) control = i;
  if (control >= 0) {
    const int key = VirtualKey(static_cast<QKeyEvent*>(e)->key());
    deliver([&] { FormKey(client_, id_, control, key); });
  }
  return QWidget::eventFilter(watched, e);
}

void FormWindow::paintEvent(QPaintEvent*) {
  const SmallForm& f = form();
  QPainter p(this);
  // Pictures from the set of the screen's density; text is drawn at it anyway.
  p.scale(owner_.zoom(), owner_.zoom());
  const double density = PainterDensity(p);
  if (const int title = titleH(); title > 0) {
    // The caption on a strip in the colours of the table window's own title.
    const QRect strip(0, 0, f.w, title);
    QLinearGradient shade(0, 0, 0, title);
    shade.setColorAt(0, QColor(0x8E, 0x4B, 0x1F));
    shade.setColorAt(1, QColor(0x5B, 0x2C, 0x10));
    p.fillRect(strip, shade);
    p.setPen(Qt::white);
    p.setFont(Font(9));
    p.drawText(strip.adjusted(8, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(f.caption));
    p.translate(0, title);
  }
  const QRect all(0, 0, f.w, f.h);
  p.fillRect(all, Rgb(f.background));
  if (f.backgroundPicture != 0) {
    const QPixmap bg = pictures_.picture(f.backgroundPicture, f.w, f.h, density);
    if (!bg.isNull()) p.drawPixmap(QRectF(all), bg, QRectF(bg.rect()));
  } else {
    p.setPen(QColor(0x8A, 0x5A, 0x1E));
    p.drawRect(all.adjusted(0, 0, -1, -1));
  }
  for (const Control& k : f.controls) {
    if (!k.visible || k.w <= 0 || k.h <= 0) continue;
    const QRect r(k.x, k.y, k.w, k.h);
    switch (k.type) {
      case ControlType::Image: {
        const QPixmap pm = pictures_.picture(k.picture, k.w, k.h, density);
        if (!pm.isNull()) p.drawPixmap(QRectF(r), pm, QRectF(pm.rect()));
        break;
      }
      case ControlType::Label: {
        QRect area = r;
        if (k.selected >= 0) {
          // An option button: a round button before the caption, filled
          // when it is the choice.
          const int d = std::min(12, k.h - 4);
          const QRectF ring(k.x + 1.5, k.y + (k.h - d) / 2.0, d, d);
          p.save();
          p.setRenderHint(QPainter::Antialiasing);
          p.setPen(QPen(QColor(0x4A, 0x2A, 0x10), 1.5));
          p.setBrush(QColor(0xFF, 0xFB, 0xF0));
          p.drawEllipse(ring);
          if (k.selected > 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x20, 0x14, 0x08));
            p.drawEllipse(ring.adjusted(3, 3, -3, -3));
          }
          p.restore();
          area.setLeft(k.x + d + 6);
        }
        const QFont font = Font(k.fontSize);
        p.setFont(font);
        p.setPen(Rgb(k.color));
        const QString text = QString::fromStdString(k.caption);
        // A label one line tall keeps to one line: a text too long for it (a
        // long name) is cut with "…", not wrapped into lines cut off above and below.
        const QFontMetrics metrics(font);
        if (k.h < 2 * metrics.lineSpacing())
          p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(text, Qt::ElideRight, area.width()));
        else
          p.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text);
        break;
      }
      case ControlType::List:
      case ControlType::TextBox:
        break;  // real widgets lie there
    }
  }
}

int FormWindow::controlAt(const QPoint& at) const {
  const QPoint pt = at - QPoint(0, titleH());
  const auto& controls = form().controls;
  for (int i = static_cast<int>(controls.size()) - 1; i >= 0; --i) {
    const Control& k = controls[static_cast<std::size_t>(i)];
    if (k.visible && k.contains(pt.x(), pt.y())) return i;
  }
  return -1;
}

void FormWindow::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  pressed_ = controlAt(TablePoint(e->position(), owner_.zoom()));
  // The windows without a title bar are dragged by their bare background and
  // by the controls that say so.
  const bool drags = pressed_ < 0 || form().controls[static_cast<std::size_t>(pressed_)].drags;
  dragGrip_.reset();
  if (!drags || IsBubble(id_)) return;
  // The window manager moves the window where there is one that can; without
  // one the window follows the pointer by itself until the release.
  if (windowHandle() == nullptr || !windowHandle()->startSystemMove())
    dragGrip_ = e->globalPosition().toPoint() - pos();
}

void FormWindow::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  dragGrip_.reset();
  const int was = std::exchange(pressed_, -1);
  // A click is a press and a release on the same control.
  if (was >= 0 && controlAt(TablePoint(e->position(), owner_.zoom())) == was)
    deliver([&] { FormClick(client_, id_, was); });
}

void FormWindow::mouseDoubleClickEvent(QMouseEvent* e) {
  const int i = controlAt(TablePoint(e->position(), owner_.zoom()));
  if (i >= 0) deliver([&] { FormDoubleClick(client_, id_, i); });
}

void FormWindow::mouseMoveEvent(QMouseEvent* e) {
  if (dragGrip_ && (e->buttons() & Qt::LeftButton)) {
    const QPoint to = e->globalPosition().toPoint() - *dragGrip_;
    if (to != pos()) {
      pressed_ = -1;  // a drag is no click
      move(to);
    }
    return;
  }
  const int i = controlAt(TablePoint(e->position(), owner_.zoom()));
  if (i == hovered_) return;
  hovered_ = i;
  deliver([&] { FormHover(client_, id_, i); });
}

void FormWindow::keyPressEvent(QKeyEvent* e) {
  // A window manager gives the keyboard to a small window as it opens: the
  // table's keys still work there (Esc closes the exit question, F1 hides the
  // client), except while a list or a text box of the window has the keyboard.
  const QWidget* focus = focusWidget();
  if ((focus != nullptr && focus != this) || owner_.viewOnly()) {
    QWidget::keyPressEvent(e);
    return;
  }
  const int key = VirtualKey(e->key());
  const bool alt = (e->modifiers() & Qt::AltModifier) != 0;
  deliver([&] { OnKey(client_, key, alt); });
}

void FormWindow::closeEvent(QCloseEvent* e) {
  // The core decides whether a small window closes: closed behind its back it
  // would come back at the next sync, and a toggle would then need two clicks.
  e->ignore();
  deliver([&] { FormCloseAsked(client_, id_); });
}

void FormWindow::moveEvent(QMoveEvent*) {
  if (syncing_) return;
  const QPoint at = owner_.fromScreen(pos());
  FormMoved(client_, id_, at.x(), at.y());
}

FormWindows::FormWindows(TableWindow& owner, ScenePainter& pictures)
    : owner_(owner), pictures_(pictures) {}

FormWindow* FormWindows::window(FormId id) const {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= kFormCount) return nullptr;
  return windows_[static_cast<std::size_t>(i)].get();
}

void FormWindows::sync() {
  Client& c = *owner_.client();
  for (int i = 0; i < kFormCount; ++i) {
    const SmallForm& f = c.forms.forms[static_cast<std::size_t>(i)];
    auto& w = windows_[static_cast<std::size_t>(i)];
    if (!w && !(f.loaded && f.visible)) continue;
    if (!w) w = std::make_unique<FormWindow>(owner_, static_cast<FormId>(i), pictures_);
    w->sync();
  }
}

}  // namespace tavren::qt
