#include "table/dispatch.h"

#include <exception>

#include "chat/chat.h"
#include "core/client.h"
#include "link/reconnect.h"
#include "replay/recorder.h"
#include "rules/offer.h"
#include "table/hand_setup.h"
#include "table/players.h"
#include "table/results.h"
#include "table/seating.h"
#include "table/snapshot.h"
#include "table/turns.h"

namespace tavren {

namespace p = protocol;

void InstallHandlers(Handlers& h) {
  h.byType.fill(nullptr);
  h.byType[p::kInsLoginResult] = HandleLoginResult;
  h.byType[p::kInsResumed] = HandleResumed;
  h.byType[p::kInsMembership] = HandleMembership;
  h.byType[p::kInsPlayerGone] = HandlePlayerGone;
  h.byType[p::kInsGameOver] = HandleGameOver;
  h.byType[p::kInsReady] = HandleReady;
  h.byType[p::kInsTableJoined] = HandleTableJoined;
  h.byType[p::kInsPlayerName] = HandlePlayerNames;
  h.byType[p::kInsNewHand] = HandleNewHand;
  h.byType[p::kInsJiaoTou] = HandleCall;
  h.byType[p::kInsFlower] = HandleFlower;
  h.byType[p::kInsDeal] = HandleDeal;
  h.byType[p::kInsDiscard] = HandleDiscard;
  h.byType[p::kInsDraw] = HandleDraw;
  h.byType[p::kInsMeld] = HandleMeld;
  h.byType[p::kInsWildTile] = HandleWildTile;
  h.byType[p::kInsReveal] = HandleReveal;
  h.byType[p::kInsSnapshot] = HandleSnapshot;
  h.byType[p::kInsOffer] = OnClaimOffer;
  h.byType[p::kInsResult] = HandleHandResult;
  h.byType[p::kInsSettlement] = HandleSettlement;
  h.byType[p::kInsPlayerRecord] = HandlePlayerRecord;
  h.byType[p::kInsChat] = HandleChatLine;
}

void Dispatch(Client& c) {
  const Frame& f = c.link.LastFrame;
  // A resume answer keeps the token of the connection being resumed.
  if (f[p::kTypeOffset] != p::kInsResumed) {
    c.link.LinkToken[0] = f[p::kTokenOffset];
    c.link.LinkToken[1] = f[p::kTokenOffset + 1];
  }
  // The handler gets its own copy: nothing it runs can change what it reads.
  const InfoRecord record = c.link.rinfo;
  const auto type = static_cast<std::uint16_t>(record.itype);
  const Handler handler = type < c.handlers.byType.size() ? c.handlers.byType[type] : nullptr;
  if (handler == nullptr) return;
  try {
    handler(c, record);
  } catch (const ProgramEnd&) {
    throw;
  } catch (...) {
    // A record the client cannot apply: back to the lobby, and end.
    RestoreLobby(c);
    EndProgram(c);
  }
}

void ResetForNextHand(Client& c) {
  ResetHandRecords(c);
  // The part of a frame still on its way stays: cutting it would shift every
  // later frame.
  if (c.recorder) RecordTaken(c);
  c.link.ReceiveRing.dropWhole(p::kFrameSize);
  if (c.recorder) RecordRingReset(c);
  c.link.SendRing.clear();
}

}  // namespace tavren
