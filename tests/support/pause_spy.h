// A simulated platform that records every blocking pause and lets a test look
// at the scene while it lasts.
#pragma once

#include <functional>
#include <vector>

#include "platform/sim/sim_world.h"

namespace tavren::testing {

struct PauseSpy : sim::SimPlatform {
  using sim::SimPlatform::SimPlatform;
  std::vector<int> pauses;
  std::function<void(int)> during;
  void pause(int ms) override {
    pauses.push_back(ms);
    if (during) during(ms);
    sim::SimPlatform::pause(ms);
  }
};

}  // namespace tavren::testing
