// The replay file: what the writer appends reads back whole, and no cut,
// damaged or foreign file makes the reader do more than give what was good.
#include "replay/replay_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace tavren::replay {
namespace {

class TempFolder {
 public:
  TempFolder() {
    char tmpl[] = "/tmp/replay-test-XXXXXX";
    const char* p = mkdtemp(tmpl);
    EXPECT_NE(p, nullptr);
    path_ = p ? p : "/tmp";
  }
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> FrameOf(int type, int salt) {
  std::vector<std::uint8_t> f(kFrameBytes);
  for (std::size_t i = 0; i < f.size(); ++i) f[i] = static_cast<std::uint8_t>(i * 7 + salt);
  f[3] = static_cast<std::uint8_t>(type);
  return f;
}

Header SampleHeader() {
  Header h;
  h.account = "张三abc";
  h.caption = "Qixo山庄 第3桌";
  h.seat = 2;
  h.watcher = true;
  h.server = "127.0.0.1:7000";
  h.startUnixMs = 1765432109876;
  h.programVersion = "0.9.0";
  return h;
}

// A small game of two hands, written through the Writer; returns its entries.
std::vector<Entry> WriteSampleGame(const std::string& path, const Header& h, int discards = 30) {
  std::vector<Entry> want;
  Writer w;
  EXPECT_TRUE(w.open(path, h)) << w.error();
  auto add = [&](EntryKind k, std::int64_t ms, std::vector<std::uint8_t> bytes) {
    w.append(k, ms, bytes.data(), bytes.size());
    want.push_back({ms, k, std::move(bytes)});
  };
  add(EntryKind::Sent, 0, FrameOf(18, 1));
  add(EntryKind::Received, 40, FrameOf(18, 2));
  for (int hand = 0; hand < 2; ++hand) {
    const std::int64_t t = 1000 + hand * 60000;
    add(EntryKind::HandStart, t, {});
    add(EntryKind::Received, t, FrameOf(4, hand));
    for (int i = 0; i < discards; ++i) add(EntryKind::Received, t + 100 + i * 100, FrameOf(2, i));
    add(EntryKind::Sent, t + 3500, FrameOf(2, 99));
    if (hand == 1) {
      add(EntryKind::Link, t + 4000, {0});
      add(EntryKind::Link, t + 9000, {1});
    }
    add(EntryKind::HandEnd, t + 10000,
        HandEndBytes("甲|乙|丙|丁", hand == 0 ? "乙 自摸 12番" : "流局"));
    w.flush();
  }
  w.close();
  EXPECT_FALSE(w.failed()) << w.error();
  return want;
}

TEST(ReplayFile, WhatTheWriterAppendsReadsBackWhole) {
  TempFolder dir;
  const std::string path = dir.path() + "/game.tmr";
  const Header h = SampleHeader();
  const std::vector<Entry> want = WriteSampleGame(path, h);

  const ReadResult r = ReadReplay(path);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.header.version, kFormatVersion);
  EXPECT_EQ(r.header.account, h.account);
  EXPECT_EQ(r.header.caption, h.caption);
  EXPECT_EQ(r.header.seat, 2);
  EXPECT_TRUE(r.header.watcher);
  EXPECT_FALSE(r.header.fullGame);
  EXPECT_EQ(r.header.server, h.server);
  EXPECT_EQ(r.header.startUnixMs, h.startUnixMs);
  EXPECT_EQ(r.header.programVersion, h.programVersion);
  ASSERT_EQ(r.entries.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(r.entries[i].kind, want[i].kind) << i;
    EXPECT_EQ(r.entries[i].ms, want[i].ms) << i;
    EXPECT_EQ(r.entries[i].bytes, want[i].bytes) << i;
  }
  ASSERT_EQ(r.handStarts.size(), 2u);
  for (std::size_t i : r.handStarts) {
    EXPECT_EQ(r.entries[i].kind, EntryKind::HandStart);
    EXPECT_EQ(r.entries[i + 1].bytes[3], 4);
  }
  EXPECT_EQ(HandEndValue(r.entries.back(), "result"), "流局");
  EXPECT_EQ(HandEndValue(r.entries.back(), "players"), "甲|乙|丙|丁");

  // The same bytes parsed from memory give the same.
  const std::vector<std::uint8_t> bytes = ReadAll(path);
  const ReadResult m = ParseReplay(bytes.data(), bytes.size());
  ASSERT_TRUE(m.ok()) << m.error;
  EXPECT_EQ(m.entries.size(), want.size());
  EXPECT_EQ(m.handStarts, r.handStarts);
}

TEST(ReplayFile, AFullGameHeaderAndAnUnknownSeatKeepTheirValues) {
  TempFolder dir;
  Header h;
  h.fullGame = true;
  h.seat = 7;  // not a seat: kept as unknown
  Writer w;
  ASSERT_TRUE(w.open(dir.path() + "/g.tmr", h));
  w.close();
  const ReadResult r = ReadReplay(dir.path() + "/g.tmr");
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.header.fullGame);
  EXPECT_FALSE(r.header.watcher);
  EXPECT_EQ(r.header.seat, -1);
  EXPECT_TRUE(r.entries.empty());
}

TEST(ReplayFile, TheWriterNeverReplacesAFileAndReportsWhyItCannotOpen) {
  TempFolder dir;
  const std::string path = dir.path() + "/g.tmr";
  WriteAll(path, {1, 2, 3});
  Writer w;
  EXPECT_FALSE(w.open(path, Header{}));
  EXPECT_TRUE(w.failed());
  EXPECT_FALSE(w.error().empty());
  EXPECT_EQ(ReadAll(path), (std::vector<std::uint8_t>{1, 2, 3}));
  Writer missing;
  EXPECT_FALSE(missing.open(dir.path() + "/no/such/folder/g.tmr", Header{}));
  EXPECT_NE(missing.error().find("no/such/folder"), std::string::npos);
  const std::vector<std::uint8_t> f = FrameOf(2, 0);
  missing.append(EntryKind::Received, 1, f.data(), f.size());  // off: does nothing
  missing.flush();
  EXPECT_FALSE(missing.isOpen());
}

TEST(ReplayFile, AFullDiskStopsTheWriterWithAMessage) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full here";
  // A writer that opened its file and then meets a full disk: the full device
  // is put in place of its file's descriptor.
  TempFolder dir;
  Writer w;
  ASSERT_TRUE(w.open(dir.path() + "/g.tmr", Header{}));
  // The header is on disk; from here every write fails as on a full disk.
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  // Writer's descriptor is private: dup2 the full device over it.
  const std::string fdLink = "/proc/self/fd";
  int writerFd = -1;
  for (int fd = 3; fd < 1024; ++fd) {
    char target[512] = {};
    const std::string link = fdLink + "/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target).find(dir.path() + "/g.tmr") != std::string::npos)
      writerFd = fd;
  }
  ASSERT_GE(writerFd, 0);
  ASSERT_EQ(dup2(full, writerFd), writerFd);
  ::close(full);
  const std::vector<std::uint8_t> f = FrameOf(2, 0);
  w.append(EntryKind::Received, 1, f.data(), f.size());
  w.flush();
  EXPECT_TRUE(w.failed());
  EXPECT_NE(w.error().find("磁盘已满"), std::string::npos) << w.error();
  EXPECT_FALSE(w.isOpen());
  w.append(EntryKind::Received, 2, f.data(), f.size());
  w.flush();  // still off, nothing happens
}

// One case of the damaged-file table: a change to a good file and what the
// reader must then make of it.
struct Damage {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> change;
  bool wholeHeader;     // the header still reads
  const char* message;  // a piece of the error text
  std::size_t atLeast;  // entries that must still be there (leading good ones)
  std::size_t atMost;
};

TEST(ReplayFile, CutDamagedAndForeignFilesGiveWhatWasGoodAndAMessage) {
  TempFolder dir;
  const std::string path = dir.path() + "/game.tmr";
  const std::vector<Entry> want = WriteSampleGame(path, SampleHeader());
  const std::vector<std::uint8_t> good = ReadAll(path);
  const std::size_t n = want.size();
  // Offsets: preamble 16, header body, CRC 4; then records of 12 + length.
  const std::size_t headerEnd = good.size() - [&] {
    std::size_t s = 0;
    for (const Entry& e : want) s += 12 + e.bytes.size();
    return s;
  }();
  const std::size_t firstRecord = headerEnd;
  const std::size_t secondRecord = firstRecord + 12 + kFrameBytes;

  const std::vector<Damage> cases = {
      {"empty file", [](auto& b) { b.clear(); }, false, "不是录像文件", 0, 0},
      {"text file",
       [](auto& b) {
         b.assign({'h', 'e', 'l', 'l', 'o', '\n'});
       },
       false, "不是录像文件", 0, 0},
      {"another program's file",
       [](auto& b) {
         b[0] = 0x89;
         b[1] = 'P';
       },
       false, "不是录像文件", 0, 0},
      {"magic only", [](auto& b) { b.resize(8); }, false, "截断", 0, 0},
      {"newer version", [](auto& b) { b[8] = 2; }, false, "比本程序新", 0, 0},
      {"version zero", [](auto& b) { b[8] = 0; }, false, "无法识别", 0, 0},
      {"header length huge", [](auto& b) { b[15] = 0x7F; }, false, "文件头已损坏", 0, 0},
      {"header body cut", [](auto& b) { b.resize(30); }, false, "截断", 0, 0},
      {"header byte flipped", [](auto& b) { b[40] ^= 0x01; }, false, "文件头已损坏", 0, 0},
      {"cut after the header", [&](auto& b) { b.resize(headerEnd); }, true, "", 0, 0},
      {"cut inside the first record's head", [&](auto& b) { b.resize(firstRecord + 5); }, true,
       "截断", 0, 0},
      {"cut inside the first frame", [&](auto& b) { b.resize(firstRecord + 100); }, true, "截断", 0,
       0},
      {"cut inside the second frame", [&](auto& b) { b.resize(secondRecord + 200); }, true, "截断",
       1, 1},
      {"cut one byte short", [&](auto& b) { b.pop_back(); }, true, "截断", n - 1, n - 1},
      {"a frame byte flipped", [&](auto& b) { b[secondRecord + 50] ^= 0x40; }, true, "已损坏", 1,
       1},
      {"a record mark broken", [&](auto& b) { b[secondRecord + 1] = 0; }, true, "已损坏", 1, 1},
      {"a record length grown", [&](auto& b) { b[secondRecord + 3] = 0x10; }, true, "已损坏", 1, 1},
      {"a time changed", [&](auto& b) { b[secondRecord + 4] ^= 1; }, true, "已损坏", 1, 1},
      {"garbage appended", [](auto& b) { b.insert(b.end(), 40, 0xAB); }, true, "已损坏", n, n},
      {"zeros appended", [](auto& b) { b.insert(b.end(), 3, 0); }, true, "截断", n, n},
      {"the tail overwritten with zeros",
       [&](auto& b) { std::fill(b.begin() + static_cast<long>(b.size() / 2), b.end(), 0); }, true,
       "已损坏", 1, n - 1},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.name);
    std::vector<std::uint8_t> bytes = good;
    d.change(bytes);
    const ReadResult r = ParseReplay(bytes.data(), bytes.size());
    if (*d.message == '\0') {
      EXPECT_TRUE(r.ok()) << r.error;
    } else {
      EXPECT_FALSE(r.ok());
      EXPECT_NE(r.error.find(d.message), std::string::npos) << r.error;
    }
    if (d.wholeHeader) {
      EXPECT_EQ(r.header.account, SampleHeader().account);
    }
    EXPECT_GE(r.entries.size(), d.atLeast);
    EXPECT_LE(r.entries.size(), d.atMost);
    // What is given back is the good start of the game, unchanged.
    for (std::size_t i = 0; i < r.entries.size(); ++i) {
      EXPECT_EQ(r.entries[i].kind, want[i].kind) << i;
      EXPECT_EQ(r.entries[i].bytes, want[i].bytes) << i;
    }
    for (std::size_t i : r.handStarts) {
      ASSERT_LT(i, r.entries.size());
      EXPECT_EQ(r.entries[i].kind, EntryKind::HandStart);
    }
    // The file path gives the same as memory.
    WriteAll(dir.path() + "/case.tmr", bytes);
    const ReadResult f = ReadReplay(dir.path() + "/case.tmr");
    EXPECT_EQ(f.error, r.error);
    EXPECT_EQ(f.entries.size(), r.entries.size());
  }
}

TEST(ReplayFile, AnEntryOfALaterKindIsSkippedByItsLength) {
  TempFolder dir;
  const std::string path = dir.path() + "/g.tmr";
  Writer w;
  ASSERT_TRUE(w.open(path, Header{}));
  const std::vector<std::uint8_t> f = FrameOf(2, 0);
  const std::uint8_t later[5] = {1, 2, 3, 4, 5};
  w.append(EntryKind::Received, 1, f.data(), f.size());
  w.append(static_cast<EntryKind>(9), 2, later, sizeof later);
  w.append(EntryKind::Received, 3, f.data(), f.size());
  w.close();
  const ReadResult r = ReadReplay(path);
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.entries.size(), 2u);
  EXPECT_EQ(r.entries[1].ms, 3);
}

// A server file's snapshot of the hands: taken only whole, with every count
// and code inside the format's bounds; anything else is ignored, never read
// past its end.
TEST(ReplayFile, ASnapshotOfTheHandsIsTakenOnlyWholeAndWithinBounds) {
  using B = std::vector<std::uint8_t>;
  const B good = {1, 0x45, 2, 0, 0x11, 0x12, 0, 0, 1, 1, 0x89, 3, 0, 0x45, 0x45, 7};
  struct Case {
    const char* name;
    B bytes;
    bool taken;
  };
  B thirteen = {1, 0x21};
  for (int seat = 0; seat < 4; ++seat) {
    thirteen.push_back(seat == 1 ? 14 : 13);
    thirteen.push_back(seat == 1 ? 1 : 0);
    for (int k = 0; k < (seat == 1 ? 14 : 13); ++k) thirteen.push_back(0x41 + k % 9);
  }
  B tooMany = {1, 0x21, 22, 0};
  tooMany.insert(tooMany.end(), 22, 0x11);
  tooMany.insert(tooMany.end(), {0, 0, 0, 0, 0, 0});
  auto with = [&](std::size_t at, std::uint8_t v) {
    B b = good;
    b[at] = v;
    return b;
  };
  const Case cases[] = {
      {"whole", good, true},
      {"a deal", thirteen, true},
      {"empty", {}, false},
      {"a later layout", with(0, 2), false},
      {"a wild code that is no face", with(1, 0x05), false},
      {"a wild code of no tile", with(1, 0x4A), false},
      {"a count past the hand's bound", tooMany, false},
      {"a flag that is not 0 or 1", with(3, 2), false},
      {"a drawn tile in an empty hand", with(7, 1), false},
      {"an honour past 白", with(4, 0x18), false},
      {"a rank past 9", with(5, 0x2A), false},
      {"no suit", with(10, 0x30), false},
      {"tile code 0", with(10, 0), false},
      {"flower 9", with(10, 9), false},
      {"three seats only", B(good.begin(), good.begin() + 11), false},
      {"a count past the end", B(good.begin(), good.end() - 1), false},
      {"a byte after the fourth seat",
       [&] {
         B b = good;
         b.push_back(0x11);
         return b;
       }(),
       false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const auto s = ParseSeatHands(k.bytes);
    ASSERT_EQ(s.has_value(), k.taken);
    if (!s) continue;
    EXPECT_EQ(SeatHandsBytes(*s), k.bytes) << "written again the same";
  }
  const auto s = ParseSeatHands(good);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->wildCode, 0x45);
  EXPECT_EQ(s->tiles[0], (B{0x11, 0x12}));
  EXPECT_TRUE(s->tiles[1].empty());
  EXPECT_EQ(s->tiles[2], B{0x89});
  EXPECT_TRUE(s->drawnLast[2]);
  EXPECT_FALSE(s->drawnLast[3]);
  EXPECT_EQ(s->tiles[3], (B{0x45, 0x45, 7}));

  // In a file it is an entry like any other; a bad one is no damage to the
  // file, only ignored where it is read.
  TempFolder dir;
  const std::string path = dir.path() + "/g.tmr";
  Writer w;
  ASSERT_TRUE(w.open(path, Header{}));
  const std::vector<std::uint8_t> f = FrameOf(2, 0);
  w.append(EntryKind::SeatHands, 1, good.data(), good.size());
  w.append(EntryKind::Received, 2, f.data(), f.size());
  w.append(EntryKind::SeatHands, 3, tooMany.data(), tooMany.size());
  w.append(EntryKind::Received, 4, f.data(), f.size());
  w.close();
  const ReadResult r = ReadReplay(path);
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.entries.size(), 4u);
  EXPECT_EQ(r.entries[0].kind, EntryKind::SeatHands);
  EXPECT_EQ(r.entries[0].bytes, good);
  EXPECT_FALSE(ParseSeatHands(r.entries[2].bytes));
}

TEST(ReplayFile, AKnownKindOfTheWrongLengthIsDamage) {
  TempFolder dir;
  const std::string path = dir.path() + "/g.tmr";
  Writer w;
  ASSERT_TRUE(w.open(path, Header{}));
  const std::vector<std::uint8_t> f = FrameOf(2, 0);
  w.append(EntryKind::Received, 1, f.data(), f.size());
  w.append(EntryKind::Received, 2, f.data(), 100);  // a frame of the wrong size
  w.close();
  const ReadResult r = ReadReplay(path);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.entries.size(), 1u);
}

TEST(ReplayFile, EveryCutOfAGoodFileReadsWithoutFaultAndKeepsItsGoodStart) {
  TempFolder dir;
  const std::string path = dir.path() + "/game.tmr";
  const std::vector<Entry> want = WriteSampleGame(path, SampleHeader(), 3);
  const std::vector<std::uint8_t> good = ReadAll(path);
  // Whole only where a record ends (or right after the header).
  std::vector<bool> boundary(good.size() + 1, false);
  std::size_t at = good.size();
  boundary[at] = true;
  for (auto it = want.rbegin(); it != want.rend(); ++it) {
    at -= 12 + it->bytes.size();
    boundary[at] = true;
  }
  std::size_t lastCount = 0;
  for (std::size_t cut = 0; cut <= good.size(); ++cut) {
    const ReadResult r = ParseReplay(good.data(), cut);
    ASSERT_GE(r.entries.size(), lastCount) << cut;  // never fewer for a longer file
    lastCount = r.entries.size();
    ASSERT_EQ(r.ok(), boundary[cut]) << cut << ": " << r.error;
  }
  EXPECT_EQ(lastCount, want.size());
  EXPECT_TRUE(ParseReplay(nullptr, 0).error.find("不是录像文件") != std::string::npos);
}

TEST(ReplayFile, KeptGamesAreListedNewestFirstWithTheirHandsAndResults) {
  TempFolder dir;
  Header a = SampleHeader();
  a.startUnixMs = 1000000000000;
  Header b = SampleHeader();
  b.startUnixMs = 1100000000000;
  b.caption = "later";
  WriteSampleGame(dir.path() + "/a.tmr", a);
  WriteSampleGame(dir.path() + "/b.tmr", b);
  WriteAll(dir.path() + "/broken.tmr", {'T', 'M', 'R', 'E'});
  // A file without a readable start goes by its last write, here before both games.
  const timespec old[2] = {{900000000, 0}, {900000000, 0}};
  utimensat(AT_FDCWD, (dir.path() + "/broken.tmr").c_str(), old, 0);
  WriteAll(dir.path() + "/notes.txt", {'x'});
  ASSERT_EQ(symlink((dir.path() + "/a.tmr").c_str(), (dir.path() + "/link.tmr").c_str()), 0);
  mkdir((dir.path() + "/folder.tmr").c_str(), 0700);

  const std::vector<KeptGame> list = ListReplays(dir.path());
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].path, dir.path() + "/b.tmr");
  EXPECT_EQ(list[0].header.caption, "later");
  EXPECT_EQ(list[0].hands, 2);
  EXPECT_EQ(list[0].handResults, (std::vector<std::string>{"乙 自摸 12番", "流局"}));
  EXPECT_EQ(list[0].players, "甲|乙|丙|丁");
  EXPECT_EQ(list[0].lengthMs, 1000 + 60000 + 10000);
  EXPECT_FALSE(list[0].damaged);
  EXPECT_EQ(list[1].path, dir.path() + "/a.tmr");
  EXPECT_EQ(list[2].path, dir.path() + "/broken.tmr");
  EXPECT_TRUE(list[2].damaged);
  EXPECT_TRUE(ListReplays(dir.path() + "/missing").empty());
}

TEST(ReplayFile, FileNamesCarryTheStartAndASafeAccount) {
  Header h;
  h.startUnixMs = 0;
  h.account = "a/b c..张";
  const std::string name = ReplayFileName(h);
  EXPECT_EQ(name.size(), 15 + 1 + std::string("a%2Fb%20c..%E5%BC%A0").size() + 4) << name;
  EXPECT_NE(name.find("-a%2Fb%20c..%E5%BC%A0.tmr"), std::string::npos) << name;
  EXPECT_EQ(name.find('/'), std::string::npos);
  h.account.clear();
  EXPECT_NE(ReplayFileName(h).find("-game.tmr"), std::string::npos);
  EXPECT_EQ(ReplayFolder("/home/u/.local/share/tavrenmj/"),
            "/home/u/.local/share/tavrenmj/replays");
}

TEST(ReplayFile, PruningRemovesTheOldestUntilBothLimitsHold) {
  TempFolder dir;
  auto make = [&](const std::string& name, std::size_t bytes, int age) {
    const std::string p = dir.path() + "/" + name;
    WriteAll(p, std::vector<std::uint8_t>(bytes, 1));
    const timespec times[2] = {{1000000 - age, 0}, {1000000 - age, 0}};
    utimensat(AT_FDCWD, p.c_str(), times, 0);
  };
  make("old.tmr", 100, 50);
  make("mid.tmr", 100, 40);
  make("new.tmr", 100, 30);
  make("current.tmr", 100, 60);  // oldest of all, but being written
  make("other.txt", 100000, 99);
  // Four games, at most three kept: the oldest that may go goes.
  EXPECT_EQ(PruneReplays(dir.path(), 3, 1 << 20, dir.path() + "/current.tmr"), 1);
  EXPECT_NE(access((dir.path() + "/current.tmr").c_str(), F_OK), -1);
  EXPECT_EQ(access((dir.path() + "/old.tmr").c_str(), F_OK), -1);
  // 300 bytes left, at most 150: two more go, oldest first, the current one stays.
  EXPECT_EQ(PruneReplays(dir.path(), 200, 150, dir.path() + "/current.tmr"), 2);
  EXPECT_EQ(access((dir.path() + "/mid.tmr").c_str(), F_OK), -1);
  EXPECT_EQ(access((dir.path() + "/new.tmr").c_str(), F_OK), -1);
  EXPECT_NE(access((dir.path() + "/current.tmr").c_str(), F_OK), -1);
  EXPECT_EQ(PruneReplays(dir.path(), 200, 150, dir.path() + "/current.tmr"), 0);
  EXPECT_NE(access((dir.path() + "/other.txt").c_str(), F_OK), -1);
}

}  // namespace
}  // namespace tavren::replay
