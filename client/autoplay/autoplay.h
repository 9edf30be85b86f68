// Playing for the user: the move made when the turn countdown runs out, and
// the full automatic move of unattended mode.
#pragma once

namespace tavren {

struct Client;

void TimeoutMove(Client& c);
void AutoPlayMove(Client& c);

}  // namespace tavren
