// The main window's frame: the skin (a whole 1040 x 796 frame and the nine-piece strip
// it is cut from), the title-bar buttons and the window icon.

#include <QLinearGradient>

#include "paint.h"
#include "picgen.h"

namespace picgen {

namespace {

const QColor kFrameDark(0x3A, 0x16, 0x08);
const QColor kFrame(0x6A, 0x2C, 0x10);
const QColor kFrameLight(0x9A, 0x4A, 0x1C);
const QColor kGold(0xD9, 0xA4, 0x2A);

// Title strip 20 pixels high, borders 8 pixels; the inside is left transparent.
void frame(QPainter& p, QSizeF s) {
  const qreal title = 20, border = 8;
  QPainterPath outer;
  outer.addRect(QRectF(0, 0, s.width(), s.height()));
  QPainterPath inner;
  inner.addRect(QRectF(border, title, s.width() - 2 * border, s.height() - title - border));
  const QPainterPath ring = outer.subtracted(inner);
  p.fillPath(ring, kFrame);
  QLinearGradient tg(0, 0, 0, title);
  tg.setColorAt(0, kFrameLight);
  tg.setColorAt(0.5, kFrame);
  tg.setColorAt(1, kFrameDark);
  p.fillRect(QRectF(0, 0, s.width(), title), tg);
  p.setPen(QPen(kGold, 1.0));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(0.5, 0.5, s.width() - 1, s.height() - 1));
  p.drawRect(QRectF(border - 1.5, title - 1.5, s.width() - 2 * border + 3,
                    s.height() - title - border + 3));
  p.setPen(QPen(QColor(0, 0, 0, 120), 1.0));
  p.drawRect(QRectF(border - 0.5, title - 0.5, s.width() - 2 * border + 1,
                    s.height() - title - border + 1));
}

}  // namespace

QImage drawSkin(QSize size) {
  return render(size, [&](QPainter& p) { frame(p, QSizeF(size)); });
}

QImage drawSkinPieces() {
  // 46 x 220 pixels: columns 0..8, 8..16, 38..46 and rows 0..20, 20..212, 212..220 are the
  // nine pieces the window stretches onto its frame.
  return render(QSize(46, 220), [&](QPainter& p) { frame(p, QSizeF(46, 220)); });
}

QImage drawTitleButton(bool close, int state) {
  // state 0 normal, 1 hover, 2 pressed
  return render(QSize(18, 16), [&](QPainter& p) {
    const QRectF r(0.5, 0.5, 17, 15);
    QLinearGradient g(0, 0, 0, 16);
    const QColor base = close ? QColor(0xC0, 0x30, 0x20) : QColor(0x9A, 0x6A, 0x30);
    const QColor top = state == 1 ? base.lighter(150) : state == 2 ? base.darker(140) : base;
    g.setColorAt(0, top.lighter(130));
    g.setColorAt(1, top.darker(130));
    p.fillPath(roundRect(r, 3), g);
    p.strokePath(roundRect(r, 3), QPen(kGold, 1.0));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    const QPointF d = state == 2 ? QPointF(0.6, 0.6) : QPointF(0, 0);
    if (close) {
      p.drawLine(QPointF(5.5, 4.5) + d, QPointF(12.5, 11.5) + d);
      p.drawLine(QPointF(12.5, 4.5) + d, QPointF(5.5, 11.5) + d);
    } else {
      p.drawLine(QPointF(5, 11) + d, QPointF(13, 11) + d);
    }
  });
}

namespace {

// The icon's parts in its 64 x 64 design, shared by the pictures and the SVG.
const QRectF kIconSquare(1, 1, 62, 62);
constexpr qreal kIconSquareRadius = 12;
const QColor kIconRed(0xA8, 0x14, 0x10);
const QRectF kIconTile(16, 7, 32, 50);
constexpr qreal kIconTileRadius = 5;
const QColor kIconTileSide(0x0C, 0x52, 0x31);
const QColor kIconTileFace(0xFF, 0xFA, 0xEC);
const QColor kIconWordColour(0xC8, 0x12, 0x1A);
constexpr qreal kIconWordBold = 2.0;

QString iconWord() {
  return QStringLiteral("中");
}
QRectF iconWordBox() {
  return kIconTile.adjusted(3, 7, -3, -7);
}

QString number(qreal v) {
  // Two decimals are finer than any screen shows the icon; fixed text, same bytes.
  QString s = QString::number(v, 'f', 2);
  while (s.endsWith(QLatin1Char('0'))) s.chop(1);
  if (s.endsWith(QLatin1Char('.'))) s.chop(1);
  return s == QLatin1String("-0") ? QStringLiteral("0") : s;
}

QString svgPath(const QPainterPath& path) {
  QString d;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    if (e.isMoveTo()) {
      d += QStringLiteral("M%1 %2").arg(number(e.x), number(e.y));
    } else if (e.isLineTo()) {
      d += QStringLiteral("L%1 %2").arg(number(e.x), number(e.y));
    } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
      const QPainterPath::Element c2 = path.elementAt(i + 1);
      const QPainterPath::Element to = path.elementAt(i + 2);
      d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
               .arg(number(e.x), number(e.y), number(c2.x), number(c2.y), number(to.x),
                    number(to.y));
      i += 2;
    }
  }
  return d;
}

QString svgRect(const QRectF& r, qreal radius, const QColor& fill) {
  return QStringLiteral(
             "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"")
      .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()), number(radius),
           fill.name());
}

}  // namespace

QImage drawIcon(int px) {
  // a standing 中 tile on a red square
  return render(QSize(px, px), QSizeF(64, 64), [&](QPainter& p) {
    p.fillPath(roundRect(kIconSquare, kIconSquareRadius), kIconRed);
    p.strokePath(roundRect(kIconSquare, kIconSquareRadius), QPen(kGold, 2.0));
    p.fillPath(roundRect(kIconTile.translated(0, 3), kIconTileRadius), kIconTileSide);
    p.fillPath(roundRect(kIconTile, kIconTileRadius), kIconTileFace);
    TextStyle t;
    t.fill = kIconWordColour;
    t.bold = kIconWordBold;
    drawText(p, iconWordBox(), iconWord(), t);
  });
}

QByteArray drawIconSvg() {
  // The word is written as its outline, so the icon does not need the font.
  const QPainterPath word = textInBox(iconWordBox(), iconWord(), Fit::Cell);
  QString svg;
  svg += QStringLiteral(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" "
      "viewBox=\"0 0 64 64\">\n");
  svg += svgRect(kIconSquare, kIconSquareRadius, kIconRed) +
         QStringLiteral(" stroke=\"%1\" stroke-width=\"2\"/>\n").arg(kGold.name());
  svg +=
      svgRect(kIconTile.translated(0, 3), kIconTileRadius, kIconTileSide) + QStringLiteral("/>\n");
  svg += svgRect(kIconTile, kIconTileRadius, kIconTileFace) + QStringLiteral("/>\n");
  svg += QStringLiteral(
             "  <path fill=\"%1\" fill-rule=\"%2\" stroke=\"%1\" stroke-width=\"%3\" "
             "stroke-linecap=\"round\" stroke-linejoin=\"round\" d=\"%4\"/>\n")
             .arg(kIconWordColour.name(),
                  word.fillRule() == Qt::WindingFill ? QStringLiteral("nonzero")
                                                     : QStringLiteral("evenodd"),
                  number(kIconWordBold), svgPath(word));
  svg += QStringLiteral("</svg>\n");
  return svg.toUtf8();
}

}  // namespace picgen
