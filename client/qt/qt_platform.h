// The real world: Qt's event loop drives the core's timers, QTcpSocket carries
// the frames, a Unix socket carries the lobby link and SDL2_mixer plays sound.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "qt/sdl_sound.h"

class QTcpSocket;
class QTimer;

namespace tavren {
struct Client;
}

namespace tavren::qt {

class LobbyLink;
class TableWindow;

class QtPlatform : public QObject, public Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;

  // The core whose event entries the platform's events go to.
  void attach(Client& c);
  TableWindow& mainWindow() { return *window_; }
  bool endRequested() const { return endRequested_; }
  // Brings every window in line with the scene. Runs after every event the
  // platform hands to the core, so no change of the scene waits for another event.
  void mirrorWindow();
  // Runs one core event entry, guarded, then mirrors the scene.
  void event(const std::function<void()>& entry);

  PixelSize screenSize() override;
  std::int64_t nowMillis() override;
  LocalTime localTime() override;
  void setTimer(TimerId id, int intervalMs, bool enabled) override;
  void processEvents(std::int64_t untilMillis, int maxEvents) override;
  void pause(int ms) override;

  void socketConnect(const std::string& host, std::uint16_t port) override;
  int socketState() override;
  void socketSend(const std::uint8_t* data, std::size_t size) override;
  void socketClose() override;

  bool lobbyFind(const std::string& caption) override;
  void lobbySend(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) override;
  void lobbyPost(std::uint32_t message, std::uint32_t wParam, std::uint32_t lParam) override;

  void messageBox(const std::string& title, const std::string& text) override;
  void requestEnd() override;
  void releaseFreeMemory() override;
  std::string programFolder() override;
  bool acquireInstanceLock() override;
  void openUrl(const std::string& url) override;
  SoundDevice& sound() override { return sound_; }

 private:
  // Hands one event to the core.
  template <class F>
  void Deliver(F&& entry);
  void newSocket();
  void onReadyRead();
  void onDisconnected();

  Client* client_ = nullptr;
  QElapsedTimer clock_;
  std::array<QTimer*, kTimerCount> timers_{};
  QTcpSocket* socket_ = nullptr;
  bool peerClosed_ = false;     // the peer closed; we have not closed our side yet
  bool connectFailed_ = false;  // the last connection attempt failed
  bool connectedOnce_ = false;  // the last connection attempt succeeded
  std::unique_ptr<LobbyLink> lobby_;
  std::unique_ptr<TableWindow> window_;
  SdlSound sound_;
  int lockFd_ = -1;
  bool endRequested_ = false;
  bool printMessageBoxes_ = false;
  std::string sceneSummary_;  // $TAVRENMJ_SCENE_DUMP: where the scene summary goes
};

}  // namespace tavren::qt
