// The window tests need an application with widgets, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "resources/pictures.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  tavren::initPictures();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
