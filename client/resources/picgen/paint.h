#pragma once
// Drawing helpers shared by every picture of the generator. Pictures are painted in
// design units on a canvas four times larger and scaled down smoothly at the end, so
// that small tiles keep clean edges.

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

namespace picgen {

inline constexpr int kSuper = 4;

using PaintFn = std::function<void(QPainter&)>;

// The density every picture is drawn at: 1, 2 or 3 device pixels per table pixel.
// The same drawing code serves every density; only the canvas grows.
void setDensity(int density);
int density();

// Paints fn in a design space of `design` units and returns a picture of `target`
// table pixels (stretched when the two differ), that is target x density() device
// pixels. The background starts transparent.
QImage render(QSize target, QSizeF design, const PaintFn& fn);
inline QImage render(QSize target, const PaintFn& fn) {
  return render(target, QSizeF(target), fn);
}

// The one CJK font every caption uses.
QFont cjkFont();
// True when the machine resolves cjkFont() to the intended family.
bool cjkFontAvailable();

enum class Fit {
  Cell,  // one CJK cell per character: strokes keep their place inside the cell
  Ink,   // the drawn strokes fill the box, aspect kept
};

struct TextStyle {
  QBrush fill{Qt::black};
  qreal bold = 0;  // extra stroke width in design units
  QColor outline{Qt::transparent};
  qreal outlineWidth = 0;
  Fit fit = Fit::Cell;
  QColor shadow{Qt::transparent};
  QPointF shadowOffset{1.5, 1.5};
};

// The text's outline as a path placed in box.
QPainterPath textInBox(const QRectF& box, const QString& text, Fit fit);
void drawText(QPainter& p, const QRectF& box, const QString& text, const TextStyle& style);

QPainterPath roundRect(const QRectF& r, qreal radius);

}  // namespace picgen
