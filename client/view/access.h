// Short names for the model and scene elements the client touches all the
// time: a side's hand, a slot of it, a tile control. Callers check indices
// that come from outside before they come here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/client.h"

namespace tavren {

inline Control& Tile(Client& c, int control) {
  return c.view.MJ_Image[static_cast<std::size_t>(control)];
}
inline const Control& Tile(const Client& c, int control) {
  return c.view.MJ_Image[static_cast<std::size_t>(control)];
}

inline std::int16_t I16(int v) {
  return static_cast<std::int16_t>(v);
}

inline HandRecord& Hand(Client& c, int side) {
  return c.table.custom[static_cast<std::size_t>(side)];
}
inline const HandRecord& Hand(const Client& c, int side) {
  return c.table.custom[static_cast<std::size_t>(side)];
}

inline TileSlot& Slot(HandRecord& h, int k) {
  return h.mj[static_cast<std::size_t>(k)];
}
inline const TileSlot& Slot(const HandRecord& h, int k) {
  return h.mj[static_cast<std::size_t>(k)];
}

}  // namespace tavren
