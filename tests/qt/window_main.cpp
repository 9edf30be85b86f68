// The window tests need an application with widgets, on the offscreen platform.
//
// With --density=2 the application runs at Qt's scale factor 2 (two device
// pixels to a logical pixel, as on a high-density screen) and only the tests
// of suite AtDensityTwo run; without it they are left out, since the density
// is fixed once the application exists.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resources/pictures.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  bool dense = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--density=2") == 0) {
      dense = true;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc;
      break;
    }
  if (dense) setenv("QT_SCALE_FACTOR", "2", 1);
  QApplication app(argc, argv);
  tavren::initPictures();
  ::testing::InitGoogleTest(&argc, argv);
  std::string filter = GTEST_FLAG_GET(filter);
  if (dense)
    filter = "AtDensityTwo.*";
  else
    filter += filter.find('-') == std::string::npos ? "-AtDensityTwo.*" : ":AtDensityTwo.*";
  GTEST_FLAG_SET(filter, filter);
  return RUN_ALL_TESTS();
}
