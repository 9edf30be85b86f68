// The result window Score (one hand's sheet, a column per side) and the
// ranking window Hero (one line per finished hand, the running totals), as
// small forms: built on first use, then only shown and hidden.
#pragma once

#include <string>
#include <vector>

#include "view/forms.h"

namespace tavren {

struct Client;

// The windows, built with their controls on first use.
SmallForm& ScoreWindow(Client& c);
SmallForm& HeroWindow(Client& c);

// Controls by name: State(0..7), ID(0..3), Tou(0..3) of Score; Num, Grade(0..3),
// sumScore(0..3), ID(0..3), Tou(0..3) of Hero. A bad index fails the caller.
Control& ScoreControl(Client& c, const char* name, int index);
Control& HeroControl(Client& c, const char* name, int index);
std::vector<std::string>& ScoreList(Client& c, int k);

// Shown centred over the table: after a hand, and when players left.
void ShowResultWindow(Client& c);
void ShowRankingWindow(Client& c);
// The control bar's buttons: the result window with hand `handNo` read back
// from the record file, and the ranking window; each hides a shown window.
void ToggleScoreWindow(Client& c, int handNo);
void ToggleHeroWindow(Client& c);

// A new seating: the ranking window's lists emptied.
void ClearRankingLists(Client& c);
// Back to the lobby: both windows emptied and hidden.
void ClearResultWindows(Client& c);

// The portrait of a side in the main window and in both windows.
void SetSidePortrait(Client& c, int side, int picture);
// The name label ID(side) of both windows.
void SetSideName(Client& c, int side, const std::string& nick);

}  // namespace tavren
