// The lobby window on the offscreen platform: its fields and buttons, the
// remembered name, a real table server's list, and a seat click starting a
// (fake) client that speaks the lobby link.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <sstream>

#include "lobby/children.h"
#include "lobby/window/lobby_window.h"
#include "protocol/tavren_protocol.h"

namespace tavren::lobby {
namespace {

const std::string kBin = TAVREN_BIN_DIR;

// Processes events until `done` holds or `limitMs` pass.
bool waitUntil(const std::function<bool()>& done, int limitMs = 15000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QTest::qWait(10);
  }
  return true;
}

std::string readFile(const std::string& path) {
  std::ifstream f(path);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

struct Scratch {
  std::string dir;
  Scratch() {
    char tmpl[] = "/tmp/tavren-lobbywin-XXXXXX";
    dir = mkdtemp(tmpl) ? tmpl : "";
  }
  ~Scratch() { std::filesystem::remove_all(dir); }
};

// A real table server on a free loopback port.
struct RealServer {
  ServerChild child;
  explicit RealServer(std::vector<std::string> extra = {}) {
    std::string error;
    if (!startServer(kBin + "/tavrenmj-server", "127.0.0.1", 0, extra, child, &error))
      ADD_FAILURE() << error;
  }
  ~RealServer() { stopChild(child.pid); }
};

struct WindowTest : ::testing::Test {
  Scratch scratch;
  std::string argsFile;
  std::unique_ptr<LobbyWindow> window;

  void SetUp() override {
    argsFile = scratch.dir + "/args";
    setenv("FAKE_CLIENT_OUT", argsFile.c_str(), 1);
    setenv("FAKE_CLIENT_SOCKET", (scratch.dir + "/link/T.sock").c_str(), 1);
    LobbyWindow::Options o;
    o.caption = "T";
    o.clientProgram = kBin + "/fake_lobby_client";
    o.serverProgram = kBin + "/tavrenmj-server";
    o.lobbyDirectory = scratch.dir + "/link";
    window = std::make_unique<LobbyWindow>(o);
    std::string error;
    ASSERT_TRUE(window->start(&error)) << error;
    window->show();
    field("name")->setText("amy");
  }
  void TearDown() override { window.reset(); }

  QLineEdit* field(const char* name) { return window->findChild<QLineEdit*>(name); }
  QPushButton* button(const char* name) { return window->findChild<QPushButton*>(name); }
  QTableWidget* list() { return window->findChild<QTableWidget*>("tableList"); }
  QString cell(int r, int c) {
    auto* item = list()->item(r, c);
    return item ? item->text() : QString();
  }
};

TEST_F(WindowTest, FieldsButtonsAndTheRememberedName) {
  for (const char* name : {"name", "hostPort", "joinHost", "joinPort"})
    EXPECT_NE(field(name), nullptr) << name;
  for (const char* name : {"robots", "host", "join", "sit", "watch", "leave", "sitAgain"})
    EXPECT_NE(button(name), nullptr) << name;
  EXPECT_TRUE(button("robots")->isDefault());
  EXPECT_EQ(button("robots")->text(), QStringLiteral("与机器人对局(&R)"));
  EXPECT_EQ(window->windowTitle(), QStringLiteral("T"));
  // Leave and sit-again only while a table runs.
  EXPECT_FALSE(button("leave")->isVisible());
  // A name the server cannot take is refused with a reason; nothing starts.
  field("name")->setText("a b");
  QTest::mouseClick(button("robots"), Qt::LeftButton);
  EXPECT_FALSE(window->clientRunning());
  EXPECT_TRUE(window->statusText().contains(QStringLiteral("名字")))
      << window->statusText().toStdString();
  // The name and the friend's address are remembered in the config folder.
  field("name")->setText("amy2");
  field("joinHost")->setText("10.1.2.3");
  window->close();
  const std::string ini = std::string(std::getenv("XDG_CONFIG_HOME")) + "/tavrenmj/lobby.ini";
  const std::string text = readFile(ini);
  EXPECT_NE(text.find("name=amy2"), std::string::npos) << text;
  EXPECT_NE(text.find("joinHost=10.1.2.3"), std::string::npos) << text;
  LobbyWindow again(LobbyWindow::Options{});
  EXPECT_EQ(again.findChild<QLineEdit*>("name")->text(), QStringLiteral("amy2"));
  EXPECT_EQ(again.findChild<QLineEdit*>("joinHost")->text(), QStringLiteral("10.1.2.3"));
}

TEST_F(WindowTest, TheTableSizeIsOfferedAndKeptForTheClient) {
  auto* size = window->findChild<QComboBox*>("tableSize");
  ASSERT_NE(size, nullptr);
  QStringList offered;
  for (int i = 0; i < size->count(); ++i) offered << size->itemData(i).toString();
  EXPECT_EQ(offered, QStringList({"100", "125", "150", "200", "fit"}));
  // The client reads the choice from the settings when it starts.
  size->setCurrentIndex(size->findData(QStringLiteral("150")));
  const std::string ini = std::string(std::getenv("XDG_CONFIG_HOME")) + "/tavrenmj/lobby.ini";
  EXPECT_NE(readFile(ini).find("tableSize=150"), std::string::npos) << readFile(ini);
  LobbyWindow again(LobbyWindow::Options{});
  EXPECT_EQ(again.findChild<QComboBox*>("tableSize")->currentData().toString(),
            QStringLiteral("150"));
  size->setCurrentIndex(size->findData(QStringLiteral("100")));
}

TEST_F(WindowTest, JoinListsTheServersTablesAndASeatClickStartsTheClient) {
  RealServer server({"--tables", "3"});
  field("joinHost")->setText("127.0.0.1");
  field("joinPort")->setText(QString::number(server.child.port));
  // Enter in the address field joins.
  field("joinHost")->setFocus();
  QTest::keyClick(field("joinHost"), Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return list()->rowCount() == 3; }))
      << window->statusText().toStdString();
  EXPECT_EQ(cell(0, 0), QStringLiteral("第1桌"));
  EXPECT_EQ(cell(2, 1), QStringLiteral("空桌"));
  EXPECT_EQ(cell(1, 3), QStringLiteral("空位"));

  // Someone sits at table 3: the open list shows it at its next refresh.
  QTcpSocket zed;
  zed.connectToHost("127.0.0.1", static_cast<quint16>(server.child.port));
  ASSERT_TRUE(zed.waitForConnected(5000));
  QByteArray login(272, 0);
  login[3] = protocol::kReqLogin;
  login.replace(16, 3, "zed");
  const QByteArray key = "table=2;seat=3";
  login.replace(32, key.size(), key);
  zed.write(login);
  ASSERT_TRUE(waitUntil([&] { return cell(2, 5) == QStringLiteral("zed"); }));
  EXPECT_NE(cell(2, 1), QStringLiteral("空桌"));
  // A player's seat can be watched, not taken; a free one taken, not watched.
  list()->setCurrentCell(2, 5);
  EXPECT_TRUE(button("watch")->isEnabled());
  EXPECT_FALSE(button("sit")->isEnabled());
  list()->setCurrentCell(1, 3);
  EXPECT_TRUE(button("sit")->isEnabled());
  EXPECT_FALSE(button("watch")->isEnabled());

  QTest::mouseClick(button("sit"), Qt::LeftButton);
  ASSERT_TRUE(window->clientRunning());
  // The client got the seat's hand-over and speaks the lobby link: it logs in
  // and minimises the lobby window.
  ASSERT_TRUE(waitUntil([&] { return window->isMinimized(); }));
  const std::string args = readFile(argsFile);
  EXPECT_TRUE(std::regex_search(
      args, std::regex("amy\\$table=1;seat=1;pass=[0-9a-f]{32}\\$127\\.0\\.0\\.1\\$" +
                       std::to_string(server.child.port) + "\\$第2桌\\$0\\$")))
      << args;
  EXPECT_FALSE(button("sit")->isEnabled());
  EXPECT_FALSE(button("join")->isEnabled());
  EXPECT_TRUE(button("leave")->isVisible());
  // Leave: the client answers and ends; the lobby window comes back.
  QTest::mouseClick(button("leave"), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return !window->clientRunning(); }));
  EXPECT_FALSE(window->isMinimized());
  EXPECT_TRUE(button("join")->isEnabled());
  EXPECT_TRUE(window->statusText().contains(QStringLiteral("牌桌已关闭")));
  // Watching zed: the watcher's hand-over, with zed's user id from the list.
  list()->setCurrentCell(2, 5);
  QTest::mouseClick(button("watch"), Qt::LeftButton);
  ASSERT_TRUE(window->clientRunning());
  ASSERT_TRUE(waitUntil([&] { return window->isMinimized(); }));
  const std::string watching = readFile(argsFile);
  const std::uint64_t zedId = window->tables()[2].seats[3].userId;
  EXPECT_NE(zedId, 0u);
  EXPECT_NE(watching.find("amy$watch=2;seat=3$127.0.0.1$" + std::to_string(server.child.port) +
                          "$第3桌 观看$" + std::to_string(zedId) + "$0$"),
            std::string::npos)
      << watching;
  QTest::mouseClick(button("leave"), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return !window->clientRunning(); }));
  // Esc goes back from the friend's list.
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(list()->isVisible());
}

TEST_F(WindowTest, TheRobotTableStartsAServerAndSeatsThePlayerThere) {
  // Enter anywhere else takes the default way: the robot table.
  QTest::keyClick(field("name"), Qt::Key_Return);
  ASSERT_TRUE(window->clientRunning()) << window->statusText().toStdString();
  ASSERT_TRUE(waitUntil([&] { return !readFile(argsFile).empty(); }));
  const std::string args = readFile(argsFile);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(
      args, m,
      std::regex("amy\\$table=0;seat=0;pass=[0-9a-f]{32}\\$127\\.0\\.0\\.1\\$([0-9]+)\\$")))
      << args;
  const int port = std::stoi(m[1]);
  // The server is there for the client.
  pid_t none = -1;
  EXPECT_TRUE(waitForPort("127.0.0.1", port, none, 5000));
  ASSERT_TRUE(waitUntil([&] { return window->isMinimized(); }));
  QTest::mouseClick(window->findChild<QPushButton*>("leave"), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return !window->clientRunning(); }));
  // The table's end stops its server.
  EXPECT_FALSE(waitForPort("127.0.0.1", port, none, 300));
}

// A screen lower than the whole window (a large font, a friend's table list
// open): the lists give up rows and scroll, so that nothing below them, down
// to the status line, is cut off.
TEST_F(WindowTest, OnALowScreenTheListsGiveUpRowsAndNothingIsCut) {
  const QRect screen = window->screen()->availableGeometry();
  auto* replays = window->findChild<QTableWidget*>("replayList");
  auto* status = window->findChild<QLabel*>("status");
  ASSERT_NE(status, nullptr);
  ASSERT_TRUE(waitUntil([&] { return window->isVisible(); }));
  EXPECT_EQ(replays->minimumHeight(), 110) << "room enough at the usual font";
  QFont large = window->font();
  if (large.pointSizeF() > 0)
    large.setPointSizeF(large.pointSizeF() * 2.2);
  else
    large.setPixelSize(large.pixelSize() * 11 / 5);
  window->setFont(large);
  QApplication::processEvents();
  field("joinHost")->setText("127.0.0.1");
  field("joinPort")->setText(QString::number(freePort("127.0.0.1")));
  QTest::mouseClick(button("join"), Qt::LeftButton);
  ASSERT_TRUE(list()->isVisible());
  QTest::qWait(50);
  QApplication::processEvents();
  // At their full heights the window would be taller than the screen.
  EXPECT_LT(replays->minimumHeight(), 110) << "the lists gave up rows";
  EXPECT_LE(window->height(), screen.height());
  for (QWidget* w : std::initializer_list<QWidget*>{status, replays, list(), button("sit"),
                                                    button("playReplay"), button("join")}) {
    const QRect r(w->mapTo(window.get(), QPoint(0, 0)), w->size());
    EXPECT_TRUE(window->rect().contains(r)) << w->objectName().toStdString();
  }
  // The lists keep a header and two rows.
  EXPECT_GE(replays->height(), replays->horizontalHeader()->height() +
                                   2 * replays->verticalHeader()->defaultSectionSize());
  EXPECT_GE(list()->height(), 100);
  // The table list closed (Esc), the kept games have their rows back.
  QTest::keyClick(window.get(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(replays->minimumHeight(), 110);
}

TEST_F(WindowTest, AServerNobodyAnswersOnIsNamedInTheStatus) {
  const int port = freePort("127.0.0.1");
  field("joinHost")->setText("127.0.0.1");
  field("joinPort")->setText(QString::number(port));
  QTest::mouseClick(button("join"), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return window->statusText().contains(QStringLiteral("无法连接")); }));
  EXPECT_TRUE(window->statusText().contains(QString::number(port)));
  EXPECT_EQ(list()->rowCount(), 0);
}

}  // namespace
}  // namespace tavren::lobby

int main(int argc, char** argv) {
  // The remembered fields go to a scratch config folder, never the user's.
  char tmpl[] = "/tmp/tavren-lobbywin-config-XXXXXX";
  const char* config = mkdtemp(tmpl);
  if (config) setenv("XDG_CONFIG_HOME", config, 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  if (config) std::filesystem::remove_all(config);
  return rc;
}

namespace tavren::lobby {
namespace {

// A lobby window over the kept games in `folder`, starting the fake client.
LobbyWindow::Options ReplayListOptions(const Scratch& scratch, const std::string& folder) {
  LobbyWindow::Options o;
  o.caption = "T";
  o.clientProgram = kBin + "/fake_lobby_client";
  o.lobbyDirectory = scratch.dir + "/link";
  o.replaysFolder = folder;
  return o;
}

// Writes a kept game of `hands` hands into `folder`, as the client keeps one.
void KeepGame(const std::string& folder, const std::string& caption, int hands,
              std::int64_t startUnixMs) {
  replay::Header h;
  h.account = "amy";
  h.caption = caption;
  h.seat = 0;
  h.server = "127.0.0.1:7753";
  h.startUnixMs = startUnixMs;
  std::filesystem::create_directories(folder);
  replay::Writer w;
  ASSERT_TRUE(w.open(folder + "/" + replay::ReplayFileName(h), h)) << w.error();
  std::vector<std::uint8_t> frame(replay::kFrameBytes, 0);
  for (int n = 1; n <= hands; ++n) {
    w.append(replay::EntryKind::HandStart, n * 1000, nullptr, 0);
    w.append(replay::EntryKind::Received, n * 1000, frame.data(), frame.size());
    const std::vector<std::uint8_t> end =
        replay::HandEndBytes("amy|机器人1|机器人2|机器人3", "amy 自摸 " + std::to_string(n) + "番");
    w.append(replay::EntryKind::HandEnd, n * 1000 + 500, end.data(), end.size());
  }
  w.close();
}

TEST(ReplayListWindow, ListsTheKeptGamesNewestFirstAndPlaysTheChosenOne) {
  Scratch scratch;
  const std::string folder = scratch.dir + "/replays";
  KeepGame(folder, "老桌", 2, 1765400000000);
  KeepGame(folder, "新桌", 3, 1765450000000);
  const std::string argsFile = scratch.dir + "/args";
  setenv("FAKE_CLIENT_OUT", argsFile.c_str(), 1);
  LobbyWindow::Options o = ReplayListOptions(scratch, folder);
  LobbyWindow window(o);
  window.show();
  auto* list = window.findChild<QTableWidget*>("replayList");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("新桌"));
  EXPECT_EQ(list->item(0, 2)->text(), QStringLiteral("amy、机器人1、机器人2、机器人3"));
  EXPECT_EQ(list->item(0, 3)->text(), QStringLiteral("3"));
  EXPECT_EQ(list->item(0, 4)->text(), QStringLiteral("amy 自摸 3番"));
  EXPECT_TRUE(list->item(0, 0)->text().startsWith(QStringLiteral("2025-12-")));
  EXPECT_EQ(list->item(1, 1)->text(), QStringLiteral("老桌"));
  EXPECT_EQ(list->item(1, 3)->text(), QStringLiteral("2"));
  // The second line, chosen with the keyboard and opened with Enter.
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentRow(), 1);
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return readFile(argsFile).size() > 0; }));
  EXPECT_EQ(readFile(argsFile), "3\n--replay\n");
  // A game kept meanwhile shows after a refresh.
  KeepGame(folder, "又一桌", 1, 1765460000000);
  QTest::mouseClick(window.findChild<QPushButton*>("refreshReplays"), Qt::LeftButton);
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("又一桌"));
  window.shutDown();
}

// A kept game without the game's start in its header is dated by the file's
// last write; without that either, it says so.
TEST(ReplayListWindow, AGameWithoutItsStartIsDatedByItsFile) {
  const auto date = [](std::int64_t ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  };
  struct Case {
    std::int64_t start, modified;
    QString shown;
  };
  const Case cases[] = {
      {1765450000000, 1765460000000, date(1765450000000)},
      {0, 1765460000000, date(1765460000000)},
      {-5, 1765460000000, date(1765460000000)},
      {0, 0, QStringLiteral("日期未知")},
      {0, -1000, QStringLiteral("日期未知")},
  };
  for (const Case& k : cases) {
    replay::KeptGame g;
    g.header.startUnixMs = k.start;
    g.modifiedUnixMs = k.modified;
    EXPECT_EQ(keptGameDate(g), k.shown) << k.start << " " << k.modified;
  }

  // In the window: the file's last write, set here, is the date shown.
  Scratch scratch;
  const std::string folder = scratch.dir + "/replays";
  KeepGame(folder, "无日期", 1, 0);
  KeepGame(folder, "有日期", 1, 1765450000000);
  const auto kept = replay::ListReplays(folder);
  ASSERT_EQ(kept.size(), 2u);
  const std::string undated = kept[0].header.startUnixMs == 0 ? kept[0].path : kept[1].path;
  const timespec written[2] = {{1765300000, 0}, {1765300000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, undated.c_str(), written, 0), 0);
  LobbyWindow::Options o = ReplayListOptions(scratch, folder);
  LobbyWindow window(o);
  auto* list = window.findChild<QTableWidget*>("replayList");
  ASSERT_EQ(list->rowCount(), 2);
  // Older than the dated game, so listed after it.
  EXPECT_EQ(list->item(1, 1)->text(), QStringLiteral("无日期"));
  EXPECT_EQ(list->item(1, 0)->text(), date(1765300000000LL));
  EXPECT_EQ(list->item(0, 0)->text(), date(1765450000000LL));
  window.shutDown();
}

std::map<std::string, std::string> ReadReport(const std::string& path) {
  std::map<std::string, std::string> out;
  std::istringstream in(readFile(path));
  std::string key, value;
  while (in >> key >> std::ws && std::getline(in, value)) {
    if (key == "fd") {
      const auto space = value.find(' ');
      out["fd" + value.substr(0, space)] =
          space == std::string::npos ? "" : value.substr(space + 1);
    } else {
      out[key] = value;
    }
  }
  return out;
}

// The process state letter of `pid` (R, S, Z, ...), or 0 when there is none.
char StateOf(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  const auto close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

// A replay opened from the list is a program of its own: the lobby closing
// leaves it running, it is no child of the lobby (nothing there has to reap
// it), it has a session of its own, it holds none of the lobby's descriptors
// and its output goes to replay.log in the data folder, not to the lobby's.
TEST(ReplayListWindow, AReplayRunsOnAsAProgramOfItsOwnWhenTheLobbyCloses) {
  Scratch scratch;
  const std::string folder = scratch.dir + "/data/replays";
  KeepGame(folder, "桌", 1, 1765450000000);
  const std::string report = scratch.dir + "/report";
  const std::string stop = scratch.dir + "/stop";
  setenv("FAKE_CLIENT_OUT", (scratch.dir + "/args").c_str(), 1);
  setenv("FAKE_REPLAY_REPORT", report.c_str(), 1);
  setenv("FAKE_REPLAY_STOP", stop.c_str(), 1);
  LobbyWindow::Options o = ReplayListOptions(scratch, folder);
  o.serverProgram = kBin + "/tavrenmj-server";
  auto window = std::make_unique<LobbyWindow>(o);
  std::string error;
  ASSERT_TRUE(window->start(&error)) << error;  // the lobby's socket and its robot server
  window->show();
  ASSERT_TRUE(window->playReplay(0));
  const pid_t pid = window->lastReplayPid();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(report); }));
  unsetenv("FAKE_REPLAY_REPORT");
  unsetenv("FAKE_REPLAY_STOP");
  auto r = ReadReport(report);
  EXPECT_EQ(r["pid"], std::to_string(pid));
  // A session of its own (no terminal's hangup or Ctrl-C aimed at the lobby reaches it).
  EXPECT_NE(r["sid"], std::to_string(getsid(0))) << "a session of its own";
  EXPECT_NE(r["pgid"], std::to_string(getpgrp()));
  EXPECT_EQ(r["pgid"], r["sid"]);
  EXPECT_NE(r["ppid"], std::to_string(getpid())) << "not the lobby's child";
  EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  EXPECT_EQ(r["fd0"], "/dev/null");
  const std::string log = scratch.dir + "/data/replay.log";
  EXPECT_EQ(r["fd1"], log);
  EXPECT_EQ(r["fd2"], log);
  for (const auto& [key, value] : r) {
    if (key.rfind("fd", 0) == 0) {
      EXPECT_TRUE(key == "fd0" || key == "fd1" || key == "fd2") << key << " " << value;
    }
  }

  // The lobby window goes (its server stopped, its socket closed): the replay runs on.
  window->close();
  window.reset();
  QTest::qWait(200);
  EXPECT_EQ(kill(pid, 0), 0);
  const char state = StateOf(pid);
  EXPECT_TRUE(state != 0 && state != 'Z') << "state " << state;
  // Its output is in the log.
  EXPECT_NE(readFile(log).find("replay out\nreplay err\n"), std::string::npos) << readFile(log);
  // Closed by the user, it ends.
  std::ofstream(stop) << "x";
  EXPECT_TRUE(waitUntil([&] {
    const char s = StateOf(pid);
    return s == 0 || s == 'Z';
  }));
}

TEST(ReplayListWindow, AProgramThatCannotStartIsSaid) {
  std::string error;
  EXPECT_EQ(spawnDetached("/nonexistent/tavrenmj", {"/nonexistent/tavrenmj", "--replay", "x"}, "",
                          &error),
            -1);
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  Scratch scratch;
  const std::string folder = scratch.dir + "/replays";
  KeepGame(folder, "桌", 1, 1765450000000);
  LobbyWindow::Options o = ReplayListOptions(scratch, folder);
  o.clientProgram = scratch.dir + "/missing-client";
  LobbyWindow window(o);
  EXPECT_FALSE(window.playReplay(0));
  EXPECT_TRUE(window.statusText().contains(QStringLiteral("无法启动")))
      << window.statusText().toStdString();
  EXPECT_FALSE(window.playReplay(5));
}

}  // namespace
}  // namespace tavren::lobby
