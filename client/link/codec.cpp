#include "link/codec.h"

#include <algorithm>
#include <cstring>

#include "core/client.h"
#include "text/gbk.h"

namespace tavren {

namespace p = protocol;

namespace {

void PutI16(std::uint8_t* at, std::int16_t v) {
  auto u = static_cast<std::uint16_t>(v);
  at[0] = static_cast<std::uint8_t>(u >> 8);
  at[1] = static_cast<std::uint8_t>(u & 0xFF);
}

// Writes the request layout (everything but the chat text) into `f`, which
// the caller has zeroed.
void FillRequest(const InfoRecord& info, const std::uint8_t* token, std::uint8_t* f) {
  auto type = static_cast<std::uint16_t>(info.itype);
  f[p::kTypeHighOffset] = static_cast<std::uint8_t>(type >> 8);
  f[p::kTypeOffset] = static_cast<std::uint8_t>(type & 0xFF);
  f[p::kByte5Offset] = info.byte5;
  f[p::kSeatOffset] = info.seat;
  f[p::kByte7Offset] = info.byte7;
  for (std::size_t i = 0; i < p::kOperandCount; ++i)
    PutI16(f + p::kOperandOffset + 2 * i, info.value[i]);
  f[p::kTokenOffset] = token[0];
  f[p::kTokenOffset + 1] = token[1];
}

}  // namespace

void EncodeRequest(const InfoRecord& info, std::span<const std::uint8_t, 2> token, Frame& out) {
  out.fill(0);
  FillRequest(info, token.data(), out.data());
}

void SendInfo(Client& c, const InfoRecord& info) {
  const bool chat = (static_cast<std::uint16_t>(info.itype) & 0xFF) == p::kReqChat;
  if (chat && c.chat.ChatOutText.empty()) return;

  FrameRing& ring = c.link.SendRing;
  if (ring.room() < p::kFrameSize) {
    // 127 frames already wait for a socket that does not take them; a 128th
    // would make the ring look empty and lose them all, so this one is dropped.
    ++c.link.DroppedSends;
    if (chat) c.chat.ChatOutText.clear();
    return;
  }
  // Frames always start at a multiple of the frame size, so the frame is contiguous.
  std::uint8_t* f = ring.buf.data() + ring.write;
  std::memset(f, 0, p::kFrameSize);
  FillRequest(info, c.link.LinkToken.data(), f);

  if (chat) {
    std::string gbk = Utf8ToGbk(Utf8Prefix(c.chat.ChatOutText, p::kChatMaxChars));
    std::size_t n = std::min(gbk.size(), p::kChatTextBytes);
    std::memcpy(f + p::kPayloadOffset, gbk.data(), n);
    c.chat.ChatOutText.clear();
  }

  ring.write = static_cast<std::uint32_t>((ring.write + p::kFrameSize) % FrameRing::kSize);
  c.link.SendPending = true;
  c.link.TickCount[kTaskSend] = 0;
}

std::string FrameBytes(const Frame& frame, std::size_t offset, std::size_t maxBytes) {
  std::string out;
  for (std::size_t i = offset; i < offset + maxBytes && i < frame.size() && frame[i] != 0; ++i)
    out.push_back(static_cast<char>(frame[i]));
  return out;
}

std::string FrameText(const Frame& frame, std::size_t offset, std::size_t maxBytes) {
  std::string gbk;
  const std::size_t end = std::min(offset + maxBytes, frame.size());
  for (std::size_t i = offset; i < end && frame[i] != 0; ++i) {
    gbk.push_back(static_cast<char>(frame[i]));
    // A lead byte takes the byte after it, even the first byte past the text.
    if (frame[i] >= 0x80 && i + 1 < frame.size()) gbk.push_back(static_cast<char>(frame[++i]));
  }
  return GbkToUtf8(gbk);
}

namespace {
void DecodeLastFrame(LinkState& link) {
  const Frame& f = link.LastFrame;
  InfoRecord& r = link.rinfo;
  const std::uint8_t type = f[p::kTypeOffset];
  r.itype = type;
  r.byte5 = f[p::kByte5Offset];
  r.seat = f[p::kSeatOffset] & 0x0F;
  r.byte7 = f[p::kByte7Offset];

  if (type == p::kInsDeal) {
    r.byte8 = f[p::kOperandOffset];
    for (std::size_t i = 0; i < p::kDealOperandCount; ++i) r.value[i] = f[p::kPayloadOffset + i];
    return;
  }

  const bool isSigned = type == p::kInsReveal || type == p::kInsSettlement;
  for (std::size_t i = 0; i < p::kOperandCount; ++i) {
    const std::uint8_t hi = f[p::kOperandOffset + 2 * i];
    const std::uint8_t lo = f[p::kOperandOffset + 2 * i + 1];
    if (isSigned)
      r.value[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(hi << 8 | lo));
    else
      r.value[i] = lo == p::kWireWildTile ? kWildCode : lo;
  }
}
}  // namespace

void DecodeFrame(LinkState& link) {
  FrameRing& ring = link.ReceiveRing;
  Frame& f = link.LastFrame;
  std::memcpy(f.data(), ring.buf.data() + ring.read, p::kFrameSize);
  ring.read = static_cast<std::uint32_t>((ring.read + p::kFrameSize) % FrameRing::kSize);
  DecodeLastFrame(link);
}

void DecodeFrame(LinkState& link, const Frame& frame) {
  link.LastFrame = frame;
  DecodeLastFrame(link);
}

std::int16_t MarkDiscard(int code) {
  return static_cast<std::int16_t>((code & 0x0FFF) | p::kDiscardMarker);
}
std::int16_t MarkMeld(int code) {
  return static_cast<std::int16_t>((code & 0x0FFF) | p::kMeldMarker);
}

namespace {
InfoRecord Request(const Client& c, int type) {
  InfoRecord r;
  r.itype = static_cast<std::int16_t>(type);
  r.seat = c.table.custom[0].seat;
  return r;
}
}  // namespace

void SendDiscard(Client& c, int tile) {
  InfoRecord r = Request(c, p::kReqDiscard);
  r.value[3] = MarkDiscard(tile);
  SendInfo(c, r);
}

void SendClaim(Client& c, int claim, int t1, int t2, int t3) {
  InfoRecord r = Request(c, p::kReqClaim);
  r.value[0] = static_cast<std::int16_t>(claim);
  const int tiles[3] = {t1, t2, t3};
  for (int i = 0; i < 3; ++i)
    if (tiles[i] != 0) r.value[1 + i] = MarkMeld(tiles[i]);
  SendInfo(c, r);
}

void SendJiaoTouAnswer(Client& c, int firstChoice, int secondChoice) {
  InfoRecord r = Request(c, p::kReqJiaoTou);
  r.value[1] = static_cast<std::int16_t>(firstChoice);
  r.value[3] = static_cast<std::int16_t>(secondChoice);
  SendInfo(c, r);
}

void SendReady(Client& c) {
  InfoRecord r = Request(c, p::kReqReady);
  r.value[3] = 1;
  SendInfo(c, r);
}

void SendChat(Client& c, int kind, std::uint8_t toSeat, int phraseNo) {
  InfoRecord r = Request(c, p::kReqChat);
  r.value[0] = static_cast<std::int16_t>(kind);
  r.value[1] = toSeat;
  r.value[3] = static_cast<std::int16_t>(phraseNo);
  SendInfo(c, r);
}

void SendKeepAlive(Client& c) {
  SendInfo(c, Request(c, p::kReqKeepAlive));
}

}  // namespace tavren
