// The scene: every control of the main window as plain data, with a
// back-to-front order on the table surface. The core only changes the scene;
// the Qt world draws it and turns mouse and key events into input calls
// through HitTest.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "table/tiles.h"
#include "view/catalogue.h"

namespace tavren {

struct Client;

inline constexpr std::uint32_t kGreen = 0x00FF00;
inline constexpr std::uint32_t kRed = 0xFF0000;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kLabelGold = 0xFFD98A;

// Pictures of table widgets that are not in the catalogue.
inline constexpr int kPicCountdown = 901;  // frame of the countdown digits
inline constexpr int kPicReady = 902;      // ready mark
inline constexpr int kPicDealer = 903;     // dealer mark
inline constexpr int kPicWildFrame = 904;  // frame of the wild-tile indicator
inline constexpr int kPicPhrases1 = 905;   // imgword1, opens the first phrase list
inline constexpr int kPicPhrases2 = 906;   // imgword2, opens the second phrase list

enum class ControlType : std::uint8_t { Image, Label, List, TextBox };

// One control. Images show catalogue picture `picture` stretched to their size.
struct Control {
  ControlType type = ControlType::Image;
  const char* name = "";  // the control array's name, for input routing and tests
  int index = 0;          // the element of its control array
  int x = 0, y = 0, w = 0, h = 0;
  bool visible = false;
  bool enabled = true;
  int picture = 0;  // catalogue id, 0 none
  std::string caption;
  std::uint32_t color = kBlack;
  int fontSize = 10;
  std::vector<std::string> items;  // list boxes in the small windows
  int selected = -1;
  bool wrap = false;   // a list line too long for the box goes on in the next line
  bool drags = false;  // a press on it drags its small window, as the bare background does
  // A list is scrolled to its last line (as far down as it goes) each time this changes.
  unsigned scrollToLast = 0;
  // Lists of one form with the same non-zero group are one table: line j is as
  // tall in each of them as its tallest, and they scroll together.
  int rowGroup = 0;
  bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// A list box: the two system-message lines are lists that are emptied, then filled.
struct ListBox {
  std::vector<std::string> items;
  void clear() { items.clear(); }
  void add(std::string s) { items.push_back(std::move(s)); }
  std::string text() const { return items.empty() ? std::string() : items.front(); }
};

// The player-detail window shown over a portrait: nine captions and values.
struct InformationForm {
  bool visible = false;
  int left = 0, top = 0;  // screen pixels
  std::array<std::string, 9> Inf{};
};
inline constexpr std::array<const char*, 9> kInformationCaptions = {
    "玩家昵称", "性    别", "所 在 地", "积    分", "信 用 度",
    "登录次数", "掉线次数", "胜场次数", "败场次数"};

struct MainForm {
  MainForm();
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  // The table surface Pic1 and everything on it. Arrays indexed by side count
  // 0 = the user, 1 = left, 2 = across, 3 = right.
  std::array<Control, kWallTiles> MJ_Image{};  // the 144 tiles, wall to hands to discards
  std::array<Control, 32> imgCaiShen{};        // set-aside slots: flowers, 中 and wild tiles
  std::array<Control, 4> Tou{};                // portraits, by side
  std::array<Control, 4> Nid{};                // player names, by side
  std::array<Control, 4> Cash{};               // gold, by side
  std::array<Control, 4> Level{};              // level titles, by side
  std::array<Control, 4> OK{};                 // ready marks, by side
  std::array<Control, 9> AnNiu{};              // the control bar's buttons
  std::array<Control, 5> Operation{};          // claim buttons: chi, peng, kong, hu, pass
  std::array<Control, 6> Chi{};                // chi candidates, two pictures each
  std::array<Control, 5> Gang{};               // kong candidates
  std::array<Control, 16> SZ_Image{};          // dice faces, the pictures the throw takes from
  std::array<Control, 4> Sai_Image{};          // the dice thrown on the table
  std::array<Control, 3> Speak{};              // speech bubbles of sides 1..3
  std::array<Control, 3> tsSpeak{};            // the marks beside those bubbles
  Control Words;                               // the picture of the last claim's word
  Control Qixo;                                // the wild tile's frame
  Control QX_Image;                            // the wild tile inside it
  Control imgCircle;                           // the prevailing wind
  Control Label3;                              // the 叫头 result beside the wind ("1头")
  Control ZhiNan;                              // the compass
  Control Time_Img;                            // the countdown's frame
  Control Number;                              // the countdown's digits
  Control Host;                                // the dealer's mark
  Control Zhuang;                              // the dealer's seat name
  Control Lbchat;                              // the chat box's caption
  Control Location, imgLocation;               // the table's location caption and its panel
  Control imgword1, imgword2;                  // the two pictures that open the phrase lists
  Control Bird;                                // the logo box, lower right
  Control Chat;                                // the chat input box
  std::array<Control, 2> SysmsgBox{};          // where the two message lines lie
  std::array<ListBox, 2> Sysmsg{};             // the two message lines

  // Back-to-front order of the controls on the table surface.
  std::vector<Control*> order;

  // The window and the surface inside it (pixels).
  int windowW = 1040, windowH = 796;
  int pic1X = 8, pic1Y = 20, pic1W = 1024, pic1H = 768;
  bool skinned = true;  // the painted frame with its title strip
  float ScaleX = 1.0f;
  float ScaleY = 1.0f;
  PictureTables pics;
  std::array<int, 4> TileStepX{}, TileStepY{};

  InformationForm Information;
  int windowLeft = 0, windowTop = 0;  // where the window stands on the screen
  std::string caption;                // the main window's caption
  bool shown = false;
  bool minimized = false;
  bool raiseRequested = false;  // brought to the top once; the window clears it when done
  bool pageLinked = false;      // the page box opens AdUrl when clicked
  int ClaimWordIndex = 0;       // the bubble that shows the last claim word
};

// Stacking on the table surface.
void BringToFront(MainForm& f, Control& c);
void SendToBack(MainForm& f, Control& c);
// Moves `c` just in front of `ref` when it lies behind it; otherwise leaves it.
void PlaceAbove(MainForm& f, Control& c, const Control& ref);
// The front-most visible control under a point of the table surface, or null.
const Control* HitTest(const MainForm& f, int x, int y);

// Design pixels to screen pixels.
int SX(const Client& c, double v);
int SY(const Client& c, double v);
void Place(Client& c, Control& k, double x, double y, double w, double h);

// Empties system line `line` and puts `text` into it.
void SetSysmsg(Client& c, int line, const std::string& text);
// Puts `text` into the message area as a chat line would go (the first empty
// line, else the last with the older line moved up), so neither hides the other.
void AddSysmsg(Client& c, const std::string& text);
void ClearSysmsg(Client& c);

// The picture id of control-bar button table entry `entry` (the small set when scaled down).
int ButtonPicture(const Client& c, int entry);

// Picture loads: a control outside the tiles or a picture that does not exist
// leaves the control as it was.
void setTileImage(Client& c, int control, int index);
// The picture id setTileImage gives a tile control for TilePics entry `index`;
// 0 when there is none.
int TilePictureId(const Client& c, int index);
void setFlowerImage(Client& c, int control, int orientation, int flower, bool toWall);

// Start-up layout of the window and the table.
void layoutMainWindow(Client& c);
void buildImageIdTables(Client& c);
void layoutPlayerPanels(Client& c);
void layoutTableWidgets(Client& c);
void ShowMainWindow(Client& c);
void MinimizeMainWindow(Client& c);

// The step sets loaded into TileStepX/TileStepY.
enum class Steps { Standing, Lying, Meld, Reveal };
void LoadSteps(Client& c, Steps set);
// The size of one tile of `side` (0..3) in a step set, as LoadSteps would load
// it, without loading it.
void StepSize(const Client& c, Steps set, int side, int& w, int& h);

// The whole start-up layout at once, on an empty table: for tools and tests,
// which need the table without the start-up around it.
void LayOutTable(Client& c);

// Table resets: the model half and the view half.
void clearTableModel(Client& c);
void resetTableView(Client& c);

// The panels, marks and side windows emptied when the client goes back to the lobby.
void resetLobbyView(Client& c);

}  // namespace tavren
