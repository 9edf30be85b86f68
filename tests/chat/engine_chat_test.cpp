// Chat against the reference server's engine in virtual time: a typed line
// and a quick phrase go out, come back relayed and are shown.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "chat/bubbles.h"
#include "chat/chat.h"
#include "chat/phrases.h"
#include "core/client.h"
#include "shell/ini_file.h"
#include "shell/startup.h"
#include "support/engine_peer.h"
#include "support/forms_helpers.h"

namespace tavren {
namespace {

namespace fs = std::filesystem;
constexpr const char* kHost = "127.0.0.1";
constexpr std::uint16_t kPort = 7100;

struct Session {
  sim::World world;
  testing::EnginePeer peer{world, kHost, kPort, Config()};
  sim::SimPlatform platform{world};
  Client c{platform};
  fs::path folder = fs::temp_directory_path() / ("tavren-engine-chat-" + std::to_string(getpid()));

  static server::Server::Config Config() {
    server::Server::Config config;
    config.seed = 5;
    config.turnTimeSec = 9;
    return config;
  }
  Session() {
    platform.attach(c);
    fs::create_directories(folder);
    platform.folder = folder.string();
    classIniFile ini;
    ini.INIFileName = (folder / "chat.ini").string();
    ini.WriteIniKey("Phrase1", "num", "1");
    ini.WriteIniKey("Phrase1", "1", "快点吧");
    StartUp(c, std::string("amy$table=0;seat=0$") + kHost + "$" + std::to_string(kPort) +
                   "$T1$0$$0$$$0$$$");
  }
  ~Session() { fs::remove_all(folder); }
  std::vector<std::string>& History() { return LoadTalk(c).find("Text1")->items; }
};

TEST(EngineChat, ATypedLineAndAPhraseComeBackRelayedAndAreShown) {
  Session s;
  s.world.loop.runFor(2000);
  ASSERT_TRUE(s.c.table.LoginAccepted);
  // Into the first hand, so that the players are named and phrases show as bubbles.
  s.world.loop.runFor(20000);
  ASSERT_TRUE(s.c.chat.PhraseBubblesOn);
  ASSERT_FALSE(s.c.table.PlayerInfo[0].nick.empty());
  s.History().clear();
  ChatTextChanged(s.c, "大家好", 3);
  ChatKeyPress(s.c, kKeyEnter);
  EXPECT_EQ(s.c.view.Chat.caption, "");
  ASSERT_EQ(testing::Queued(s.c).size(), 1u) << s.c.table.Watching;
  s.world.loop.runFor(3000);
  ASSERT_FALSE(s.History().empty());
  EXPECT_EQ(s.History().back(), "你说道: 大家好");
  EXPECT_EQ(s.c.chat.ChatFlash, 0);  // the user's own line does not blink the button

  OpenPhraseList(s.c, 1);
  const int list1 = testing::ControlIndex(s.c, FormId::huifu, "List1");
  FormSelect(s.c, FormId::huifu, list1, 0);
  FormDoubleClick(s.c, FormId::huifu, list1);
  // In steps shorter than the bubble's fade, until the relayed phrase is back.
  for (int waited = 0; waited < 5000 && s.History().back() != "你说道: 快点吧"; waited += 50)
    s.world.loop.runFor(50);
  EXPECT_EQ(s.History().back(), "你说道: 快点吧");
  const SmallForm& bubble = s.c.forms[BubbleForm(0)];
  ASSERT_TRUE(bubble.loaded);
  EXPECT_EQ(s.c.forms[BubbleForm(0)].find("labPhrase")->caption, "快点吧");
  s.world.loop.runFor(kFadeTickMs);  // the fade has begun
  EXPECT_GT(bubble.opacity, 0);
  EXPECT_FALSE(s.c.ended);
}

}  // namespace
}  // namespace tavren
