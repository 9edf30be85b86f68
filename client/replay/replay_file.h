// A kept game: the versioned replay file, its writer and its reader.
//
// A replay file holds the frames of one game in the order the client handled
// them, with markers for each hand's start and end, so that a player can run
// them through the same core again. The byte layout is written down in
// FORMAT.md beside this file. Nothing here knows the frames' meaning: the
// recording hook decides what to write, the player what to do with it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tavren::replay {

inline constexpr std::uint32_t kFormatVersion = 1;
inline constexpr std::size_t kFrameBytes = 272;

// HandEnd bytes are UTF-8 "key=value" lines, at least
//   players=<4 names separated by '|', seat order>
//   result=<short UTF-8 text of the hand's result, e.g. winner and points, or 流局>
enum class EntryKind : std::uint8_t {
  Received = 0,   // one frame from the server, exactly kFrameBytes bytes, as it arrived
  Sent = 1,       // one frame the client sent, exactly kFrameBytes bytes
  HandStart = 2,  // written just before the frame that starts a hand; bytes empty
  FullDeal = 3,   // server --record only: every seat's hand and the wall (see FORMAT.md)
  HandEnd = 4,    // written when a hand is settled (lines as above)
  Link = 5,       // one byte: 0 = the link was lost, 1 = connected again (a resume follows)
  SeatHands = 6,  // server --record only: every seat's concealed tiles after a change (FORMAT.md)
};

// Bounds a reader holds every file to, whatever the file claims.
inline constexpr std::size_t kMaxHeaderBytes = 4096;
inline constexpr std::size_t kMaxTextBytes = 1024;    // one header text
inline constexpr std::size_t kMaxEntryBytes = 16384;  // one entry's bytes (HandEnd, FullDeal)

// A SeatHands entry read and checked: each seat's concealed tiles (codes as
// FORMAT.md gives them; a wild tile by its face's code, flowers 1..8).
inline constexpr std::size_t kMaxHandTiles = 21;
struct SeatHands {
  int wildCode = 0;  // the wild face's code, 0 when no seat holds a tile
  std::array<std::vector<std::uint8_t>, 4> tiles;
  std::array<bool, 4> drawnLast{};  // the seat's last tile is the one it just drew
  bool operator==(const SeatHands&) const = default;
};
// A tile code of the format: 0x11..0x17, 0x21..0x29, 0x41..0x49, 0x81..0x89, 1..8.
bool IsTileCode(int code);
// The snapshot an entry's bytes hold; nothing unless they are whole and every
// count and code is within the format's bounds.
std::optional<SeatHands> ParseSeatHands(const std::vector<std::uint8_t>& bytes);
// The bytes of a SeatHands entry (what the server writes); tiles beyond
// kMaxHandTiles are not written.
std::vector<std::uint8_t> SeatHandsBytes(const SeatHands& s);

struct Header {
  std::uint32_t version = kFormatVersion;
  std::string account;  // UTF-8
  std::string caption;  // the table's caption
  int seat = -1;        // 0..3 when known at the start, else -1
  bool watcher = false;
  std::string server;  // "host:port"
  std::int64_t startUnixMs = 0;
  std::string programVersion;
  bool fullGame = false;  // written by tavrenmj-server --record (has FullDeal entries)
};

struct Entry {
  std::int64_t ms = 0;  // milliseconds since the game's start
  EntryKind kind = EntryKind::Received;
  std::vector<std::uint8_t> bytes;
};

struct ReadResult {
  Header header;
  std::vector<Entry> entries;           // every entry up to the last good one
  std::vector<std::size_t> handStarts;  // index in entries of each HandStart entry
  std::string error;                    // empty when whole; else a message for the user (UTF-8)
  bool ok() const { return error.empty(); }
};

// Never throws, never crashes, whatever the bytes; a cut or damaged file gives what was
// good before the damage plus an error.
ReadResult ParseReplay(const std::uint8_t* data, std::size_t size);
ReadResult ReadReplay(const std::string& path);

// A kept game as the lobby window lists it; cheap (does not keep the frames).
struct KeptGame {
  std::string path;
  Header header;
  int hands = 0;
  std::vector<std::string> handResults;  // from HandEnd entries
  std::string players;                   // from the last HandEnd ("a|b|c|d"), may be empty
  std::int64_t lengthMs = 0;
  std::int64_t modifiedUnixMs = 0;  // when the file was last written (ms since 1970)
  bool damaged = false;
};
std::vector<KeptGame> ListReplays(const std::string& folder);  // newest first

// ---- Beyond the shared interface: helpers of the writer's side. ----

inline constexpr const char* kReplayExtension = ".tmr";
inline constexpr const char* kReplaySubfolder = "replays";

// "<data folder>/replays" (no trailing '/').
std::string ReplayFolder(const std::string& dataFolder);

// "<yyyymmdd-hhmmss>-<account>.tmr" from the game's start in local time; the
// account keeps A–Z a–z 0–9 . _ - and every other byte becomes %XX, so the name
// is safe in any folder. At most 64 bytes of the account are used.
std::string ReplayFileName(const Header& h);

// The value of `key` in a HandEnd entry's "key=value" lines, or "" when absent.
std::string HandEndValue(const Entry& e, const std::string& key);
// Builds a HandEnd entry's bytes: "players=a|b|c|d\nresult=<result>\n", each
// value cut to what fits and stripped of line breaks.
std::vector<std::uint8_t> HandEndBytes(const std::string& players, const std::string& result);

// Appends a game as it goes. Entries collect in a fixed buffer and go to the
// file on flush() (and whenever the buffer fills), so the caller decides how
// much a crash may lose; there is no fsync. After a failed write the writer is
// off for good: every later call does nothing, error() says why.
class Writer {
 public:
  static constexpr std::size_t kBufferBytes = 64 * 1024;

  Writer() = default;
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Creates `path` (never replacing an existing file) and writes the header.
  bool open(const std::string& path, const Header& h);
  // Appends one entry; bytes beyond kMaxEntryBytes are not written (the entry
  // is dropped) since no reader would take them.
  void append(EntryKind kind, std::int64_t ms, const std::uint8_t* data, std::size_t size);
  void flush();
  void close();

  bool isOpen() const { return fd_ >= 0; }
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  // Bytes written to the file so far (header included) plus those buffered.
  std::uint64_t size() const { return written_ + used_; }

 private:
  void fail(const std::string& what, int err);
  bool writeAll(const std::uint8_t* data, std::size_t size);

  int fd_ = -1;
  bool failed_ = false;
  std::string error_;
  std::string path_;
  std::uint64_t written_ = 0;
  std::size_t used_ = 0;
  std::vector<std::uint8_t> buf_;
};

// Removes the oldest kept games of `folder` (by the time they were last
// written) until at most `maxGames` remain and they take at most `maxBytes`;
// `keep` (a path) is never removed. Only plain files named *.tmr are touched.
// Returns how many files were removed.
int PruneReplays(const std::string& folder, int maxGames, std::uint64_t maxBytes,
                 const std::string& keep = {});

// CRC-32 (the zlib polynomial) over a run of bytes, continuing from `crc`.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace tavren::replay
