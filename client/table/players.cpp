#include "table/players.h"

#include <cctype>

#include "core/client.h"
#include "input/input.h"
#include "shell/result_windows.h"
#include "text/gbk.h"
#include "view/motion.h"
#include "view/timed.h"

namespace tavren {

namespace {

constexpr std::uint8_t kOwnRecord = 15;
constexpr std::size_t kReadyByte = 208;
constexpr int kPortraits = 20;

// Double-byte text inside a field of `size` bytes: a lead byte pairs with the
// next byte only when that byte is still inside the field; a zero byte ends it.
std::string FieldText(const Frame& f, std::size_t offset, std::size_t size) {
  std::string gbk;
  const std::size_t end = offset + size;
  for (std::size_t i = offset; i < end && f[i] != 0; ++i) {
    gbk.push_back(static_cast<char>(f[i]));
    if (f[i] >= 0x80 && i + 1 < end) gbk.push_back(static_cast<char>(f[++i]));
  }
  return GbkToUtf8(gbk);
}

std::uint64_t U64(const Frame& f, std::size_t offset) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | f[offset + static_cast<std::size_t>(i)];
  return v;
}

std::int32_t I32(const Frame& f, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | f[offset + static_cast<std::size_t>(i)];
  return static_cast<std::int32_t>(v);
}

int Digit(char ch) {
  return std::isdigit(static_cast<unsigned char>(ch)) != 0 ? ch - '0' : -1;
}

bool IsSeatBit(std::uint8_t b) {
  return b == 1 || b == 2 || b == 4 || b == 8;
}

// The panels of side `t` from its player details.
void FillPanel(Client& c, int t, int portrait) {
  const auto i = static_cast<std::size_t>(t);
  const PlayerInfoRecord& p = c.table.PlayerInfo[i];
  MainForm& f = c.view;
  SetSidePortrait(c, t, f.pics.PortraitPics[static_cast<std::size_t>(portrait)]);
  f.Nid[i].caption = "[" + p.title + "] " + p.nick;
  f.Cash[i].caption = std::to_string(p.money3) + "金币";
  f.Level[i].caption = p.level;
  SetSideName(c, t, p.nick);
}

void ClearTable(Client& c) {
  clearTableModel(c);
  resetTableView(c);
  ResetHandRecords(c);
  c.table.TableCleared = true;
  // The table is cleared for the next hand, but the user's countdown to it
  // goes on (and acts when it runs out): it stays in sight.
  if (c.link.ContinueClockOn) ShowCountdown(c);
}

// The side of a record of a player who has no seat yet; -1 when he is shown already.
int WaitingSide(Client& c, const std::string& name) {
  HandEndState& e = c.handEnd;
  MainForm& f = c.view;
  int t = -1;
  if (e.WaitingCount < 1) {
    t = 1;
  } else {
    for (int s = 1; s < kSides; ++s) {
      const auto i = static_cast<std::size_t>(s);
      if (!f.Nid[i].caption.empty() && c.table.custom[i].name == name) return -1;
    }
    for (int s = 1; s < kSides && t < 0; ++s)
      if (f.Nid[static_cast<std::size_t>(s)].caption.empty()) t = s;
    // Every panel taken: there is nowhere to show him.
    if (t < 0) return -1;
  }
  if (++e.WaitingCount == 3) {
    ShowMainWindow(c);
    MinimizeLobby(c);
  }
  return t;
}

// The seat winds drawn and the voices handed out, once the fourth player is in.
void StartGameIfSeated(Client& c) {
  PlayState& ps = c.play;
  if (ps.SeatDrawState != -1 || ps.SeatCount != 4) return;
  ps.SeatDrawState = 0;
  ps.SeatCount = 5;
  showWindDraw(c, BitIndex(c.table.custom[0].seat));
  showCompass(c);
  // The result and ranking buttons keep no state of their own to clear here:
  // of the control bar's per-button flags only the ready button's
  // (TableActive) is ever set or read, and their highlight goes with the pointer.
  AssignVoices(c);
}

// Keeps the frame for a watcher until all four are in; true when the record
// is to be handled now.
bool BufferForWatcher(Client& c) {
  HandEndState& e = c.handEnd;
  for (std::size_t k = 0; k < e.WatchBuffer.size(); ++k) {
    if (e.WatchBuffer[k][protocol::kTypeOffset] != 0) continue;
    e.WatchBuffer[k] = c.link.LastFrame;
    if (k + 1 < e.WatchBuffer.size()) return false;
    LoadWatchedTable(c);
    return true;
  }
  return false;
}

}  // namespace

int PortraitNumber(const std::string& face, int previous) {
  int p = 0;
  if (face.size() == 2 && Digit(face[1]) >= 0) {
    p = Digit(face[1]) - 1;
  } else if (face.size() == 3 && Digit(face[1]) >= 0 && Digit(face[2]) >= 0) {
    p = 10 * Digit(face[1]) + Digit(face[2]) - 1;
  } else {
    return previous;
  }
  if (p >= 10 || p < 0) p = 0;
  if (face[0] == 'w') p += 10;
  return p;
}

void ParsePlayerInfo(PlayerInfoRecord& r, const Frame& f) {
  r.nick = FieldText(f, 16, 32);
  r.face = FrameBytes(f, 48, 16);
  if (r.face.empty()) r.face = "m1";
  r.sex = f[64];
  r.tag = FieldText(f, 72, 8);
  r.money1 = U64(f, 80);
  r.money2 = U64(f, 88);
  r.money3 = U64(f, 96);
  r.money4 = U64(f, 104);
  r.level = FieldText(f, 112, 16);
  r.stat1 = I32(f, 152);
  r.stat2 = I32(f, 156);
  r.stat3 = I32(f, 160);
  r.stat4 = I32(f, 164);
  r.account = FrameBytes(f, 168, 16);
  r.title = FieldText(f, 184, 24);
  r.voiceSet = FrameBytes(f, 210, 8);
  r.voicePitch = FrameBytes(f, 218, 8);
  r.userId = static_cast<std::int64_t>(U64(f, 226));
}

void ResetPlayerRecords(Client& c) {
  HandEndState& e = c.handEnd;
  for (Frame& f : e.WatchBuffer) f.fill(0);
  e.WaitingCount = 0;
}

void SeedVoices(Client& c, std::uint32_t seed) {
  c.handEnd.VoiceRandom.seed(seed);
  c.handEnd.VoiceSeeded = true;
}

void AssignVoices(Client& c) {
  HandEndState& e = c.handEnd;
  e.VoiceTaken0.fill(false);
  e.VoiceTaken1.fill(false);
  if (!e.VoiceSeeded) SeedVoices(c, static_cast<std::uint32_t>(c.platform.nowMillis()));
  auto pick = [&](auto& taken) {
    const int size = static_cast<int>(taken.size());
    int n = std::uniform_int_distribution<int>(0, size - 1)(e.VoiceRandom);
    if (taken[static_cast<std::size_t>(n)])
      for (int k = 0; k < size; ++k)
        if (!taken[static_cast<std::size_t>(k)]) {
          n = k;
          break;
        }
    taken[static_cast<std::size_t>(n)] = true;
    return n;
  };
  for (PlayerInfoRecord& p : c.table.PlayerInfo) {
    int n = -1;
    if (p.sex == 0) n = pick(e.VoiceTaken0);
    if (p.sex == 1) n = pick(e.VoiceTaken1);
    if (n >= 0) {
      p.voiceSet = "27";
      p.voicePitch = n % 2 == 0 ? "10" : "20";
    }
    p.voiceVariant = p.sex != 0 ? 3 : 2;
  }
}

void LoadWatchedTable(Client& c) {
  HandEndState& e = c.handEnd;
  TableModel& t = c.table;
  std::array<PlayerInfoRecord, kSides> records{};
  std::array<std::uint8_t, kSides> bits{};
  int watched = -1;
  for (std::size_t k = 0; k < e.WatchBuffer.size(); ++k) {
    ParsePlayerInfo(records[k], e.WatchBuffer[k]);
    bits[k] = e.WatchBuffer[k][protocol::kSeatOffset] & 0x0F;
    if (watched < 0 && records[k].userId == t.PlayerInfo[0].userId && IsSeatBit(bits[k]))
      watched = static_cast<int>(k);
  }
  // Without the watched player the table cannot be turned to his chair.
  if (watched < 0) throw BadRecord("the watched player is not at the table");
  const std::uint8_t b = bits[static_cast<std::size_t>(watched)];
  t.custom[0].seat = b;
  showCompass(c);
  for (std::size_t k = 0; k < records.size(); ++k) {
    if (!IsSeatBit(bits[k])) continue;
    const auto side = static_cast<std::size_t>(SeatToSide(b, bits[k]));
    if (side == 0 && static_cast<int>(k) != watched) continue;
    t.custom[side].seat = bits[k];
    t.custom[side].name = records[k].account;
    t.PlayerInfo[side] = records[k];
  }
  for (int s = 0; s < kSides; ++s) {
    const std::string& face = t.PlayerInfo[static_cast<std::size_t>(s)].face;
    int p = face.size() >= 2 && Digit(face[1]) >= 0 ? Digit(face[1]) - 1 : e.LastPortrait;
    if (p < 0) p = 0;
    if (!face.empty() && face[0] == 'w' && face.size() >= 2 && Digit(face[1]) >= 0) p += 5;
    e.LastPortrait = p;
    FillPanel(c, s, p);
  }
}

void HandlePlayerRecord(Client& c, const InfoRecord& r) {
  TableModel& t = c.table;
  PlayState& ps = c.play;
  HandEndState& e = c.handEnd;
  MainForm& f = c.view;
  c.input.TableDissolved = false;
  if (t.Watching && !BufferForWatcher(c)) return;

  const std::string name = FrameBytes(c.link.LastFrame, 168, 16);
  if (ps.SeatDrawState == -1) ++ps.SeatCount;

  int side = 0;
  bool own = false;
  if (r.seat == kOwnRecord) {
    // The own record frees the ready button for the next hand, never the
    // hand being played (the server may send it again mid-hand).
    if (!t.HandInProgress) MarkContinueButton(c, false);
  } else if (IsSeatBit(r.seat)) {
    own = r.seat == OwnSeat(c);
    side = SideOf(c, r.seat);
  } else if (r.seat == 0) {
    side = WaitingSide(c, name);
    if (side < 0) return;
  }

  if (!own) {
    const auto i = static_cast<std::size_t>(side);
    t.custom[i].name = name;
    if (c.link.LastFrame[kReadyByte] == 1) {
      f.OK[i].visible = true;
      BringToFront(f, f.OK[i]);
    }
    ParsePlayerInfo(t.PlayerInfo[i], c.link.LastFrame);
    if (t.HandsStarted >= 1 && f.OK[1].visible && f.OK[2].visible && f.OK[3].visible) {
      f.AnNiu[2].picture = ButtonPicture(c, 6);
      ClearTable(c);
    }
    e.LastPortrait = PortraitNumber(t.PlayerInfo[i].face, e.LastPortrait);
    FillPanel(c, side, e.LastPortrait);
    if (e.WaitingCount == 3 && !t.TableCleared) {
      ClearTable(c);
      f.Sysmsg[0].clear();
      f.Sysmsg[0].add("游戏将在15秒内开始");
    }
  }
  StartGameIfSeated(c);
}

}  // namespace tavren
