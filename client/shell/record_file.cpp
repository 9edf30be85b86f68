#include "shell/record_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <vector>

#include "core/client.h"
#include "shell/ini_file.h"
#include "shell/result_windows.h"

namespace tavren {

namespace {

constexpr int kLists = 8;
// A count read back from the file is the file's word: a damaged one must not
// make a list of millions of lines.
constexpr int kMaxLines = 1000;

// The integer part of the number at the start of `t`; 0 when there is none.
int IntegerPart(const std::string& t) {
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  long n = 0;
  for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) != 0; ++i) {
    n = n * 10 + (t[i] - '0');
    if (n > kMaxLines) n = kMaxLines;
  }
  return negative ? 0 : static_cast<int>(n);
}

classIniFile RecordFile(Client& c) {
  classIniFile f;
  f.INIFileName = RecordFilePath(c);
  return f;
}

}  // namespace

std::string RecordFilePath(Client& c) {
  const std::string folder =
      c.shell.RecordFolder.empty() ? c.platform.programFolder() : c.shell.RecordFolder;
  return folder + "/" + kRecordFileName;
}

std::string RecordSection(int n) {
  return "juNum:" + std::to_string(n);
}

std::string RecordCountKey(int k) {
  return "count( " + std::to_string(k) + " )";
}

std::string RecordLineKey(int k, int j) {
  return RecordCountKey(k) + "( " + std::to_string(j) + " )";
}

void WriteHandRecord(Client& c, int n) {
  classIniFile file = RecordFile(c);
  // The hand's keys in one write: either all of them reach the file or none
  // does, and the file is rewritten once per hand, not once per key.
  std::vector<std::pair<std::string, std::string>> keys;
  for (int k = 0; k < kLists; ++k) {
    const std::vector<std::string>& lines = ScoreList(c, k);
    keys.emplace_back(RecordCountKey(k), std::to_string(lines.size()));
    for (std::size_t j = 0; j < lines.size(); ++j)
      keys.emplace_back(RecordLineKey(k, static_cast<int>(j)), lines[j]);
  }
  const IniWrite result = file.WriteIniKeys(RecordSection(n), keys);
  if (result == IniWrite::kWritten || c.shell.RecordLossTold) return;
  c.shell.RecordLossTold = true;
  AddSysmsg(c, RecordLossText(result));
}

std::string RecordLossText(IniWrite why) {
  const std::string head = std::string("本局战绩无法保存：") + kRecordFileName;
  switch (why) {
    case IniWrite::kWritten:
      return {};
    case IniWrite::kNotAFile:
      return head + "不是普通文件";
    case IniWrite::kLink:
      return head + "是链接";
    case IniWrite::kTooLarge:
      return head + "过大";
    case IniWrite::kReadOnly:
      return head + "只读";
    case IniWrite::kFolderReadOnly:
      return head + "所在文件夹不可写";
    case IniWrite::kFailed:
      break;
  }
  return head + "写入失败";
}

void DeleteRecordFile(Client& c) {
  c.shell.RecordLossTold = false;
  const std::string path = RecordFilePath(c);
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  ::unlink(path.c_str());
}

void ReadHandRecord(Client& c, int n) {
  if (n == 0) return;
  const IniSnapshot file = IniSnapshot::Load(RecordFilePath(c));
  const std::string section = RecordSection(n);
  for (int k = 0; k < kSides; ++k) {
    ScoreControl(c, "State", k).color = kBlack;
    ScoreControl(c, "ID", k).color = kRed;
  }
  for (int k = 0; k < kLists; ++k) {
    const std::string t = file.Get(section, RecordCountKey(k));
    if (t.empty()) break;
    const auto count = static_cast<std::size_t>(IntegerPart(t));
    std::vector<std::string>& lines = ScoreList(c, k);
    if (lines.size() < count) lines.resize(count, " ");
    while (lines.size() > count) lines.pop_back();
    for (std::size_t j = 0; j < count; ++j) {
      std::string v = file.Get(section, RecordLineKey(k, static_cast<int>(j)));
      lines[j] = v.empty() ? " " : std::move(v);
    }
    ScoreControl(c, "State", k).selected = -1;
  }
}

}  // namespace tavren
