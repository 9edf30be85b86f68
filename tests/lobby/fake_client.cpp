// A stand-in for the table client in lobby tests: writes its command line to
// $FAKE_CLIENT_OUT, connects to the lobby socket named by $FAKE_CLIENT_SOCKET,
// posts WM_ENDSESSION and a new-hand notice, and answers a state query with
// WM_USER and a leave request (0x303) with WM_USER before it ends.
// With --replay it speaks no link: it writes what it was started with (its
// session, its parent, its open descriptors) to $FAKE_REPLAY_REPORT, a line to
// each of its outputs, and runs until the file $FAKE_REPLAY_STOP exists.
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lobby/lobby_link.h"

using namespace tavren::lobby;

namespace {

int replay() {
  if (const char* report = std::getenv("FAKE_REPLAY_REPORT")) {
    std::string text = "pid " + std::to_string(getpid()) + "\nppid " + std::to_string(getppid()) +
                       "\nsid " + std::to_string(getsid(0)) + "\npgid " +
                       std::to_string(getpgrp()) + "\n";
    if (DIR* d = opendir("/proc/self/fd")) {
      while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.' || std::atoi(e->d_name) == dirfd(d)) continue;
        char target[512] = {};
        const std::string link = std::string("/proc/self/fd/") + e->d_name;
        (void)!readlink(link.c_str(), target, sizeof target - 1);
        text += std::string("fd ") + e->d_name + " " + target + "\n";
      }
      closedir(d);
    }
    const std::string partial = std::string(report) + ".part";
    if (FILE* f = std::fopen(partial.c_str(), "w")) {
      std::fputs(text.c_str(), f);
      std::fclose(f);
      std::rename(partial.c_str(), report);
    }
  }
  std::printf("replay out\n");
  std::fflush(stdout);
  std::fprintf(stderr, "replay err\n");
  const char* stop = std::getenv("FAKE_REPLAY_STOP");
  for (int i = 0; stop != nullptr && i < 3000 && access(stop, F_OK) != 0; ++i) poll(nullptr, 0, 20);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* out = std::getenv("FAKE_CLIENT_OUT")) {
    if (FILE* f = std::fopen(out, "w")) {
      std::fprintf(f, "%d\n%s\n", argc, argc > 1 ? argv[1] : "");
      std::fclose(f);
    }
  }
  if (argc > 1 && std::strcmp(argv[1], "--replay") == 0) return replay();
  const char* path = std::getenv("FAKE_CLIENT_SOCKET");
  if (!path) return 3;
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path, sizeof a.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return 4;
  auto post = [&](Message m) {
    auto b = encode(m);
    // Split the record in two writes: the lobby must put it back together.
    (void)!write(fd, b.data(), 5);
    usleep(1000);
    (void)!write(fd, b.data() + 5, 7);
  };
  post({kEndSession, 0, 0});
  post({kNewHand, 0, 0});
  post({kSysCommand, kMinimise, 0});
  std::uint8_t buf[12];
  std::size_t have = 0;
  for (;;) {
    ssize_t n = read(fd, buf + have, sizeof buf - have);
    if (n <= 0) return 5;
    have += static_cast<std::size_t>(n);
    if (have < 12) continue;
    have = 0;
    const Message m = decode(buf);
    if (m.msg == kHandInProgress) post({kUser, 0, 0});
    if (m.msg == kClear) {
      post({kUser, 0, 0});
      close(fd);
      return 0;
    }
  }
}
