// The scene: every control of the main window as plain data. The core only
// changes the scene; the Qt world draws it and feeds input back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "table/tiles.h"

namespace tavren {

struct Client;

inline constexpr std::uint32_t kGreen = 0x00FF00;
inline constexpr std::uint32_t kRed = 0xFF0000;

struct Control {
  int x = 0, y = 0, w = 0, h = 0;
  bool visible = true;
  bool enabled = true;
  int picture = 0;  // catalogue id, 0 none
  std::string caption;
  std::uint32_t color = 0;
};

// A list box: the two system-message lines are lists that are emptied, then filled.
struct ListBox {
  std::vector<std::string> items;
  void clear() { items.clear(); }
  void add(std::string s) { items.push_back(std::move(s)); }
  std::string text() const { return items.empty() ? std::string() : items.front(); }
};

// The reconnection dialog: a small window over the table.
struct ReconnectForm {
  bool loaded = false;
  bool visible = false;
  int opacity = 255;
  Control lbReconnect;
  Control lbTime;
  Control pbReconnect;
  Control pbCancel;
};

struct MainForm {
  std::array<Control, kWallTiles> MJ_Image{};
  std::array<Control, 9> AnNiu{};
  Control Number;
  Control Time_Img;
  Control Words;
  std::array<Control, 3> Speak{};
  std::array<Control, 3> tsSpeak{};
  std::array<ListBox, 2> Sysmsg{};
  ReconnectForm frmReconnect;
  std::string Location;  // caption of the table location label
  std::string caption;   // the main window's caption
  bool shown = false;
  bool pageLinked = false;  // the page box opens AdUrl when clicked
  int ClaimWordIndex = 0;   // the bubble that shows the last claim word
  bool minimized = false;
  float ScaleX = 1.0f;
  float ScaleY = 1.0f;
};

// Empties system line `line` and puts `text` into it.
void SetSysmsg(Client& c, int line, const std::string& text);
void ClearSysmsg(Client& c);

// The picture id of control-bar button table entry `entry` (the small set when scaled down).
int ButtonPicture(const Client& c, int entry);

// Table operations the link pump calls.
void clearTableModel(Client& c);
void resetTableView(Client& c);
void MinimizeMainWindow(Client& c);

// Start-up layout of the window and the table.
void layoutMainWindow(Client& c);
void buildImageIdTables(Client& c);
void layoutPlayerPanels(Client& c);
void layoutTableWidgets(Client& c);
void ShowMainWindow(Client& c);

// The panels, marks and side windows emptied when the client goes back to the lobby.
void resetLobbyView(Client& c);

}  // namespace tavren
