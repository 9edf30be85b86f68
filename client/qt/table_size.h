// The table size the user chooses in the lobby window: the table window drawn
// larger on a large screen. Kept in the user's settings (the lobby's settings
// file, key "tableSize"); the client reads it at start-up. The table itself
// stays in table pixels: only the window, its drawing and the pointer scale.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>

namespace tavren::qt {

struct TableSizeChoice {
  std::string_view key;  // as kept in the settings
  const char* label;     // as offered in the lobby window (UTF-8)
  double factor;         // 0: as large as the screen holds
};

inline constexpr std::array<TableSizeChoice, 5> kTableSizes{{
    {"100", "100%", 1.0},
    {"125", "125%", 1.25},
    {"150", "150%", 1.5},
    {"200", "200%", 2.0},
    {"fit", "适合屏幕", 0.0},
}};
inline constexpr std::string_view kDefaultTableSize = "100";
inline constexpr const char* kTableSizeSetting = "tableSize";
// Overrides the setting for one run (scripts, screenshots).
inline constexpr const char* kTableSizeVariable = "TAVRENMJ_TABLE_SIZE";

inline std::optional<TableSizeChoice> FindTableSize(std::string_view key) {
  for (const TableSizeChoice& c : kTableSizes)
    if (c.key == key) return c;
  return std::nullopt;
}

// The window's designed size on a large screen, in table pixels.
inline constexpr int kTableWindowW = 1040, kTableWindowH = 796;

// The factor the table window is drawn at for a choice, on a screen whose free
// area is screenW x screenH logical pixels: the chosen factor as far as the
// whole window stays on the screen, never below 1 (a small screen keeps its
// own rules), in steps of 1/100.
inline double TableZoom(const TableSizeChoice& choice, int screenW, int screenH) {
  const double fits = std::min(static_cast<double>(screenW) / kTableWindowW,
                               static_cast<double>(screenH) / kTableWindowH);
  const double want = choice.factor > 0 ? std::min(choice.factor, fits) : fits;
  return std::max(1.0, std::floor(want * 100 + 1e-9) / 100);
}

}  // namespace tavren::qt
