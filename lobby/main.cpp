// tavrenmj-lobby: the stand-in lobby. With --window (and as tavrenmj-play with
// no argument) it opens the lobby window. Otherwise it listens on the lobby
// socket of its caption, starts the client with the hand-over command line,
// prints every message the client posts, and sends messages typed on standard
// input; --robots and --host start the table server too, --join goes to a
// friend's.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lobby/children.h"
#include "lobby/link_server.h"
#include "lobby/lobby_link.h"
#include "lobby/window/window_main.h"
#include "protocol/options.h"

#ifndef TAVREN_VERSION
#define TAVREN_VERSION "0"
#endif

namespace {

using namespace tavren::lobby;

void usage(std::FILE* to, bool play) {
  if (play) {
    std::fprintf(to,
                 "usage: tavrenmj-play                       open the lobby window\n"
                 "       tavrenmj-play --robots [--bind ADDR] [--port N]\n"
                 "       tavrenmj-play --host [--port N]\n"
                 "       tavrenmj-play --join HOST[:PORT] [--table N] [--seat S] [--name NAME]\n"
                 "  --robots        a table on this machine, robots in the empty seats\n"
                 "  --host          a table friends can join: the server on every network\n"
                 "                  interface (port 7753 unless --port), its addresses printed;\n"
                 "                  the first hand waits until every seated player pressed 开始\n"
                 "  --join HOST[:PORT]  sit at a friend's table (port 7753 unless given)\n"
                 "  --table N (1..1000) --seat S (0..3)  the seat to take (default: a free one)\n"
                 "  --name NAME     the player's name (default $USER)\n"
                 "  --help, --version   this text; the version\n");
    return;
  }
  std::fprintf(to,
               "usage: tavrenmj-lobby [options]\n"
               "  --window              open the lobby window\n"
               "  --robots | --host | --join HOST[:PORT]   as tavrenmj-play: start the table\n"
               "                        server too (robots, hosted) or go to a friend's\n"
               "  --bind ADDR           the table server's address with --robots or --host\n"
               "  --caption TEXT        lobby caption (default Qixo山庄)\n"
               "  --client PATH         client program (default: tavrenmj beside this program)\n"
               "  --server-program PATH table server (default: tavrenmj-server beside it)\n"
               "  --account NAME, --name NAME   account (default player)\n"
               "  --key TEXT            login key (default: built from --table/--seat or --watch,\n"
               "                        with a fresh pass that only this client learns)\n"
               "  --table N --seat S    the seat to take (table 0..999, seat 0..3)\n"
               "  --server HOST --port N  game server (default 127.0.0.1 7000)\n"
               "  --location TEXT       table caption shown by the client\n"
               "  --proxy HOST:PORT --proxy-user U --proxy-pass P   connect through SOCKS5\n"
               "  --unattended          unattended mode (the client plays by itself)\n"
               "  --main-caption TEXT   the client's window caption in unattended mode\n"
               "  --watch USERID        watch the player with this user id at --table\n"
               "  --no-client           do not start the client; only listen\n"
               "  --print-command       print the client's command line and exit\n"
               "  --exit-with-client    end when the client it started ends\n"
               "  --help, --version     this text; the version\n"
               "commands on standard input: leave (0x303), leave-quiet (0x400), state (0x465),\n"
               "  sit (0x16), send MSG [WPARAM [LPARAM]], quit\n");
}

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::int64_t monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// This machine's IPv4 addresses other than loopback, for friends to join.
std::vector<std::string> networkAddresses() {
  std::vector<std::string> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    char buf[INET_ADDRSTRLEN];
    const auto* a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
    if (ntohl(a->sin_addr.s_addr) >> 24 == 127) continue;
    if (inet_ntop(AF_INET, &a->sin_addr, buf, sizeof buf)) out.push_back(buf);
  }
  freeifaddrs(list);
  return out;
}

volatile sig_atomic_t gStop = 0;

}  // namespace

int main(int argc, char** argv) {
  std::string self = argv[0];
  self = self.substr(self.rfind('/') + 1);
  const bool play = self == "tavrenmj-play";
  const char* program = play ? "tavrenmj-play" : "tavrenmj-lobby";

  HandOver h;
  if (play) {
    const char* user = std::getenv("USER");
    if (user && accountProblem(user).empty()) h.account = user;
  }
  std::string caption = "Qixo山庄", client = programFolder() + "/tavrenmj";
  std::string serverProgram = programFolder() + "/tavrenmj-server", bind;
  int table = -1, seat = -1, port = -1;
  bool keyGiven = false, startClient = true, printOnly = false, exitWithClient = play;
  bool window = play && argc == 1, robots = false, hosting = false;
  std::string joinAddress;
  tavren::options::Parser p(program, argc, argv);
  while (p.next()) {
    if (p.is("--help", "-h")) {
      usage(stdout, play);
      return 0;
    } else if (p.is("--version")) {
      std::printf("%s %s\n", program, TAVREN_VERSION);
      return 0;
    } else if (p.is("--robots")) {
      robots = p.flag();
    } else if (p.is("--host")) {
      hosting = p.flag();
    } else if (p.is("--join")) {
      joinAddress = p.value();
    } else if (p.is("--bind")) {
      bind = p.value();
      if (!p.failed() && inet_addr(bind.c_str()) == INADDR_NONE && bind != "255.255.255.255")
        p.error("invalid address '" + bind + "' for '--bind': an IPv4 address is expected");
    } else if (p.is("--port")) {
      port = static_cast<int>(p.number(0, 65535));
    } else if (p.is("--table")) {
      // tavrenmj-play counts tables from 1 as the window does.
      table = static_cast<int>(play ? p.number(1, 1000) - 1 : p.number(0, 999));
    } else if (p.is("--seat")) {
      seat = static_cast<int>(p.number(0, 3));
    } else if (p.is("--name") || (!play && p.is("--account"))) {
      h.account = p.value();
      if (!p.failed() && !accountProblem(h.account).empty())
        p.error("invalid name '" + h.account +
                "': 1 to 15 printable ASCII characters without blanks or '$'");
    } else if (play) {
      p.unknown();
    } else if (p.is("--window")) {
      window = p.flag();
    } else if (p.is("--no-client")) {
      startClient = !p.flag();
    } else if (p.is("--print-command")) {
      printOnly = p.flag();
    } else if (p.is("--exit-with-client")) {
      exitWithClient = p.flag();
    } else if (p.is("--unattended")) {
      h.unattended = p.flag();
    } else if (p.is("--caption")) {
      caption = p.value();
    } else if (p.is("--client")) {
      client = p.value();
    } else if (p.is("--server-program")) {
      serverProgram = p.value();
    } else if (p.is("--key")) {
      h.key = p.value();
      keyGiven = true;
    } else if (p.is("--server")) {
      h.host = p.value();
    } else if (p.is("--location")) {
      h.location = p.value();
    } else if (p.is("--proxy")) {
      const std::string v = p.value();
      const auto colon = v.rfind(':');
      h.proxy = true;
      h.proxyHost = v.substr(0, colon);
      if (!p.failed() && colon != std::string::npos) {
        char* end = nullptr;
        const long n = std::strtol(v.c_str() + colon + 1, &end, 10);
        if (*end != 0 || n < 1 || n > 65535)
          p.error("invalid port in '" + v + "' for '--proxy': 1 to 65535 is expected");
        h.proxyPort = static_cast<int>(n);
      }
    } else if (p.is("--proxy-user")) {
      h.proxyUser = p.value();
    } else if (p.is("--proxy-pass")) {
      h.proxyPass = p.value();
    } else if (p.is("--main-caption")) {
      h.mainCaption = p.value();
    } else if (p.is("--watch")) {
      const std::string v = p.value();
      char* end = nullptr;
      errno = 0;
      h.watchUserId = std::strtoull(v.c_str(), &end, 10);
      if (!p.failed() && (v.empty() || *end != 0 || errno == ERANGE || v[0] == '-'))
        p.error("invalid user id '" + v + "' for '--watch'");
    } else {
      p.unknown();
    }
  }
  if (!p.failed() && robots + hosting + !joinAddress.empty() > 1)
    p.error("--robots, --host and --join go to different tables: give one of them");
  if (!joinAddress.empty() && !p.failed()) {
    const auto colon = joinAddress.rfind(':');
    h.host = joinAddress.substr(0, colon);
    if (colon != std::string::npos) {
      char* end = nullptr;
      const long n = std::strtol(joinAddress.c_str() + colon + 1, &end, 10);
      if (*end != 0 || n < 1 || n > 65535)
        p.error("invalid port in '" + joinAddress + "' for '--join': 1 to 65535 is expected");
      h.port = static_cast<int>(n);
    } else {
      h.port = port > 0 ? port : 7753;
    }
    if (h.host.empty() || h.host.find('$') != std::string::npos)
      p.error("invalid address '" + joinAddress + "' for '--join'");
  }
  // tavrenmj-play with only --bind/--port (as before): a robot table on that address.
  if (play && !window && !hosting && joinAddress.empty()) robots = true;
  if ((robots || hosting) && port == 0 && hosting && !p.failed())
    p.error("--host needs a port friends can be told: give --port 1..65535");
  if (!joinAddress.empty() && !bind.empty() && !p.failed())
    p.error("--bind is for --robots and --host; --join takes HOST[:PORT]");
  if (p.failed()) return p.fail();

  if (window) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM")) {
      std::fprintf(stderr,
                   "%s: no display to open the lobby window on.\n"
                   "Without one: %s --robots, --host or --join HOST (see --help).\n",
                   program, program);
      return 1;
    }
    WindowStart ws;
    ws.caption = caption;
    ws.clientProgram = client;
    ws.serverProgram = serverProgram;
    if (port > 0) ws.hostPort = port;
    return runLobbyWindow(argc, argv, ws);
  }

  ServerChild server;
  if (robots || hosting) {
    if (bind.empty()) bind = hosting ? "0.0.0.0" : "127.0.0.1";
    const int serverPort = port >= 0 ? port : (hosting ? 7753 : 0);
    std::vector<std::string> extra = {"--start-pause", hosting ? "3000" : "0"};
    if (hosting) extra.push_back("--wait-for-start");
    std::string error;
    if (!startServer(serverProgram, bind, serverPort, extra, server, &error)) {
      std::fprintf(stderr, "%s: %s\n", program, error.c_str());
      return 1;
    }
    h.host = bind == "0.0.0.0" ? "127.0.0.1" : bind;
    h.port = server.port;
    h.location = hosting ? "Qixo山庄 房间 第1桌" : "Qixo山庄 第1桌";
    if (table < 0) table = 0;
    if (robots && seat < 0) seat = 0;
    say("table server on " + bind + ":" + std::to_string(server.port) +
        (hosting ? " (the first hand waits for every player's 开始)" : ", robots in free seats"));
    if (hosting) {
      const auto addresses = networkAddresses();
      if (addresses.empty()) say("this machine has no network address: friends cannot join");
      for (const auto& a : addresses)
        say("friends join with: tavrenmj-play --join " + a + ":" + std::to_string(server.port));
    }
  } else if (port >= 0 && joinAddress.empty()) {
    h.port = port;
  }
  if (!keyGiven) {
    std::vector<std::string> fields;
    if (h.watchUserId)
      fields.push_back("watch=" + std::to_string(table < 0 ? 0 : table));
    else if (table >= 0 || joinAddress.empty())
      fields.push_back("table=" + std::to_string(table < 0 ? 0 : table));
    if (seat >= 0) fields.push_back("seat=" + std::to_string(seat));
    // Without a seat the server finds the watched player's seat by the id.
    if (h.watchUserId && seat < 0) fields.push_back("user=" + std::to_string(*h.watchUserId));
    if (!h.watchUserId) {
      const std::string pass = newSeatPass();
      if (pass.empty()) {
        std::fprintf(stderr, "%s: no random source for the seat's pass\n", program);
        return 1;
      }
      fields.push_back("pass=" + pass);
    }
    for (std::size_t i = 0; i < fields.size(); ++i) h.key += (i ? ";" : "") + fields[i];
  }
  h.lobbyCaption = caption;
  const std::string line = commandLine(h);
  if (printOnly) {
    say(line);
    stopChild(server.pid);  // --robots or --host started one for the line
    return 0;
  }

  LinkServer link(say, {});
  std::string error;
  const std::string dir = lobbyDirectory();
  if (!link.listen(dir, caption, &error)) {
    std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    stopChild(server.pid);
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);
  struct sigaction sa {};
  sa.sa_handler = [](int) { gStop = 1; };
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  say("lobby listening on " + link.path());

  pid_t child = -1;
  if (startClient) {
    child = spawnProgram(client, {client, line});
    if (child < 0)
      std::fprintf(stderr, "%s: cannot start %s\n", program, client.c_str());
    else
      say("started " + client + " " + line);
    if (child < 0 && exitWithClient) gStop = 1;
  }

  std::string input;
  // tavrenmj-play takes no commands: it may run from a desktop with no terminal.
  bool stdinOpen = !play, quit = false;
  auto broadcast = [&](const Message& m) {
    if (link.clientCount() == 0) return say("no client is connected; not sent: " + messageName(m));
    say(link.broadcast(m) ? "sent " + messageName(m) : "send failed");
  };
  while (!quit && !gStop) {
    std::vector<pollfd> fds;
    fds.push_back({stdinOpen ? 0 : -1, POLLIN, 0});
    for (int fd : link.descriptors()) fds.push_back({fd, POLLIN, 0});
    int timeout = link.timeoutMs(monotonicMs());
    if (timeout < 0 || timeout > 200) timeout = 200;  // the client's end is polled
    poll(fds.data(), fds.size(), timeout);
    link.service(monotonicMs());
    if (child > 0) {
      const int status = reapIfEnded(child);
      if (status >= 0) {
        say("client ended with status " + std::to_string(status));
        if (exitWithClient) quit = true;
      }
    }
    if (server.pid > 0 && reapIfEnded(server.pid) >= 0) {
      say("the table server ended");
      server.pid = -1;
    }
    if (stdinOpen && (fds[0].revents & (POLLIN | POLLHUP))) {
      char buf[256];
      const ssize_t n = read(0, buf, sizeof buf);
      if (n <= 0)
        stdinOpen = false;
      else
        input.append(buf, static_cast<std::size_t>(n));
      // A line longer than any command is dropped, not kept growing.
      if (input.size() > 4096 && input.find('\n') == std::string::npos) input.clear();
      for (std::size_t nl; (nl = input.find('\n')) != std::string::npos;) {
        std::string cmd = input.substr(0, nl);
        input.erase(0, nl + 1);
        if (cmd == "leave") {
          broadcast({kClear, 0, 0});
        } else if (cmd == "leave-quiet") {
          broadcast({kUser, 0, 0});
        } else if (cmd == "state") {
          broadcast({kHandInProgress, 0, 0});
        } else if (cmd == "sit") {
          broadcast({kEndSession, 0, 0});
        } else if (cmd.rfind("send ", 0) == 0) {
          unsigned long v[3] = {0, 0, 0};
          const char* q = cmd.c_str() + 5;
          for (auto& x : v) {
            char* end = nullptr;
            x = std::strtoul(q, &end, 0);
            q = end;
          }
          broadcast({static_cast<std::uint32_t>(v[0]), static_cast<std::uint32_t>(v[1]),
                     static_cast<std::uint32_t>(v[2])});
        } else if (cmd == "quit") {
          quit = true;
        } else if (!cmd.empty()) {
          say("unknown command: " + cmd);
        }
      }
    }
  }
  link.close();
  if (child > 0) stopChild(child);
  stopChild(server.pid);
  say("lobby closed");
  return 0;
}
