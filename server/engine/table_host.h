// What a table needs from the server around it: the clock, its connections and
// the observers. The server hands each table one of these with its configuration;
// a table sees nothing else of the server.
#pragma once

#include <cstdint>
#include <string>

#include "engine/frame.h"
#include "engine/server.h"

namespace tavren::server {

class TableHost {
 public:
  virtual std::int64_t nowMs() const = 0;
  // A whole frame for one connection; nothing for a connection that is gone.
  virtual void send(ConnId conn, const Frame& f) = 0;
  // The server gives the connection up: what it has is flushed, then it closes.
  virtual void close(ConnId conn) = 0;
  // Open, not given up, and heard from lately.
  virtual bool answering(ConnId conn) const = 0;
  // Seat and watcher tokens come from the system's secure random source.
  virtual std::uint16_t randomToken() = 0;
  // A line about connection `conn`; its text holds nothing a client chose.
  virtual void log(ConnId conn, const std::string& line) = 0;
  virtual void handEnded(const HandRecord& rec) = 0;
  // Whether someone watches every frame a table addresses to a seat, robots
  // included, and the watching itself.
  virtual bool tapping() const = 0;
  virtual void tap(int table, int seat, const Frame& f) = 0;

 protected:
  ~TableHost() = default;
};

}  // namespace tavren::server
