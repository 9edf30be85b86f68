#include "qt/recording.h"

#include <QSettings>

#include "core/client.h"
#include "replay/recorder.h"

namespace tavren::qt {

void StartRecording(Client& c, const std::string& dataFolder, const std::string& programVersion) {
  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, "tavrenmj", "lobby");
  bool gamesOk = false, megabytesOk = false;
  const long games = settings.value(kKeepGamesKey, kDefaultKeepGames).toLongLong(&gamesOk);
  const long megabytes =
      settings.value(kKeepMegabytesKey, kDefaultKeepMegabytes).toLongLong(&megabytesOk);
  EnableRecording(c, replay::ReplayFolder(dataFolder),
                  MakeRecordSettings(gamesOk ? games : -1, megabytesOk ? megabytes : -1),
                  programVersion);
}

}  // namespace tavren::qt
