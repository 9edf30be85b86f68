// The dispatcher: handler selection and the reset for the next hand.
#include <gtest/gtest.h>

#include "support/sim_client.h"

namespace tavren {
namespace {

using testing::ServerFrame;
using testing::SimClient;

int g_calls[256];

template <int N>
void Count(Client&, const InfoRecord&) {
  ++g_calls[N];
}

TEST(Dispatch, SelectsTheHandlerByTypeAndIgnoresTypesWithoutOne) {
  SimClient s;
  std::fill(std::begin(g_calls), std::end(g_calls), 0);
  s.c.handlers.byType[2] = Count<2>;
  s.c.handlers.byType[41] = Count<41>;
  for (int type : {2, 41, 100, 0, 33, 255, 2}) {
    Frame f = ServerFrame(type, 1);
    s.c.link.ReceiveRing.append(f.data(), f.size());
    DecodeFrame(s.c.link);
    Dispatch(s.c);
  }
  EXPECT_EQ(g_calls[2], 2);
  EXPECT_EQ(g_calls[41], 1);
  EXPECT_FALSE(s.c.ended);
}

TEST(Dispatch, ResetForNextHandEmptiesBothRings) {
  SimClient s;
  SendKeepAlive(s.c);
  Frame f = ServerFrame(2);
  s.c.link.ReceiveRing.append(f.data(), f.size());
  s.c.table.custom[2].count = 9;
  ResetForNextHand(s.c);
  EXPECT_EQ(s.c.link.SendRing.buffered(), 0u);
  EXPECT_EQ(s.c.link.ReceiveRing.buffered(), 0u);
  EXPECT_EQ(s.c.link.SendRing.write, 0u);
  EXPECT_EQ(s.c.table.custom[2].count, 0);
}

void Throws(Client&, const InfoRecord&) {
  throw std::out_of_range("index");
}

TEST(Dispatch, AFailureInsideAHandlerRestoresTheLobbyThenEnds) {
  SimClient s;
  s.c.handlers.byType[7] = Throws;
  Frame f = ServerFrame(7, 1);
  s.c.link.ReceiveRing.append(f.data(), f.size());
  RunEvent(s.c, [&] {
    DecodeFrame(s.c.link);
    Dispatch(s.c);
    ADD_FAILURE() << "the end of the program must unwind to the event entry";
  });
  EXPECT_TRUE(s.c.ended);
  ASSERT_EQ(s.platform.lobby.received.size(), 1u);
  EXPECT_EQ(s.platform.lobby.received[0].wParam, kScRestore);
}

}  // namespace
}  // namespace tavren
