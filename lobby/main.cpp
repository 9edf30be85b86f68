// tavrenmj-lobby: the stand-in lobby. It listens on the lobby socket of its
// caption, starts the client with the hand-over command line, prints every
// message the client posts, and sends messages typed on standard input.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lobby/lobby_link.h"

#ifndef TAVREN_VERSION
#define TAVREN_VERSION "0"
#endif

extern char** environ;

namespace {

using namespace tavren::lobby;

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: tavrenmj-lobby [options]\n"
               "  --caption TEXT        lobby caption (default Qixo山庄)\n"
               "  --client PATH         client program (default: tavrenmj beside this program)\n"
               "  --account NAME        account (default player)\n"
               "  --key TEXT            login key (default: built from --table/--seat or --watch,\n"
               "                        with a fresh pass that only this client learns)\n"
               "  --table N --seat S    the seat to take (key table=N;seat=S)\n"
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

std::string selfDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  std::string p(buf);
  return p.substr(0, p.rfind('/'));
}

// A secret for the seat: the client brings it again when it resumes a broken
// connection, so nobody who only sees the table can take the seat over.
std::string newPass() {
  unsigned char bytes[16];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string pass;
  for (unsigned char b : bytes) {
    pass += kHex[b >> 4];
    pass += kHex[b & 15];
  }
  return pass;
}

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  HandOver h;
  std::string caption = "Qixo山庄", client = selfDir() + "/tavrenmj";
  int table = 0, seat = -1;
  bool keyGiven = false, startClient = true, printOnly = false, exitWithClient = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else if (a == "--version") {
      std::printf("tavrenmj-lobby %s\n", TAVREN_VERSION);
      return 0;
    } else if (a == "--no-client") {
      startClient = false;
    } else if (a == "--print-command") {
      printOnly = true;
    } else if (a == "--exit-with-client") {
      exitWithClient = true;
    } else if (a == "--unattended") {
      h.unattended = true;
    } else if (!(v = next())) {
      usage(stderr);
      return 2;
    } else if (a == "--caption") {
      caption = v;
    } else if (a == "--client") {
      client = v;
    } else if (a == "--account") {
      h.account = v;
    } else if (a == "--key") {
      h.key = v;
      keyGiven = true;
    } else if (a == "--table") {
      table = std::atoi(v);
    } else if (a == "--seat") {
      seat = std::atoi(v);
    } else if (a == "--server") {
      h.host = v;
    } else if (a == "--port") {
      h.port = std::atoi(v);
    } else if (a == "--location") {
      h.location = v;
    } else if (a == "--proxy") {
      std::string p = v;
      auto colon = p.rfind(':');
      h.proxy = true;
      h.proxyHost = p.substr(0, colon);
      if (colon != std::string::npos) h.proxyPort = std::atoi(p.c_str() + colon + 1);
    } else if (a == "--proxy-user") {
      h.proxyUser = v;
    } else if (a == "--proxy-pass") {
      h.proxyPass = v;
    } else if (a == "--main-caption") {
      h.mainCaption = v;
    } else if (a == "--watch") {
      h.watchUserId = std::strtoull(v, nullptr, 10);
    } else {
      usage(stderr);
      return 2;
    }
  }
  h.lobbyCaption = caption;
  if (!keyGiven) {
    h.key = (h.watchUserId ? "watch=" : "table=") + std::to_string(table);
    if (seat >= 0) h.key += ";seat=" + std::to_string(seat);
    if (!h.watchUserId) {
      const std::string pass = newPass();
      if (pass.empty()) {
        std::fprintf(stderr, "tavrenmj-lobby: no random source for the seat's pass\n");
        return 1;
      }
      h.key += ";pass=" + pass;
    }
  }
  const std::string line = commandLine(h);
  if (printOnly) {
    say(line);
    return 0;
  }

  const std::string dir = lobbyDirectory();
  if (!ensureDirectory(dir)) {
    std::fprintf(stderr, "tavrenmj-lobby: cannot create %s\n", dir.c_str());
    return 1;
  }
  const std::string path = socketPath(caption);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    std::fprintf(stderr, "tavrenmj-lobby: socket path too long: %s\n", path.c_str());
    return 1;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  unlink(path.c_str());  // a socket left by an earlier lobby of this caption
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener, 4) != 0) {
    std::fprintf(stderr, "tavrenmj-lobby: cannot listen on %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);
  say("lobby listening on " + path);

  pid_t child = -1;
  if (startClient) {
    std::vector<char*> cargv = {client.data(), const_cast<char*>(line.c_str()), nullptr};
    if (posix_spawn(&child, client.c_str(), nullptr, nullptr, cargv.data(), environ) != 0) {
      std::fprintf(stderr, "tavrenmj-lobby: cannot start %s\n", client.c_str());
      child = -1;
    } else {
      say("started " + client + " " + line);
    }
  }

  std::vector<int> peers;
  struct Pending {
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Pending> inbox;
  std::string input;
  bool stdinOpen = true, quit = false;
  auto broadcast = [&](const Message& m) {
    const auto b = encode(m);
    if (peers.empty()) say("no client is connected; not sent: " + messageName(m));
    for (int fd : peers)
      if (send(fd, b.data(), b.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(b.size()))
        say("send failed");
    if (!peers.empty()) say("sent " + messageName(m));
  };
  while (!quit) {
    std::vector<pollfd> fds;
    fds.push_back({listener, POLLIN, 0});
    fds.push_back({stdinOpen ? 0 : -1, POLLIN, 0});
    for (int fd : peers) fds.push_back({fd, POLLIN, 0});
    poll(fds.data(), fds.size(), 200);
    if (child > 0) {
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) {
        say("client ended with status " +
            std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1));
        child = -1;
        if (exitWithClient) quit = true;
      }
    }
    if (fds[0].revents & POLLIN) {
      int fd = accept(listener, nullptr, nullptr);
      if (fd >= 0) {
        peers.push_back(fd);
        inbox.push_back({});
        say("client connected");
      }
    }
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const std::size_t k = i - 2;
      std::uint8_t buf[1200];
      ssize_t n = recv(fds[i].fd, buf, sizeof buf, 0);
      if (n <= 0) {
        close(fds[i].fd);
        peers[k] = -1;
        say("client disconnected");
        continue;
      }
      auto& in = inbox[k].bytes;
      in.insert(in.end(), buf, buf + n);
      std::size_t at = 0;
      for (; in.size() - at >= 12; at += 12) {
        const Message m = decode(in.data() + at);
        say("received " + messageName(m) + " wParam " + std::to_string(m.wParam) + " lParam " +
            std::to_string(m.lParam));
      }
      in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(at));
    }
    for (std::size_t k = peers.size(); k-- > 0;)
      if (peers[k] < 0) {
        peers.erase(peers.begin() + static_cast<std::ptrdiff_t>(k));
        inbox.erase(inbox.begin() + static_cast<std::ptrdiff_t>(k));
      }
    if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
      char buf[256];
      ssize_t n = read(0, buf, sizeof buf);
      if (n <= 0) {
        stdinOpen = false;
      } else {
        input.append(buf, static_cast<std::size_t>(n));
      }
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
          const char* p = cmd.c_str() + 5;
          for (auto& x : v) {
            char* end = nullptr;
            x = std::strtoul(p, &end, 0);
            p = end;
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
  for (int fd : peers) close(fd);
  close(listener);
  unlink(path.c_str());
  if (child > 0) {
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
  }
  say("lobby closed");
  return 0;
}
