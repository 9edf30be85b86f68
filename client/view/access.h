// Short names for the model and scene elements the view operations touch all
// the time. Callers check indices before they come here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/client.h"

namespace tavren {

inline Control& Tile(Client& c, int control) {
  return c.view.MJ_Image[static_cast<std::size_t>(control)];
}

inline std::int16_t I16(int v) {
  return static_cast<std::int16_t>(v);
}

inline HandRecord& Hand(Client& c, int side) {
  return c.table.custom[static_cast<std::size_t>(side)];
}

inline TileSlot& Slot(HandRecord& h, int k) {
  return h.mj[static_cast<std::size_t>(k)];
}

}  // namespace tavren
