#pragma once
// The built-in pictures, embedded with Qt's resource system. Picture id N of the
// catalogue is the resource ":/pics/N.png"; the window chrome adds ":/pics/skin.png"
// (1040 x 796 frame), ":/pics/skin-pieces.png" (46 x 220 nine-piece strip),
// ":/pics/close-{normal,hover,pressed}.png", ":/pics/min-{normal,hover,pressed}.png" and
// ":/pics/icon.png".

#include <string>

namespace tavren {

// Registers the pictures; call once before the first load. The call also keeps the
// linker from dropping the embedded data out of the static library.
void initPictures();

inline std::string picturePath(int id) {
  return ":/pics/" + std::to_string(id) + ".png";
}

}  // namespace tavren
