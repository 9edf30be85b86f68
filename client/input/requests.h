// The user's moves as requests to the server: the discard and the operation
// requests (type 7) of every claim. Hand input, the offer handling and
// auto-play all send through these, so each sets ClaimSent the same way.
#pragma once

namespace tavren {

struct Client;

// Pass on the open offer (claim code 1).
void SendPassRequest(Client& c);
// Chi with the standing slots `slotA`, `slotB` and the discard on offer; the
// chosen pair becomes ChiChoice(0), ChiChoice(1), the pair the meld is laid with.
void SendChiRequest(Client& c, int slotA, int slotB);
// Peng of the discard on offer with the first standing pair of `tile`.
void SendPengRequest(Client& c, int tile);
// Kong of kind `kind` (16 exposed, 32 concealed, 64 added) with the candidate
// at standing slot `slot`; the candidate becomes KongChoice(0).
void SendKongRequest(Client& c, int kind, int slot);
void SendHuRequest(Client& c);

// Discards the standing slot `slot`: the request (when the hand holds a tile
// to discard), the tile face-up in the centre, the slots after it closed up,
// the row sorted again. Returns false when there is nothing to discard there.
bool DiscardStandingSlot(Client& c, int slot);

// The claim voice `code` of the user, when sound is on.
void PlayOwnClaimVoice(Client& c, const char* code);

// Every operation button with its spent picture, hidden and disabled.
void RetireOperationButtons(Client& c);
// The chi and kong candidate images, hidden and disabled.
void HideChoiceImages(Client& c);

}  // namespace tavren
