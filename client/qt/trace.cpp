#include "qt/trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace tavren::qt {

namespace {

std::FILE* Sink() {
  static std::FILE* sink = [] {
    const char* path = std::getenv("TAVRENMJ_TRACE");
    return path != nullptr && path[0] != '\0' ? std::fopen(path, "w") : nullptr;
  }();
  return sink;
}

}  // namespace

void Trace(const char* what) {
  std::FILE* f = Sink();
  if (f == nullptr) return;
  using namespace std::chrono;
  const double ms =
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count() / 1000.0;
  std::fprintf(f, "%.3f %s\n", ms, what);
  std::fflush(f);
}

}  // namespace tavren::qt
