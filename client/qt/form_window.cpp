#include "qt/form_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "core/client.h"
#include "qt/scene_painter.h"

namespace tavren::qt {

namespace {

const QString kFontFamily = QStringLiteral("WenQuanYi Micro Hei");
constexpr int kListLineHeight = 18;

QColor Rgb(std::uint32_t c) {
  return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

QFont Font(int points) {
  QFont f(kFontFamily);
  f.setPointSize(points > 0 ? points : 10);
  return f;
}

}  // namespace

FormWindow::FormWindow(Client& c, FormId id, ScenePainter& pictures)
    : client_(c), id_(id), pictures_(pictures) {
  setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
  setAttribute(Qt::WA_ShowWithoutActivating, id >= FormId::SpeakBox1);
}

const SmallForm& FormWindow::form() const {
  return client_.forms[id_];
}

void FormWindow::sync() {
  const SmallForm& f = form();
  const bool show = f.loaded && f.visible && !client_.ended;
  if (!show) {
    if (isVisible()) hide();
    return;
  }
  syncing_ = true;
  setWindowFlag(Qt::FramelessWindowHint, !f.framed);
  setWindowFlag(Qt::WindowStaysOnTopHint, f.topmost);
  setWindowTitle(QString::fromStdString(f.caption));
  if (size() != QSize(f.w, f.h)) setFixedSize(std::max(f.w, 1), std::max(f.h, 1));
  if (pos() != QPoint(f.left, f.top)) move(f.left, f.top);
  setWindowOpacity(f.opacity / 255.0);
  syncTextBoxes();
  if (!isVisible()) QWidget::show();
  update();
  syncing_ = false;
}

void FormWindow::syncTextBoxes() {
  const SmallForm& f = form();
  for (int i = 0; i < static_cast<int>(f.controls.size()); ++i) {
    const Control& k = f.controls[static_cast<std::size_t>(i)];
    if (k.type != ControlType::TextBox) continue;
    QLineEdit*& edit = edits_[i];
    if (edit == nullptr) {
      edit = new QLineEdit(this);
      edit->setFont(Font(k.fontSize));
      connect(edit, &QLineEdit::textEdited, this,
              [this, i](const QString& text) { FormText(client_, id_, i, text.toStdString()); });
      connect(edit, &QLineEdit::returnPressed, this,
              [this, i] { FormKey(client_, id_, i, Qt::Key_Return); });
    }
    edit->setGeometry(k.x, k.y, k.w, k.h);
    edit->setVisible(k.visible);
    const QString text = QString::fromStdString(k.caption);
    if (edit->text() != text) edit->setText(text);
  }
}

void FormWindow::paintEvent(QPaintEvent*) {
  const SmallForm& f = form();
  QPainter p(this);
  p.fillRect(rect(), Rgb(f.background));
  if (f.backgroundPicture != 0) {
    const QPixmap& bg = pictures_.picture(f.backgroundPicture, width(), height());
    if (!bg.isNull()) p.drawPixmap(0, 0, bg);
  } else {
    p.setPen(QColor(0x8A, 0x5A, 0x1E));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  for (const Control& k : f.controls) {
    if (!k.visible || k.w <= 0 || k.h <= 0) continue;
    const QRect r(k.x, k.y, k.w, k.h);
    switch (k.type) {
      case ControlType::Image: {
        const QPixmap& pm = pictures_.picture(k.picture, k.w, k.h);
        if (!pm.isNull()) p.drawPixmap(k.x, k.y, pm);
        break;
      }
      case ControlType::Label:
        p.setFont(Font(k.fontSize));
        p.setPen(Rgb(k.color));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                   QString::fromStdString(k.caption));
        break;
      case ControlType::List: {
        p.fillRect(r, Qt::white);
        p.setPen(QColor(0x8A, 0x5A, 0x1E));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setFont(Font(k.fontSize > 0 ? std::min(k.fontSize, 10) : 9));
        const int rows = std::max(1, k.h / kListLineHeight);
        const int n = static_cast<int>(k.items.size());
        // The last lines stay in view, as a list that scrolls to its end.
        const int firstLine = std::max(0, n - rows);
        for (int line = firstLine; line < n; ++line) {
          const QRect row(k.x + 3, k.y + (line - firstLine) * kListLineHeight, k.w - 6,
                          kListLineHeight);
          if (line == k.selected) p.fillRect(row, QColor(0x2F, 0x6F, 0xC0));
          p.setPen(line == k.selected ? Qt::white : Rgb(k.color));
          p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     QString::fromStdString(k.items[static_cast<std::size_t>(line)]));
        }
        break;
      }
      case ControlType::TextBox:
        break;  // a real line edit lies there
    }
  }
}

int FormWindow::controlAt(const QPoint& pt) const {
  const auto& controls = form().controls;
  for (int i = static_cast<int>(controls.size()) - 1; i >= 0; --i) {
    const Control& k = controls[static_cast<std::size_t>(i)];
    if (k.visible && k.contains(pt.x(), pt.y())) return i;
  }
  return -1;
}

int FormWindow::listLineAt(const Control& k, const QPoint& pt) const {
  const int rows = std::max(1, k.h / kListLineHeight);
  const int n = static_cast<int>(k.items.size());
  const int line = std::max(0, n - rows) + (pt.y() - k.y) / kListLineHeight;
  return line < n ? line : -1;
}

void FormWindow::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint pt = e->position().toPoint();
  const int i = controlAt(pt);
  if (i < 0) {
    // The windows have no title bar: the background drags them.
    if (windowHandle() != nullptr) windowHandle()->startSystemMove();
    return;
  }
  const Control& k = form().controls[static_cast<std::size_t>(i)];
  if (k.type == ControlType::List)
    FormSelect(client_, id_, i, listLineAt(k, pt));
  else
    FormClick(client_, id_, i);
}

void FormWindow::mouseDoubleClickEvent(QMouseEvent* e) {
  const int i = controlAt(e->position().toPoint());
  if (i >= 0) FormDoubleClick(client_, id_, i);
}

void FormWindow::moveEvent(QMoveEvent*) {
  if (!syncing_) FormMoved(client_, id_, x(), y());
}

FormWindows::FormWindows(Client& c, ScenePainter& pictures) : client_(c), pictures_(pictures) {}

void FormWindows::sync() {
  for (int i = 0; i < kFormCount; ++i) {
    const SmallForm& f = client_.forms.forms[static_cast<std::size_t>(i)];
    auto& w = windows_[static_cast<std::size_t>(i)];
    if (!w && !(f.loaded && f.visible)) continue;
    if (!w) w = std::make_unique<FormWindow>(client_, static_cast<FormId>(i), pictures_);
    w->sync();
  }
}

}  // namespace tavren::qt
