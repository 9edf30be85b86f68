#include "shell/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

// Why the file could not be read: it is missing (a fresh start), or it is
// there but unusable (not a regular file, a link where none is followed, too
// large, unreadable).
enum class ReadResult { kRead, kMissing, kUnusable };

struct ReadOutcome {
  ReadResult result = ReadResult::kUnusable;
  IniWrite why = IniWrite::kFailed;  // for an unusable file: what a write would meet
};

// The file as lines (GBK bytes, line ends removed). The file is opened without
// blocking, so a pipe bearing the name never holds the client up, and its type
// is taken from the open file itself. With `followLink` false a symbolic link
// is refused rather than read through.
ReadOutcome ReadLines(const std::string& path, std::vector<std::string>& lines, bool followLink) {
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    if (errno == ENOENT) return {ReadResult::kMissing, IniWrite::kWritten};
    if (errno == ELOOP) return {ReadResult::kUnusable, IniWrite::kLink};
    if (errno == EISDIR) return {ReadResult::kUnusable, IniWrite::kNotAFile};
    return {ReadResult::kUnusable, IniWrite::kReadOnly};
  }
  struct stat st {};
  ReadOutcome out{ReadResult::kUnusable, IniWrite::kFailed};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return out;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return {ReadResult::kUnusable, IniWrite::kNotAFile};
  }
  if (static_cast<std::uintmax_t>(st.st_size) > kIniFileLimit) {
    ::close(fd);
    return {ReadResult::kUnusable, IniWrite::kTooLarge};
  }
  std::string all(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t got = 0;
  bool ok = true;
  while (got < all.size()) {
    const ssize_t n = ::read(fd, all.data() + got, all.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (!ok) return out;
  all.resize(got);
  std::size_t at = 0;
  while (at < all.size()) {
    std::size_t nl = all.find('\n', at);
    if (nl == std::string::npos) nl = all.size();
    std::size_t end = nl;
    if (end > at && all[end - 1] == '\r') --end;
    lines.emplace_back(all, at, end - at);
    at = nl + 1;
  }
  return {ReadResult::kRead, IniWrite::kWritten};
}

// Whether the user may write `path`. A file or folder the user owns and has
// marked read-only counts as read-only even where the system would let the
// user write it anyway (as it lets the superuser).
bool MayWrite(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (st.st_uid == ::geteuid() && (st.st_mode & S_IWUSR) == 0) return false;
  return ::access(path.c_str(), W_OK) == 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes the lines to a temporary file of a unique name beside `path`, flushes
// it to the disk and renames it over `path`: a failed write never leaves half
// a file behind, and never loses what the old file held.
IniWrite WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string buffer;
  std::size_t total = 0;
  for (const std::string& l : lines) total += l.size() + 2;
  buffer.reserve(total);
  for (const std::string& l : lines) {
    buffer += l;
    buffer += "\r\n";
  }
  if (!MayWrite(FolderOf(path))) return IniWrite::kFolderReadOnly;
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0)
    return errno == EACCES || errno == EROFS || errno == EPERM ? IniWrite::kFolderReadOnly
                                                               : IniWrite::kFailed;
  bool ok = true;
  for (std::size_t done = 0; ok && done < buffer.size();) {
    const ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) std::remove(tmp.c_str());
  return ok ? IniWrite::kWritten : IniWrite::kFailed;
}

// A name or value as one line: line breaks are dropped.
std::string OneLine(std::string text) {
  std::erase_if(text, [](char ch) { return ch == '\r' || ch == '\n'; });
  return text;
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
  WriteIniKeys(section, {{key, value}});
}

IniWrite classIniFile::WriteIniKeys(const std::string& section,
                                    const std::vector<std::pair<std::string, std::string>>& keys) {
  if (INIFileName.empty()) return IniWrite::kFailed;
  std::vector<std::string> lines;
  // A file that is there but cannot be read is never replaced by a new one,
  // nor is a link, nor a file the user may not write.
  const ReadOutcome read = ReadLines(INIFileName, lines, false);
  if (read.result == ReadResult::kUnusable) return read.why;
  if (read.result == ReadResult::kRead && !MayWrite(INIFileName)) return IniWrite::kReadOnly;
  const std::string s = OneLine(Utf8ToGbk(section));
  Range r = FindSection(lines, s);
  if (r.header == std::string::npos) {
    lines.push_back("[" + s + "]");
    r.header = lines.size() - 1;
    r.end = lines.size();
  }
  for (const auto& [key, value] : keys) {
    const std::string k = OneLine(Utf8ToGbk(key));
    std::string line = k + "=" + OneLine(Utf8ToGbk(value));
    if (std::size_t at = FindKey(lines, r, k); at != std::string::npos) {
      lines[at] = std::move(line);
      continue;
    }
    // After the section's last non-empty line, so blank separators stay between sections.
    std::size_t insert = r.end;
    while (insert > r.header + 1 && TrimBlanks(lines[insert - 1]).empty()) --insert;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insert), std::move(line));
    ++r.end;
  }
  return WriteLines(INIFileName, lines);
}

std::string classIniFile::GetIniKey(const std::string& section, const std::string& key) const {
  if (INIFileName.empty()) return {};
  return IniSnapshot::Load(INIFileName).Get(section, key);
}

IniSnapshot IniSnapshot::Load(const std::string& path) {
  IniSnapshot snap;
  if (path.empty() || ReadLines(path, snap.lines_, true).result != ReadResult::kRead) {
    snap.lines_.clear();
    return snap;
  }
  snap.readable_ = true;
  for (std::size_t i = 0; i < snap.lines_.size(); ++i) {
    std::string_view name;
    if (!SectionName(snap.lines_[i], name)) continue;
    if (!snap.sections_.empty() && snap.sections_.back().end == 0) snap.sections_.back().end = i;
    snap.sections_.push_back(Section{std::string(name), i, 0});
  }
  if (!snap.sections_.empty() && snap.sections_.back().end == 0)
    snap.sections_.back().end = snap.lines_.size();
  return snap;
}

std::string IniSnapshot::Get(const std::string& section, const std::string& key) const {
  const std::string s = Utf8ToGbk(section);
  for (const Section& sec : sections_) {
    if (!SameName(sec.name, s)) continue;
    // The first section of the name, as the file is searched from its top.
    Range r;
    r.header = sec.header;
    r.end = sec.end;
    const std::size_t at = FindKey(lines_, r, Utf8ToGbk(key));
    if (at == std::string::npos) return {};
    std::string_view k, v;
    KeyLine(lines_[at], k, v);
    std::string value = CutGbk(v, kValueBytes);
    std::string trimmed(TrimBlanks(value));
    std::erase(trimmed, '\0');
    return GbkToUtf8(trimmed);
  }
  return {};
}

std::string classIniFile::DelIniKey(const std::string& section, const std::string& key) {
  std::vector<std::string> lines;
  if (INIFileName.empty() || ReadLines(INIFileName, lines, false).result != ReadResult::kRead)
    return {};
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
  if (INIFileName.empty() || ReadLines(INIFileName, lines, false).result != ReadResult::kRead)
    return {};
  const Range r = FindSection(lines, Utf8ToGbk(section));
  if (r.header == std::string::npos) return {};
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(r.header),
              lines.begin() + static_cast<std::ptrdiff_t>(r.end));
  WriteLines(INIFileName, lines);
  return {};
}

}  // namespace tavren
