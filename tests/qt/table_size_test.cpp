// The table size: the choices kept in the settings and the factor the window
// is drawn at on a given screen.
#include "qt/table_size.h"

#include <gtest/gtest.h>

namespace tavren::qt {
namespace {

TEST(TableSize, TheChosenSizeIsKeptWhereTheScreenHoldsTheWholeWindow) {
  struct Case {
    const char* key;
    int screenW, screenH;  // the screen's free area, logical pixels
    double zoom;
  } cases[] = {
      {"100", 1920, 1080, 1.0},
      {"125", 1920, 1080, 1.25},
      // 150 % of 796 is 1194: a 1080 screen holds 135 % at most.
      {"150", 1920, 1080, 1.35},
      {"150", 2560, 1440, 1.5},
      {"200", 2560, 1600, 2.0},
      {"200", 2560, 1440, 1.8},
      {"fit", 1920, 1080, 1.35},
      {"fit", 3840, 2160, 2.71},
      // A screen smaller than the window keeps the table's own rules (100 %).
      {"fit", 1280, 720, 1.0},
      {"200", 1024, 768, 1.0},
      // QT_SCALE_FACTOR=2 on 2560 x 1600: 1280 x 800 logical pixels.
      {"125", 1280, 800, 1.0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.key) + " " + std::to_string(k.screenW) + "x" +
                 std::to_string(k.screenH));
    const auto choice = FindTableSize(k.key);
    ASSERT_TRUE(choice.has_value());
    EXPECT_DOUBLE_EQ(TableZoom(*choice, k.screenW, k.screenH), k.zoom);
  }
}

TEST(TableSize, OnlyTheOfferedChoicesAreKnown) {
  EXPECT_TRUE(FindTableSize(kDefaultTableSize).has_value());
  EXPECT_EQ(FindTableSize(kDefaultTableSize)->factor, 1.0);
  for (const char* bad : {"", "90", "300", "150%", "FIT", " 100"})
    EXPECT_FALSE(FindTableSize(bad).has_value()) << bad;
}

}  // namespace
}  // namespace tavren::qt
