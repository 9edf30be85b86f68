// Command-line options the GNU way, for every program of the project: long
// options with a value as "--opt VALUE" or "--opt=VALUE", numbers range-checked,
// and a bad option or value named in one line on standard error followed by
// "Try 'PROG --help' for more information." (exit status 2).
//
//   tavren::options::Parser p("tavrenmj-lobby", argc, argv);
//   while (p.next()) {
//     if (p.is("--help")) { ... }
//     else if (p.is("--port")) port = p.number(0, 65535);
//     else if (p.is("--name")) name = p.value();
//     else if (p.is("--busy")) busy = p.flag();
//     else p.unknown();
//     if (p.failed()) return p.fail();   // prints the message, returns 2
//   }
//
// Header-only: it is shared by programs that link nothing else in common.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace tavren::options {

class Parser {
 public:
  Parser(std::string program, int argc, char** argv)
      : program_(std::move(program)), argc_(argc), argv_(argv) {}

  // Moves to the next argument; false when there are none left or after an error.
  bool next() {
    if (failed() || index_ + 1 >= argc_) return false;
    ++index_;
    const std::string_view a = argv_[index_];
    inlineValue_.reset();
    if (a.size() > 2 && a.substr(0, 2) == "--") {
      const std::size_t eq = a.find('=');
      if (eq != std::string_view::npos) {
        name_ = std::string(a.substr(0, eq));
        inlineValue_ = std::string(a.substr(eq + 1));
        return true;
      }
    }
    name_ = std::string(a);
    return true;
  }

  // The option as written, without any "=VALUE".
  const std::string& name() const { return name_; }
  bool is(std::string_view longName, std::string_view shortName = {}) const {
    return name_ == longName || (!shortName.empty() && name_ == shortName);
  }
  // A word that is not an option ("foo", "-", or anything not starting with '-').
  bool positional() const { return name_.empty() || name_[0] != '-' || name_ == "-"; }

  // An option without a value: "--busy=1" is an error.
  bool flag() {
    if (inlineValue_) error("option '" + name_ + "' doesn't allow an argument");
    return !failed();
  }

  // The option's value: after '=' or the next argument.
  std::string value() {
    if (inlineValue_) return *inlineValue_;
    if (index_ + 1 >= argc_) {
      error("option '" + name_ + "' requires an argument");
      return {};
    }
    return argv_[++index_];
  }

  // A whole decimal number within [lo, hi].
  long number(long lo, long hi) {
    const std::string v = value();
    if (failed()) return lo;
    errno = 0;
    char* end = nullptr;
    const long n = v.empty() ? 0 : std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != 0 || errno == ERANGE || n < lo || n > hi) {
      error("invalid value '" + v + "' for '" + name_ + "': a number from " + std::to_string(lo) +
            " to " + std::to_string(hi) + " is expected");
      return lo;
    }
    return n;
  }

  // The current argument is not an option this program knows.
  void unknown() {
    if (positional())
      error("unexpected argument '" + name_ + "'");
    else if (name_.size() > 2 && name_[1] == '-')
      error("unrecognized option '" + name_ + "'");
    else
      error("invalid option '" + name_ + "'");
  }

  // An error of the caller's own (a value that does not make sense, options
  // that do not go together).
  void error(std::string message) {
    if (message_.empty()) message_ = std::move(message);
  }

  bool failed() const { return !message_.empty(); }
  const std::string& message() const { return message_; }

  // Prints the error the GNU way and returns the exit status for it.
  int fail(std::FILE* to = stderr) const {
    std::fprintf(to, "%s: %s\nTry '%s --help' for more information.\n", program_.c_str(),
                 message_.c_str(), program_.c_str());
    return 2;
  }

 private:
  std::string program_;
  int argc_;
  char** argv_;
  int index_ = 0;
  std::string name_;
  std::optional<std::string> inlineValue_;
  std::string message_;
};

}  // namespace tavren::options
