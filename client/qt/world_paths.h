// Pure helpers of the real world: where the lobby link and the instance lock
// live, how mixer volume follows a level in hundredths of a decibel, and how
// the process arguments become the command line. No Qt, no SDL, so they can
// be tested on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavren::qt {

// Every byte of the UTF-8 caption outside A-Z a-z 0-9 . _ - becomes %XX
// (upper-case hex), so any caption is one safe file name.
std::string PercentEncodeCaption(std::string_view caption);

// The lobby link's folder: $TAVREN_LOBBY_DIR when set, else
// $XDG_RUNTIME_DIR/tavren-lobby, else /tmp/tavren-lobby-<uid>. Empty
// variables count as unset. Null pointers mean unset.
std::string LobbyDirectory(const char* lobbyDir, const char* runtimeDir, unsigned uid);

// <directory>/<caption percent-encoded>.sock
std::string LobbySocketPath(const std::string& directory, std::string_view caption);

// ${XDG_RUNTIME_DIR:-/tmp}/<name>-<uid>.lock, <name> being $TAVRENMJ_INSTANCE
// when set, else "tavrenmj".
std::string InstanceLockPath(const char* runtimeDir, const char* instance, unsigned uid);

// Mixer volume (0..128) for a level in hundredths of a decibel: 0 is full
// volume, every -2000 divides the amplitude by ten.
int MixVolumeFromHundredthsDb(int hundredthsDb);

// The command line as the core reads it: the arguments after the program's
// name joined by single blanks.
std::string JoinArguments(const std::vector<std::string>& arguments);

}  // namespace tavren::qt
