// Speech bubbles: one small window per side that shows a quick phrase next to
// the speaker's seat, fading in, holding and fading out on the fade timer.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavren {

struct Client;
struct SmallForm;
enum class FormId : int;

// The fade of one bubble, in timer ticks.
struct Bubble {
  bool created = false;  // the side's window exists (parked out of sight between phrases)
  bool fading = false;   // the side's fade runs
  std::int16_t MaxAlpha = 0;
  std::int16_t FadeInStep = 0;
  std::int16_t FadeOutStep = 0;
  std::int16_t HoldTicks = 0;
  std::int32_t AlphaCount = 0;  // grows past 16 bits during a long hold
};

struct BubbleSet {
  std::array<Bubble, 4> side{};
};

// The values the receive path shows a phrase with.
inline constexpr int kBubbleMaxAlpha = 210;
inline constexpr int kBubbleFadeIn = 8;
inline constexpr int kBubbleFadeOut = 4;
inline constexpr int kBubbleHold = 2000;

// The fade timer's interval. The fade is counted in ticks (329 of them for the
// values above) and was paced for a system timer that asked for 1 ms but ticked
// every 15.6 ms; a timer that really ticks every millisecond would show a phrase
// for a third of a second. At 16 ms the whole fade takes about 5.3 s: half a
// second in, four seconds held, under a second out.
inline constexpr int kFadeTickMs = 16;

// Where a side's bubble stands (twips from the main window's corner, at the
// designed scale), where its phrase starts inside it (twips), and the size of the
// phrase's box in pixels: the bubble picture's body encloses that box.
struct BubblePlace {
  int left, top, textLeft, textTop, textW, textH;
};
inline constexpr BubblePlace kBubblePlaces[4] = {{1500, 8550, 260, 180, 102, 60},
                                                 {1050, 3000, 570, 350, 81, 68},
                                                 {6150, 1050, 450, 620, 89, 52},
                                                 {11400, 3000, 270, 470, 95, 62}};
inline constexpr int kTwipsPerPixel = 15;

// The bubble pictures, one per side (their tails point at the speaker's
// portrait), and their size.
inline constexpr int kSpeakBoxPics[4] = {907, 908, 909, 910};
inline constexpr int kSpeakBoxW = 131;
inline constexpr int kSpeakBoxH = 102;

// One horizontal run of a shaped window: row y, columns [x0, x1).
struct ShapeRun {
  int y, x0, x1;
  bool operator==(const ShapeRun&) const = default;
};

// The region a bubble picture of w x h pixels (row by row) keeps: every run of
// pixels that differ from the key colour. A key colour below 1 is the colour of
// the top-left pixel. A run that reaches the last column ends before it.
// Pixels that do not cover w x h give no region.
std::vector<ShapeRun> ShapeRuns(std::span<const std::uint32_t> pixels, int w, int h,
                                std::int64_t keyColour);

// The bubble window of a side (0..3).
FormId BubbleForm(int side);

// Makes sure the side has its bubble window, parked out of sight.
void PrepareBubble(Client& c, int side);
// Shapes a new bubble window for the side; false when the side has one already.
bool ShapeBubble(Client& c, int side);
// Places the side's bubble, shows `text` and starts its fade from transparent.
void showMe(Client& c, int side, const std::string& text, int maxAlpha, int fadeInStep,
            int fadeOutStep, int holdTicks);
// One tick of the fade timer: every fading bubble takes one step.
void FadeInTick(Client& c);
// Every bubble window goes: the table is left.
void UnloadSpeakBoxes(Client& c);

}  // namespace tavren
