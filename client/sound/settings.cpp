#include "sound/settings.h"

#include <cstring>
#include <string>

#include "chat/bubbles.h"
#include "core/client.h"
#include "view/windows.h"

namespace tavren {

namespace {

// Entries of the dialog-button table.
constexpr int kConfirmPic = 0;
constexpr int kCancelPic = 2;
constexpr int kOffPic = 4;  // 关闭: what a press does while the setting is on
constexpr int kOnPic = 5;   // 开启
constexpr int kDialectPic = 7;

constexpr const char* kRowNames[kSettingRows] = {"背景音乐", "语音", "音效", "方言语音"};

int Picture(const Client& c, int entry) {
  return c.view.pics.DialogButtonPics[static_cast<std::size_t>(entry)];
}

Control* Button(SmallForm& f, int row) {
  return f.find("Command2", row);
}

void ShowSwitch(Client& c, int row, bool on) {
  if (Control* k = Button(c.forms[FormId::VosSet], row))
    k->picture = Picture(c, on ? kOffPic : kOnPic);
}

void SetDialectVoices(Client& c) {
  c.sound.VoiceFolder = c.platform.programFolder() + "/../common/tavrenmj/";
  for (PlayerInfoRecord& p : c.table.PlayerInfo) p.voiceSet = kDialectVoiceSet;
  if (Control* k = Button(c.forms[FormId::VosSet], 3)) k->picture = Picture(c, kDialectPic);
}

// One press of row k's button, without the pending mark.
void Switch(Client& c, int row) {
  SoundState& s = c.sound;
  switch (row) {
    case 0:
      if (s.MusicOn) {
        s.MusicOn = false;
        StopEffect(c);
      } else {
        s.MusicOn = true;
        PlayEffect(c, s.EffectFile[kEffectMusic], true);
        SetEffectVolume(c, kFullVolume);
      }
      ShowSwitch(c, 0, s.MusicOn);
      break;
    case 1:
      s.VoiceOn = !s.VoiceOn;
      ShowSwitch(c, 1, s.VoiceOn);
      break;
    case 2:
      // A sound already playing goes on; only later ones are kept from starting.
      s.SoundOn = !s.SoundOn;
      ShowSwitch(c, 2, s.SoundOn);
      break;
    default:
      SetDialectVoices(c);
      break;
  }
}

void SettingsClick(Client& c, int control) {
  const Control& k = c.forms[FormId::VosSet].controls[static_cast<std::size_t>(control)];
  if (std::strcmp(k.name, "Command2") == 0)
    PressSettingButton(c, k.index);
  else if (std::strcmp(k.name, "Command1") == 0)
    CloseSoundSettings(c, k.index == 1);
}

}  // namespace

SmallForm& LoadSoundSettings(Client& c) {
  if (c.forms[FormId::VosSet].loaded) return c.forms[FormId::VosSet];
  SmallForm& f = OpenSmallForm(c, FormId::VosSet, "音效设置", 230, 310);
  f.titled = true;
  const int confirm = AddControl(f, ControlType::Image, "Command1", 0, 28, 264, 65, 30);
  f.controls[static_cast<std::size_t>(confirm)].picture = Picture(c, kConfirmPic);
  const int cancel = AddControl(f, ControlType::Image, "Command1", 1,
                                28 + static_cast<int>(1.4 * 65), 264, 65, 30);
  f.controls[static_cast<std::size_t>(cancel)].picture = Picture(c, kCancelPic);
  for (int row = 0; row < kSettingRows; ++row) {
    const int top = 30 + 56 * row;
    const int name = AddControl(f, ControlType::Label, "Image1", row, 20, top, 90, 36);
    f.controls[static_cast<std::size_t>(name)].caption = kRowNames[row];
    c.soundSettings.Toggled[static_cast<std::size_t>(row)] = 0;
    const int b = AddControl(f, ControlType::Image, "Command2", row, 20 + 90 + 20, top + 3, 65, 30);
    // Every switch is on when the client starts.
    f.controls[static_cast<std::size_t>(b)].picture = Picture(c, row < 3 ? kOffPic : kDialectPic);
  }
  // A window first opened after a switch changed shows the switch as it is.
  ShowSwitch(c, 0, c.sound.MusicOn);
  ShowSwitch(c, 1, c.sound.VoiceOn);
  ShowSwitch(c, 2, c.sound.SoundOn);
  c.forms.handlers[static_cast<std::size_t>(FormId::VosSet)].click = SettingsClick;
  return f;
}

void ToggleSoundSettings(Client& c) {
  SmallForm& f = LoadSoundSettings(c);
  if (f.visible) {
    f.visible = false;
  } else {
    const MainForm& m = c.view;
    // The window's whole height, its title strip included, places it.
    const int height = f.h + f.titleH();
    f.top = m.windowTop + m.pic1Y + m.pic1H - static_cast<int>(1.35 * height);
    f.left = m.windowLeft + m.pic1X + m.pic1W - static_cast<int>(1.1 * f.w);
    f.visible = true;
  }
}

void PressSettingButton(Client& c, int row) {
  if (row < 0 || row >= kSettingRows) return;
  LoadSoundSettings(c);
  std::int16_t& t = c.soundSettings.Toggled[static_cast<std::size_t>(row)];
  t = t == 0 ? -1 : 0;
  Switch(c, row);
}

void CloseSoundSettings(Client& c, bool cancel) {
  SmallForm& f = LoadSoundSettings(c);
  f.visible = false;
  auto& toggled = c.soundSettings.Toggled;
  if (cancel)
    for (int row = 0; row < kSettingRows; ++row)
      if (toggled[static_cast<std::size_t>(row)] != 0) Switch(c, row);
  toggled.fill(0);
}

}  // namespace tavren
