// A kept game played again: the same core, fed the kept frames in virtual
// time, shows at every hand's end exactly what it showed in the game, sends
// nothing out and writes nothing.
#include "replay/player.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "core/client.h"
#include "support/recorded_game.h"

namespace tavren {
namespace {

using testing::LiveGame;
using testing::PlayLive;
using testing::QuietHost;
using testing::TempFolder;
using testing::Twist;

struct Replayed {
  testing::HandEndScenes scenes;
  std::unique_ptr<QuietHost> host = std::make_unique<QuietHost>();
  std::unique_ptr<replay::Player> player;
};

std::unique_ptr<Replayed> Replay(const replay::ReadResult& file) {
  auto r = std::make_unique<Replayed>();
  Replayed* raw = r.get();
  r->player = std::make_unique<replay::Player>(file, *r->host, [raw](Client& c) {
    raw->scenes = {};
    testing::TakeHandEndScenes(c, raw->scenes);
  });
  r->player->setSpeed(replay::kAsFastAsPossible);
  r->player->run();
  testing::ForgetScenes(r->player->client());
  return r;
}

struct Case {
  const char* name;
  std::uint64_t seed;
  int hands;
  Twist twist;
  bool drawnHand = false;  // a hand of the game ends drawn
};

class ReplayedGame : public ::testing::TestWithParam<Case> {};

std::vector<Frame> FramesOf(const replay::ReadResult& f, replay::EntryKind kind) {
  std::vector<Frame> out;
  for (const replay::Entry& e : f.entries) {
    if (e.kind != kind) continue;
    Frame frame{};
    EXPECT_EQ(e.bytes.size(), frame.size());
    std::copy_n(e.bytes.begin(), std::min(e.bytes.size(), frame.size()), frame.begin());
    out.push_back(frame);
  }
  return out;
}

// Index of the first frame where two runs part, or their common length.
std::size_t FirstDifference(const std::vector<Frame>& a, const std::vector<Frame>& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  return i;
}

TEST_P(ReplayedGame, ShowsTheSameSceneAndResultAtEveryHandEndAsTheLiveGame) {
  const Case& k = GetParam();
  const LiveGame live = PlayLive(k.seed, k.hands, k.twist);
  ASSERT_EQ(live.handsPlayed, k.hands);
  ASSERT_FALSE(live.keptEnded);
  if (k.twist == Twist::LostLink) {
    ASSERT_TRUE(live.linkDropped);
    ASSERT_GE(live.connectAttempts, 2) << "the client came back on a new connection";
  }
  ASSERT_GE(live.scenes.scenes.size(), static_cast<std::size_t>(k.hands))
      << "a result and a settlement per won hand";
  // A watcher who came in during the first hand sees that hand's end too.
  ASSERT_EQ(live.scenes.results.size(), static_cast<std::size_t>(k.hands));
  if (k.drawnHand) {
    ASSERT_NE(std::find(live.scenes.results.begin(), live.scenes.results.end(), "流局"),
              live.scenes.results.end());
  }

  // The client's recorder kept one file, whole, of the game as the core took it:
  // every frame it dispatched and every frame it wrote, in order, byte for byte
  // (the login key left out).
  ASSERT_EQ(live.keptFiles, 1);
  const replay::ReadResult& file = live.file;
  ASSERT_TRUE(file.ok()) << file.error;
  EXPECT_EQ(file.header.account, k.twist == Twist::Watcher ? "eve" : "amy");
  EXPECT_EQ(file.header.watcher, k.twist == Twist::Watcher);
  EXPECT_EQ(file.header.server, "127.0.0.1:7000");
  const std::vector<Frame> received = FramesOf(file, replay::EntryKind::Received);
  ASSERT_EQ(received.size(), live.scenes.dispatched.size());
  EXPECT_EQ(FirstDifference(received, live.scenes.dispatched), received.size())
      << "the kept frames part from those the core took";
  std::vector<Frame> sent = live.sent;
  for (Frame& f : sent)
    if (f[protocol::kTypeOffset] == protocol::kReqLogin ||
        f[protocol::kTypeOffset] == protocol::kReqResume)
      std::fill(f.begin() + protocol::kLoginKeyOffset, f.begin() + protocol::kTokenOffset, 0);
  const std::vector<Frame> keptSent = FramesOf(file, replay::EntryKind::Sent);
  ASSERT_EQ(keptSent.size(), sent.size());
  EXPECT_EQ(FirstDifference(keptSent, sent), sent.size());
  std::vector<std::uint8_t> links;
  for (const replay::Entry& e : file.entries)
    if (e.kind == replay::EntryKind::Link) links.push_back(e.bytes.empty() ? 9 : e.bytes[0]);
  EXPECT_EQ(links, (k.twist == Twist::LostLink ? std::vector<std::uint8_t>{0, 1}
                                               : std::vector<std::uint8_t>{}));

  const auto r = Replay(file);
  const replay::Player& p = *r->player;
  EXPECT_TRUE(p.finished());
  EXPECT_EQ(p.endText(), "");
  EXPECT_EQ(p.entriesDone(), file.entries.size());
  // The replayed core takes the same frames in the same order...
  ASSERT_EQ(r->scenes.dispatched.size(), live.scenes.dispatched.size());
  EXPECT_EQ(FirstDifference(r->scenes.dispatched, live.scenes.dispatched),
            live.scenes.dispatched.size());
  // ...and shows the same at every hand end, with the same results.
  ASSERT_EQ(r->scenes.scenes.size(), live.scenes.scenes.size());
  for (std::size_t i = 0; i < live.scenes.scenes.size(); ++i) {
    EXPECT_EQ(r->scenes.handNumbers[i], live.scenes.handNumbers[i]);
    EXPECT_EQ(r->scenes.scenes[i], live.scenes.scenes[i]) << "hand end " << i;
  }
  EXPECT_EQ(r->scenes.results, live.scenes.results);
  EXPECT_EQ(r->scenes.players, live.scenes.players);
  // The hand list: every hand the client saw start, with the result and the
  // players the live game settled it with.
  ASSERT_EQ(p.hands().size(), live.scenes.results.size());
  for (std::size_t i = 0; i < p.hands().size(); ++i) {
    const replay::HandInfo& h = p.hands()[i];
    EXPECT_TRUE(h.ended) << h.number;
    EXPECT_EQ(h.result, live.scenes.results[i]) << h.number;
    EXPECT_EQ(h.players, live.scenes.players[i]) << h.number;
  }
  // Nothing went out and nothing was written where the user keeps things.
  EXPECT_GT(r->player->platform().sentFrames, 0) << "the core did send; it was swallowed";
  EXPECT_TRUE(std::filesystem::is_empty(r->host->folder));
  if (k.twist == Twist::LostLink) {
    ASSERT_FALSE(p.notes().empty());
    EXPECT_NE(p.notes().front().find("连接中断"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ReplayedGame,
    ::testing::Values(Case{"seed5", 5, 3, Twist::None}, Case{"seed17", 17, 3, Twist::None},
                      Case{"seed29", 29, 2, Twist::None}, Case{"watcher", 23, 3, Twist::Watcher},
                      Case{"lostLink", 11, 3, Twist::LostLink},
                      Case{"drawnHand", 222, 4, Twist::None, true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// One game of four hands, kept once for the tests of the controls.
const LiveGame& FourHands() {
  static const LiveGame game = PlayLive(7, 4, Twist::None);
  return game;
}

TEST(ReplayControls, OneStepTakesOneInstructionAndPausesAgain) {
  QuietHost host;
  replay::Player p(FourHands().file, host);
  p.setPaused(true);
  p.run();  // paused from the start: nothing runs
  EXPECT_EQ(p.instructionsTaken(), 0);
  // A step takes the next game instruction; chat lines that came before it
  // are handed over in the same run of the pump.
  const auto gameTaken = [&] {
    int chat = 0;
    for (std::size_t i = 0; i < p.entriesDone(); ++i) {
      const replay::Entry& e = p.entries()[i];
      if (e.kind == replay::EntryKind::Received &&
          e.bytes[protocol::kTypeOffset] == protocol::kInsChat)
        ++chat;
    }
    const int chatTaken = chat - static_cast<int>(p.client().link.ChatLines.count);
    return p.instructionsTaken() - chatTaken;
  };
  for (int n = 1; n <= 30; ++n) {
    p.step();
    p.run();
    ASSERT_EQ(gameTaken(), n);
    EXPECT_TRUE(p.paused());
  }
  // Playing on from there reaches the end as a whole run does.
  p.setPaused(false);
  p.run();
  EXPECT_TRUE(p.finished());
  EXPECT_EQ(p.entriesDone(), FourHands().file.entries.size());
}

TEST(ReplayControls, TheSpeedScalesTheRealTimeAndMutesAboveFourTimes) {
  struct Case {
    double speed;
    bool muted;
  };
  for (const Case k :
       {Case{0.5, false}, Case{1, false}, Case{4, false}, Case{8, true}, Case{16, true}}) {
    QuietHost host;
    replay::Player p(FourHands().file, host);
    p.setSpeed(k.speed);
    p.run();
    ASSERT_TRUE(p.finished());
    // The real time slept is the game's time over the speed (the pauses are
    // rounded up to whole milliseconds, a few per hand).
    const double expected = static_cast<double>(p.now()) / k.speed;
    EXPECT_NEAR(static_cast<double>(host.clock), expected, expected * 0.01) << k.speed;
    EXPECT_EQ(p.muted(), k.muted);
    EXPECT_EQ(host.soundDevice.plays.empty(), k.muted) << k.speed;
  }
  // As fast as possible: no real time at all, and no sound.
  QuietHost host;
  replay::Player p(FourHands().file, host);
  p.setSpeed(replay::kAsFastAsPossible);
  p.run();
  EXPECT_TRUE(p.finished());
  EXPECT_EQ(host.clock, 0);
  EXPECT_TRUE(host.soundDevice.plays.empty());
}

TEST(ReplayControls, AJumpRunsToTheHandsStartWithoutDrawingForwardAndBack) {
  QuietHost host;
  testing::HandEndScenes scenes;
  replay::Player p(FourHands().file, host, [&](Client& c) {
    scenes = {};
    testing::TakeHandEndScenes(c, scenes);
  });
  ASSERT_EQ(p.hands().size(), 4u);
  p.jumpToHand(3);
  p.setPaused(true);
  const int drawsBefore = host.draws;
  p.run();
  EXPECT_EQ(p.currentHand(), 3);
  EXPECT_EQ(p.entriesDone(), p.hands()[2].entry + 1);
  EXPECT_EQ(host.clock, 0) << "no real time slept on the way";
  EXPECT_LE(host.draws - drawsBefore, 2) << "drawn once, where the jump ended";
  const std::vector<std::string> upToThree = scenes.scenes;
  ASSERT_FALSE(upToThree.empty());
  // Back to the first hand: the core starts afresh and replays the same.
  p.jumpToHand(1);
  p.run();
  EXPECT_EQ(p.currentHand(), 1);
  p.setSpeed(replay::kAsFastAsPossible);
  p.setPaused(false);
  p.run();
  EXPECT_TRUE(p.finished());
  ASSERT_GE(scenes.scenes.size(), upToThree.size());
  for (std::size_t i = 0; i < upToThree.size(); ++i) EXPECT_EQ(scenes.scenes[i], upToThree[i]);
  testing::ForgetScenes(p.client());
  EXPECT_EQ(p.endText(), "");
}

// A stream faster than any client takes it (a server's file of a robot seat
// waited for no one): here the whole game at one moment. The frames wait on
// the wire instead of overrunning the core's receive ring, and every hand is
// played to its end.
TEST(ReplayFastStream, WaitsOnTheWireInsteadOfOverrunningTheCore) {
  replay::ReadResult f = FourHands().file;
  for (replay::Entry& e : f.entries) e.ms = 0;
  QuietHost host;
  testing::HandEndScenes scenes;
  replay::Player p(f, host, [&](Client& c) { testing::TakeHandEndScenes(c, scenes); });
  p.setSpeed(replay::kAsFastAsPossible);
  p.run();
  testing::ForgetScenes(p.client());
  EXPECT_TRUE(p.finished());
  EXPECT_EQ(p.endText(), "");
  EXPECT_FALSE(p.client().ended);
  EXPECT_EQ(p.entriesDone(), f.entries.size());
  EXPECT_EQ(scenes.scenes.size(), FourHands().scenes.scenes.size());
}

// A kept file that is cut, damaged, or holds a frame the core refuses: the
// replay plays what was good and ends there with a message; nothing crashes.
TEST(ReplayBrokenFiles, EndCleanlyAtTheLastGoodFrameWithAMessage) {
  const replay::ReadResult& whole = FourHands().file;
  struct Case {
    const char* name;
    std::function<void(replay::ReadResult&)> spoil;
    std::string endText;  // a part of it
  };
  const Case cases[] = {
      {"cut in the second hand",
       [](replay::ReadResult& f) {
         f.entries.resize(f.handStarts[1] + 40);
         f.handStarts.resize(2);
         f.error = "录像文件不完整";
       },
       "录像文件不完整"},
      {"nothing but the header",
       [](replay::ReadResult& f) {
         f.entries.clear();
         f.handStarts.clear();
         f.error = "不是录像文件";
       },
       "不是录像文件"},
      {"a frame the core refuses",
       [](replay::ReadResult& f) {
         // The second hand's dice show faces no die has.
         for (std::size_t b = 8; b < 40; ++b) f.entries[f.handStarts[1] + 1].bytes[b] = 0x7F;
       },
       "客户端无法处理"},
      {"frames of a foreign size",
       [](replay::ReadResult& f) {
         for (replay::Entry& e : f.entries)
           if (e.kind == replay::EntryKind::Received) e.bytes.resize(100);
       },
       ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    replay::ReadResult f = whole;
    k.spoil(f);
    QuietHost host;
    replay::Player p(f, host);
    p.setSpeed(replay::kAsFastAsPossible);
    p.run();
    EXPECT_TRUE(p.finished());
    EXPECT_NE(p.endText().find(k.endText), std::string::npos) << p.endText();
    EXPECT_TRUE(std::filesystem::is_empty(host.folder));
  }
}

}  // namespace
}  // namespace tavren
