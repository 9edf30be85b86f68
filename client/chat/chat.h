// Chat lines in and out.
#pragma once

#include <string>

namespace tavren {

struct Client;

struct ChatState {
  std::string ChatOutText;  // the line SendInfo sends with the next chat request (UTF-8)
  int ChatFlash = 0;        // remaining blink steps of the chat button
  bool PhraseBubblesOn = false;
  bool ChatAllowed = false;
};

// A chat line arrived from `side` (text in UTF-8).
void DeliverChatLine(Client& c, int side, const std::string& text);

}  // namespace tavren
