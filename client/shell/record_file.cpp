#include "shell/record_file.h"

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
  return c.platform.programFolder() + "/" + kRecordFileName;
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
  file.WriteIniKeys(RecordSection(n), keys);
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
