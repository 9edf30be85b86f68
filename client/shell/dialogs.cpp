#include "shell/dialogs.h"

#include <cstring>

#include "chat/bubbles.h"
#include "core/client.h"
#include "link/pump.h"
#include "view/windows.h"

namespace tavren {

namespace {

constexpr std::uint32_t kPromptBackground = 0xB5946B;  // RGB(181, 148, 107)
constexpr int kPromptRaise = 20;                       // 300 twips above the centre
constexpr const char* kCallWaiting = "庄家正在叫头请稍等...";

int DialogPicture(const Client& c, int entry) {
  return c.view.pics.DialogButtonPics[static_cast<std::size_t>(entry)];
}

bool Named(const Control& k, const char* name) {
  return std::strcmp(k.name, name) == 0;
}

Control& At(SmallForm& f, int control) {
  return f.controls[static_cast<std::size_t>(control)];
}

int AddLabel(SmallForm& f, const char* name, int index, int x, int y, int w, int h,
             const std::string& caption) {
  const int k = AddControl(f, ControlType::Label, name, index, x, y, w, h);
  At(f, k).caption = caption;
  return k;
}

int AddButton(SmallForm& f, const char* name, int x, int y, int w, int h, int picture) {
  const int k = AddControl(f, ControlType::Image, name, 0, x, y, w, h);
  At(f, k).picture = picture;
  return k;
}

// After leaving the table the lobby takes over; without it the program ends.
void HandOverToLobby(Client& c) {
  if (!LobbyExists(c)) EndProgram(c);
  MinimizeMainWindow(c);
  RestoreLobby(c);
}

void LeaveTable(Client& c) {
  c.table.TableCleared = false;
  ResetToLobby(c);
  ResetHandRecords(c);
  resetTableView(c);
}

// frmExit

void ExitClick(Client& c, int control) {
  const Control& k = At(c.forms[FormId::frmExit], control);
  if (Named(k, "pbCancel")) {
    UnloadExitDialog(c);
    return;
  }
  if (!Named(k, "pbCloseMe")) return;
  if (c.platform.socketState() == kSocketConnected) {
    c.link.LinkWatch = false;
    c.link.TickCount[kTaskLinkWatch] = 0;
    SendLeave(c);
  }
  LeaveTable(c);
  UnloadExitDialog(c);
  HandOverToLobby(c);
}

SmallForm& LoadExitDialog(Client& c) {
  if (c.forms[FormId::frmExit].loaded) return c.forms[FormId::frmExit];
  SmallForm& f = OpenSmallForm(c, FormId::frmExit, "退出", 260, 140);
  f.titled = true;
  AddLabel(f, "Label1", 0, 30, 22, 200, 22, "您真的要退出吗？");
  AddLabel(f, "Label2", 0, 30, 50, 220, 22, "游戏正在进行，逃跑会扣分！");
  AddButton(f, "pbCloseMe", 40, 92, 65, 30, DialogPicture(c, 0));
  AddButton(f, "pbCancel", 155, 92, 65, 30, DialogPicture(c, 2));
  c.forms.handlers[static_cast<std::size_t>(FormId::frmExit)].click = ExitClick;
  return f;
}

// frmOtherExit

void OtherExitClick(Client& c, int control) {
  const Control& k = At(c.forms[FormId::frmOtherExit], control);
  if (Named(k, "imgOK")) {
    LeaveTable(c);
    UnloadOtherExitDialog(c);
    HandOverToLobby(c);
  } else if (Named(k, "imgCancel")) {
    // The table stays on screen; the ready button restarts it.
    c.input.TableDissolved = true;
    c.table.HandInProgress = false;
    c.link.LinkWatch = false;
    UnloadOtherExitDialog(c);
  }
}

// tishi

// An option button is a label with `selected` 0 or 1: the window draws its
// round button before the caption, filled when it is the choice.
void ShowChoices(SmallForm& f, const Client& c) {
  for (Control& k : f.controls) {
    if (Named(k, "Option1"))
      k.selected = k.index == c.play.CallTou ? 1 : 0;
    else if (Named(k, "Option2"))
      k.selected = k.index == c.play.CallMo ? 1 : 0;
  }
}

void AnswerPrompt(Client& c) {
  SmallForm& f = c.forms[FormId::tishi];
  const Control* frame = f.find("Frame1");
  if (c.shell.JiaoTouOpen && frame != nullptr && frame->visible) {
    c.shell.JiaoTouOpen = false;
    SendJiaoTouAnswer(c, c.play.CallTou, c.play.CallMo);
    StopTurnClock(c);
  }
  UnloadJiaoTouPrompt(c);
}

void PromptClick(Client& c, int control) {
  SmallForm& f = c.forms[FormId::tishi];
  const Control& k = At(f, control);
  // Only a notice closes on any click; the asked user answers with OK.
  if (!c.shell.JiaoTouOpen) {
    UnloadJiaoTouPrompt(c);
    return;
  }
  if (Named(k, "Option1") && k.index >= 1 && k.index <= 5) {
    c.play.CallTou = static_cast<std::int16_t>(k.index);
  } else if (Named(k, "Option2") && k.index >= 0 && k.index <= 5) {
    c.play.CallMo = static_cast<std::int16_t>(k.index);
  } else if (Named(k, "Image1")) {
    AnswerPrompt(c);
    return;
  }
  ShowChoices(f, c);
}

SmallForm& LoadPrompt(Client& c) {
  UnloadJiaoTouPrompt(c);
  SmallForm& f = OpenSmallForm(c, FormId::tishi, "", 300, 170, kPromptOpacity);
  f.background = kPromptBackground;
  // The back of the window takes the clicks that close a notice.
  AddLabel(f, "Back", 0, 0, 0, f.w, f.h, "");
  AddLabel(f, "Frame1", 0, 12, 12, 276, 44, "");
  for (int i = 1; i <= 5; ++i)
    AddLabel(f, "Option1", i, 16 + 46 * (i - 1), 24, 44, 22, std::to_string(i));
  AddLabel(f, "Label3", 0, 250, 24, 30, 22, "头");
  AddLabel(f, "Frame2", 0, 12, 62, 276, 44, "");
  for (int j = 0; j <= 5; ++j)
    AddLabel(f, "Option2", j, 16 + 38 * j, 74, 36, 22, std::to_string(j));
  AddLabel(f, "Label2", 0, 250, 74, 30, 22, "摸");
  AddButton(f, "Image1", 117, 124, 65, 30, DialogPicture(c, 0));
  const int notice = AddLabel(f, "Label1", 0, 20, 60, 260, 40, kCallWaiting);
  At(f, notice).visible = false;
  ShowChoices(f, c);
  const MainForm& m = c.view;
  f.top = m.windowTop + (m.windowH - f.h) / 2 - kPromptRaise;
  f.left = m.windowLeft + (m.windowW - f.w) / 2;
  Control& ok = *f.find("Image1");
  ok.visible = ok.enabled = c.shell.JiaoTouOpen;
  c.forms.handlers[static_cast<std::size_t>(FormId::tishi)].click = PromptClick;
  c.forms.handlers[static_cast<std::size_t>(FormId::tishi)].hover = [](Client& c, int control) {
    SmallForm& f = c.forms[FormId::tishi];
    PromptHover(c, control >= 0 && Named(At(f, control), "Image1"));
  };
  // Timer1 counts its 5 s from this load.
  SetTimer(c, TimerId::Prompt, true);
  return f;
}

}  // namespace

void ShowExitDialog(Client& c) {
  SmallForm& f = LoadExitDialog(c);
  f.find("Label2")->visible = c.table.HandInProgress && !c.table.Watching;
  CentreOverTable(c, f);
  f.visible = true;
}

void ToggleExitDialog(Client& c) {
  if (c.forms[FormId::frmExit].visible)
    UnloadExitDialog(c);
  else
    ShowExitDialog(c);
}

void UnloadExitDialog(Client& c) {
  CloseSmallForm(c, FormId::frmExit);
}

void ShowOtherExitDialog(Client& c, const std::string& text) {
  SmallForm& f = c.forms[FormId::frmOtherExit];
  if (!f.loaded) {
    OpenSmallForm(c, FormId::frmOtherExit, "退出", 300, 150);
    f.titled = true;
    AddLabel(f, "Label1", 0, 20, 16, 260, 70, "");
    AddButton(f, "imgOK", 55, 104, 70, 30, DialogPicture(c, 0));
    AddButton(f, "imgCancel", 175, 104, 70, 30, DialogPicture(c, 2));
    c.forms.handlers[static_cast<std::size_t>(FormId::frmOtherExit)].click = OtherExitClick;
    c.input.TableDissolved = true;
  }
  f.find("Label1")->caption = text;
  CentreOverTable(c, f);
  f.visible = true;
  // Nobody sits at an unattended client to answer the notice: it takes the
  // game's end as OK would, back to the lobby, rather than wait there for good.
  if (c.shell.UnattendedMode && !c.table.Watching) {
    LeaveTable(c);
    UnloadOtherExitDialog(c);
    HandOverToLobby(c);
  }
}

void UnloadOtherExitDialog(Client& c) {
  CloseSmallForm(c, FormId::frmOtherExit);
  // PlayerLeft only keeps the link watch from taking the client to the lobby
  // behind this dialog's back; once it is gone, a lost link goes back again.
  c.table.PlayerLeft = false;
}

void ShowJiaoTouPrompt(Client& c) {
  SmallForm& f = LoadPrompt(c);
  f.visible = true;
}

void ShowCallNotice(Client& c, const std::string& text) {
  SmallForm& f = LoadPrompt(c);
  CentreOverTable(c, f);
  SetTopmost(c, f, true);
  for (Control& k : f.controls)
    if (Named(k, "Frame1") || Named(k, "Frame2") || Named(k, "Option1") || Named(k, "Option2") ||
        Named(k, "Label2") || Named(k, "Label3") || Named(k, "Image1"))
      k.visible = false;
  Control& label = *f.find("Label1");
  label.caption = text;
  label.visible = true;
  f.visible = true;
}

void UnloadJiaoTouPrompt(Client& c) {
  SetTimer(c, TimerId::Prompt, false);
  c.play.PromptOpen = false;
  c.play.PromptHeld = false;
  CloseSmallForm(c, FormId::tishi);
}

void PromptHover(Client& c, bool overOk) {
  RunEvent(c, [&] {
    SmallForm& f = c.forms[FormId::tishi];
    Control* ok = f.loaded ? f.find("Image1") : nullptr;
    if (!c.shell.JiaoTouOpen || ok == nullptr) return;
    const int picture = DialogPicture(c, overOk ? 1 : 0);
    if (ok->picture == picture) return;
    ok->picture = picture;
  });
}

void PromptTimerTick(Client& c) {
  // The prompt goes a moment before the countdown answers for the user. While
  // the link is down that countdown stands still: the question is still open,
  // so the prompt stays until the link is resumed.
  if (c.shell.JiaoTouOpen && !c.table.LoginAccepted && c.forms[FormId::tishi].loaded) {
    SetTimer(c, TimerId::Prompt, false);
    c.play.PromptHeld = true;
    return;
  }
  UnloadJiaoTouPrompt(c);
}

void ResumeHeldPrompt(Client& c) {
  if (!c.play.PromptHeld) return;
  c.play.PromptHeld = false;
  if (c.shell.JiaoTouOpen && c.forms[FormId::tishi].loaded) SetTimer(c, TimerId::Prompt, true);
}

}  // namespace tavren
