// The details of the player at each side, as the player records deliver them.
#pragma once

#include <cstdint>
#include <string>

namespace tavren {

struct PlayerInfoRecord {
  std::string nick;  // display name (UTF-8)
  std::string face;  // portrait code
  int sex = 0;
  std::string tag;  // where the player is from (UTF-8)
  std::uint64_t money1 = 0, money2 = 0, money3 = 0, money4 = 0;
  std::string level;  // UTF-8
  std::int32_t stat1 = 0, stat2 = 0, stat3 = 0, stat4 = 0;
  std::string account;
  std::string title;     // UTF-8
  std::string voiceSet;  // voice file name parts, one character per byte
  std::string voicePitch;
  int voiceVariant = 0;
  std::int64_t userId = 0;
};

}  // namespace tavren
