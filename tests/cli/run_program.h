// Runs a program of the build with arguments and extra environment, and gives
// back its exit status and what it wrote. Waits are bounded: a program that has
// not ended after the limit is killed and the run says so.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tavren::cli_test {

struct Outcome {
  bool started = false;
  bool exited = false;  // false: killed by a signal (or by the time limit)
  bool timedOut = false;
  int status = -1;  // exit status
  std::string out, err;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A private scratch folder, removed at the end.
class Scratch {
 public:
  Scratch() {
    char name[] = "/tmp/tavren-cli-test-XXXXXX";
    if (mkdtemp(name) != nullptr) path_ = name;
  }
  ~Scratch() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// `env`: NAME=VALUE entries added to (or replacing) the test's environment;
// `unset`: names removed from it. `stopWhen`: once standard output holds this
// text the program gets SIGTERM (for servers that would run on).
inline Outcome RunProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::vector<std::string>& env = {},
                          const std::vector<std::string>& unset = {},
                          const std::string& stopWhen = {}, int limitMs = 20000) {
  Outcome r;
  Scratch dir;
  const std::string outPath = dir.path() + "/out", errPath = dir.path() + "/err";
  std::vector<std::string> environment;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool drop = false;
    for (const auto& u : unset) drop = drop || u == name;
    for (const auto& v : env) drop = drop || v.substr(0, v.find('=')) == name;
    if (!drop) environment.push_back(entry);
  }
  environment.insert(environment.end(), env.begin(), env.end());

  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return r;
  r.started = true;

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  bool stopped = false;
  int wstatus = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) break;
    if (!stopped && !stopWhen.empty() && ReadFile(outPath).find(stopWhen) != std::string::npos) {
      kill(pid, SIGTERM);
      stopped = true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      r.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  r.exited = !r.timedOut && WIFEXITED(wstatus);
  r.status = r.exited ? WEXITSTATUS(wstatus) : -1;
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  return r;
}

}  // namespace tavren::cli_test
