// Writes the seed inputs of the fuzz targets that come from recorded games: the
// reference engine plays with one client seat (and one watcher arriving during a
// hand), and the frames it sends are written in the input format of
// fuzz_client_stream; the requests of a client that plays along go to
// fuzz_server's format; a robots' game kept as tavrenmj-server --record keeps it
// seeds fuzz_replay. Run by scripts/run-fuzz when a corpus folder is empty.
//   make_seeds CORPUS_ROOT
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "engine/game_record.h"
#include "engine/server.h"

namespace {

using tavren::server::ConnId;
using tavren::server::Server;
using Bytes = std::vector<std::uint8_t>;

void write(const std::filesystem::path& dir, const std::string& name, const Bytes& b) {
  std::filesystem::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes request(int type, const std::string& account = "", const std::string& key = "",
              int value3 = 0) {
  Bytes f(272, 0);
  f[3] = static_cast<std::uint8_t>(type);
  f[15] = static_cast<std::uint8_t>(value3);
  std::copy(account.begin(), account.end(), f.begin() + 16);
  std::copy(key.begin(), key.end(), f.begin() + 32);
  return f;
}

// One frame in fuzz_client_stream's "whole frame" step, then a pump tick.
void addFrame(Bytes& seed, const std::uint8_t* f) {
  seed.push_back(2);
  seed.push_back(f[3]);
  seed.push_back(f[6]);
  seed.push_back(251);  // 252 bytes of operands and payload
  seed.insert(seed.end(), f + 8, f + 260);
  seed.push_back(f[260]);
  seed.push_back(f[261]);
  seed.push_back(7);
}

// The frames a connection gets from login on, with the time they came.
struct Recording {
  std::vector<Bytes> frames;
};

Recording record(bool watcher, int frames, std::uint64_t seed) {
  Server::Config cfg;
  cfg.seed = seed;
  cfg.busyTables = watcher;
  Server s(cfg);
  Recording r;
  ConnId id = s.connect();
  if (watcher) {
    // Arrive in the middle of a hand: the snapshot comes with the login.
    while (s.wallLeft(0) > 100 || s.wallLeft(0) == 144)
      if (auto due = s.nextDueMs()) s.advanceTo(*due);
    Bytes login = request(18, "amy", "watch=0");
    s.receive(id, login);
  } else {
    Bytes login = request(18, "amy", "table=0;seat=0");
    s.receive(id, login);
    Bytes ready = request(16, "", "", 1);
    s.receive(id, ready);
  }
  while (static_cast<int>(r.frames.size()) < frames) {
    Bytes out = s.takeOutput(id);
    for (std::size_t at = 0; at + 272 <= out.size(); at += 272)
      r.frames.emplace_back(out.begin() + static_cast<std::ptrdiff_t>(at),
                            out.begin() + static_cast<std::ptrdiff_t>(at + 272));
    auto due = s.nextDueMs();
    if (!due) break;
    s.advanceTo(*due);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::filesystem::path root = argv[1];
  int n = 0;
  for (bool watcher : {false, true})
    for (std::uint64_t seed : {1, 2, 3})
      for (int length : {8, 20, 45}) {
        const Recording r = record(watcher, length, seed);
        Bytes in{static_cast<std::uint8_t>(watcher ? 1 : 0)};
        for (const Bytes& f : r.frames) addFrame(in, f.data());
        write(root / "fuzz_client_stream", "game-" + std::to_string(n++), in);
      }
  // The server: a player and a watcher log in, the player is ready, time runs.
  for (std::uint8_t seed : {1, 9}) {
    Bytes in{seed, 0, 0};
    in.insert(in.end(), {0, 0});                                    // two connections
    in.insert(in.end(), {1, 0, 0, 0, 0, 0});                        // conn 0: p0, key 0, token 0
    in.insert(in.end(), {1, 1, 1, 2, 0, 0});                        // conn 1: p1 watches table 0
    in.insert(in.end(), {2, 0, 0, 16, 8, 0, 0, 0, 0, 0, 0, 0, 1});  // ready
    for (int i = 0; i < 60; ++i) in.push_back(6);
    in.insert(in.end(), {2, 0, 0, 24, 0});      // keep-alive
    in.insert(in.end(), {4, 0});                // the player drops
    in.insert(in.end(), {0, 129, 1, 0, 0, 0});  // and resumes on a new connection
    for (int i = 0; i < 30; ++i) in.push_back(6);
    write(root / "fuzz_server", "game-" + std::to_string(seed), in);
  }
  // The proxy: a greeting answered without and with a password, the connect reply
  // (an IPv4 and a named address), then the first game frame.
  {
    Bytes noAuth{0, 1, 5, 0, 9, 5, 0, 0, 1, 127, 0, 0, 1, 0x1F, 0x40};
    write(root / "fuzz_proxy", "no-auth", noAuth);
    Bytes auth{1, 1, 5, 2, 1, 1, 0, 9, 5, 0, 0, 1, 127, 0, 0, 1, 0x1F, 0x40};
    write(root / "fuzz_proxy", "user-pass", auth);
    Bytes named{0, 1, 5, 0, 15, 5, 0, 0, 3, 9, 'l', 'o', 'c', 'a', 'l', 'h', 'o', 's', 't', 0, 80};
    write(root / "fuzz_proxy", "named", named);
  }
  // The command line: a player's, a watcher's, an unattended one and a proxy line,
  // each followed by the lobby's messages.
  {
    const std::string lines[] = {"amy$table=0;seat=1;pass=00ff$127.0.0.1$7000$T1$0$$0$$$0$$$",
                                 "amy$watch=0$127.0.0.1$7000$T1$900001$0$$$$$0",
                                 "bot$table=0$127.0.0.1$7000$T1$0$$0$$$1$Qixo山庄$Main$",
                                 "amy$k$127.0.0.1$7000$T1$5$10.0.0.9$1080$u$p$0$$$"};
    int i = 0;
    for (const std::string& line : lines) {
      Bytes in{static_cast<std::uint8_t>(line.size() >> 8),
               static_cast<std::uint8_t>(line.size() & 0xFF)};
      in.insert(in.end(), line.begin(), line.end());
      for (std::uint8_t op : {0x14, 0x45, 0x06, 0x33, 0x02, 0x41})
        in.insert(in.end(), {op, 0, 0, 0, 0});
      write(root / "fuzz_startup", "line-" + std::to_string(i++), in);
    }
  }
  // A replay file: a robots' game kept by the engine's recorder, its first
  // records up to the fuzzer's input length, whole and cut inside a record.
  {
    Server::Config config;
    config.seed = 3;
    config.busyTables = true;
    config.robotDelayMs = 100;
    Server server(config);
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("make-seeds-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
      tavren::server::GameRecorder recorder(
          server, {dir.string(), 64u << 20, "seed", "127.0.0.1:7000"}, nullptr);
      server.setFrameTap(
          [&](int t, int seat, std::span<const std::uint8_t> f) { recorder.frame(t, seat, f); });
      server.setHandSink([&](const tavren::server::HandRecord& h) { recorder.handEnded(h); });
      for (int i = 0; i < 200000 && server.handsPlayed(0) < 2; ++i) {
        const auto due = server.nextDueMs();
        if (!due) break;
        server.advanceTo(*due);
      }
    }
    Bytes file;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream in(entry.path(), std::ios::binary);
      file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::filesystem::remove_all(dir);
    // Record boundaries: after the header (16 + body + 4), then 8 + length + 4 each.
    std::vector<std::size_t> ends;
    if (file.size() >= 16) {
      std::size_t at = 16 + (file[12] | file[13] << 8) + 4;
      while (at + 8 <= file.size()) {
        ends.push_back(at);
        at += 8 + (file[at + 2] | file[at + 3] << 8) + 4;
      }
    }
    auto upTo = [&](std::size_t limit) {
      std::size_t best = 0;
      for (std::size_t e : ends)
        if (e <= limit) best = e;
      return Bytes(file.begin(), file.begin() + static_cast<long>(best));
    };
    write(root / "fuzz_replay", "game-whole", upTo(12000));
    write(root / "fuzz_replay", "game-short", upTo(3000));
    Bytes cut = upTo(11000);
    cut.insert(cut.end(), file.begin() + static_cast<long>(cut.size()),
               file.begin() + static_cast<long>(std::min(file.size(), cut.size() + 150)));
    write(root / "fuzz_replay", "game-cut", cut);
  }
  // The files: a record file as the client writes it, and a phrase file.
  {
    const std::string record =
        "[juNum:1]\r\ncount( 0 )=2\r\ncount( 0 )( 0 )=amy\r\ncount( 0 )( 1 )=+20\r\n"
        "count( 1 )=1\r\ncount( 1 )( 0 )=x\r\n[juNum:2]\r\ncount( 7 )=999\r\n";
    Bytes in{2, 7, 'j', 'u', 'N', 'u', 'm', ':', '1', 3, 'c', 'o', 'u'};
    in.insert(in.end(), record.begin(), record.end());
    write(root / "fuzz_files", "record", in);
    const std::string phrases =
        "[Phrase1]\r\nnum=2\r\n1=hello\r\n2=again\r\n[Phrase2]\r\nnum=1\r\n1=bye\r\n";
    Bytes ph{1, 7, 'P', 'h', 'r', 'a', 's', 'e', '1', 3, 'n', 'u', 'm'};
    ph.insert(ph.end(), phrases.begin(), phrases.end());
    write(root / "fuzz_files", "phrases", ph);
  }
  return 0;
}
