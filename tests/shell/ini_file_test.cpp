// The profile-file class: reading, writing and deleting keys and sections.
#include "shell/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
