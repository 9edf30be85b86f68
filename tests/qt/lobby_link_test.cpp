// The lobby link against a lobby made of plain Unix sockets: records both
// ways, split writes, a lobby that goes away and one that comes back.
#include "qt/lobby_link.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

namespace tavren::qt {
namespace {

struct Record {
  std::uint32_t message, wParam, lParam;
  bool operator==(const Record&) const = default;
};

// Handles events until `done()` or the deadline; true when done.
template <class F>
bool RunUntil(F done, int ms = 3000) {
  QElapsedTimer t;
  t.start();
  QTimer wake;
  while (!done()) {
    const qint64 left = ms - t.elapsed();
    if (left <= 0) return false;
    wake.start(static_cast<int>(left));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

class FakeLobby {
 public:
  explicit FakeLobby(const std::string& dir) : path_(dir + "/Qixo%E5%B1%B1%E5%BA%84.sock") {
    listen();
  }
  ~FakeLobby() {
    closeConnection();
    stop();
  }
  void listen() {
    listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path_.c_str(), sizeof a.sun_path - 1);
    ::unlink(path_.c_str());
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listen_, 4) != 0)
      ADD_FAILURE() << "lobby socket";
  }
  // Takes the connection the link made (it waits in the backlog by now).
  bool accept() {
    pollfd p{listen_, POLLIN, 0};
    if (::poll(&p, 1, 3000) != 1) return false;
    closeConnection();
    conn_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    return conn_ >= 0;
  }
  void writeBytes(const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::write(conn_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::vector<std::uint8_t> read(std::size_t n) {
    std::vector<std::uint8_t> out;
    while (out.size() < n) {
      pollfd p{conn_, POLLIN, 0};
      if (::poll(&p, 1, 3000) != 1) break;
      std::uint8_t buf[64];
      const ssize_t r = ::read(conn_, buf, std::min(sizeof buf, n - out.size()));
      if (r <= 0) break;
      out.insert(out.end(), buf, buf + r);
    }
    return out;
  }
  void closeConnection() {
    if (conn_ >= 0) ::close(conn_);
    conn_ = -1;
  }
  // The lobby's window goes: no listener, no socket file.
  void stop() {
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
    ::unlink(path_.c_str());
  }
  // A lobby that crashed: the socket file stays, nobody listens.
  void crash() {
    if (listen_ >= 0) ::close(listen_);
    listen_ = -1;
  }

 private:
  std::string path_;
  int listen_ = -1;
  int conn_ = -1;
};

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t w : words)
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  return out;
}

class LobbyLinkTest : public ::testing::Test {
 protected:
  static std::string MakeDir() {
    char tmpl[] = "/tmp/tavren-lobbylink-XXXXXX";
    const char* d = ::mkdtemp(tmpl);
    return d != nullptr ? d : "/nonexistent";
  }
  ~LobbyLinkTest() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  const std::string dir_ = MakeDir();  // before the link, which is made with it
  std::vector<Record> got_;
  int closes_ = 0;
  LobbyLink link_{dir_,
                  [this](std::uint32_t m, std::uint32_t w, std::uint32_t l) {
                    got_.push_back(Record{m, w, l});
                  },
                  [this] { ++closes_; }};
  const std::string caption_ = "Qixo山庄";
};

TEST_F(LobbyLinkTest, NoLobbyMeansNotFound) {
  EXPECT_FALSE(link_.find(caption_));  // no socket file at all
  FakeLobby lobby(dir_);
  lobby.crash();  // a socket file nobody listens on
  EXPECT_FALSE(link_.find(caption_));
  EXPECT_FALSE(link_.find("Another lobby"));
}

TEST_F(LobbyLinkTest, AFolderOpenToOthersIsNoLobbysFolder) {
  FakeLobby lobby(dir_);
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  // Another local user could have planted the socket: the link is not made.
  EXPECT_FALSE(link_.find(caption_));
  ASSERT_EQ(::chmod(dir_.c_str(), 0700), 0);
  EXPECT_TRUE(link_.find(caption_));
}

TEST_F(LobbyLinkTest, WritesOneLittleEndianRecord) {
  FakeLobby lobby(dir_);
  ASSERT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  link_.write(0x112, 0xF120, 0x01020304);
  EXPECT_EQ(lobby.read(12), Bytes({0x112, 0xF120, 0x01020304}));
  // A live link is reused: no second connection.
  EXPECT_TRUE(link_.find(caption_));
  link_.write(0x400, 0, 0);
  EXPECT_EQ(lobby.read(12), Bytes({0x400, 0, 0}));
}

TEST_F(LobbyLinkTest, RecordsSplitAcrossWritesArriveWholeAndInOrder) {
  FakeLobby lobby(dir_);
  ASSERT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  std::vector<std::uint8_t> all = Bytes({0x465, 0, 0, 0x303, 0xDEADBEEF, 0xFFFFFFFF});
  lobby.writeBytes({all.begin(), all.begin() + 5});
  // Five bytes are no record yet.
  RunUntil([&] { return !got_.empty(); }, 200);
  EXPECT_TRUE(got_.empty());
  lobby.writeBytes({all.begin() + 5, all.begin() + 17});
  lobby.writeBytes({all.begin() + 17, all.end()});
  ASSERT_TRUE(RunUntil([&] { return got_.size() == 2; }));
  EXPECT_EQ(got_[0], (Record{0x465, 0, 0}));
  EXPECT_EQ(got_[1], (Record{0x303, 0xDEADBEEF, 0xFFFFFFFF}));
}

TEST_F(LobbyLinkTest, ALobbyThatWentIsMissingAtOnceAndItsLastRecordsStillArrive) {
  FakeLobby lobby(dir_);
  ASSERT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  lobby.writeBytes(Bytes({0x303, 0, 0, 0x400, 0, 0}));
  lobby.closeConnection();
  lobby.stop();
  // No event has been handled since: the link still finds out.
  EXPECT_FALSE(link_.find(caption_));
  EXPECT_TRUE(got_.empty());  // never inside the caller's call
  ASSERT_TRUE(RunUntil([&] { return got_.size() == 2; }));
  EXPECT_EQ(got_[0], (Record{0x303, 0, 0}));
  EXPECT_EQ(got_[1], (Record{0x400, 0, 0}));
}

TEST_F(LobbyLinkTest, ALobbyThatComesBackIsFoundAgain) {
  FakeLobby lobby(dir_);
  ASSERT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  lobby.closeConnection();  // the lobby restarts its side; still listening
  EXPECT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  link_.write(0x16, 0, 0);
  EXPECT_EQ(lobby.read(12), Bytes({0x16, 0, 0}));
}

TEST_F(LobbyLinkTest, TheLobbyClosingALiveLinkIsReportedOnce) {
  FakeLobby lobby(dir_);
  ASSERT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  lobby.closeConnection();
  lobby.stop();
  ASSERT_TRUE(RunUntil([&] { return closes_ > 0; }));
  RunUntil([&] { return closes_ > 1; }, 200);
  EXPECT_EQ(closes_, 1);
  EXPECT_FALSE(link_.find(caption_));
  EXPECT_EQ(closes_, 1);
}

// A lobby that writes and never reads: the answers that wait for it are
// bounded, and past the bound the lobby counts as gone (reported once, from
// the event loop). A lobby still listening is found again afresh.
TEST_F(LobbyLinkTest, ALobbyThatNeverReadsCountsAsGoneOnceItsAnswersPileUp) {
  FakeLobby lobby(dir_);
  ASSERT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  int written = 0;
  // 12 MB of answers would be written without the bound.
  for (; written < 1000000 && closes_ == 0; ++written) {
    link_.write(0x465, 0, 0);
    if (written % 1000 == 999) RunUntil([&] { return closes_ > 0; }, 1);
  }
  ASSERT_TRUE(RunUntil([&] { return closes_ > 0; }));
  EXPECT_EQ(closes_, 1);
  EXPECT_LT(written, 1000000);
  EXPECT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  link_.write(0x400, 0, 0);
  EXPECT_EQ(lobby.read(12), Bytes({0x400, 0, 0}));
}

// A flood of records from the lobby is handled in batches, with the client's
// other events between them; none is lost and the order holds.
TEST_F(LobbyLinkTest, AFloodOfRecordsIsTakenInBatchesWithOtherEventsBetween) {
  FakeLobby lobby(dir_);
  ASSERT_TRUE(link_.find(caption_));
  ASSERT_TRUE(lobby.accept());
  std::vector<std::uint8_t> flood;
  for (std::uint32_t i = 0; i < 1000; ++i) {
    const std::vector<std::uint8_t> r = Bytes({0x465, i, 0});
    flood.insert(flood.end(), r.begin(), r.end());
  }
  lobby.writeBytes(flood);
  std::vector<std::size_t> seenByOthers;
  QTimer other;
  QObject::connect(&other, &QTimer::timeout, [&] { seenByOthers.push_back(got_.size()); });
  other.start(0);
  ASSERT_TRUE(RunUntil([&] { return got_.size() == 1000; }, 10000));
  other.stop();
  for (std::uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(got_[i], (Record{0x465, i, 0}));
  std::size_t between = 0;
  for (std::size_t n : seenByOthers)
    if (n > 0 && n < 1000) ++between;
  EXPECT_GE(between, 10u) << "other events ran between the batches";
}

}  // namespace
}  // namespace tavren::qt
