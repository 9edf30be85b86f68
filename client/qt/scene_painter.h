// Draws the scene of the table surface: the felt, then every visible control
// in its stacking order. Pictures are rasterised once per size and kept.
#pragma once

#include <QHash>
#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <cstdint>
#include <unordered_map>

class QPainter;

namespace tavren {
struct Control;
struct MainForm;
}  // namespace tavren

namespace tavren::qt {

// The resource path of a picture id: the catalogue, or a table widget.
QString PicturePath(int id);

class ScenePainter {
 public:
  // Paints the whole surface (form.pic1W x form.pic1H) at the painter's origin,
  // limited to `clip` when it is not empty.
  void paint(QPainter& p, const MainForm& form, const QRect& clip = QRect());

  // The picture `id` at w x h; a null pixmap when it does not load.
  const QPixmap& picture(int id, int w, int h);

  // What changed since the last call: the old and new places of every control
  // whose look or place differs. The first call returns the whole surface.
  QRegion changes(const MainForm& form);

  // How many times a picture was rasterised (once per id and size).
  std::uint64_t rasterisations() const { return rasterisations_; }

 private:
  struct Key {
    int id, w, h;
    bool operator==(const Key& o) const { return id == o.id && w == o.w && h == o.h; }
  };
  friend size_t qHash(const Key& k, size_t seed) { return qHashMulti(seed, k.id, k.w, k.h); }

  struct Seen {
    QRect rect;
    int picture = 0;
    bool visible = false;
    std::uint64_t textHash = 0;
    int stackPos = 0;
  };

  void paintFelt(QPainter& p, int w, int h);
  void paintControl(QPainter& p, const Control& k);

  QHash<Key, QPixmap> cache_;
  QPixmap felt_;
  QPixmap none_;
  std::unordered_map<const Control*, Seen> seen_;
  std::uint64_t rasterisations_ = 0;
};

}  // namespace tavren::qt
