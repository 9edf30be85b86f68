#include "replay/recorder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "core/client.h"
#include "protocol/tavren_protocol.h"
#include "table/tiles.h"
#include "text/gbk.h"
#include "view/scene.h"

namespace tavren {

namespace p = protocol;

namespace {

// Recording stops for this game; the game goes on. The user is told at the
// end of the tick, once the login's own lines are shown, so the line stays.
void StopForThisGame(Recorder& r, const std::string& why) {
  r.writer.close();
  r.dirty = false;
  r.untold = "本局录像已停止：" + why;
}

void TellIfDue(Client& c, Recorder& r) {
  if (r.untold.empty() || !c.table.LoginAccepted) return;
  AddSysmsg(c, r.untold);
  r.untold.clear();
}

std::int64_t UnixMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

bool MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
  // The data folder itself may be missing on a first run.
  const auto slash = folder.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return false;
  if (::mkdir(folder.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

void OpenGame(Client& c, Recorder& r) {
  r.gameOpen = true;
  r.startMillis = RecordClock(c);
  replay::Header h;
  h.account = GbkToUtf8(c.table.custom[0].name);
  h.caption = c.view.Location.caption;
  h.seat = -1;  // the server gives the seat after the login
  h.watcher = c.table.Watching;
  h.server = c.link.ServerHost + ":" + std::to_string(c.link.ServerPort);
  h.startUnixMs = UnixMillis();
  h.programVersion = r.programVersion;
  if (!MakeFolder(r.folder)) {
    StopForThisGame(r, "无法创建文件夹 " + r.folder);
    return;
  }
  const std::string name = replay::ReplayFileName(h);
  std::string path = r.folder + "/" + name;
  // Two games started in the same second (a quick return to the table).
  for (int n = 2; n < 100 && ::access(path.c_str(), F_OK) == 0; ++n)
    path = r.folder + "/" + name.substr(0, name.size() - 4) + "-" + std::to_string(n) +
           replay::kReplayExtension;
  r.seenRead = c.link.ReceiveRing.read;
  if (!r.writer.open(path, h)) {
    StopForThisGame(r, r.writer.error());
    return;
  }
  replay::PruneReplays(r.folder, r.settings.keepGames, r.settings.keepBytes, path);
}

// The recorder when it records this game, else null. `opens`: this entry may
// start a game (a frame), rather than only belong to one (a marker).
Recorder* Active(Client& c, bool opens) {
  Recorder* r = c.recorder.get();
  if (!r) return nullptr;
  if (!r->gameOpen) {
    if (!opens) return nullptr;
    OpenGame(c, *r);
  }
  return r->writer.isOpen() ? r : nullptr;
}

void Append(Recorder& r, replay::EntryKind kind, std::int64_t at, const std::uint8_t* data,
            std::size_t size) {
  r.writer.append(kind, at - r.startMillis, data, size);
  r.dirty = true;
  if (r.writer.failed()) StopForThisGame(r, r.writer.error());
}

// Entries from outside the pump's tick go out at once; the tick flushes its own.
void FlushOutsideTick(Client& c) {
  if (!c.link.TickRunning) FlushRecording(c);
}

}  // namespace

RecordSettings MakeRecordSettings(long keepGames, long keepMegabytes) {
  RecordSettings s;
  s.keepGames =
      keepGames >= 1 && keepGames <= 100000 ? static_cast<int>(keepGames) : kDefaultKeepGames;
  const long mb =
      keepMegabytes >= 1 && keepMegabytes <= 1000000 ? keepMegabytes : kDefaultKeepMegabytes;
  s.keepBytes = static_cast<std::uint64_t>(mb) << 20;
  return s;
}

void EnableRecording(Client& c, const std::string& folder, const RecordSettings& settings,
                     const std::string& programVersion) {
  c.recorder = std::make_unique<Recorder>();
  c.recorder->folder = folder;
  c.recorder->settings = settings;
  c.recorder->programVersion = programVersion;
}

std::int64_t RecordClock(Client& c) {
  return c.platform.nowMillis();
}

bool StartsHand(const std::uint8_t* frame) {
  const std::uint8_t type = frame[p::kTypeOffset];
  return type == p::kInsNewHand || type == p::kInsTableJoined;
}

void RecordTaken(Client& c) {
  Recorder* r = c.recorder.get();
  if (!r) return;
  const FrameRing& ring = c.link.ReceiveRing;
  if (!r->gameOpen || !r->writer.isOpen()) {
    r->seenRead = ring.read;
    return;
  }
  // At most a ring's worth: positions always sit on frame boundaries.
  for (std::size_t n = 0; r->seenRead != ring.read && n < FrameRing::kSize / p::kFrameSize; ++n) {
    const std::uint32_t at = r->seenRead % FrameRing::kSize;
    const std::uint8_t* frame = ring.buf.data() + at;
    const std::int64_t arrived = c.link.ArrivalMs[at / p::kFrameSize];
    if (StartsHand(frame)) Append(*r, replay::EntryKind::HandStart, arrived, nullptr, 0);
    if (r->writer.isOpen()) Append(*r, replay::EntryKind::Received, arrived, frame, p::kFrameSize);
    r->seenRead = static_cast<std::uint32_t>((at + p::kFrameSize) % FrameRing::kSize);
  }
  r->seenRead = ring.read;
}

void RecordRingReset(Client& c) {
  if (c.recorder) c.recorder->seenRead = c.link.ReceiveRing.read;
}

void RecordReceived(Client& c, const std::uint8_t* frame, std::int64_t arrivalMs) {
  Recorder* r = Active(c, true);
  if (!r) return;
  if (StartsHand(frame)) Append(*r, replay::EntryKind::HandStart, arrivalMs, nullptr, 0);
  if (r->writer.isOpen()) Append(*r, replay::EntryKind::Received, arrivalMs, frame, p::kFrameSize);
}

void RecordSent(Client& c, const std::uint8_t* frame) {
  RecordTaken(c);
  Recorder* r = Active(c, true);
  if (!r) return;
  const std::uint8_t type = frame[p::kTypeOffset];
  if (type == p::kReqLogin || type == p::kReqResume) {
    // The login key is the user's credential: a replay file may be shared.
    std::uint8_t copy[p::kFrameSize];
    std::copy(frame, frame + p::kFrameSize, copy);
    std::fill(copy + p::kLoginKeyOffset, copy + p::kTokenOffset, 0);
    Append(*r, replay::EntryKind::Sent, RecordClock(c), copy, p::kFrameSize);
  } else {
    Append(*r, replay::EntryKind::Sent, RecordClock(c), frame, p::kFrameSize);
  }
  FlushOutsideTick(c);
}

void RecordLink(Client& c, bool up) {
  RecordTaken(c);
  Recorder* r = Active(c, false);
  if (!r) return;
  const std::uint8_t b = up ? 1 : 0;
  Append(*r, replay::EntryKind::Link, RecordClock(c), &b, 1);
  FlushOutsideTick(c);
}

std::string HandEndPlayers(const Client& c) {
  const TableModel& t = c.table;
  std::string names[kSides];
  for (int s = 0; s < kSides; ++s) {
    const std::uint8_t seat = t.custom[s].seat;
    if (seat == 0) continue;
    names[BitIndex(seat) & 3] = GbkToUtf8(t.custom[s].name);
  }
  return names[0] + "|" + names[1] + "|" + names[2] + "|" + names[3];
}

std::string HandEndResult(const Client& c, bool drawn) {
  if (drawn) return "流局";
  const TableModel& t = c.table;
  const auto& won = c.settlement.HandResult;
  const auto best = std::max_element(won.begin(), won.end());
  if (best == won.end() || *best <= 0) return "无人得分";
  std::string result;
  for (int s = 0; s < kSides; ++s) {
    if (won[static_cast<std::size_t>(s)] != *best) continue;
    if (!result.empty()) result += "、";
    result += GbkToUtf8(t.custom[s].name);
  }
  return result + " 胡 +" + std::to_string(*best);
}

void RecordHandEnd(Client& c, bool drawn) {
  RecordTaken(c);
  Recorder* r = Active(c, false);
  if (!r) return;
  const std::vector<std::uint8_t> bytes =
      replay::HandEndBytes(HandEndPlayers(c), HandEndResult(c, drawn));
  Append(*r, replay::EntryKind::HandEnd, RecordClock(c), bytes.data(), bytes.size());
  FlushOutsideTick(c);
}

void FlushRecording(Client& c) {
  Recorder* r = c.recorder.get();
  if (!r) return;
  RecordTaken(c);
  if (r->dirty) {
    r->dirty = false;
    r->writer.flush();
    if (r->writer.failed()) StopForThisGame(*r, r->writer.error());
  }
  TellIfDue(c, *r);
}

void EndRecordedGame(Client& c) {
  RecordTaken(c);
  Recorder* r = c.recorder.get();
  if (!r || !r->gameOpen) return;
  r->writer.close();
  if (r->writer.failed()) StopForThisGame(*r, r->writer.error());
  r->gameOpen = false;
  r->dirty = false;
  r->untold.clear();  // a new game tells its own
}

}  // namespace tavren
