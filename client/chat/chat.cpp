#include "chat/chat.h"

#include "core/client.h"

namespace tavren {

void DeliverChatLine(Client& c, int /*side*/, const std::string& /*text*/) {
  c.log.record("DeliverChatLine");
}

}  // namespace tavren
