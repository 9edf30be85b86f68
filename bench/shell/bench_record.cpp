// Writing one finished hand's sheet into the record file, on the window's
// thread, when the file already holds the hands before it: the cost at hand
// 1, 20, 60 and 100 (one rewrite of the file per hand, flushed to the disk).
// TAVREN_BENCH_DIR names the folder to write in (default: a folder in /tmp).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/client.h"
#include "platform/sim/sim_world.h"
#include "shell/record_file.h"
#include "shell/result_windows.h"

namespace tavren {
namespace {

// A sheet as a won hand leaves it: four main columns of 16 lines, four
// second columns of 8.
void FillSheet(Client& c, int hand) {
  for (int k = 0; k < 8; ++k) {
    std::vector<std::string>& lines = ScoreList(c, k);
    lines.clear();
    const int n = k < 4 ? 16 : 8;
    for (int j = 0; j < n; ++j)
      lines.push_back("第" + std::to_string(hand) + "局 捉五 老少 四归一 " +
                      std::to_string(j * 10));
  }
}

std::string BenchFolder() {
  const char* base = std::getenv("TAVREN_BENCH_DIR");
  std::string tmpl =
      std::string(base != nullptr && *base ? base : "/tmp") + "/tavren-record-XXXXXX";
  if (::mkdtemp(tmpl.data()) == nullptr) return "/tmp";
  return tmpl;
}

// A client in the simulated world whose record file already holds hands 1..n.
struct RecordedTable {
  sim::World world;
  sim::SimPlatform platform{world};
  Client c{platform};
  explicit RecordedTable(int n) {
    platform.attach(c);
    platform.folder = BenchFolder();
    for (int k = 1; k <= n; ++k) {
      FillSheet(c, k);
      WriteHandRecord(c, k);
    }
  }
  ~RecordedTable() {
    std::error_code ec;
    std::filesystem::remove_all(platform.folder, ec);
  }
};

void BM_WriteHandRecord(benchmark::State& state) {
  const int hand = static_cast<int>(state.range(0));
  RecordedTable t(hand - 1);
  Client& c = t.c;
  const std::string path = RecordFilePath(c);
  const std::string before = path + ".before";
  std::error_code ec;
  if (hand > 1) std::filesystem::copy_file(path, before, ec);
  FillSheet(c, hand);
  for (auto _ : state) {
    state.PauseTiming();
    if (hand > 1)
      std::filesystem::copy_file(before, path, std::filesystem::copy_options::overwrite_existing,
                                 ec);
    else
      std::filesystem::remove(path, ec);
    state.ResumeTiming();
    WriteHandRecord(c, hand);
  }
  state.counters["file_kB"] = static_cast<double>(std::filesystem::file_size(path, ec)) / 1024.0;
}
BENCHMARK(BM_WriteHandRecord)->Arg(1)->Arg(20)->Arg(60)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_ReadHandRecord(benchmark::State& state) {
  const int hand = static_cast<int>(state.range(0));
  RecordedTable t(hand);
  for (auto _ : state) ReadHandRecord(t.c, hand);
}
BENCHMARK(BM_ReadHandRecord)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavren

BENCHMARK_MAIN();
