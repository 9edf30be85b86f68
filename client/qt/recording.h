// Recording in the real program: on for every game the client plays or
// watches, into <data folder>/replays, within the limits of the user's settings.
#pragma once

#include <string>

namespace tavren {
struct Client;
}

namespace tavren::qt {

// The settings file the lobby window and the client share
// ($XDG_CONFIG_HOME/tavrenmj/lobby.ini); keys "replay/keepGames" (default 200)
// and "replay/keepMegabytes" (default 200).
void StartRecording(Client& c, const std::string& dataFolder, const std::string& programVersion);

}  // namespace tavren::qt
