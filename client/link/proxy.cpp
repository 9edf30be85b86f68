#include "link/proxy.h"

#include "core/client.h"

namespace tavren {

void ProxyStep(Client& c) {
  c.log.record("ProxyStep");
}

}  // namespace tavren
