// tavrenmj-server's command line, one case per row: what it accepts, and for
// what it refuses the one line that names the option or value, then where to
// look, with status 2.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace tavren::cli_test {
namespace {

const std::string kServer = std::string(TAVREN_BIN_DIR) + "/tavrenmj-server";
// Standard error of a refused command line: the problem, then where to look.
std::string Refused(const std::string& problem) {
  return "tavrenmj-server: " + problem + "\nTry 'tavrenmj-server --help' for more information.\n";
}

struct Case {
  std::vector<std::string> args;
  int status;
  std::string err;  // standard error, whole (refusals) or a part of it
  std::string out;  // a part of standard output
};

TEST(ServerOptions, EachCommandLineIsRunOrRefusedWithItsReasonNamed) {
  const std::vector<Case> cases = {
      {{"--bogus"}, 2, Refused("unrecognized option '--bogus'"), ""},
      {{"-x"}, 2, Refused("invalid option '-x'"), ""},
      {{"7000"}, 2, Refused("unexpected argument '7000'"), ""},
      {{"--port", "abc"},
       2,
       Refused("invalid value 'abc' for '--port': a number from 0 to 65535 is expected"),
       ""},
      {{"--port=65536"},
       2,
       Refused("invalid value '65536' for '--port': a number from 0 to 65535 is expected"),
       ""},
      {{"--port", "-1"},
       2,
       Refused("invalid value '-1' for '--port': a number from 0 to 65535 is expected"),
       ""},
      {{"--port"}, 2, Refused("option '--port' requires an argument"), ""},
      {{"--tables", "0"},
       2,
       Refused("invalid value '0' for '--tables': a number from 1 to 1000 is expected"),
       ""},
      {{"--turn-time=99"},
       2,
       Refused("invalid value '99' for '--turn-time': a number from 1 to 15 is expected"),
       ""},
      {{"--busy=yes"}, 2, Refused("option '--busy' doesn't allow an argument"), ""},
      {{"--bind", "1.2.3"},
       2,
       Refused("invalid address '1.2.3' for '--bind': an IPv4 or IPv6 address is expected (0.0.0.0 "
               "for every interface)"),
       ""},
      {{"--bind=my-host"},
       2,
       Refused("invalid address 'my-host' for '--bind': an IPv4 or IPv6 address is expected "
               "(0.0.0.0 for every interface)"),
       ""},
      // The first problem is named, in the order given.
      {{"--port", "abc", "--bogus"},
       2,
       Refused("invalid value 'abc' for '--port': a number from 0 to 65535 is expected"),
       ""},
      // An address this machine does not have (TEST-NET-1) is named with the reason.
      {{"--bind", "192.0.2.1", "--port", "0"},
       1,
       "tavrenmj-server: cannot listen on 192.0.2.1:0: Cannot assign requested address\n",
       ""},
      {{"--help"}, 0, "", "127.0.0.1 only"},
      {{"--help"}, 0, "", "--bind 0.0.0.0"},
      {{"--version"}, 0, "", "tavrenmj-server "},
      // Values after "=" and as the next argument are the same; the server runs
      // (and ends on SIGTERM once it listens).
      {{"--port=0", "--seed=5", "--tables", "2", "--bind=127.0.0.1"},
       0,
       "",
       "listening on 127.0.0.1:"},
      {{"--bind", "::1", "--port", "0"}, 0, "", "listening on ::1:"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& a : c.args) line += " " + a;
    const Outcome r = RunProgram(kServer, c.args, {}, {}, "listening on");
    ASSERT_TRUE(r.started) << kServer;
    EXPECT_FALSE(r.timedOut) << line;
    EXPECT_TRUE(r.exited) << line;
    EXPECT_EQ(r.status, c.status) << line << "\nstderr: " << r.err;
    if (c.status == 2 || c.status == 1)
      EXPECT_EQ(r.err, c.err) << line;
    else
      EXPECT_NE(r.out.find(c.out), std::string::npos) << line << "\nstdout: " << r.out;
  }
}

}  // namespace
}  // namespace tavren::cli_test
