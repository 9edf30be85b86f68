// A table in the simulated world for the play tests: the user's standing
// hand laid on real controls, offers delivered through the dispatcher, and
// the requests the client queued read back from the send ring.
#pragma once

#include <initializer_list>
#include <vector>

#include "core/client.h"
#include "support/sim_client.h"
#include "view/seats.h"

namespace tavren::testing {

struct Request {
  int type = 0;
  std::array<int, 4> value{};
  bool operator==(const Request&) const = default;
};

inline Request Req(int type, int v0 = 0, int v1 = 0, int v2 = 0, int v3 = 0) {
  return {type, {v0, v1, v2, v3}};
}

struct PlayTable : SimClient {
  std::vector<Request> seen;

  explicit PlayTable(PixelSize screen = {1280, 1024}) {
    platform.screen = screen;
    LayOutTable(c);
    c.table.LoginAccepted = true;
    c.offer.TurnTime = 8;
    c.input.TableActive = true;
    c.table.WildTileCode = 0x29;
  }

  HandRecord& own() { return c.table.custom[0]; }
  Control& tile(int control) { return c.view.MJ_Image[static_cast<std::size_t>(control)]; }
  Control& op(int i) { return c.view.Operation[static_cast<std::size_t>(i)]; }

  // The user's standing hand from slot `first` on controls `control`, `control` + 1, …
  void stand(std::initializer_list<int> codes, int control = 40) {
    HandRecord& h = own();
    LoadSteps(c, Steps::Standing);
    int k = h.first;
    for (int code : codes) {
      h.mj[static_cast<std::size_t>(k)] = {kSlotStanding, static_cast<std::int16_t>(code),
                                           static_cast<std::int16_t>(control)};
      ShowStandingFace(c, 0, control, code);
      placeInStandingRow(c, 0, k, control);
      tile(control).visible = true;
      ++k;
      ++control;
    }
    h.count = static_cast<std::int16_t>(codes.size());
  }

  std::vector<int> codes() {
    std::vector<int> out;
    const HandRecord& h = own();
    for (int k = h.first; k < h.first + h.count; ++k)
      out.push_back(h.mj[static_cast<std::size_t>(k)].value);
    return out;
  }

  // A discard of another side on show in the centre.
  void onShow(int code, int control = 100) {
    c.table.LastDiscard = static_cast<std::int16_t>(code);
    c.table.LastDiscardInd = static_cast<std::int16_t>(control);
    ShowFace(c, control, 3, code);
    tile(control).visible = true;
  }

  // Delivers a server frame through the decoder and the dispatcher.
  void deliver(const Frame& f) {
    c.link.ReceiveRing.append(f.data(), f.size());
    DecodeFrame(c.link);
    Dispatch(c);
  }
  void offer(int mask, std::uint8_t seat = 1) { deliver(ServerFrame(6, seat, {mask})); }

  // Requests queued since the last call, oldest first.
  std::vector<Request> sent() {
    FrameRing& ring = c.link.SendRing;
    std::vector<Request> out;
    while (ring.buffered() >= 272) {
      const std::uint8_t* f = ring.buf.data() + ring.read;
      Request r;
      r.type = f[3];
      for (int i = 0; i < 4; ++i)
        r.value[static_cast<std::size_t>(i)] = f[8 + 2 * i] << 8 | f[9 + 2 * i];
      out.push_back(r);
      ring.read = static_cast<std::uint32_t>((ring.read + 272) % FrameRing::kSize);
    }
    return out;
  }

  int offeredPic(int i) { return c.view.pics.ClaimButtonPics[static_cast<std::size_t>(3 * i + 1)]; }
  int spentPic(int i) { return c.view.pics.ClaimButtonPics[static_cast<std::size_t>(3 * i)]; }
};

// A table whose requests reach the scripted server through the running pump.
struct PumpTable : PlayTable {
  std::vector<Request> got;
  PumpTable() {
    server.onFrame = [this](sim::Connection&, const Frame& f) {
      Request r;
      r.type = f[3];
      for (int i = 0; i < 4; ++i)
        r.value[static_cast<std::size_t>(i)] = f[8 + 2 * i] << 8 | f[9 + 2 * i];
      got.push_back(r);
    };
    Connect();
  }
  void hand(const std::vector<int>& codes) {
    stand({});
    HandRecord& h = own();
    for (std::size_t i = 0; i < codes.size(); ++i)
      h.mj[h.first + i] = {kSlotStanding, static_cast<std::int16_t>(codes[i]),
                           static_cast<std::int16_t>(40 + i)};
    h.count = static_cast<std::int16_t>(codes.size());
  }
  std::vector<Request> take() {
    std::vector<Request> out;
    out.swap(got);
    return out;
  }
};

// Tile codes.
inline constexpr int Wan(int r) {
  return 0x40 | r;
}
inline constexpr int Tiao(int r) {
  return 0x20 | r;
}
inline constexpr int Tong(int r) {
  return 0x80 | r;
}
inline constexpr int Honour(int r) {
  return 0x10 | r;
}

}  // namespace tavren::testing
