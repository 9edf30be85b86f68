// tavrenmj: the table client. The lobby starts it with the thirteen "$"
// fields as its command line.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/client.h"
#include "qt/qt_platform.h"
#include "qt/world_paths.h"
#include "resources/pictures.h"
#include "shell/startup.h"

#ifndef TAVREN_VERSION
#define TAVREN_VERSION "0"
#endif

int main(int argc, char** argv) {
  // Asked by a person, not by the lobby (whose hand-over is one "$"-separated argument).
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf(
        "usage: tavrenmj ACCOUNT$KEY$HOST$PORT$CAPTION$MODE$PROXYHOST$PROXYPORT$USER$PASSWORD$"
        "UNATTENDED$LOBBY$MAIN$\n"
        "The table client. The lobby (tavrenmj-lobby) starts it with the thirteen fields of\n"
        "its hand-over as the only argument; a watcher's line has no final \"$\".\n"
        "  --help, --version   this text; the version\n"
        "Environment: TAVRENMJ_HOME (the folder for the record and phrase files; by default\n"
        "$XDG_DATA_HOME/tavrenmj/table when installed), TAVREN_LOBBY_DIR, TAVRENMJ_INSTANCE.\n");
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("tavrenmj %s\n", TAVREN_VERSION);
    return 0;
  }
  // A peer that vanishes must not kill the client in the middle of a write.
  std::signal(SIGPIPE, SIG_IGN);
  // Without a sound card the client starts silently and plays without sound.
  tavren::qt::QuietSoundLibraryMessages();

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
