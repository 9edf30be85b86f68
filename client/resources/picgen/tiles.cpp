// Tile pictures: ivory faces on a jade-green body, drawn in five orientations.
// A face is painted upright in a 60 x 80 content box; each orientation maps that box
// onto the visible face (turned for the other players, flattened by the view angle).

#include <QLinearGradient>
#include <QRadialGradient>
#include <QTransform>
#include <array>
#include <cmath>
#include <vector>

#include "paint.h"
#include "picgen.h"

namespace picgen {

namespace {

const QColor kIvoryLight(0xFF, 0xFD, 0xF4);
const QColor kIvory(0xF4, 0xEC, 0xD2);
const QColor kIvoryShade(0xDD, 0xD0, 0xAC);
const QColor kJade(0x1B, 0x86, 0x52);
const QColor kJadeLight(0x52, 0xB8, 0x82);
const QColor kJadeDark(0x0C, 0x52, 0x31);
const QColor kOutline(0x22, 0x2A, 0x24, 210);

const QColor kInk(0x16, 0x1E, 0x46);
const QColor kRed(0xC8, 0x12, 0x1A);
const QColor kGreen(0x0B, 0x7A, 0x36);
const QColor kBlue(0x1A, 0x4C, 0xB4);
const QColor kGold(0xD8, 0x9C, 0x12);

constexpr qreal kCW = 60;
constexpr qreal kCH = 80;

using ContentFn = std::function<void(QPainter&)>;

// ---------------------------------------------------------------- face contents

void glyph(QPainter& p, const QRectF& box, const QString& text, const QColor& colour, qreal bold) {
  TextStyle s;
  s.fill = colour;
  s.bold = bold;
  drawText(p, box, text, s);
}

void honourFace(QPainter& p, int rank) {
  static const char16_t kNames[] = u"東南西北中發白";
  if (rank == 7) {  // 白: an empty blue frame
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kBlue, 5.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(QRectF(10, 11, 40, 58));
    p.setPen(QPen(kBlue, 1.8));
    p.drawRect(QRectF(17, 18, 26, 44));
    return;
  }
  const QColor colour = rank == 5 ? kRed : rank == 6 ? kGreen : kInk;
  glyph(p, QRectF(3, 9, 54, 62), QString(QChar(kNames[rank - 1])), colour, 3.2);
}

void characterFace(QPainter& p, int rank) {
  static const char16_t kNumerals[] = u"一二三四五六七八九";
  glyph(p, QRectF(6, 3, 48, 34), QString(QChar(kNumerals[rank - 1])), kInk, 3.4);
  glyph(p, QRectF(5, 39, 50, 39), QStringLiteral("萬"), kRed, 2.4);
}

void dot(QPainter& p, QPointF c, qreal r, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour.darker(115));
  p.drawEllipse(c, r, r);
  p.setBrush(kIvoryLight);
  p.drawEllipse(c, r * 0.74, r * 0.74);
  p.setBrush(colour);
  p.drawEllipse(c, r * 0.56, r * 0.56);
  p.setBrush(kIvoryLight);
  p.drawEllipse(c, r * 0.2, r * 0.2);
}

void bigDot(QPainter& p) {
  const QPointF c(30, 40);
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawEllipse(c, 26, 26);
  p.setBrush(kIvoryLight);
  p.drawEllipse(c, 22.5, 22.5);
  p.setBrush(kBlue);
  for (int i = 0; i < 12; ++i) {
    const qreal a = i * M_PI / 6;
    p.drawEllipse(QPointF(c.x() + 16.5 * std::cos(a), c.y() + 16.5 * std::sin(a)), 3.6, 3.6);
  }
  p.setBrush(kRed);
  p.drawEllipse(c, 11, 11);
  p.setBrush(kIvoryLight);
  p.drawEllipse(c, 7.5, 7.5);
  p.setBrush(kRed);
  p.drawEllipse(c, 5, 5);
  p.setBrush(kIvoryLight);
  p.drawEllipse(c, 1.6, 1.6);
}

void dotsFace(QPainter& p, int rank) {
  struct D {
    qreal x, y, r;
    QColor c;
  };
  std::vector<D> ds;
  switch (rank) {
    case 1:
      bigDot(p);
      return;
    case 2:
      ds = {{30, 21, 14, kGreen}, {30, 59, 14, kBlue}};
      break;
    case 3:
      ds = {{15, 15, 11, kBlue}, {30, 40, 11, kRed}, {45, 65, 11, kGreen}};
      break;
    case 4:
      ds = {{17, 21, 12, kBlue}, {43, 21, 12, kGreen}, {17, 59, 12, kGreen}, {43, 59, 12, kBlue}};
      break;
    case 5:
      ds = {{15, 15, 10.5, kBlue},
            {45, 15, 10.5, kGreen},
            {30, 40, 10.5, kRed},
            {15, 65, 10.5, kGreen},
            {45, 65, 10.5, kBlue}};
      break;
    case 6:
      ds = {{17, 14, 10, kGreen}, {43, 14, 10, kGreen}, {17, 43, 10, kRed},
            {43, 43, 10, kRed},   {17, 66, 10, kRed},   {43, 66, 10, kRed}};
      break;
    case 7:
      ds = {{13, 10, 8.5, kGreen}, {30, 19, 8.5, kGreen}, {47, 28, 8.5, kGreen},
            {18, 48, 9.5, kRed},   {42, 48, 9.5, kRed},   {18, 69, 9.5, kRed},
            {42, 69, 9.5, kRed}};
      break;
    case 8:
      for (int i = 0; i < 4; ++i) {
        ds.push_back({17, 11 + 19.3 * i, 9.5, kBlue});
        ds.push_back({43, 11 + 19.3 * i, 9.5, kBlue});
      }
      break;
    default:
      for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
          ds.push_back({12 + 18.0 * col, 14 + 26.0 * row, 8.6,
                        row == 0   ? kBlue
                        : row == 1 ? kRed
                                   : kGreen});
  }
  for (const auto& d : ds) dot(p, {d.x, d.y}, d.r, d.c);
}

void stick(QPainter& p, QPointF c, qreal len, qreal angle, const QColor& colour) {
  p.save();
  p.translate(c);
  p.rotate(angle);
  const qreal w = 10.5;
  const QRectF r(-w / 2, -len / 2, w, len);
  const QColor dark = colour.darker(170);
  QLinearGradient g(-w / 2, 0, w / 2, 0);
  g.setColorAt(0, dark);
  g.setColorAt(0.4, colour.lighter(135));
  g.setColorAt(1, dark);
  p.fillPath(roundRect(r, w / 2.4), g);
  p.setPen(QPen(dark.darker(140), 1.8, Qt::SolidLine, Qt::FlatCap));
  for (qreal y : {-len / 2 + 3.2, 0.0, len / 2 - 3.2})
    p.drawLine(QPointF(-w / 2 + 0.3, y), QPointF(w / 2 - 0.3, y));
  p.setPen(QPen(colour.lighter(170), 1.3));
  p.drawLine(QPointF(-1.2, -len / 2 + 5), QPointF(-1.2, -2));
  p.drawLine(QPointF(-1.2, 2), QPointF(-1.2, len / 2 - 5));
  p.restore();
}

void bird(QPainter& p) {
  const QColor body(0x1F, 0x8E, 0x3E);
  const QColor wing(0x0D, 0x5E, 0x2A);
  p.setPen(Qt::NoPen);
  // tail feathers fanning down
  const std::array<QPointF, 3> tips = {QPointF(12, 76), QPointF(28, 78), QPointF(44, 75)};
  const std::array<QColor, 3> tailColours = {kBlue, body, kBlue};
  for (int i = 0; i < 3; ++i) {
    QPainterPath f;
    f.moveTo(27, 48);
    f.quadTo(QPointF((27 + tips[i].x()) / 2 - 6, (48 + tips[i].y()) / 2), tips[i]);
    f.quadTo(QPointF((27 + tips[i].x()) / 2 + 6, (48 + tips[i].y()) / 2), QPointF(31, 48));
    f.closeSubpath();
    p.fillPath(f, tailColours[i]);
    p.setBrush(kRed);
    p.drawEllipse(tips[i] + QPointF(tips[i].x() < 28   ? 2
                                    : tips[i].x() > 28 ? -2
                                                       : 0,
                                    -5),
                  3.2, 3.2);
  }
  // legs
  p.setPen(QPen(QColor(0xB0, 0x40, 0x10), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(24, 52), QPointF(21, 60));
  p.drawLine(QPointF(32, 53), QPointF(33, 61));
  p.setPen(Qt::NoPen);
  // body and breast
  QLinearGradient g(0, 22, 0, 56);
  g.setColorAt(0, body.lighter(125));
  g.setColorAt(1, body.darker(120));
  p.setBrush(g);
  p.drawEllipse(QPointF(28, 40), 14, 15);
  p.setBrush(QColor(0xF2, 0xC2, 0x3A));
  p.drawEllipse(QPointF(34, 41), 6.5, 10);
  // wing
  QPainterPath w;
  w.moveTo(16, 34);
  w.quadTo(22, 28, 32, 36);
  w.quadTo(28, 50, 14, 52);
  w.quadTo(12, 44, 16, 34);
  p.fillPath(w, wing);
  p.setPen(QPen(body.lighter(150), 1.0));
  p.drawLine(QPointF(18, 40), QPointF(27, 39));
  p.drawLine(QPointF(17, 45), QPointF(25, 44));
  p.setPen(Qt::NoPen);
  // head, crest, beak, eye
  p.setBrush(body);
  p.drawEllipse(QPointF(36, 20), 9, 9);
  QPainterPath crest;
  crest.moveTo(31, 13);
  crest.lineTo(30, 3);
  crest.lineTo(35, 11);
  crest.lineTo(38, 2);
  crest.lineTo(39, 12);
  crest.lineTo(44, 6);
  crest.lineTo(42, 15);
  crest.closeSubpath();
  p.fillPath(crest, kRed);
  QPainterPath beak;
  beak.moveTo(44, 17);
  beak.lineTo(53, 21);
  beak.lineTo(44, 24);
  beak.closeSubpath();
  p.fillPath(beak, QColor(0xE8, 0x8A, 0x10));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(39, 18), 3.2, 3.2);
  p.setBrush(Qt::black);
  p.drawEllipse(QPointF(39.8, 18), 1.7, 1.7);
}

void bambooFace(QPainter& p, int rank) {
  const QColor g(0x1A, 0x8C, 0x3C);
  const QColor b(0x1E, 0x5C, 0xB0);
  const QColor r = kRed;
  switch (rank) {
    case 1:
      bird(p);
      return;
    case 2:
      stick(p, {30, 21}, 32, 0, g);
      stick(p, {30, 59}, 32, 0, b);
      return;
    case 3:
      stick(p, {30, 21}, 32, 0, b);
      stick(p, {19, 59}, 32, 0, g);
      stick(p, {41, 59}, 32, 0, g);
      return;
    case 4:
      for (qreal y : {21.0, 59.0}) {
        stick(p, {19, y}, 32, 0, y < 40 ? g : b);
        stick(p, {41, y}, 32, 0, y < 40 ? b : g);
      }
      return;
    case 5:
      for (qreal y : {19.0, 61.0}) {
        stick(p, {14, y}, 30, 0, g);
        stick(p, {46, y}, 30, 0, b);
      }
      stick(p, {30, 40}, 30, 0, r);
      return;
    case 6:
      for (qreal y : {21.0, 59.0})
        for (int i = 0; i < 3; ++i) stick(p, {13 + 17.0 * i, y}, 32, 0, i == 1 ? b : g);
      return;
    case 7:
      stick(p, {30, 13}, 22, 0, r);
      for (qreal y : {38.0, 65.0})
        for (int i = 0; i < 3; ++i) stick(p, {13 + 17.0 * i, y}, 24, 0, i == 1 ? b : g);
      return;
    case 8:
      // an M over a W
      for (int i = 0; i < 4; ++i) {
        const qreal x = 9.5 + 13.7 * i;
        const qreal a = (i % 2 == 0) ? 14 : -14;
        stick(p, {x, 21}, 32, a, i < 2 ? g : b);
        stick(p, {x, 59}, 32, -a, i < 2 ? b : g);
      }
      return;
    default:
      for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
          stick(p, {13 + 17.0 * col, 14 + 26.0 * row}, 24, 0, col == 1 ? r : row == 1 ? b : g);
  }
}

void wildFace(QPainter& p) {
  p.fillPath(roundRect(QRectF(3, 3, 54, 74), 6), QColor(0xFF, 0xE7, 0x9A));
  p.strokePath(roundRect(QRectF(3, 3, 54, 74), 6), QPen(kGold, 3.2));
  p.strokePath(roundRect(QRectF(8, 8, 44, 64), 4), QPen(kGold, 1.2));
  TextStyle s;
  s.fill = kRed;
  s.bold = 3.0;
  s.outline = QColor(0x7A, 0x08, 0x08);
  s.outlineWidth = 0.8;
  drawText(p, QRectF(6, 12, 48, 56), QStringLiteral("財"), s);
}

// ---------------------------------------------------------------- flower glyphs (40 x 40)

void petalFlower(QPainter& p, QPointF c, qreal r, const QColor& petal, const QColor& heart) {
  p.setPen(Qt::NoPen);
  p.setBrush(petal);
  for (int i = 0; i < 5; ++i) {
    const qreal a = -M_PI / 2 + i * 2 * M_PI / 5;
    p.drawEllipse(QPointF(c.x() + r * 0.55 * std::cos(a), c.y() + r * 0.55 * std::sin(a)), r * 0.5,
                  r * 0.5);
  }
  p.setBrush(heart);
  p.drawEllipse(c, r * 0.3, r * 0.3);
}

void plum(QPainter& p) {
  const QColor brown(0x6B, 0x3A, 0x1E);
  p.setPen(QPen(brown, 3.2, Qt::SolidLine, Qt::RoundCap));
  QPainterPath b;
  b.moveTo(4, 38);
  b.cubicTo(12, 28, 16, 22, 34, 6);
  p.drawPath(b);
  p.setPen(QPen(brown, 2.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(15, 24), QPointF(6, 14));
  const QColor pink(0xE8, 0x4A, 0x8C);
  petalFlower(p, {31, 9}, 9, pink, QColor(0xFF, 0xD8, 0x30));
  petalFlower(p, {8, 13}, 8, pink, QColor(0xFF, 0xD8, 0x30));
  petalFlower(p, {21, 22}, 9, pink, QColor(0xFF, 0xD8, 0x30));
}

void orchid(QPainter& p) {
  const QColor leaf(0x22, 0x80, 0x30);
  p.setPen(QPen(leaf, 2.6, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  QPainterPath l1, l2, l3;
  l1.moveTo(20, 39);
  l1.quadTo(4, 28, 2, 10);
  l2.moveTo(20, 39);
  l2.quadTo(30, 24, 38, 20);
  l3.moveTo(20, 39);
  l3.quadTo(18, 24, 22, 14);
  p.drawPath(l1);
  p.drawPath(l2);
  p.drawPath(l3);
  p.setPen(Qt::NoPen);
  const QColor purple(0x8A, 0x3A, 0xC0);
  p.setBrush(purple);
  for (int i = 0; i < 3; ++i) {
    p.save();
    p.translate(22, 12);
    p.rotate(-90 + (i - 1) * 60);
    p.drawEllipse(QPointF(7, 0), 7, 3.6);
    p.restore();
  }
  p.setBrush(QColor(0xFF, 0xE0, 0x40));
  p.drawEllipse(QPointF(22, 12), 2.4, 2.4);
}

void bambooPlant(QPainter& p) {
  const QColor stalk(0x2A, 0x8A, 0x2A);
  for (qreal x : {12.0, 26.0}) {
    p.fillPath(roundRect(QRectF(x - 2.5, 2, 5, 37), 2), stalk);
    p.setPen(QPen(stalk.darker(170), 1.4));
    for (qreal y : {10.0, 20.0, 30.0}) p.drawLine(QPointF(x - 2.5, y), QPointF(x + 2.5, y));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x14, 0x66, 0x1E));
  const std::array<std::array<qreal, 3>, 5> leaves = {
      {{16, 9, -30}, {31, 14, 25}, {6, 20, 200}, {33, 27, -20}, {18, 30, 215}}};
  for (const auto& l : leaves) {
    p.save();
    p.translate(l[0], l[1]);
    p.rotate(l[2]);
    p.drawEllipse(QPointF(6, 0), 7.5, 2.3);
    p.restore();
  }
}

void chrysanthemum(QPainter& p) {
  p.setPen(QPen(QColor(0x2A, 0x7A, 0x2A), 2.2));
  p.drawLine(QPointF(20, 26), QPointF(20, 40));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2A, 0x7A, 0x2A));
  p.drawEllipse(QPointF(13, 34), 6, 3);
  const QPointF c(20, 15);
  for (int ring = 0; ring < 2; ++ring) {
    p.setBrush(ring == 0 ? QColor(0xF0, 0x9A, 0x10) : QColor(0xFF, 0xC8, 0x20));
    for (int i = 0; i < 16; ++i) {
      p.save();
      p.translate(c);
      p.rotate(i * 22.5 + ring * 11.25);
      p.drawEllipse(QPointF(ring == 0 ? 8.5 : 5.5, 0), ring == 0 ? 6.5 : 4.5, 1.8);
      p.restore();
    }
  }
  p.setBrush(QColor(0xB0, 0x50, 0x08));
  p.drawEllipse(c, 3.2, 3.2);
}

void sprout(QPainter& p) {  // spring
  const QColor g(0x3A, 0xA0, 0x30);
  p.setPen(QPen(QColor(0x7A, 0x4A, 0x20), 2.0));
  p.drawLine(QPointF(2, 38), QPointF(38, 38));
  p.setPen(QPen(g.darker(130), 2.4, Qt::SolidLine, Qt::RoundCap));
  QPainterPath stem;
  stem.moveTo(20, 38);
  stem.quadTo(18, 24, 21, 12);
  p.drawPath(stem);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.save();
  p.translate(19, 24);
  p.rotate(-150);
  p.drawEllipse(QPointF(8, 0), 9, 4.5);
  p.restore();
  p.save();
  p.translate(21, 20);
  p.rotate(-25);
  p.drawEllipse(QPointF(8, 0), 9, 4.5);
  p.restore();
  petalFlower(p, {21, 9}, 8, QColor(0xF0, 0x70, 0xA0), QColor(0xFF, 0xE0, 0x40));
}

void sun(QPainter& p) {  // summer
  const QPointF c(20, 20);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF0, 0x6A, 0x10));
  for (int i = 0; i < 12; ++i) {
    p.save();
    p.translate(c);
    p.rotate(i * 30);
    QPainterPath ray;
    ray.moveTo(11, -3.2);
    ray.lineTo(19, 0);
    ray.lineTo(11, 3.2);
    ray.closeSubpath();
    p.drawPath(ray);
    p.restore();
  }
  QRadialGradient g(c, 11);
  g.setColorAt(0, QColor(0xFF, 0xD0, 0x30));
  g.setColorAt(1, QColor(0xE0, 0x30, 0x10));
  p.setBrush(g);
  p.drawEllipse(c, 10.5, 10.5);
}

void mapleLeaf(QPainter& p) {  // autumn
  // a five-lobed maple leaf on a short stem
  static const QPointF kOutline[] = {
      {20, 1},   {23, 8},  {27.5, 6}, {26.5, 13}, {34, 9},    {32.5, 15}, {39, 16}, {33.5, 21},
      {36, 25},  {27, 24}, {28, 30},  {21, 27},   {19, 27},   {12, 30},   {13, 24}, {4, 25},
      {6.5, 21}, {1, 16},  {7.5, 15}, {6, 9},     {13.5, 13}, {12.5, 6},  {17, 8}};
  QPainterPath leaf;
  QPolygonF outline;
  for (const QPointF& pt : kOutline) outline << pt;
  leaf.addPolygon(outline);
  leaf.closeSubpath();
  QLinearGradient g(0, 2, 0, 30);
  g.setColorAt(0, QColor(0xF4, 0x9A, 0x14));
  g.setColorAt(1, QColor(0xCC, 0x2A, 0x10));
  p.fillPath(leaf, g);
  p.strokePath(leaf, QPen(QColor(0x8A, 0x24, 0x08), 0.8));
  p.setPen(QPen(QColor(0x7A, 0x20, 0x08), 1.4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(20, 25), QPointF(20.5, 34));
  p.setPen(QPen(QColor(0x8A, 0x24, 0x08), 1.0, Qt::SolidLine, Qt::RoundCap));
  for (const QPointF& tip :
       {QPointF(20, 4), QPointF(33, 12), QPointF(7, 12), QPointF(33, 22), QPointF(7, 22)})
    p.drawLine(QPointF(20, 25), tip);
}

void snowflake(QPainter& p) {  // winter
  const QColor ice(0x1E, 0x6A, 0xD0);
  p.setPen(QPen(ice, 2.4, Qt::SolidLine, Qt::RoundCap));
  const QPointF c(20, 20);
  for (int i = 0; i < 6; ++i) {
    p.save();
    p.translate(c);
    p.rotate(i * 60);
    p.drawLine(QPointF(0, 0), QPointF(0, -18));
    p.drawLine(QPointF(0, -10), QPointF(-5, -15));
    p.drawLine(QPointF(0, -10), QPointF(5, -15));
    p.restore();
  }
  p.setPen(Qt::NoPen);
  p.setBrush(ice.lighter(150));
  p.drawEllipse(c, 3, 3);
}

void flowerFace(QPainter& p, int flower) {
  static const char16_t kNames[] = u"梅兰竹菊春夏秋冬";
  static const QColor kColours[] = {QColor(0xB0, 0x18, 0x5A), QColor(0x6A, 0x2A, 0x9A),
                                    QColor(0x1C, 0x70, 0x2C), QColor(0xC0, 0x70, 0x00),
                                    QColor(0x2E, 0x88, 0x2E), QColor(0xD0, 0x30, 0x10),
                                    QColor(0xB0, 0x50, 0x10), QColor(0x20, 0x50, 0xB0)};
  const QColor colour = kColours[flower - 1];
  // the flower's number in the corner, as on printed sets
  TextStyle num;
  num.fill = flower <= 4 ? kRed : kBlue;
  num.fit = Fit::Ink;
  num.bold = 1.0;
  drawText(p, QRectF(2, 2, 11, 15), QString::number(flower), num);
  p.save();
  p.translate(13, 2);
  p.scale(44.0 / 40, 40.0 / 40);
  switch (flower) {
    case 1:
      plum(p);
      break;
    case 2:
      orchid(p);
      break;
    case 3:
      bambooPlant(p);
      break;
    case 4:
      chrysanthemum(p);
      break;
    case 5:
      sprout(p);
      break;
    case 6:
      sun(p);
      break;
    case 7:
      mapleLeaf(p);
      break;
    default:
      snowflake(p);
      break;
  }
  p.restore();
  glyph(p, QRectF(10, 44, 40, 34), QString(QChar(kNames[flower - 1])), colour, 2.6);
}

void positionFace(QPainter& p, int position) {
  if (position <= 6)
    honourFace(p, position + 1);
  else if (position >= 9 && position <= 17)
    bambooFace(p, position - 8);
  else if (position >= 18 && position <= 26)
    characterFace(p, position - 17);
  else if (position >= 27)
    dotsFace(p, position - 26);
}

// ---------------------------------------------------------------- tile bodies

// Maps the upright content box onto a face rectangle, turned for the orientation.
QTransform contentTransform(int orientation, const QRectF& f) {
  const qreal l = f.left(), t = f.top(), w = f.width(), h = f.height();
  switch (orientation) {
    case 1:  // read from the left: the top of a character points right
      return QTransform(0, h / kCW, -w / kCH, 0, l + w, t);
    case 2:  // read from across the table: upside down
      return QTransform(-w / kCW, 0, 0, -h / kCH, l + w, t + h);
    case 3:  // read from the right: the top points left
      return QTransform(0, -h / kCW, w / kCH, 0, l, t + h);
    default:
      return QTransform(w / kCW, 0, 0, h / kCH, l, t);
  }
}

void paintContent(QPainter& p, int orientation, const QRectF& face, const ContentFn& content) {
  p.save();
  p.setTransform(contentTransform(orientation, face), true);
  content(p);
  p.restore();
}

struct Lying {
  qreal face;   // height of the face (or the top surface of a back)
  qreal layer;  // first layer of the front edge
};

Lying lyingGeometry(int orientation, QSizeF s) {
  switch (orientation) {
    case 1:
    case 3:
      return {s.height() * 33 / 46, s.height() * 4 / 46};
    case 2:
      return {s.height() * 27 / 37, s.height() * 3 / 37};
    default:
      return {s.height() * 44 / 58, s.height() * 4 / 58};
  }
}

qreal radiusFor(QSizeF s) {
  return std::min(s.width(), s.height()) * 0.11;
}

QLinearGradient verticalJade(qreal top, qreal bottom) {
  QLinearGradient g(0, top, 0, bottom);
  g.setColorAt(0, kJadeLight);
  g.setColorAt(0.45, kJade);
  g.setColorAt(1, kJadeDark);
  return g;
}

// A tile lying face up (with content) or face down (content empty).
void lyingTile(QPainter& p, int orientation, QSizeF s, const ContentFn* content) {
  const Lying g = lyingGeometry(orientation, s);
  const qreal r = radiusFor(s);
  const QRectF body(0.5, 0.5, s.width() - 1, s.height() - 1);
  if (content) {
    p.fillPath(roundRect(body, r), verticalJade(g.face, s.height()));
    p.fillPath(roundRect(QRectF(0.5, 0.5, s.width() - 1, g.face + g.layer), r), kIvoryShade);
    const QRectF face(0.5, 0.5, s.width() - 1, g.face);
    QLinearGradient fg(face.topLeft(), face.bottomRight());
    fg.setColorAt(0, kIvoryLight);
    fg.setColorAt(1, kIvory);
    p.fillPath(roundRect(face, r), fg);
    p.strokePath(roundRect(face.adjusted(0.3, 0.3, -0.3, -0.3), r),
                 QPen(kIvoryShade.darker(115), 0.5));
    const qreal ix = s.width() * 0.07, iy = g.face * 0.07;
    paintContent(p, orientation, face.adjusted(ix, iy, -ix, -iy), *content);
  } else {
    // face down: ivory layer at the bottom, jade back on top
    QLinearGradient ig(0, g.face, 0, s.height());
    ig.setColorAt(0, kIvory);
    ig.setColorAt(1, kIvoryShade);
    p.fillPath(roundRect(body, r), ig);
    p.fillPath(roundRect(QRectF(0.5, 0.5, s.width() - 1, g.face + g.layer), r), kJadeDark);
    const QRectF top(0.5, 0.5, s.width() - 1, g.face);
    QLinearGradient tg(top.topLeft(), top.bottomRight());
    tg.setColorAt(0, kJadeLight);
    tg.setColorAt(0.55, kJade);
    tg.setColorAt(1, kJade.darker(115));
    p.fillPath(roundRect(top, r), tg);
    const qreal m = std::min(s.width(), g.face) * 0.14;
    p.strokePath(roundRect(top.adjusted(m, m, -m, -m), r * 0.7),
                 QPen(QColor(255, 255, 255, 55), std::max(0.8, s.width() / 40)));
  }
  p.strokePath(roundRect(body, r), QPen(kOutline, 0.8));
}

// The user's own standing tile, face towards the user.
void standingFace(QPainter& p, QSizeF s, const ContentFn& content) {
  const qreal r = radiusFor(s);
  const QRectF body(0.5, 0.5, s.width() - 1, s.height() - 1);
  QLinearGradient bg(0, 0, s.width(), 0);
  bg.setColorAt(0, kJadeDark);
  bg.setColorAt(0.4, kJadeLight);
  bg.setColorAt(1, kJadeDark);
  p.fillPath(roundRect(body, r), bg);
  const qreal backStrip = s.height() * 5 / 77;
  p.fillPath(roundRect(QRectF(0.5, backStrip, s.width() - 1, s.height() - backStrip - 0.5), r),
             kIvoryShade);
  const QRectF face(0.5, backStrip + s.height() * 3 / 77, s.width() - 1,
                    s.height() - backStrip - s.height() * 3 / 77 - 0.5);
  QLinearGradient fg(0, face.top(), 0, face.bottom());
  fg.setColorAt(0, kIvoryLight);
  fg.setColorAt(0.85, kIvory);
  fg.setColorAt(1, kIvoryShade);
  p.fillPath(roundRect(face, r), fg);
  const qreal ix = s.width() * 0.07, iy = face.height() * 0.05;
  paintContent(p, 4, face.adjusted(ix, iy, -ix, -iy * 1.6), content);
  p.strokePath(roundRect(body, r), QPen(kOutline, 0.8));
}

// A standing tile seen from behind: its jade back and a strip of the top edge.
void standingBackFront(QPainter& p, QSizeF s) {
  const qreal r = radiusFor(s);
  const QRectF body(0.5, 0.5, s.width() - 1, s.height() - 1);
  p.fillPath(roundRect(body, r), kIvory);
  const qreal strip = s.height() * 0.08;
  const QRectF back(0.5, strip, s.width() - 1, s.height() - strip - 0.5);
  QLinearGradient bg(0, 0, s.width(), 0);
  bg.setColorAt(0, kJadeDark);
  bg.setColorAt(0.35, kJadeLight);
  bg.setColorAt(1, kJadeDark);
  p.fillPath(roundRect(back, r), bg);
  const qreal m = s.width() * 0.16;
  p.strokePath(roundRect(back.adjusted(m, m, -m, -m), r * 0.6),
               QPen(QColor(255, 255, 255, 60), s.width() / 30));
  p.strokePath(roundRect(body, r), QPen(kOutline, 0.8));
}

// A standing tile of a side player seen edge-on: the ivory layer towards the player,
// the jade layer towards the table, and the top edge above.
void standingBackSide(QPainter& p, QSizeF s, bool ivoryLeft) {
  const qreal r = radiusFor(s);
  const QRectF body(0.5, 0.5, s.width() - 1, s.height() - 1);
  const qreal cap = s.height() * 0.17;
  const qreal split = ivoryLeft ? s.width() * 0.42 : s.width() * 0.58;
  p.save();
  p.setClipPath(roundRect(body, r));
  const QRectF left(0, 0, split, s.height());
  const QRectF right(split, 0, s.width() - split, s.height());
  const QRectF ivory = ivoryLeft ? left : right;
  const QRectF jade = ivoryLeft ? right : left;
  QLinearGradient ig(0, cap, 0, s.height());
  ig.setColorAt(0, kIvory);
  ig.setColorAt(1, kIvoryShade);
  p.fillRect(ivory, ig);
  p.fillRect(jade, verticalJade(0, s.height()));
  // the top edge, lit from above
  p.fillRect(QRectF(ivory.left(), 0, ivory.width(), cap), kIvoryLight);
  p.fillRect(QRectF(jade.left(), 0, jade.width(), cap), kJadeLight.lighter(110));
  p.setPen(QPen(QColor(0, 0, 0, 70), 0.8));
  p.drawLine(QPointF(0, cap), QPointF(s.width(), cap));
  p.setPen(QPen(QColor(0, 0, 0, 50), 0.6));
  p.drawLine(QPointF(split, 0), QPointF(split, s.height()));
  p.restore();
  p.strokePath(roundRect(body, r), QPen(kOutline, 0.8));
}

// Where a picture is shown: a standing back is stretched to the side's standing size,
// so it is designed at that size.
QSizeF standingBackDesign(int orientation, QSize size) {
  switch (orientation) {
    case 0:
      return {48, 78};
    case 1:
    case 3:
      return {35, 66};
    case 2:
      return {36, 50};
    default:
      return QSizeF(size);
  }
}

QImage faceTile(int orientation, QSize size, const ContentFn& content) {
  return render(size, [&](QPainter& p) {
    if (orientation == 4)
      standingFace(p, QSizeF(size), content);
    else
      lyingTile(p, orientation, QSizeF(size), &content);
  });
}

}  // namespace

QImage drawTile(int orientation, int position, QSize size) {
  if (position == 7) {
    const QSizeF design = standingBackDesign(orientation, size);
    return render(size, design, [&](QPainter& p) {
      if (orientation == 1 || orientation == 3)
        standingBackSide(p, design, orientation == 1);
      else
        standingBackFront(p, design);
    });
  }
  if (position == 8) {
    return render(size, [&](QPainter& p) {
      lyingTile(p, orientation == 4 ? 0 : orientation, QSizeF(size), nullptr);
    });
  }
  return faceTile(orientation, size, [position](QPainter& p) { positionFace(p, position); });
}

QImage drawWildTile(int orientation, QSize size) {
  return faceTile(orientation, size, [](QPainter& p) { wildFace(p); });
}

QImage drawFlowerTile(int orientation, int flower, QSize size) {
  return faceTile(orientation, size, [flower](QPainter& p) { flowerFace(p, flower); });
}

}  // namespace picgen
