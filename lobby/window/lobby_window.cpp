#include "lobby/window/lobby_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QTcpSocket>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "client/qt/table_size.h"
#include "protocol/tavren_protocol.h"
#include "qt/world_paths.h"

namespace tavren::lobby {

namespace {

// A refresh of the table list every this many ms while it is shown.
constexpr int kRefreshMs = 2000;
// A server that does not answer the list within this long is unreachable.
constexpr int kListTimeoutMs = 5000;
// The lists' heights; on a screen too low for the whole window they give up
// rows (they scroll) so that nothing below them is cut off.
constexpr int kTableListHeight = 140;
constexpr int kReplayListHeight = 110;

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QSettings& settings() {
  // ~/.config/tavrenmj/lobby.ini ($XDG_CONFIG_HOME honoured).
  static QSettings s(QSettings::IniFormat, QSettings::UserScope, "tavrenmj", "lobby");
  return s;
}

std::int64_t nowMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return clock.elapsed();
}

QString defaultName() {
  const char* user = std::getenv("USER");
  const std::string u = user ? user : "";
  return accountProblem(u).empty() ? Q(u) : QStringLiteral("player");
}

const char* kSeatNames[4] = {"1号座", "2号座", "3号座", "4号座"};

}  // namespace

LobbyWindow::LobbyWindow(Options options)
    : options_(std::move(options)),
      link_([](const std::string& line) { std::fprintf(stderr, "lobby: %s\n", line.c_str()); },
            [this](const Message& m) { onLobbyMessage(m); }) {
  if (options_.clientProgram.empty()) options_.clientProgram = programFolder() + "/tavrenmj";
  if (options_.serverProgram.empty()) options_.serverProgram = programFolder() + "/tavrenmj-server";
  if (options_.replaysFolder.empty()) {
    const std::string& client = options_.clientProgram;
    const std::size_t slash = client.rfind('/');
    const std::string clientDir = slash == std::string::npos ? "." : client.substr(0, slash);
    options_.replaysFolder = replay::ReplayFolder(
        qt::ProgramFolderFor(std::getenv("TAVRENMJ_HOME"), std::getenv("XDG_DATA_HOME"),
                             std::getenv("HOME"), clientDir));
  }
  setWindowTitle(Q(options_.caption));
  setObjectName("lobby");

  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("Tavren麻将 · Qixo山庄"), this);
  QFont big = title->font();
  big.setPointSize(big.pointSize() + 4);
  big.setBold(true);
  title->setFont(big);
  layout->addWidget(title);

  auto* nameRow = new QHBoxLayout;
  auto* nameLabel = new QLabel(QStringLiteral("名字(&N)："), this);
  name_ = new QLineEdit(settings().value("name", defaultName()).toString(), this);
  name_->setObjectName("name");
  name_->setMaxLength(15);
  nameLabel->setBuddy(name_);
  nameRow->addWidget(nameLabel);
  nameRow->addWidget(name_, 1);
  // The table window's size; the client reads it when it starts.
  auto* sizeLabel = new QLabel(QStringLiteral("牌桌大小(&Z)："), this);
  tableSize_ = new QComboBox(this);
  tableSize_->setObjectName("tableSize");
  for (const qt::TableSizeChoice& choice : qt::kTableSizes)
    tableSize_->addItem(QString::fromUtf8(choice.label),
                        QString::fromUtf8(choice.key.data(), static_cast<int>(choice.key.size())));
  const int chosen = tableSize_->findData(
      settings().value(qt::kTableSizeSetting, Q(std::string(qt::kDefaultTableSize))).toString());
  tableSize_->setCurrentIndex(std::max(chosen, 0));
  tableSize_->setToolTip(QStringLiteral("大屏幕上把牌桌放大；放不下时按屏幕所能容纳的大小"));
  sizeLabel->setBuddy(tableSize_);
  connect(tableSize_, &QComboBox::currentIndexChanged, this, [this] {
    settings().setValue(qt::kTableSizeSetting, tableSize_->currentData().toString());
    settings().sync();
  });
  nameRow->addWidget(sizeLabel);
  nameRow->addWidget(tableSize_);
  layout->addLayout(nameRow);

  robots_ = new QPushButton(QStringLiteral("与机器人对局(&R)"), this);
  robots_->setObjectName("robots");
  robots_->setDefault(true);
  robots_->setToolTip(QStringLiteral("在本机开一桌，空位由机器人补上"));
  layout->addWidget(robots_);

  auto* hostBox = new QGroupBox(QStringLiteral("和朋友玩：开房间"), this);
  auto* hostRow = new QHBoxLayout(hostBox);
  auto* hostPortLabel = new QLabel(QStringLiteral("端口(&P)："), hostBox);
  hostPort_ = new QLineEdit(
      QString::number(settings().value("hostPort", options_.hostPort).toInt()), hostBox);
  hostPort_->setObjectName("hostPort");
  hostPort_->setValidator(new QIntValidator(1, 65535, hostPort_));
  hostPortLabel->setBuddy(hostPort_);
  host_ = new QPushButton(QStringLiteral("开房间(&H)"), hostBox);
  host_->setObjectName("host");
  hostRow->addWidget(hostPortLabel);
  hostRow->addWidget(hostPort_);
  hostRow->addWidget(host_);
  layout->addWidget(hostBox);

  auto* joinBox = new QGroupBox(QStringLiteral("和朋友玩：加入"), this);
  auto* joinRow = new QHBoxLayout(joinBox);
  auto* joinHostLabel = new QLabel(QStringLiteral("地址(&A)："), joinBox);
  joinHost_ = new QLineEdit(settings().value("joinHost", "").toString(), joinBox);
  joinHost_->setObjectName("joinHost");
  joinHost_->setPlaceholderText(QStringLiteral("朋友的地址"));
  joinHostLabel->setBuddy(joinHost_);
  auto* joinPortLabel = new QLabel(QStringLiteral("端口："), joinBox);
  joinPort_ = new QLineEdit(QString::number(settings().value("joinPort", 7753).toInt()), joinBox);
  joinPort_->setObjectName("joinPort");
  joinPort_->setValidator(new QIntValidator(1, 65535, joinPort_));
  joinPortLabel->setBuddy(joinPort_);
  join_ = new QPushButton(QStringLiteral("加入(&J)"), joinBox);
  join_->setObjectName("join");
  joinRow->addWidget(joinHostLabel);
  joinRow->addWidget(joinHost_, 1);
  joinRow->addWidget(joinPortLabel);
  joinRow->addWidget(joinPort_);
  joinRow->addWidget(join_);
  layout->addWidget(joinBox);

  addresses_ = new QLabel(this);
  addresses_->setObjectName("addresses");
  addresses_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  addresses_->setWordWrap(true);
  addresses_->hide();
  layout->addWidget(addresses_);

  listBox_ = new QWidget(this);
  auto* listLayout = new QVBoxLayout(listBox_);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listTitle_ = new QLabel(listBox_);
  listLayout->addWidget(listTitle_);
  tableList_ = new QTableWidget(0, 6, listBox_);
  listTitle_->setBuddy(tableList_);
  tableList_->setObjectName("tableList");
  QStringList headers = {QStringLiteral("桌"), QStringLiteral("状态")};
  for (const char* s : kSeatNames) headers << QString::fromUtf8(s);
  tableList_->setHorizontalHeaderLabels(headers);
  tableList_->verticalHeader()->hide();
  tableList_->setSelectionMode(QAbstractItemView::SingleSelection);
  tableList_->setSelectionBehavior(QAbstractItemView::SelectItems);
  tableList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tableList_->setTabKeyNavigation(false);  // Tab leaves the list; arrows move in it
  tableList_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  tableList_->setMinimumHeight(kTableListHeight);
  listLayout->addWidget(tableList_);
  auto* listButtons = new QHBoxLayout;
  sit_ = new QPushButton(QStringLiteral("坐下(&S)"), listBox_);
  sit_->setObjectName("sit");
  watch_ = new QPushButton(QStringLiteral("观看(&W)"), listBox_);
  watch_->setObjectName("watch");
  listButtons->addWidget(sit_);
  listButtons->addWidget(watch_);
  listButtons->addStretch(1);
  listLayout->addLayout(listButtons);
  listBox_->hide();
  layout->addWidget(listBox_);

  auto* replayBox = new QGroupBox(QStringLiteral("录像：看过去的牌局"), this);
  auto* replayLayout = new QVBoxLayout(replayBox);
  replayList_ = new QTableWidget(0, 5, replayBox);
  replayList_->setObjectName("replayList");
  replayList_->setHorizontalHeaderLabels({QStringLiteral("日期"), QStringLiteral("牌桌"),
                                          QStringLiteral("玩家"), QStringLiteral("局数"),
                                          QStringLiteral("结果")});
  replayList_->verticalHeader()->hide();
  replayList_->setSelectionMode(QAbstractItemView::SingleSelection);
  replayList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  replayList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  replayList_->setTabKeyNavigation(false);
  replayList_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  replayList_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  replayList_->setMinimumHeight(kReplayListHeight);
  replayLayout->addWidget(replayList_);
  auto* replayButtons = new QHBoxLayout;
  playReplay_ = new QPushButton(QStringLiteral("播放录像(&V)"), replayBox);
  playReplay_->setObjectName("playReplay");
  auto* refreshButton = new QPushButton(QStringLiteral("刷新"), replayBox);
  refreshButton->setObjectName("refreshReplays");
  replayButtons->addWidget(playReplay_);
  replayButtons->addWidget(refreshButton);
  replayButtons->addStretch(1);
  replayLayout->addLayout(replayButtons);
  layout->addWidget(replayBox);
  connect(playReplay_, &QPushButton::clicked, this,
          [this] { playReplay(replayList_->currentRow()); });
  connect(refreshButton, &QPushButton::clicked, this, &LobbyWindow::refreshReplays);
  connect(replayList_, &QTableWidget::cellActivated, this,
          [this](int row, int) { playReplay(row); });
  connect(replayList_, &QTableWidget::itemSelectionChanged, this,
          [this] { playReplay_->setEnabled(replayList_->currentRow() >= 0); });
  auto* tableRow = new QHBoxLayout;
  leave_ = new QPushButton(QStringLiteral("离开牌桌(&L)"), this);
  leave_->setObjectName("leave");
  sitAgain_ = new QPushButton(QStringLiteral("重新坐下(&G)"), this);
  sitAgain_->setObjectName("sitAgain");
  tableRow->addWidget(leave_);
  tableRow->addWidget(sitAgain_);
  tableRow->addStretch(1);
  layout->addLayout(tableRow);

  status_ = new QLabel(QStringLiteral("请选择：与机器人对局、开房间，或加入朋友的房间。"), this);
  status_->setObjectName("status");
  status_->setWordWrap(true);
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setMinimumHeight(status_->fontMetrics().height() * 2 + 8);
  layout->addWidget(status_);

  // Enter in a field takes the way the field belongs to. The field passes the
  // key on to the window as well; the window then leaves it alone.
  auto onReturn = [this](QLineEdit* field, void (LobbyWindow::*way)()) {
    connect(field, &QLineEdit::returnPressed, this, [this, way] {
      returnTaken_ = true;
      (this->*way)();
    });
  };
  onReturn(name_, &LobbyWindow::playRobots);
  onReturn(hostPort_, &LobbyWindow::hostTable);
  onReturn(joinHost_, &LobbyWindow::joinServer);
  onReturn(joinPort_, &LobbyWindow::joinServer);
  connect(robots_, &QPushButton::clicked, this, &LobbyWindow::playRobots);
  connect(host_, &QPushButton::clicked, this, &LobbyWindow::hostTable);
  connect(join_, &QPushButton::clicked, this, &LobbyWindow::joinServer);
  connect(sit_, &QPushButton::clicked, this, &LobbyWindow::sitSelected);
  connect(watch_, &QPushButton::clicked, this, &LobbyWindow::watchSelected);
  connect(leave_, &QPushButton::clicked, this, &LobbyWindow::leaveTable);
  connect(sitAgain_, &QPushButton::clicked, this, &LobbyWindow::sitAgain);
  connect(tableList_, &QTableWidget::itemSelectionChanged, this, &LobbyWindow::selectionChanged);
  connect(tableList_, &QTableWidget::cellActivated, this, [this](int, int) {
    int table = 0, seat = 0;
    const SeatEntry* s = selectedSeat(&table, &seat);
    if (s && seatCanBeTaken(*s))
      sitSelected();
    else if (s && seatCanBeWatched(*s))
      watchSelected();
  });

  linkTimer_ = new QTimer(this);
  linkTimer_->setSingleShot(true);
  connect(linkTimer_, &QTimer::timeout, this, &LobbyWindow::serviceLink);
  reapTimer_ = new QTimer(this);
  reapTimer_->setInterval(200);
  connect(reapTimer_, &QTimer::timeout, this, [this] {
    const int status = reapIfEnded(client_);
    if (status >= 0) clientEnded(status);
  });
  refreshTimer_ = new QTimer(this);
  refreshTimer_->setInterval(kRefreshMs);
  connect(refreshTimer_, &QTimer::timeout, this, &LobbyWindow::refreshTableList);

  setMinimumWidth(560);
  robots_->setFocus();
  updateButtons();
  refreshReplays();
}

QString keptGameDate(const replay::KeptGame& g) {
  // A file without the game's start (an older writer, a damaged header) is
  // dated by its last write, which is near the game's end.
  const std::int64_t ms = g.header.startUnixMs > 0 ? g.header.startUnixMs : g.modifiedUnixMs;
  if (ms <= 0) return QStringLiteral("日期未知");
  return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

void LobbyWindow::refreshReplays() {
  kept_ = replay::ListReplays(options_.replaysFolder);
  replayList_->setRowCount(static_cast<int>(kept_.size()));
  for (std::size_t i = 0; i < kept_.size(); ++i) {
    const replay::KeptGame& g = kept_[i];
    const int row = static_cast<int>(i);
    const QString when = keptGameDate(g);
    QString players = Q(g.players).replace(QLatin1Char('|'), QStringLiteral("、"));
    if (players.isEmpty()) players = Q(g.header.account);
    if (g.header.watcher) players += QStringLiteral("（观看）");
    QString result = g.handResults.empty() ? QStringLiteral("—") : Q(g.handResults.back());
    if (g.damaged) result += QStringLiteral("（文件不完整）");
    const QString cells[] = {when, Q(g.header.caption), players, QString::number(g.hands), result};
    for (int col = 0; col < 5; ++col) {
      auto* item = new QTableWidgetItem(cells[col]);
      QStringList tip;
      for (std::size_t h = 0; h < g.handResults.size(); ++h)
        tip << QStringLiteral("第%1局：%2").arg(h + 1).arg(Q(g.handResults[h]));
      item->setToolTip(tip.join(QLatin1Char('\n')));
      replayList_->setItem(row, col, item);
    }
  }
  if (!kept_.empty() && replayList_->currentRow() < 0) replayList_->selectRow(0);
  playReplay_->setEnabled(replayList_->currentRow() >= 0);
}

// A replay is a window of its own that needs nothing of the lobby (no link,
// no server): it runs as a program of its own, and closing the lobby leaves
// it open until the user closes it. Its messages go to replay.log in the data
// folder, as the lobby's own output may be gone before it ends.
bool LobbyWindow::playReplay(int row) {
  if (row < 0 || row >= static_cast<int>(kept_.size())) return false;
  const std::string& path = kept_[static_cast<std::size_t>(row)].path;
  const std::filesystem::path data = std::filesystem::path(options_.replaysFolder).parent_path();
  const std::string log =
      ((data.empty() ? std::filesystem::path(".") : data) / "replay.log").string();
  std::string error;
  const pid_t pid = spawnDetached(options_.clientProgram,
                                  {options_.clientProgram, "--replay", path}, log, &error);
  if (pid <= 0) {
    std::fprintf(stderr, "lobby: %s\n", error.c_str());
    setStatus(QStringLiteral("无法启动牌桌程序 ") + Q(options_.clientProgram));
    return false;
  }
  std::fprintf(stderr, "lobby: replaying %s (pid %d, messages in %s)\n", path.c_str(),
               static_cast<int>(pid), log.c_str());
  // The name only: a whole path may be wider than the window.
  setStatus(QStringLiteral("正在播放录像 ") + Q(std::filesystem::path(path).filename().string()));
  lastReplayPid_ = pid;
  return true;
}

LobbyWindow::~LobbyWindow() {
  shutDown();
}

void LobbyWindow::shutDown() {
  reapTimer_->stop();
  // Replays are the user's own windows: they stay open when the lobby goes.
  if (client_ > 0) stopChild(client_);
  stopServer();
  if (spare_.pid > 0) stopChild(spare_.pid);
  spare_ = {};
  link_.close();
  notifiers_.clear();
}

bool LobbyWindow::start(std::string* error) {
  const std::string dir =
      options_.lobbyDirectory.empty() ? lobbyDirectory() : options_.lobbyDirectory;
  if (!link_.listen(dir, options_.caption, error)) return false;
  syncNotifiers();
  spawnRobotServer();
  return true;
}

QString LobbyWindow::statusText() const {
  return status_->text();
}

void LobbyWindow::setStatus(const QString& text) {
  if (text == status_->text()) return;
  status_->setText(text);
  std::fprintf(stderr, "lobby: %s\n", text.toUtf8().constData());
}

bool LobbyWindow::event(QEvent* e) {
  const bool taken = QWidget::event(e);
  // A part shown or hidden (the table list, the leave buttons) asks for a new layout.
  if (e->type() == QEvent::LayoutRequest || e->type() == QEvent::Show) fitToScreen();
  return taken;
}

void LobbyWindow::fitToScreen() {
  const QScreen* s = screen();
  if (s == nullptr || layout() == nullptr) return;
  // The title bar and border, once a window manager framed the window; until
  // then a title bar's worth.
  int frame = frameGeometry().height() - geometry().height();
  if (frame <= 0) frame = 2 * fontMetrics().height();
  const int room = s->availableGeometry().height() - frame;
  const bool tableListShown = !listBox_->isHidden();
  // What the window needs with both lists at their full height.
  int need = minimumSizeHint().height() + kReplayListHeight - replayList_->minimumHeight();
  if (tableListShown) need += kTableListHeight - tableList_->minimumHeight();
  int over = std::max(0, need - room);
  // A list keeps its header and two rows; the kept games give up rows first.
  const int fewest = replayList_->horizontalHeader()->sizeHint().height() +
                     2 * replayList_->verticalHeader()->defaultSectionSize() +
                     2 * replayList_->frameWidth();
  const auto shrink = [&](int full) {
    const int give = std::clamp(over, 0, std::max(0, full - fewest));
    over -= give;
    return full - give;
  };
  const int replayHeight = shrink(kReplayListHeight);
  const int tableHeight = tableListShown ? shrink(kTableListHeight) : kTableListHeight;
  if (replayList_->minimumHeight() != replayHeight) replayList_->setMinimumHeight(replayHeight);
  if (tableList_->minimumHeight() != tableHeight) tableList_->setMinimumHeight(tableHeight);
  if (height() > room) resize(width(), std::max(room, minimumSizeHint().height()));
}

void LobbyWindow::updateButtons() {
  const bool idle = client_ <= 0;
  name_->setEnabled(idle);
  robots_->setEnabled(idle);
  host_->setEnabled(idle && mode_ != Mode::Host);
  hostPort_->setEnabled(idle && mode_ != Mode::Host);
  join_->setEnabled(idle);
  joinHost_->setEnabled(idle);
  joinPort_->setEnabled(idle);
  leave_->setVisible(!idle);
  sitAgain_->setVisible(!idle);
  selectionChanged();
}

bool LobbyWindow::checkName() {
  const std::string problem = accountProblem(name_->text().toStdString());
  if (problem.empty()) return true;
  setStatus(Q(problem));
  name_->setFocus();
  return false;
}

void LobbyWindow::rememberFields() {
  settings().setValue("name", name_->text());
  settings().setValue("hostPort", hostPort_->text().toInt());
  settings().setValue("joinHost", joinHost_->text().trimmed());
  settings().setValue("joinPort", joinPort_->text().toInt());
  settings().sync();
}

// A table of one player starts at once (the pause exists for friends to sit
// down), and its server is already there when the button is pressed.
void LobbyWindow::spawnRobotServer() {
  std::string error;
  if (spare_.pid <= 0 &&
      !spawnServer(options_.serverProgram, "127.0.0.1", 0,
                   {"--start-pause", std::to_string(options_.startPauseMs)}, spare_, &error))
    std::fprintf(stderr, "lobby: %s\n", error.c_str());
}

void LobbyWindow::stopServer() {
  if (server_.pid > 0) stopChild(server_.pid);
  server_ = {};
}

// ---------------------------------------------------------------- the three ways

void LobbyWindow::playRobots() {
  if (client_ > 0 || !checkName()) return;
  rememberFields();
  hideTableList();
  stopServer();
  addresses_->hide();
  std::string error;
  // The robot table's server was started when the window opened.
  if (spare_.pid <= 0) spawnRobotServer();
  server_ = spare_;
  spare_ = {};
  const bool ready = server_.pid > 0 && serverReady("127.0.0.1", server_, &error);
  // One fresh try if the server started ahead is gone.
  if (!ready &&
      !startServer(options_.serverProgram, "127.0.0.1", 0,
                   {"--start-pause", std::to_string(options_.startPauseMs)}, server_, &error)) {
    setStatus(QStringLiteral("无法开桌：") + Q(error));
    return;
  }
  mode_ = Mode::Robots;
  HandOver h;
  h.account = name_->text().toStdString();
  h.key = "table=0;seat=0;pass=" + newSeatPass();
  h.host = "127.0.0.1";
  h.port = server_.port;
  h.location = "Qixo山庄 第1桌";
  setStatus(QStringLiteral("正在开桌：本机，机器人补空位…"));
  startClient(h);
}

void LobbyWindow::hostTable() {
  if (client_ > 0 || !checkName()) return;
  const int port = hostPort_->text().toInt();
  if (port < 1 || port > 65535) {
    setStatus(QStringLiteral("端口应为1到65535之间的数字。"));
    hostPort_->setFocus();
    return;
  }
  rememberFields();
  hideTableList();
  stopServer();
  std::string error;
  if (!startServer(options_.serverProgram, "0.0.0.0", port, {"--wait-for-start"}, server_,
                   &error)) {
    setStatus(QStringLiteral("无法开房间：端口 %1 可能已被别的程序占用，请换一个端口。（%2）")
                  .arg(port)
                  .arg(Q(error)));
    hostPort_->setFocus();
    return;
  }
  mode_ = Mode::Host;
  QStringList where;
  for (const QHostAddress& a : QNetworkInterface::allAddresses())
    if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
      where << a.toString() + ":" + QString::number(server_.port);
  addresses_->setText(
      where.isEmpty()
          ? QStringLiteral("房间已开在端口 %1，但本机没有网络地址：朋友无法加入。")
                .arg(server_.port)
          : QStringLiteral("房间已开。请朋友在“加入”里填写：%1（防火墙需放行TCP端口 %2）")
                .arg(where.join(QStringLiteral("，")))
                .arg(server_.port));
  addresses_->show();
  showTableList("127.0.0.1", server_.port);
  HandOver h;
  h.account = name_->text().toStdString();
  h.key = "table=0;pass=" + newSeatPass();
  h.host = "127.0.0.1";
  h.port = server_.port;
  h.location = "Qixo山庄 房间 第1桌";
  startClient(h);
}

void LobbyWindow::joinServer() {
  if (client_ > 0 || !checkName()) return;
  const QString host = joinHost_->text().trimmed();
  const int port = joinPort_->text().toInt();
  if (host.isEmpty() || host.contains('$')) {
    setStatus(QStringLiteral("请填写朋友的地址。"));
    joinHost_->setFocus();
    return;
  }
  if (port < 1 || port > 65535) {
    setStatus(QStringLiteral("端口应为1到65535之间的数字。"));
    joinPort_->setFocus();
    return;
  }
  rememberFields();
  mode_ = Mode::Join;
  addresses_->hide();
  showTableList(host, port);
}

// ---------------------------------------------------------------- the table list

void LobbyWindow::showTableList(const QString& host, int port) {
  listHost_ = host;
  listPort_ = port;
  tables_.clear();
  fillTableList();
  listTitle_->setText(
      QStringLiteral("%1:%2 的牌桌(&T)（选中座位后按“坐下”或“观看”）").arg(host).arg(port));
  listBox_->show();
  setStatus(QStringLiteral("正在连接 %1:%2 …").arg(host).arg(port));
  refreshTableList();
  refreshTimer_->start();
}

void LobbyWindow::hideTableList() {
  refreshTimer_->stop();
  listSummary_.clear();
  if (listSocket_) {
    listSocket_->disconnect(this);
    listSocket_->abort();
    listSocket_->deleteLater();
    listSocket_ = nullptr;
  }
  listBox_->hide();
  tables_.clear();
  if (mode_ == Mode::Join) mode_ = Mode::None;
}

void LobbyWindow::refreshTableList() {
  if (listSocket_) {
    // A slow answer (a name still being looked up, a far network) is given its time.
    if (!listAnswered_ && nowMs() - listStartedMs_ < kListTimeoutMs &&
        listSocket_->state() != QAbstractSocket::UnconnectedState)
      return;
    if (!listAnswered_)
      setStatus(QStringLiteral("无法连接 %1:%2：%3")
                    .arg(listHost_)
                    .arg(listPort_)
                    .arg(listSocket_->state() == QAbstractSocket::ConnectedState
                             ? QStringLiteral("服务器没有回答")
                             : listSocket_->errorString()));
    listSocket_->disconnect(this);
    listSocket_->abort();
    listSocket_->deleteLater();
    listSocket_ = nullptr;
  }
  listAnswered_ = false;
  listStartedMs_ = nowMs();
  listBytes_.clear();
  incoming_.clear();
  listSocket_ = new QTcpSocket(this);
  QTcpSocket* s = listSocket_;
  connect(s, &QTcpSocket::connected, this, [s] {
    const auto req = tableListRequest(0);
    s->write(reinterpret_cast<const char*>(req.data()), static_cast<qint64>(req.size()));
  });
  connect(s, &QTcpSocket::readyRead, this, &LobbyWindow::readTableList);
  connect(s, &QAbstractSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError) {
    if (s != listSocket_ || s->error() == QAbstractSocket::RemoteHostClosedError) return;
    setStatus(
        QStringLiteral("无法连接 %1:%2：%3").arg(listHost_).arg(listPort_).arg(s->errorString()));
    tables_.clear();
    fillTableList();
  });
  s->connectToHost(listHost_, static_cast<quint16>(listPort_));
}

void LobbyWindow::readTableList() {
  if (!listSocket_) return;
  // A list is at most a few dozen frames; a server that sends more is cut off.
  listBytes_ += listSocket_->readAll();
  if (listBytes_.size() > 1000 * static_cast<int>(kFrameBytes)) {
    listSocket_->abort();
    return;
  }
  while (listBytes_.size() >= static_cast<int>(kFrameBytes)) {
    const auto entry =
        decodeTableEntry(reinterpret_cast<const std::uint8_t*>(listBytes_.constData()));
    listBytes_.remove(0, static_cast<int>(kFrameBytes));
    if (!entry || entry->table != static_cast<int>(incoming_.size())) continue;
    incoming_.push_back(*entry);
  }
  if (incoming_.empty()) return;
  const int count = std::min(incoming_.front().tableCount, 1000);
  const int have = static_cast<int>(incoming_.size());
  if (have < count && have % protocol::kTableListMaxFrames == 0) {
    // The next page, after the server's spacing between two lists.
    QTcpSocket* s = listSocket_;
    QTimer::singleShot(250, s, [s, have] {
      const auto req = tableListRequest(have);
      s->write(reinterpret_cast<const char*>(req.data()), static_cast<qint64>(req.size()));
    });
  }
  tables_ = incoming_;
  fillTableList();
  if (have >= count) {
    // One line when what the list shows changes (scripts wait for it).
    std::string summary;
    for (const TableEntry& t : tables_) {
      summary += " [" + std::to_string(t.table + 1) + " " + stateText(t);
      for (const SeatEntry& seat : t.seats) summary += " " + seatText(seat);
      summary += "]";
    }
    if (summary != listSummary_) {
      listSummary_ = summary;
      std::fprintf(stderr, "lobby: tables of %s:%d:%s\n", listHost_.toUtf8().constData(), listPort_,
                   summary.c_str());
    }
  }
  if (have >= count) listAnswered_ = true;
  if (have >= count && client_ <= 0)
    setStatus(QStringLiteral("已连接 %1:%2，%3张桌。选一个座位坐下，或选一位玩家观看。")
                  .arg(listHost_)
                  .arg(listPort_)
                  .arg(count));
}

void LobbyWindow::fillTableList() {
  int keepRow = tableList_->currentRow(), keepColumn = tableList_->currentColumn();
  tableList_->setRowCount(static_cast<int>(tables_.size()));
  for (int r = 0; r < static_cast<int>(tables_.size()); ++r) {
    const TableEntry& t = tables_[static_cast<std::size_t>(r)];
    auto set = [&](int column, const QString& text, bool selectable) {
      auto* item = tableList_->item(r, column);
      if (!item) {
        item = new QTableWidgetItem;
        tableList_->setItem(r, column, item);
      }
      item->setText(text);
      item->setFlags(selectable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
    };
    set(0, QStringLiteral("第%1桌").arg(t.table + 1), false);
    QString state = Q(stateText(t));
    if (t.watchers > 0) state += QStringLiteral("，%1人观看").arg(t.watchers);
    set(1, state, false);
    for (int s = 0; s < 4; ++s) set(2 + s, Q(seatText(t.seats[s])), true);
  }
  if (keepRow >= 0 && keepRow < tableList_->rowCount() && keepColumn >= 2) {
    tableList_->setCurrentCell(keepRow, keepColumn);
  } else {
    // The first seat that can be taken is where the keyboard starts.
    for (int r = 0; r < static_cast<int>(tables_.size()) && tableList_->currentColumn() < 2; ++r)
      for (int seat = 0; seat < 4; ++seat)
        if (seatCanBeTaken(tables_[static_cast<std::size_t>(r)].seats[seat])) {
          tableList_->setCurrentCell(r, 2 + seat);
          break;
        }
  }
  selectionChanged();
}

const SeatEntry* LobbyWindow::selectedSeat(int* table, int* seat) const {
  const int row = tableList_->currentRow(), column = tableList_->currentColumn();
  if (!listBox_->isVisible() && listBox_->isHidden()) return nullptr;
  if (row < 0 || row >= static_cast<int>(tables_.size()) || column < 2 || column > 5)
    return nullptr;
  if (tableList_->selectedItems().isEmpty()) return nullptr;
  *table = tables_[static_cast<std::size_t>(row)].table;
  *seat = column - 2;
  return &tables_[static_cast<std::size_t>(row)].seats[column - 2];
}

void LobbyWindow::selectionChanged() {
  int table = 0, seat = 0;
  const SeatEntry* s = selectedSeat(&table, &seat);
  const bool idle = client_ <= 0;
  sit_->setEnabled(idle && s && seatCanBeTaken(*s));
  watch_->setEnabled(idle && s && seatCanBeWatched(*s));
}

void LobbyWindow::sitSelected() {
  int table = 0, seat = 0;
  const SeatEntry* s = selectedSeat(&table, &seat);
  if (client_ > 0 || !s || !seatCanBeTaken(*s) || !checkName()) return;
  rememberFields();
  HandOver h;
  h.account = name_->text().toStdString();
  h.key =
      "table=" + std::to_string(table) + ";seat=" + std::to_string(seat) + ";pass=" + newSeatPass();
  h.host = listHost_.toStdString();
  h.port = listPort_;
  h.location = "第" + std::to_string(table + 1) + "桌";
  startClient(h);
}

void LobbyWindow::watchSelected() {
  int table = 0, seat = 0;
  const SeatEntry* s = selectedSeat(&table, &seat);
  if (client_ > 0 || !s || !seatCanBeWatched(*s) || !checkName()) return;
  rememberFields();
  HandOver h;
  h.account = name_->text().toStdString();
  h.key = "watch=" + std::to_string(table) + ";seat=" + std::to_string(seat);
  h.host = listHost_.toStdString();
  h.port = listPort_;
  h.location = "第" + std::to_string(table + 1) + "桌 观看";
  h.watchUserId = s->userId;
  startClient(h);
}

// ---------------------------------------------------------------- the client

void LobbyWindow::startClient(const HandOver& given) {
  HandOver h = given;
  h.lobbyCaption = options_.caption;
  if (h.key.find("pass=") != std::string::npos && h.key.size() < 6 + 32) {
    setStatus(QStringLiteral("没有随机数来源，无法入座。"));
    return;
  }
  const std::string line = commandLine(h);
  client_ = spawnProgram(options_.clientProgram, {options_.clientProgram, line});
  if (client_ <= 0) {
    setStatus(QStringLiteral("无法启动牌桌程序 ") + Q(options_.clientProgram));
    if (mode_ != Mode::Join) stopServer();
    return;
  }
  std::fprintf(stderr, "lobby: started %s %s\n", options_.clientProgram.c_str(), line.c_str());
  setStatus(QStringLiteral("正在进入牌桌 %1:%2 …").arg(Q(h.host)).arg(h.port));
  reapTimer_->start();
  updateButtons();
}

void LobbyWindow::clientEnded(int status) {
  reapTimer_->stop();
  client_ = -1;
  std::fprintf(stderr, "lobby: client ended with status %d\n", status);
  refreshReplays();  // the game just played is kept now
  QString text = QStringLiteral("牌桌已关闭。");
  if (mode_ == Mode::Robots || mode_ == Mode::Host) {
    stopServer();
    if (mode_ == Mode::Robots) spawnRobotServer();
    if (mode_ == Mode::Host) {
      text = QStringLiteral("牌桌已关闭，房间也已关闭。");
      hideTableList();
      addresses_->hide();
    }
    mode_ = Mode::None;
  }
  setStatus(text);
  showNormal();
  raise();
  activateWindow();
  updateButtons();
}

void LobbyWindow::leaveTable() {
  if (client_ <= 0) return;
  if (link_.broadcast({kClear, 0, 0}))
    setStatus(QStringLiteral("正在离开牌桌…"));
  else
    setStatus(QStringLiteral("牌桌程序还没有连上大厅。"));
}

void LobbyWindow::sitAgain() {
  if (client_ <= 0) return;
  if (link_.broadcast({kEndSession, 0, 0}))
    setStatus(QStringLiteral("正在重新坐下…"));
  else
    setStatus(QStringLiteral("牌桌程序还没有连上大厅。"));
}

void LobbyWindow::onLobbyMessage(const Message& m) {
  switch (m.msg) {
    case kSysCommand:
      if (m.wParam == kRestore) {
        showNormal();
        raise();
        activateWindow();
      } else if (m.wParam == kMinimise) {
        showMinimized();
      }
      break;
    case kEndSession:
      setStatus(QStringLiteral("正在登录牌桌…"));
      break;
    case kClear:
      setStatus(QStringLiteral("已进入牌桌。"));
      break;
    case kUser:
      setStatus(QStringLiteral("已离开牌桌。按“重新坐下”回到牌桌。"));
      break;
    case kHandInProgress:
      setStatus(QStringLiteral("牌局进行中，本局结束后才能离开。"));
      break;
    case kLoginUnderWay:
      setStatus(QStringLiteral("正在登录，请稍后再试。"));
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- the link

void LobbyWindow::serviceLink() {
  link_.service(nowMs());
  syncNotifiers();
}

void LobbyWindow::syncNotifiers() {
  const std::vector<int> fds = link_.descriptors();
  for (auto it = notifiers_.begin(); it != notifiers_.end();) {
    if (std::find(fds.begin(), fds.end(), it->first) == fds.end())
      it = notifiers_.erase(it);
    else
      ++it;
  }
  for (int fd : fds) {
    if (notifiers_.count(fd)) continue;
    auto n = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(n.get(), &QSocketNotifier::activated, this, &LobbyWindow::serviceLink);
    notifiers_[fd] = std::move(n);
  }
  const int t = link_.timeoutMs(nowMs());
  if (t >= 0)
    linkTimer_->start(t);
  else
    linkTimer_->stop();
}

// ---------------------------------------------------------------- keys

void LobbyWindow::keyPressEvent(QKeyEvent* e) {
  const int key = e->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (returnTaken_) {
      returnTaken_ = false;
      return;
    }
    QWidget* f = focusWidget();
    if (auto* b = qobject_cast<QPushButton*>(f)) {
      b->click();
    } else if (f == tableList_) {
      int table = 0, seat = 0;
      const SeatEntry* s = selectedSeat(&table, &seat);
      if (s && seatCanBeTaken(*s)) sitSelected();
      if (s && seatCanBeWatched(*s)) watchSelected();
    } else {
      playRobots();
    }
    return;
  }
  if (key == Qt::Key_Escape) {
    // Back one step: out of a friend's list, else the window closes (not while
    // a table runs: the client's own window ends that).
    if (client_ > 0) return;
    if (listBox_->isVisible() && mode_ == Mode::Join) {
      hideTableList();
      setStatus(QStringLiteral("请选择：与机器人对局、开房间，或加入朋友的房间。"));
      joinHost_->setFocus();
      return;
    }
    close();
    return;
  }
  QWidget::keyPressEvent(e);
}

void LobbyWindow::closeEvent(QCloseEvent* e) {
  if (client_ > 0) {
    // The table comes first: its own window says how to leave it.
    setStatus(QStringLiteral("牌桌还开着：请先关闭牌桌窗口。"));
    e->ignore();
    return;
  }
  rememberFields();
  stopServer();
  e->accept();
}

}  // namespace tavren::lobby
