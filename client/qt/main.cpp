// tavrenmj: the table client. The lobby starts it with the thirteen "$"
// fields as its command line.
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
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
#include "qt/recording.h"
#include "qt/replay_view.h"
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
      "  --replay FILE [--speed X|max] [--hand N]\n"
      "                      play a kept game again in the table window (no server,\n"
      "                      nothing sent, nothing written); X from 0.5 to 16\n"
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
enum class Start { HandOver, BadHandOver, Answered, Refused, NoArgument, Replay };

// What the replay options asked for.
struct ReplayOptions {
  std::string file;
  double speed = 1;
  int hand = 0;
};

// Parses "--speed": a number from 0.5 to 16, or "max".
bool ParseSpeed(const std::string& v, double& speed) {
  if (v == "max") {
    speed = tavren::replay::kAsFastAsPossible;
    return true;
  }
  char* end = nullptr;
  const double x = std::strtod(v.c_str(), &end);
  if (v.empty() || end == nullptr || *end != '\0' || !(x >= tavren::replay::kSlowest) ||
      !(x <= tavren::replay::kFastest))
    return false;
  speed = x;
  return true;
}

Start Classify(int argc, char** argv, const std::string& commandLine, ReplayOptions& replay) {
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
    if (p.is("--replay")) {
      replay.file = p.value();
    } else if (p.is("--speed")) {
      const std::string v = p.value();
      if (!p.failed() && !ParseSpeed(v, replay.speed))
        p.error("invalid value '" + v + "' for '--speed': a number from 0.5 to 16, or max");
    } else if (p.is("--hand")) {
      replay.hand = static_cast<int>(p.number(1, 10000));
    } else {
      p.unknown();
    }
    if (p.failed()) break;
  }
  if (!p.failed() && !replay.file.empty()) return Start::Replay;
  if (!p.failed() && (replay.hand > 0 || replay.speed != 1))
    p.error("'--speed' and '--hand' go with '--replay FILE'");
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

// Plays a kept game in the table window. A file that cannot be read at all is
// said on stderr (and in a box when one can be seen); a damaged one plays to
// its last good frame and the bar says why it stopped.
static int RunReplay(char** argv, const ReplayOptions& o) {
  tavren::replay::ReadResult file = tavren::replay::ReadReplay(o.file);
  const bool windowSystem = std::getenv("DISPLAY") != nullptr ||
                            std::getenv("WAYLAND_DISPLAY") != nullptr ||
                            std::getenv("QT_QPA_PLATFORM") != nullptr;
  int qtArgc = 1;
  if (file.entries.empty()) {
    const std::string text = "无法播放录像 " + o.file + "：" +
                             (file.error.empty() ? std::string("文件中没有牌局") : file.error);
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
    const char* boxes = std::getenv("TAVRENMJ_MESSAGEBOX");
    if (boxes != nullptr && std::string(boxes) == "print") {
      std::fprintf(stderr, "messagebox: Tavren麻将: %s\n", text.c_str());
    } else if (BoxCanBeSeen()) {
      QApplication app(qtArgc, argv);
      QMessageBox::warning(nullptr, QStringLiteral("Tavren麻将"), QString::fromStdString(text));
    }
    return 1;
  }
  if (!file.error.empty())
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, o.file.c_str(), file.error.c_str());
  if (!windowSystem) {
    std::fprintf(stderr, "%s: no window system to play the replay in (DISPLAY is not set)\n",
                 kProgram);
    return 1;
  }
  tavren::qt::QuietSoundLibraryMessages();
  QApplication app(qtArgc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  tavren::initPictures();
  tavren::qt::SdlSound sound;
  const std::string folder = tavren::qt::ProgramFolderFor(
      std::getenv("TAVRENMJ_HOME"), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
      QCoreApplication::applicationDirPath().toStdString());
  tavren::qt::ReplayView view(std::move(file), sound, folder);
  view.window().setZoom(ChosenTableZoom());
  tavren::replay::Player& player = view.player();
  player.setSpeed(o.speed);
  if (o.hand > 0) {
    if (o.hand > static_cast<int>(player.hands().size()))
      std::fprintf(stderr, "%s: the game has %zu hands; playing from the start\n", kProgram,
                   player.hands().size());
    else
      player.jumpToHand(o.hand);
  }
  view.resume();
  QApplication::exec();
  return 0;
}

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  const std::string commandLine = tavren::qt::JoinArguments(arguments);

  ReplayOptions replay;
  const Start start = Classify(argc, argv, commandLine, replay);
  switch (start) {
    case Start::Replay:
      return RunReplay(argv, replay);
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
  // Every game is kept without the user doing anything.
  tavren::qt::StartRecording(client, platform.programFolder(), TAVREN_VERSION);

  tavren::StartUp(client, commandLine);
  const int status = start == Start::HandOver ? 0 : kUsageStatus;
  if (client.ended || platform.endRequested()) return status;

  platform.mirrorWindow();
  QApplication::exec();
  tavren::ShutDown(client);
  return status;
}
