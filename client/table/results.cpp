#include "table/results.h"

#include <limits>

#include "core/client.h"
#include "input/input.h"
#include "input/requests.h"
#include "link/pump.h"
#include "replay/recorder.h"
#include "rules/settlement.h"
#include "shell/record_file.h"
#include "shell/result_windows.h"
#include "view/access.h"

namespace tavren {

namespace {

constexpr int kContinueSeconds = 15;

std::int64_t SignedLittleEndian(const Frame& f, std::size_t offset) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | f[offset + static_cast<std::size_t>(i)];
  return static_cast<std::int64_t>(v);
}

// Four zero results: nobody won, and the sheet says so.
void ShowDrawnHand(Client& c) {
  TableModel& t = c.table;
  t.HandInProgress = false;
  // A turn clock left running would count down with the continue clock.
  c.link.TurnClockOn = false;
  HeroControl(c, "Num", 0).items.push_back(PadRight(std::to_string(t.HandNo), 12));
  for (int s = 0; s < kSides; ++s) {
    ScoreControl(c, "ID", s).color = kRed;
    ScoreList(c, s).push_back("      黄  庄");
    ScoreList(c, s + 4).push_back("最终分：0金币");
    HeroControl(c, "Grade", s).items.push_back(PadRight("0", 9) + "金币");
  }
  if (!c.link.BossMode) ShowResultWindow(c);
  WriteHandRecord(c, t.HandNo);
  if (c.recorder) RecordHandEnd(c, true);
  ArmContinueCountdown(c, kContinueSeconds);
}

// An offer still open when the hand ends (another seat won on the discard)
// has nothing left to answer: its buttons and candidates go, and its clock.
void CloseOpenOffer(Client& c) {
  OfferState& o = c.offer;
  o.OfferState.fill(0);
  o.MayDiscard = false;
  RetireOperationButtons(c);
  HideChoiceImages(c);
  if (c.link.TurnClockOn) StopTurnClock(c);
}

}  // namespace

void ArmContinueCountdown(Client& c, int seconds) {
  CloseOpenOffer(c);
  c.view.Sysmsg[0].clear();
  c.view.Sysmsg[0].add("请点击【继续】按钮继续游戏！");
  MarkContinueButton(c, false);
  c.table.TableCleared = false;
  c.view.Sysmsg[1].clear();
  c.view.Sysmsg[1].add("游戏将在15秒内开始");
  if (c.table.Watching) return;
  StartContinueClock(c, seconds);
}

void HandleHandResult(Client& c, const InfoRecord& r) {
  CloseOpenOffer(c);
  const int s = SeatToSide(OwnSeat(c), r.seat & 0x0F);
  c.play.HandUnscored = false;
  ScoreList(c, s).clear();
  ScoreList(c, s + 4).clear();
  std::int64_t coins = SignedLittleEndian(c.link.LastFrame, protocol::kPayloadOffset);
  // The sign switch turns the amount into a loss; negating the lowest value has no result.
  if (r.value[1] == 0) {
    if (coins == std::numeric_limits<std::int64_t>::min()) throw BadRecord("coin result too large");
    coins = -coins;
  }
  if (coins < std::numeric_limits<std::int32_t>::min() ||
      coins > std::numeric_limits<std::int32_t>::max())
    throw BadRecord("coin result too large");
  Hand(c, s).gold = static_cast<std::int32_t>(coins);

  HandEndState& e = c.handEnd;
  if (++e.ResultCount < kSides) return;
  e.ResultCount = 0;
  for (const HandRecord& h : c.table.custom)
    if (h.gold != 0) return;
  ShowDrawnHand(c);
}

void HandleSettlement(Client& c, const InfoRecord& r) {
  const int s = SeatToSide(OwnSeat(c), r.seat & 0x0F);
  HandEndState& e = c.handEnd;
  auto& rows = e.SettleTable[static_cast<std::size_t>(s)];
  rows[0] = r.value[1];
  rows[1] = r.value[3];
  ++e.SettleCount;
  for (std::size_t i = 0; i + 2 < rows.size(); ++i)
    rows[i + 2] = c.link.LastFrame[protocol::kPayloadOffset + i];
  if (e.SettleCount < kSides) return;
  e.SettleCount = 0;
  ShowSettlement(c);
}

}  // namespace tavren
