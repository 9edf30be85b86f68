#include "qt/scene_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "view/scene.h"

namespace tavren::qt {

namespace {

const QString kFontFamily = QStringLiteral("WenQuanYi Micro Hei");

QColor Rgb(std::uint32_t c) {
  return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

std::uint64_t TextHash(const Control& k, const MainForm& form) {
  std::uint64_t h = std::hash<std::string_view>{}(k.caption);
  h ^= (static_cast<std::uint64_t>(k.color) << 1) ^ (static_cast<std::uint64_t>(k.fontSize) << 40);
  if (k.type == ControlType::List && k.index >= 0 && k.index < 2)
    for (const std::string& item : form.Sysmsg[static_cast<std::size_t>(k.index)].items)
      h = h * 1099511628211ULL ^ std::hash<std::string_view>{}(item);
  return h;
}

bool MultiLine(const Control& k) {
  return k.caption.find('\n') != std::string::npos;
}

}  // namespace

QFont ControlFont(const Control& k) {
  QFont f(kFontFamily);
  f.setPointSize(k.fontSize > 0 ? k.fontSize : 10);
  return f;
}

bool LabelElided(const Control& k) {
  if (k.type != ControlType::Label || k.caption.empty() || MultiLine(k)) return false;
  return QFontMetrics(ControlFont(k)).horizontalAdvance(QString::fromStdString(k.caption)) > k.w;
}

int PictureSet(double density) {
  // A little slack: a ratio of 2.0000001 from a rounded scale is still the 2x set.
  for (int set = 1; set < kFinestPictureSet; ++set)
    if (density <= set + 1e-6) return set;
  return kFinestPictureSet;
}

double PainterDensity(const QPainter& p) {
  const double ratio = p.device() != nullptr ? p.device()->devicePixelRatio() : 1.0;
  const QTransform& t = p.worldTransform();
  const double scale = std::max(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22()));
  return ratio * (scale > 0 ? scale : 1.0);
}

QString PicturePath(int id, int set) {
  const QString at = set > 1 ? QStringLiteral("@%1x").arg(set) : QString();
  switch (id) {
    case kPicCountdown:
      return QStringLiteral(":/pics/countdown%1.png").arg(at);
    case kPicReady:
      return QStringLiteral(":/pics/ready%1.png").arg(at);
    case kPicDealer:
      return QStringLiteral(":/pics/dealer%1.png").arg(at);
    case kPicWildFrame:
      return QStringLiteral(":/pics/wild-frame%1.png").arg(at);
    default:
      return QStringLiteral(":/pics/%1%2.png").arg(id).arg(at);
  }
}

QPixmap ChromePicture(const QString& name, double density) {
  const int set = PictureSet(density);
  QPixmap pm(set > 1 ? QStringLiteral(":/pics/%1@%2x.png").arg(name).arg(set)
                     : QStringLiteral(":/pics/%1.png").arg(name));
  if (pm.isNull())
    pm = QPixmap(QStringLiteral(":/pics/%1.png").arg(name));
  else
    pm.setDevicePixelRatio(set);
  return pm;
}

QPixmap ScenePainter::picture(int id, int w, int h, double density) {
  if (w <= 0 || h <= 0) return none_;
  return pictureAt(
      id,
      QSize(static_cast<int>(std::lround(w * density)), static_cast<int>(std::lround(h * density))),
      PictureSet(density));
}

QPixmap ScenePainter::pictureAt(int id, QSize device, int set) {
  const int w = device.width(), h = device.height();
  if (id <= 0 || w <= 0 || h <= 0) return none_;
  const Key key{id, w, h, set};
  auto it = cache_.find(key);
  if (it != cache_.end()) {
    uses_.splice(uses_.begin(), uses_, it->use);
    return it->pixmap;
  }
  ++rasterisations_;
  // The set of the density drawn at; a picture missing from it comes from 1x.
  QImage img(PicturePath(id, set));
  if (img.isNull() && set > 1) img = QImage(PicturePath(id));
  QPixmap pm;
  if (!img.isNull()) {
    // Qt scales a picture with a painter on the new image, whose paint engine
    // (about 2 kB) would stay with the pixels as long as the picture is kept:
    // the pixels are taken over into an image of their own.
    if (img.size() != QSize(w, h))
      img = img.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).copy();
    pm = QPixmap::fromImage(img);
    pm.setDevicePixelRatio(set);
  }
  budgetSet_ = std::max(budgetSet_, set);
  uses_.push_front(key);
  const std::size_t bytes = pm.isNull() ? 0
                                        : static_cast<std::size_t>(pm.width()) *
                                              static_cast<std::size_t>(pm.height()) *
                                              static_cast<std::size_t>(std::max(pm.depth(), 8) / 8);
  cache_.insert(key, Cached{pm, bytes, uses_.begin()});
  cachedBytes_ += bytes;
  trimCache();
  return pm;
}

void ScenePainter::setCacheBudget(std::size_t bytes) {
  cacheBudget_ = bytes;
  trimCache();
}

void ScenePainter::trimCache() {
  // The picture just drawn (the front) always stays.
  while (cachedBytes_ > cacheBudget() && uses_.size() > 1) {
    auto it = cache_.find(uses_.back());
    if (it != cache_.end()) {
      cachedBytes_ -= it->bytes;
      cache_.erase(it);
    }
    uses_.pop_back();
  }
}

void DrawCloth(QPainter& p, int w, int h) {
  // A soft light in the middle of green baize.
  QRadialGradient g(w / 2.0, h / 2.0, std::max(w, h) * 0.65);
  g.setColorAt(0.0, QColor(0x2F, 0x8A, 0x5A));
  g.setColorAt(0.6, QColor(0x1D, 0x66, 0x40));
  g.setColorAt(1.0, QColor(0x10, 0x40, 0x28));
  p.fillRect(QRectF(0, 0, w, h), g);
  // A faint inner border marks the playing area.
  p.setPen(QPen(QColor(255, 255, 255, 28), 2));
  p.drawRoundedRect(QRectF(w * 0.14, h * 0.2, w * 0.72, h * 0.56), 18, 18);
}

namespace {

// Rows of cloth put together at a time where the painter's picture cannot be
// written directly: a strip small enough to stay in the processor's cache.
constexpr int kClothStripRows = 32;

// to[i] = from[n - 1 - i] for i < n.
void CopyMirrored(const QRgb* from, QRgb* to, int n) {
  int i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= n; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - i - 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_shuffle_epi32(v, 0x1B));
  }
#endif
  for (; i < n; ++i) to[i] = from[n - 1 - i];
}

// Columns [x0, x1) of a row of a cloth `width` pixels wide, from the row of its
// left half (`half` pixels wide) that row mirrors.
void PutClothRow(const QRgb* from, QRgb* to, int x0, int x1, int half, int width) {
  const int leftEnd = std::min(x1, half);     // columns as they are
  const int rightStart = std::max(x0, half);  // columns mirrored
  if (x0 < leftEnd)
    std::memcpy(to, from + x0, static_cast<std::size_t>(leftEnd - x0) * sizeof(QRgb));
  if (rightStart < x1) CopyMirrored(from + (width - x1), to + (rightStart - x0), x1 - rightStart);
}

// The picture the painter's engine draws into, when it is a four-byte one the
// cloth may be written into directly (a window's backing store, a snapshot).
QImage* WritablePicture(QPainter& p) {
  QPaintEngine* engine = p.paintEngine();
  if (engine == nullptr || engine->type() != QPaintEngine::Raster) return nullptr;
  QPaintDevice* device = engine->paintDevice();
  if (device == nullptr || device->devType() != QInternal::Image) return nullptr;
  auto* picture = static_cast<QImage*>(device);
  switch (picture->format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
      return picture;  // an opaque pixel is 0xffRRGGBB in each
    default:
      return nullptr;
  }
}

}  // namespace

void ScenePainter::paintFelt(QPainter& p, int w, int h) {
  if (w <= 0 || h <= 0) return;
  const QTransform dt = p.deviceTransform();
  if (dt.type() > QTransform::TxScale || dt.m11() <= 0 || dt.m22() <= 0) {
    DrawCloth(p, w, h);  // turned or mirrored: drawn as it is, no kept cloth
    return;
  }
  // The table's size in device pixels, whatever the window's zoom and the
  // screen's ratio.
  const QRectF table = dt.mapRect(QRectF(0, 0, w, h));
  const int ox = static_cast<int>(std::lround(table.left()));
  const int oy = static_cast<int>(std::lround(table.top()));
  const int cw = static_cast<int>(std::lround(table.right())) - ox;
  const int ch = static_cast<int>(std::lround(table.bottom())) - oy;
  if (cw <= 0 || ch <= 0) return;
  // The cloth is symmetric about its middle column, and most of its lower
  // half mirrors its upper half: only its top left quarter is kept, with the
  // rows of the lower left quarter that are no mirror of a row above (where
  // the inner border runs), drawn once per size; a repaint mirrors them out.
  // At 2x that is 3.4 MB, not the whole cloth's 13.
  const int qw = (cw + 1) / 2, qh = (ch + 1) / 2;
  if (feltFor_ != QSize(cw, ch)) {
    feltFor_ = QSize(cw, ch);
    const auto draw = [&](QImage& img, int top) {
      QPainter fp(&img);
      fp.translate(0, -top);
      fp.scale(static_cast<double>(cw) / w, static_cast<double>(ch) / h);
      DrawCloth(fp, w, h);
    };
    felt_ = QImage(qw, qh, QImage::Format_RGB32);
    draw(felt_, 0);
    QImage lower(qw, ch - qh, QImage::Format_RGB32);
    draw(lower, qh);
    const std::size_t rowBytes = static_cast<std::size_t>(qw) * sizeof(QRgb);
    feltOwnRow_.assign(static_cast<std::size_t>(ch - qh), -1);
    int own = 0;
    for (int y = 0; y < ch - qh; ++y)
      if (std::memcmp(lower.constScanLine(y), felt_.constScanLine(ch - 1 - (qh + y)), rowBytes) !=
          0)
        feltOwnRow_[static_cast<std::size_t>(y)] = own++;
    feltOwn_ = QImage(qw, std::max(own, 1), QImage::Format_RGB32);
    for (int y = 0; y < ch - qh; ++y)
      if (const int at = feltOwnRow_[static_cast<std::size_t>(y)]; at >= 0)
        std::memcpy(feltOwn_.scanLine(at), lower.constScanLine(y), rowBytes);
    feltStrip_ = QImage();
  }
  const auto row = [&](int cy) {
    if (cy < qh) return reinterpret_cast<const QRgb*>(felt_.constScanLine(cy));
    const int own = feltOwnRow_[static_cast<std::size_t>(cy - qh)];
    return reinterpret_cast<const QRgb*>(own >= 0 ? feltOwn_.constScanLine(own)
                                                  : felt_.constScanLine(ch - 1 - cy));
  };
  const bool plain =
      p.opacity() >= 1.0 && (p.compositionMode() == QPainter::CompositionMode_SourceOver ||
                             p.compositionMode() == QPainter::CompositionMode_Source);
  if (QImage* to = WritablePicture(p); to != nullptr && plain) {
    // Straight into the picture, inside what the painter may touch: its clip,
    // and the part of the window being repainted.
    QRegion area = QRegion(ox, oy, cw, ch) & QRegion(to->rect());
    if (p.hasClipping()) area &= dt.map(p.clipRegion());
    if (const QRegion repainted = p.paintEngine()->systemClip(); !repainted.isEmpty())
      area &= repainted;
    for (const QRect& r : area)
      for (int y = r.top(); y <= r.bottom(); ++y)
        // The engine draws into these very bytes; reaching them through the
        // non-const accessor would copy a picture shared with anyone else.
        PutClothRow(
            row(y - oy),
            const_cast<QRgb*>(reinterpret_cast<const QRgb*>(to->constScanLine(y))) + r.left(),
            r.left() - ox, r.right() + 1 - ox, qw, cw);
    return;
  }
  // Any other device: a few rows at a time through a picture of their own, in
  // device pixels, only those the clip covers.
  if (feltStrip_.width() != cw) feltStrip_ = QImage(cw, kClothStripRows, QImage::Format_RGB32);
  const QTransform t = p.worldTransform();
  const double ratio = p.device() != nullptr ? p.device()->devicePixelRatio() : 1.0;
  const QPointF origin = t.map(QPointF(0, 0)) * ratio;
  const int sx = static_cast<int>(std::lround(origin.x()));
  const int sy = static_cast<int>(std::lround(origin.y()));
  int x0 = 0, y0 = 0, x1 = cw, y1 = ch;
  if (p.hasClipping()) {
    const QRectF c = t.mapRect(p.clipBoundingRect());
    x0 = std::clamp(static_cast<int>(std::floor(c.left() * ratio)) - sx, 0, cw);
    y0 = std::clamp(static_cast<int>(std::floor(c.top() * ratio)) - sy, 0, ch);
    x1 = std::clamp(static_cast<int>(std::ceil(c.right() * ratio)) - sx, 0, cw);
    y1 = std::clamp(static_cast<int>(std::ceil(c.bottom() * ratio)) - sy, 0, ch);
  }
  if (x0 >= x1 || y0 >= y1) return;
  p.save();
  p.resetTransform();
  for (int y = y0; y < y1; y += kClothStripRows) {
    const int rows = std::min(kClothStripRows, y1 - y);
    for (int r = 0; r < rows; ++r)
      PutClothRow(row(y + r), reinterpret_cast<QRgb*>(feltStrip_.scanLine(r)), x0, x1, qw, cw);
    p.drawImage(QRectF((sx + x0) / ratio, (sy + y) / ratio, (x1 - x0) / ratio, rows / ratio),
                feltStrip_, QRectF(0, 0, x1 - x0, rows));
  }
  p.restore();
}

void ScenePainter::drawPicture(QPainter& p, int id, const QRect& r, double density) {
  const QTransform& t = p.worldTransform();
  if (!t.isScaling()) {
    // Table pixels fall on whole device pixels: the picture at its density, 1:1.
    const QPixmap pm = picture(id, r.width(), r.height(), density);
    if (pm.isNull()) return;
    if (pm.devicePixelRatio() == density && pm.size() == r.size() * density)
      p.drawPixmap(r.topLeft(), pm);
    else
      p.drawPixmap(QRectF(r), pm, QRectF(pm.rect()));
    return;
  }
  // A larger table: the picture is made for the device pixels its rectangle
  // covers and put there unscaled, so no tile is resampled on its way out.
  const double ratio = p.device() != nullptr ? p.device()->devicePixelRatio() : 1.0;
  const QRectF at = t.mapRect(QRectF(r));
  const QPoint topLeft(static_cast<int>(std::lround(at.left() * ratio)),
                       static_cast<int>(std::lround(at.top() * ratio)));
  const QPoint end(static_cast<int>(std::lround(at.right() * ratio)),
                   static_cast<int>(std::lround(at.bottom() * ratio)));
  const QPixmap pm =
      pictureAt(id, QSize(end.x() - topLeft.x(), end.y() - topLeft.y()), PictureSet(density));
  if (pm.isNull()) return;
  p.save();
  p.resetTransform();
  p.drawPixmap(
      QRectF(topLeft.x() / ratio, topLeft.y() / ratio, pm.width() / ratio, pm.height() / ratio), pm,
      QRectF(pm.rect()));
  p.restore();
}

const ScenePainter::Text& ScenePainter::text(const Control& k, const std::string& line,
                                             bool label) {
  Text& t = texts_[&k];
  if (!t.made || t.fontSize != k.fontSize || t.width != k.w || t.label != label || t.line != line) {
    t.made = true;
    t.line = line;
    t.fontSize = k.fontSize;
    t.width = k.w;
    t.label = label;
    t.font = ControlFont(k);
    t.text = QString::fromStdString(line);
    t.flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    if (label && MultiLine(k)) {
      t.flags = Qt::AlignHCenter | Qt::AlignVCenter;
    } else if (label) {
      // A caption longer than its place shows where it is cut.
      t.text = QFontMetrics(t.font).elidedText(t.text, Qt::ElideRight, std::max(k.w, 1));
    }
  }
  return t;
}

void ScenePainter::paintControl(QPainter& p, const Control& k, double density) {
  switch (k.type) {
    case ControlType::Image:
      drawPicture(p, k.picture, QRect(k.x, k.y, k.w, k.h), density);
      break;
    case ControlType::Label: {
      if (k.caption.empty()) break;
      const Text& t = text(k, k.caption, true);
      p.setFont(t.font);
      p.setPen(Rgb(k.color));
      const QRect r(k.x, k.y, std::max(k.w, 1), std::max(k.h, 1));
      p.drawText(r, t.flags, t.text);
      break;
    }
    case ControlType::TextBox:
      // The text itself is a real line edit laid over this place by the window.
      p.fillRect(k.x, k.y, k.w, k.h, QColor(255, 255, 255, 230));
      p.setPen(QColor(0x0C, 0x30, 0x1E));
      p.drawRect(k.x, k.y, k.w - 1, k.h - 1);
      break;
    case ControlType::List:
      break;  // drawn with its lines by paint()
  }
}

void ScenePainter::paint(QPainter& p, const MainForm& form, const QRect& clip) {
  p.save();
  if (!clip.isEmpty()) p.setClipRect(clip);
  const double density = PainterDensity(p);
  paintFelt(p, form.pic1W, form.pic1H);
  const QRect area = clip.isEmpty() ? QRect(0, 0, form.pic1W, form.pic1H) : clip;
  for (const Control* k : form.order) {
    if (!k->visible || k->w <= 0 || k->h <= 0) continue;
    if (const auto look = looks_.find(k); look != looks_.end()) {
      if (area.intersects(look->second.rect))
        drawPicture(p, look->second.picture, look->second.rect, density);
      continue;
    }
    if (!area.intersects(QRect(k->x, k->y, k->w, k->h))) continue;
    if (k->type == ControlType::List) {
      const auto& items = form.Sysmsg[static_cast<std::size_t>(k->index & 1)].items;
      if (items.empty()) continue;
      const Text& t = text(*k, items.front(), false);
      p.setFont(t.font);
      p.setPen(Rgb(k->color));
      p.drawText(QRect(k->x, k->y, k->w, k->h), t.flags, t.text);
      continue;
    }
    paintControl(p, *k, density);
  }
  p.restore();
}

QRegion ScenePainter::changes(const MainForm& form) {
  QRegion dirty;
  if (seen_.empty()) dirty = QRegion(0, 0, form.pic1W, form.pic1H);
  for (std::size_t pos = 0; pos < form.order.size(); ++pos) {
    const Control& k = *form.order[pos];
    Seen now{QRect(k.x, k.y, k.w, k.h), k.picture, k.visible, TextHash(k, form),
             static_cast<int>(pos)};
    if (const auto look = looks_.find(&k); look != looks_.end() && k.w > 0 && k.h > 0) {
      now.rect = look->second.rect;
      now.picture = look->second.picture;
    }
    auto [it, fresh] = seen_.try_emplace(&k, now);
    Seen& was = it->second;
    if (!fresh &&
        (was.rect != now.rect || was.picture != now.picture || was.visible != now.visible ||
         was.textHash != now.textHash || was.stackPos != now.stackPos)) {
      if (was.visible) dirty += was.rect;
      if (now.visible) dirty += now.rect;
    }
    was = now;
  }
  return dirty;
}

}  // namespace tavren::qt
