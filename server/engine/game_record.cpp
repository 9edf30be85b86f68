#include "engine/game_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "engine/frame.h"
#include "engine/wire.h"

namespace tavren::server {

namespace {

// Kinds and layout of the replay format, version 1.
constexpr std::uint32_t kVersion = 1;
constexpr int kReceived = 0, kHandStart = 2, kFullDeal = 3, kHandEnd = 4, kSeatHands = 6;
constexpr std::size_t kHandMax = 21;  // tiles of one seat in FullDeal and SeatHands
constexpr std::uint8_t kMark = 0xE5;
constexpr std::uint8_t kFlagFullGame = 2;
constexpr std::size_t kFlushAt = 64 * 1024;
constexpr std::size_t kTextMax = 1024;

void putU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void putText(std::vector<std::uint8_t>& out, const std::string& s) {
  const std::size_t n = std::min(s.size(), kTextMax);
  putU16(out, static_cast<std::uint16_t>(n));
  out.insert(out.end(), s.begin(), s.begin() + static_cast<long>(n));
}

std::int64_t unixMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// A name field of a frame: bytes up to the first zero; bytes that are not
// plain ASCII (GBK, from the wire) become '?', the file's text being UTF-8.
std::string nameOf(std::span<const std::uint8_t> f) {
  std::string out;
  for (std::size_t i = proto::kPayloadOffset; i < proto::kPayloadOffset + 16 && f[i] != 0; ++i)
    out += f[i] < 0x80 && f[i] >= 0x20 ? static_cast<char>(f[i]) : '?';
  return out;
}

int seatIndexOfBit(int bit) {
  for (int s = 0; s < 4; ++s)
    if (bit == (1 << s)) return s;
  return -1;
}

// Every seat's concealed tiles as the table holds them now (SeatHands bytes):
// the wild face's code, then per seat a count, a flag (1: the last tile is the
// one the seat just drew) and the tiles.
std::vector<std::uint8_t> seatHandsOf(const TableView& v) {
  bool anyTiles = false;
  for (const SeatView& s : v.seats) anyTiles = anyTiles || !s.codes.empty();
  std::vector<std::uint8_t> out = {1, static_cast<std::uint8_t>(anyTiles ? v.wildCode : 0)};
  for (const SeatView& s : v.seats) {
    std::vector<int> codes = s.codes;
    bool drawn = false;
    if (s.drawnCode != 0) {
      const auto it = std::find(codes.begin(), codes.end(), s.drawnCode);
      if (it != codes.end()) {
        codes.erase(it);
        codes.push_back(s.drawnCode);
        drawn = true;
      }
    }
    const std::size_t n = std::min(codes.size(), kHandMax);
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(drawn && n == codes.size() ? 1 : 0);
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(codes[i]));
  }
  return out;
}

}  // namespace

bool IsRecordingName(const std::string& name) {
  std::size_t at = 0;
  auto digits = [&](std::size_t least, std::size_t most) {
    std::size_t n = 0;
    while (at < name.size() && name[at] >= '0' && name[at] <= '9' && n < most) ++at, ++n;
    return n >= least && (at >= name.size() || name[at] < '0' || name[at] > '9');
  };
  auto literal = [&](const char* s) {
    const std::size_t n = std::strlen(s);
    if (name.compare(at, n, s) != 0) return false;
    at += n;
    return true;
  };
  if (!literal("table") || !digits(1, 4) || !literal("-") || !digits(8, 8) || !literal("-") ||
      !digits(6, 6))
    return false;
  if (at < name.size() && name[at] == '-' && (++at, !digits(1, 4))) return false;
  return literal(".tmr") && at == name.size();
}

std::uint32_t RecordCrc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t c = ~crc;
  for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return ~c;
}

struct GameRecorder::TableFile {
  int fd = -1;
  std::string path;
  std::int64_t startMs = 0;  // the server's clock at the file's start
  std::uint64_t bytes = 0;   // written and buffered
  std::vector<std::uint8_t> buf;
  std::string names[4];
  std::vector<std::uint8_t> hands;  // the last SeatHands written
};

GameRecorder::GameRecorder(Server& server, Options options,
                           std::function<void(const std::string&)> log)
    : server_(server), options_(std::move(options)), log_(std::move(log)) {
  if (::mkdir(options_.folder.c_str(), 0755) != 0 && errno != EEXIST)
    stop("cannot make the folder " + options_.folder + ": " + std::strerror(errno));
}

GameRecorder::~GameRecorder() {
  closeAll();
}

void GameRecorder::stop(const std::string& why) {
  if (stopped_) return;
  stopped_ = true;
  if (log_) log_("recording stopped: " + why);
  for (auto& [table, t] : files_)
    if (t->fd >= 0) ::close(t->fd);
  files_.clear();
}

int GameRecorder::prune() {
  struct Kept {
    std::string path;
    std::uint64_t bytes;
    std::int64_t mtimeNs;
    bool open;
  };
  std::vector<Kept> kept;
  DIR* dir = ::opendir(options_.folder.c_str());
  if (dir == nullptr) return 0;
  // A folder of strangers' files is read no further than this.
  constexpr std::size_t kMaxListed = 1000000;
  while (const dirent* e = ::readdir(dir)) {
    if (kept.size() >= kMaxListed) break;
    const std::string name = e->d_name;
    if (!IsRecordingName(name)) continue;
    const std::string path = options_.folder + "/" + name;
    struct stat st {};
    // Only plain files: a link or a folder of that name is not the server's.
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    bool open = false;
    for (const auto& [t, f] : files_) open = open || f->path == path;
    kept.push_back({path, static_cast<std::uint64_t>(st.st_size),
                    static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                    open});
  }
  ::closedir(dir);
  std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) {
    return a.mtimeNs != b.mtimeNs ? a.mtimeNs < b.mtimeNs : a.path < b.path;
  });
  std::uint64_t total = 0;
  for (const Kept& k : kept) total += k.bytes;
  std::size_t count = kept.size();
  const std::size_t games = static_cast<std::size_t>(std::max(keep_.games, 1));
  int removed = 0;
  for (const Kept& k : kept) {
    if (total <= keep_.bytes && count + 1 <= games) break;
    if (k.open || unremovable_.count(k.path)) continue;
    const bool gone = keep_.removeFile ? keep_.removeFile(k.path)
                                       : ::unlink(k.path.c_str()) == 0 || errno == ENOENT;
    if (!gone) {
      const int err = errno;
      unremovable_.insert(k.path);
      if (log_)
        log_("recording: cannot remove " + k.path + " to make room: " +
             (keep_.removeFile ? std::string("refused") : std::string(std::strerror(err))));
      continue;
    }
    total -= k.bytes;
    --count;
    ++removed;
  }
  return removed;
}

GameRecorder::TableFile* GameRecorder::fileFor(int table, std::span<const std::uint8_t> opening) {
  if (stopped_ || full_.count(table)) return nullptr;
  auto it = files_.find(table);
  if (it != files_.end()) return it->second.get();
  prune();

  auto t = std::make_unique<TableFile>();
  const std::int64_t start = unixMillis();
  const std::time_t secs = static_cast<std::time_t>(start / 1000);
  std::tm tm{};
  localtime_r(&secs, &tm);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  const std::string base = options_.folder + "/table" + std::to_string(table) + "-" + stamp;
  std::string path = base + ".tmr";
  for (int n = 2; n < 1000; ++n) {
    t->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (t->fd >= 0 || errno != EEXIST) break;
    path = base + "-" + std::to_string(n) + ".tmr";
  }
  if (t->fd < 0) {
    stop("cannot create " + path + ": " + std::strerror(errno));
    return nullptr;
  }
  t->path = path;
  t->startMs = server_.nowMs();

  std::vector<std::uint8_t> body;
  for (int i = 0; i < 8; ++i)
    body.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(start) >> (8 * i)));
  body.push_back(0);  // seat 0's view
  body.push_back(kFlagFullGame);
  // The account is the one sitting at seat 0: a client replaying the file
  // finds its own seat by that name among the seating's names.
  const TableView view = server_.tableView(table);
  putText(body,
          view.seats[0].account.empty() ? "table" + std::to_string(table) : view.seats[0].account);
  putText(body, "第" + std::to_string(table + 1) + "桌");
  putText(body, options_.serverName);
  putText(body, options_.programVersion);
  std::vector<std::uint8_t>& out = t->buf;
  const char magic[8] = {'T', 'M', 'R', 'E', 'P', 'L', 'A', 'Y'};
  out.insert(out.end(), magic, magic + 8);
  putU32(out, kVersion);
  putU32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  putU32(out, RecordCrc32(out.data() + 8, out.size() - 8));
  t->bytes = out.size();
  TableFile* raw = t.get();
  files_[table] = std::move(t);
  // The stream a client newly seated at seat 0 would have begun with: its
  // login accepted, then the table's seating (names, records, dealer, who is
  // ready), without which the client takes no hand. When the frame that opens
  // the file is itself the start of a seating (a game begins), the stream
  // brings it.
  const Frame login = wire::loginAccepted(server_.config(), 0);
  append(table, *raw, kReceived, login.b.data(), login.b.size());
  const bool seatingFollows = opening[proto::kTypeOffset] == proto::kInsPlayerName &&
                              (opening[proto::kSeatOffset] & 0x0F) == 1;
  if (!seatingFollows) {
    const std::vector<std::uint8_t> seating = server_.seatingFrames(table, 0);
    for (std::size_t at = 0; at + proto::kFrameSize <= seating.size() && files_.count(table);
         at += proto::kFrameSize) {
      const std::span<const std::uint8_t> f(seating.data() + at, proto::kFrameSize);
      // The names the hands' ends list come from the seating, this one too.
      if (f[proto::kTypeOffset] == proto::kInsPlayerName) {
        const int s = seatIndexOfBit(f[proto::kSeatOffset] & 0x0F);
        if (s >= 0) raw->names[s] = nameOf(f);
      }
      append(table, *raw, kReceived, f.data(), f.size());
    }
  }
  return files_.count(table) ? raw : nullptr;
}

void GameRecorder::append(int table, TableFile& t, int kind, const std::uint8_t* data,
                          std::size_t size) {
  const std::uint64_t entry = 8 + size + 4;
  if (t.bytes + entry > options_.maxFileBytes) {
    if (log_)
      log_("recording of table " + std::to_string(table) + " ended: " + t.path + " reached " +
           std::to_string(options_.maxFileBytes >> 20) + " MB");
    // Not again before this game is over: the bound holds for the game.
    full_.insert(table);
    close(table);
    return;
  }
  const std::size_t at = t.buf.size();
  t.buf.push_back(static_cast<std::uint8_t>(kind));
  t.buf.push_back(kMark);
  putU16(t.buf, static_cast<std::uint16_t>(size));
  const std::int64_t ms = std::clamp<std::int64_t>(server_.nowMs() - t.startMs, 0, 0xFFFFFFFFll);
  putU32(t.buf, static_cast<std::uint32_t>(ms));
  t.buf.insert(t.buf.end(), data, data + size);
  putU32(t.buf, RecordCrc32(t.buf.data() + at, t.buf.size() - at));
  t.bytes += entry;
  if (t.buf.size() >= kFlushAt) writeOut(table, t);
}

void GameRecorder::writeOut(int table, TableFile& t) {
  std::size_t done = 0;
  while (done < t.buf.size()) {
    const ssize_t n = ::write(t.fd, t.buf.data() + done, t.buf.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : ENOSPC;
      stop("cannot write " + t.path + " (table " + std::to_string(table) +
           "): " + std::strerror(err));
      return;
    }
    done += static_cast<std::size_t>(n);
  }
  t.buf.clear();
}

void GameRecorder::close(int table) {
  auto it = files_.find(table);
  if (it == files_.end()) return;
  TableFile& t = *it->second;
  writeOut(table, t);
  if (stopped_) return;  // stop() closed every file
  ::close(t.fd);
  files_.erase(it);
}

void GameRecorder::frame(int table, int seat, std::span<const std::uint8_t> f) {
  if (seat != 0 || f.size() != proto::kFrameSize) return;
  const int type = f[proto::kTypeOffset];
  // The next game of a table whose file reached its bound is kept again.
  if (type == proto::kInsGameOver && full_.erase(table) > 0) return;
  if (!fileFor(table, f)) return;
  // An append may close the file at its bound: the table's file is looked up each time.
  auto open = [&]() -> TableFile* {
    auto it = files_.find(table);
    return it == files_.end() ? nullptr : it->second.get();
  };
  if (type == proto::kInsPlayerName) {
    const int s = seatIndexOfBit(f[proto::kSeatOffset] & 0x0F);
    if (s >= 0) open()->names[s] = nameOf(f);
  }
  if (type == proto::kInsNewHand) append(table, *open(), kHandStart, nullptr, 0);
  if (type == proto::kInsWildTile && open()) {
    // The deal is complete: every hand and the wall as they lie now.
    const TableView v = server_.tableView(table);
    std::vector<std::uint8_t> deal = {1, static_cast<std::uint8_t>(v.dealer),
                                      static_cast<std::uint8_t>(v.wildCode),
                                      static_cast<std::uint8_t>(v.shownCode)};
    for (const SeatView& s : v.seats) {
      const std::size_t n = std::min<std::size_t>(s.codes.size(), kHandMax);
      deal.push_back(static_cast<std::uint8_t>(n));
      for (std::size_t i = 0; i < n; ++i) deal.push_back(static_cast<std::uint8_t>(s.codes[i]));
    }
    const std::size_t w = std::min<std::size_t>(v.wall.size(), 144);
    deal.push_back(static_cast<std::uint8_t>(w));
    for (std::size_t i = 0; i < w; ++i) deal.push_back(static_cast<std::uint8_t>(v.wall[i]));
    append(table, *open(), kFullDeal, deal.data(), deal.size());
  }
  if (!open()) return;
  // A seat's concealed tiles changed since the last snapshot: the new one goes
  // just before the frame that tells seat 0 of the change.
  std::vector<std::uint8_t> hands = seatHandsOf(server_.tableView(table));
  if (hands != open()->hands) {
    append(table, *open(), kSeatHands, hands.data(), hands.size());
    if (!open()) return;
    open()->hands = std::move(hands);
  }
  append(table, *open(), kReceived, f.data(), f.size());
  if (type == proto::kInsGameOver && open()) close(table);
}

void GameRecorder::handEnded(const HandRecord& rec) {
  if (stopped_) return;
  auto it = files_.find(rec.table);
  if (it == files_.end()) return;
  TableFile& t = *it->second;
  std::string result = "流局";
  if (rec.winner >= 0 && rec.winner < 4) {
    const std::string& name = t.names[rec.winner];
    result = (name.empty() ? "座位" + std::to_string(rec.winner) : name) + " 胡 +" +
             std::to_string(rec.results[rec.winner]);
  }
  const std::string text = "players=" + t.names[0] + "|" + t.names[1] + "|" + t.names[2] + "|" +
                           t.names[3] + "\nresult=" + result + "\n";
  append(rec.table, t, kHandEnd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void GameRecorder::flush() {
  for (auto it = files_.begin(); it != files_.end() && !stopped_;) {
    const int table = it->first;
    TableFile& t = *it->second;
    ++it;
    if (!t.buf.empty()) writeOut(table, t);
  }
}

void GameRecorder::closeAll() {
  while (!files_.empty() && !stopped_) close(files_.begin()->first);
}

}  // namespace tavren::server
