// The window tests need an application with widgets, on the offscreen platform.
//
// With --density=2 the application runs at Qt's scale factor 2 (two device
// pixels to a logical pixel, as on a high-density screen) and only the tests
// of suite AtDensityTwo run; with --two-screens it has a common screen and a
// high-density one beside it and only suite OnTwoScreens runs. Without either,
// both suites are left out, since the screens are fixed once the application exists.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resources/pictures.h"
#include "support/two_screens.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string only;  // the suite of the screens asked for
  for (int i = 1; i < argc; ++i) {
    const bool dense = std::strcmp(argv[i], "--density=2") == 0;
    const bool two = std::strcmp(argv[i], "--two-screens") == 0;
    if (!dense && !two) continue;
    only = dense ? "AtDensityTwo.*" : "OnTwoScreens.*";
    if (dense) setenv("QT_SCALE_FACTOR", "2", 1);
    if (two && !tavren::testing::UseTwoScreens()) {
      std::fprintf(stderr, "cannot write the screens' file\n");
      return 1;
    }
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    break;
  }
  QApplication app(argc, argv);
  tavren::initPictures();
  ::testing::InitGoogleTest(&argc, argv);
  std::string filter = GTEST_FLAG_GET(filter);
  if (!only.empty())
    filter = only;
  else
    filter += filter.find('-') == std::string::npos ? "-AtDensityTwo.*:OnTwoScreens.*"
                                                    : ":AtDensityTwo.*:OnTwoScreens.*";
  GTEST_FLAG_SET(filter, filter);
  return RUN_ALL_TESTS();
}
