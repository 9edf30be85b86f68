#include "engine/wire.h"

#include <algorithm>
#include <cstdio>

#include "engine/gbk.h"
#include "engine/score_items.h"
#include "engine/seating.h"

namespace tavren::server::wire {

namespace {

// In revealed hands and snapshots a wild tile is the client's own wild code.
constexpr int kRevealWild = proto::kLocalWildTile;
// Kinds of the tiles of a snapshot record.
constexpr int kSnapshotExposed = 0x20;
constexpr int kSnapshotConcealed = 0x10;

int showCode(Tile t) {
  return isFlower(t) ? flowerNumber(t) : wireCode(t);
}

// Three tile codes after the kind: a meld as the client lays it.
Frame meldFrame(int seat, int kind, int a, int b, int c) {
  Frame f(proto::kInsMeld, seatBit(seat));
  f.operand(0, kind).operand(1, a).operand(2, b).operand(3, c);
  return f;
}

}  // namespace

int encode(int face, int wildFace) {
  return face < 0 || face == wildFace ? proto::kWireWildTile : wireCode(face);
}

int tileCode(Tile t, int wildFace) {
  if (isFlower(t)) return flowerNumber(t);
  return t == wildFace ? proto::kWireWildTile : wireCode(t);
}

// ---------------------------------------------------------------- logins and seating

Frame loginAccepted(const Server::Config& config, std::uint16_t token) {
  Frame out(proto::kInsLoginResult, 0);
  out.operand(3, proto::kLoginAccepted);
  out.operand(1, config.turnTimeSec & 15);
  out.byteAt(proto::kOperandOffset + 1, std::clamp(config.autoPlayLimit, 0, 255));
  out.text(proto::kPayloadOffset, proto::kLoginUrlBytes, config.pageUrl);
  out.token(token);
  return out;
}

Frame loginRefused(int verdict) {
  Frame out(proto::kInsLoginResult, 0);
  out.operand(3, verdict);
  return out;
}

Frame resumed(int seat, std::uint16_t token) {
  Frame ok(proto::kInsResumed, seatBit(seat));
  ok.operand(3, proto::kResumeDone);
  ok.token(token);
  return ok;
}

Frame notResumed() {
  return Frame(proto::kInsResumed, 0);  // value 0: not resumed
}

Frame name(int seat, const std::string& account) {
  Frame f(proto::kInsPlayerName, seatBit(seat));
  f.text(proto::kPayloadOffset, proto::kNameBytes, account);
  return f;
}

Frame record(const Seat& s, int seatByte) {
  Frame f(proto::kInsPlayerRecord, seatByte);
  const std::uint64_t money = s.gold > 0 ? static_cast<std::uint64_t>(s.gold) : 0;
  char face[4];
  std::snprintf(face, sizeof face, "%c%d", s.sex ? 'w' : 'm', s.face);
  f.text(16, 32, s.nickGbk)
      .text(48, 16, face)
      .byteAt(64, s.sex)
      .u64(80, money)
      .u64(96, money)
      .text(112, 16, s.levelGbk)
      .u32(152, static_cast<std::uint32_t>(s.wins + s.losses))
      .u32(160, static_cast<std::uint32_t>(s.wins))
      .u32(164, static_cast<std::uint32_t>(s.losses))
      .text(168, 16, s.account)
      .text(184, 24, s.titleGbk)
      .byteAt(208, s.ready ? 1 : 0)
      .text(210, 8, "27")
      .text(218, 8, s.sex ? "20" : "10")
      .u64(226, s.userId);
  return f;
}

Frame dealer(int dealer) {
  Frame f(proto::kInsMembership, seatBit(dealer));
  f.operand(3, proto::kMembershipDealer);
  return f;
}

Frame membership(int seatBits, int value) {
  Frame f(proto::kInsMembership, seatBits);
  f.operand(3, value);
  return f;
}

Frame ready(int seat, const std::string& account) {
  Frame f(proto::kInsReady, seatBit(seat));
  f.operand(3, 1).text(proto::kPayloadOffset, proto::kNameBytes, account);
  return f;
}

Frame playerGone(int seat, const std::string& account) {
  Frame gone(proto::kInsPlayerGone, seatBit(seat));
  gone.text(proto::kPayloadOffset, proto::kNameBytes, account);
  return gone;
}

Frame startNotice(int seconds) {
  Frame f(proto::kInsChat, 0);
  f.text(proto::kPayloadOffset, proto::kChatTextBytes,
         toGbk("系统提示: 牌局将在" + std::to_string(seconds) + "秒后开始，请稍候"));
  return f;
}

Frame waitForStartNotice() {
  Frame f(proto::kInsChat, 0);
  f.text(proto::kPayloadOffset, proto::kChatTextBytes,
         toGbk("系统提示: 所有玩家按“开始”后牌局开始"));
  return f;
}

std::string stampSpeaker(std::string_view text, std::string_view speaker) {
  static const std::string says = toGbk("说道"), to = toGbk("对");
  const bool own = !speaker.empty() && text.substr(0, speaker.size()) == speaker &&
                   (text.substr(speaker.size(), says.size()) == says ||
                    text.substr(speaker.size(), to.size()) == to);
  std::string line =
      own ? std::string(text) : std::string(speaker) + says + ": " + std::string(text);
  // GBK: a byte from 0x81 leads a two-byte character; never keep half of one.
  std::size_t keep = 0;
  while (keep < line.size()) {
    const std::size_t step = static_cast<unsigned char>(line[keep]) >= 0x81 ? 2 : 1;
    if (keep + step > proto::kChatTextBytes || keep + step > line.size()) break;
    keep += step;
  }
  line.resize(keep);
  return line;
}

Frame chat(const Frame& request, int fromSeat, const std::string& speakerGbk) {
  Frame out(proto::kInsChat, fromSeat >= 0 ? seatBit(fromSeat) : 0);
  out.operand(0, request.operand(0) & 0xFF)
      .operand(1, request.operand(1) & 15)
      .operand(3, request.operand(3) & 0xFF);
  out.text(proto::kPayloadOffset, proto::kChatTextBytes,
           stampSpeaker(request.textAt(proto::kPayloadOffset, proto::kChatTextBytes), speakerGbk));
  return out;
}

Frame gameOver(std::string_view noticeGbk) {
  Frame f(proto::kInsGameOver, 0);
  f.text(proto::kPayloadOffset, proto::kNoticeBytes, noticeGbk);
  return f;
}

// ---------------------------------------------------------------- a hand

Frame newHand(const HandState& h) {
  Frame f(proto::kInsNewHand, seatBit(h.dealer));
  for (int i = 0; i < 4; ++i) f.operand(i, h.dice[i]);
  f.byteAt(proto::kPayloadOffset, h.roundWind + 1);
  return f;
}

Frame deal(int seat, const std::array<Tile, 12>& tiles, int wildFace) {
  Frame f(proto::kInsDeal, seatBit(seat));
  for (std::size_t i = 0; i < tiles.size(); ++i)
    f.byteAt(proto::kPayloadOffset + i, tileCode(tiles[i], wildFace));
  return f;
}

Frame dealHidden(int seat) {
  return Frame(proto::kInsDeal, seatBit(seat));
}

Frame draw(int seat, Tile t, int wildFace) {
  Frame f(proto::kInsDraw, seatBit(seat));
  f.operand(0, tileCode(t, wildFace));
  return f;
}

Frame drawHidden(int seat) {
  return Frame(proto::kInsDraw, seatBit(seat));
}

Frame flower(int seat, const FlowerSwap& swap, int wildFace) {
  Frame f = flowerHidden(seat, swap.flower);
  f.operand(3, tileCode(swap.replacement, wildFace));
  return f;
}

Frame flowerHidden(int seat, Tile flower) {
  Frame f(proto::kInsFlower, seatBit(seat));
  f.operand(1, flowerNumber(flower));
  return f;
}

Frame wildTile(const HandState& h) {
  Frame f(proto::kInsWildTile, 0);
  f.operand(2, wireCode(h.wildFace)).operand(3, wireCode(h.shownFace));
  return f;
}

Frame jiaoTouAsk(int dealer) {
  return Frame(proto::kInsJiaoTou, seatBit(dealer));
}

Frame jiaoTou(const HandState& h) {
  Frame f(proto::kInsJiaoTou, seatBit(h.dealer));
  f.operand(1, h.tou).operand(3, h.mo);
  return f;
}

Frame offer(int seat, int mask) {
  Frame f(proto::kInsOffer, seatBit(seat));
  f.operand(0, mask);
  return f;
}

Frame discard(int seat, int face, bool followsDealer, int wildFace) {
  Frame f(proto::kInsDiscard, seatBit(seat));
  f.operand(0, followsDealer ? proto::kDiscardFollowsDealer : 0).operand(3, encode(face, wildFace));
  return f;
}

Frame meld(int seat, int kind, const Meld& m) {
  if (m.kind == MeldKind::Chi)
    return meldFrame(seat, kind, wireCode(m.face), wireCode(m.face + 1), wireCode(m.face + 2));
  return kong(seat, kind, m.face);
}

Frame kong(int seat, int kind, int face) {
  const int code = wireCode(face);
  return meldFrame(seat, kind, code, code, code);
}

Frame win(int seat, int winFace, int wildFace) {
  Frame f(proto::kInsMeld, seatBit(seat));
  f.operand(0, proto::kClaimHu).operand(3, encode(winFace, wildFace));
  return f;
}

// ---------------------------------------------------------------- the end of a hand

namespace {

// The next tiles of the wall: two from its back, three from its front.
std::array<std::uint8_t, 5> wallShow(const HandState& h) {
  std::array<std::uint8_t, 5> show{};
  int n = 0;
  for (int i = 1; i <= 2 && h.back - i >= h.front; ++i)
    show[n++] = static_cast<std::uint8_t>(showCode(h.wall[h.back - i]));
  for (int i = 0; i < 3 && h.front + i < h.back - 2; ++i)
    show[n++] = static_cast<std::uint8_t>(showCode(h.wall[h.front + i]));
  return show;
}

// The seat's concealed tiles as the client shows them face up.
int revealedCodes(const HandState& h, int seat, int winner, bool selfDrawn, int winFace,
                  int (&codes)[18]) {
  Counts shown = h.seats[seat].hand;
  int last = -3;
  if (seat == winner) {
    // On a discard the client adds the discard itself; a self-drawn tile, or
    // one robbed from a kong (no discard lies there), comes last.
    if (winFace < 0)
      --shown.wilds;
    else
      --shown.c[winFace];
    if (selfDrawn || h.robbedWin) last = winFace;
  }
  int n = 0;
  for (int face = 0; face < kFaces; ++face)
    for (int k = 0; k < shown.c[face] && n < 17; ++k) codes[n++] = wireCode(face);
  for (int k = 0; k < shown.wilds && n < 17; ++k) codes[n++] = kRevealWild;
  if (last != -3) codes[n++] = last < 0 ? kRevealWild : wireCode(last);
  return n;
}

}  // namespace

std::vector<Frame> reveals(const HandState& h, int winner, bool selfDrawn, int winFace) {
  const std::array<std::uint8_t, 5> show = wallShow(h);
  std::vector<Frame> out;
  for (int seat = 0; seat < 4; ++seat) {
    int codes[18];
    const int n = revealedCodes(h, seat, winner, selfDrawn, winFace, codes);
    for (int i = 0; i < n; i += 4) {
      Frame f(proto::kInsReveal, seatBit(seat));
      for (int j = 0; j < 4 && i + j < n; ++j) f.operand(j, codes[i + j]);
      for (std::size_t j = 0; j < show.size(); ++j) f.byteAt(proto::kPayloadOffset + j, show[j]);
      out.push_back(f);
    }
  }
  return out;
}

Frame result(int seat, std::int64_t coins) {
  Frame f(proto::kInsResult, seatBit(seat));
  f.operand(1, coins >= 0 ? 1 : 0)
      .u64(proto::kPayloadOffset, static_cast<std::uint64_t>(coins >= 0 ? coins : -coins));
  return f;
}

Frame settlement(int seat, const Settlement& st, int winner, bool selfDrawn, int discarder,
                 int stake, const std::string& levelGbk) {
  Frame f(proto::kInsSettlement, seatBit(seat));
  f.operand(1, stake).operand(3, 1);
  auto row = [&](int r, int v) { f.byteAt(kSheetOffset + static_cast<std::size_t>(r), v); };
  if (seat == winner) writeScoreRows(f, st.score);
  if (!selfDrawn && seat == discarder) row(6, 1);
  if (seat == st.liable) row(102, 1);
  const std::int64_t r = st.results[seat];
  f.u64(kSheetOffset + 25, static_cast<std::uint64_t>(r >= 0 ? r : -r));
  row(33, r < 0 ? 2 : 0);
  f.text(kSheetOffset + 34, 16, levelGbk);
  return f;
}

// ---------------------------------------------------------------- snapshots

Frame tableJoined(const HandState& h) {
  Frame head(proto::kInsTableJoined, seatBit(h.dealer));
  head.operand(0, h.dice[0])
      .operand(1, h.dice[1])
      .operand(2, wireCode(h.wildFace))
      .operand(3, wireCode(h.shownFace));
  return head;
}

Frame snapshot(int seat, const HandState& h) {
  const SeatHand& s = h.seats[seat];
  Frame f(proto::kInsSnapshot, seatBit(seat));
  f.byteAt(proto::kByte7Offset, std::min(s.river, 255));
  f.operand(1, h.front).operand(3, kWallSize - 1 - h.backTaken);
  std::size_t at = proto::kPayloadOffset;
  auto pair = [&](int kind, int code) {
    if (at + 1 >= 64) return;
    f.byteAt(at, kind).byteAt(at + 1, code);
    at += 2;
  };
  // Set-aside tiles are exposed tiles the client tells apart by their face.
  for (int k = 0; k < s.redAside; ++k) pair(kSnapshotExposed, wireCode(kRed));
  for (int k = 0; k < s.wildAside; ++k) pair(kSnapshotExposed, wireCode(h.wildFace));
  for (int m = 0; m < s.meldCount; ++m) {
    const Meld& md = s.melds[m];
    const bool chi = md.kind == MeldKind::Chi;
    for (int k = 0; k < (md.isKong() ? 4 : 3); ++k)
      pair(kSnapshotExposed, wireCode(md.face + (chi ? k : 0)));
  }
  for (int face = 0; face < kFaces; ++face)
    for (int k = 0; k < s.hand.c[face]; ++k) pair(kSnapshotConcealed, wireCode(face));
  for (int k = 0; k < s.hand.wilds; ++k) pair(kSnapshotConcealed, kRevealWild);
  // Flowers drawn but not yet replaced are still standing in the row; their
  // replacements (the flower instruction) take their places.
  for (const Tile fl : s.pendingFlowers) pair(kSnapshotConcealed, flowerNumber(fl));
  return f;
}

}  // namespace tavren::server::wire
