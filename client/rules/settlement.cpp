#include "rules/settlement.h"

#include <limits>
#include <string>
#include <vector>

#include "core/client.h"
#include "input/input.h"
#include "replay/recorder.h"
#include "shell/record_file.h"
#include "shell/result_windows.h"
#include "table/results.h"
#include "text/gbk.h"
#include "view/windows.h"

namespace tavren {

namespace {

constexpr int kContinueSeconds = 15;
constexpr int kUnattendedContinueSeconds = 5;
const std::string kNoItem = "      ";  // keeps the columns aligned

using Rows = std::array<std::int16_t, kSettleRows>;

int Row(const Rows& rows, int r) {
  return rows[static_cast<std::size_t>(r)];
}
int Low(const Rows& rows, int r) {
  return Row(rows, r) & 0xF;
}
std::string N(int n) {
  return std::to_string(n);
}

// The coins of rows 25..32 (least significant first), negative when row 33 is 2.
std::int64_t Amount(const Rows& rows) {
  std::uint64_t v = 0;
  for (int r = 32; r >= 25; --r) v = v << 8 | static_cast<std::uint8_t>(Row(rows, r));
  // Amounts beyond what the totals can hold are taken at the largest they can.
  const std::uint64_t cap = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  const auto magnitude = static_cast<std::int64_t>(v > cap ? cap : v);
  return Row(rows, 33) == 2 ? -magnitude : magnitude;
}

// The level text of rows 34..49, byte pairs until a zero lead byte.
std::string LevelText(const Rows& rows) {
  std::string gbk;
  for (int r = 34; r + 1 <= 49; r += 2) {
    const auto hi = static_cast<char>(Row(rows, r));
    const auto lo = static_cast<char>(Row(rows, r + 1));
    if (hi == 0) break;
    gbk.push_back(hi);
    if (lo != 0) gbk.push_back(lo);
  }
  return GbkToUtf8(gbk);
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t out = 0;
  if (__builtin_add_overflow(a, b, &out))
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
  return out;
}

// Money moved by a hand's result; `floor` when it would go below zero.
std::uint64_t Moved(std::uint64_t money, std::int64_t delta, std::uint64_t floor) {
  if (delta >= 0) {
    const auto up = static_cast<std::uint64_t>(delta);
    return money > std::numeric_limits<std::uint64_t>::max() - up
               ? std::numeric_limits<std::uint64_t>::max()
               : money + up;
  }
  const std::uint64_t down = 0 - static_cast<std::uint64_t>(delta);
  return money >= down ? money - down : floor;
}

// The hand-type names of one side, in sheet order.
std::string HandTypes(const Rows& rows) {
  std::string t;
  if (Row(rows, 5) / 16 == 8) t += "混一色";
  int v = (Row(rows, 4) & 0xFF) % 16;
  static constexpr std::pair<int, const char*> kRow4[] = {
      {8, "清一色"}, {4, "风一色"}, {2, "捉五"}, {1, "一条龙"}};
  for (const auto& [bit, name] : kRow4)
    if (v >= bit) {
      t += name;
      v -= bit;
    }
  if ((Row(rows, 4) & 0xFF) / 16 >= 8) t += "碰碰胡";
  v = (Row(rows, 3) & 0xFF) % 16;
  static constexpr std::pair<int, const char*> kRow3[] = {
      {4, "十三幺"}, {2, "豪华七对"}, {1, "七对"}};
  for (const auto& [bit, name] : kRow3)
    if (v >= bit) {
      t += name;
      v -= bit;
    }
  return t;
}

struct Item {
  int row;
  std::string (*text)(int n);
};

// Fan items 2..19 and 21..22 of the sheet: the row that carries each and its line.
const Item kItemsBeforeRule[] = {
    {14,
     [](int n) {
       return n >= 2 ? "连庄" + N(n) + "次 " + N(n) + "分" : std::string("庄家    1分");
     }},
    {6, [](int) { return std::string("点炮"); }},
    {8, [](int n) { return "明杠" + N(n) + "个 " + N(n) + "分"; }},
    {9, [](int n) { return "暗杠" + N(n) + "个 " + N(2 * n) + "分"; }},
    {10, [](int n) { return "圈风    " + N(n) + "分"; }},
    {11, [](int n) { return "门风    " + N(n) + "分"; }},
    {13, [](int n) { return "暗刻" + N(n) + "个 " + N(n) + "分"; }},
    {15, [](int) { return std::string("边张    1分"); }},
    {16, [](int) { return std::string("坎张    1分"); }},
    {17, [](int) { return std::string("吊张    1分"); }},
    {18, [](int) { return std::string("八张    1分"); }},
    {19, [](int n) { return "缺" + N(n) + "门   " + N(n) + "分"; }},
    {100, [](int n) { return "小连 " + N(n) + "个 " + N(n) + "分"; }},
    {101, [](int n) { return "大连 " + N(n) + "个 " + N(2 * n) + "分"; }},
    {21, [](int n) { return "一般高  " + N(n) + "个 " + N(n) + "分"; }},
    {23, [](int n) { return "老少    " + N(n) + "分"; }},
    {24, [](int n) { return "四归一  " + N(n) + "个 " + N(n) + "分"; }},
    {22, [](int n) { return "财神" + N(n) + "个 " + N(n) + "分"; }},
};
const Item kItemsAfterRule[] = {
    {12, [](int) { return std::string("门清    1番"); }},
    {7, [](int n) { return "自摸    " + N(n) + "番"; }},
};

// One line per side for an item some side has; nothing when no side has it.
void AddItem(Client& c, const Item& item) {
  const auto& table = c.handEnd.SettleTable;
  bool any = false;
  for (const Rows& rows : table) any = any || Low(rows, item.row) != 0;
  if (!any) return;
  for (int s = 0; s < kSides; ++s) {
    const int n = Low(table[static_cast<std::size_t>(s)], item.row);
    ScoreList(c, s).push_back(n != 0 ? item.text(n) : kNoItem);
  }
}

void AddFanList(Client& c) {
  const auto& table = c.handEnd.SettleTable;
  std::string types;
  bool scored = false;
  for (const Rows& rows : table) {
    types += HandTypes(rows);
    scored = scored || Row(rows, 50) > 0;
  }
  if (!types.empty() && scored)
    for (int s = 0; s < kSides; ++s) {
      const int points = Row(table[static_cast<std::size_t>(s)], 50);
      ScoreList(c, s).push_back(points < 1 ? std::string(9, ' ') : types + "  " + N(points) + "分");
    }
  for (const Item& item : kItemsBeforeRule) AddItem(c, item);
  for (int s = 0; s < kSides; ++s) ScoreList(c, s).push_back(std::string(24, '-'));
  for (const Item& item : kItemsAfterRule) AddItem(c, item);
}

}  // namespace

void ShowSettlement(Client& c) {
  TableModel& t = c.table;
  SettlementState& st = c.settlement;
  const auto& table = c.handEnd.SettleTable;
  MainForm& f = c.view;

  for (int k = 0; k < 8; ++k) ScoreList(c, k).clear();
  for (int s = 0; s < kSides; ++s) {
    const auto i = static_cast<std::size_t>(s);
    st.HandResult[i] = Amount(table[i]);
    st.RunningTotal[i] = SaturatingAdd(st.RunningTotal[i], st.HandResult[i]);
    t.PlayerInfo[i].level = LevelText(table[i]);
    f.Level[i].caption = t.PlayerInfo[i].level;
  }
  HeroControl(c, "Num", 0).items.push_back(PadRight(N(t.HandNo), 12));
  for (int s = 0; s < kSides; ++s) {
    ScoreList(c, s).push_back("   房间底金:  " + N(Row(table[static_cast<std::size_t>(s)], 0)));
    ScoreList(c, s).push_back(" ");
  }
  AddFanList(c);
  for (int s = 0; s < kSides; ++s) {
    ScoreList(c, s).push_back(std::string(30, '-'));
    ScoreList(c, s).push_back(" ");
  }
  for (int s = 0; s < kSides; ++s) {
    const auto i = static_cast<std::size_t>(s);
    PlayerInfoRecord& p = t.PlayerInfo[i];
    const std::int64_t result = st.HandResult[i];
    const std::string unit = (Row(table[i], 1) & 0xFF) == 1 ? "金币" : "金条";
    p.money3 = Moved(p.money3, result, 0);
    p.money1 = Moved(p.money1, result, 1);
    if (result > 0 || (result == 0 && t.custom[i].gold >= 1))
      ++p.stat3;
    else
      ++p.stat4;
    f.Cash[i].caption = std::to_string(p.money3) + unit;
    ScoreList(c, s).push_back("胡牌总分：" + N(t.custom[i].gold) + unit);
    ScoreList(c, s).push_back("");
    ScoreList(c, s + 4).push_back("最终分：" + std::to_string(result) + unit);
    HeroControl(c, "Grade", s).items.push_back(PadRight(std::to_string(result), 9) + unit);
    HeroControl(c, "sumScore", s).caption = std::to_string(st.RunningTotal[i]) + unit;
  }
  AddItem(c, Item{102, [](int) { return std::string("包胡"); }});
  for (int s = 0; s < kSides; ++s) {
    const auto i = static_cast<std::size_t>(s);
    const std::string unit = (Row(table[i], 1) & 0xFF) == 1 ? "金币" : "金条";
    ScoreList(c, s).push_back("最终分：" + std::to_string(st.HandResult[i]) + unit);
  }
  // The names keep the colours the hand's win gave them: the winner red.
  for (int s = 0; s < kSides; ++s)
    ScoreControl(c, "ID", s).color = c.tableView.ResultIdColor[static_cast<std::size_t>(s)];

  SmallForm& score = ScoreWindow(c);
  CentreOverTable(c, score);
  if (!f.minimized) score.visible = true;

  t.HandInProgress = false;
  c.input.ReadyFlag = false;
  c.link.TurnClockOn = false;
  ArmContinueCountdown(c, c.shell.UnattendedMode ? kUnattendedContinueSeconds : kContinueSeconds);
  WriteHandRecord(c, t.HandNo);
  if (c.recorder) RecordHandEnd(c, false);
}

void ResetGameTotals(Client& c) {
  c.settlement.RunningTotal.fill(0);
  for (int s = 0; s < kSides; ++s) HeroControl(c, "sumScore", s).caption.clear();
}

}  // namespace tavren
