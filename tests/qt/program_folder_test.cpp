// Where the client writes and reads when it runs from a build folder, from an
// installed package, or from $TAVRENMJ_HOME.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "qt/world_paths.h"

namespace tavren::qt {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, ChosenFromTheEnvironmentAndTheInstall) {
  struct Case {
    const char* what;
    const char* tavrenHome;
    const char* dataHome;
    const char* home;
    const char* exeDir;
    bool installed;
    const char* folder;
    const char* data;  // the package data the links point into, "" for no links
  };
  const Case cases[] = {
      {"override wins", "/srv/tv/", "/x", "/home/a", "/usr/bin", true, "/srv/tv", ""},
      {"build folder", nullptr, "/x", "/home/a", "/w/build/bin", false, "/w/build/bin", ""},
      {"installed, XDG", nullptr, "/x/data", "/home/a", "/usr/bin", true, "/x/data/tavrenmj/table",
       "/usr/share/tavrenmj"},
      {"installed, empty XDG", "", "", "/home/a/", "/usr/bin/", true,
       "/home/a/.local/share/tavrenmj/table", "/usr/share/tavrenmj"},
      {"relative XDG ignored", nullptr, "rel", "/home/a", "/opt/r/usr/bin", true,
       "/home/a/.local/share/tavrenmj/table", "/opt/r/usr/share/tavrenmj"},
      {"no home at all", nullptr, nullptr, nullptr, "/usr/bin", true, "/tmp/tavrenmj/table",
       "/usr/share/tavrenmj"},
      // The package puts the programs in /usr/games: the data stays /usr/share/tavrenmj.
      {"installed as a game", nullptr, nullptr, "/home/a", "/usr/games", true,
       "/home/a/.local/share/tavrenmj/table", "/usr/share/tavrenmj"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProgramFolderPlan plan =
        PlanProgramFolder(c.tavrenHome, c.dataHome, c.home, c.exeDir, c.installed);
    EXPECT_EQ(plan.folder, c.folder);
    if (std::string(c.data).empty()) {
      EXPECT_TRUE(plan.links.empty());
      continue;
    }
    ASSERT_EQ(plan.links.size(), 2u);
    // The sounds sit in ../common beside the program folder, the phrase file in it.
    EXPECT_EQ(plan.links[0].first, fs::path(plan.folder).parent_path().string() + "/common");
    EXPECT_EQ(plan.links[0].second, std::string(c.data) + "/common");
    EXPECT_EQ(plan.links[1].first, plan.folder + "/chat.ini");
    EXPECT_EQ(plan.links[1].second, std::string(c.data) + "/table/chat.ini");
  }
  EXPECT_EQ(PackageDataFolder("/usr/bin"), "/usr/share/tavrenmj");
  EXPECT_EQ(PackageDataFolder("/usr/games"), "/usr/share/tavrenmj");
  EXPECT_EQ(PackageDataFolder("/usr/local/bin/"), "/usr/local/share/tavrenmj");
}

struct Scratch {
  fs::path root;
  Scratch() {
    char tmpl[] = "/tmp/tavren-folder-test-XXXXXX";
    root = mkdtemp(tmpl);
  }
  ~Scratch() { fs::remove_all(root); }
};

TEST(ProgramFolder, PreparedWithLinksIntoThePackageKeepingTheUsersFiles) {
  Scratch s;
  // An installed tree: <root>/usr/bin and <root>/usr/share/tavrenmj.
  const fs::path bin = s.root / "usr/bin";
  const fs::path data = s.root / "usr/share/tavrenmj";
  fs::create_directories(bin);
  fs::create_directories(data / "table");
  fs::create_directories(data / "common/music");
  std::ofstream(data / "table/chat.ini") << "[Phrase1]\n";
  const std::string dataHome = (s.root / "home/.local/share").string();

  const std::string folder =
      ProgramFolderFor(nullptr, dataHome.c_str(), "/nonexistent", bin.string());
  EXPECT_EQ(folder, dataHome + "/tavrenmj/table");
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_directory(folder + "/../common/music"));
  EXPECT_TRUE(fs::is_regular_file(folder + "/chat.ini"));
  // Writing goes into the user's folder, never the package's.
  std::ofstream(folder + "/info.qx") << "x";
  EXPECT_FALSE(fs::exists(data / "table/info.qx"));

  // The user's own phrase file stays; a link left by another install is renewed.
  fs::remove(folder + "/chat.ini");
  std::ofstream(folder + "/chat.ini") << "mine";
  fs::remove(dataHome + "/tavrenmj/common");
  fs::create_symlink("/gone/common", dataHome + "/tavrenmj/common");
  ProgramFolderFor(nullptr, dataHome.c_str(), nullptr, bin.string());
  EXPECT_FALSE(fs::is_symlink(folder + "/chat.ini"));
  EXPECT_EQ(fs::read_symlink(dataHome + "/tavrenmj/common"), data / "common");

  // A folder that cannot be made: the executable's folder, and a message.
  const fs::path blocker = s.root / "file";
  std::ofstream(blocker) << "x";
  std::string error;
  EXPECT_FALSE(PrepareProgramFolder({(blocker / "sub").string(), {}}, &error));
  EXPECT_NE(error.find("cannot make"), std::string::npos);
  EXPECT_EQ(ProgramFolderFor((blocker / "sub").string().c_str(), nullptr, nullptr, "/usr/games"),
            "/usr/games");
}

}  // namespace
}  // namespace tavren::qt
