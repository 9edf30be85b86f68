// What the user does at the table: tiles raised and discarded with the mouse,
// a pass with the right button, the window keys, the operation buttons with
// their chi and kong candidates, and the control bar. The Qt world hit-tests
// the scene and calls these entries; each runs as one event.
#pragma once

#include <array>
#include <string>

namespace tavren {

struct Client;

inline constexpr int kKeyF1 = 112;
inline constexpr int kKeyEsc = 27;
inline constexpr int kKeyAlt = 18;
inline constexpr int kKeyC = 67;

inline constexpr int kControlBarButtons = 9;
// How far a hovered standing tile rises, in table pixels at every screen size;
// the table's hover lowers it by the same measure.
inline constexpr int kTileRise = 10;
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHand = 99;

// The rules page of the game site.
inline constexpr const char* kRulesPageUrl = "http://www.qixo.com/gameinfo/tavren/index.php";

struct InputState {
  // The user takes part in the hand or has declared ready: the ready button
  // does nothing and the standing tiles follow the pointer.
  bool TableActive = false;
  // The game at this table is over (set by the end-of-game dialog): the ready
  // button takes the user back to the lobby.
  bool TableDissolved = false;
  bool ReadyFlag = false;  // the user's own ready flag
  bool AltDown = false;
  bool CDown = false;
  std::array<bool, kControlBarButtons> Hovered{};  // control-bar buttons showing their highlight
  std::string Tooltip;                             // tooltip of the hovered control-bar button
  int Pointer = kPointerDefault;                   // the pointer over the table
};

// A mouse button pressed on tile image `control` (0..143).
void OnTileClick(Client& c, int control, bool rightButton);
// The pointer over tile image `control`.
void OnTileHover(Client& c, int control);
// The right button released over the bare table.
void OnTableRightClick(Client& c);
// A left click on the bare table: the secondary windows close.
void OnTableSurfaceClick(Client& c);

// Operation(index 0..4): chi, peng, kong, hu, pass.
void OnOperationClick(Client& c, int index);
// Chi(index 0..5) or Gang(index 0..4): a candidate picked.
enum class ChoiceKind { Chi, Gang };
void OnChoiceClick(Client& c, ChoiceKind kind, int index);

// AnNiu(index 0..8): the control bar.
void OnControlBarClick(Client& c, int index);
void OnControlBarHover(Client& c, int index);
// The pointer left the control bar: hovered buttons but `except` (the one
// now under the pointer, −1 for none) go back to normal.
void RestoreControlBarPictures(Client& c, int except = -1);
const char* ControlBarTooltip(int index);
// The hand whose record the result button shows.
int LatestFinishedHand(const Client& c);

// A key pressed on the table; `alt` when the Alt key is held with it.
void OnKey(Client& c, int key, bool alt);

// The F1 key: hide the side windows, stop the turn clock, minimise, play on alone.
void BossKeyAction(Client& c);

// Button-state table of the control bar: the continue button is used up
// (clicks ignored) or available again.
void MarkContinueButton(Client& c, bool used);

}  // namespace tavren
