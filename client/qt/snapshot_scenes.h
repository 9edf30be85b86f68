// Typical table states for snapshots and render tests, built by view operations.
#pragma once

#include <QImage>
#include <functional>
#include <string>
#include <vector>

namespace tavren {
struct Client;
}

namespace tavren::qt {

struct SnapshotScene {
  std::string name;
  std::function<void(Client&)> build;
};

// The table states a snapshot run renders.
const std::vector<SnapshotScene>& SnapshotScenes();

// The whole window as the user sees it: the skin, the title strip and the table,
// on a screen of `density` device pixels per table pixel (the picture is that
// many times larger each way).
QImage RenderWindow(Client& c, double density = 1.0);

}  // namespace tavren::qt
