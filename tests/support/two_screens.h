// Two screens side by side on Qt's offscreen platform, a common one (device
// pixel ratio 1) on the left and a high-density one (ratio 2) on the right, so
// that a window moved from one to the other changes density as on a desk with
// a laptop and a second monitor. Call UseTwoScreens() before the application
// exists: the platform reads its screens once.
#pragma once

#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tavren::testing {

// The screens' names and their logical geometry: each 1920 x 1080 logical
// pixels, the second one 3840 x 2160 device pixels.
inline constexpr const char* kCommonScreen = "common";
inline constexpr const char* kDenseScreen = "dense";
inline constexpr int kScreenW = 1920;

// Writes the platform's screen list to a file of this process and points the
// offscreen platform at it; the second screen's scale factor is 2.
inline bool UseTwoScreens() {
  static std::string path;
  const char* tmp = std::getenv("TMPDIR");
  path = std::string(tmp != nullptr && *tmp != 0 ? tmp : "/tmp") + "/tavren-two-screens-" +
         std::to_string(::getpid()) + ".json";
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  std::fprintf(f,
               "{\"screens\": ["
               "{\"name\": \"%s\", \"x\": 0, \"y\": 0, \"width\": %d, \"height\": 1080,"
               " \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1},"
               "{\"name\": \"%s\", \"x\": %d, \"y\": 0, \"width\": %d, \"height\": 2160,"
               " \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}\n",
               kCommonScreen, kScreenW, kDenseScreen, kScreenW, 2 * kScreenW);
  const bool written = std::fclose(f) == 0;
  // The platform reads the file while the application starts; it goes when the process ends.
  std::atexit([] { std::remove(path.c_str()); });
  setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + path).c_str(), 1);
  setenv("QT_SCREEN_SCALE_FACTORS",
         (std::string(kCommonScreen) + "=1;" + kDenseScreen + "=2").c_str(), 1);
  unsetenv("QT_SCALE_FACTOR");
  return written;
}

inline QScreen* ScreenNamed(const char* name) {
  for (QScreen* s : QGuiApplication::screens())
    if (s->name() == QLatin1String(name)) return s;
  return nullptr;
}

// Moves a top-level window onto the screen named, as a user drags it there:
// the platform reports the new screen and the window takes its density.
inline void MoveToScreen(QWidget& w, const char* name) {
  const QScreen* s = ScreenNamed(name);
  if (s == nullptr) return;
  w.move(s->geometry().topLeft() + QPoint(40, 40));
}

}  // namespace tavren::testing
