// The programs a lobby starts: the table server (for a robot table or a hosted
// one) and the client, each a child process it stops or reaps.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavren::lobby {

// Starts `program` with `args` (argv[0] is the program). -1 when it cannot start.
pid_t spawnProgram(const std::string& program, const std::vector<std::string>& args,
                   bool quietStdout = false);
// Starts `program` with `args` as a program of its own, for a window the user
// closes himself: in a session of its own (a hangup or Ctrl-C aimed at this
// process leaves it alone), not a child of this process (nothing here reaps
// it; it outlives this process), inheriting no descriptor but standard input
// (/dev/null) and standard output and error, which go to `logPath` (appended,
// emptied first once it passed `maxLogBytes`; /dev/null when it cannot be
// opened). Its pid once it runs, or -1 with the reason in `error`.
pid_t spawnDetached(const std::string& program, const std::vector<std::string>& args,
                    const std::string& logPath, std::string* error, long maxLogBytes = 1L << 20);
// The child's exit status when it has ended (reaped), else -1; -2 for none.
int reapIfEnded(pid_t& child);
// SIGTERM, up to `graceMs` to end, then SIGKILL; reaped.
void stopChild(pid_t& child, int graceMs = 2000);

// A TCP port nobody listens on at the moment, on `bind` (0 when there is none).
int freePort(const std::string& bind);
// Waits up to `limitMs` for something to accept connections on host:port
// (an IPv4 address; 0.0.0.0 is tried on loopback); stops early when `child`
// ends (then false).
bool waitForPort(const std::string& host, int port, pid_t& child, int limitMs);

// The table server on `bind`:`port` with `extra` options, ready for clients.
struct ServerChild {
  pid_t pid = -1;
  int port = 0;
};
// Starts it without waiting; serverReady then waits until it accepts (up to
// 10 s), and on failure stops it and clears `server`.
bool spawnServer(const std::string& program, const std::string& bind, int port,
                 const std::vector<std::string>& extra, ServerChild& out, std::string* error);
bool serverReady(const std::string& bind, ServerChild& server, std::string* error);
// Both. On failure the reason is in `error` (the port taken, the program missing).
bool startServer(const std::string& program, const std::string& bind, int port,
                 const std::vector<std::string>& extra, ServerChild& out, std::string* error);

}  // namespace tavren::lobby
