// Profile files (sections in brackets, key=value lines) in the GBK code page:
// the phrase file and the record of finished hands go through this class.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavren {

// A profile file is read only when it is a regular file of at most this size:
// a pipe, a device or a runaway file is treated as unreadable.
inline constexpr std::uintmax_t kIniFileLimit = 8u << 20;

// A profile file read once, for many look-ups with GetIniKey's rules.
class IniSnapshot {
 public:
  // Reads the file; an unreadable or missing one gives an empty snapshot.
  static IniSnapshot Load(const std::string& path);
  bool readable() const { return readable_; }
  // As classIniFile::GetIniKey.
  std::string Get(const std::string& section, const std::string& key) const;

 private:
  struct Section {
    std::string name;  // GBK
    std::size_t header = 0, end = 0;
  };
  std::vector<std::string> lines_;  // GBK, line ends removed
  std::vector<Section> sections_;
  bool readable_ = false;
};

// What became of a write. A file that is there but is not a plain file the
// user may write (a folder, a pipe, a link, a read-only or runaway file) is
// never replaced, followed or deleted: the write is refused and says why.
enum class IniWrite {
  kWritten,
  kNotAFile,        // a folder, a pipe, a device or a socket bears the name
  kLink,            // a symbolic link bears the name
  kTooLarge,        // larger than kIniFileLimit
  kReadOnly,        // a plain file the user may not write
  kFolderReadOnly,  // no new file can be made in its folder
  kFailed,          // the disk refused the write
};

class classIniFile {
 public:
  // The path every other member works on.
  std::string INIFileName;

  // Writes key=value into the section, creating the file, the section and the
  // key as needed. Failures are not reported. A line break inside a name or a
  // value is dropped, so one key never becomes two lines.
  void WriteIniKey(const std::string& section, const std::string& key, const std::string& value);

  // Writes every key=value of `keys` into the section with one rewrite of the
  // file: a temporary file of a unique name beside it, flushed to the disk,
  // renamed over it. When that failed the old file stays whole.
  IniWrite WriteIniKeys(const std::string& section,
                        const std::vector<std::pair<std::string, std::string>>& keys);

  // The stored value with blanks at both ends and NUL characters removed, cut
  // to 1023 bytes; empty when the file, the section or the key is missing.
  // Never creates the file.
  std::string GetIniKey(const std::string& section, const std::string& key) const;

  // Removes the key; the result is always empty.
  std::string DelIniKey(const std::string& section, const std::string& key);

  // Removes the section with all its keys; the result is always empty.
  std::string DelIniSec(const std::string& section);
};

}  // namespace tavren
