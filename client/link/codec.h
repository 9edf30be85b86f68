// The 272-byte frame and the record it is decoded into or encoded from.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "protocol/tavren_protocol.h"

namespace tavren {

struct Client;
struct LinkState;

using Frame = std::array<std::uint8_t, protocol::kFrameSize>;

// One instruction or request.
struct InfoRecord {
  std::int16_t itype = 0;
  std::uint8_t byte5 = 0;
  std::uint8_t seat = 0;
  std::uint8_t byte7 = 0;
  std::array<std::int16_t, 12> value{};
  std::int16_t byte8 = 0;
};

// Builds the request frame for `info` (and, for chat, the pending chat text)
// and queues it on the send ring. A chat request with no text queues nothing.
void SendInfo(Client& c, const InfoRecord& info);

// Decodes the frame at the receive ring's read position into `rinfo` and
// `LastFrame` and advances the ring by exactly one frame; nothing else. The
// caller makes sure a whole frame is waiting.
void DecodeFrame(LinkState& link);
// Decodes `frame` the same way, without touching the receive ring (a chat line
// that was set aside).
void DecodeFrame(LinkState& link, const Frame& frame);

// Encodes `info` into `out` (the request layout), without the chat text.
void EncodeRequest(const InfoRecord& info, std::span<const std::uint8_t, 2> token, Frame& out);

// Reads a zero-terminated byte string from `LastFrame`, at most `maxBytes` long.
std::string FrameBytes(const Frame& frame, std::size_t offset, std::size_t maxBytes);

// Reads double-byte text (GBK) from a frame: a byte of 0x80 or more pairs with
// the byte after it, even past `maxBytes`; the text ends at a zero byte.
// Returns UTF-8.
std::string FrameText(const Frame& frame, std::size_t offset, std::size_t maxBytes);

// The requests, as named helpers. Every one goes through SendInfo.
std::int16_t MarkDiscard(int code);
std::int16_t MarkMeld(int code);
void SendDiscard(Client& c, int tile);
void SendClaim(Client& c, int claim, int t1 = 0, int t2 = 0, int t3 = 0);
void SendJiaoTouAnswer(Client& c, int firstChoice, int secondChoice);
void SendReady(Client& c);
void SendChat(Client& c, int kind, std::uint8_t toSeat, int phraseNo);  // text: ChatOutText
void SendKeepAlive(Client& c);

}  // namespace tavren
