#include "rules/win.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace tavren::server {
namespace {

constexpr int kPow5[10] = {1, 5, 25, 125, 625, 3125, 15625, 78125, 390625, 1953125};
constexpr int kSuitKeys = 1953125;  // 5^9
constexpr int kHonourKeys = 78125;  // 5^7
constexpr int kMaxTiles = 14;
constexpr std::uint8_t kUnset = 255;

// need[key] packs two numbers: low nibble without the pair, high nibble with it.
struct Tables {
  std::vector<std::uint8_t> suit;
  std::vector<std::uint8_t> honour;
};

Tables* gTables = nullptr;
std::once_flag gOnce;

int lowOf(std::uint8_t v) {
  return v & 0xF;
}
int highOf(std::uint8_t v) {
  return v >> 4;
}

// Fills table[key] for every key whose counts sum to at most kMaxTiles, in key order:
// every option removes tiles, so it refers to a smaller key already done.
void build(std::vector<std::uint8_t>& table, int ranks, bool runs) {
  table.assign(kPow5[ranks], kUnset);
  int c[9] = {};
  for (int key = 0; key < kPow5[ranks]; ++key) {
    int sum = 0, first = -1;
    for (int i = 0, k = key; i < ranks; ++i, k /= 5) {
      c[i] = k % 5;
      sum += c[i];
      if (first < 0 && c[i] > 0) first = i;
    }
    if (sum > kMaxTiles) continue;
    if (first < 0) {
      table[key] = static_cast<std::uint8_t>(0 | (2 << 4));  // a pair of two wilds
      continue;
    }
    int best[2] = {kImpossible, kImpossible};
    auto consider = [&](int removedKey, int wildCost, bool usesPair) {
      std::uint8_t sub = table[key - removedKey];
      if (sub == kUnset) return;
      if (usesPair) {
        best[1] = std::min(best[1], wildCost + lowOf(sub));
      } else {
        best[0] = std::min(best[0], wildCost + lowOf(sub));
        best[1] = std::min(best[1], wildCost + highOf(sub));
      }
    };
    const int i = first;
    // A set of three of this face, made up with wilds.
    for (int k = 1; k <= std::min(c[i], 3); ++k) consider(k * kPow5[i], 3 - k, false);
    // The pair.
    for (int k = 1; k <= std::min(c[i], 2); ++k) consider(k * kPow5[i], 2 - k, true);
    if (runs) {
      // A run with this face lowest; each higher face real or wild.
      if (i + 2 < ranks) {
        for (int a = 0; a <= (c[i + 1] > 0 ? 1 : 0); ++a)
          for (int b = 0; b <= (c[i + 2] > 0 ? 1 : 0); ++b)
            consider(kPow5[i] + a * kPow5[i + 1] + b * kPow5[i + 2], (1 - a) + (1 - b), false);
      }
      // This face in the middle: the lower one must be wild (no lower tile is held).
      if (i >= 1 && i + 1 < ranks) {
        for (int a = 0; a <= (c[i + 1] > 0 ? 1 : 0); ++a)
          consider(kPow5[i] + a * kPow5[i + 1], 1 + (1 - a), false);
      }
      if (i >= 2) consider(kPow5[i], 2, false);
    }
    best[0] = std::min(best[0], 15);
    best[1] = std::min(best[1], 15);
    table[key] = static_cast<std::uint8_t>(best[0] | (best[1] << 4));
  }
}

const Tables& tables() {
  std::call_once(gOnce, [] {
    auto* t = new Tables;
    build(t->suit, 9, true);
    build(t->honour, 7, false);
    gTables = t;
  });
  return *gTables;
}

}  // namespace

void initWinTables() {
  (void)tables();
}

namespace {
// Per group: honours, 条, 萬, 筒; kUnset when a group holds more than fourteen tiles.
void groupNeeds(const Counts& counts, std::uint8_t v[4]) {
  const Tables& t = tables();
  int keys[4] = {0, 0, 0, 0};
  for (int f = 0; f < kHonourFaces; ++f) keys[0] += counts.c[f] * kPow5[f];
  for (int g = 1; g <= 3; ++g) {
    const int base = kHonourFaces + (g - 1) * 9;
    int k = 0;
    for (int r = 8; r >= 0; --r) k = k * 5 + counts.c[base + r];
    keys[g] = k;
  }
  v[0] = t.honour[keys[0]];
  for (int g = 1; g <= 3; ++g) v[g] = t.suit[keys[g]];
}
}  // namespace

int wildsNeededForSetsOnly(const Counts& counts) {
  std::uint8_t v[4];
  groupNeeds(counts, v);
  int plain = 0;
  for (int g = 0; g < 4; ++g) {
    if (v[g] == kUnset) return kImpossible;
    plain += lowOf(v[g]);
  }
  return plain;
}

int wildsNeededForSets(const Counts& counts) {
  std::uint8_t v[4];
  groupNeeds(counts, v);
  int plain = 0;
  for (int g = 0; g < 4; ++g) {
    if (v[g] == kUnset) return kImpossible;  // more than fourteen tiles in one group
    plain += lowOf(v[g]);
  }
  int best = kImpossible;
  for (int g = 0; g < 4; ++g) best = std::min(best, plain - lowOf(v[g]) + highOf(v[g]));
  return best;
}

bool isStandardWin(const Counts& counts) {
  int total = counts.total();
  if (total % 3 != 2) return false;
  return wildsNeededForSets(counts) <= counts.wilds;
}

bool isSevenPairs(const Counts& counts, bool* luxury) {
  if (counts.total() != 14) return false;
  int singles = 0, quads = 0, triples = 0;
  for (auto v : counts.c) {
    singles += v % 2;
    if (v == 4) ++quads;
    if (v == 3) ++triples;
  }
  if (singles > counts.wilds) return false;
  if (luxury) {
    int spare = counts.wilds - singles;  // wilds left once every single has its partner
    // A triple's single takes one wild and makes four; two spare wilds double a pair.
    bool pairDoubled =
        spare >= 2 && std::any_of(counts.c.begin(), counts.c.end(), [](auto v) { return v >= 2; });
    *luxury = quads > 0 || triples > 0 || pairDoubled || spare >= 4;
  }
  return true;
}

bool isThirteenOrphans(const Counts& counts) {
  if (counts.total() != 14) return false;
  int missing = 0, pairs = 0;
  for (int f = 0; f < kFaces; ++f) {
    int v = counts.c[f];
    if (!isTerminalOrHonour(f)) {
      if (v) return false;
      continue;
    }
    if (v == 0) ++missing;
    if (v >= 3) return false;
    if (v == 2) ++pairs;
  }
  if (pairs > 1) return false;
  return missing + (pairs == 0 ? 1 : 0) <= counts.wilds;
}

bool isWin(const Counts& counts, bool concealed14) {
  if (isStandardWin(counts)) return true;
  if (!concealed14) return false;
  return isSevenPairs(counts) || isThirteenOrphans(counts);
}

}  // namespace tavren::server
