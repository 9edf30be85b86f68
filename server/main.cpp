// tavrenmj-server: the table engine on TCP. One thread, one Asio context: socket
// reads feed the engine, a single timer follows the engine's next due time, and
// whatever the engine has for a connection is written out after every event.
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <asio.hpp>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "engine/game_record.h"
#include "engine/log_writer.h"
#include "engine/out_queue.h"
#include "engine/server.h"
#include "protocol/options.h"

#ifndef TAVREN_VERSION
#define TAVREN_VERSION "0"
#endif

namespace {

using asio::ip::tcp;
using tavren::server::ConnId;
using tavren::server::HandRecord;
using tavren::server::LogWriter;
using tavren::server::OutQueue;
using tavren::server::Server;

struct Options {
  std::string bind = "127.0.0.1";
  int port = 7000;
  Server::Config config = networkConfig();
  bool seedGiven = false;
  std::string recordDir;  // --record: every table's game kept here
  int recordMaxMb = 64;   // the bound of one table's file
  // The bound of the folder over many games: the oldest games go first.
  int recordKeepMb = 1024;
  int recordKeepGames = 1000;

  // On the network a connection must log in soon and then keep talking (the
  // client sends a keep-alive every 5 s); strangers must not hold descriptors.
  static Server::Config networkConfig() {
    Server::Config c;
    c.loginTimeoutMs = 10000;
    c.idleTimeoutMs = 60000;
    return c;
  }
};

// No descriptor of the server's is handed to a program it might start.
void closeOnExec(int fd) {
  const int flags = fcntl(fd, F_GETFD);
  if (flags >= 0) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: tavrenmj-server [OPTION]...\n"
               "The Tavren mahjong table server: tables of four seats, robot players in the seats\n"
               "no person has taken. It listens on the loopback address 127.0.0.1 only, so only\n"
               "this machine can join; --bind 0.0.0.0 (or one of this machine's addresses) opens\n"
               "it to the network, and the firewall must then let TCP to the port in.\n"
               "\n"
               "  --bind ADDR            the address to listen on (default 127.0.0.1)\n"
               "  --port N               the TCP port, 0 for any free one (default 7000)\n"
               "  --tables N             tables, 1 to 1000 (default 1)\n"
               "  --seed N               the random seed of the deals (default: from the clock)\n"
               "  --turn-time S          seconds for a turn, 1 to 15\n"
               "  --robot-delay MS       how long a robot thinks, 0 to 60000 ms\n"
               "  --stake N              coins a point is worth, 1 to 30000\n"
               "  --hands-per-game N     hands in a game, 0 for no end\n"
               "  --page-url URL         the page the client's help button opens\n"
               "  --chat-spacing MS      the least time between two chat lines of one player\n"
               "  --start-pause MS       from a client's seating to a game's first hand\n"
               "                         (default 3000)\n"
               "  --wait-for-start       a game's first hand waits for every seated client's\n"
               "                         开始 (a hosted table)\n"
               "  --busy                 tables without any client play robots-only games too\n"
               "  --record DIR           keep every table's game in DIR as a replay file with\n"
               "                         every hand open (seat 0's view, the deal and the wall)\n"
               "  --record-max-mb N      the bound of one table's file, 1 to 4000 (default 64)\n"
               "  --record-keep-mb N     the bound of DIR's finished games: when a new file\n"
               "                         starts, the oldest go until the rest take at most N MB,\n"
               "                         1 to 1000000 (default 1024)\n"
               "  --record-keep-games N  and at most N games with the new one, 1 to 1000000\n"
               "                         (default 1000); only the server's own table*.tmr files\n"
               "                         are ever removed\n"
               "  --help, --version      this text; the version\n"
               "Options take their value as --port 7000 or --port=7000.\n");
}

// GNU-style, in order: --help and --version answer at once, and the first bad
// option or value is named on standard error.
enum class Parsed { Run, Answered, Refused };

Parsed parse(tavren::options::Parser& p, Options& o) {
  while (p.next()) {
    if (p.is("--help", "-h")) {
      if (!p.flag()) break;
      usage(stdout);
      return Parsed::Answered;
    } else if (p.is("--version")) {
      if (!p.flag()) break;
      std::printf("tavrenmj-server %s\n", TAVREN_VERSION);
      return Parsed::Answered;
    } else if (p.is("--bind")) {
      o.bind = p.value();
      asio::error_code ec;
      if (!p.failed()) asio::ip::make_address(o.bind, ec);
      if (ec)
        p.error("invalid address '" + o.bind +
                "' for '--bind': an IPv4 or IPv6 address is expected (0.0.0.0 for every "
                "interface)");
    } else if (p.is("--port")) {
      o.port = static_cast<int>(p.number(0, 65535));
    } else if (p.is("--seed")) {
      o.config.seed = static_cast<std::uint64_t>(p.number(0, 0x7FFFFFFF));
      o.seedGiven = true;
    } else if (p.is("--turn-time")) {
      o.config.turnTimeSec = static_cast<int>(p.number(1, 15));
    } else if (p.is("--tables")) {
      o.config.tables = static_cast<int>(p.number(1, 1000));
    } else if (p.is("--robot-delay")) {
      o.config.robotDelayMs = static_cast<int>(p.number(0, 60000));
    } else if (p.is("--chat-spacing")) {
      o.config.chatSpacingMs = static_cast<int>(p.number(0, 60000));
    } else if (p.is("--stake")) {
      o.config.stake = static_cast<int>(p.number(1, 30000));
    } else if (p.is("--hands-per-game")) {
      o.config.handsPerGame = static_cast<int>(p.number(0, 100000));
    } else if (p.is("--page-url")) {
      o.config.pageUrl = p.value();
    } else if (p.is("--start-pause")) {
      o.config.startPauseMs = static_cast<int>(p.number(0, 60000));
    } else if (p.is("--wait-for-start")) {
      o.config.waitForStart = p.flag();
    } else if (p.is("--busy")) {
      o.config.busyTables = p.flag();
    } else if (p.is("--record")) {
      o.recordDir = p.value();
      if (!p.failed() && o.recordDir.empty()) p.error("an empty folder for '--record'");
    } else if (p.is("--record-max-mb")) {
      o.recordMaxMb = static_cast<int>(p.number(1, 4000));
    } else if (p.is("--record-keep-mb")) {
      o.recordKeepMb = static_cast<int>(p.number(1, 1000000));
    } else if (p.is("--record-keep-games")) {
      o.recordKeepGames = static_cast<int>(p.number(1, 1000000));
    } else {
      p.unknown();
    }
  }
  return p.failed() ? Parsed::Refused : Parsed::Run;
}

class App {
 public:
  App(asio::io_context& io, const Options& o)
      : io_(io),
        server_(o.config),
        acceptor_(io),
        timer_(io),
        signals_(io, SIGINT, SIGTERM),
        start_(Clock::now()) {
    tcp::endpoint ep(asio::ip::make_address(o.bind), static_cast<unsigned short>(o.port));
    try {
      acceptor_.open(ep.protocol());
      closeOnExec(acceptor_.native_handle());
      acceptor_.set_option(tcp::acceptor::reuse_address(true));
      acceptor_.bind(ep);
      acceptor_.listen();
    } catch (const asio::system_error& e) {
      // Name what was asked for: an address this machine does not have, or a
      // port in use, reads better than the bare system message.
      const std::string where = ep.address().is_v6() ? "[" + o.bind + "]" : o.bind;
      throw std::runtime_error("cannot listen on " + where + ":" + std::to_string(o.port) + ": " +
                               e.code().message());
    }
    // Descriptors the server may give to connections: the limit, less room for
    // its own (the log, the event loop, the timers) and for the accept that
    // finds a full house and closes someone to make room.
    rlimit nofile{};
    if (getrlimit(RLIMIT_NOFILE, &nofile) == 0 && nofile.rlim_cur != RLIM_INFINITY)
      maxConnections_ = std::max<std::size_t>(
          4, std::min<std::size_t>(static_cast<std::size_t>(nofile.rlim_cur), 1u << 20) -
                 std::min<std::size_t>(static_cast<std::size_t>(nofile.rlim_cur) / 2, kReserved));
    std::printf("tavrenmj-server listening on %s:%u, %d table(s), seed %llu\n", o.bind.c_str(),
                static_cast<unsigned>(acceptor_.local_endpoint().port()), server_.tableCount(),
                static_cast<unsigned long long>(o.config.seed));
    std::fflush(stdout);
    if (!o.recordDir.empty()) {
      const std::string where = o.bind + ":" + std::to_string(acceptor_.local_endpoint().port());
      recorder_ = std::make_unique<tavren::server::GameRecorder>(
          server_,
          tavren::server::GameRecorder::Options{
              o.recordDir, static_cast<std::uint64_t>(o.recordMaxMb) << 20, TAVREN_VERSION, where},
          [this](const std::string& line) { err_.line(line); });
      tavren::server::GameRecorder::Keep keep;
      keep.bytes = static_cast<std::uint64_t>(o.recordKeepMb) << 20;
      keep.games = o.recordKeepGames;
      recorder_->setKeep(std::move(keep));
      server_.setFrameTap([this](int table, int seat, std::span<const std::uint8_t> f) {
        recorder_->frame(table, seat, f);
      });
    }
    server_.setHandSink([this](const HandRecord& r) {
      out_.line(handLine(r));
      if (recorder_) recorder_->handEnded(r);
    });
    server_.setLogSink([this](const std::string& line) { err_.line(line); });
    accept();
    waitForSignal();
    pump();
  }

  // The last line; what the logs still hold gets a second to go out.
  void finish(const std::string& last) {
    if (recorder_) recorder_->closeAll();
    out_.line(last);
    out_.drain(1000);
    err_.drain(1000);
  }

 private:
  using Clock = std::chrono::steady_clock;

  struct Session {
    tcp::socket socket;
    asio::ip::address peer;
    std::array<std::uint8_t, 4096> in{};
    OutQueue out;
    bool writing = false;
    bool closing = false;
    Session(tcp::socket s, asio::ip::address a) : socket(std::move(s)), peer(std::move(a)) {}
  };

  static std::string handLine(const HandRecord& r) {
    std::string who;
    if (r.winner < 0)
      who = "drawn (黄庄)";
    else if (r.discarder < 0)
      who = "seat " + std::to_string(r.winner) + " wins self-drawn";
    else
      who = "seat " + std::to_string(r.winner) + " wins on seat " + std::to_string(r.discarder) +
            "'s discard";
    char head[256];
    std::snprintf(
        head, sizeof head,
        "table %d hand %d: dealer seat %d, %s, hu total %d, coins %+lld %+lld %+lld %+lld", r.table,
        r.handNo, r.dealer, who.c_str(), r.total, static_cast<long long>(r.results[0]),
        static_cast<long long>(r.results[1]), static_cast<long long>(r.results[2]),
        static_cast<long long>(r.results[3]));
    return std::string(head) + (r.items.empty() ? "" : ", ") + r.items;
  }

  // printf-style line for the error log.
  template <class... A>
  void note(const char* fmt, A... args) {
    char text[512];
    std::snprintf(text, sizeof text, fmt, args...);
    err_.line(text);
  }

  // Whatever the logs could not take yet is tried again a little later.
  void flushLogs() {
    const bool done = err_.flush() & out_.flush();
    if (done || logTimerSet_) return;
    logTimerSet_ = true;
    logTimer_.expires_after(std::chrono::milliseconds(50));
    logTimer_.async_wait([this](const asio::error_code&) {
      logTimerSet_ = false;
      flushLogs();
    });
  }

  // The oldest connection that has not logged in, of one address or of all; 0: none.
  ConnId oldestStranger(const asio::ip::address* of) const {
    for (const auto& [id, s] : sessions_)
      if (!s->closing && !server_.loggedIn(id) && (!of || s->peer == *of)) return id;
    return 0;
  }

  // Room for a newcomer from `peer`: at the limits the oldest connection that
  // has not logged in goes (a player logs in at once, so the connections that
  // wait longest are the idle ones). False: no room, the newcomer goes.
  bool makeRoom(const asio::ip::address& peer) {
    std::size_t fromPeer = 0;
    for (const auto& [id, s] : sessions_) fromPeer += s->peer == peer;
    if (fromPeer >= kPerAddress) {
      const ConnId victim = oldestStranger(&peer);
      if (victim == 0) return refuseNote("from one address");
      drop(victim);
      ++evicted_;
    }
    if (sessions_.size() >= maxConnections_) {
      const ConnId victim = oldestStranger(nullptr);
      if (victim == 0) return refuseNote("at the connection limit");
      drop(victim);
      ++evicted_;
    }
    return true;
  }

  bool refuseNote(const char* why) {
    ++refused_;
    const std::int64_t now = nowMs();
    if (now - refusedNotedMs_ >= 10000) {
      refusedNotedMs_ = now;
      note(
          "connection refused %s (%zu connections; %llu refused, %llu waiting for a login "
          "closed to make room so far)",
          why, sessions_.size(), static_cast<unsigned long long>(refused_),
          static_cast<unsigned long long>(evicted_));
    }
    return false;
  }

  std::int64_t nowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
  }

  void accept() {
    acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
      if (stopping_) return;
      if (ec == asio::error::no_descriptors || ec == asio::error::no_buffer_space ||
          ec == asio::error::no_memory || ec.value() == ENFILE) {
        // Out of descriptors (or memory): the waiting connection stays in the
        // backlog. A connection that has not logged in makes room for it; serve
        // the connections there are and try again a little later, longer each
        // time, until one is accepted.
        if (const ConnId victim = oldestStranger(nullptr)) {
          drop(victim);
          ++evicted_;
        }
        acceptDelayMs_ = std::clamp(acceptDelayMs_ * 2, 50, 1000);
        if (acceptDelayMs_ == 50 || ++acceptFailures_ % 60 == 0)
          note("accept: %s; trying again in %d ms (%zu connections)", ec.message().c_str(),
               acceptDelayMs_, sessions_.size());
        flushLogs();
        acceptTimer_.expires_after(std::chrono::milliseconds(acceptDelayMs_));
        acceptTimer_.async_wait([this](const asio::error_code& e) {
          if (!e && !stopping_) accept();
        });
        return;
      }
      if (!ec) {
        if (acceptDelayMs_ > 0)
          note("accept: working again (%zu connections)", sessions_.size() + 1);
        acceptDelayMs_ = 0;
        acceptFailures_ = 0;
        closeOnExec(socket.native_handle());
        asio::error_code ignored;
        const asio::ip::address peer = socket.remote_endpoint(ignored).address();
        if (!makeRoom(peer)) {
          socket.close(ignored);
          flushLogs();
          return accept();
        }
        socket.set_option(tcp::no_delay(true), ignored);
        // A small kernel buffer: a peer that does not read shows up in the queue
        // below soon, and costs little memory meanwhile.
        socket.set_option(asio::socket_base::send_buffer_size(kSocketSendBuffer), ignored);
        const ConnId id = server_.connect();
        auto s = std::make_shared<Session>(std::move(socket), peer);
        sessions_[id] = s;
        read(id, s);
      }
      accept();
    });
  }

  void read(ConnId id, const std::shared_ptr<Session>& s) {
    s->socket.async_read_some(asio::buffer(s->in),
                              [this, id, s](const asio::error_code& ec, std::size_t n) {
                                if (ec) {
                                  drop(id);
                                  pump();
                                  return;
                                }
                                server_.advanceTo(nowMs());
                                server_.receive(id, std::span<const std::uint8_t>(s->in.data(), n));
                                pump();
                                if (sessions_.count(id) && !s->closing) read(id, s);
                              });
  }

  void drop(ConnId id) {
    auto it = sessions_.find(id);
    if (it == sessions_.end()) return;
    asio::error_code ignored;
    it->second->socket.close(ignored);
    const bool big = it->second->out.bytes() > 64 * 1024;
    it->second->out.clear();
    sessions_.erase(it);
    server_.disconnect(id);
    // A large queue just freed goes back to the system, not only to the heap.
    if (big) malloc_trim(0);
  }

  void write(ConnId id, const std::shared_ptr<Session>& s) {
    if (s->writing) return;
    if (s->out.empty()) {
      if (s->closing) {
        asio::error_code ignored;
        s->socket.shutdown(tcp::socket::shutdown_both, ignored);
        drop(id);
      }
      return;
    }
    s->writing = true;
    asio::async_write(s->socket, asio::buffer(s->out.front()),
                      [this, id, s](const asio::error_code& ec, std::size_t) {
                        s->writing = false;
                        if (ec) {
                          drop(id);
                          pump();
                          return;
                        }
                        s->out.pop(nowMs());
                        write(id, s);
                      });
  }

  // Runs what is due, sends what is waiting, and sets the timer for what comes next.
  void pump() {
    server_.advanceTo(nowMs());
    bool dropped = false;
    for (auto it = sessions_.begin(); it != sessions_.end();) {
      const ConnId id = it->first;
      auto s = it->second;
      ++it;
      if (!s->out.push(server_.takeOutput(id), nowMs())) {
        note("connection %u dropped: %zu bytes waiting for a peer that does not read", id,
             s->out.bytes());
        drop(id);
        dropped = true;
        continue;
      }
      if (server_.isClosed(id)) s->closing = true;
      write(id, s);
    }
    if (dropped) pump();  // the table learns at once that the seat is gone
    // The games kept reach their files once per round of events.
    if (recorder_) recorder_->flush();
    flushLogs();
    if (stopping_) {
      if (sessions_.empty()) io_.stop();
      return;
    }
    const auto due = server_.nextDueMs();
    timer_.cancel();
    if (!due) return;
    timer_.expires_at(start_ + std::chrono::milliseconds(*due));
    timer_.async_wait([this](const asio::error_code& ec) {
      if (!ec) pump();
    });
  }

  void waitForSignal() {
    signals_.async_wait([this](const asio::error_code& ec, int sig) {
      if (ec) return;
      if (!stopping_) stop(sig);
      waitForSignal();
    });
  }

  void stop(int sig) {
    out_.line("tavrenmj-server: signal " + std::to_string(sig) + ", ending the games");
    stopping_ = true;
    asio::error_code ignored;
    acceptor_.close(ignored);
    timer_.cancel();
    server_.shutdown("服务器关闭，游戏结束！");
    pump();
    // Whatever a dead peer does not take within a second is dropped.
    auto grace = std::make_shared<asio::steady_timer>(io_, std::chrono::seconds(1));
    grace->async_wait([this, grace](const asio::error_code&) { io_.stop(); });
  }

  asio::io_context& io_;
  LogWriter out_{STDOUT_FILENO};
  LogWriter err_{STDERR_FILENO};
  asio::steady_timer logTimer_{io_};
  bool logTimerSet_ = false;
  Server server_;
  std::unique_ptr<tavren::server::GameRecorder> recorder_;
  tcp::acceptor acceptor_;
  asio::steady_timer timer_;
  asio::steady_timer acceptTimer_{io_};
  int acceptDelayMs_ = 0;
  int acceptFailures_ = 0;
  static constexpr int kSocketSendBuffer = 64 * 1024;
  // Connections from one address at most: a table and its watchers fit.
  static constexpr std::size_t kPerAddress = 32;
  static constexpr std::size_t kReserved = 16;
  std::size_t maxConnections_ = 1000;
  std::uint64_t refused_ = 0, evicted_ = 0;
  std::int64_t refusedNotedMs_ = -100000;
  asio::signal_set signals_;
  Clock::time_point start_;
  std::map<ConnId, std::shared_ptr<Session>> sessions_;
  bool stopping_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  tavren::options::Parser args("tavrenmj-server", argc, argv);
  switch (parse(args, o)) {
    case Parsed::Answered:
      return 0;
    case Parsed::Refused:
      return args.fail();
    case Parsed::Run:
      break;
  }
  if (!o.seedGiven)
    o.config.seed =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) &
        0x7FFFFFFF;
  try {
    asio::io_context io;
    App app(io, o);
    io.run();
    // A second signal while the games are being closed is not a crash.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_IGN);
    app.finish("tavrenmj-server: stopped");
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrenmj-server: %s\n", e.what());
    return 1;
  }
  return 0;
}
