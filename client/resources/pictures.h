#pragma once
// The built-in pictures, embedded with Qt's resource system. Picture id N of the
// catalogue is the resource ":/pics/N.png"; the window chrome adds ":/pics/skin.png"
// (1040 x 796 frame), ":/pics/skin-pieces.png" (46 x 220 nine-piece strip),
// ":/pics/close-{normal,hover,pressed}.png", ":/pics/min-{normal,hover,pressed}.png" (18 x 16)
// and ":/pics/icon.png" (64 x 64). Table widgets outside the catalogue:
// ":/pics/countdown.png" (81 x 38, digits go at (48, 5)), ":/pics/ready.png" (40 x 40),
// ":/pics/dealer.png" (30 x 30) and ":/pics/wild-frame.png" (80 x 124, the wild tile's
// window at (20, 59), 36 x 56). Further pictures go by ids above the catalogue's, like
// catalogue pictures: 905 and 906 (57 x 13) the labels that open the two phrase lists,
// 907..910 (131 x 102) the phrase bubbles of sides 0..3, keyed for a shaped window.
// Every picture is drawn again at twice the density as ":/pics/N@2x.png" (twice the
// pixels each way), for screens with two device pixels to a table pixel.

#include <string>

namespace tavren {

// Registers the pictures; call once before the first load. The call also keeps the
// linker from dropping the embedded data out of the static library.
void initPictures();

inline std::string picturePath(int id) {
  return ":/pics/" + std::to_string(id) + ".png";
}

}  // namespace tavren
