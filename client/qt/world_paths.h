// Pure helpers of the real world: where the lobby link and the instance lock
// live, how mixer volume follows a level in hundredths of a decibel, and how
// the process arguments become the command line. No Qt, no SDL, so they can
// be tested on their own.
#pragma once

#include <string>
#include <string_view>
#include <utility>
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

// $XDG_RUNTIME_DIR/<name>-<uid>.lock, <name> being $TAVRENMJ_INSTANCE when
// set, else "tavrenmj". Without a runtime folder the lock lives in a folder
// of the user's own, /tmp/tavrenmj-<uid>/<name>-<uid>.lock: /tmp is open to
// every user, and a name there could have been planted by another.
std::string InstanceLockPath(const char* runtimeDir, const char* instance, unsigned uid);

// Opens (creating it) the lock file at `path` for the single-instance lock:
// never through a link, only a plain file of the user's own, close-on-exec.
// A folder the lock needs that is missing is made for the user alone; one
// that is not the user's own, or that others may write, is not used. -1 when
// no lock file can be had.
int OpenInstanceLock(const std::string& path, unsigned uid);

// Mixer volume (0..128) for a level in hundredths of a decibel: 0 is full
// volume, every -2000 divides the amplitude by ten.
int MixVolumeFromHundredthsDb(int hundredthsDb);

// The command line as the core reads it: the arguments after the program's
// name joined by single blanks.
std::string JoinArguments(const std::vector<std::string>& arguments);

// The program folder: where the client writes its record file and finds the
// phrase file, with the sounds in ../common beside it.
//  - $TAVRENMJ_HOME when set: that folder, as it is.
//  - Installed (the package's data folder <exe>/../share/tavrenmj holds the
//    phrase file): <user data>/tavrenmj/table, where <user data> is
//    $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
//    The read-only data stays in the package's folder; links point to it:
//    <user data>/tavrenmj/common and table/chat.ini (kept when the user has a
//    file of their own there).
//  - Otherwise (a build folder): the executable's folder.
struct ProgramFolderPlan {
  std::string folder;
  // link path and what it points to; made when missing, renewed when it is a
  // link that points elsewhere, never made over a file or folder of the user's
  std::vector<std::pair<std::string, std::string>> links;
};

// <exeDir>/../share/tavrenmj with the ".." resolved by text.
std::string PackageDataFolder(const std::string& exeDir);

// Null pointers and empty values count as unset. `installed`: the package's
// data folder is there.
ProgramFolderPlan PlanProgramFolder(const char* tavrenHome, const char* dataHome, const char* home,
                                    const std::string& exeDir, bool installed);

// Makes the folder and its links. False, with the reason, when the folder
// cannot be made; a link that cannot be made is skipped (that data is missing).
bool PrepareProgramFolder(const ProgramFolderPlan& plan, std::string* error);

// Keeps the sound library's complaints off the terminal (a machine without a
// sound card makes ALSA print several lines when the sound device is opened;
// the client then plays without sound, as designed). Call before opening sound.
void QuietSoundLibraryMessages();

// All of it for this process: plans from the environment, prepares, and returns
// the folder without a trailing '/'. A folder that cannot be made is reported
// on standard error once and the executable's folder is used instead.
std::string ProgramFolderFor(const char* tavrenHome, const char* dataHome, const char* home,
                             const std::string& exeDir);

}  // namespace tavren::qt
