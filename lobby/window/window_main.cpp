#include "lobby/window/window_main.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <cstdio>

#include "lobby/window/lobby_window.h"

namespace tavren::lobby {

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  (void)!write(gSignalPipe[1], &c, 1);
}

}  // namespace

int runLobbyWindow(int argc, char** argv, const WindowStart& start) {
  signal(SIGPIPE, SIG_IGN);
  QApplication app(argc, argv);
  app.setApplicationName("tavrenmj");
  LobbyWindow::Options o;
  o.caption = start.caption;
  o.clientProgram = start.clientProgram;
  o.serverProgram = start.serverProgram;
  o.hostPort = start.hostPort;
  LobbyWindow window(o);
  std::string error;
  if (!window.start(&error)) {
    std::fprintf(stderr, "tavrenmj-lobby: %s\n", error.c_str());
    if (std::getenv("TAVRENMJ_MESSAGEBOX") == nullptr)
      QMessageBox::warning(nullptr, QString::fromStdString(start.caption),
                           QString::fromStdString("大厅无法启动：" + error));
    return 1;
  }
  // SIGTERM and SIGINT close the window as its close button does, so the
  // client and the table server it started end with it.
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalPipe) == 0) {
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
      char buf[16];
      while (read(gSignalPipe[0], buf, sizeof buf) > 0) {
      }
      window.shutDown();
      app.quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
  }
  window.show();
  return app.exec();
}

}  // namespace tavren::lobby
