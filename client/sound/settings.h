// The sound settings window VosSet: music, voices and effects switched on and
// off at once, the players' voice set, and confirm or cancel of the changes.
#pragma once

#include <array>
#include <cstdint>

namespace tavren {

struct Client;
struct SmallForm;

inline constexpr int kSettingRows = 4;
// The voice set every player gets from the dialect button.
inline constexpr const char* kDialectVoiceSet = "27";

struct SoundSettingsState {
  // −1 for a row whose button was pressed an odd number of times since the
  // window last confirmed or cancelled.
  std::array<std::int16_t, kSettingRows> Toggled{};
};

// The window, built on first use; the button pictures follow the switches.
SmallForm& LoadSoundSettings(Client& c);
// The control bar's settings button: shows it at the table's lower right, or hides it.
void ToggleSoundSettings(Client& c);
// Command2(row) and Command1(0 confirm, 1 cancel).
void PressSettingButton(Client& c, int row);
void CloseSoundSettings(Client& c, bool cancel);

}  // namespace tavren
