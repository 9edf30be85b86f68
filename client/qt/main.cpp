// tavrenmj: the table client. The lobby starts it with the thirteen "$"
// fields as its command line.
#include <QApplication>
#include <csignal>
#include <string>
#include <vector>

#include "core/client.h"
#include "qt/qt_platform.h"
#include "qt/world_paths.h"
#include "resources/pictures.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  // A peer that vanishes must not kill the client in the middle of a write.
  std::signal(SIGPIPE, SIG_IGN);

  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  const std::string commandLine = tavren::qt::JoinArguments(arguments);

  // The arguments are the lobby's hand-over, never options for Qt: a field
  // such as "-platform" must not choose a window system (or abort the client).
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Message boxes may be the only window open; closing one never ends the client.
  QApplication::setQuitOnLastWindowClosed(false);
  tavren::initPictures();

  tavren::qt::QtPlatform platform;
  tavren::Client client(platform);
  platform.attach(client);

  tavren::StartUp(client, commandLine);
  if (client.ended || platform.endRequested()) return 0;

  platform.mirrorWindow();
  QApplication::exec();
  tavren::ShutDown(client);
  return 0;
}
