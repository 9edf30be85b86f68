// A small JSON summary of what the table shows, written after every event
// when $TAVRENMJ_SCENE_DUMP names a file: scripts that drive the real window
// with the mouse read it to know where to click.
#pragma once

#include <string>

namespace tavren {
struct Client;
}

namespace tavren::qt {

// Places are in the screen's device pixels, as a pointer tool such as xdotool
// takes them: the window drawn at `zoom` times the table (the table size), on a
// screen of `ratio` device pixels per logical pixel (Qt's scale factor).
struct DumpScale {
  double zoom = 1.0;
  double ratio = 1.0;
};

std::string SceneSummary(const Client& c, DumpScale scale = {});
// Writes the summary to `path` whole (a temporary file renamed over it).
void WriteSceneSummary(const Client& c, const std::string& path, DumpScale scale = {});

}  // namespace tavren::qt
