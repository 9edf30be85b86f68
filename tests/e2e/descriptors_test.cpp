// What a client hands on to programs it starts, and what becomes of it when
// its lobby goes: real processes, waits with a bound.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/client_rig.h"

namespace tavren::e2e {
namespace {

constexpr int kStartMs = 5000;
constexpr int kAnswerMs = 3000;
constexpr unsigned long kCloseOnExec = 02000000;  // O_CLOEXEC as /proc shows the flags

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Descriptor numbers of a process with their open flags and what they are.
struct Descriptor {
  int fd;
  unsigned long flags;
  std::string target;
};

std::vector<Descriptor> Descriptors(pid_t pid) {
  std::vector<Descriptor> out;
  const std::string dir = "/proc/" + std::to_string(pid) + "/fdinfo";
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return out;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    const int fd = std::atoi(e->d_name);
    const std::string info = ReadAll(dir + "/" + e->d_name);
    const std::size_t at = info.find("flags:");
    if (at == std::string::npos) continue;
    char target[512] = {};
    const std::string link = "/proc/" + std::to_string(pid) + "/fd/" + e->d_name;
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    out.push_back({fd, std::strtoul(info.c_str() + at + 6, nullptr, 8),
                   n > 0 ? std::string(target, static_cast<std::size_t>(n)) : ""});
  }
  ::closedir(d);
  return out;
}

// A program the client starts (a web browser for the table's page, say) gets
// none of its sockets, its lock or its files: every descriptor beyond the
// three standard ones is close-on-exec.
TEST(ClientDescriptors, EveryDescriptorTheClientOpensIsCloseOnExec) {
  Rig rig;
  rig.start({rig.playerLine("fds", "key")});
  ASSERT_TRUE(rig.waitFor([&] { return !rig.framesReceived().empty(); }, kStartMs))
      << rig.stderrText();
  rig.serverSend(ServerFrame(18, {15, 15, 0, 1}, 0, 1));
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyConnected(); }, kAnswerMs));
  // Both links stand and the lock is held by now.
  ASSERT_TRUE(rig.waitFor([&] { return rig.lobbyCount(0x303) == 1; }, kAnswerMs));
  const std::vector<Descriptor> fds = Descriptors(rig.pid());
  int sockets = 0;
  bool lock = false;
  for (const Descriptor& d : fds) {
    if (d.fd <= 2) continue;
    EXPECT_NE(d.flags & kCloseOnExec, 0u) << "descriptor " << d.fd << " (" << d.target << ")";
    if (d.target.rfind("socket:", 0) == 0) ++sockets;
    if (d.target.find(".lock") != std::string::npos) lock = true;
  }
  EXPECT_GE(sockets, 2) << "the game socket and the lobby link";
  EXPECT_TRUE(lock);
  EXPECT_TRUE(rig.running());
}

#ifdef TAVRENMJ_LOBBY_BINARY
std::vector<pid_t> Children(pid_t pid) {
  std::vector<pid_t> out;
  std::istringstream in(
      ReadAll("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children"));
  for (pid_t child; in >> child;) out.push_back(child);
  return out;
}

std::string ProgramOf(pid_t pid) {
  char target[512] = {};
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  const std::string path = n > 0 ? std::string(target, static_cast<std::size_t>(n)) : "";
  return path.substr(path.rfind('/') + 1);
}

// Gone, or a zombie nobody has reaped yet.
bool Gone(pid_t pid) {
  const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
  if (stat.empty()) return true;
  const std::size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// The real lobby starts the client at a robot table and is killed while the
// client sits there between hands: the client's "is my lobby still there"
// finds it gone and the client ends, rather than linger for good.
TEST(ClientDescriptors, AClientWhoseLobbyIsKilledEnds) {
  TempDir dir;
  const std::string home = dir.path() + "/home", lobbyDir = dir.path() + "/lobby",
                    runtime = dir.path() + "/run";
  for (const std::string& d : {home, lobbyDir, runtime}) ::mkdir(d.c_str(), 0700);
  const pid_t lobby = ::fork();
  ASSERT_GE(lobby, 0);
  if (lobby == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::setenv("TAVRENMJ_MESSAGEBOX", "print", 1);
    ::setenv("TAVRENMJ_HOME", home.c_str(), 1);
    ::setenv("TAVREN_LOBBY_DIR", lobbyDir.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("TAVRENMJ_INSTANCE", ("lobby-gone-" + std::to_string(::getppid())).c_str(), 1);
    ::unsetenv("DISPLAY");
    const int devnull = ::open("/dev/null", O_RDWR);
    ::dup2(devnull, 0);
    ::dup2(devnull, 1);
    ::dup2(devnull, 2);
    ::execl(TAVRENMJ_LOBBY_BINARY, TAVRENMJ_LOBBY_BINARY, "--robots", "--account", "gone",
            "--client", TAVRENMJ_BINARY, nullptr);
    ::_exit(127);
  }
  // The client is at the table once its game socket and lobby link stand
  // (the lobby's children are the server and the client).
  pid_t client = -1;
  std::vector<pid_t> helpers;
  const bool seated = WaitFor(
      [&] {
        helpers = Children(lobby);
        for (pid_t p : helpers)
          if (ProgramOf(p) == "tavrenmj") client = p;
        if (client < 0) return false;
        int sockets = 0;
        for (const Descriptor& d : Descriptors(client))
          if (d.target.rfind("socket:", 0) == 0 && d.fd > 2) ++sockets;
        return sockets >= 2;  // the game socket and the lobby link
      },
      kStartMs * 2);
  auto cleanUp = [&] {
    for (pid_t p : helpers)
      if (!Gone(p)) ::kill(p, SIGKILL);
    ::kill(lobby, SIGKILL);
    ::waitpid(lobby, nullptr, 0);
  };
  if (!seated) {
    cleanUp();
    FAIL() << "the lobby's client did not start";
  }
  // The lobby dies without a word.
  ::kill(lobby, SIGKILL);
  ::waitpid(lobby, nullptr, 0);
  const bool ended = WaitFor([&] { return Gone(client); }, 15000);
  cleanUp();
  EXPECT_TRUE(ended) << "the client still runs 15 s after its lobby was killed";
}
#endif

}  // namespace
}  // namespace tavren::e2e
