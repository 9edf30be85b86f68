// The link pump: the 50 ms tick that drives the client, the socket's events
// and the keep-alive timer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavren {

struct Client;

// What the user reads when the table ends without a word from the server.
inline constexpr const char* kSilentServerText = "已经与服务器断开连接，请重新入座！";
inline constexpr const char* kUnreachableServerText = "无法连接游戏服务器，请检查网络后重新入座！";

// One tick of TimerBong: the eight tasks in their fixed order.
void PumpTick(Client& c);

// The socket delivered bytes.
void DataArrival(Client& c, const std::uint8_t* data, std::size_t size);

// Appends bytes of the game stream to the receive ring. Bytes that do not
// fit would overrun unread frames: the lobby is restored and the client ends.
void AppendReceived(Client& c, const std::uint8_t* data, std::size_t size);

// The two countdowns: the pump steps them once a second while they run.
// The turn clock plays for the user when it runs out; the continue clock
// sends the ready request.
void StartTurnClock(Client& c, int seconds);
void StopTurnClock(Client& c);
void StartContinueClock(Client& c, int seconds);
void StopContinueClock(Client& c);

// The peer closed the connection: close our side; the link watch notices.
void SocketClosed(Client& c);

// TimerKeepAlive: queue a keep-alive request.
void TimerKeepAlive(Client& c);

// Opens a new connection to `host`. Queued requests wait on it until the
// login frame has gone out.
void OpenConnection(Client& c, const std::string& host, std::uint16_t port);

// Sends the login frame straight on the socket (login and resume).
void SendLoginFrame(Client& c);

}  // namespace tavren
