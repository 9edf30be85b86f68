// Instructions about the table's membership rather than the play of a hand.
#pragma once

namespace tavren {

struct Client;

// Instruction 18: the login result.
void HandleLoginResult(Client& c);

}  // namespace tavren
