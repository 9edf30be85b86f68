// Profile files (sections in brackets, key=value lines) in the GBK code page:
// the phrase file and the record of finished hands go through this class.
#pragma once

#include <string>

namespace tavren {

class classIniFile {
 public:
  // The path every other member works on.
  std::string INIFileName;

  // Writes key=value into the section, creating the file, the section and the
  // key as needed. Failures are not reported.
  void WriteIniKey(const std::string& section, const std::string& key, const std::string& value);

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
