// The shared option parser: values after '=' or in the next word, numbers
// range-checked, and every error naming the option or value in one line.
#include "protocol/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  long port = 7000;
  std::string name;
  bool busy = false;
  std::string error;  // empty when the line was accepted
};

Parsed Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "prog");
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  tavren::options::Parser p("prog", static_cast<int>(argv.size()), argv.data());
  Parsed r;
  while (p.next()) {
    if (p.is("--port", "-p"))
      r.port = p.number(0, 65535);
    else if (p.is("--name"))
      r.name = p.value();
    else if (p.is("--busy"))
      r.busy = p.flag();
    else
      p.unknown();
  }
  r.error = p.message();
  return r;
}

TEST(Options, ValuesFlagsAndErrorsAsOneLine) {
  struct Case {
    std::vector<std::string> words;
    long port;
    std::string name;
    bool busy;
    std::string error;
  } cases[] = {
      {{}, 7000, "", false, ""},
      {{"--port", "7753", "--name", "amy"}, 7753, "amy", false, ""},
      {{"--port=7753", "--name=a=b", "--busy"}, 7753, "a=b", true, ""},
      {{"-p", "0"}, 0, "", false, ""},
      {{"--name="}, 7000, "", false, ""},
      {{"--bogus"}, 7000, "", false, "unrecognized option '--bogus'"},
      {{"--bogus=3"}, 7000, "", false, "unrecognized option '--bogus'"},
      {{"-x"}, 7000, "", false, "invalid option '-x'"},
      {{"stray"}, 7000, "", false, "unexpected argument 'stray'"},
      {{"--port", "abc"},
       0,
       "",
       false,
       "invalid value 'abc' for '--port': a number from 0 to 65535 is expected"},
      {{"--port=65536"},
       0,
       "",
       false,
       "invalid value '65536' for '--port': a number from 0 to 65535 is expected"},
      {{"--port", "-1"},
       0,
       "",
       false,
       "invalid value '-1' for '--port': a number from 0 to 65535 is expected"},
      {{"--port", "12x"},
       0,
       "",
       false,
       "invalid value '12x' for '--port': a number from 0 to 65535 is expected"},
      {{"--port", "99999999999999999999999"},
       0,
       "",
       false,
       "invalid value '99999999999999999999999' for '--port': a number from 0 to 65535 is "
       "expected"},
      {{"--port"}, 0, "", false, "option '--port' requires an argument"},
      {{"--busy=yes"}, 7000, "", false, "option '--busy' doesn't allow an argument"},
      // The first error stops the parse: what follows is not read.
      {{"--bogus", "--port", "1"}, 7000, "", false, "unrecognized option '--bogus'"},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const auto& w : c.words) line += w + " ";
    SCOPED_TRACE(line);
    const Parsed r = Parse(c.words);
    EXPECT_EQ(r.error, c.error);
    if (c.error.empty()) {
      EXPECT_EQ(r.port, c.port);
      EXPECT_EQ(r.name, c.name);
      EXPECT_EQ(r.busy, c.busy);
    }
  }
}

TEST(Options, FailPrintsTheMessageAndTheHelpHint) {
  std::vector<std::string> words = {"prog", "--bogus"};
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  tavren::options::Parser p("prog", 2, argv.data());
  while (p.next()) p.unknown();
  char buf[256] = {};
  std::FILE* f = fmemopen(buf, sizeof buf - 1, "w");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(p.fail(f), 2);
  std::fclose(f);
  EXPECT_STREQ(buf,
               "prog: unrecognized option '--bogus'\n"
               "Try 'prog --help' for more information.\n");
}

}  // namespace
