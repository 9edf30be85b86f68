// tavrenmj: the table client. The lobby starts it with the thirteen "$"
// fields as its command line.
#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/client.h"
#include "protocol/options.h"
#include "qt/qt_platform.h"
#include "qt/table_size.h"
#include "qt/table_window.h"
#include "qt/world_paths.h"
#include "resources/pictures.h"
#include "shell/startup.h"

#ifndef TAVREN_VERSION
#define TAVREN_VERSION "0"
#endif

namespace {

constexpr const char* kProgram = "tavrenmj";
constexpr int kUsageStatus = 2;  // as for any bad option (protocol/options.h)

void Usage() {
  std::printf(
      "usage: tavrenmj ACCOUNT$KEY$HOST$PORT$CAPTION$MODE$PROXYHOST$PROXYPORT$USER$PASSWORD$"
      "UNATTENDED$LOBBY$MAIN$\n"
      "The table client. The lobby (tavrenmj-lobby) starts it with the thirteen fields of\n"
      "its hand-over as the only argument; a watcher's line has no final \"$\".\n"
      "To play, start tavrenmj-play: the lobby window, with a table against robots, a\n"
      "table of your own for friends, or a friend's table to join.\n"
      "  --help, --version   this text; the version\n"
      "Environment: TAVRENMJ_HOME (the folder for the record and phrase files; by default\n"
      "$XDG_DATA_HOME/tavrenmj/table when installed), TAVREN_LOBBY_DIR, TAVRENMJ_INSTANCE,\n"
      "TAVRENMJ_TABLE_SIZE (100, 125, 150, 200 or fit: the table size of the lobby window).\n");
}

// A person typed the command: what is wrong, and how a table is started.
void TellHowToStart(const std::string& problem) {
  std::fprintf(stderr,
               "%s: %s\n"
               "The lobby starts this program. To play, run tavrenmj-play (the lobby window),\n"
               "or tavrenmj-play --robots for a table against robots on this machine.\n"
               "Try '%s --help' for more information.\n",
               kProgram, problem.c_str(), kProgram);
}

// What the command line is. A lobby's hand-over always holds "$"; anything
// else was typed by a person (or is an option).
enum class Start { HandOver, BadHandOver, Answered, Refused, NoArgument };

Start Classify(int argc, char** argv, const std::string& commandLine) {
  const std::size_t b = commandLine.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return Start::NoArgument;
  if (commandLine.find('$') != std::string::npos) {
    const std::size_t e = commandLine.find_last_not_of(" \t\r\n");
    if (tavren::ParseHandOver(commandLine.substr(b, e - b + 1))) return Start::HandOver;
    TellHowToStart(
        "the command line is not a lobby's hand-over (thirteen fields, each ended by '$')");
    return Start::BadHandOver;
  }
  tavren::options::Parser p(kProgram, argc, argv);
  while (p.next()) {
    if (p.is("--help", "-h")) {
      if (!p.flag()) break;
      Usage();
      return Start::Answered;
    }
    if (p.is("--version")) {
      if (!p.flag()) break;
      std::printf("tavrenmj %s\n", TAVREN_VERSION);
      return Start::Answered;
    }
    p.unknown();
  }
  TellHowToStart(p.failed() ? p.message() : "no hand-over from the lobby on the command line");
  return Start::Refused;
}

// Where a message box can be seen: not in a terminal (the lines above said it
// there), and only with a window system to show it on.
bool BoxCanBeSeen() {
  if (isatty(STDERR_FILENO)) return false;
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(v);
    if (value != nullptr && value[0] != '\0') return true;
  }
  return false;
}

// The table size from the user's settings (or the variable that overrides them
// for one run), as far as the screen the window opens on holds it.
double ChosenTableZoom() {
  QString key = qEnvironmentVariable(tavren::qt::kTableSizeVariable);
  const bool fromVariable = !key.isEmpty();
  if (!fromVariable) {
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, "tavrenmj", "lobby");
    key = settings.value(tavren::qt::kTableSizeSetting).toString();
  }
  if (key.isEmpty()) key = QString::fromUtf8(tavren::qt::kDefaultTableSize.data());
  auto choice = tavren::qt::FindTableSize(key.toStdString());
  if (!choice) {
    std::fprintf(stderr, "%s: unknown table size \"%s\" %s; the table is drawn at 100%%\n",
                 kProgram, key.toLocal8Bit().constData(),
                 fromVariable ? "in TAVRENMJ_TABLE_SIZE" : "in the settings");
    choice = tavren::qt::FindTableSize(tavren::qt::kDefaultTableSize);
  }
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr || !choice) return 1.0;
  const QRect free = screen->availableGeometry();
  return tavren::qt::TableZoom(*choice, free.width(), free.height());
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  const std::string commandLine = tavren::qt::JoinArguments(arguments);

  const Start start = Classify(argc, argv, commandLine);
  switch (start) {
    case Start::Answered:
      return 0;
    case Start::Refused:
      return kUsageStatus;
    case Start::NoArgument:
      TellHowToStart("no hand-over from the lobby on the command line");
      // Started from a desktop (a file manager, a menu): the box says it too.
      if (!BoxCanBeSeen()) return kUsageStatus;
      break;
    case Start::BadHandOver:  // the lobby is restored, as for any bad hand-over
    case Start::HandOver:
      break;
  }

  // A peer that vanishes must not kill the client in the middle of a write.
  std::signal(SIGPIPE, SIG_IGN);
  // Without a sound card the client starts silently and plays without sound.
  tavren::qt::QuietSoundLibraryMessages();

  // The arguments are the lobby's hand-over, never options for Qt: a field
  // such as "-platform" must not choose a window system (or abort the client).
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  // Message boxes may be the only window open; closing one never ends the client.
  QApplication::setQuitOnLastWindowClosed(false);
  tavren::initPictures();

  tavren::qt::QtPlatform platform;
  platform.mainWindow().setZoom(ChosenTableZoom());
  tavren::Client client(platform);
  platform.attach(client);

  tavren::StartUp(client, commandLine);
  const int status = start == Start::HandOver ? 0 : kUsageStatus;
  if (client.ended || platform.endRequested()) return status;

  platform.mirrorWindow();
  QApplication::exec();
  tavren::ShutDown(client);
  return status;
}
