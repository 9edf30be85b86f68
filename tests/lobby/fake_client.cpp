// A stand-in for the table client in lobby tests: writes its command line to
// $FAKE_CLIENT_OUT, connects to the lobby socket named by $FAKE_CLIENT_SOCKET,
// posts WM_ENDSESSION and a new-hand notice, and answers a state query with
// WM_USER and a leave request (0x303) with WM_USER before it ends.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lobby/lobby_link.h"

using namespace tavren::lobby;

int main(int argc, char** argv) {
  if (const char* out = std::getenv("FAKE_CLIENT_OUT")) {
    if (FILE* f = std::fopen(out, "w")) {
      std::fprintf(f, "%d\n%s\n", argc, argc > 1 ? argv[1] : "");
      std::fclose(f);
    }
  }
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
