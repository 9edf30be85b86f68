#include "table/model.h"

#include "core/client.h"

namespace tavren {

std::uint8_t OwnSeat(const Client& c) {
  return c.table.custom[0].seat;
}

int SideOf(const Client& c, std::uint8_t seat) {
  return SeatToSide(OwnSeat(c), seat);
}

void ResetHandRecords(Client& c) {
  TableModel& t = c.table;
  for (int s = 0; s < kSides; ++s) {
    HandRecord& h = t.custom[s];
    h.gold = 0;
    h.isDealer = false;
    for (TileSlot& slot : h.mj) {
      slot.typ = kSlotEmpty;
      slot.ind = -1;  // the value stays: later code may still read the last tile
    }
    h.first = 4;
    h.count = 0;
    h.leadWilds = h.redAside = h.wildAside = 0;
    h.meldCursor = s == 0 ? 3 : 4;
    t.PlayerTag[s].clear();
  }
  t.WildTileCode = -1;
  c.offer.MayDiscard = false;
  c.play.SeatCount = 0;
  c.play.SnapshotOpen = false;
  c.view.Label3.caption.clear();
  for (auto& column : t.AsideTiles) column.fill(0);
  TableViewState& v = c.tableView;
  v.DrawFromFront = true;
  for (auto& revealed : v.RevealedTiles) revealed.fill(0);
  v.RightDiscards.fill(0);
  v.RightDiscardCount = 0;
  v.HuSide = -1;
  HandEndState& e = c.handEnd;
  e.ResultCount = 0;
  e.SettleCount = 0;
  for (auto& rows : e.SettleTable) rows.fill(0);
  c.settlement.HandResult.fill(0);
  t.HandInProgress = false;
}

}  // namespace tavren
