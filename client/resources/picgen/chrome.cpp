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

QImage drawIcon(int px) {
  // a standing 中 tile on a red square
  return render(QSize(px, px), QSizeF(64, 64), [&](QPainter& p) {
    p.fillPath(roundRect(QRectF(1, 1, 62, 62), 12), QColor(0xA8, 0x14, 0x10));
    p.strokePath(roundRect(QRectF(1, 1, 62, 62), 12), QPen(kGold, 2.0));
    const QRectF tile(16, 7, 32, 50);
    p.fillPath(roundRect(tile.translated(0, 3), 5), QColor(0x0C, 0x52, 0x31));
    p.fillPath(roundRect(tile, 5), QColor(0xFF, 0xFA, 0xEC));
    TextStyle t;
    t.fill = QColor(0xC8, 0x12, 0x1A);
    t.bold = 2.0;
    drawText(p, tile.adjusted(3, 7, -3, -7), QStringLiteral("中"), t);
  });
}

}  // namespace picgen
