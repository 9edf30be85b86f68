// The lobby window (Qixo山庄): the player's name and three ways to a table: a
// robot table on this machine, a hosted table friends can join, or a friend's
// server with its table list. While the table client runs, this is the window
// the client minimises and restores through the lobby link.
#pragma once

#include <sys/types.h>

#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lobby/children.h"
#include "lobby/link_server.h"
#include "lobby/lobby_link.h"
#include "lobby/table_list.h"
#include "replay/replay_file.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSocketNotifier;
class QTableWidget;
class QTcpSocket;
class QTimer;

namespace tavren::lobby {

// The date a kept game is listed with: its start, else the file's last write,
// else 日期未知.
QString keptGameDate(const replay::KeptGame& g);

class LobbyWindow : public QWidget {
  Q_OBJECT

 public:
  struct Options {
    std::string caption = "Qixo山庄";
    std::string clientProgram;  // default: tavrenmj beside the lobby
    std::string serverProgram;  // default: tavrenmj-server beside the lobby
    std::string lobbyDirectory;
    int hostPort = 7753;   // the port offered for a hosted table
    int startPauseMs = 0;  // a robot table's pause before its first hand
    // Where the client keeps its games; default: the replays folder of the
    // client's data folder (the one holding its record file).
    std::string replaysFolder;
  };
  explicit LobbyWindow(Options options);
  ~LobbyWindow() override;

  // Listens on the lobby socket; false with the reason when it cannot.
  bool start(std::string* error);

  // The three ways to a table (the buttons call them; so can tests).
  void playRobots();
  void hostTable();
  void joinServer();
  // Takes the selected seat of the list, or watches its player.
  void sitSelected();
  void watchSelected();
  // While a client runs: ask it to leave the table, or to sit down again.
  void leaveTable();
  void sitAgain();

  // The kept games, newest first: read again, and one played in the table
  // window (tavrenmj --replay) beside whatever else runs, as a program of its
  // own that stays open when the lobby closes.
  void refreshReplays();
  bool playReplay(int row);
  const std::vector<replay::KeptGame>& keptGames() const { return kept_; }
  const std::string& replaysFolder() const { return options_.replaysFolder; }
  pid_t lastReplayPid() const { return lastReplayPid_; }

  // Stops the client and the table server this window started.
  void shutDown();

  bool clientRunning() const { return client_ > 0; }
  pid_t clientPid() const { return client_; }
  const std::vector<TableEntry>& tables() const { return tables_; }
  QString statusText() const;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool event(QEvent* e) override;

 private:
  bool checkName();
  void rememberFields();
  void startClient(const HandOver& h);
  void clientEnded(int status);
  void spawnRobotServer();
  void stopServer();
  void setStatus(const QString& text);
  void updateButtons();
  // On a screen too low for the whole window the lists give up rows first.
  void fitToScreen();
  void serviceLink();
  void syncNotifiers();
  void onLobbyMessage(const Message& m);
  // The table list of host:port, fetched again every few seconds while shown.
  void showTableList(const QString& host, int port);
  void hideTableList();
  void refreshTableList();
  void readTableList();
  void fillTableList();
  void selectionChanged();
  const SeatEntry* selectedSeat(int* table, int* seat) const;

  Options options_;
  LinkServer link_;
  std::map<int, std::unique_ptr<QSocketNotifier>> notifiers_;
  QTimer* linkTimer_ = nullptr;
  QTimer* reapTimer_ = nullptr;
  QTimer* refreshTimer_ = nullptr;

  QLineEdit* name_ = nullptr;
  QComboBox* tableSize_ = nullptr;
  QPushButton* robots_ = nullptr;
  QLineEdit* hostPort_ = nullptr;
  QPushButton* host_ = nullptr;
  QLineEdit* joinHost_ = nullptr;
  QLineEdit* joinPort_ = nullptr;
  QPushButton* join_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* addresses_ = nullptr;
  QWidget* listBox_ = nullptr;
  QLabel* listTitle_ = nullptr;
  QTableWidget* tableList_ = nullptr;
  QPushButton* sit_ = nullptr;
  QPushButton* watch_ = nullptr;
  QPushButton* leave_ = nullptr;
  QPushButton* sitAgain_ = nullptr;

  bool returnTaken_ = false;  // a field acted on the Enter the window gets too
  pid_t client_ = -1;
  ServerChild server_;
  ServerChild spare_;  // the next robot table's server, started ahead
  enum class Mode { None, Robots, Host, Join } mode_ = Mode::None;
  QString listHost_;
  int listPort_ = 0;
  QTcpSocket* listSocket_ = nullptr;
  QByteArray listBytes_;
  bool listAnswered_ = false;  // the last request got its whole list
  std::int64_t listStartedMs_ = 0;
  std::vector<TableEntry> tables_;
  std::vector<TableEntry> incoming_;
  std::string listSummary_;  // what the list showed, as last printed
  QTableWidget* replayList_ = nullptr;
  QPushButton* playReplay_ = nullptr;
  std::vector<replay::KeptGame> kept_;
  pid_t lastReplayPid_ = -1;
};

}  // namespace tavren::lobby
