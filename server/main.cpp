// tavrenmj-server: the table engine on TCP. One thread, one Asio context: socket
// reads feed the engine, a single timer follows the engine's next due time, and
// whatever the engine has for a connection is written out after every event.
#include <malloc.h>

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
using tavren::server::OutQueue;
using tavren::server::Server;

struct Options {
  std::string bind = "127.0.0.1";
  int port = 7000;
  Server::Config config;
  bool seedGiven = false;
};

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
    std::printf("tavrenmj-server listening on %s:%u, %d table(s), seed %llu\n", o.bind.c_str(),
                static_cast<unsigned>(acceptor_.local_endpoint().port()), server_.tableCount(),
                static_cast<unsigned long long>(o.config.seed));
    std::fflush(stdout);
    server_.setHandSink([](const HandRecord& r) { printHand(r); });
    server_.setLogSink([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    accept();
    waitForSignal();
    pump();
  }

 private:
  using Clock = std::chrono::steady_clock;

  struct Session {
    tcp::socket socket;
    std::array<std::uint8_t, 4096> in{};
    OutQueue out;
    bool writing = false;
    bool closing = false;
    explicit Session(tcp::socket s) : socket(std::move(s)) {}
  };

  static void printHand(const HandRecord& r) {
    std::string who;
    if (r.winner < 0)
      who = "drawn (黄庄)";
    else if (r.discarder < 0)
      who = "seat " + std::to_string(r.winner) + " wins self-drawn";
    else
      who = "seat " + std::to_string(r.winner) + " wins on seat " + std::to_string(r.discarder) +
            "'s discard";
    std::printf(
        "table %d hand %d: dealer seat %d, %s, hu total %d, coins %+lld %+lld %+lld %+lld%s%s\n",
        r.table, r.handNo, r.dealer, who.c_str(), r.total, static_cast<long long>(r.results[0]),
        static_cast<long long>(r.results[1]), static_cast<long long>(r.results[2]),
        static_cast<long long>(r.results[3]), r.items.empty() ? "" : ", ", r.items.c_str());
    std::fflush(stdout);
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
        // backlog. Serve the connections there are and try again a little later,
        // longer each time, until one is accepted.
        acceptDelayMs_ = std::clamp(acceptDelayMs_ * 2, 50, 1000);
        if (acceptDelayMs_ == 50 || ++acceptFailures_ % 60 == 0)
          std::fprintf(stderr, "accept: %s; trying again in %d ms (%zu connections)\n",
                       ec.message().c_str(), acceptDelayMs_, sessions_.size());
        acceptTimer_.expires_after(std::chrono::milliseconds(acceptDelayMs_));
        acceptTimer_.async_wait([this](const asio::error_code& e) {
          if (!e && !stopping_) accept();
        });
        return;
      }
      if (!ec) {
        if (acceptDelayMs_ > 0)
          std::fprintf(stderr, "accept: working again (%zu connections)\n", sessions_.size() + 1);
        acceptDelayMs_ = 0;
        acceptFailures_ = 0;
        asio::error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        // A small kernel buffer: a peer that does not read shows up in the queue
        // below soon, and costs little memory meanwhile.
        socket.set_option(asio::socket_base::send_buffer_size(kSocketSendBuffer), ignored);
        const ConnId id = server_.connect();
        auto s = std::make_shared<Session>(std::move(socket));
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
        std::fprintf(stderr,
                     "connection %u dropped: %zu bytes waiting for a peer that does not read\n", id,
                     s->out.bytes());
        drop(id);
        dropped = true;
        continue;
      }
      if (server_.isClosed(id)) s->closing = true;
      write(id, s);
    }
    if (dropped) pump();  // the table learns at once that the seat is gone
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
    std::printf("tavrenmj-server: signal %d, ending the games\n", sig);
    std::fflush(stdout);
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
  Server server_;
  tcp::acceptor acceptor_;
  asio::steady_timer timer_;
  asio::steady_timer acceptTimer_{io_};
  int acceptDelayMs_ = 0;
  int acceptFailures_ = 0;
  static constexpr int kSocketSendBuffer = 64 * 1024;
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
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrenmj-server: %s\n", e.what());
    return 1;
  }
  std::printf("tavrenmj-server: stopped\n");
  return 0;
}
