// The wire contract between the table client and a game server: frame size,
// request and instruction numbers, and the fixed byte offsets both ends use.
// Client and server each encode and decode frames on their own; only these
// numbers are shared, so each end is an independent check of the other.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavren::protocol {

// Every frame, in both directions, is exactly this long.
inline constexpr std::size_t kFrameSize = 272;

// Byte offsets inside a frame.
inline constexpr std::size_t kTypeHighOffset = 2;  // requests only; servers' high byte is not read
inline constexpr std::size_t kTypeOffset = 3;
inline constexpr std::size_t kByte5Offset = 5;
inline constexpr std::size_t kSeatOffset = 6;  // low nibble is the seat bit
inline constexpr std::size_t kByte7Offset = 7;
inline constexpr std::size_t kOperandOffset = 8;  // four big-endian 16-bit operands
inline constexpr std::size_t kOperandCount = 4;
inline constexpr std::size_t kPayloadOffset = 16;
inline constexpr std::size_t kDealOperandCount = 12;  // instruction 1: bytes 16..27
inline constexpr std::size_t kNameBytes = 16;         // names: bytes 16..31
inline constexpr std::size_t kChatTextBytes = 200;    // chat text: bytes 16..215
inline constexpr std::size_t kNoticeBytes = 200;      // game-over notice: bytes 16..215
inline constexpr std::size_t kLoginAccountOffset = 16;
inline constexpr std::size_t kLoginKeyOffset = 32;
inline constexpr std::size_t kLoginUrlBytes = 100;  // login result: page address, bytes 16..115
inline constexpr std::size_t kTokenOffset = 260;    // two-byte link token
inline constexpr std::size_t kTokenSize = 2;

// Chat requests carry at most this many characters (200 bytes of GBK).
inline constexpr std::size_t kChatMaxChars = 100;

// Requests, client to server (frame bytes 2..3).
enum Request : std::uint16_t {
  kReqDiscard = 2,
  kReqClaim = 7,
  kReqJiaoTou = 8,
  kReqReady = 16,  // value(3) = 1: ready; all operands 0: leave the table
  kReqLogin = 18,
  kReqChat = 19,
  kReqKeepAlive = 24,
  kReqResume = 28,
  // Not a client's: a lobby asks a server for its tables on a connection that
  // has not logged in. Operand 0 is the first table wanted.
  kReqTableList = 40,
};

// Instructions, server to client (frame byte 3).
enum Instruction : std::uint8_t {
  kInsDeal = 1,
  kInsDiscard = 2,
  kInsPlayerName = 3,
  kInsNewHand = 4,
  kInsDraw = 5,
  kInsOffer = 6,
  kInsMeld = 7,
  kInsJiaoTou = 8,
  kInsResult = 9,
  kInsFlower = 10,
  kInsWildTile = 14,
  kInsReveal = 15,
  kInsMembership = 16,
  kInsSettlement = 17,
  kInsLoginResult = 18,
  kInsChat = 19,
  kInsPlayerRecord = 20,
  kInsPlayerGone = 21,
  kInsGameOver = 22,
  kInsReady = 23,
  kInsResumed = 29,
  kInsSnapshot = 40,
  kInsTableJoined = 41,
  // Never sent to a client: one frame per table, the answer to kReqTableList.
  kInsTableList = 42,
};

// Claim and meld kinds: offer masks, claim requests and melds share them.
enum Claim : std::uint16_t {
  kClaimPass = 1,
  kClaimChi = 4,
  kClaimPeng = 8,
  kClaimExposedKong = 16,
  kClaimConcealedKong = 32,
  kClaimAddedKong = 64,
  kClaimHu = 128,
};

// Marker bits on tile operands of requests.
inline constexpr std::uint16_t kDiscardMarker = 0x4000;
inline constexpr std::uint16_t kMeldMarker = 0x2000;

// On the wire a wild (财神) tile in a hand is this byte; the client turns it into code 5.
inline constexpr std::uint8_t kWireWildTile = 24;

// Instruction 16 forms (value(3)).
inline constexpr int kMembershipNothing = 0;
inline constexpr int kMembershipLeft = 1;
inline constexpr int kMembershipDealer = 2;
inline constexpr int kMembershipGoldShortage = 3;  // any value above 2 reads as a gold shortage

// Instruction 2: value(0) of a discard that repeats the dealer's first discard (跟庄).
inline constexpr int kDiscardFollowsDealer = 3;

// The client's own code of a wild tile (what wire code 24 becomes); servers use it
// in revealed hands and snapshots, whose operands are not translated.
inline constexpr std::uint8_t kLocalWildTile = 5;

// Instruction 18 verdicts (value(3)).
inline constexpr int kLoginAccepted = 1;
inline constexpr int kLoginBadSeat = 2;

// Instruction 29 (value(3)): the seat is resumed; 0 refuses the resume.
inline constexpr int kResumeDone = 1;

// Instruction 42, one table of a server's list: operand 0 the table, operand 1
// the number of tables, operand 2 its state, operand 3 its watchers; byte 7 bit 0
// set when a game there waits for every player's 开始. Then four seats of
// kTableListSeatBytes from kPayloadOffset: kind, ready (0/1), two spare bytes,
// the user id (8 bytes little-endian), the account (kNameBytes).
inline constexpr std::size_t kTableListSeatBytes = 28;
inline constexpr std::size_t kTableListUserIdOffset = 4;
inline constexpr std::size_t kTableListNameOffset = 12;
inline constexpr int kTableListMaxFrames = 16;  // tables answered per request
enum TableState : std::uint8_t {
  kTableIdle = 0,          // nobody there, no game
  kTableWaitingStart = 1,  // seated players, no hand yet: waiting for 开始
  kTableBetweenHands = 2,
  kTablePlaying = 3,
};
enum SeatKind : std::uint8_t {
  kSeatFree = 0,    // a robot keeps the seat warm; no game runs
  kSeatRobot = 1,   // a robot plays it; a player who sits takes it from the next hand
  kSeatPlayer = 2,  // a client holds it
  kSeatAway = 3,    // its client's connection broke during the hand
};

}  // namespace tavren::protocol
