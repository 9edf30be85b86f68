// The instruction dispatcher: one entry point for every decoded frame.
#pragma once

#include <array>

namespace tavren {

struct Client;
struct InfoRecord;

// A handler reads the record it handles and never writes to it; the frame's
// payload is in `LinkState::LastFrame`.
using Handler = void (*)(Client&, const InfoRecord&);

// Handlers by instruction type; types without one are ignored.
struct Handlers {
  std::array<Handler, 256> byType{};
};

// Fills the table with the handlers the client has.
void InstallHandlers(Handlers& h);

// Updates the link token from the last frame, then runs the handler of
// `rinfo.itype` with that record. A handler that fails restores the lobby and
// ends the program.
void Dispatch(Client& c);

// Prepares the next hand: the table reset, and both rings emptied.
void ResetForNextHand(Client& c);

}  // namespace tavren
