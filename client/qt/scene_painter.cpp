#include "qt/scene_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <functional>
#include <string_view>
#include <utility>

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

void ScenePainter::paintFelt(QPainter& p, int w, int h, double density) {
  const QSize device(static_cast<int>(std::lround(w * density)),
                     static_cast<int>(std::lround(h * density)));
  if (felt_.size() != device) {
    // The cloth is drawn once per size and density (a whole repaint then copies
    // it unscaled): a soft light in the middle of green baize.
    QImage cloth(device, QImage::Format_RGB32);
    cloth.setDevicePixelRatio(static_cast<double>(device.width()) / std::max(w, 1));
    QPainter fp(&cloth);
    QRadialGradient g(w / 2.0, h / 2.0, std::max(w, h) * 0.65);
    g.setColorAt(0.0, QColor(0x2F, 0x8A, 0x5A));
    g.setColorAt(0.6, QColor(0x1D, 0x66, 0x40));
    g.setColorAt(1.0, QColor(0x10, 0x40, 0x28));
    fp.fillRect(QRectF(0, 0, w, h), g);
    // A faint inner border marks the playing area.
    fp.setPen(QPen(QColor(255, 255, 255, 28), 2));
    fp.drawRoundedRect(QRectF(w * 0.14, h * 0.2, w * 0.72, h * 0.56), 18, 18);
    fp.end();
    // Kept as drawn, four bytes a pixel: a window's backing store takes it
    // line by line as it is, where any other format would be converted pixel
    // by pixel on every repaint (12 MB at 2x, Qt's helper threads and all).
    felt_ = std::move(cloth);
  }
  p.drawImage(QPointF(0, 0), felt_);
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
  paintFelt(p, form.pic1W, form.pic1H, density);
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
