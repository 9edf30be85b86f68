// Twenty stylised portraits: ten men (0..9) and ten women (10..19), each with its own
// hair, skin, clothes and background so that the four seats are told apart at a glance.

#include <QLinearGradient>
#include <QRadialGradient>
#include <array>

#include "paint.h"
#include "picgen.h"

namespace picgen {

namespace {

struct Look {
  int hair;  // hairstyle, per gender
  QColor hairColour;
  QColor skin;
  QColor clothes;
  QColor background;
  int extra;  // 0 none, 1 glasses, 2 beard, 3 hat, 4 earrings, 5 flower, 6 moustache
};

const std::array<Look, 20> kLooks = {{
    // men
    {0, QColor(0x1C, 0x16, 0x12), QColor(0xF2, 0xC8, 0xA0), QColor(0x2A, 0x5C, 0xB0),
     QColor(0x9C, 0xC8, 0xEC), 0},
    {1, QColor(0x5A, 0x30, 0x12), QColor(0xE8, 0xB4, 0x88), QColor(0xC0, 0x30, 0x28),
     QColor(0xF4, 0xD8, 0x90), 0},
    {2, QColor(0x20, 0x1A, 0x18), QColor(0xD8, 0xA0, 0x70), QColor(0x2E, 0x8A, 0x50),
     QColor(0xB8, 0xE4, 0xB0), 1},
    {3, QColor(0x90, 0x90, 0x90), QColor(0xF0, 0xCC, 0xA8), QColor(0x60, 0x40, 0x28),
     QColor(0xE0, 0xC8, 0xA8), 2},
    {0, QColor(0x1A, 0x1A, 0x1A), QColor(0xC8, 0x8C, 0x5C), QColor(0xE8, 0xA0, 0x20),
     QColor(0xA8, 0xD8, 0xD8), 3},
    {4, QColor(0x3A, 0x22, 0x10), QColor(0xF4, 0xD0, 0xB0), QColor(0x6A, 0x2A, 0x8A),
     QColor(0xD8, 0xC0, 0xF0), 0},
    {1, QColor(0xC8, 0x80, 0x20), QColor(0xF0, 0xC4, 0x98), QColor(0x18, 0x30, 0x58),
     QColor(0xF0, 0xB0, 0xA0), 6},
    {5, QColor(0x14, 0x10, 0x10), QColor(0xA8, 0x70, 0x48), QColor(0xF0, 0xF0, 0xF0),
     QColor(0x80, 0xA8, 0xD8), 1},
    {2, QColor(0x6A, 0x3A, 0x1A), QColor(0xEC, 0xBC, 0x90), QColor(0x0C, 0x6A, 0x6A),
     QColor(0xF8, 0xE8, 0xB0), 2},
    {4, QColor(0x22, 0x22, 0x30), QColor(0xDC, 0xA8, 0x7C), QColor(0xA0, 0x18, 0x20),
     QColor(0xC0, 0xE0, 0x90), 0},
    // women
    {0, QColor(0x18, 0x12, 0x10), QColor(0xF8, 0xD8, 0xBC), QColor(0xE0, 0x40, 0x70),
     QColor(0xFC, 0xD0, 0xE0), 4},
    {1, QColor(0x6A, 0x38, 0x18), QColor(0xF0, 0xC8, 0xA4), QColor(0x30, 0x80, 0xC8),
     QColor(0xC0, 0xE0, 0xF8), 0},
    {2, QColor(0x20, 0x18, 0x18), QColor(0xE8, 0xBC, 0x94), QColor(0xF0, 0xB0, 0x20),
     QColor(0xF8, 0xE8, 0xA8), 5},
    {3, QColor(0x2A, 0x1C, 0x14), QColor(0xFA, 0xDC, 0xC4), QColor(0x8A, 0x20, 0x30),
     QColor(0xE8, 0xC8, 0xB0), 4},
    {4, QColor(0xB0, 0x60, 0x20), QColor(0xF4, 0xCC, 0xAC), QColor(0x40, 0xA0, 0x60),
     QColor(0xD0, 0xF0, 0xC8), 0},
    {5, QColor(0x1A, 0x14, 0x14), QColor(0xC8, 0x90, 0x64), QColor(0xF0, 0x70, 0x30),
     QColor(0xF8, 0xD0, 0xB0), 5},
    {0, QColor(0xD8, 0xB0, 0x50), QColor(0xF8, 0xDC, 0xC0), QColor(0x50, 0x40, 0xA0),
     QColor(0xC8, 0xC0, 0xF0), 1},
    {1, QColor(0x10, 0x10, 0x18), QColor(0xEC, 0xC0, 0x98), QColor(0xC8, 0x20, 0x28),
     QColor(0xF8, 0xC0, 0xC0), 4},
    {3, QColor(0x4A, 0x28, 0x10), QColor(0xE0, 0xAC, 0x80), QColor(0x18, 0x70, 0x80),
     QColor(0xB0, 0xE8, 0xE8), 5},
    {2, QColor(0x80, 0x24, 0x18), QColor(0xF4, 0xD4, 0xB8), QColor(0x2C, 0x2C, 0x34),
     QColor(0xE8, 0xE0, 0xD0), 0},
}};

// Hair behind the head (long styles), drawn before the face.
void hairBehind(QPainter& p, bool woman, int style, const QColor& c) {
  if (!woman) return;
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  switch (style) {
    case 0:  // long straight
      p.drawRoundedRect(QRectF(20, 22, 45, 58), 14, 14);
      break;
    case 2:  // ponytail to the side
      p.drawEllipse(QRectF(56, 26, 16, 36));
      break;
    case 4:  // twin tails
      p.drawEllipse(QRectF(10, 36, 14, 34));
      p.drawEllipse(QRectF(61, 36, 14, 34));
      break;
    case 5:  // long curls
      for (int i = 0; i < 5; ++i) {
        p.drawEllipse(QPointF(22, 34 + i * 9), 7, 7);
        p.drawEllipse(QPointF(63, 34 + i * 9), 7, 7);
      }
      break;
    default:
      break;
  }
}

void hairTop(QPainter& p, bool woman, int style, const QColor& c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  QPainterPath h;
  if (!woman) {
    switch (style) {
      case 0:  // short, flat
        h.moveTo(24, 36);
        h.cubicTo(22, 14, 63, 14, 61, 36);
        h.lineTo(58, 28);
        h.cubicTo(50, 24, 34, 24, 27, 28);
        h.closeSubpath();
        break;
      case 1:  // spiky
        h.moveTo(24, 36);
        h.lineTo(22, 22);
        for (int i = 0; i < 6; ++i) {
          h.lineTo(26 + i * 6.6, 10 + (i % 2) * 3);
          h.lineTo(29 + i * 6.6, 20);
        }
        h.lineTo(63, 22);
        h.lineTo(61, 36);
        h.lineTo(57, 27);
        h.lineTo(28, 27);
        h.closeSubpath();
        break;
      case 2:  // side part
        h.moveTo(24, 38);
        h.cubicTo(20, 12, 66, 10, 62, 36);
        h.cubicTo(56, 24, 44, 30, 36, 22);
        h.cubicTo(32, 28, 28, 30, 24, 38);
        h.closeSubpath();
        break;
      case 3:  // receding, grey at the sides
        p.drawEllipse(QRectF(21, 26, 9, 16));
        p.drawEllipse(QRectF(55, 26, 9, 16));
        return;
      case 4:  // crew cut
        h.moveTo(24, 33);
        h.cubicTo(21, 11, 64, 11, 61, 33);
        h.lineTo(59, 27);
        h.cubicTo(52, 21, 33, 21, 26, 27);
        h.closeSubpath();
        break;
      default:  // curly
        for (int i = 0; i < 6; ++i) p.drawEllipse(QPointF(27 + i * 6.2, 20 + (i % 2) * 2), 6, 6);
        p.drawEllipse(QPointF(24, 28), 5, 5);
        p.drawEllipse(QPointF(61, 28), 5, 5);
        return;
    }
  } else {
    switch (style) {
      case 1:  // bob
        h.moveTo(21, 52);
        h.cubicTo(14, 10, 71, 10, 64, 52);
        h.lineTo(58, 52);
        h.cubicTo(60, 30, 52, 26, 42, 26);
        h.cubicTo(32, 26, 25, 30, 27, 52);
        h.closeSubpath();
        break;
      case 3:  // bun
        p.drawEllipse(QPointF(42.5, 12), 9, 8);
        h.moveTo(24, 38);
        h.cubicTo(22, 14, 63, 14, 61, 38);
        h.cubicTo(55, 24, 30, 24, 24, 38);
        h.closeSubpath();
        break;
      case 6:
      default:  // fringe over the forehead
        h.moveTo(22, 42);
        h.cubicTo(18, 10, 67, 10, 63, 42);
        h.cubicTo(60, 30, 56, 28, 52, 30);
        h.lineTo(46, 26);
        h.lineTo(40, 31);
        h.lineTo(33, 27);
        h.cubicTo(28, 30, 25, 34, 22, 42);
        h.closeSubpath();
        break;
    }
  }
  p.drawPath(h);
}

void face(QPainter& p, const Look& look, bool woman) {
  // neck and shoulders
  p.setPen(Qt::NoPen);
  p.setBrush(look.skin.darker(112));
  p.drawRect(QRectF(36, 50, 13, 14));
  QPainterPath body;
  body.moveTo(8, 90);
  body.cubicTo(10, 66, 26, 60, 42.5, 60);
  body.cubicTo(59, 60, 75, 66, 77, 90);
  body.closeSubpath();
  QLinearGradient cg(0, 60, 0, 90);
  cg.setColorAt(0, look.clothes.lighter(120));
  cg.setColorAt(1, look.clothes.darker(130));
  p.fillPath(body, cg);
  // collar
  QPainterPath collar;
  collar.moveTo(34, 61);
  collar.lineTo(42.5, 71);
  collar.lineTo(51, 61);
  p.setPen(QPen(woman ? look.clothes.lighter(160) : QColor(0xF4, 0xF4, 0xF0), 2.2));
  p.drawPath(collar);
  p.setPen(Qt::NoPen);
  // ears and head
  p.setBrush(look.skin.darker(108));
  p.drawEllipse(QPointF(24, 38), 4, 6);
  p.drawEllipse(QPointF(61, 38), 4, 6);
  QRadialGradient sg(QPointF(38, 30), 26);
  sg.setColorAt(0, look.skin.lighter(108));
  sg.setColorAt(1, look.skin.darker(106));
  p.setBrush(sg);
  p.drawEllipse(QRectF(24, 16, 37, 42));
  // eyes, brows, nose, mouth
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(35, 37), 3.6, 2.8);
  p.drawEllipse(QPointF(50, 37), 3.6, 2.8);
  p.setBrush(QColor(0x2A, 0x1A, 0x10));
  p.drawEllipse(QPointF(35.4, 37.2), 2.0, 2.2);
  p.drawEllipse(QPointF(50.4, 37.2), 2.0, 2.2);
  p.setPen(QPen(look.hairColour.darker(110), woman ? 1.1 : 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(31, 31.5), QPointF(38.5, 30.5));
  p.drawLine(QPointF(46.5, 30.5), QPointF(54, 31.5));
  if (woman) {  // lashes
    p.setPen(QPen(QColor(0x20, 0x10, 0x08), 1.0));
    p.drawLine(QPointF(31.4, 35.5), QPointF(30, 34.4));
    p.drawLine(QPointF(53.6, 35.5), QPointF(55, 34.4));
  }
  p.setPen(QPen(look.skin.darker(135), 1.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(42.5, 40), QPointF(41.5, 45));
  p.drawLine(QPointF(41.5, 45), QPointF(43.5, 45.5));
  p.setPen(QPen(woman ? QColor(0xC8, 0x30, 0x40) : QColor(0x8A, 0x40, 0x30), woman ? 2.0 : 1.6,
                Qt::SolidLine, Qt::RoundCap));
  QPainterPath mouth;
  mouth.moveTo(37.5, 50);
  mouth.quadTo(42.5, 54, 47.5, 50);
  p.drawPath(mouth);
  if (woman) {  // blush
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0x80, 0x80, 80));
    p.drawEllipse(QPointF(31, 45), 4, 2.5);
    p.drawEllipse(QPointF(54, 45), 4, 2.5);
  }
  p.setPen(Qt::NoPen);
}

void extra(QPainter& p, const Look& look) {
  switch (look.extra) {
    case 1:  // glasses
      p.setBrush(Qt::NoBrush);
      p.setPen(QPen(QColor(0x20, 0x20, 0x28), 1.4));
      p.drawEllipse(QPointF(35, 37), 6, 5);
      p.drawEllipse(QPointF(50, 37), 6, 5);
      p.drawLine(QPointF(41, 37), QPointF(44, 37));
      break;
    case 2:  // beard
      p.setPen(Qt::NoPen);
      p.setBrush(look.hairColour);
      {
        QPainterPath b;
        b.moveTo(26, 42);
        b.cubicTo(27, 62, 58, 62, 59, 42);
        b.cubicTo(55, 52, 50, 48, 42.5, 48);
        b.cubicTo(35, 48, 30, 52, 26, 42);
        p.drawPath(b);
      }
      break;
    case 3:  // cap
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xC0, 0x20, 0x20));
      p.drawChord(QRectF(22, 10, 41, 34), 0, 180 * 16);
      p.drawRoundedRect(QRectF(40, 24, 28, 5), 2, 2);
      p.setBrush(Qt::white);
      p.drawEllipse(QPointF(42.5, 17), 3, 3);
      break;
    case 4:  // earrings
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xF0, 0xC8, 0x30));
      p.drawEllipse(QPointF(24, 46), 2.2, 2.2);
      p.drawEllipse(QPointF(61, 46), 2.2, 2.2);
      break;
    case 5:  // flower in the hair
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xF0, 0x50, 0x80));
      for (int i = 0; i < 5; ++i) {
        const qreal a = i * 72 * M_PI / 180;
        p.drawEllipse(QPointF(58 + 3.5 * std::cos(a), 20 + 3.5 * std::sin(a)), 2.8, 2.8);
      }
      p.setBrush(QColor(0xFF, 0xE0, 0x40));
      p.drawEllipse(QPointF(58, 20), 1.8, 1.8);
      break;
    case 6:  // moustache
      p.setPen(QPen(look.hairColour, 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(37, 47.5), QPointF(42.5, 46.5));
      p.drawLine(QPointF(42.5, 46.5), QPointF(48, 47.5));
      break;
    default:
      break;
  }
}

}  // namespace

QImage drawPortrait(int index, QSize size) {
  const Look& look = kLooks[index];
  const bool woman = index >= 10;
  return render(size, QSizeF(85, 90), [&](QPainter& p) {
    QRadialGradient bg(QPointF(42, 30), 70);
    bg.setColorAt(0, look.background.lighter(115));
    bg.setColorAt(1, look.background.darker(125));
    p.fillRect(QRectF(0, 0, 85, 90), bg);
    hairBehind(p, woman, look.hair, look.hairColour);
    face(p, look, woman);
    hairTop(p, woman, look.hair, look.hairColour);
    extra(p, look);
    p.setPen(QPen(QColor(0x40, 0x28, 0x10), 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, 83, 88));
  });
}

}  // namespace picgen
