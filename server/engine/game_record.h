// tavrenmj-server --record DIR: every table's game kept in the client's replay
// file format, as seat 0 sees it, with every seat's hand and the wall at each
// deal, so that a replay can show all four hands open. The server writes the
// format on its own (as it codes its frames on its own), so the client's reader
// checks it independently.
//
// One file per table and game: "table<N>-<yyyymmdd-hhmmss>.tmr" in DIR, opened
// at the first frame the table addresses to seat 0 (after the login result and
// the seating a client newly seated there gets first) and closed by the game-over
// notice, by shutdown, or when it reaches its size bound. A write that fails
// switches recording off for the whole server with one log line.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/server.h"

namespace tavren::server {

class GameRecorder {
 public:
  struct Options {
    std::string folder;
    std::uint64_t maxFileBytes = std::uint64_t{64} << 20;
    std::string programVersion;
    std::string serverName;  // "host:port" for the header
  };

  // The folder's bound over many games: when a new file starts, the oldest
  // finished games of the server's own naming go (by last write) until the
  // others take at most `bytes` and, with the new one, at most `games`. Files
  // being written count but are never removed; nothing else in the folder is
  // touched.
  struct Keep {
    std::uint64_t bytes = std::uint64_t{1024} << 20;
    int games = 1000;
    // Removes a kept file (tests make it fail); empty: unlink(2).
    std::function<bool(const std::string& path)> removeFile;
  };
  void setKeep(Keep keep) { keep_ = std::move(keep); }

  // `log` gets the one line that says why recording stopped.
  GameRecorder(Server& server, Options options, std::function<void(const std::string&)> log);
  ~GameRecorder();
  GameRecorder(const GameRecorder&) = delete;
  GameRecorder& operator=(const GameRecorder&) = delete;

  // From the server's frame tap and hand sink.
  void frame(int table, int seat, std::span<const std::uint8_t> f);
  void handEnded(const HandRecord& rec);
  // Writes what is buffered (the binary calls it after each round of events).
  void flush();
  void closeAll();

  bool stopped() const { return stopped_; }
  // Makes room in the folder as a new file would (see Keep); returns how many
  // files went.
  int prune();
  std::size_t openFiles() const { return files_.size(); }

 private:
  struct TableFile;
  // The table's file, opened by frame `opening` when there is none.
  TableFile* fileFor(int table, std::span<const std::uint8_t> opening);
  void append(int table, TableFile& t, int kind, const std::uint8_t* data, std::size_t size);
  void writeOut(int table, TableFile& t);
  void close(int table);
  void stop(const std::string& why);

  Server& server_;
  Options options_;
  std::function<void(const std::string&)> log_;
  std::map<int, std::unique_ptr<TableFile>> files_;
  std::set<int> full_;  // tables whose file reached the bound in this game
  Keep keep_;
  std::set<std::string> unremovable_;  // said once in the log, then left
  bool stopped_ = false;
};

// Whether a file name is one the recorder writes: table<N>-<yyyymmdd>-<hhmmss>
// with an optional -<n>, then .tmr.
bool IsRecordingName(const std::string& name);

// The CRC-32 of the replay format (zlib's polynomial).
std::uint32_t RecordCrc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace tavren::server
