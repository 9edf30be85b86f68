#include "paint.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QTransform>
#include <algorithm>

namespace picgen {

namespace {
int g_density = 1;
}  // namespace

void setDensity(int d) {
  g_density = d;
}

int density() {
  return g_density;
}

QImage render(QSize logical, QSizeF design, const PaintFn& fn) {
  const QSize target = logical * g_density;
  const QSize big(target.width() * kSuper, target.height() * kSuper);
  QImage canvas(big, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  {
    QPainter p(&canvas);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.scale(big.width() / design.width(), big.height() / design.height());
    fn(p);
  }
  return canvas.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_ARGB32);
}

QFont cjkFont() {
  QFont f(QStringLiteral("WenQuanYi Micro Hei"));
  f.setPixelSize(200);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setStyleStrategy(QFont::NoFontMerging);
  return f;
}

bool cjkFontAvailable() {
  return QFontInfo(cjkFont()).family().contains(QStringLiteral("WenQuanYi"));
}

namespace {
QPainterPath rawText(const QString& text) {
  QPainterPath path;
  path.addText(0, 0, cjkFont(), text);
  return path;
}
}  // namespace

QPainterPath textInBox(const QRectF& box, const QString& text, Fit fit) {
  const QPainterPath path = rawText(text);
  QRectF ref = path.boundingRect();
  if (fit == Fit::Cell) {
    const QRectF cell = rawText(QString(text.size(), QChar(0x570B))).boundingRect();  // 國
    ref = QRectF(cell.left(), cell.top(), cell.width(), cell.height());
  }
  if (ref.width() <= 0 || ref.height() <= 0) return {};
  const qreal scale = std::min(box.width() / ref.width(), box.height() / ref.height());
  QTransform t;
  t.translate(box.center().x(), box.center().y());
  t.scale(scale, scale);
  t.translate(-ref.center().x(), -ref.center().y());
  return t.map(path);
}

void drawText(QPainter& p, const QRectF& box, const QString& text, const TextStyle& s) {
  const QPainterPath path = textInBox(box, text, s.fit);
  const auto pen = [](const QBrush& b, qreal w) {
    return QPen(b, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  };
  if (s.shadow.alpha() > 0) {
    const QPainterPath sh = path.translated(s.shadowOffset);
    if (s.outlineWidth > 0) p.strokePath(sh, pen(s.shadow, s.bold + 2 * s.outlineWidth));
    p.fillPath(sh, s.shadow);
    if (s.bold > 0) p.strokePath(sh, pen(s.shadow, s.bold));
  }
  if (s.outlineWidth > 0 && s.outline.alpha() > 0)
    p.strokePath(path, pen(s.outline, s.bold + 2 * s.outlineWidth));
  p.fillPath(path, s.fill);
  if (s.bold > 0) p.strokePath(path, pen(s.fill, s.bold));
}

QPainterPath roundRect(const QRectF& r, qreal radius) {
  QPainterPath path;
  path.addRoundedRect(r, radius, radius);
  return path;
}

}  // namespace picgen
