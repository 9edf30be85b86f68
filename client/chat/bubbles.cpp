#include "chat/bubbles.h"

#include "core/client.h"
#include "view/windows.h"

namespace tavren {

namespace {

constexpr const char* kBubbleCaption = "speakbox";

int ScreenLeft(const Client& c, int side) {
  return c.view.windowLeft + SX(c, kBubblePlaces[side].left / static_cast<double>(kTwipsPerPixel));
}

int ScreenTop(const Client& c, int side) {
  return c.view.windowTop + SY(c, kBubblePlaces[side].top / static_cast<double>(kTwipsPerPixel));
}

Bubble& State(Client& c, int side) {
  return c.chat.bubbles.side[static_cast<std::size_t>(CheckIndex(side, 4, "bubble side"))];
}

SmallForm& Form(Client& c, int side) {
  return c.forms[BubbleForm(CheckIndex(side, 4, "bubble side"))];
}

bool AnyFading(const Client& c) {
  for (const Bubble& b : c.chat.bubbles.side)
    if (b.fading) return true;
  return false;
}

}  // namespace

std::vector<ShapeRun> ShapeRuns(std::span<const std::uint32_t> pixels, int w, int h,
                                std::int64_t keyColour) {
  std::vector<ShapeRun> runs;
  if (w <= 0 || h <= 0 || pixels.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h))
    return runs;
  const std::uint32_t key = keyColour < 1 ? pixels[0] : static_cast<std::uint32_t>(keyColour);
  const int last = w - 1;
  for (int y = 0; y < h; ++y) {
    const std::uint32_t* row =
        pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
    int start = -1;
    for (int x = 0; x <= last; ++x) {
      const bool keyed = row[x] == key;
      if (start < 0) {
        if (!keyed && x < last) start = x;
        continue;
      }
      if (keyed || x == last) {
        runs.push_back({y, start, x});
        start = -1;
      }
    }
  }
  return runs;
}

FormId BubbleForm(int side) {
  switch (side) {
    case 1:
      return FormId::SpeakBox1;
    case 2:
      return FormId::SpeakBox2;
    case 3:
      return FormId::SpeakBox3;
    default:
      return FormId::SpeakBox0;
  }
}

bool ShapeBubble(Client& c, int side) {
  SmallForm& f = Form(c, side);
  if (f.loaded) return false;
  f = SmallForm{};
  f.caption = kBubbleCaption;
  f.loaded = true;
  f.visible = false;
  f.backgroundPicture = kSpeakBoxPics[side];
  f.w = kSpeakBoxW;
  f.h = kSpeakBoxH;
  // The picture's key-coloured margin is cut away where the window is drawn.
  f.background = kWhite;
  const BubblePlace& at = kBubblePlaces[side];
  const int label = AddControl(f, ControlType::Label, "labPhrase", 0, at.textLeft / kTwipsPerPixel,
                               at.textTop / kTwipsPerPixel, at.textW, at.textH);
  f.controls[static_cast<std::size_t>(label)].fontSize = 9;
  State(c, side) = Bubble{};
  State(c, side).created = true;
  return true;
}

void PrepareBubble(Client& c, int side) {
  if (!ShapeBubble(c, side)) return;
  SmallForm& f = Form(c, side);
  f.find("labPhrase")->caption = "  ";
  // Out of sight until its first phrase: hidden, not moved off the screen,
  // since a window manager may pull a window back onto the screen.
  f.left = ScreenLeft(c, side);
  f.top = ScreenTop(c, side);
  SetTopmost(c, f, true);
  f.visible = false;
}

void showMe(Client& c, int side, const std::string& text, int maxAlpha, int fadeInStep,
            int fadeOutStep, int holdTicks) {
  SmallForm& f = Form(c, side);
  if (!f.loaded) return;
  Bubble& b = State(c, side);
  f.left = ScreenLeft(c, side);
  f.top = ScreenTop(c, side);
  b.MaxAlpha = static_cast<std::int16_t>(maxAlpha);
  b.FadeInStep = static_cast<std::int16_t>(fadeInStep);
  b.FadeOutStep = static_cast<std::int16_t>(fadeOutStep);
  b.HoldTicks = static_cast<std::int16_t>(holdTicks);
  f.find("labPhrase")->caption = text;
  f.visible = true;
  // A phrase that replaces one still fading starts again from transparent.
  SetWindowAlpha(c, f, 0);
  b.AlphaCount = 0;
  b.fading = true;
  SetTimer(c, TimerId::FadeIn, true);
}

void FadeInTick(Client& c) {
  for (int side = 0; side < 4; ++side) {
    Bubble& b = State(c, side);
    if (!b.fading) continue;
    SmallForm& f = Form(c, side);
    b.AlphaCount += b.FadeInStep;
    if (b.AlphaCount < b.MaxAlpha) SetWindowAlpha(c, f, b.AlphaCount);
    if (b.MaxAlpha + b.HoldTicks < b.AlphaCount) {
      b.MaxAlpha = static_cast<std::int16_t>(b.MaxAlpha - b.FadeOutStep);
      SetWindowAlpha(c, f, b.MaxAlpha);
      if (b.MaxAlpha <= 1) {
        b.fading = false;
        if (Control* label = f.find("labPhrase")) label->caption.clear();
        // Put away until the next phrase (hidden: see PrepareBubble).
        f.visible = false;
      }
    }
  }
  if (!AnyFading(c)) SetTimer(c, TimerId::FadeIn, false);
}

void UnloadSpeakBoxes(Client& c) {
  for (int side = 0; side < 4; ++side) {
    SmallForm& f = Form(c, side);
    if (f.loaded) {
      f.loaded = false;
      f.visible = false;
      f.controls.clear();
    }
    State(c, side) = Bubble{};
  }
  SetTimer(c, TimerId::FadeIn, false);
}

}  // namespace tavren
