// Resuming a connection lost during a hand: the reconnection dialog with its
// two timers, the resume attempts and the server's answer.
#pragma once

namespace tavren {

struct Client;
struct InfoRecord;

inline constexpr int kReconnectAttempts = 16;

struct ReconnectState {
  int ReconnectTries = 0;
  int ReconnectSeconds = 1;
  bool NoticePosted = false;  // the lobby was told of this resume's login frame
};

// Shows the dialog, loading it first when it is not loaded.
void OpenReconnectDialog(Client& c);
void UnloadReconnectDialog(Client& c);

// The dialog's events.
void ReconnectTimerTick(Client& c);  // TimerReconnect, every second
void ReconnectCountTick(Client& c);  // TimerCount, every 3 s
void ReconnectNowClicked(Client& c);
void ReconnectCancelClicked(Client& c);

// Whether the login task tells the lobby that a login frame is about to go
// out: always for a login, once for all the attempts of one resume.
bool TakeLoginNotice(Client& c);

// Starts one resume attempt with the login frame.
void ResumeLink(Client& c);

// Instruction 29: the server's answer to a resume.
void HandleResumed(Client& c, const InfoRecord& r);

}  // namespace tavren
