// tavrenmj-robot-table: a robots-only game on the table engine, in virtual time,
// one line per hand. Usage: tavrenmj-robot-table [--hands N] [--seed N] [--tables N]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/server.h"

using tavren::server::HandRecord;
using tavren::server::Server;

int main(int argc, char** argv) {
  Server::Config cfg;
  cfg.busyTables = true;
  cfg.seed = 1;
  int hands = 16;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    long v = std::strtol(argv[i + 1], nullptr, 10);
    if (a == "--hands")
      hands = static_cast<int>(v);
    else if (a == "--seed")
      cfg.seed = static_cast<std::uint64_t>(v);
    else if (a == "--tables")
      cfg.tables = static_cast<int>(v);
    else {
      std::fprintf(stderr, "usage: tavrenmj-robot-table [--hands N] [--seed N] [--tables N]\n");
      return 2;
    }
  }
  Server server(cfg);
  int done = 0;
  std::int64_t totals[4] = {0, 0, 0, 0};
  server.setHandSink([&](const HandRecord& r) {
    ++done;
    for (int s = 0; s < 4; ++s) totals[s] += r.results[s];
    std::string how = r.winner < 0      ? "drawn (黄庄)"
                      : r.discarder < 0 ? "seat " + std::to_string(r.winner) + " self-drawn"
                                        : "seat " + std::to_string(r.winner) + " on seat " +
                                              std::to_string(r.discarder) + "'s discard";
    std::printf(
        "table %d hand %3d  dealer seat %d  叫头 %d头%d摸  %-28s total %3d  coins %+6lld %+6lld "
        "%+6lld "
        "%+6lld  %s\n",
        r.table, r.handNo, r.dealer, r.tou, r.mo, how.c_str(), r.total,
        static_cast<long long>(r.results[0]), static_cast<long long>(r.results[1]),
        static_cast<long long>(r.results[2]), static_cast<long long>(r.results[3]),
        r.items.c_str());
  });
  while (done < hands) {
    auto due = server.nextDueMs();
    if (!due) break;
    server.advanceTo(*due);
  }
  std::printf("%d hands in %.1f minutes of table time; coins by seat %+lld %+lld %+lld %+lld\n",
              done, static_cast<double>(server.nowMs()) / 60000.0,
              static_cast<long long>(totals[0]), static_cast<long long>(totals[1]),
              static_cast<long long>(totals[2]), static_cast<long long>(totals[3]));
  return done >= hands ? 0 : 1;
}
