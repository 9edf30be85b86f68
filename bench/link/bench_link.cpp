// Throughput of the frame path: decode plus dispatch, SendInfo, and an idle
// pump tick. Every allocation is counted, so "no heap allocation per frame"
// is measured rather than assumed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>

#include "core/client.h"
#include "link/pump.h"
#include "replay/recorder.h"

namespace {
std::atomic<std::uint64_t> g_allocations{0};
}  // namespace

void* operator new(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace tavren {
namespace {

class NullSound : public SoundDevice {
 public:
  bool open() override { return false; }
  SoundResult playEffect(const std::string&, bool) override { return SoundResult::DeviceFailed; }
  SoundResult stopEffect() override { return SoundResult::DeviceFailed; }
  bool hasEffect() override { return false; }
  SoundResult setEffectVolume(int) override { return SoundResult::DeviceFailed; }
  SoundResult playVoice(int, const std::string&, int) override { return SoundResult::DeviceFailed; }
};

// A platform that does nothing: the core alone is measured.
class NullPlatform : public Platform {
 public:
  std::int64_t nowMillis() override { return 0; }
  LocalTime localTime() override { return {}; }
  void setTimer(TimerId, int, bool) override {}
  void processEvents(std::int64_t, int) override {}
  void pause(int) override {}
  void socketConnect(const std::string&, std::uint16_t) override {}
  int socketState() override { return kSocketConnected; }
  void socketSend(const std::uint8_t*, std::size_t) override {}
  void socketClose() override {}
  bool lobbyFind(const std::string&) override { return true; }
  void lobbySend(std::uint32_t, std::uint32_t, std::uint32_t) override {}
  void lobbyPost(std::uint32_t, std::uint32_t, std::uint32_t) override {}
  void messageBox(const std::string&, const std::string&) override {}
  void requestEnd() override {}
  std::string programFolder() override { return "/tmp"; }
  bool acquireInstanceLock() override { return true; }
  void openUrl(const std::string&) override {}
  SoundDevice& sound() override { return sound_; }

 private:
  NullSound sound_;
};

void EmptyHandler(Client&, const InfoRecord& r) {
  benchmark::DoNotOptimize(r.value[3]);
}

void SetAllocationCounter(benchmark::State& state, std::uint64_t before) {
  state.counters["allocs/frame"] = benchmark::Counter(
      static_cast<double>(g_allocations.load() - before) / static_cast<double>(state.iterations()));
}

// 127 discards waiting in the receive ring.
void FillRing(FrameRing& ring) {
  // 127 discards waiting; the read position rewinds instead of refilling.
  for (int i = 0; i < 127; ++i) {
    Frame f{};
    f[3] = 2;
    f[6] = static_cast<std::uint8_t>(1 << (i % 4));
    f[15] = static_cast<std::uint8_t>(0x21 + i % 9);
    f[260] = static_cast<std::uint8_t>(i);
    ring.append(f.data(), f.size());
  }
}

void BM_DecodeFrameAndDispatch(benchmark::State& state) {
  NullPlatform platform;
  Client c(platform);
  c.table.custom[0].seat = 1;
  c.handlers.byType[2] = EmptyHandler;
  FrameRing& ring = c.link.ReceiveRing;
  FillRing(ring);
  const std::uint64_t before = g_allocations.load();
  for (auto _ : state) {
    if (ring.buffered() < protocol::kFrameSize) ring.read = 0;
    DecodeFrame(c.link);
    Dispatch(c);
  }
  SetAllocationCounter(state, before);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeFrameAndDispatch);

// A client recording its game into a scratch folder, the game's file open.
struct RecordingClient {
  NullPlatform platform;
  Client c{platform};
  std::string folder;
  RecordingClient() {
    char tmpl[] = "/tmp/bench-link-XXXXXX";
    folder = mkdtemp(tmpl) ? tmpl : "/tmp";
    EnableRecording(c, folder + "/replays", RecordSettings{}, "bench");
    c.table.custom[0].seat = 1;
    c.handlers.byType[2] = EmptyHandler;
    Frame login{};
    login[3] = 18;
    RecordSent(c, login.data());  // the login opens the game's file
    FillRing(c.link.ReceiveRing);
  }
  ~RecordingClient() {
    EndRecordedGame(c);
    std::system(("rm -rf '" + folder + "'").c_str());
  }
};

// The same frame path with recording on: the recorder is attached and its
// game's file open. Frames are kept once they have left the ring, at the
// tick's end, never on the way to the dispatcher, so here the ring only
// rewinds (the frames are not written); that work is timed on its own below.
void BM_DecodeFrameAndDispatchRecording(benchmark::State& state) {
  RecordingClient rc;
  Client& c = rc.c;
  FrameRing& ring = c.link.ReceiveRing;
  const std::uint64_t before = g_allocations.load();
  for (auto _ : state) {
    if (ring.buffered() < protocol::kFrameSize) {
      ring.read = 0;
      RecordRingReset(c);
    }
    DecodeFrame(c.link);
    Dispatch(c);
  }
  SetAllocationCounter(state, before);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeFrameAndDispatchRecording);

// What recording costs per frame: decode, dispatch and the frame appended to
// the file's buffer (copy and check); the buffer goes to the file when full.
void BM_DecodeDispatchAndRecordFrame(benchmark::State& state) {
  RecordingClient rc;
  Client& c = rc.c;
  FrameRing& ring = c.link.ReceiveRing;
  const std::uint64_t before = g_allocations.load();
  for (auto _ : state) {
    if (ring.buffered() < protocol::kFrameSize) {
      ring.read = 0;
      RecordRingReset(c);
    }
    DecodeFrame(c.link);
    Dispatch(c);
    RecordTaken(c);
  }
  SetAllocationCounter(state, before);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeDispatchAndRecordFrame);

// One tick as it runs in a game: one frame decoded and dispatched, then the
// tick's flush writes it to the file (a write(2) per tick, no fsync).
void BM_TickWithOneFrameRecorded(benchmark::State& state) {
  RecordingClient rc;
  Client& c = rc.c;
  FrameRing& ring = c.link.ReceiveRing;
  for (auto _ : state) {
    if (ring.buffered() < protocol::kFrameSize) {
      ring.read = 0;
      RecordRingReset(c);
    }
    DecodeFrame(c.link);
    Dispatch(c);
    FlushRecording(c);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TickWithOneFrameRecorded);

void BM_Memcpy272(benchmark::State& state) {
  alignas(64) static std::uint8_t src[34816];
  alignas(64) static std::uint8_t dst[272];
  std::size_t at = 0;
  for (auto _ : state) {
    std::memcpy(dst, src + at, 272);
    benchmark::DoNotOptimize(dst);
    benchmark::ClobberMemory();
    at = at + 272 == sizeof src ? 0 : at + 272;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Memcpy272);

void BM_SendInfo(benchmark::State& state) {
  NullPlatform platform;
  Client c(platform);
  c.table.custom[0].seat = 4;
  c.link.LinkToken = {0x12, 0x34};
  InfoRecord r;
  r.itype = 2;
  r.seat = 4;
  r.value[3] = MarkDiscard(0x29);
  const std::uint64_t before = g_allocations.load();
  for (auto _ : state) {
    if (c.link.SendRing.room() < protocol::kFrameSize) c.link.SendRing.read = c.link.SendRing.write;
    SendInfo(c, r);
  }
  SetAllocationCounter(state, before);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendInfo);

void BM_PumpTickIdle(benchmark::State& state) {
  NullPlatform platform;
  Client c(platform);
  SetTimer(c, TimerId::Bong, true);
  const std::uint64_t before = g_allocations.load();
  for (auto _ : state) PumpTick(c);
  SetAllocationCounter(state, before);
}
BENCHMARK(BM_PumpTickIdle);

// Prints the decode-to-memcpy ratio after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto d = times_.find("BM_DecodeFrameAndDispatch");
    auto m = times_.find("BM_Memcpy272");
    if (d != times_.end() && m != times_.end() && m->second > 0)
      std::printf("decode+dispatch / memcpy(272) time ratio: %.2f\n", d->second / m->second);
    auto r = times_.find("BM_DecodeFrameAndDispatchRecording");
    if (d != times_.end() && r != times_.end() && d->second > 0)
      std::printf("decode+dispatch with recording on / off: %+.1f %%\n",
                  100.0 * (r->second / d->second - 1.0));
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace
}  // namespace tavren

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  tavren::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
