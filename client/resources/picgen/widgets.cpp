// Buttons, dice, compass, claim words, logo, level badges and speech bubbles.

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QRadialGradient>
#include <QTransform>
#include <array>
#include <cmath>

#include "paint.h"
#include "picgen.h"

namespace picgen {

namespace {

const QColor kGoldLight(0xFF, 0xE6, 0x8A);
const QColor kGold(0xD9, 0xA4, 0x2A);
const QColor kWoodDark(0x4A, 0x1A, 0x08);
const QColor kWood(0x8A, 0x34, 0x14);
const QColor kCream(0xFF, 0xF6, 0xDC);

// A rounded lacquer button: deep red-brown with a gold rim; highlighted is brighter.
void lacquerButton(QPainter& p, QSizeF s, const QString& caption, bool highlighted) {
  const qreal r = s.height() * 0.28;
  const QRectF outer(0.5, 0.5, s.width() - 1, s.height() - 1);
  QLinearGradient g(0, 0, 0, s.height());
  if (highlighted) {
    g.setColorAt(0, QColor(0xF4, 0x9A, 0x3A));
    g.setColorAt(0.5, QColor(0xD4, 0x5A, 0x18));
    g.setColorAt(1, QColor(0x9A, 0x2A, 0x08));
  } else {
    g.setColorAt(0, QColor(0xB0, 0x4C, 0x22));
    g.setColorAt(0.5, kWood);
    g.setColorAt(1, kWoodDark);
  }
  p.fillPath(roundRect(outer, r), g);
  // gloss on the upper half
  QLinearGradient gloss(0, 0, 0, s.height() * 0.5);
  gloss.setColorAt(0, QColor(255, 255, 255, highlighted ? 110 : 70));
  gloss.setColorAt(1, QColor(255, 255, 255, 0));
  p.fillPath(roundRect(QRectF(2, 1.5, s.width() - 4, s.height() * 0.48), r * 0.8), gloss);
  p.strokePath(roundRect(outer, r), QPen(highlighted ? kGoldLight : kGold, 1.3));
  TextStyle t;
  t.fill = highlighted ? QColor(Qt::white) : kGoldLight;
  t.bold = s.height() * 0.035;
  t.outline = QColor(0x3A, 0x0E, 0x02);
  t.outlineWidth = s.height() * 0.05;
  const qreal h = s.height() * 0.56;
  drawText(p, QRectF(s.width() * 0.1, (s.height() - h) / 2, s.width() * 0.8, h), caption, t);
}

void pip(QPainter& p, QPointF c, qreal r, const QColor& colour) {
  QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.3);
  g.setColorAt(0, colour.lighter(150));
  g.setColorAt(1, colour.darker(130));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawEllipse(c, r, r);
}

// Pips of a die face in a unit square.
void pips(QPainter& p, int value, qreal scale) {
  static const std::array<std::vector<QPointF>, 6> kLayouts = {{
      {{0.5, 0.5}},
      {{0.27, 0.27}, {0.73, 0.73}},
      {{0.25, 0.25}, {0.5, 0.5}, {0.75, 0.75}},
      {{0.27, 0.27}, {0.73, 0.27}, {0.27, 0.73}, {0.73, 0.73}},
      {{0.25, 0.25}, {0.75, 0.25}, {0.5, 0.5}, {0.25, 0.75}, {0.75, 0.75}},
      {{0.28, 0.22}, {0.72, 0.22}, {0.28, 0.5}, {0.72, 0.5}, {0.28, 0.78}, {0.72, 0.78}},
  }};
  // Chinese dice: the one and the four are red
  const QColor colour =
      (value == 1 || value == 4) ? QColor(0xD0, 0x10, 0x18) : QColor(0x18, 0x18, 0x20);
  const qreal r = (value == 1 ? 0.17 : 0.095) * scale;
  for (const QPointF& c : kLayouts[value - 1]) pip(p, c * scale, r, colour);
}

}  // namespace

QImage drawControlButton(const QString& caption, bool highlighted, QSize size) {
  return render(size, [&](QPainter& p) { lacquerButton(p, QSizeF(size), caption, highlighted); });
}

QImage drawDialogButton(const QString& caption, bool highlighted, QSize size) {
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const qreal r = s.height() * 0.3;
    const QRectF outer(0.5, 0.5, s.width() - 1, s.height() - 1);
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, highlighted ? QColor(0xFF, 0xE4, 0x8A) : QColor(0xF6, 0xE2, 0xB0));
    g.setColorAt(1, highlighted ? QColor(0xE8, 0xA8, 0x30) : QColor(0xC8, 0x9A, 0x5A));
    p.fillPath(roundRect(outer, r), g);
    p.strokePath(roundRect(outer, r), QPen(QColor(0x7A, 0x46, 0x14), 1.3));
    TextStyle t;
    t.fill = highlighted ? QColor(0xB0, 0x10, 0x08) : QColor(0x5A, 0x2A, 0x08);
    t.bold = 0.9;
    const qreal h = s.height() * 0.58;
    drawText(p, QRectF(s.width() * 0.15, (s.height() - h) / 2, s.width() * 0.7, h), caption, t);
  });
}

QImage drawSwitchButton(const QString& caption, int variant, QSize size) {
  // 0 off (关闭), 1 on (开启), 2 and 3 the voice sets
  static const std::array<QColor, 4> kTop = {QColor(0xE8, 0x70, 0x60), QColor(0x70, 0xD0, 0x70),
                                             QColor(0x80, 0xB0, 0xF0), QColor(0xE0, 0xB0, 0xF0)};
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const qreal r = s.height() * 0.45;
    const QRectF outer(0.5, 0.5, s.width() - 1, s.height() - 1);
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, kTop[variant].lighter(115));
    g.setColorAt(1, kTop[variant].darker(150));
    p.fillPath(roundRect(outer, r), g);
    p.strokePath(roundRect(outer, r), QPen(QColor(0x30, 0x20, 0x10), 1.1));
    TextStyle t;
    t.fill = Qt::white;
    t.bold = 0.8;
    t.outline = QColor(0, 0, 0, 150);
    t.outlineWidth = 1.0;
    t.fit = Fit::Ink;
    const qreal h = s.height() * 0.56;
    drawText(p, QRectF(s.width() * 0.12, (s.height() - h) / 2, s.width() * 0.76, h), caption, t);
  });
}

QImage drawOperationButton(const QString& caption, int state, QSize size) {
  // 0 grey (not offered), 1 yellow (offered), 2 red (under the pointer)
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const qreal r = s.width() * 0.2;
    const QRectF outer(1, 1, s.width() - 2, s.height() - 2);
    QColor top, bottom, rim, ink, inkOutline;
    switch (state) {
      case 0:
        top = QColor(0xC4, 0xC4, 0xC0), bottom = QColor(0x78, 0x78, 0x74);
        rim = QColor(0x55, 0x55, 0x52), ink = QColor(0xE8, 0xE8, 0xE4);
        inkOutline = QColor(0x60, 0x60, 0x5C);
        break;
      case 1:
        top = QColor(0xFF, 0xF0, 0x9A), bottom = QColor(0xE8, 0xA0, 0x14);
        rim = QColor(0x9A, 0x5A, 0x04), ink = QColor(0xC0, 0x12, 0x0C);
        inkOutline = QColor(0xFF, 0xFA, 0xE0);
        break;
      default:
        top = QColor(0xFF, 0x7A, 0x5A), bottom = QColor(0xB0, 0x10, 0x0C);
        rim = QColor(0x5A, 0x04, 0x02), ink = QColor(0xFF, 0xE8, 0x60);
        inkOutline = QColor(0x60, 0x04, 0x02);
    }
    // a drop shadow keeps the button off the table
    p.fillPath(roundRect(outer.translated(0.8, 1.2), r), QColor(0, 0, 0, 90));
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillPath(roundRect(outer, r), g);
    p.strokePath(roundRect(outer.adjusted(2.5, 2.5, -2.5, -2.5), r * 0.7),
                 QPen(QColor(255, 255, 255, 90), 1.0));
    p.strokePath(roundRect(outer, r), QPen(rim, 1.6));
    TextStyle t;
    t.fill = ink;
    t.bold = 2.2;
    t.outline = inkOutline;
    t.outlineWidth = 1.4;
    drawText(p, QRectF(5, s.height() * 0.22, s.width() - 10, s.height() * 0.56), caption, t);
  });
}

QImage drawDieFace(int value, QSize size) {
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const qreal side = s.width() - 2;
    const qreal depth = s.height() - side - 1.5;
    const qreal r = side * 0.2;
    // the front side of the cube below the top face
    QLinearGradient sg(0, depth, 0, s.height());
    sg.setColorAt(0, QColor(0xD8, 0xD2, 0xC4));
    sg.setColorAt(1, QColor(0x9A, 0x94, 0x88));
    p.fillPath(roundRect(QRectF(1, depth + 0.5, side, side), r), sg);
    QLinearGradient tg(0, 0, s.width(), s.width());
    tg.setColorAt(0, Qt::white);
    tg.setColorAt(1, QColor(0xE8, 0xE2, 0xD4));
    const QRectF top(1, 0.5, side, side);
    p.fillPath(roundRect(top, r), tg);
    p.strokePath(roundRect(QRectF(1, 0.5, side, side + depth), r),
                 QPen(QColor(0x50, 0x4A, 0x40), 1.0));
    p.strokePath(roundRect(top, r), QPen(QColor(0x80, 0x78, 0x6A), 0.7));
    p.save();
    p.translate(top.topLeft());
    pips(p, value, side);
    p.restore();
  });
}

QImage drawTumblingDie(int frame, QSize size) {
  // A cube in flight: three faces of a turning cube, with two fading ghosts behind it
  // along the spin to suggest motion.
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QPointF c(s.width() / 2, s.height() / 2);
    const auto cube = [&](qreal angle, qreal alpha, QPointF shift) {
      p.save();
      p.setOpacity(alpha);
      p.translate(c + shift);
      p.rotate(angle);
      const qreal a = s.width() * 0.36;  // edge of the projected cube
      const QPointF top(0, -a), upLeft(-a * 0.87, -a * 0.5), upRight(a * 0.87, -a * 0.5);
      const QPointF mid(0, 0), downLeft(-a * 0.87, a * 0.5), downRight(a * 0.87, a * 0.5),
          bottom(0, a);
      const std::array<QPolygonF, 3> faces = {
          QPolygonF({upLeft, top, upRight, mid}),         // top
          QPolygonF({upLeft, mid, bottom, downLeft}),     // left
          QPolygonF({mid, upRight, downRight, bottom})};  // right
      const std::array<QColor, 3> shades = {QColor(0xFF, 0xFF, 0xFA), QColor(0xE4, 0xDE, 0xD0),
                                            QColor(0xC8, 0xC0, 0xB0)};
      const std::array<int, 3> values = {frame % 6 + 1, (frame + 2) % 6 + 1, (frame + 4) % 6 + 1};
      for (int f = 0; f < 3; ++f) {
        QPainterPath path;
        path.addPolygon(faces[f]);
        path.closeSubpath();
        p.fillPath(path, shades[f]);
        p.strokePath(
            path, QPen(QColor(0x50, 0x48, 0x3C), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QTransform unit;
        QPolygonF quad = faces[f];
        if (QTransform::squareToQuad(quad, unit)) {
          p.save();
          p.setTransform(unit, true);
          pips(p, values[f], 1.0);
          p.restore();
        }
      }
      p.restore();
    };
    // the ghosts trail behind along a direction that turns from frame to frame
    const qreal angle = frame * 37.0 + 11;
    const qreal heading = frame * 0.9;
    const QPointF trail(-std::cos(heading) * s.width() * 0.06,
                        -std::sin(heading) * s.width() * 0.06);
    cube(angle - 40, 0.15, trail * 2);
    cube(angle - 20, 0.3, trail);
    cube(angle, 1.0, QPointF(0, 0));
  });
}

QImage drawCompass(int userSeat, QSize size) {
  // Seat names by absolute seat index; the compass turns so that the user's seat is at
  // the bottom, the next seat at the right, the one after at the top.
  static const char16_t kSeatNames[] = u"北西南東";
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QPointF c(s.width() / 2, s.height() / 2);
    const qreal R = s.width() / 2 - 1;
    QRadialGradient rim(c, R);
    rim.setColorAt(0.85, kGold);
    rim.setColorAt(0.93, kGoldLight);
    rim.setColorAt(1, QColor(0x8A, 0x5A, 0x10));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(c, R, R);
    QRadialGradient wood(c, R * 0.9);
    wood.setColorAt(0, QColor(0x9A, 0x4A, 0x1E));
    wood.setColorAt(1, QColor(0x42, 0x16, 0x06));
    p.setBrush(wood);
    p.drawEllipse(c, R * 0.86, R * 0.86);
    // the star pointing at the user
    p.setBrush(QColor(0xF0, 0xD8, 0x90));
    for (int i = 0; i < 4; ++i) {
      p.save();
      p.translate(c);
      p.rotate(i * 90 + 45);
      QPainterPath ray;
      ray.moveTo(0, -R * 0.3);
      ray.lineTo(R * 0.07, 0);
      ray.lineTo(-R * 0.07, 0);
      ray.closeSubpath();
      p.drawPath(ray);
      p.restore();
    }
    QPainterPath needle;
    needle.moveTo(c + QPointF(0, R * 0.42));
    needle.lineTo(c + QPointF(R * 0.1, 0));
    needle.lineTo(c + QPointF(0, -R * 0.42));
    needle.lineTo(c + QPointF(-R * 0.1, 0));
    needle.closeSubpath();
    p.fillPath(needle, QColor(0xF4, 0xE8, 0xC8));
    QPainterPath south;
    south.moveTo(c + QPointF(0, R * 0.42));
    south.lineTo(c + QPointF(R * 0.1, 0));
    south.lineTo(c + QPointF(-R * 0.1, 0));
    south.closeSubpath();
    p.fillPath(south, QColor(0xD0, 0x18, 0x10));
    p.setBrush(kGold);
    p.drawEllipse(c, R * 0.07, R * 0.07);
    // bottom, right, top, left: the user's seat, then the following seats
    const std::array<QPointF, 4> at = {QPointF(0, 1), QPointF(1, 0), QPointF(0, -1),
                                       QPointF(-1, 0)};
    for (int k = 0; k < 4; ++k) {
      const int seat = (userSeat + k) % 4;
      const QPointF pos = c + at[k] * (R * 0.64);
      const qreal h = R * 0.4;
      TextStyle t;
      if (k == 0) {
        p.setBrush(kGoldLight);
        p.setPen(QPen(QColor(0x8A, 0x20, 0x08), 1.0));
        p.drawEllipse(pos, h * 0.72, h * 0.72);
        p.setPen(Qt::NoPen);
        t.fill = QColor(0xC0, 0x10, 0x0C);
      } else {
        t.fill = QColor(0xFF, 0xEE, 0xC0);
      }
      t.bold = 1.1;
      drawText(p, QRectF(pos.x() - h / 2, pos.y() - h / 2, h, h), QString(QChar(kSeatNames[seat])),
               t);
    }
  });
}

QImage drawClaimWord(const QString& word, QSize size) {
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    QLinearGradient g(0, s.height() * 0.1, 0, s.height() * 0.9);
    g.setColorAt(0, QColor(0xFF, 0xF4, 0x90));
    g.setColorAt(0.5, QColor(0xFF, 0xC0, 0x20));
    g.setColorAt(1, QColor(0xF0, 0x70, 0x08));
    TextStyle t;
    t.fill = g;
    t.bold = s.height() * 0.05;
    t.outline = QColor(0x8A, 0x0A, 0x04);
    t.outlineWidth = s.height() * 0.05;
    t.fit = Fit::Ink;
    t.shadow = QColor(0, 0, 0, 120);
    t.shadowOffset = QPointF(s.height() * 0.03, s.height() * 0.04);
    const qreal m = s.height() * 0.12;
    // slanted forwards, as a brush writes it
    p.translate(s.width() / 2, s.height() / 2);
    p.shear(-0.18, 0);
    p.translate(-s.width() / 2, -s.height() / 2);
    drawText(p, QRectF(m * 1.6, m, s.width() - 3.2 * m, s.height() - 2 * m), word, t);
  });
}

QImage drawLogo(QSize size) {
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QRectF outer(1, 1, s.width() - 2, s.height() - 2);
    QRadialGradient g(QPointF(s.width() * 0.4, s.height() * 0.35), s.width() * 0.7);
    g.setColorAt(0, QColor(0xD8, 0x26, 0x1C));
    g.setColorAt(1, QColor(0x6A, 0x06, 0x04));
    p.fillPath(roundRect(outer, 12), g);
    p.strokePath(roundRect(outer, 12), QPen(kGold, 2.2));
    p.strokePath(roundRect(outer.adjusted(4, 4, -4, -4), 9),
                 QPen(QColor(0xFF, 0xD8, 0x70, 120), 0.8));
    // a small tile behind the name
    const QRectF tile(s.width() * 0.56, s.height() * 0.12, s.width() * 0.3, s.height() * 0.4);
    p.fillPath(roundRect(tile.translated(1.5, 1.5), 3), QColor(0x0C, 0x52, 0x31));
    p.fillPath(roundRect(tile, 3), QColor(0xFF, 0xF8, 0xE6));
    TextStyle red;
    red.fill = QColor(0xC8, 0x12, 0x1A);
    red.bold = 1.2;
    drawText(p, tile.adjusted(2, 3, -2, -3), QStringLiteral("中"), red);
    TextStyle gold;
    gold.fill = kGoldLight;
    gold.bold = 1.4;
    gold.outline = QColor(0x40, 0x04, 0x02);
    gold.outlineWidth = 1.2;
    drawText(p, QRectF(s.width() * 0.1, s.height() * 0.12, s.width() * 0.46, s.height() * 0.4),
             QStringLiteral("麻"), gold);
    drawText(p, QRectF(s.width() * 0.12, s.height() * 0.5, s.width() * 0.42, s.height() * 0.3),
             QStringLiteral("将"), gold);
    TextStyle white;
    white.fill = Qt::white;
    white.fit = Fit::Ink;
    white.bold = 0.6;
    drawText(p, QRectF(s.width() * 0.5, s.height() * 0.6, s.width() * 0.4, s.height() * 0.2),
             QStringLiteral("Tavren"), white);
  });
}

QImage drawBadge(bool up, QSize size) {
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QColor light = up ? QColor(0xFF, 0xD8, 0x50) : QColor(0xA8, 0xC0, 0xD8);
    const QColor dark = up ? QColor(0xC0, 0x48, 0x08) : QColor(0x3A, 0x50, 0x70);
    // a shield
    QPainterPath shield;
    shield.moveTo(s.width() * 0.5, 2);
    shield.cubicTo(s.width() * 0.7, 8, s.width() * 0.85, 7, s.width() - 6, 6);
    shield.cubicTo(s.width() - 4, s.height() * 0.55, s.width() * 0.75, s.height() * 0.8,
                   s.width() * 0.5, s.height() - 2);
    shield.cubicTo(s.width() * 0.25, s.height() * 0.8, 4, s.height() * 0.55, 6, 6);
    shield.cubicTo(s.width() * 0.15, 7, s.width() * 0.3, 8, s.width() * 0.5, 2);
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    p.fillPath(shield, g);
    p.strokePath(shield, QPen(dark.darker(160), 2.0));
    // the arrow
    QPainterPath arrow;
    const qreal cx = s.width() * 0.5, ay = s.height() * 0.14, ah = s.height() * 0.36;
    if (up) {
      arrow.moveTo(cx, ay);
      arrow.lineTo(cx + 14, ay + 15);
      arrow.lineTo(cx + 6, ay + 15);
      arrow.lineTo(cx + 6, ay + ah);
      arrow.lineTo(cx - 6, ay + ah);
      arrow.lineTo(cx - 6, ay + 15);
      arrow.lineTo(cx - 14, ay + 15);
    } else {
      arrow.moveTo(cx, ay + ah);
      arrow.lineTo(cx + 14, ay + ah - 15);
      arrow.lineTo(cx + 6, ay + ah - 15);
      arrow.lineTo(cx + 6, ay);
      arrow.lineTo(cx - 6, ay);
      arrow.lineTo(cx - 6, ay + ah - 15);
      arrow.lineTo(cx - 14, ay + ah - 15);
    }
    arrow.closeSubpath();
    p.fillPath(arrow, up ? QColor(0xD0, 0x14, 0x0C) : QColor(0x1C, 0x3A, 0x80));
    p.strokePath(arrow, QPen(Qt::white, 1.2));
    TextStyle t;
    t.fill = Qt::white;
    t.bold = 1.2;
    t.outline = dark.darker(180);
    t.outlineWidth = 1.3;
    drawText(p, QRectF(s.width() * 0.18, s.height() * 0.5, s.width() * 0.64, s.height() * 0.24),
             up ? QStringLiteral("升级") : QStringLiteral("降级"), t);
    t.bold = 0.6;
    t.outlineWidth = 0.9;
    drawText(p, QRectF(s.width() * 0.3, s.height() * 0.75, s.width() * 0.4, s.height() * 0.13),
             QStringLiteral("用户"), t);
  });
}

namespace {

// A bubble window is cut to the pixels that differ from its corner's colour, so its
// picture must be keyed cleanly: every pixel outside the shape exactly transparent,
// every pixel inside fully opaque. Soft edge pixels take the rim's colour, so the
// cut edge shows no pale fringe against the table.
QImage keyOut(const QImage& soft, QColor rim) {
  QImage keyed = soft.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < keyed.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
    for (int x = 0; x < keyed.width(); ++x) {
      const QRgb px = row[x];
      const int a = qAlpha(px);
      if (a < 128) {
        row[x] = 0;
      } else if (a < 255) {
        const auto over = [a](int top, int under) { return (top * a + under * (255 - a)) / 255; };
        row[x] = qRgb(over(qRed(px), rim.red()), over(qGreen(px), rim.green()),
                      over(qBlue(px), rim.blue()));
      }
    }
  }
  return keyed;
}

const QColor kBubbleRim(0x8A, 0x52, 0x1A);

}  // namespace

QImage drawBubble(const QString& word, int variant, QSize size) {
  // variant 0: the left player (tail to the left), 1: the top player (tail up to the
  // portrait), 2: the right player (tail to the right)
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    QRectF body;
    QPolygonF tail;
    switch (variant) {
      case 0:
        body = QRectF(16, 6, s.width() - 20, s.height() - 16);
        tail << QPointF(22, 30) << QPointF(2, 18) << QPointF(24, 50);
        break;
      case 1:
        body = QRectF(4, 20, s.width() - 8, s.height() - 24);
        tail << QPointF(24, 26) << QPointF(10, 2) << QPointF(46, 24);
        break;
      default:
        body = QRectF(4, 6, s.width() - 20, s.height() - 16);
        tail << QPointF(s.width() - 22, 30) << QPointF(s.width() - 2, 18)
             << QPointF(s.width() - 24, 50);
    }
    QPainterPath shape;
    shape.addRoundedRect(body, body.height() * 0.42, body.height() * 0.42);
    QPainterPath t;
    t.addPolygon(tail);
    t.closeSubpath();
    shape = shape.united(t).simplified();
    p.fillPath(shape.translated(2, 3), QColor(0, 0, 0, 70));
    QLinearGradient g(0, body.top(), 0, body.bottom());
    g.setColorAt(0, QColor(0xFF, 0xFF, 0xF6));
    g.setColorAt(1, QColor(0xF6, 0xE8, 0xC0));
    p.fillPath(shape, g);
    p.strokePath(shape, QPen(kBubbleRim, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (!word.isEmpty()) {
      TextStyle ts;
      ts.fill = QColor(0xC4, 0x12, 0x0C);
      ts.bold = 2.6;
      ts.outline = QColor(0xFF, 0xE0, 0x80);
      ts.outlineWidth = 1.4;
      const qreal h = body.height() * 0.58;
      const qreal w = std::min(body.width() * 0.78, h * word.size() * 1.05);
      drawText(p, QRectF(body.center().x() - w / 2, body.center().y() - h / 2, w, h), word, ts);
    }
  });
}

QImage drawSpeakBox(int side, QRect text, QSize size) {
  // The body encloses the phrase's box with a margin; the tail points at the
  // speaker's portrait: down and left for the user, up and left for the others.
  const QImage soft = render(size, [&](QPainter& p) {
    const QRectF body = QRectF(text).adjusted(-8, -6, 8, 6);
    QPolygonF tail;
    if (side == 0)
      tail << QPointF(body.left() + 14, body.bottom() - 3) << QPointF(3, size.height() - 3)
           << QPointF(body.left() + 36, body.bottom() - 3);
    else
      tail << QPointF(body.left() + 3, body.top() + 22) << QPointF(4, 3)
           << QPointF(body.left() + 28, body.top() + 3);
    QPainterPath shape;
    shape.addRoundedRect(body, 16, 16);
    QPainterPath t;
    t.addPolygon(tail);
    t.closeSubpath();
    shape = shape.united(t).simplified();
    QLinearGradient g(0, body.top(), 0, body.bottom());
    g.setColorAt(0, QColor(0xFF, 0xFF, 0xF6));
    g.setColorAt(1, QColor(0xF6, 0xE8, 0xC0));
    p.fillPath(shape, g);
    p.strokePath(shape, QPen(kBubbleRim, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  });
  return keyOut(soft, kBubbleRim);
}

}  // namespace picgen

namespace picgen {

QImage drawCountdownFrame(QSize size) {
  // a clock on the left; the digits are a label laid over the window at (48, 5)
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QRectF outer(0.5, 0.5, s.width() - 1, s.height() - 1);
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, QColor(0x9A, 0x4A, 0x1C));
    g.setColorAt(1, kWoodDark);
    p.fillPath(roundRect(outer, 8), g);
    p.strokePath(roundRect(outer, 8), QPen(kGold, 1.4));
    const QPointF c(20, s.height() / 2);
    p.setPen(QPen(kGoldLight, 2.0));
    p.setBrush(kCream);
    p.drawEllipse(c, 13, 13);
    p.setPen(QPen(QColor(0x40, 0x18, 0x08), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(0, -8));
    p.drawLine(c, c + QPointF(6, 3));
    p.setPen(QPen(QColor(0xC0, 0x10, 0x10), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(-4, 8));
    // the digit window
    p.fillPath(roundRect(QRectF(44, 4, 32, s.height() - 8), 4), QColor(0x20, 0x08, 0x02));
    p.strokePath(roundRect(QRectF(44, 4, 32, s.height() - 8), 4), QPen(kGold, 1.0));
  });
}

QImage drawReadyMark(QSize size) {
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QPointF c(s.width() / 2, s.height() / 2);
    const qreal r = s.width() / 2 - 1;
    QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.4);
    g.setColorAt(0, QColor(0x80, 0xE0, 0x70));
    g.setColorAt(1, QColor(0x18, 0x80, 0x28));
    p.setPen(QPen(QColor(0xFF, 0xF4, 0xC0), 1.6));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(Qt::white, s.width() * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(s.width() * 0.27, s.height() * 0.52);
    tick.lineTo(s.width() * 0.44, s.height() * 0.68);
    tick.lineTo(s.width() * 0.74, s.height() * 0.33);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
  });
}

QImage drawDealerMark(QSize size) {
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QPointF c(s.width() / 2, s.height() / 2);
    const qreal r = s.width() / 2 - 1;
    QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.4);
    g.setColorAt(0, QColor(0xF0, 0x50, 0x30));
    g.setColorAt(1, QColor(0x90, 0x08, 0x04));
    p.setPen(QPen(kGoldLight, 1.6));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
    TextStyle t;
    t.fill = kGoldLight;
    t.bold = 0.8;
    drawText(p, QRectF(c.x() - r * 0.62, c.y() - r * 0.62, r * 1.24, r * 1.24),
             QStringLiteral("庄"), t);
  });
}

QImage drawWildFrame(QSize size) {
  // the box round the wild-tile indicator: a caption strip and a sunken window for the tile
  return render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QRectF outer(0.5, 0.5, s.width() - 1, s.height() - 1);
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, QColor(0xA0, 0x50, 0x20));
    g.setColorAt(1, kWoodDark);
    p.fillPath(roundRect(outer, 9), g);
    p.strokePath(roundRect(outer, 9), QPen(kGold, 1.6));
    TextStyle t;
    t.fill = kGoldLight;
    t.bold = 0.9;
    t.outline = QColor(0x30, 0x08, 0x02);
    t.outlineWidth = 1.0;
    drawText(p, QRectF(s.width() * 0.18, 5, s.width() * 0.64, 20), QStringLiteral("财神"), t);
    const QRectF window(17, 56, 42, 62);  // the tile sits at (20, 59), 36 x 56
    p.fillPath(roundRect(window, 5), QColor(0x18, 0x4A, 0x2C));
    p.strokePath(roundRect(window, 5), QPen(kGold, 1.0));
  });
}

QImage drawPhraseButton(const QString& caption, QSize size) {
  // A lacquer strip like the control bar's buttons. At 13 pixels high a supersampled
  // outline would blur the strokes, so the caption is set with the font's own hinting
  // at the final size.
  QImage image = render(size, [&](QPainter& p) {
    const QSizeF s(size);
    const QRectF outer(0.5, 0.5, s.width() - 1, s.height() - 1);
    const qreal r = s.height() * 0.35;
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, QColor(0xB0, 0x4C, 0x22));
    g.setColorAt(0.5, kWood);
    g.setColorAt(1, kWoodDark);
    p.fillPath(roundRect(outer, r), g);
    p.strokePath(roundRect(outer, r), QPen(kGold, 1.0));
  });
  // Set in device pixels: the hinting works on the pixels the caption lands on.
  const int d = density();
  QPainter p(&image);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPixelSize((size.height() - 2) * d);
  font.setStyleStrategy(QFont::NoFontMerging);
  p.setFont(font);
  p.setPen(kGoldLight);
  const QFontMetricsF m(font);
  const qreal w = m.horizontalAdvance(caption);
  const qreal x = std::round((size.width() * d - w) / 2);
  const qreal y = std::round((size.height() * d + m.ascent() - m.descent()) / 2);
  p.drawText(QPointF(x, y), caption);
  return image;
}

}  // namespace picgen
