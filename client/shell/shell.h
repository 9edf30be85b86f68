// Start-up settings and the lobby link.
#pragma once

#include <cstdint>
#include <string>

#include "shell/dialogs.h"

namespace tavren {

struct Client;

inline constexpr const char* kDefaultLobbyCaption = "Qixo山庄";
inline constexpr const char* kRecordFileName = "info.qx";
inline constexpr const char* kPhraseFileName = "chat.ini";

struct ShellState {
  std::string LobbyCaption = kDefaultLobbyCaption;
  bool UnattendedMode = false;
  bool JiaoTouOpen = false;  // the 叫头 prompt window is open
  bool LobbyHandlerInstalled = false;
  bool FirstStart = false;
  std::string AdUrl;
  // The lobby's link closed during a hand: it is looked for again when the
  // hand is over.
  bool LobbyLinkLost = false;
  // The user has been told in this game that a hand could not be recorded.
  bool RecordLossTold = false;
  // Where the record file lives when not in the program folder: a replay keeps
  // its hands apart from the user's own record.
  std::string RecordFolder;
};

// Lobby operations. Restore and minimise end the program when the lobby is gone.
void RestoreLobby(Client& c);
void MinimizeLobby(Client& c);
void PostToLobby(Client& c, std::uint32_t message);
void ResetToLobby(Client& c);
// The table is lost: the main window steps aside for the lobby, and the
// client goes back to its idle state with an empty table.
void ReturnToLobby(Client& c);
// The same, when the table ended for a reason the user did not see happen (a
// server that went silent or could not be reached): the reason stays in the
// table's message line and a message box says it over the lobby.
void ReturnToLobbyWithReason(Client& c, const std::string& reason);
void SendLeave(Client& c);

// Is the lobby's window there?
bool LobbyExists(Client& c);

// The lobby's link closed. Between tables (after a leave, or seated with no
// hand running) the client ends as when it finds the lobby missing; during a
// hand it looks again once the hand is over.
void LobbyLinkClosed(Client& c);
void CheckLobbyAfterHand(Client& c);

}  // namespace tavren
