#include "lobby/lobby_link.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tavren::lobby {

std::array<std::uint8_t, 12> encode(const Message& m) {
  std::array<std::uint8_t, 12> b{};
  const std::uint32_t v[3] = {m.msg, m.wParam, m.lParam};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 4; ++k)
      b[static_cast<std::size_t>(4 * i + k)] = static_cast<std::uint8_t>(v[i] >> (8 * k));
  return b;
}

Message decode(const std::uint8_t* b) {
  auto u32 = [&](int i) {
    return static_cast<std::uint32_t>(b[4 * i]) | static_cast<std::uint32_t>(b[4 * i + 1]) << 8 |
           static_cast<std::uint32_t>(b[4 * i + 2]) << 16 |
           static_cast<std::uint32_t>(b[4 * i + 3]) << 24;
  };
  return Message{u32(0), u32(1), u32(2)};
}

std::string messageName(const Message& m) {
  switch (m.msg) {
    case kEndSession:
      return "WM_ENDSESSION (0x16)";
    case kClear:
      return "WM_CLEAR (0x303)";
    case kUser:
      return "WM_USER (0x400)";
    case kNewHand:
      return "new hand (0x455)";
    case kHandInProgress:
      return "hand in progress (0x465)";
    case kLoginUnderWay:
      return "login under way (0x466)";
    case kSysCommand:
      return m.wParam == kRestore    ? "WM_SYSCOMMAND restore (0x112, 0xF120)"
             : m.wParam == kMinimise ? "WM_SYSCOMMAND minimise (0x112, 0xF020)"
                                     : "WM_SYSCOMMAND (0x112)";
    default: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "message 0x%X", m.msg);
      return buf;
    }
  }
}

std::string lobbyDirectory() {
  if (const char* d = std::getenv("TAVREN_LOBBY_DIR"); d && *d) return d;
  if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x)
    return std::string(x) + "/tavren-lobby";
  return "/tmp/tavren-lobby-" + std::to_string(getuid());
}

bool ensureDirectory(const std::string& dir, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
    return fail("cannot create the lobby folder " + dir + ": " + std::strerror(errno));
  return privateDirectory(dir, error);
}

bool privateDirectory(const std::string& dir, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  struct stat st {};
  if (lstat(dir.c_str(), &st) != 0)
    return fail("cannot read the lobby folder " + dir + ": " + std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) return fail("the lobby folder " + dir + " is not a folder");
  if (st.st_uid != geteuid())
    return fail("the lobby folder " + dir + " belongs to another user (uid " +
                std::to_string(st.st_uid) + "); remove it or set TAVREN_LOBBY_DIR");
  if ((st.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return fail("the lobby folder " + dir + " is open to other users (mode " + mode +
                "); make it private (chmod 700) or remove it");
  }
  return true;
}

std::string accountProblem(std::string_view name) {
  if (name.empty()) return "请输入名字。";
  if (name.size() > 15) return "名字最多15个字符。";
  for (unsigned char c : name)
    if (c <= 0x20 || c >= 0x7F || c == '$')
      return "名字只能用英文字母、数字和符号（不能有空格和$）。";
  return {};
}

std::string newSeatPass() {
  unsigned char bytes[16];
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return {};
  static const char kHex[] = "0123456789abcdef";
  std::string pass;
  for (unsigned char b : bytes) {
    pass += kHex[b >> 4];
    pass += kHex[b & 15];
  }
  return pass;
}

std::string programFolder() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  const std::string p(buf);
  return p.substr(0, p.rfind('/'));
}

std::string encodeCaption(std::string_view caption) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : caption) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '-';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string socketPath(std::string_view caption) {
  return lobbyDirectory() + "/" + encodeCaption(caption) + ".sock";
}

std::string commandLine(const HandOver& h) {
  std::string fields[13] = {h.account,
                            h.key,
                            h.host,
                            std::to_string(h.port),
                            h.location,
                            h.proxy ? "5" : "0",
                            h.proxy ? h.proxyHost : "",
                            h.proxy ? std::to_string(h.proxyPort) : "",
                            h.proxy ? h.proxyUser : "",
                            h.proxy ? h.proxyPass : "",
                            h.unattended ? "1" : "0",
                            h.unattended ? h.lobbyCaption : "",
                            h.unattended ? h.mainCaption : ""};
  std::string line;
  for (int i = 0; i < 13; ++i) {
    if (i) line += '$';
    // A watcher's line carries the watched player's id right after the table
    // caption, in a place of its own; the mode and the rest follow as usual.
    if (i == 5 && h.watchUserId) line += std::to_string(*h.watchUserId) + '$';
    line += fields[i];
  }
  if (!h.watchUserId) {
    line += '$';
  } else {
    // Missing fields read as empty, so a watcher's line drops its empty tail: it
    // must not end with "$".
    while (!line.empty() && line.back() == '$') line.pop_back();
  }
  return line;
}

}  // namespace tavren::lobby
