#include "shell/startup.h"

#include <cstring>
#include <exception>

#include "core/client.h"
#include "input/input.h"
#include "link/pump.h"
#include "text/gbk.h"
#include "view/timed.h"

namespace tavren {

namespace p = protocol;

namespace {

std::string Trim(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return {};
  const std::size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// A whole decimal integer within [lo, hi]; an empty field counts as 0 when `emptyIsZero`.
std::optional<long> Integer(const std::string& text, long lo, long hi, bool emptyIsZero) {
  const std::string t = Trim(text);
  if (t.empty()) return emptyIsZero ? std::optional<long>(0) : std::nullopt;
  std::size_t i = 0;
  bool negative = false;
  if (t[0] == '-' || t[0] == '+') {
    negative = t[0] == '-';
    i = 1;
  }
  if (i == t.size()) return std::nullopt;
  long v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    v = v * 10 + (t[i] - '0');
    if (v > 1000000000L) return std::nullopt;
  }
  if (negative) v = -v;
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

// The number at the front of `text`, up to the next "$": the watched player's id.
std::optional<long> LeadingNumber(const std::string& text) {
  return Integer(text.substr(0, text.find('$')), -2147483647L, 2147483647L, false);
}

void BuildLoginFrame(Client& c, const std::string& account, const std::string& key) {
  Frame& f = c.link.LoginFrame;
  f.fill(0);
  f[p::kTypeOffset] = p::kReqLogin;
  std::memcpy(f.data() + p::kLoginAccountOffset, account.data(), account.size());
  std::memcpy(f.data() + p::kLoginKeyOffset, key.data(), key.size());
}

void ConnectDirect(Client& c) {
  OpenConnection(c, c.link.ServerHost, c.link.ServerPort);
  SetTimer(c, TimerId::Bong, true);
  c.link.LoginPending = true;
  c.link.TickCount[kTaskLogin] = 0;
}

void RunStartUp(Client& c, const std::string& commandLine) {
  // 1. One client at a time.
  if (!c.platform.acquireInstanceLock()) {
    c.platform.messageBox("警告", "Tavren麻将游戏已经运行！");
    RestoreLobby(c);
    EndProgram(c);
  }
  // 2..4. Window, link gates, sound, table.
  layoutMainWindow(c);
  ClearPumpGates(c.link);
  c.chat.ChatAllowed = true;
  c.link.LoginAwaited = false;
  StartSound(c);
  c.table.TableCleared = false;
  c.link.Watchdog = 0;
  c.chat.ChatFlash = 0;
  buildImageIdTables(c);
  layoutPlayerPanels(c);
  c.table.LastDiscardInd = -1;
  c.link.BlinkTile = -1;
  // Keep-alives run from start-up on; the first login enables them again.
  SetTimer(c, TimerId::KeepAlive, true);

  // 5..7. The hand-over.
  const std::string line = Trim(commandLine);
  if (line.empty()) {
    c.platform.messageBox("警告", "本游戏需从游戏大厅中启动！");
    EndProgram(c);
  }
  const std::optional<HandOver> parsed = ParseHandOver(line);
  if (!parsed) {
    RestoreLobby(c);
    EndProgram(c);
  }
  const HandOver& h = *parsed;
  c.table.Watching = h.watching;
  if (h.watching) c.table.PlayerInfo[0].userId = h.watchedUserId;
  c.table.custom[0].name = h.field[1];
  c.view.Location.caption = h.field[5];
  // The panel was laid out before the caption was known: a long one takes a
  // smaller font.
  if (CharCount(h.field[5]) > 10) c.view.Location.fontSize -= 2;
  c.link.ServerHost = h.field[3];
  c.link.ServerPort = h.serverPort;
  c.link.LinkMode = h.linkMode;
  c.proxy.ProxyHost = h.field[7];
  c.proxy.ProxyPort = h.proxyPort;
  c.proxy.ProxyUser = Utf8ToGbk(h.field[9]);
  c.proxy.ProxyPass = Utf8ToGbk(h.field[10]);
  c.shell.UnattendedMode = h.unattended;
  // The lobby is looked up by this caption from here on, the connection included.
  c.shell.LobbyCaption = h.unattended ? h.field[12] : kDefaultLobbyCaption;

  // 8..10. The login frame and the connection.
  ClearSysmsg(c);
  SetSysmsg(c, 0, "正在连接服务器...");
  SetTimer(c, TimerId::Bong, false);
  c.link.LinkReady = true;
  BuildLoginFrame(c, h.field[1], h.field[2]);  // the key is not kept anywhere else
  if (c.link.LinkMode == 0) {
    ConnectDirect(c);
  } else if (c.link.LinkMode == 5) {
    c.link.LoginPending = false;
    StartProxyLink(c);
  }

  // 11..14.
  ShowMainWindow(c);
  if (c.shell.UnattendedMode) {
    c.view.caption = h.field[13];
    c.offer.TurnTime = 5;
  }
  layoutTableWidgets(c);
  c.table.custom[0].seat = 0;
  c.shell.LobbyHandlerInstalled = true;
}

void LeaveAndReset(Client& c) {
  if (c.platform.socketState() == kSocketConnected) {
    c.link.LinkWatch = false;
    c.link.TickCount[kTaskLinkWatch] = 0;
    SendLeave(c);
  }
  ResetToLobby(c);
}

void HandleLobbyMessage(Client& c, std::uint32_t message) {
  switch (message) {
    case kLobbyHandInProgress:  // state query
      if (!LobbyExists(c)) return;
      PostToLobby(c, c.table.HandInProgress ? kLobbyHandInProgress : kWmUser);
      break;
    case kWmClear:  // leave request
      if (!LobbyExists(c)) return;
      if (c.link.LoginAwaited) {
        PostToLobby(c, kLobbyLoginUnderWay);
        return;
      }
      if (c.table.HandInProgress) {
        PostToLobby(c, kLobbyHandInProgress);
        return;
      }
      LeaveAndReset(c);
      resetTableView(c);
      PostToLobby(c, kWmUser);
      break;
    case kWmUser:  // leave, no answer expected
      LeaveAndReset(c);
      break;
    case kWmEndSession:  // sit down again
      c.link.LinkReady = true;
      c.link.LoginAwaited = true;
      // A resume may have left the resume type in the frame; a new seat logs in afresh.
      c.link.LoginFrame[p::kTypeOffset] = p::kReqLogin;
      if (c.link.LinkMode == 0) {
        if (c.platform.socketState() != kSocketClosed) c.platform.socketClose();
        ConnectDirect(c);
      } else if (c.link.LinkMode == 5) {
        c.link.LoginPending = false;
        StartProxyLink(c);
      }
      MarkContinueButton(c, false);
      c.view.AnNiu[2].picture = ButtonPicture(c, 4);
      HideCountdown(c);
      // Leaving minimised the window; the new seat brings it back, on top.
      ShowMainWindow(c);
      break;
    default:
      break;
  }
}

}  // namespace

std::optional<HandOver> ParseHandOver(const std::string& line) {
  HandOver h;
  h.watching = line.empty() || line.back() != '$';
  std::string rest = line;
  for (int k = 1; k <= kHandOverFields; ++k) {
    const std::size_t dollar = rest.find('$');
    h.field[k] = rest.substr(0, dollar);
    rest = dollar == std::string::npos ? std::string() : rest.substr(dollar + 1);
    if (k == 5 && h.watching) {
      // A watcher's line carries the watched player's id after the table
      // caption; the fields after it keep their meaning, so the mode is
      // still a mode and a watcher connects like a player.
      const auto id = LeadingNumber(rest);
      if (!id) return std::nullopt;
      h.watchedUserId = static_cast<std::int32_t>(*id);
      const std::size_t next = rest.find('$');
      rest = next == std::string::npos ? std::string() : rest.substr(next + 1);
    }
  }
  const std::string& account = h.field[1];
  const std::string& key = h.field[2];
  if (!IsSingleByteText(account) || !IsSingleByteText(key) || account.size() > kAccountBytes ||
      key.size() > kKeyBytes)
    return std::nullopt;
  const auto port = Integer(h.field[4], 0, 65535, false);
  const auto mode = Integer(h.field[6], -32768, 32767, true);
  const auto proxyPort = Integer(h.field[8], 0, 65535, true);
  if (!port || !mode || !proxyPort) return std::nullopt;
  h.serverPort = static_cast<std::uint16_t>(*port);
  h.linkMode = static_cast<int>(*mode);
  h.proxyPort = static_cast<std::uint16_t>(*proxyPort);
  const auto unattended = Integer(h.field[11], -2147483647L, 2147483647L, true);
  h.unattended = unattended && *unattended == 1;
  return h;
}

void StartUp(Client& c, const std::string& commandLine) {
  RunGuardedEvent(c, [&] { RunStartUp(c, commandLine); });
}

void OnLobbyMessage(Client& c, std::uint32_t message, std::uint32_t, std::uint32_t) {
  if (!c.shell.LobbyHandlerInstalled) return;
  RunGuardedEvent(c, [&] { HandleLobbyMessage(c, message); });
}

void OnLobbyLinkClosed(Client& c) {
  RunGuardedEvent(c, [&] { LobbyLinkClosed(c); });
}

void ShutDown(Client& c) {
  if (c.sound.SoundOn) StopEffect(c);
}

}  // namespace tavren
