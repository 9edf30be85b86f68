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

// The pauses of the tile motion. While whole frames wait in the receive ring
// beyond an ordinary burst they are shortened, down to nothing when the ring
// holds a quarter of its frames, so a client that fell behind catches up and
// the ring's overrun rule is left for real floods.
void motionPause(Client& c, float seconds);
void motionWaitMillis(Client& c, int ms);
int CatchUpMillis(const Client& c, int ms);

// Handles events until `done()` holds or `limitMs` has passed; true when done.
bool WaitUntil(Client& c, const std::function<bool()>& done, int limitMs);

}  // namespace tavren
