#include "qt/lobby_link.h"

#include <poll.h>
#include <sys/stat.h>

#include <QLocalSocket>
#include <QTimer>
#include <cstdio>
#include <utility>

#include "lobby/lobby_link.h"
#include "qt/world_paths.h"

namespace tavren::qt {

namespace {

constexpr int kRecordSize = 12;
// The lobby's socket is local: it either accepts at once or is not there.
constexpr int kConnectTimeoutMs = 1000;
// Records taken from the link per read, and handled per batch: a lobby that
// floods the client waits for it, and the client's other events (the game's
// frames, the pump) get their turn between batches.
constexpr qint64 kReadBufferBytes = 64 * kRecordSize;
constexpr int kRecordsPerBatch = 64;
constexpr int kBatchGapMs = 50;
// Answers waiting for a lobby that does not read, beyond what the system
// holds for it: past this the lobby counts as gone.
constexpr qint64 kUnwrittenLimit = 16 * 1024;

std::uint32_t GetU32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

void PutU32(char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

LobbyLink::LobbyLink(std::string directory, Handler onRecord, std::function<void()> onClosed,
                     QObject* parent)
    : QObject(parent),
      directory_(std::move(directory)),
      onRecord_(std::move(onRecord)),
      onClosed_(std::move(onClosed)) {}

LobbyLink::~LobbyLink() {
  drop();
}

void LobbyLink::drop() {
  if (socket_ == nullptr) return;
  QLocalSocket* s = socket_;
  socket_ = nullptr;
  s->disconnect(this);
  // Records the lobby wrote before it went are still its messages: they are
  // handled later from the event loop, never inside the caller's call.
  if (s->state() == QLocalSocket::ConnectedState) s->waitForReadyRead(0);
  pending_.append(s->readAll());
  pending_.truncate(pending_.size() - (pending_.size() - pendingAt_) % kRecordSize);
  if (!pending_.isEmpty())
    QMetaObject::invokeMethod(this, &LobbyLink::dispatchPending, Qt::QueuedConnection);
  s->abort();
  // The socket may be the sender of the signal being handled right now.
  s->deleteLater();
}

bool LobbyLink::peerGone() const {
  // A lobby that has gone may not have been noticed by the event loop yet;
  // asking the socket directly keeps "the window is there" honest.
  pollfd p{static_cast<int>(socket_->socketDescriptor()), POLLIN | POLLRDHUP, 0};
  if (p.fd < 0) return true;
  if (::poll(&p, 1, 0) <= 0) return false;
  return (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool LobbyLink::find(const std::string& caption) {
  if (socket_ != nullptr && caption == caption_ &&
      socket_->state() == QLocalSocket::ConnectedState && !peerGone())
    return true;
  drop();

  // A folder another local user could plant a socket in is not a lobby's.
  // (No folder at all is simply no lobby.)
  std::string why;
  struct stat st {};
  if (::lstat(directory_.c_str(), &st) != 0) return false;
  if (!tavren::lobby::privateDirectory(directory_, &why)) {
    if (!folderRefused_) std::fprintf(stderr, "tavrenmj: %s\n", why.c_str());
    folderRefused_ = true;
    return false;
  }

  auto* s = new QLocalSocket(this);
  const std::string path = LobbySocketPath(directory_, caption);
  s->connectToServer(QString::fromStdString(path));
  if (s->state() != QLocalSocket::ConnectedState && !s->waitForConnected(kConnectTimeoutMs)) {
    s->abort();
    s->deleteLater();
    return false;
  }
  s->setReadBufferSize(kReadBufferBytes);
  socket_ = s;
  caption_ = caption;
  connect(s, &QLocalSocket::readyRead, this, &LobbyLink::readRecords);
  connect(s, &QLocalSocket::disconnected, this, [this] {
    drop();
    if (onClosed_) onClosed_();
  });
  // Records may have come with the connection already.
  if (s->bytesAvailable() > 0)
    QMetaObject::invokeMethod(this, &LobbyLink::readRecords, Qt::QueuedConnection);
  return true;
}

void LobbyLink::write(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) {
  if (socket_ == nullptr || socket_->state() != QLocalSocket::ConnectedState) return;
  char record[kRecordSize];
  PutU32(record, message);
  PutU32(record + 4, wParam);
  PutU32(record + 8, lParam);
  socket_->write(record, kRecordSize);
  socket_->flush();
  if (socket_->bytesToWrite() > kUnwrittenLimit) {
    // A lobby that never reads its answers would grow the client without
    // bound: it counts as gone, as a lobby that closed the link does. The
    // news reaches the client from the event loop, not inside this write.
    drop();
    if (onClosed_)
      QMetaObject::invokeMethod(
          this, [this] { onClosed_(); }, Qt::QueuedConnection);
  }
}

void LobbyLink::readRecords() {
  // Records of a link that has gone are still handed on.
  const qint64 waiting = pending_.size() - pendingAt_;
  if (socket_ != nullptr && waiting < kReadBufferBytes)
    pending_.append(socket_->read(kReadBufferBytes - waiting));
  dispatchPending();
}

void LobbyLink::resumeLater() {
  if (resumeQueued_) return;
  resumeQueued_ = true;
  QTimer::singleShot(kBatchGapMs, this, [this] {
    resumeQueued_ = false;
    readRecords();
  });
}

void LobbyLink::dispatchPending() {
  // Each record is taken out before it is handled: the handler may wait with
  // events, and a nested read must not see the same record again. Records are
  // taken by offset and the buffer is cut once, so a long run of records costs
  // time in proportion to its length.
  int handled = 0;
  while (pending_.size() - pendingAt_ >= kRecordSize) {
    if (handled++ == kRecordsPerBatch) break;
    const char* r = pending_.constData() + pendingAt_;
    const std::uint32_t message = GetU32(r);
    const std::uint32_t wParam = GetU32(r + 4);
    const std::uint32_t lParam = GetU32(r + 8);
    pendingAt_ += kRecordSize;
    onRecord_(message, wParam, lParam);
  }
  pending_.remove(0, pendingAt_);
  pendingAt_ = 0;
  // More records wait, here or in the socket: the next batch comes later.
  if (pending_.size() >= kRecordSize || (socket_ != nullptr && socket_->bytesAvailable() > 0))
    resumeLater();
}

}  // namespace tavren::qt
