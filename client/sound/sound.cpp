#include "sound/sound.h"

#include "core/client.h"

namespace tavren {

void PlayEffect(Client& c, int /*effect*/, int /*volume*/) {
  c.log.record("PlayEffect");
}

}  // namespace tavren
