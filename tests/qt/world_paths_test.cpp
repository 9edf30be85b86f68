#include "qt/world_paths.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace tavren::qt {
namespace {

TEST(PercentEncodeCaption, KeepsSafeBytesAndEncodesEveryOtherByteUpperCase) {
  struct Case {
    const char* caption;
    const char* encoded;
  };
  const Case cases[] = {
      {"Qixo山庄", "Qixo%E5%B1%B1%E5%BA%84"},
      {"AZaz09._-", "AZaz09._-"},
      {"a b/c", "a%20b%2Fc"},
      {"../x", "..%2Fx"},
      {"100%", "100%25"},
      {"\x7f\xff", "%7F%FF"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PercentEncodeCaption(c.caption), c.encoded) << c.caption;
}

TEST(PercentEncodeCaption, NeverLeavesASlashOrNulInTheName) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string out = PercentEncodeCaption(all);
  EXPECT_EQ(out.find('/'), std::string::npos);
  EXPECT_EQ(out.find('\0'), std::string::npos);
  EXPECT_EQ(out.size(), 65u + 3u * 191u);  // 65 safe bytes, 191 encoded ones
}

TEST(LobbyDirectory, PrefersTheLobbyVariableThenTheRuntimeFolderThenTmp) {
  EXPECT_EQ(LobbyDirectory("/srv/lobby", "/run/user/5", 5), "/srv/lobby");
  EXPECT_EQ(LobbyDirectory(nullptr, "/run/user/5", 5), "/run/user/5/tavren-lobby");
  EXPECT_EQ(LobbyDirectory("", "/run/user/5", 5), "/run/user/5/tavren-lobby");
  EXPECT_EQ(LobbyDirectory(nullptr, nullptr, 1000), "/tmp/tavren-lobby-1000");
  EXPECT_EQ(LobbyDirectory("", "", 0), "/tmp/tavren-lobby-0");
}

TEST(LobbyDirectory, ARelativeLobbyVariableIsTakenFromTheWorkingFolder) {
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(LobbyDirectory("lobbies", nullptr, 5), cwd + "/lobbies");
  EXPECT_EQ(LobbyDirectory("./a/../lobbies", nullptr, 5), cwd + "/lobbies");
  EXPECT_EQ(LobbyDirectory("/srv/./lobby", nullptr, 5), "/srv/lobby");
}

TEST(LobbySocketPath, IsTheEncodedCaptionWithSockInTheDirectory) {
  EXPECT_EQ(LobbySocketPath("/tmp/tavren-lobby-1000", "Qixo山庄"),
            "/tmp/tavren-lobby-1000/Qixo%E5%B1%B1%E5%BA%84.sock");
  EXPECT_EQ(LobbySocketPath("/d", "My Lobby"), "/d/My%20Lobby.sock");
}

TEST(InstanceLockPath, UsesTheRuntimeFolderAndTheInstanceName) {
  EXPECT_EQ(InstanceLockPath("/run/user/7", nullptr, 7), "/run/user/7/tavrenmj-7.lock");
  // Without a runtime folder, a folder of the user's own under /tmp.
  EXPECT_EQ(InstanceLockPath(nullptr, nullptr, 7), "/tmp/tavrenmj-7/tavrenmj-7.lock");
  EXPECT_EQ(InstanceLockPath("", "", 7), "/tmp/tavrenmj-7/tavrenmj-7.lock");
  EXPECT_EQ(InstanceLockPath("/run/user/7", "e2e-41", 7), "/run/user/7/e2e-41-7.lock");
  // An instance name is a file name, never a way into another folder.
  EXPECT_EQ(InstanceLockPath("/tmp", "../etc/x", 7), "/tmp/..%2Fetc%2Fx-7.lock");
}

// The lock is opened where only the user can write, never through a link
// another user planted, and is not handed to programs the client starts.
TEST(OpenInstanceLock, OnlyAPlainFileInAFolderOfTheUsersOwn) {
  namespace fs = std::filesystem;
  char tmpl[] = "/tmp/tavren-lock-XXXXXX";
  const std::string root = ::mkdtemp(tmpl);
  const unsigned uid = ::geteuid();
  struct Case {
    const char* what;
    std::function<std::string()> make;  // returns the lock's path
    bool opens;
  };
  const Case cases[] = {
      {"a missing folder is made for the user alone",
       [&] { return root + "/fresh/tavrenmj-7.lock"; }, true},
      {"a link planted at the lock's name",
       [&] {
         fs::create_directory(root + "/planted");
         fs::permissions(root + "/planted", fs::perms::owner_all);
         fs::create_symlink(root + "/victim", root + "/planted/tavrenmj-7.lock");
         return root + "/planted/tavrenmj-7.lock";
       },
       false},
      {"a folder others may write",
       [&] {
         fs::create_directory(root + "/open");
         fs::permissions(root + "/open", fs::perms::all);
         return root + "/open/tavrenmj-7.lock";
       },
       false},
      {"a folder that is a link",
       [&] {
         fs::create_directory(root + "/real");
         fs::permissions(root + "/real", fs::perms::owner_all);
         fs::create_directory_symlink(root + "/real", root + "/linked");
         return root + "/linked/tavrenmj-7.lock";
       },
       false},
      {"a pipe at the lock's name",
       [&] {
         fs::create_directory(root + "/piped");
         fs::permissions(root + "/piped", fs::perms::owner_all);
         ::mkfifo((root + "/piped/tavrenmj-7.lock").c_str(), 0600);
         return root + "/piped/tavrenmj-7.lock";
       },
       false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const std::string path = k.make();
    const int fd = OpenInstanceLock(path, uid);
    EXPECT_EQ(fd >= 0, k.opens);
    if (fd >= 0) {
      EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
      struct stat folder {};
      ASSERT_EQ(::stat(fs::path(path).parent_path().c_str(), &folder), 0);
      EXPECT_EQ(folder.st_mode & 0777, 0700u);
      ::close(fd);
    }
  }
  EXPECT_FALSE(fs::exists(root + "/victim"));
  // A folder of another user is not the user's own.
  EXPECT_EQ(OpenInstanceLock(root + "/fresh/tavrenmj-7.lock", uid + 1), -1);
  fs::remove_all(root);
}

TEST(MixVolumeFromHundredthsDb, FollowsTheDecibelScaleAndStaysInRange) {
  struct Case {
    int level;
    int volume;
  };
  const Case cases[] = {
      {0, 128},     // full volume
      {500, 128},   // louder than full is clamped
      {-600, 64},   // 6 dB down halves the amplitude (128 * 0.501)
      {-800, 51},   // the voices' level: 128 * 0.398
      {-2000, 13},  // 20 dB down: a tenth (12.8)
      {-3000, 4},   // the quietest effect level (128 * 0.0316)
      {-10000, 0},  // far below audible rounds to silence
      {-2147483647, 0}, {2147483647, 128},
  };
  for (const Case& c : cases) EXPECT_EQ(MixVolumeFromHundredthsDb(c.level), c.volume) << c.level;
}

TEST(JoinArguments, JoinsWithSingleBlanks) {
  EXPECT_EQ(JoinArguments({}), "");
  EXPECT_EQ(JoinArguments({"a$k$h$8000$T1$0$$0$$$0$$$"}), "a$k$h$8000$T1$0$$0$$$0$$$");
  EXPECT_EQ(JoinArguments({"a$k", "h$1"}), "a$k h$1");
  EXPECT_EQ(JoinArguments({"", "x", ""}), " x ");
}

}  // namespace
}  // namespace tavren::qt
