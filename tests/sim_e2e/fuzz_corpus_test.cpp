// Every input of the fuzz corpora in fuzz/corpus runs once through its target:
// the findings mended stay mended, and the invariants the targets check hold on
// the recorded games, in the ordinary and the sanitizer build alike.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" {
int FuzzClientStream(const std::uint8_t*, std::size_t);
int FuzzProxy(const std::uint8_t*, std::size_t);
int FuzzFiles(const std::uint8_t*, std::size_t);
int FuzzStartup(const std::uint8_t*, std::size_t);
int FuzzServer(const std::uint8_t*, std::size_t);
int FuzzReplay(const std::uint8_t*, std::size_t);
}

namespace {

struct Target {
  const char* name;
  int (*run)(const std::uint8_t*, std::size_t);
};

class FuzzCorpus : public ::testing::TestWithParam<Target> {};

// Under the sanitizers every input runs some fifty times slower; there the long
// inputs (the ordinary build replays them all) are left out to keep the run short,
// the recorded games excepted.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uintmax_t kLongestReplayed = 5 * 1024;
#else
constexpr std::uintmax_t kLongestReplayed = ~std::uintmax_t{0};
#endif

TEST_P(FuzzCorpus, EveryInputRunsWithItsInvariantsHolding) {
  const std::filesystem::path dir = std::filesystem::path(TAVREN_FUZZ_CORPUS) / GetParam().name;
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.file_size() > kLongestReplayed &&
        entry.path().filename().string().rfind("game-", 0) != 0)
      continue;
    std::ifstream f(entry.path(), std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(f)),
                                  std::istreambuf_iterator<char>());
    SCOPED_TRACE(entry.path().string());
    // A broken invariant aborts inside the target with its name on standard error.
    EXPECT_EQ(GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << "an empty corpus checks nothing";
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus,
                         ::testing::Values(Target{"fuzz_client_stream", FuzzClientStream},
                                           Target{"fuzz_proxy", FuzzProxy},
                                           Target{"fuzz_files", FuzzFiles},
                                           Target{"fuzz_startup", FuzzStartup},
                                           Target{"fuzz_server", FuzzServer},
                                           Target{"fuzz_replay", FuzzReplay}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
