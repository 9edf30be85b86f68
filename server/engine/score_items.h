// The items of the settlement sheet in one table: the name each has in the log,
// where the settlement frame carries it, and its value in a score. Both the
// settlement frames and the list of fan names are read from it.
#pragma once

#include <span>
#include <string>

#include "engine/frame.h"
#include "rules/scoring.h"

namespace tavren::server {

struct ScoreItem {
  const char* name;        // nullptr: on the sheet, not in the list of names
  const char* repeatName;  // the name for a value of 2 and more, or nullptr
  int row;                 // the settlement frame carries it at byte kSheetOffset + row
  int bit;                 // 0: the row holds the value; else the item sets this bit
  int cap;                 // a value row holds at most this
  int (*value)(const Score&);
};

// The settlement frame's rows start here.
inline constexpr std::size_t kSheetOffset = 14;

std::span<const ScoreItem> scoreItems();

// Writes the winner's items into a settlement frame.
void writeScoreRows(Frame& f, const Score& sc);
// "自摸 门清 财神2": the items the score holds, in the sheet's order; 包胡 last when
// one seat paid the whole win.
std::string scoreItemNames(const Score& sc, bool liable);

}  // namespace tavren::server
