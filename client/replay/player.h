// Playing a kept game again: the same client core, fed the recorded frames at
// their recorded pace in a world where nothing goes out. There is no socket and
// no lobby; what the client sends is swallowed; the record file, the settings
// and the replays folder are never written.
//
// The core runs in virtual time. The world around the player (the real window,
// or a test) only says how virtual time maps onto its own: at a speed the player
// sleeps the matching real time, as fast as possible it sleeps not at all, and a
// jump runs the earlier frames without drawing.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "replay/replay_file.h"

namespace tavren {
struct Client;
}

namespace tavren::replay {

// Speeds: ½× to 16×, or as fast as possible.
inline constexpr double kSlowest = 0.5;
inline constexpr double kFastest = 16;
inline constexpr double kAsFastAsPossible = 0;
// Above this speed sounds and voices are muted: they would only stutter.
inline constexpr double kMuteAbove = 4;

// What the player asks of the world around it.
class Host {
 public:
  virtual ~Host() = default;
  // A clock of the host's own (milliseconds, never jumping back).
  virtual std::int64_t realNow() = 0;
  // Sleeps until the host's clock reads `realMs` or one of the host's own
  // events came (a click on the bar), handling those events meanwhile.
  virtual void idleUntil(std::int64_t realMs) = 0;
  // The replay is paused: waits for the host's next event and handles it.
  // False when none can come (a test between its steps): the player returns.
  virtual bool idle() = 0;
  // Handles what is pending without waiting (the bar stays alive at top speed).
  virtual void poll() {}
  // The scene may have changed: bring the window in line with it.
  virtual void draw() {}
  // The core blocks for `realMs` without handling anything: shows the scene, then sleeps.
  virtual void block(std::int64_t realMs) { (void)realMs; }
  // The player's own state changed (position, hand, a note, the end).
  virtual void changed() {}
  // The sound device and the folder the sounds and the phrase file are read from.
  virtual SoundDevice& sound() = 0;
  virtual std::string programFolder() = 0;
  virtual PixelSize screenSize() { return {1280, 1024}; }
  virtual LocalTime localTime() { return {12, 0, 0}; }
  // A new core was made (at the start, and when a jump goes back): the host
  // attaches its window to it.
  virtual void attach(Client& c) { (void)c; }
};

// One hand of the kept game, for the hand list.
struct HandInfo {
  int number = 0;         // 1-based
  std::size_t entry = 0;  // index of its HandStart entry
  std::int64_t ms = 0;    // when it started, in the game's time
  std::string result;     // from its HandEnd entry; empty when the game stopped first
  std::string players;    // "a|b|c|d" in seat order, when the HandEnd entry names them
  bool ended = false;     // a HandEnd entry closed it
};

// The hands of a kept game, from its HandStart and HandEnd entries.
std::vector<HandInfo> ListHands(const ReadResult& file);

// The lobby's command line that starts the core for a kept game: the account,
// server and table of the recording; no key (none is kept); a watcher's line
// ends without "$" and names the watched player.
std::string ReplayCommandLine(const Header& h, std::int64_t watchedUserId);

class ReplayPlatform;

class Player {
 public:
  // `onNewClient` is called with every new core before it starts (a test
  // hooks its handlers there).
  Player(ReadResult file, Host& host, std::function<void(Client&)> onNewClient = {});
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  const Header& header() const { return file_.header; }
  const std::vector<Entry>& entries() const { return file_.entries; }
  const std::vector<HandInfo>& hands() const { return hands_; }
  // What was wrong with the file (empty when it is whole): the replay ends at
  // the last good frame.
  const std::string& fileError() const { return file_.error; }
  Client& client();
  ReplayPlatform& platform();

  // Controls. They take effect at once, from inside the running replay too.
  void setSpeed(double speed);  // kAsFastAsPossible, or kSlowest..kFastest
  double speed() const { return speed_; }
  bool muted() const;
  void setPaused(bool paused);
  bool paused() const { return paused_; }
  // One instruction forward, then paused.
  void step();
  // Runs to the start of hand `n` (1-based) without drawing; from there the
  // replay goes on as it was (paused or playing). Out of range does nothing.
  void jumpToHand(int n);
  // Ends the replay (the window closed).
  void stop();

  // Runs the replay until it ends, is stopped, or is paused while the host has
  // nothing to wait for. May be called again to go on.
  void run();

  // Where the replay stands.
  std::int64_t now() const;  // virtual ms since the replay's start
  std::size_t entriesDone() const { return cursor_; }
  int instructionsTaken() const;                     // game and chat frames the core has taken
  int currentHand() const { return handsStarted_; }  // 0 before the first hand
  bool finished() const { return finished_; }
  // Why the replay ended, for the user; empty while it runs or when the file
  // played to its end.
  const std::string& endText() const { return endText_; }
  // Things the stream said that the replay shows instead of acting on (a lost
  // link and its resume), newest last.
  const std::vector<std::string>& notes() const { return notes_; }
  // Whether the file holds every seat's hand (written by the server).
  bool fullGame() const { return file_.header.fullGame; }
  // The latest FullDeal entry delivered, empty before one.
  const std::vector<std::uint8_t>& fullDeal() const { return fullDeal_; }
  // Every seat's concealed tiles, from the server's file, as they stand where
  // the replay stands: a snapshot counts once the core has taken the frame it
  // was written before. Null before the first, in a file without any, and
  // where the file's snapshot was not a valid one (it is ignored).
  const SeatHands* seatHands();

  // Used by the platform: runs virtual time until `until`, pacing it.
  void runUntil(std::int64_t until);
  void blockFor(int ms);
  void endRequested();
  void messageBox(const std::string& title, const std::string& text);
  void loginSent();
  bool muteNow() const;

 private:
  struct Restart {};  // unwinds a running core that a jump back replaces
  struct Stop {};     // unwinds everything: the replay is over

  void start();
  void ensureStarted();
  void deliverNext();
  void scheduleNext();
  std::int64_t pace(std::int64_t target);
  void afterEvent();
  bool drained() const;
  void finish(std::string why);
  void note(std::string text);

  ReadResult file_;
  Host& host_;
  std::function<void(Client&)> onNewClient_;
  std::vector<HandInfo> hands_;
  std::int64_t watchedUserId_ = 0;
  std::unique_ptr<ReplayPlatform> platform_;
  std::unique_ptr<Client> client_;

  double speed_ = 1;
  bool paused_ = false;
  bool stepping_ = false;
  int stepTarget_ = 0;
  int jumpTarget_ = 0;    // hand to jump to, 0 none
  bool jumping_ = false;  // running without drawing towards jumpEntry_
  std::size_t jumpEntry_ = 0;
  bool stopRequested_ = false;
  bool restartRequested_ = false;
  int depth_ = 0;          // nested waits of the core
  bool anchored_ = false;  // virtual time runs from this pair of readings
  std::int64_t anchorReal_ = 0;
  std::int64_t anchorVirtual_ = 0;
  double blockCarry_ = 0;  // real time of blocking pauses not yet slept
  std::int64_t lastDraw_ = 0;
  int sincePoll_ = 0;

  std::size_t cursor_ = 0;  // next entry to deliver
  bool started_ = false;    // the core's login went out; the frames follow it
  std::int64_t base_ = 0;   // virtual time of the recording's moment 0
  int delivered_ = 0;       // frames handed to the core
  int handsStarted_ = 0;
  bool finished_ = false;
  bool ranOut_ = false;  // every entry delivered
  std::int64_t ranOutAt_ = 0;
  std::string endText_;
  std::vector<std::string> notes_;
  std::vector<std::uint8_t> fullDeal_;
  // Snapshots delivered and the instruction count from which each holds.
  std::deque<std::pair<int, SeatHands>> handsAhead_;
  std::optional<SeatHands> seatHands_;
};

// The platform of the replayed core: virtual time, timers, a socket that
// delivers the recorded frames and swallows what is sent, a lobby that is
// always there and hears nothing, and a sound device muted at high speed.
class ReplayPlatform : public Platform {
 public:
  ReplayPlatform(Player& player, Host& host);
  ~ReplayPlatform() override;
  ReplayPlatform(const ReplayPlatform&) = delete;
  ReplayPlatform& operator=(const ReplayPlatform&) = delete;

  // A private folder for the record file of the replayed game, removed with
  // the platform; empty when none could be made.
  const std::string& scratchFolder();

  // Virtual time and the events due.
  std::int64_t virtualNow() const { return now_; }
  void at(std::int64_t when, std::function<void()> fn);
  std::int64_t nextDue() const;  // INT64_MAX when nothing is due
  void runFirst();               // runs the first due event, the clock jumping to it
  void advanceTo(std::int64_t t) { now_ = std::max(now_, t); }
  bool empty() const { return queue_.empty(); }

  int sentFrames = 0;  // frames the core sent, swallowed
  std::vector<std::pair<std::string, std::string>> messageBoxes;

  PixelSize screenSize() override;
  std::int64_t nowMillis() override { return now_; }
  LocalTime localTime() override;
  void setTimer(TimerId id, int intervalMs, bool enabled) override;
  void processEvents(std::int64_t untilMillis, int maxEvents) override;
  void pause(int ms) override;
  void socketConnect(const std::string& host, std::uint16_t port) override;
  int socketState() override { return state_; }
  void socketSend(const std::uint8_t* data, std::size_t size) override;
  void socketClose() override;
  bool lobbyFind(const std::string&) override { return true; }
  void lobbySend(std::uint32_t, std::uint32_t, std::uint32_t) override {}
  void lobbyPost(std::uint32_t, std::uint32_t, std::uint32_t) override {}
  void messageBox(const std::string& title, const std::string& text) override;
  void requestEnd() override;
  std::string programFolder() override;
  bool acquireInstanceLock() override { return true; }  // beside a live client
  void openUrl(const std::string&) override {}
  SoundDevice& sound() override { return sound_; }

 private:
  class MutedSound : public SoundDevice {
   public:
    MutedSound(Player& p, Host& h) : player_(p), host_(h) {}
    bool open() override { return host_.sound().open(); }
    SoundResult playEffect(const std::string& path, bool looping) override;
    SoundResult stopEffect() override { return host_.sound().stopEffect(); }
    bool hasEffect() override { return host_.sound().hasEffect(); }
    SoundResult setEffectVolume(int v) override { return host_.sound().setEffectVolume(v); }
    SoundResult playVoice(int channel, const std::string& path, int v) override;

   private:
    Player& player_;
    Host& host_;
  };
  struct TimerSlot {
    int intervalMs = 0;
    bool enabled = false;
    std::uint64_t generation = 0;
  };
  void scheduleTimer(TimerId id);

  Player& player_;
  Host& host_;
  MutedSound sound_;
  std::map<std::pair<std::int64_t, std::uint64_t>, std::function<void()>> queue_;
  std::int64_t now_ = 0;
  std::uint64_t seq_ = 0;
  TimerSlot timers_[kTimerCount];
  int state_ = kSocketClosed;
  std::uint64_t connectSerial_ = 0;
  bool opened_ = false;
  std::string scratch_;
};

}  // namespace tavren::replay
