#include "lobby/table_list.h"

#include "protocol/tavren_protocol.h"

namespace tavren::lobby {

namespace proto = tavren::protocol;

namespace {

int operand(const std::uint8_t* f, int i) {
  const std::size_t at = proto::kOperandOffset + 2 * static_cast<std::size_t>(i);
  return static_cast<std::int16_t>((f[at] << 8) | f[at + 1]);
}

}  // namespace

std::array<std::uint8_t, kFrameBytes> tableListRequest(int first) {
  std::array<std::uint8_t, kFrameBytes> f{};
  f[proto::kTypeHighOffset] = static_cast<std::uint8_t>(proto::kReqTableList >> 8);
  f[proto::kTypeOffset] = static_cast<std::uint8_t>(proto::kReqTableList & 0xFF);
  f[proto::kOperandOffset] = static_cast<std::uint8_t>((first >> 8) & 0xFF);
  f[proto::kOperandOffset + 1] = static_cast<std::uint8_t>(first & 0xFF);
  return f;
}

std::optional<TableEntry> decodeTableEntry(const std::uint8_t* f) {
  if (f[proto::kTypeOffset] != proto::kInsTableList) return std::nullopt;
  TableEntry t;
  t.table = operand(f, 0);
  t.tableCount = operand(f, 1);
  t.state = operand(f, 2);
  t.watchers = operand(f, 3);
  t.waitsForStart = (f[proto::kByte7Offset] & 1) != 0;
  if (t.table < 0 || t.tableCount <= t.table || t.state < 0 || t.state > proto::kTablePlaying ||
      t.watchers < 0)
    return std::nullopt;
  for (int s = 0; s < 4; ++s) {
    const std::uint8_t* at = f + proto::kPayloadOffset + proto::kTableListSeatBytes * s;
    SeatEntry& e = t.seats[s];
    e.kind = at[0];
    if (e.kind > proto::kSeatAway) return std::nullopt;
    e.ready = at[1] != 0;
    for (int k = 0; k < 8; ++k)
      e.userId |= static_cast<std::uint64_t>(at[proto::kTableListUserIdOffset + k]) << (8 * k);
    // Only printable ASCII of the name: it is shown and handed on as it is.
    for (std::size_t k = 0; k < proto::kNameBytes; ++k) {
      const std::uint8_t c = at[proto::kTableListNameOffset + k];
      if (c == 0) break;
      e.name += c > 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
  }
  return t;
}

std::string seatText(const SeatEntry& s) {
  switch (s.kind) {
    case proto::kSeatFree:
      return "空位";
    case proto::kSeatRobot:
      return "机器人";
    case proto::kSeatAway:
      return s.name + "（断线）";
    default:
      return s.ready ? s.name + "（已开始）" : s.name;
  }
}

std::string stateText(const TableEntry& t) {
  switch (t.state) {
    case proto::kTableWaitingStart:
      return t.waitsForStart ? "等待开始" : "即将开始";
    case proto::kTableBetweenHands:
      return "局间";
    case proto::kTablePlaying:
      return "对局中";
    default:
      return "空桌";
  }
}

bool seatCanBeTaken(const SeatEntry& s) {
  return s.kind == proto::kSeatFree || s.kind == proto::kSeatRobot;
}
bool seatCanBeWatched(const SeatEntry& s) {
  return s.kind == proto::kSeatPlayer || s.kind == proto::kSeatAway;
}

}  // namespace tavren::lobby
