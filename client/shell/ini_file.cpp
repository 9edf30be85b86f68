#include "shell/ini_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "text/gbk.h"

namespace tavren {

namespace {

constexpr std::size_t kValueBytes = 1023;

std::string_view TrimBlanks(std::string_view s) {
  auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Section and key names match without regard to ASCII case, as profile files do.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The file as lines (GBK bytes, line ends removed); false when it cannot be read.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return true;
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  // Written beside the file and renamed over it, so a failed write never
  // leaves half a file behind.
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return;
    for (const std::string& l : lines) out << l << "\r\n";
    out.flush();
    if (!out) {
      std::remove(tmp.c_str());
      return;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) std::remove(tmp.c_str());
}

// The section named by a "[name]" line, or nothing.
bool SectionName(const std::string& line, std::string_view& name) {
  std::string_view t = TrimBlanks(line);
  if (t.size() < 2 || t.front() != '[') return false;
  const std::size_t close = t.find(']');
  if (close == std::string_view::npos) return false;
  name = TrimBlanks(t.substr(1, close - 1));
  return true;
}

bool KeyLine(const std::string& line, std::string_view& key, std::string_view& value) {
  const std::size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  std::string_view l = line;
  key = TrimBlanks(l.substr(0, eq));
  value = l.substr(eq + 1);
  return true;
}

// Index range [begin, end) of a section's body lines; begin = npos when missing.
struct Range {
  std::size_t header = std::string::npos, end = 0;
};

Range FindSection(const std::vector<std::string>& lines, std::string_view section) {
  Range r;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (!SectionName(lines[i], name)) continue;
    if (r.header != std::string::npos) {
      r.end = i;
      return r;
    }
    if (SameName(name, section)) r.header = i;
  }
  if (r.header != std::string::npos) r.end = lines.size();
  return r;
}

std::size_t FindKey(const std::vector<std::string>& lines, const Range& r, std::string_view key) {
  for (std::size_t i = r.header + 1; i < r.end; ++i) {
    std::string_view k, v;
    if (KeyLine(lines[i], k, v) && SameName(k, key)) return i;
  }
  return std::string::npos;
}

// Cuts GBK text to at most `n` bytes without splitting a double-byte character.
std::string CutGbk(std::string_view gbk, std::size_t n) {
  std::size_t i = 0;
  while (i < gbk.size()) {
    const std::size_t len = static_cast<unsigned char>(gbk[i]) >= 0x80 ? 2 : 1;
    if (i + len > n) break;
    i += len;
  }
  return std::string(gbk.substr(0, std::min(i, gbk.size())));
}

}  // namespace

void classIniFile::WriteIniKey(const std::string& section, const std::string& key,
                               const std::string& value) {
  if (INIFileName.empty()) return;
  const std::string s = Utf8ToGbk(section), k = Utf8ToGbk(key), v = Utf8ToGbk(value);
  std::vector<std::string> lines;
  ReadLines(INIFileName, lines);
  Range r = FindSection(lines, s);
  if (r.header == std::string::npos) {
    lines.push_back("[" + s + "]");
    lines.push_back(k + "=" + v);
  } else if (std::size_t at = FindKey(lines, r, k); at != std::string::npos) {
    lines[at] = k + "=" + v;
  } else {
    // After the section's last non-empty line, so blank separators stay between sections.
    std::size_t insert = r.end;
    while (insert > r.header + 1 && TrimBlanks(lines[insert - 1]).empty()) --insert;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert), k + "=" + v);
  }
  WriteLines(INIFileName, lines);
}

std::string classIniFile::GetIniKey(const std::string& section, const std::string& key) const {
  std::vector<std::string> lines;
  if (INIFileName.empty() || !ReadLines(INIFileName, lines)) return {};
  const Range r = FindSection(lines, Utf8ToGbk(section));
  if (r.header == std::string::npos) return {};
  const std::size_t at = FindKey(lines, r, Utf8ToGbk(key));
  if (at == std::string::npos) return {};
  std::string_view k, v;
  KeyLine(lines[at], k, v);
  std::string value = CutGbk(v, kValueBytes);
  std::string trimmed(TrimBlanks(value));
  std::erase(trimmed, '\0');
  return GbkToUtf8(trimmed);
}

std::string classIniFile::DelIniKey(const std::string& section, const std::string& key) {
  std::vector<std::string> lines;
  if (INIFileName.empty() || !ReadLines(INIFileName, lines)) return {};
  const Range r = FindSection(lines, Utf8ToGbk(section));
  if (r.header == std::string::npos) return {};
  const std::size_t at = FindKey(lines, r, Utf8ToGbk(key));
  if (at == std::string::npos) return {};
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
  WriteLines(INIFileName, lines);
  return {};
}

std::string classIniFile::DelIniSec(const std::string& section) {
  std::vector<std::string> lines;
  if (INIFileName.empty() || !ReadLines(INIFileName, lines)) return {};
  const Range r = FindSection(lines, Utf8ToGbk(section));
  if (r.header == std::string::npos) return {};
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(r.header),
              lines.begin() + static_cast<std::ptrdiff_t>(r.end));
  WriteLines(INIFileName, lines);
  return {};
}

}  // namespace tavren
