// The reference server's table engine behind a host and port of the simulated
// world: clients connect to it with in-memory sockets and everything runs in
// virtual time.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_world.h"
#include "server/engine/server.h"

namespace tavren::testing {

class EnginePeer : public sim::Listener {
 public:
  EnginePeer(sim::World& world, std::string host, std::uint16_t port, server::Server::Config config)
      : server(std::move(config)), world_(world), host_(std::move(host)), port_(port) {
    world_.listen(host_, port_, this);
    schedule();
  }
  ~EnginePeer() override { world_.unlisten(host_, port_); }
  EnginePeer(const EnginePeer&) = delete;
  EnginePeer& operator=(const EnginePeer&) = delete;

  server::Server server;
  // Sees every block the engine sends to a client, and every block a client
  // sends to it, in order, with the connection it went over (tests that check
  // what a client kept of the stream).
  std::function<void(const sim::Connection&, std::span<const std::uint8_t>)> onServerBytes;
  std::function<void(const sim::Connection&, std::span<const std::uint8_t>)> onClientBytes;

  void onConnect(const std::shared_ptr<sim::Connection>& conn) override {
    server.advanceTo(world_.loop.now());
    conns_[conn.get()] = {conn, server.connect()};
    flush();
  }
  void onBytes(sim::Connection& conn, std::span<const std::uint8_t> bytes) override {
    auto it = conns_.find(&conn);
    if (it == conns_.end()) return;
    server.advanceTo(world_.loop.now());
    if (onClientBytes) onClientBytes(conn, bytes);
    server.receive(it->second.second, bytes);
    flush();
  }
  void onClose(sim::Connection& conn) override {
    auto it = conns_.find(&conn);
    if (it == conns_.end()) return;
    server.advanceTo(world_.loop.now());
    server.disconnect(it->second.second);
    conns_.erase(it);
    flush();
  }

 private:
  // Hands every waiting frame to its connection. A connection the server gave
  // up is closed after its last frames and then disconnected from the engine, as
  // the real server does once the socket's queue is written; the engine may
  // have news for the others then (a robot takes the seat), so they are
  // flushed again.
  void flush() {
    std::vector<server::ConnId> dropped;
    for (auto it = conns_.begin(); it != conns_.end();) {
      auto& [conn, id] = it->second;
      std::vector<std::uint8_t> out = server.takeOutput(id);
      if (!out.empty()) {
        if (onServerBytes) onServerBytes(*conn, out);
        conn->send(out);
      }
      if (server.isClosed(id)) {
        conn->close();
        dropped.push_back(id);
        it = conns_.erase(it);
      } else {
        ++it;
      }
    }
    for (server::ConnId id : dropped) server.disconnect(id);
    if (!dropped.empty()) return flush();
    schedule();
  }
  // One wake-up at the server's next due time.
  void schedule() {
    const auto due = server.nextDueMs();
    if (!due) return;
    const std::uint64_t generation = ++generation_;
    world_.loop.at(*due, [this, generation] {
      if (generation != generation_) return;
      server.advanceTo(world_.loop.now());
      flush();
    });
  }

  sim::World& world_;
  std::string host_;
  std::uint16_t port_;
  std::map<sim::Connection*, std::pair<std::shared_ptr<sim::Connection>, server::ConnId>> conns_;
  std::uint64_t generation_ = 0;
};

}  // namespace tavren::testing
