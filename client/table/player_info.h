// The details of the player at each side, as the player records deliver them.
#pragma once

#include <cstdint>
#include <string>

namespace tavren {

struct PlayerInfoRecord {
  std::string nick;  // display name (UTF-8)
  std::int32_t userId = 0;
  int sex = 0;
  std::string voiceSet;  // voice file name parts, one character per byte
  std::string voicePitch;
  int voiceVariant = 0;
};

}  // namespace tavren
