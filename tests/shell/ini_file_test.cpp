// The profile-file class: reading, writing and deleting keys and sections.
#include "shell/ini_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "text/gbk.h"

namespace tavren {
namespace {

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::path(::testing::TempDir()) /
          ("ini-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ini.INIFileName = (dir / "chat.ini").string();
  }
  std::string Contents() const {
    std::ifstream in(ini.INIFileName, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void Put(const std::string& bytes) const {
    std::ofstream(ini.INIFileName, std::ios::binary) << bytes;
  }
  std::filesystem::path dir;
  classIniFile ini;
};

TEST_F(IniFileTest, ReadingAMissingFileGivesEmptyAndCreatesNothing) {
  EXPECT_EQ(ini.GetIniKey("Phrase1", "1"), "");
  EXPECT_FALSE(std::filesystem::exists(ini.INIFileName));
  EXPECT_EQ(ini.DelIniKey("Phrase1", "1"), "");
  EXPECT_EQ(ini.DelIniSec("Phrase1"), "");
  EXPECT_FALSE(std::filesystem::exists(ini.INIFileName));
}

TEST_F(IniFileTest, WritingCreatesFileSectionAndKeyAndReplacesValues) {
  ini.WriteIniKey("Phrase1", "1", "快点吧");
  ini.WriteIniKey("Phrase1", "2", "你好");
  ini.WriteIniKey("Phrase2", "1", "再见");
  ini.WriteIniKey("Phrase1", "1", "等等");
  EXPECT_EQ(ini.GetIniKey("Phrase1", "1"), "等等");
  EXPECT_EQ(ini.GetIniKey("phrase1", "2"), "你好");  // names match without case
  EXPECT_EQ(ini.GetIniKey("Phrase2", "1"), "再见");
  // The file is GBK text a plain editor reads.
  EXPECT_EQ(Contents(), Utf8ToGbk("[Phrase1]\r\n1=等等\r\n2=你好\r\n[Phrase2]\r\n1=再见\r\n"));
}

TEST_F(IniFileTest, ValuesComeBackTrimmedWithoutNulsAndCutAt1023Bytes) {
  std::string nul = std::string("[S]\r\nk=  12  \r\nblank=    \r\nn=a") + '\0' +
                    "b\r\nlong=" + std::string(1500, 'x') + "\r\nempty=\r\n";
  Put(nul);
  EXPECT_EQ(ini.GetIniKey("S", "k"), "12");
  EXPECT_EQ(ini.GetIniKey("S", "blank"), "");
  EXPECT_EQ(ini.GetIniKey("S", "n"), "ab");
  EXPECT_EQ(ini.GetIniKey("S", "long"), std::string(1023, 'x'));
  EXPECT_EQ(ini.GetIniKey("S", "empty"), "");
  EXPECT_EQ(ini.GetIniKey("S", "missing"), "");
  EXPECT_EQ(ini.GetIniKey("T", "k"), "");
}

TEST_F(IniFileTest, ACutNeverSplitsADoubleByteCharacter) {
  std::string value;
  for (int i = 0; i < 600; ++i) value += "中";
  ini.WriteIniKey("S", "k", value);
  const std::string got = ini.GetIniKey("S", "k");
  EXPECT_EQ(Utf8ToGbk(got).size(), 1022u);  // 511 whole characters
}

TEST_F(IniFileTest, DeletingKeysAndSections) {
  ini.WriteIniKey("A", "1", "x");
  ini.WriteIniKey("A", "2", "");
  ini.WriteIniKey("B", "1", "y");
  const std::string before = Contents();
  ini.DelIniSec("Missing");
  EXPECT_EQ(Contents(), before);
  EXPECT_NE(before.find("2=\r\n"), std::string::npos);  // an empty value stays as key=
  ini.DelIniKey("A", "1");
  EXPECT_EQ(ini.GetIniKey("A", "1"), "");
  EXPECT_EQ(Contents(), "[A]\r\n2=\r\n[B]\r\n1=y\r\n");
  ini.DelIniSec("A");
  EXPECT_EQ(Contents(), "[B]\r\n1=y\r\n");
}

TEST_F(IniFileTest, ReadsFilesWithPlainLineEndsAndBlanksAroundNames) {
  Put("; comment\n[ Phrase1 ]\n 3 = 来了 \n");
  std::ofstream(ini.INIFileName, std::ios::binary)
      << Utf8ToGbk("; comment\n[ Phrase1 ]\n 3 = 来了 \n");
  EXPECT_EQ(ini.GetIniKey("Phrase1", "3"), "来了");
}

}  // namespace
}  // namespace tavren

namespace tavren {
namespace {

// While alive, writes past `bytes` bytes fail as on a full disk.
class DiskFullAfter {
 public:
  explicit DiskFullAfter(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit r = saved_;
    r.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &r);
  }
  ~DiskFullAfter() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  DiskFullAfter(const DiskFullAfter&) = delete;
  DiskFullAfter& operator=(const DiskFullAfter&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_DFL;
};

std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(IniFileTest, ALineBreakInsideANameOrValueNeverSplitsTheLine) {
  ini.WriteIniKey("S", "k", "one\r\ntwo\nthree");
  ini.WriteIniKey("S", "ke\ny", "v");
  ini.WriteIniKey("S\r\n[T]", "z", "w");
  EXPECT_EQ(Contents(), "[S]\r\nk=onetwothree\r\nkey=v\r\n[S[T]]\r\nz=w\r\n");
  EXPECT_EQ(ini.GetIniKey("S", "k"), "onetwothree");
}

TEST_F(IniFileTest, ManyKeysGoInOneWriteAndAFailedWriteLosesNothing) {
  ini.WriteIniKey("juNum:1", "count( 0 )", "1");
  const std::string before = Contents();
  std::vector<std::pair<std::string, std::string>> keys;
  for (int j = 0; j < 200; ++j) keys.emplace_back("line " + std::to_string(j), "value");
  {
    DiskFullAfter full(before.size() + 64);
    EXPECT_EQ(ini.WriteIniKeys("juNum:2", keys), IniWrite::kFailed);
  }
  EXPECT_EQ(Contents(), before);
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"chat.ini"});  // no temporary file left
  EXPECT_EQ(ini.WriteIniKeys("juNum:2", keys), IniWrite::kWritten);
  EXPECT_EQ(ini.GetIniKey("juNum:2", "line 199"), "value");
  EXPECT_EQ(ini.GetIniKey("juNum:1", "count( 0 )"), "1");
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"chat.ini"});
}

// Only a regular file up to the size limit is read; anything else reads as
// empty at once and is never replaced by a write.
TEST_F(IniFileTest, PipesDevicesAndOversizedFilesAreNotRead) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {"pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"link to /dev/zero",
       [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }},
      {"oversized",
       [](const std::string& p) {
         std::ofstream out(p, std::ios::binary);
         out << "[Phrase1]\r\nnum=1\r\n1=hello\r\n";
         out.seekp(static_cast<std::streamoff>(kIniFileLimit) + 10);
         out << "x";
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    std::filesystem::remove(ini.INIFileName);
    k.make(ini.INIFileName);
    EXPECT_EQ(ini.GetIniKey("Phrase1", "1"), "");
    EXPECT_FALSE(IniSnapshot::Load(ini.INIFileName).readable());
    EXPECT_NE(ini.WriteIniKeys("Phrase1", {{"1", "bye"}}), IniWrite::kWritten);
    const auto type = std::filesystem::symlink_status(ini.INIFileName).type();
    EXPECT_NE(type, std::filesystem::file_type::not_found);
  }
}

TEST_F(IniFileTest, ASnapshotReadsLikeGetIniKey) {
  Put("[A]\r\nx= 1 \r\n[b]\r\ny=2\r\n[B]\r\ny=3\r\n");
  const IniSnapshot snap = IniSnapshot::Load(ini.INIFileName);
  ASSERT_TRUE(snap.readable());
  for (const auto& [section, key] : std::vector<std::pair<std::string, std::string>>{
           {"A", "x"}, {"a", "X"}, {"B", "y"}, {"b", "x"}, {"C", "x"}})
    EXPECT_EQ(snap.Get(section, key), ini.GetIniKey(section, key)) << section << key;
  EXPECT_EQ(snap.Get("B", "y"), "2");
}

}  // namespace
}  // namespace tavren
