// The record file's name borne by something odd: hands that cannot be kept
// are told once per game, nothing but a plain file is ever deleted, and no
// write goes through a link or waits on a pipe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "shell/ini_file.h"
#include "shell/record_file.h"
#include "support/results_fixture.h"

namespace tavren {
namespace {

namespace fs = std::filesystem;
using testing::EndTable;

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool MessageAreaShows(Client& c, const std::string& text) {
  return c.view.Sysmsg[0].text() == text || c.view.Sysmsg[1].text() == text;
}

struct OddCase {
  const char* what;
  // Puts the odd thing where the record file goes; returns what must still be
  // there, unchanged, after a hand and after a new game's clean-up.
  std::function<void(const EndTable&)> make;
  std::function<void(const EndTable&)> unchanged;
  IniWrite why;
  bool survivesNewGame;
};

TEST(RecordFile, AnOddThingBearingTheNameIsToldOncePerGameAndNeverReplacedOrDeleted) {
  const std::string nineMb(9u << 20, 'x');
  const OddCase cases[] = {
      {"a folder",
       [](const EndTable& t) {
         fs::create_directory(t.RecordPath());
         std::ofstream(t.RecordPath() + "/keep.txt") << "mine";
       },
       [](const EndTable& t) {
         EXPECT_TRUE(fs::is_directory(t.RecordPath()));
         EXPECT_EQ(Contents(t.RecordPath() + "/keep.txt"), "mine");
       },
       IniWrite::kNotAFile, true},
      {"a pipe", [](const EndTable& t) { ASSERT_EQ(::mkfifo(t.RecordPath().c_str(), 0600), 0); },
       [](const EndTable& t) { EXPECT_TRUE(fs::is_fifo(fs::symlink_status(t.RecordPath()))); },
       IniWrite::kNotAFile, true},
      {"a link to another file",
       [](const EndTable& t) {
         std::ofstream(t.folder + "/elsewhere") << "other";
         fs::create_symlink(t.folder + "/elsewhere", t.RecordPath());
       },
       [](const EndTable& t) {
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t.RecordPath())));
         EXPECT_EQ(Contents(t.folder + "/elsewhere"), "other");
       },
       IniWrite::kLink, true},
      {"a dangling link",
       [](const EndTable& t) { fs::create_symlink(t.folder + "/nowhere", t.RecordPath()); },
       [](const EndTable& t) {
         EXPECT_TRUE(fs::is_symlink(fs::symlink_status(t.RecordPath())));
         EXPECT_FALSE(fs::exists(t.folder + "/nowhere"));
       },
       IniWrite::kLink, true},
      {"a 9 MB file", [&](const EndTable& t) { std::ofstream(t.RecordPath()) << nineMb; },
       [](const EndTable& t) { EXPECT_EQ(fs::file_size(t.RecordPath()), 9u << 20); },
       IniWrite::kTooLarge, false},
      {"a read-only file",
       [](const EndTable& t) {
         std::ofstream(t.RecordPath()) << "[juNum:1]\r\n";
         fs::permissions(t.RecordPath(), fs::perms::owner_read | fs::perms::group_read);
       },
       [](const EndTable& t) { EXPECT_EQ(Contents(t.RecordPath()), "[juNum:1]\r\n"); },
       IniWrite::kReadOnly, false},
      {"a read-only folder",
       [](const EndTable& t) {
         fs::permissions(t.folder, fs::perms::owner_read | fs::perms::owner_exec);
       },
       [](const EndTable& t) { EXPECT_FALSE(fs::exists(fs::symlink_status(t.RecordPath()))); },
       IniWrite::kFolderReadOnly, true},
  };
  for (const OddCase& k : cases) {
    SCOPED_TRACE(k.what);
    EndTable t;
    t.State(0) = {"第一局"};
    k.make(t);
    const std::string told = RecordLossText(k.why);
    WriteHandRecord(t.c, 1);
    EXPECT_TRUE(MessageAreaShows(t.c, told)) << t.c.view.Sysmsg[0].text();
    k.unchanged(t);
    // Once per game: the next lost hand says nothing more.
    SetSysmsg(t.c, 0, "");
    SetSysmsg(t.c, 1, "");
    WriteHandRecord(t.c, 2);
    EXPECT_EQ(t.c.view.Sysmsg[0].text(), "");
    k.unchanged(t);
    // A new game clears only a plain file away, and tells the loss again.
    DeleteRecordFile(t.c);
    if (k.survivesNewGame) k.unchanged(t);
    WriteHandRecord(t.c, 1);
    if (k.survivesNewGame)
      EXPECT_TRUE(MessageAreaShows(t.c, told));
    else
      EXPECT_EQ(classIniFile{t.RecordPath()}.GetIniKey("juNum:1", "count( 0 )( 0 )"), "第一局");
    fs::permissions(t.folder, fs::perms::owner_all);
  }
}

TEST(RecordFile, APlainWritableFileIsKeptWithoutAWord) {
  EndTable t;
  t.State(0) = {"第一局"};
  WriteHandRecord(t.c, 1);
  WriteHandRecord(t.c, 2);
  EXPECT_EQ(t.c.view.Sysmsg[0].text(), "");
  EXPECT_EQ(classIniFile{t.RecordPath()}.GetIniKey("juNum:2", "count( 0 )( 0 )"), "第一局");
  // The file the client made is the user's alone.
  EXPECT_EQ(
      fs::status(t.RecordPath()).permissions() & (fs::perms::group_all | fs::perms::others_all),
      fs::perms::none);
  DeleteRecordFile(t.c);
  EXPECT_FALSE(fs::exists(t.RecordPath()));
}

}  // namespace
}  // namespace tavren
