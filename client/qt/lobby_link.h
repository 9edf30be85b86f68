// The lobby link: a Unix stream socket to the lobby window's socket file,
// carrying 12-byte records (message, wParam, lParam, little-endian) both ways.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

class QLocalSocket;

namespace tavren::qt {

class LobbyLink : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(std::uint32_t, std::uint32_t, std::uint32_t)>;

  // `directory` is the folder of the lobbies' socket files; `onRecord` gets
  // every record the lobby writes; `onClosed` runs when the lobby closes a
  // live link (never for a link this side drops).
  LobbyLink(std::string directory, Handler onRecord, std::function<void()> onClosed = {},
            QObject* parent = nullptr);
  ~LobbyLink() override;

  // True when a live link to the lobby with this caption stands, connecting
  // first when there is none. A refused or missing socket means no lobby.
  bool find(const std::string& caption);
  // Writes one record on the live link; nothing when there is none.
  void write(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam);

 private:
  void readRecords();
  void dispatchPending();
  void resumeLater();
  bool peerGone() const;
  void drop();

  std::string directory_;
  Handler onRecord_;
  std::function<void()> onClosed_;
  QPointer<QLocalSocket> socket_;
  std::string caption_;
  QByteArray pending_;
  bool folderRefused_ = false;  // said once on standard error
  qsizetype pendingAt_ = 0;     // records before this offset have been taken out
  bool resumeQueued_ = false;   // a later batch of records is due
};

}  // namespace tavren::qt
