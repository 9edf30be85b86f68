// Recording the game the client plays or watches: every frame received and
// sent, each hand's start and end and the link's losses, appended to one
// replay file per game. The client reaches it through Client::recorder, which
// is null when nothing is recorded (tests, the replay player).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "replay/replay_file.h"

namespace tavren {

struct Client;

// How many kept games stay: oldest first out once either bound is passed.
struct RecordSettings {
  int keepGames = 200;
  std::uint64_t keepBytes = std::uint64_t{200} << 20;
};

inline constexpr int kDefaultKeepGames = 200;
inline constexpr int kDefaultKeepMegabytes = 200;
// Settings keys (section "replay" of the settings file).
inline constexpr const char* kKeepGamesKey = "replay/keepGames";
inline constexpr const char* kKeepMegabytesKey = "replay/keepMegabytes";

// Bounds a settings value to what makes sense; a missing or bad one is the default.
RecordSettings MakeRecordSettings(long keepGames, long keepMegabytes);

struct Recorder {
  std::string folder;  // <data folder>/replays
  RecordSettings settings;
  std::string programVersion;
  replay::Writer writer;
  std::int64_t startMillis = 0;  // the platform clock at the game's start
  bool gameOpen = false;         // a game is under way (its file may have been refused)
  bool dirty = false;            // entries wait in the writer's buffer
  std::string untold;            // why recording stopped, not yet shown
  // The receive ring's read position up to which its frames are recorded:
  // frames are kept as they leave the ring, not on the way to the dispatcher.
  std::uint32_t seenRead = 0;
};

// Records from now on into `folder` (made when missing).
void EnableRecording(Client& c, const std::string& folder, const RecordSettings& settings,
                     const std::string& programVersion);

// The clock entries are stamped with (the platform's, so virtual in tests).
std::int64_t RecordClock(Client& c);

// The game frames the pump has taken off the receive ring since the last call,
// each with its arrival time. Called at the end of every tick and before
// anything else is recorded, before bytes are added to the ring and before it
// drops frames, so nothing is lost and the order is the order of handling; the
// decoder and the dispatcher themselves carry no cost of recording.
void RecordTaken(Client& c);
// The ring dropped its unread frames (cleared for a new hand, a resume or the
// lobby): they were never handled and are not kept. Call RecordTaken first.
void RecordRingReset(Client& c);
// A chat line set aside, handed to the dispatcher; `arrivalMs` is RecordClock()
// when it arrived whole. A frame that starts a hand gets its HandStart first.
void RecordReceived(Client& c, const std::uint8_t* frame, std::int64_t arrivalMs);
// A frame written to the socket. The login key never reaches the file.
void RecordSent(Client& c, const std::uint8_t* frame);
// The link was lost (false) or stands again for a resume (true).
void RecordLink(Client& c, bool up);
// The hand is settled: the players in seat order and its result.
void RecordHandEnd(Client& c, bool drawn);
// What a HandEnd entry says of the hand just settled: the players in seat
// order ("a|b|c|d") and the result (the winners and their points, or 流局).
std::string HandEndPlayers(const Client& c);
std::string HandEndResult(const Client& c, bool drawn);
// Writes what the tick appended: a crash loses at most what came since.
void FlushRecording(Client& c);
// The game is over (back to the lobby, or the end): its file is closed.
void EndRecordedGame(Client& c);

// Does this frame start a hand (a new hand, or a hand joined under way)?
bool StartsHand(const std::uint8_t* frame);

}  // namespace tavren
