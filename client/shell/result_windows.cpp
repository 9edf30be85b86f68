#include "shell/result_windows.h"

#include <cstring>

#include "core/client.h"
#include "shell/record_file.h"
#include "view/windows.h"

namespace tavren {

namespace {

// A column is wide and tall enough for the longest sheet: a hand-type list of
// about fourteen characters, twenty-one lines.
constexpr int kColumnW = 170, kColumnStep = 178;
constexpr int kScoreW = 10 + 4 * kColumnStep + 2, kScoreH = 530;
constexpr int kHeroW = 560, kHeroH = 390;
constexpr int kTouW = 51, kTouH = 54;
constexpr std::uint32_t kWindowColour = 0xF5EBD2;
// The sheet's four columns and the ranking's hand lists each read across as rows.
constexpr int kSheetRows = 1, kRankingRows = 2;

int AddLabel(SmallForm& f, const char* name, int index, int x, int y, int w, int h,
             const std::string& text) {
  const int i = AddControl(f, ControlType::Label, name, index, x, y, w, h);
  f.controls[static_cast<std::size_t>(i)].caption = text;
  return i;
}

// The close button in the top right corner.
void AddCloseButton(SmallForm& f) {
  const int i = AddLabel(f, "Image1", 0, f.w - 26, 2, 22, 20, "×");
  Control& k = f.controls[static_cast<std::size_t>(i)];
  k.color = kRed;
  k.fontSize = 14;
}

bool Named(const Control& k, const char* name) {
  return std::strcmp(k.name, name) == 0;
}

Control& Find(SmallForm& f, const char* name, int index) {
  Control* k = f.find(name, index);
  if (k == nullptr) throw BadRecord("no such window control");
  return *k;
}

void Hide(Client&, SmallForm& f) {
  f.visible = false;
}

void ScoreClick(Client& c, int control) {
  SmallForm& f = c.forms[FormId::Score];
  if (Named(f.controls[static_cast<std::size_t>(control)], "Image1")) Hide(c, f);
}

// The hand lists of the ranking window show one hand across all five lists.
void SelectAcross(SmallForm& f, int line) {
  for (Control& k : f.controls)
    if (Named(k, "Num") || Named(k, "Grade"))
      k.selected = line >= 0 && line < static_cast<int>(k.items.size()) ? line : -1;
}

void HeroClick(Client& c, int control) {
  SmallForm& f = c.forms[FormId::Hero];
  const Control& k = f.controls[static_cast<std::size_t>(control)];
  if (Named(k, "Image1")) {
    Hide(c, f);
    return;
  }
  if (Named(k, "Num") || Named(k, "Grade")) SelectAcross(f, k.selected);
}

// A hand opened from the ranking window: its sheet read back into Score.
void HeroDoubleClick(Client& c, int control) {
  SmallForm& f = c.forms[FormId::Hero];
  const Control& k = f.controls[static_cast<std::size_t>(control)];
  if (!Named(k, "Num") && !Named(k, "Grade")) return;
  ReadHandRecord(c, k.selected + 1);
  SmallForm& score = ScoreWindow(c);
  score.visible = true;
  score.topmost = true;
}

void BuildScore(Client& c, SmallForm& f) {
  f.caption = "战绩板";
  f.w = kScoreW;
  f.h = kScoreH;
  f.background = kWindowColour;
  f.opacity = 255;
  LayerSmallWindow(c, f, kSmallWindowOpacity);
  // The caption drags the window like its background.
  f.controls[static_cast<std::size_t>(AddLabel(f, "Label1", 0, 10, 4, 120, 20, "战绩板"))].drags =
      true;
  for (int s = 0; s < kSides; ++s) {
    const int x = 10 + kColumnStep * s;
    AddControl(f, ControlType::Image, "Tou", s, x + (kColumnW - kTouW) / 2, 26, kTouW, kTouH);
    AddLabel(f, "ID", s, x, 82, kColumnW, 18, "玩家" + std::to_string(s));
  }
  for (int k = 0; k < 8; ++k) {
    const int x = 10 + kColumnStep * (k % 4);
    const int i = k < 4 ? AddControl(f, ControlType::List, "State", k, x, 102, kColumnW, 378)
                        : AddControl(f, ControlType::List, "State", k, x, 484, kColumnW, 36);
    Control& list = f.controls[static_cast<std::size_t>(i)];
    list.fontSize = 9;
    // A long hand-type line keeps its points: it wraps rather than being cut,
    // and the other columns keep their lines level with its own.
    list.wrap = true;
    if (k < 4) list.rowGroup = kSheetRows;
  }
  AddCloseButton(f);
  c.forms.handlers[static_cast<std::size_t>(FormId::Score)].click = ScoreClick;
}

void BuildHero(Client& c, SmallForm& f) {
  f.caption = "英雄榜";
  f.w = kHeroW;
  f.h = kHeroH;
  f.background = kWindowColour;
  f.opacity = 255;
  LayerSmallWindow(c, f, kSmallWindowOpacity);
  // The hint, the faces and the names drag the window like its background.
  // The window says what it is, as the result window does.
  f.controls[static_cast<std::size_t>(AddLabel(f, "Caption", 0, 10, 4, 60, 20, "英雄榜"))].drags =
      true;
  f.controls[static_cast<std::size_t>(AddLabel(f, "Label1", 0, 80, 4, 140, 20, "点击查看明细"))]
      .drags = true;
  f.controls[static_cast<std::size_t>(AddControl(f, ControlType::List, "Num", 0, 10, 102, 90, 240))]
      .rowGroup = kRankingRows;
  for (int s = 0; s < kSides; ++s) {
    const int x = 106 + 111 * s;
    f.controls[static_cast<std::size_t>(AddControl(f, ControlType::Image, "Tou", s,
                                                   x + (105 - kTouW) / 2, 26, kTouW, kTouH))]
        .drags = true;
    f.controls[static_cast<std::size_t>(
                   AddLabel(f, "ID", s, x, 82, 105, 18, "玩家" + std::to_string(s)))]
        .drags = true;
    f.controls[static_cast<std::size_t>(
                   AddControl(f, ControlType::List, "Grade", s, x, 102, 105, 240))]
        .rowGroup = kRankingRows;
    AddLabel(f, "sumScore", s, x, 350, 105, 20, "");
  }
  AddLabel(f, "Label2", 0, 10, 350, 90, 20, "输赢总分：");
  AddCloseButton(f);
  FormHandlers& h = c.forms.handlers[static_cast<std::size_t>(FormId::Hero)];
  h.click = HeroClick;
  h.doubleClick = HeroDoubleClick;
}

void ShowCentred(Client& c, SmallForm& f) {
  CentreOverTable(c, f);
  f.visible = true;
}

// The ranking window opens on its latest hands; the hand numbers scroll with
// the results so that each row stays one hand.
void ScrollToLatestHands(SmallForm& hero) {
  for (Control& k : hero.controls)
    if ((Named(k, "Num") || Named(k, "Grade")) && !k.items.empty()) ++k.scrollToLast;
}

}  // namespace

SmallForm& ScoreWindow(Client& c) {
  SmallForm& f = c.forms[FormId::Score];
  if (!f.loaded) {
    f.controls.clear();
    BuildScore(c, f);
    f.loaded = true;
    CentreOverTable(c, f);
  }
  return f;
}

SmallForm& HeroWindow(Client& c) {
  SmallForm& f = c.forms[FormId::Hero];
  if (!f.loaded) {
    f.controls.clear();
    BuildHero(c, f);
    f.loaded = true;
    CentreOverTable(c, f);
  }
  return f;
}

Control& ScoreControl(Client& c, const char* name, int index) {
  return Find(ScoreWindow(c), name, index);
}

Control& HeroControl(Client& c, const char* name, int index) {
  return Find(HeroWindow(c), name, index);
}

std::vector<std::string>& ScoreList(Client& c, int k) {
  return ScoreControl(c, "State", CheckIndex(k, 8, "result list")).items;
}

void ShowResultWindow(Client& c) {
  ShowCentred(c, ScoreWindow(c));
}

void ShowRankingWindow(Client& c) {
  SmallForm& f = HeroWindow(c);
  if (!f.visible) ScrollToLatestHands(f);
  ShowCentred(c, f);
}

void ToggleScoreWindow(Client& c, int handNo) {
  SmallForm& f = ScoreWindow(c);
  if (f.visible) {
    Hide(c, f);
    return;
  }
  ReadHandRecord(c, handNo);
  f.topmost = true;
  f.visible = true;
}

void ToggleHeroWindow(Client& c) {
  SmallForm& f = HeroWindow(c);
  if (f.visible) {
    Hide(c, f);
    return;
  }
  ScrollToLatestHands(f);
  f.topmost = true;
  f.visible = true;
}

void ClearRankingLists(Client& c) {
  SmallForm& f = HeroWindow(c);
  for (Control& k : f.controls)
    if (Named(k, "Num") || Named(k, "Grade")) {
      k.items.clear();
      k.selected = -1;
    }
}

void ClearResultWindows(Client& c) {
  ClearRankingLists(c);
  SmallForm& hero = HeroWindow(c);
  for (Control& k : hero.controls)
    if (Named(k, "sumScore")) k.caption.clear();
  SmallForm& score = ScoreWindow(c);
  for (Control& k : score.controls)
    if (Named(k, "State")) {
      k.items.clear();
      k.selected = -1;
    }
  hero.visible = false;
  score.visible = false;
}

void SetSidePortrait(Client& c, int side, int picture) {
  const auto s = static_cast<std::size_t>(CheckIndex(side, kSides, "side"));
  c.view.Tou[s].picture = picture;
  ScoreControl(c, "Tou", side).picture = picture;
  HeroControl(c, "Tou", side).picture = picture;
}

void SetSideName(Client& c, int side, const std::string& nick) {
  ScoreControl(c, "ID", side).caption = nick;
  HeroControl(c, "ID", side).caption = nick;
}

}  // namespace tavren
