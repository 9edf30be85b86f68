// Draws the scene of the table surface: the felt, then every visible control
// in its stacking order. Pictures are rasterised once per size and density and kept.
//
// Table coordinates are table pixels everywhere; only drawing knows the density
// (device pixels per table pixel: the screen's device pixel ratio times the
// painter's own scale, the table size). Each picture comes from the set drawn at
// the nearest density at or above it, scaled down to the device pixels it covers.
#pragma once

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

class QPainter;

namespace tavren {
struct Control;
struct MainForm;
}  // namespace tavren

namespace tavren::qt {

// The picture sets the generator draws: 1x and 2x.
inline constexpr int kFinestPictureSet = 2;
// The set drawn for a density: the nearest at or above it (the finest beyond it).
int PictureSet(double density);
// The density a painter draws at: its device's pixel ratio times its own scale.
double PainterDensity(const QPainter& p);

// The resource path of a picture id (the catalogue, or a table widget) in a set.
QString PicturePath(int id, int set = 1);
// A picture of the window's chrome by its name ("skin", "icon", "close-hover" …),
// from the set for `density`, marked with that density so it draws at its table size.
QPixmap ChromePicture(const QString& name, double density);

// The font a table label or message line is drawn with.
QFont ControlFont(const Control& k);
// A one-line label whose caption does not fit its width: it is drawn cut
// with "…", and its tooltip shows the whole caption.
bool LabelElided(const Control& k);

// The table's cloth over table pixels (0, 0, w, h) of the painter.
void DrawCloth(QPainter& p, int w, int h);

class ScenePainter {
 public:
  // Paints the whole surface (form.pic1W x form.pic1H) at the painter's origin,
  // limited to `clip` when it is not empty.
  void paint(QPainter& p, const MainForm& form, const QRect& clip = QRect());

  // The picture `id` at w x h table pixels for a density: w x density device pixels
  // wide, to be drawn into its w x h rectangle; a null pixmap when it does not load.
  QPixmap picture(int id, int w, int h, double density = 1.0);
  // The same at the device size given (the table rectangle's own rounding),
  // from picture set `set`.
  QPixmap pictureAt(int id, QSize device, int set);

  // What changed since the last call: the old and new places of every control
  // whose look or place differs. The first call returns the whole surface.
  QRegion changes(const MainForm& form);

  // Controls drawn with another picture in another rectangle than the scene
  // gives them, in their own place in the stacking order (a replay's open
  // hands): the table shows them so, the scene itself is untouched. changes()
  // counts a look that came, went or changed like a change of the control.
  struct Look {
    int picture = 0;
    QRect rect;
    bool operator==(const Look&) const = default;
  };
  using Looks = std::unordered_map<const Control*, Look>;
  void setLooks(Looks looks) { looks_ = std::move(looks); }
  const Looks& looks() const { return looks_; }

  // How many times a picture was rasterised (once per id and size while it is kept).
  std::uint64_t rasterisations() const { return rasterisations_; }

  // The rasterised pictures kept, and their pixel memory. The pictures least
  // recently drawn go first once the memory passes `budget` bytes, so a long
  // evening of hands, each with its own sizes, keeps what it draws now.
  std::size_t cachedPictures() const { return cache_.size(); }
  std::size_t cachedBytes() const { return cachedBytes_; }
  // What the table's cloth keeps between repaints.
  std::size_t clothBytes() const {
    return static_cast<std::size_t>(felt_.sizeInBytes() + feltOwn_.sizeInBytes() +
                                    feltStrip_.sizeInBytes()) +
           feltOwnRow_.capacity() * sizeof(int);
  }
  void setCacheBudget(std::size_t bytes);
  // Twice what one hand draws at the designed size (about 1.1 MiB, 110 pictures).
  // The budget is for 1x and doubles for the 2x set (4 MiB): a hand at 2x draws
  // about 4.5 MiB of pictures, so a few are made again in a hand, and the
  // client stays small on a high-density screen.
  static constexpr std::size_t kDefaultCacheBudget = std::size_t{2} << 20;
  std::size_t cacheBudget() const { return cacheBudget_ * budgetSet_; }

 private:
  struct Key {
    int id, w, h;  // device pixels
    int set;
    bool operator==(const Key& o) const {
      return id == o.id && w == o.w && h == o.h && set == o.set;
    }
  };
  friend size_t qHash(const Key& k, size_t seed) { return qHashMulti(seed, k.id, k.w, k.h, k.set); }
  struct Cached {
    QPixmap pixmap;
    std::size_t bytes = 0;
    std::list<Key>::iterator use;  // its place in uses_
  };
  void trimCache();

  struct Seen {
    QRect rect;
    int picture = 0;
    bool visible = false;
    std::uint64_t textHash = 0;
    int stackPos = 0;
  };

  // A label's or message line's text as drawn: its font, and the caption cut
  // to its width, made again only when the caption, size or width changes.
  struct Text {
    std::string line;
    int fontSize = 0, width = 0;
    bool label = false, made = false;
    QFont font;
    QString text;
    int flags = 0;
  };
  const Text& text(const Control& k, const std::string& line, bool label);

  void paintFelt(QPainter& p, int w, int h);
  void paintControl(QPainter& p, const Control& k, double density);
  void drawPicture(QPainter& p, int id, const QRect& r, double density);

  QHash<Key, Cached> cache_;
  std::list<Key> uses_;  // most recently drawn first
  std::size_t cachedBytes_ = 0;
  std::size_t cacheBudget_ = kDefaultCacheBudget;
  int budgetSet_ = 1;  // the finest set drawn so far
  // The cloth, in device pixels: its top left quarter, the rows of its lower
  // left quarter that mirror none above, and where each lower row is kept
  // (-1: it mirrors the upper row as far from the middle).
  QImage felt_;
  QImage feltOwn_;
  std::vector<int> feltOwnRow_;
  QSize feltFor_;     // the whole cloth's size in device pixels
  QImage feltStrip_;  // a few rows of the whole cloth's width, put together
  QPixmap none_;
  std::unordered_map<const Control*, Seen> seen_;
  Looks looks_;
  std::unordered_map<const Control*, Text> texts_;
  std::uint64_t rasterisations_ = 0;
};

}  // namespace tavren::qt
