// A small JSON summary of what the table shows, written after every event
// when $TAVRENMJ_SCENE_DUMP names a file: scripts that drive the real window
// with the mouse read it to know where to click.
#pragma once

#include <string>

namespace tavren {
struct Client;
}

namespace tavren::qt {

std::string SceneSummary(const Client& c);
// Writes the summary to `path` whole (a temporary file renamed over it).
void WriteSceneSummary(const Client& c, const std::string& path);

}  // namespace tavren::qt
