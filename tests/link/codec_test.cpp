// The frame codec: byte layouts in both directions and the token rule.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "support/sim_client.h"
#include "text/gbk.h"

namespace tavren {
namespace {

using testing::PutText;
using testing::ServerFrame;
using testing::SimClient;

// The frame the last SendInfo queued.
Frame Queued(const Client& c) {
  const FrameRing& ring = c.link.SendRing;
  Frame f;
  const std::uint32_t at = (ring.write + FrameRing::kSize - 272) % FrameRing::kSize;
  std::memcpy(f.data(), ring.buf.data() + at, 272);
  return f;
}

// Queues `f` as if it arrived from the server and decodes it.
void Receive(Client& c, const Frame& f) {
  c.link.ReceiveRing.append(f.data(), f.size());
  DecodeFrame(c.link);
}

struct OperandCase {
  std::int16_t value;
  std::uint8_t hi, lo;
};

TEST(SendInfo, WritesOperandsBigEndianTwosComplement) {
  const OperandCase cases[] = {{-1, 0xFF, 0xFF},  {-32768, 0x80, 0x00}, {255, 0x00, 0xFF},
                               {300, 0x01, 0x2C}, {-5, 0xFF, 0xFB},     {0, 0, 0}};
  for (const auto& oc : cases) {
    SimClient s;
    s.c.link.LinkToken = {0xAB, 0xCD};
    InfoRecord r;
    r.itype = 7;
    r.seat = 4;
    r.value = {oc.value, 1, oc.value, 2, 99, 99, 99, 99, 99, 99, 99, 99};
    SendInfo(s.c, r);
    Frame f = Queued(s.c);
    SCOPED_TRACE(oc.value);
    EXPECT_EQ(f[8], oc.hi);
    EXPECT_EQ(f[9], oc.lo);
    EXPECT_EQ(f[12], oc.hi);
    EXPECT_EQ(f[13], oc.lo);
    EXPECT_EQ(f[11], 1);
    EXPECT_EQ(f[15], 2);
  }
}

TEST(SendInfo, LaysOutHeaderTokenAndZeros) {
  SimClient s;
  s.c.link.LinkToken = {0x12, 0x34};
  InfoRecord r;
  r.itype = 0x0107;  // the high byte of the type goes to byte 2
  r.seat = 8;
  SendInfo(s.c, r);
  Frame f = Queued(s.c);
  EXPECT_EQ(f[0], 0);
  EXPECT_EQ(f[1], 0);
  EXPECT_EQ(f[2], 0x01);
  EXPECT_EQ(f[3], 0x07);
  EXPECT_EQ(f[4], 0);
  EXPECT_EQ(f[6], 8);
  EXPECT_EQ(f[260], 0x12);
  EXPECT_EQ(f[261], 0x34);
  for (int i = 16; i < 260; ++i) ASSERT_EQ(f[i], 0) << i;
  for (int i = 262; i < 272; ++i) ASSERT_EQ(f[i], 0) << i;
  EXPECT_TRUE(s.c.link.SendPending);
  EXPECT_EQ(s.c.link.SendRing.buffered(), 272u);
}

TEST(SendInfo, ChatTextOfHundredDoubleByteCharactersFillsBytes16To215) {
  SimClient s;
  s.c.link.LinkToken = {7, 9};
  std::string text;
  for (int i = 0; i < 120; ++i) text += "中";  // cut to 100
  s.c.chat.ChatOutText = text;
  SendChat(s.c, 0, 0, 0);
  Frame f = Queued(s.c);
  const std::string zhong = Utf8ToGbk("中");
  ASSERT_EQ(zhong.size(), 2u);
  for (int i = 16; i < 216; i += 2) {
    ASSERT_EQ(f[i], static_cast<std::uint8_t>(zhong[0])) << i;
    ASSERT_EQ(f[i + 1], static_cast<std::uint8_t>(zhong[1])) << i;
  }
  for (int i = 216; i < 260; ++i) ASSERT_EQ(f[i], 0) << i;
  EXPECT_EQ(f[260], 7);
  EXPECT_EQ(f[261], 9);
  EXPECT_TRUE(s.c.chat.ChatOutText.empty());
}

TEST(SendInfo, ChatOperandsAndMixedText) {
  SimClient s;
  s.c.chat.ChatOutText = "ok好";
  SendChat(s.c, 2, 4, 3);
  Frame f = Queued(s.c);
  EXPECT_EQ(f[3], 19);
  EXPECT_EQ(f[9], 2);
  EXPECT_EQ(f[11], 4);
  EXPECT_EQ(f[15], 3);
  const std::string expect = "ok" + Utf8ToGbk("好");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data() + 16), expect.size()), expect);
  EXPECT_EQ(f[16 + expect.size()], 0);
}

TEST(SendInfo, EmptyChatQueuesNothing) {
  SimClient s;
  s.c.link.TickCount[kTaskSend] = 5;
  SendChat(s.c, 0, 0, 0);
  EXPECT_EQ(s.c.link.SendRing.buffered(), 0u);
  EXPECT_FALSE(s.c.link.SendPending);
  EXPECT_EQ(s.c.link.TickCount[kTaskSend], 5);
}

TEST(SendInfo, NamedRequestsCarryTheirOperands) {
  SimClient s;
  s.c.table.custom[0].seat = 2;
  SendDiscard(s.c, 0x29);
  Frame f = Queued(s.c);
  EXPECT_EQ(f[3], 2);
  EXPECT_EQ(f[6], 2);
  EXPECT_EQ(f[14], 0x40);
  EXPECT_EQ(f[15], 0x29);

  SendClaim(s.c, 8, 0x15, 0x15, 0x15);
  f = Queued(s.c);
  EXPECT_EQ(f[3], 7);
  EXPECT_EQ(f[9], 8);
  for (int i : {10, 12, 14}) {
    EXPECT_EQ(f[i], 0x20);
    EXPECT_EQ(f[i + 1], 0x15);
  }

  SendJiaoTouAnswer(s.c, 5, 5);
  f = Queued(s.c);
  EXPECT_EQ(f[3], 8);
  EXPECT_EQ(f[11], 5);
  EXPECT_EQ(f[15], 5);

  SendReady(s.c);
  f = Queued(s.c);
  EXPECT_EQ(f[3], 16);
  EXPECT_EQ(f[15], 1);

  SendKeepAlive(s.c);
  f = Queued(s.c);
  EXPECT_EQ(f[3], 24);
  EXPECT_EQ(f[15], 0);
}

TEST(DecodeFrame, SignedPairsOnlyForRevealAndSettlement) {
  struct Case {
    int type;
    std::uint8_t hi, lo;
    std::int16_t expect;
  };
  const Case cases[] = {
      {17, 0xFF, 0x38, -200}, {2, 0xFF, 0x38, 56}, {15, 0x80, 0x00, -32768},
      {15, 0x00, 24, 24},     {17, 0x00, 24, 24},  {2, 0x00, 24, 5},
      {7, 0x12, 24, 5},       {33, 0x00, 24, 5},   {5, 0x01, 0x29, 0x29},
  };
  for (const auto& k : cases) {
    SimClient s;
    Frame f = ServerFrame(k.type);
    for (int i = 0; i < 4; ++i) {
      f[8 + 2 * i] = k.hi;
      f[9 + 2 * i] = k.lo;
    }
    Receive(s.c, f);
    SCOPED_TRACE(::testing::Message() << "type " << k.type);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s.c.link.rinfo.value[i], k.expect);
  }
}

TEST(DecodeFrame, DealWritesTwelveOperandsAndLaterFramesKeepTheRest) {
  SimClient s;
  Frame deal = ServerFrame(1, 0x01);
  deal[8] = 0x77;
  for (int i = 9; i < 16; ++i) deal[i] = 0xEE;  // ignored
  for (int i = 0; i < 12; ++i) deal[16 + i] = static_cast<std::uint8_t>(0x81 + i % 9);
  deal[27] = 24;  // no wild-tile rule for the deal
  Receive(s.c, deal);
  EXPECT_EQ(s.c.link.rinfo.byte8, 0x77);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(s.c.link.rinfo.value[i], 0x81 + i % 9) << i;
  EXPECT_EQ(s.c.link.rinfo.value[11], 24);

  Receive(s.c, ServerFrame(2, 0x02, {0, 0, 0, 0x29}));
  EXPECT_EQ(s.c.link.rinfo.value[3], 0x29);
  for (int i = 4; i < 11; ++i) EXPECT_EQ(s.c.link.rinfo.value[i], 0x81 + i % 9) << i;
}

TEST(DecodeFrame, HeaderBytes) {
  SimClient s;
  Frame f = ServerFrame(0x02, 0x28);
  f[2] = 0x01;  // the high byte of the type is not read
  f[5] = 0x55;
  f[7] = 0x66;
  Receive(s.c, f);
  EXPECT_EQ(s.c.link.rinfo.itype, 2);
  EXPECT_EQ(s.c.link.rinfo.seat, 8);
  EXPECT_EQ(s.c.link.rinfo.byte5, 0x55);
  EXPECT_EQ(s.c.link.rinfo.byte7, 0x66);
  EXPECT_EQ(s.c.link.LastFrame, f);
}

TEST(DecodeFrame, OnlyDecodesHandlersDoTheRest) {
  // Names, the round wind and chat lines are the handlers' work: decoding them
  // changes nothing but the record and the last frame.
  SimClient s;
  Frame names = ServerFrame(3, 0x04);
  PutText(names, 16, "bob");
  Frame hand = ServerFrame(4);
  hand[16] = 2;
  Frame chat = ServerFrame(19, 0x02);
  PutText(chat, 16, "hi");
  for (const Frame& f : {names, hand, chat}) {
    Receive(s.c, f);
    EXPECT_EQ(s.c.link.LastFrame, f);
  }
  EXPECT_EQ(s.c.link.rinfo.seat, 2) << "the seat stays as it came";
  EXPECT_EQ(s.c.table.PlayerTag[2], "");
  EXPECT_EQ(s.c.table.RoundWindPic, 0);
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), "");
}

TEST(DecodeFrame, ChatLeadByteAtTheEndPairsWithByte216AndNextFrameStaysAligned) {
  SimClient s;
  const std::string hao = Utf8ToGbk("好");
  Frame chat = ServerFrame(19, 0x02);
  for (int i = 16; i < 214; ++i) chat[i] = 'a';
  chat[214] = 'b';
  chat[215] = static_cast<std::uint8_t>(hao[0]);
  chat[216] = static_cast<std::uint8_t>(hao[1]);
  s.c.link.ReceiveRing.append(chat.data(), chat.size());
  Frame next = ServerFrame(2, 0x02, {0, 0, 0, 0x13});
  s.c.link.ReceiveRing.append(next.data(), next.size());

  DecodeFrame(s.c.link);
  Dispatch(s.c);
  // The line reached the message area, and a line from another side blinks the chat button.
  EXPECT_EQ(s.c.view.Sysmsg[0].text(), std::string(45, 'a'));
  EXPECT_EQ(s.c.chat.ChatFlash, 8);
  EXPECT_EQ(FrameText(s.c.link.LastFrame, 16, 200), std::string(198, 'a') + "b好");

  DecodeFrame(s.c.link);
  EXPECT_EQ(s.c.link.rinfo.itype, 2);
  EXPECT_EQ(s.c.link.rinfo.value[3], 0x13);
}

TEST(LinkToken, EveryTypeButResumeAnswerReplacesIt) {
  SimClient s;
  s.c.link.LinkToken = {0x01, 0x02};
  Receive(s.c, ServerFrame(29, 1, {0, 0, 0, 1}, 0xAAAA));  // resumed
  Dispatch(s.c);
  EXPECT_TRUE(s.c.link.Resumed);
  EXPECT_EQ(s.c.link.LinkToken, (std::array<std::uint8_t, 2>{0x01, 0x02}));

  Receive(s.c, ServerFrame(33, 1, {}, 0x0B0C));  // no handler, still replaces
  Dispatch(s.c);
  EXPECT_EQ(s.c.link.LinkToken, (std::array<std::uint8_t, 2>{0x0B, 0x0C}));

  SendKeepAlive(s.c);
  Frame f = Queued(s.c);
  EXPECT_EQ(f[260], 0x0B);
  EXPECT_EQ(f[261], 0x0C);
}

TEST(DecodeFrame, AnyBytesDecodeAndDispatchSafely) {
  // Random frames through the real handlers: a handler may end the program
  // (a refused login, say); then a fresh client takes over.
  auto s = std::make_unique<SimClient>();
  std::mt19937 rng(12345);
  int ends = 0;
  for (int n = 0; n < 20000; ++n) {
    Frame f;
    for (auto& b : f) b = static_cast<std::uint8_t>(rng());
    if (n % 3 == 0) f[3] = static_cast<std::uint8_t>(n % 45);
    s->c.link.ReceiveRing.append(f.data(), f.size());
    RunEvent(s->c, [&] {
      DecodeFrame(s->c.link);
      Dispatch(s->c);
    });
    ASSERT_LE(s->c.link.rinfo.seat, 15);
    for (const auto& tag : s->c.table.PlayerTag) ASSERT_LE(tag.size(), kPlayerTagBytes);
    if (s->c.ended) {
      ++ends;
      s = std::make_unique<SimClient>();
    }
    ASSERT_EQ(s->c.link.ReceiveRing.buffered(), 0u);
  }
  EXPECT_GT(ends, 0);  // the login and resume handlers did run
}

}  // namespace
}  // namespace tavren
