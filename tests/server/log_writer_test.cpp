// The server's log writer on a pipe that nobody reads: it never blocks, holds a
// bounded amount, counts what it drops and says so once the pipe is read again.
#include "engine/log_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace tavren::server::test {
namespace {

TEST(LogWriter, APipeNobodyReadsNeitherBlocksNorGrowsIt) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  LogWriter w(fds[1], 16 * 1024);
  const std::string line(100, 'x');
  // Far more than the pipe and the buffer hold together; each call returns.
  for (int i = 0; i < 5000; ++i) w.line(line);
  EXPECT_LE(w.waiting(), 16u * 1024);
  EXPECT_GT(w.dropped(), 0u);
  EXPECT_FALSE(w.flush());
  // Somebody reads now: what waited goes out, then the count of the dropped lines.
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  std::string got;
  char buf[65536];
  for (int round = 0; round < 1000 && !w.flush(); ++round) {
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
      got.append(buf, static_cast<std::size_t>(n));
  }
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    got.append(buf, static_cast<std::size_t>(n));
  EXPECT_TRUE(w.flush());
  const std::string note = "(" + std::to_string(w.dropped()) + " log line(s) dropped";
  EXPECT_NE(got.find(note), std::string::npos)
      << got.substr(got.size() > 200 ? got.size() - 200 : 0);
  // Whole lines only: every line that went out is one of ours or the note.
  std::size_t at = 0, lines = 0;
  while (at < got.size()) {
    const std::size_t end = got.find('\n', at);
    ASSERT_NE(end, std::string::npos);
    const std::string one = got.substr(at, end - at);
    EXPECT_TRUE(one == line || one.rfind(note, 0) == 0) << one;
    at = end + 1;
    ++lines;
  }
  EXPECT_EQ(lines + w.dropped(), 5000u + 1u);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace tavren::server::test
