#include "replay/replay_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>

namespace tavren::replay {

namespace {

constexpr std::uint8_t kMagic[8] = {'T', 'M', 'R', 'E', 'P', 'L', 'A', 'Y'};
constexpr std::size_t kPreambleBytes = 16;  // magic, version, header body length
constexpr std::uint8_t kRecordMark = 0xE5;
constexpr std::size_t kRecordHeadBytes = 8;  // kind, mark, length, ms
constexpr std::size_t kRecordTailBytes = 4;  // CRC-32
constexpr std::uint8_t kFlagWatcher = 1;
constexpr std::uint8_t kFlagFullGame = 2;

// Slice-by-8 tables: the writer checks every frame on the frame path, so the
// check must cost far less than decoding the frame does.
struct CrcTables {
  std::array<std::array<std::uint32_t, 256>, 8> t{};
  constexpr CrcTables() {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[0][i] = c;
    }
    for (std::uint32_t i = 0; i < 256; ++i)
      for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  }
};
constexpr CrcTables kCrc{};

void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t GetU32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
std::uint64_t GetU64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void PutText(std::vector<std::uint8_t>& out, const std::string& s) {
  const std::size_t n = std::min(s.size(), kMaxTextBytes);
  const std::size_t at = out.size();
  out.resize(at + 2 + n);
  PutU16(out.data() + at, static_cast<std::uint16_t>(n));
  std::memcpy(out.data() + at + 2, s.data(), n);
}

std::vector<std::uint8_t> HeaderBytes(const Header& h) {
  std::vector<std::uint8_t> body(10);
  const auto start = static_cast<std::uint64_t>(h.startUnixMs);
  for (int i = 0; i < 8; ++i) body[i] = static_cast<std::uint8_t>(start >> (8 * i));
  body[8] =
      static_cast<std::uint8_t>(static_cast<std::int8_t>(h.seat >= 0 && h.seat <= 3 ? h.seat : -1));
  body[9] =
      static_cast<std::uint8_t>((h.watcher ? kFlagWatcher : 0) | (h.fullGame ? kFlagFullGame : 0));
  PutText(body, h.account);
  PutText(body, h.caption);
  PutText(body, h.server);
  PutText(body, h.programVersion);

  std::vector<std::uint8_t> out(kPreambleBytes);
  std::memcpy(out.data(), kMagic, 8);
  PutU32(out.data() + 8, kFormatVersion);
  PutU32(out.data() + 12, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  std::uint8_t crc[4];
  PutU32(crc, Crc32(out.data() + 8, out.size() - 8));
  out.insert(out.end(), crc, crc + 4);
  return out;
}

// Where the parser takes its bytes from: memory, or a file read piece by piece
// so that listing many kept games never holds one whole in memory.
class Source {
 public:
  virtual ~Source() = default;
  // Reads exactly n bytes into dst; returns how many were there (< n at the end).
  virtual std::size_t read(std::uint8_t* dst, std::size_t n) = 0;
};

class MemorySource : public Source {
 public:
  MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t read(std::uint8_t* dst, std::size_t n) override {
    const std::size_t k = std::min(n, size_ - at_);
    if (k > 0) std::memcpy(dst, data_ + at_, k);
    at_ += k;
    return k;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class FileSource : public Source {
 public:
  explicit FileSource(std::FILE* f) : f_(f) {}
  std::size_t read(std::uint8_t* dst, std::size_t n) override {
    return n == 0 ? 0 : std::fread(dst, 1, n, f_);
  }

 private:
  std::FILE* f_;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads one length-prefixed text of the header body; false when it runs past the end.
bool TakeText(const std::vector<std::uint8_t>& body, std::size_t& at, std::string& out) {
  if (at + 2 > body.size()) return false;
  const std::size_t n = GetU16(body.data() + at);
  at += 2;
  if (n > kMaxTextBytes || at + n > body.size()) return false;
  out.assign(reinterpret_cast<const char*>(body.data() + at), n);
  at += n;
  return true;
}

std::string Num(std::uint64_t n) {
  return std::to_string(n);
}

bool KnownKind(std::uint8_t k) {
  return k <= static_cast<std::uint8_t>(EntryKind::SeatHands);
}

// The length an entry of a known kind must have; SIZE_MAX when any up to the bound.
std::size_t FixedLength(EntryKind k) {
  switch (k) {
    case EntryKind::Received:
    case EntryKind::Sent:
      return kFrameBytes;
    case EntryKind::HandStart:
      return 0;
    case EntryKind::Link:
      return 1;
    default:
      return SIZE_MAX;
  }
}

// What a pass over a file gathers. With keepEntries false only what a listing
// needs is kept, so memory stays small whatever the file's length.
struct Gathered {
  ReadResult result;
  int hands = 0;
  std::vector<std::string> handResults;
  std::string players;
  std::int64_t lengthMs = 0;
};

void Parse(Source& src, bool keepEntries, Gathered& g) {
  ReadResult& r = g.result;
  std::uint8_t pre[kPreambleBytes];
  const std::size_t got = src.read(pre, kPreambleBytes);
  if (got < 8 || std::memcmp(pre, kMagic, 8) != 0) {
    r.error = "这不是录像文件。";
    return;
  }
  if (got < kPreambleBytes) {
    r.error = "录像文件不完整：文件头被截断。";
    return;
  }
  const std::uint32_t version = GetU32(pre + 8);
  r.header.version = version;
  if (version != kFormatVersion) {
    r.error = version > kFormatVersion
                  ? "录像文件的格式版本 " + Num(version) + " 比本程序新，本程序只能播放版本 " +
                        Num(kFormatVersion) + "。"
                  : "录像文件的格式版本 " + Num(version) + " 无法识别。";
    return;
  }
  const std::uint32_t bodyLen = GetU32(pre + 12);
  if (bodyLen < 10 || bodyLen > kMaxHeaderBytes) {
    r.error = "录像文件头已损坏。";
    return;
  }
  std::vector<std::uint8_t> body(bodyLen + 4);
  if (src.read(body.data(), body.size()) < body.size()) {
    r.error = "录像文件不完整：文件头被截断。";
    return;
  }
  const std::uint32_t crc = Crc32(body.data(), bodyLen, Crc32(pre + 8, 8));
  if (crc != GetU32(body.data() + bodyLen)) {
    r.error = "录像文件头已损坏。";
    return;
  }
  body.resize(bodyLen);
  Header& h = r.header;
  h.startUnixMs = static_cast<std::int64_t>(GetU64(body.data()));
  const auto seat = static_cast<std::int8_t>(body[8]);
  h.seat = seat >= 0 && seat <= 3 ? seat : -1;
  h.watcher = (body[9] & kFlagWatcher) != 0;
  h.fullGame = (body[9] & kFlagFullGame) != 0;
  std::size_t at = 10;
  if (!TakeText(body, at, h.account) || !TakeText(body, at, h.caption) ||
      !TakeText(body, at, h.server) || !TakeText(body, at, h.programVersion)) {
    r.error = "录像文件头已损坏。";
    return;
  }
  // Bytes after the four texts belong to later additions of this version: skipped.

  std::uint64_t offset = kPreambleBytes + bodyLen + 4;
  std::vector<std::uint8_t> bytes(kMaxEntryBytes + kRecordTailBytes);
  for (std::uint64_t n = 1;; ++n) {
    std::uint8_t head[kRecordHeadBytes];
    const std::size_t hk = src.read(head, kRecordHeadBytes);
    if (hk == 0) return;  // the file ends on a record's boundary: whole
    const std::string where = "第 " + Num(n) + " 条记录（字节 " + Num(offset) + "）";
    if (hk < kRecordHeadBytes) {
      r.error = "录像文件不完整：在" + where + "处被截断，之前的部分可以播放。";
      return;
    }
    const std::size_t len = GetU16(head + 2);
    if (head[1] != kRecordMark || len > kMaxEntryBytes) {
      r.error = "录像文件在" + where + "处已损坏，之前的部分可以播放。";
      return;
    }
    if (src.read(bytes.data(), len + kRecordTailBytes) < len + kRecordTailBytes) {
      r.error = "录像文件不完整：在" + where + "处被截断，之前的部分可以播放。";
      return;
    }
    if (Crc32(bytes.data(), len, Crc32(head, kRecordHeadBytes)) != GetU32(bytes.data() + len)) {
      r.error = "录像文件在" + where + "处已损坏，之前的部分可以播放。";
      return;
    }
    offset += kRecordHeadBytes + len + kRecordTailBytes;
    // A kind this program does not know was added later: its length lets it pass.
    if (!KnownKind(head[0])) continue;
    const auto kind = static_cast<EntryKind>(head[0]);
    const std::size_t fixed = FixedLength(kind);
    if (fixed != SIZE_MAX && len != fixed) {
      r.error = "录像文件在" + where + "处已损坏，之前的部分可以播放。";
      return;
    }
    Entry e;
    e.ms = GetU32(head + 4);
    e.kind = kind;
    g.lengthMs = std::max(g.lengthMs, e.ms);
    if (kind == EntryKind::HandStart) ++g.hands;
    if (kind == EntryKind::HandEnd || keepEntries) e.bytes.assign(bytes.data(), bytes.data() + len);
    if (kind == EntryKind::HandEnd) {
      g.handResults.push_back(HandEndValue(e, "result"));
      g.players = HandEndValue(e, "players");
    }
    if (keepEntries) {
      if (kind == EntryKind::HandStart) r.handStarts.push_back(r.entries.size());
      r.entries.push_back(std::move(e));
    }
  }
}

std::string ErrnoText(int err) {
  switch (err) {
    case ENOSPC:
    case EDQUOT:
      return "磁盘已满";
    case EACCES:
    case EPERM:
    case EROFS:
      return "没有写入权限";
    case ENOENT:
      return "文件夹不存在";
    default:
      return std::strerror(err);
  }
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

struct FolderFile {
  std::string name;
  std::uint64_t size = 0;
  std::int64_t mtimeNs = 0;
};

// The plain *.tmr files of a folder; links and anything else are left alone.
std::vector<FolderFile> KeptFiles(const std::string& folder) {
  std::vector<FolderFile> out;
  DIR* d = opendir(folder.c_str());
  if (!d) return out;
  while (dirent* de = readdir(d)) {
    const std::string name = de->d_name;
    if (!EndsWith(name, kReplayExtension) || name.size() == std::strlen(kReplayExtension)) continue;
    struct stat st {};
    if (fstatat(dirfd(d), de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
      continue;
    out.push_back({name, static_cast<std::uint64_t>(st.st_size),
                   static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
  }
  closedir(d);
  return out;
}

std::string Basename(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc) {
  std::uint32_t c = ~crc;
  const auto& t = kCrc.t;
  while (n >= 8) {
    const std::uint32_t a =
        c ^ (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
    c = t[7][a & 0xFF] ^ t[6][(a >> 8) & 0xFF] ^ t[5][(a >> 16) & 0xFF] ^ t[4][a >> 24] ^
        t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    p += 8;
    n -= 8;
  }
  while (n-- > 0) c = t[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return ~c;
}

ReadResult ParseReplay(const std::uint8_t* data, std::size_t size) {
  Gathered g;
  try {
    MemorySource src(data ? data : reinterpret_cast<const std::uint8_t*>(""), data ? size : 0);
    Parse(src, true, g);
  } catch (const std::exception&) {
    // Only memory can run out here; what was read stays.
    g.result.error = "录像文件太大，无法全部读入。";
  }
  return std::move(g.result);
}

ReadResult ReadReplay(const std::string& path) {
  Gathered g;
  FilePtr f(std::fopen(path.c_str(), "rbe"));
  if (!f) {
    g.result.error = "无法打开录像文件 " + path + "：" + ErrnoText(errno) + "。";
    return std::move(g.result);
  }
  struct stat st {};
  if (fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
    g.result.error = "无法打开录像文件 " + path + "：这不是普通文件。";
    return std::move(g.result);
  }
  try {
    FileSource src(f.get());
    Parse(src, true, g);
  } catch (const std::exception&) {
    g.result.error = "录像文件太大，无法全部读入。";
  }
  if (g.result.ok() && std::ferror(f.get())) g.result.error = "读取录像文件 " + path + " 时出错。";
  return std::move(g.result);
}

std::vector<KeptGame> ListReplays(const std::string& folder) {
  std::vector<KeptGame> out;
  for (const FolderFile& ff : KeptFiles(folder)) {
    KeptGame k;
    k.path = folder + "/" + ff.name;
    Gathered g;
    FilePtr f(std::fopen(k.path.c_str(), "rbe"));
    if (f) {
      FileSource src(f.get());
      try {
        Parse(src, false, g);
      } catch (const std::exception&) {
        g.result.error = "x";
      }
    } else {
      g.result.error = "x";
    }
    k.header = g.result.header;
    k.hands = g.hands;
    k.handResults = std::move(g.handResults);
    k.players = std::move(g.players);
    k.lengthMs = g.lengthMs;
    k.damaged = !g.result.ok();
    k.modifiedUnixMs = ff.mtimeNs / 1000000;
    out.push_back(std::move(k));
  }
  std::vector<std::size_t> order(out.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  // Newest first by the game's start; a file whose header could not be read
  // goes by the time it was last written.
  auto key = [&](std::size_t i) {
    return out[i].header.startUnixMs > 0 ? out[i].header.startUnixMs : out[i].modifiedUnixMs;
  };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    if (key(a) != key(b)) return key(a) > key(b);
    return out[a].path > out[b].path;
  });
  std::vector<KeptGame> sorted;
  sorted.reserve(out.size());
  for (std::size_t i : order) sorted.push_back(std::move(out[i]));
  return sorted;
}

std::string ReplayFolder(const std::string& dataFolder) {
  std::string f = dataFolder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  return f + "/" + kReplaySubfolder;
}

std::string ReplayFileName(const Header& h) {
  const std::time_t secs = static_cast<std::time_t>(h.startUnixMs / 1000);
  std::tm tm{};
  localtime_r(&secs, &tm);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  std::string name = stamp;
  name += '-';
  static const char* hex = "0123456789ABCDEF";
  const std::size_t n = std::min<std::size_t>(h.account.size(), 64);
  for (std::size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(h.account[i]);
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '.' ||
        b == '_' || b == '-') {
      name += static_cast<char>(b);
    } else {
      name += '%';
      name += hex[b >> 4];
      name += hex[b & 15];
    }
  }
  if (n == 0) name += "game";
  return name + kReplayExtension;
}

bool IsTileCode(int code) {
  const int rank = code & 0x0F;
  switch (code & 0xF0) {
    case 0x00:
      return code >= 1 && code <= 8;
    case 0x10:
      return rank >= 1 && rank <= 7;
    case 0x20:
    case 0x40:
    case 0x80:
      return rank >= 1 && rank <= 9;
    default:
      return false;
  }
}

std::optional<SeatHands> ParseSeatHands(const std::vector<std::uint8_t>& b) {
  if (b.size() < 2 || b[0] != 1) return std::nullopt;
  SeatHands s;
  s.wildCode = b[1];
  if (s.wildCode != 0 && (s.wildCode < 0x11 || !IsTileCode(s.wildCode))) return std::nullopt;
  std::size_t at = 2;
  for (int seat = 0; seat < 4; ++seat) {
    if (at + 2 > b.size()) return std::nullopt;
    const std::size_t n = b[at];
    const std::uint8_t flags = b[at + 1];
    at += 2;
    if (n > kMaxHandTiles || flags > 1 || (flags == 1 && n == 0) || at + n > b.size())
      return std::nullopt;
    for (std::size_t i = 0; i < n; ++i)
      if (!IsTileCode(b[at + i])) return std::nullopt;
    const auto i = static_cast<std::size_t>(seat);
    s.tiles[i].assign(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
    s.drawnLast[i] = flags == 1;
    at += n;
  }
  if (at != b.size()) return std::nullopt;
  return s;
}

std::vector<std::uint8_t> SeatHandsBytes(const SeatHands& s) {
  std::vector<std::uint8_t> out = {1, static_cast<std::uint8_t>(s.wildCode)};
  for (std::size_t seat = 0; seat < 4; ++seat) {
    const std::size_t n = std::min(s.tiles[seat].size(), kMaxHandTiles);
    out.push_back(static_cast<std::uint8_t>(n));
    out.push_back(s.drawnLast[seat] && n > 0 ? 1 : 0);
    out.insert(out.end(), s.tiles[seat].begin(), s.tiles[seat].begin() + static_cast<long>(n));
  }
  return out;
}

std::string HandEndValue(const Entry& e, const std::string& key) {
  const std::string text(e.bytes.begin(), e.bytes.end());
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (end - at > key.size() && text.compare(at, key.size(), key) == 0 &&
        text[at + key.size()] == '=')
      return text.substr(at + key.size() + 1, end - at - key.size() - 1);
    at = end + 1;
  }
  return {};
}

std::vector<std::uint8_t> HandEndBytes(const std::string& players, const std::string& result) {
  auto clean = [](const std::string& s) {
    std::string out;
    for (char ch : s) out += (ch == '\n' || ch == '\r') ? ' ' : ch;
    if (out.size() > kMaxTextBytes) out.resize(kMaxTextBytes);
    return out;
  };
  const std::string text = "players=" + clean(players) + "\nresult=" + clean(result) + "\n";
  return {text.begin(), text.end()};
}

Writer::~Writer() {
  close();
}

bool Writer::open(const std::string& path, const Header& h) {
  close();
  failed_ = false;
  error_.clear();
  path_ = path;
  written_ = 0;
  used_ = 0;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    fail("无法创建录像文件", errno);
    return false;
  }
  buf_.assign(kBufferBytes, 0);
  const std::vector<std::uint8_t> head = HeaderBytes(h);
  std::memcpy(buf_.data(), head.data(), head.size());
  used_ = head.size();
  flush();
  return !failed_;
}

void Writer::append(EntryKind kind, std::int64_t ms, const std::uint8_t* data, std::size_t size) {
  if (fd_ < 0 || size > kMaxEntryBytes) return;
  const std::size_t total = kRecordHeadBytes + size + kRecordTailBytes;
  if (used_ + total > buf_.size()) {
    flush();
    if (fd_ < 0) return;
  }
  std::uint8_t* p = buf_.data() + used_;
  p[0] = static_cast<std::uint8_t>(kind);
  p[1] = kRecordMark;
  PutU16(p + 2, static_cast<std::uint16_t>(size));
  PutU32(p + 4, static_cast<std::uint32_t>(std::clamp<std::int64_t>(ms, 0, 0xFFFFFFFFll)));
  if (size > 0) std::memcpy(p + kRecordHeadBytes, data, size);
  PutU32(p + kRecordHeadBytes + size, Crc32(p, kRecordHeadBytes + size));
  used_ += total;
}

bool Writer::writeAll(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    written_ += static_cast<std::uint64_t>(n);
  }
  return true;
}

void Writer::flush() {
  if (fd_ < 0 || used_ == 0) return;
  const bool ok = writeAll(buf_.data(), used_);
  used_ = 0;
  if (!ok) fail("无法写入录像文件", errno);
}

void Writer::close() {
  if (fd_ < 0) return;
  flush();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  buf_.clear();
  buf_.shrink_to_fit();
}

void Writer::fail(const std::string& what, int err) {
  failed_ = true;
  error_ = what + " " + path_ + "：" + ErrnoText(err);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  used_ = 0;
  buf_.clear();
  buf_.shrink_to_fit();
}

int PruneReplays(const std::string& folder, int maxGames, std::uint64_t maxBytes,
                 const std::string& keep) {
  std::vector<FolderFile> files = KeptFiles(folder);
  std::sort(files.begin(), files.end(), [](const FolderFile& a, const FolderFile& b) {
    if (a.mtimeNs != b.mtimeNs) return a.mtimeNs < b.mtimeNs;
    return a.name < b.name;
  });
  const std::string keepName = keep.empty() ? std::string() : Basename(keep);
  std::uint64_t total = 0;
  for (const FolderFile& f : files) total += f.size;
  std::size_t count = files.size();
  const std::size_t maxCount = maxGames < 0 ? 0 : static_cast<std::size_t>(maxGames);
  int removed = 0;
  for (const FolderFile& f : files) {
    if (count <= maxCount && total <= maxBytes) break;
    if (f.name == keepName) continue;
    if (::unlink((folder + "/" + f.name).c_str()) == 0) {
      ++removed;
      --count;
      total -= f.size;
    }
  }
  return removed;
}

}  // namespace tavren::replay
