#include "qt/world_paths.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace tavren::qt {

namespace {

bool IsSet(const char* value) {
  return value != nullptr && value[0] != '\0';
}

bool Unreserved(unsigned char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') ||
         ch == '.' || ch == '_' || ch == '-';
}

constexpr int kMixMaxVolume = 128;  // MIX_MAX_VOLUME

}  // namespace

std::string PercentEncodeCaption(std::string_view caption) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(caption.size() * 3);
  for (char c : caption) {
    const auto ch = static_cast<unsigned char>(c);
    if (Unreserved(ch)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[ch >> 4]);
      out.push_back(kHex[ch & 0x0F]);
    }
  }
  return out;
}

std::string LobbyDirectory(const char* lobbyDir, const char* runtimeDir, unsigned uid) {
  if (IsSet(lobbyDir)) {
    // A relative folder is taken from where the client was started: a local
    // socket name without a leading '/' would be looked for in another folder.
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(lobbyDir, ec);
    return ec ? std::string(lobbyDir) : dir.lexically_normal().string();
  }
  if (IsSet(runtimeDir)) return std::string(runtimeDir) + "/tavren-lobby";
  return "/tmp/tavren-lobby-" + std::to_string(uid);
}

std::string LobbySocketPath(const std::string& directory, std::string_view caption) {
  return directory + "/" + PercentEncodeCaption(caption) + ".sock";
}

std::string InstanceLockPath(const char* runtimeDir, const char* instance, unsigned uid) {
  const std::string dir = IsSet(runtimeDir) ? runtimeDir : "/tmp";
  // An instance name is a file name: a '/' or other odd byte is encoded, never a path.
  const std::string name = IsSet(instance) ? PercentEncodeCaption(instance) : "tavrenmj";
  return dir + "/" + name + "-" + std::to_string(uid) + ".lock";
}

int MixVolumeFromHundredthsDb(int hundredthsDb) {
  const double v = kMixMaxVolume * std::pow(10.0, hundredthsDb / 2000.0);
  if (!(v > 0.0)) return 0;
  if (v >= kMixMaxVolume) return kMixMaxVolume;
  return static_cast<int>(std::lround(v));
}

std::string JoinArguments(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) line.push_back(' ');
    line += arguments[i];
  }
  return line;
}

}  // namespace tavren::qt
