#include "qt/qt_platform.h"

#include <fcntl.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTcpSocket>
#include <QThread>
#include <QTime>
#include <QTimer>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "core/client.h"
#include "qt/lobby_link.h"
#include "qt/scene_dump.h"
#include "qt/table_window.h"
#include "qt/trace.h"
#include "qt/world_paths.h"
#include "shell/startup.h"

namespace tavren::qt {

namespace {

bool EnvIs(const char* name, const char* value) {
  const char* v = std::getenv(name);
  return v != nullptr && std::string(v) == value;
}

}  // namespace

QtPlatform::QtPlatform() {
#if defined(__GLIBC__)
  // glibc raises its mmap and trim thresholds each time a large block (a
  // decoded picture, a backing store) is freed, until pictures of a few
  // megabytes live in the heap and its free top is never given back: a client
  // playing for hours then grows by what the picture churn left behind. Fixed
  // thresholds keep large pictures in blocks of their own, returned when freed.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024);
#endif
  clock_.start();
  printMessageBoxes_ = EnvIs("TAVRENMJ_MESSAGEBOX", "print");
  if (const char* path = std::getenv("TAVRENMJ_SCENE_DUMP")) sceneSummary_ = path;

  for (int i = 0; i < kTimerCount; ++i) {
    auto* t = new QTimer(this);
    const auto id = static_cast<TimerId>(i);
    // The pump's 50 ms beat must not be coarsened to the 5% slack of a coarse timer.
    t->setTimerType(Qt::PreciseTimer);
    connect(t, &QTimer::timeout, this, [this, id] {
      if (client_ == nullptr) return;
      event([&] { OnTimer(*client_, id); });
    });
    timers_[static_cast<std::size_t>(i)] = t;
  }

  newSocket();

  lobby_ = std::make_unique<LobbyLink>(
      LobbyDirectory(std::getenv("TAVREN_LOBBY_DIR"), std::getenv("XDG_RUNTIME_DIR"), getuid()),
      [this](std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
        if (client_ == nullptr) return;
        event([&] { OnLobbyMessage(*client_, message, wParam, lParam); });
      },
      [this] {
        // The lobby went: between tables the client ends rather than linger.
        if (client_ == nullptr) return;
        event([&] { OnLobbyLinkClosed(*client_); });
      });

  window_ =
      std::make_unique<TableWindow>([this](const std::function<void()>& entry) { event(entry); });
}

QtPlatform::~QtPlatform() {
  if (socket_ != nullptr) {
    socket_->disconnect(this);
    socket_->abort();
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

void QtPlatform::newSocket() {
  socket_ = new QTcpSocket(this);
  connect(socket_, &QTcpSocket::readyRead, this, &QtPlatform::onReadyRead);
  connect(socket_, &QTcpSocket::disconnected, this, &QtPlatform::onDisconnected);
  connect(socket_, &QTcpSocket::connected, this, [this] { connectedOnce_ = true; });
  connect(socket_, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
    // A failure before the connection stood is a failed attempt; a failure of
    // a standing connection ends in disconnected().
    if (!connectedOnce_) connectFailed_ = true;
  });
}

// ---- clock, timers, event processing --------------------------------------

std::int64_t QtPlatform::nowMillis() {
  return clock_.elapsed();
}

LocalTime QtPlatform::localTime() {
  const QTime t = QTime::currentTime();
  return LocalTime{t.hour(), t.minute(), t.second()};
}

void QtPlatform::setTimer(TimerId id, int intervalMs, bool enabled) {
  const int i = static_cast<int>(id);
  if (i < 0 || i >= kTimerCount) return;
  QTimer* t = timers_[static_cast<std::size_t>(i)];
  if (!enabled) {
    t->stop();
    return;
  }
  const int interval = intervalMs > 0 ? intervalMs : 1;
  if (t->isActive() && t->interval() == interval) return;
  t->start(interval);
}

void QtPlatform::processEvents(std::int64_t untilMillis, int maxEvents) {
  // What the core changed before waiting is drawn while it waits.
  mirrorWindow();
  // The deadline timer only wakes the wait; the wait itself sleeps in the
  // dispatcher until an event comes, never spinning.
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  int handled = 0;
  for (;;) {
    const std::int64_t left = untilMillis - nowMillis();
    if (left <= 0) {
      // Past the deadline: still let what is due run, without waiting.
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      return;
    }
    deadline.start(static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (endRequested_) return;
    if (maxEvents > 0 && ++handled >= maxEvents) return;
  }
}

void QtPlatform::pause(int ms) {
  // Show the table as it stands, then block without handling any event.
  mirrorWindow();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible()) w->repaint();
  if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

// ---- game socket -----------------------------------------------------------

void QtPlatform::socketConnect(const std::string& host, std::uint16_t port) {
  if (socket_->state() != QAbstractSocket::UnconnectedState) socketClose();
  peerClosed_ = false;
  connectFailed_ = false;
  connectedOnce_ = false;
  socket_->connectToHost(QString::fromStdString(host), port);
}

int QtPlatform::socketState() {
  switch (socket_->state()) {
    case QAbstractSocket::ConnectedState:
      return kSocketConnected;
    case QAbstractSocket::HostLookupState:
    case QAbstractSocket::ConnectingState:
    case QAbstractSocket::BoundState:
      return kSocketConnecting;
    case QAbstractSocket::ClosingState:
      return kSocketClosing;
    case QAbstractSocket::UnconnectedState:
    case QAbstractSocket::ListeningState:
      break;
  }
  if (peerClosed_) return kSocketClosing;
  if (connectFailed_) return kSocketError;
  return kSocketClosed;
}

void QtPlatform::socketSend(const std::uint8_t* data, std::size_t size) {
  if (socket_->state() != QAbstractSocket::ConnectedState || size == 0) return;
  socket_->write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  Trace("sent");
  socket_->flush();
}

void QtPlatform::socketClose() {
  // Our own close is never reported back as the peer's.
  socket_->blockSignals(true);
  if (socket_->state() == QAbstractSocket::ConnectedState && socket_->bytesToWrite() > 0)
    socket_->waitForBytesWritten(200);
  socket_->abort();
  socket_->blockSignals(false);
  peerClosed_ = false;
  connectFailed_ = false;
}

void QtPlatform::onReadyRead() {
  const QByteArray bytes = socket_->readAll();
  if (bytes.isEmpty() || client_ == nullptr) return;
  Trace("arrival");
  event([&] {
    OnDataArrival(*client_, reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                  static_cast<std::size_t>(bytes.size()));
  });
}

void QtPlatform::onDisconnected() {
  // The peer closed. Bytes that came with its close are still delivered first.
  peerClosed_ = true;
  if (socket_->bytesAvailable() > 0) onReadyRead();
  if (client_ != nullptr && peerClosed_) Deliver([&] { OnSocketClosed(*client_); });
  mirrorWindow();
}

template <class F>
void QtPlatform::Deliver(F&& entry) {
  // An exception must never cross Qt's event loop (that would terminate the
  // client on the spot): an unexpected failure of the core gets its usual
  // answer instead, the lobby restored and the client ended.
  try {
    entry();
  } catch (...) {
    RunEvent(*client_, [&] {
      RestoreLobby(*client_);
      EndProgram(*client_);
    });
  }
}

void QtPlatform::attach(Client& c) {
  client_ = &c;
  window_->attach(c);
}

void QtPlatform::mirrorWindow() {
  if (client_ == nullptr || endRequested_) return;
  // Mirroring runs core handlers too (the window's minimise and restore), so
  // it is guarded like any other event.
  Deliver([&] { window_->sync(); });
  if (!sceneSummary_.empty())
    WriteSceneSummary(*client_, sceneSummary_, {window_->zoom(), window_->devicePixelRatio()});
}

void QtPlatform::event(const std::function<void()>& entry) {
  if (client_ == nullptr) return;
  Deliver(entry);
  mirrorWindow();
}

PixelSize QtPlatform::screenSize() {
  // The screen the window is on (before it is shown: the one it will open on).
  const QScreen* screen = window_ != nullptr ? window_->screen() : nullptr;
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return Platform::screenSize();
  // In logical pixels (a scale factor of 2 halves them), and in table pixels of
  // a larger table: the screen-size rules see what the table has room for.
  const QSize size = screen->size();
  const double zoom = window_ != nullptr ? window_->zoom() : 1.0;
  return {static_cast<int>(size.width() / zoom), static_cast<int>(size.height() / zoom)};
}

// ---- lobby link ------------------------------------------------------------

bool QtPlatform::lobbyFind(const std::string& caption) {
  return lobby_->find(caption);
}

void QtPlatform::lobbySend(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
  lobby_->write(message, wParam, lParam);
}

void QtPlatform::lobbyPost(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
  lobby_->write(message, wParam, lParam);
}

// ---- the rest --------------------------------------------------------------

void QtPlatform::messageBox(const std::string& title, const std::string& text) {
  if (printMessageBoxes_) {
    std::fprintf(stderr, "messagebox: %s: %s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    return;
  }
  // What the core changed before it asked is on screen behind the box.
  mirrorWindow();
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok,
                  window_->isVisible() && !window_->isMinimized() ? window_.get() : nullptr);
  box.exec();
}

void QtPlatform::requestEnd() {
  if (endRequested_) return;
  endRequested_ = true;
  // Quit from the event loop itself, never from inside the core's call stack.
  // exit() rather than quit(): quit() asks the windows first, and the main
  // window refuses a close that the core did not decide.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void QtPlatform::releaseFreeMemory() {
#if defined(__GLIBC__)
  // Also the free pages between blocks still in use, which the heap's own
  // trimming of its top leaves resident.
  malloc_trim(0);
#endif
}

std::string QtPlatform::programFolder() {
  // $TAVRENMJ_HOME, the user's data folder of an installed client, or the build folder.
  return ProgramFolderFor(std::getenv("TAVRENMJ_HOME"), std::getenv("XDG_DATA_HOME"),
                          std::getenv("HOME"),
                          QCoreApplication::applicationDirPath().toStdString());
}

bool QtPlatform::acquireInstanceLock() {
  if (lockFd_ >= 0) return true;
  const std::string path =
      InstanceLockPath(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TAVRENMJ_INSTANCE"), getuid());
  const int fd = OpenInstanceLock(path, getuid());
  // A lock file that cannot be made says nothing about another instance.
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
  }
  lockFd_ = fd;  // held for the life of the process
  return true;
}

void QtPlatform::openUrl(const std::string& url) {
  // Addresses come from the server: only web pages are opened, never a file
  // or another program's scheme.
  const QUrl u(QString::fromStdString(url), QUrl::StrictMode);
  if (!u.isValid() || (u.scheme() != QLatin1String("http") && u.scheme() != QLatin1String("https")))
    return;
  QDesktopServices::openUrl(u);
}

}  // namespace tavren::qt
