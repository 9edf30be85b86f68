#include "qt/world_paths.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
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
  const std::string dir = IsSet(runtimeDir) ? runtimeDir : "/tmp/tavrenmj-" + std::to_string(uid);
  // An instance name is a file name: a '/' or other odd byte is encoded, never a path.
  const std::string name = IsSet(instance) ? PercentEncodeCaption(instance) : "tavrenmj";
  return dir + "/" + name + "-" + std::to_string(uid) + ".lock";
}

int OpenInstanceLock(const std::string& path, unsigned uid) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return -1;
  const std::string folder = path.substr(0, slash);
  // A missing folder is made for the user alone; an existing one must be a
  // real folder of the user's that nobody else may write.
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  struct stat dir {};
  if (::lstat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode) || dir.st_uid != uid ||
      (dir.st_mode & (S_IWGRP | S_IWOTH)) != 0)
    return -1;
  const int fd =
      ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK, 0600);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != uid) {
    ::close(fd);
    return -1;
  }
  return fd;
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

namespace {

std::string TrimSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string PackageDataFolder(const std::string& exeDir) {
  return std::filesystem::path(TrimSlashes(exeDir) + "/../share/tavrenmj")
      .lexically_normal()
      .string();
}

ProgramFolderPlan PlanProgramFolder(const char* tavrenHome, const char* dataHome, const char* home,
                                    const std::string& exeDir, bool installed) {
  ProgramFolderPlan plan;
  if (IsSet(tavrenHome)) {
    plan.folder = TrimSlashes(tavrenHome);
    return plan;
  }
  if (!installed) {
    plan.folder = TrimSlashes(exeDir);
    return plan;
  }
  std::string userData;
  if (IsSet(dataHome) && dataHome[0] == '/')
    userData = TrimSlashes(dataHome);
  else if (IsSet(home))
    userData = TrimSlashes(home) + "/.local/share";
  else
    userData = "/tmp";
  const std::string root = (userData == "/" ? "" : userData) + "/tavrenmj";
  const std::string data = PackageDataFolder(exeDir);
  plan.folder = root + "/table";
  plan.links = {{root + "/common", data + "/common"},
                {plan.folder + "/chat.ini", data + "/table/chat.ini"}};
  return plan;
}

bool PrepareProgramFolder(const ProgramFolderPlan& plan, std::string* error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(plan.folder, ec);
  if (!fs::is_directory(plan.folder, ec)) {
    if (error) *error = "cannot make the folder " + plan.folder;
    return false;
  }
  for (const auto& [link, target] : plan.links) {
    const fs::file_status st = fs::symlink_status(link, ec);
    if (fs::is_symlink(st)) {
      if (fs::read_symlink(link, ec) == fs::path(target)) continue;
      fs::remove(link, ec);  // a link of an older install: point it here
    } else if (fs::exists(st)) {
      continue;  // the user's own file or folder stays
    }
    fs::create_directories(fs::path(link).parent_path(), ec);
    fs::create_symlink(target, link, ec);
  }
  return true;
}

namespace {

extern "C" void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void QuietSoundLibraryMessages() {
  // The sound library loads ALSA itself when it needs it; the same library is
  // found here, if it is installed at all, and told where its messages go.
  void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
  if (alsa == nullptr) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
    set(&IgnoreAlsaMessage);
  // Stays loaded: the handler must outlive every use of the library.
}

std::string ProgramFolderFor(const char* tavrenHome, const char* dataHome, const char* home,
                             const std::string& exeDir) {
  std::error_code ec;
  const bool installed =
      std::filesystem::is_regular_file(PackageDataFolder(exeDir) + "/table/chat.ini", ec);
  const ProgramFolderPlan plan = PlanProgramFolder(tavrenHome, dataHome, home, exeDir, installed);
  std::string error;
  if (PrepareProgramFolder(plan, &error)) return plan.folder;
  static bool told = false;
  if (!told) std::fprintf(stderr, "tavrenmj: %s\n", error.c_str());
  told = true;
  return TrimSlashes(exeDir);
}

}  // namespace tavren::qt
