// Helpers of the dialog and chat tests: clicks on a form's controls by name,
// and the request frames the client queued.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/sim_client.h"
#include "text/gbk.h"

namespace tavren::testing {

inline int ControlIndex(Client& c, FormId id, const char* name, int index = 0) {
  const SmallForm& f = c.forms[id];
  for (std::size_t i = 0; i < f.controls.size(); ++i)
    if (std::strcmp(f.controls[i].name, name) == 0 && f.controls[i].index == index)
      return static_cast<int>(i);
  ADD_FAILURE() << "no control " << name << "(" << index << ")";
  return -1;
}

inline void Click(Client& c, FormId id, const char* name, int index = 0) {
  FormClick(c, id, ControlIndex(c, id, name, index));
}

// The frames waiting on the send ring, oldest first.
inline std::vector<Frame> Queued(const Client& c) {
  std::vector<Frame> out;
  const FrameRing& ring = c.link.SendRing;
  for (std::uint32_t at = ring.read; at != ring.write;
       at = (at + protocol::kFrameSize) % FrameRing::kSize) {
    Frame f{};
    std::memcpy(f.data(), ring.buf.data() + at, f.size());
    out.push_back(f);
  }
  return out;
}

inline int Operand(const Frame& f, int i) {
  return static_cast<std::int16_t>(f[8 + 2 * i] << 8 | f[9 + 2 * i]);
}

inline std::string ChatText(const Frame& f) {
  return FrameText(f, protocol::kPayloadOffset, protocol::kChatTextBytes);
}

}  // namespace tavren::testing
