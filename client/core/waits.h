// The three waits, and waiting for a condition.
#pragma once

#include <functional>

namespace tavren {

struct Client;

// Blocks the whole client; no event is handled meanwhile.
void pauseSeconds(Client& c, float seconds);

// Waits until more than `seconds` have passed, handling events meanwhile.
void waitSeconds(Client& c, float seconds);

// Waits until more than `ms` milliseconds have passed, handling events meanwhile.
void waitMillis(Client& c, int ms);

// Handles events until `done()` holds or `limitMs` has passed; true when done.
bool WaitUntil(Client& c, const std::function<bool()>& done, int limitMs);

}  // namespace tavren
