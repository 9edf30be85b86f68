// Qt's key codes in the codes the core's key handlers use (the system's
// virtual-key codes: letters and digits as their upper-case characters, F1 112).
#pragma once

#include <Qt>
#include <utility>

namespace tavren::qt {

inline int VirtualKey(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 112 + (key - Qt::Key_F1);
  static constexpr std::pair<int, int> kKeys[] = {
      {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},      {Qt::Key_Return, 13}, {Qt::Key_Enter, 13},
      {Qt::Key_Shift, 16},    {Qt::Key_Control, 17}, {Qt::Key_Alt, 18},    {Qt::Key_AltGr, 18},
      {Qt::Key_Escape, 27},   {Qt::Key_Space, 32},   {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34},
      {Qt::Key_End, 35},      {Qt::Key_Home, 36},    {Qt::Key_Left, 37},   {Qt::Key_Up, 38},
      {Qt::Key_Right, 39},    {Qt::Key_Down, 40},    {Qt::Key_Insert, 45}, {Qt::Key_Delete, 46},
  };
  for (const auto& [qt, vk] : kKeys)
    if (qt == key) return vk;
  // Any other key still counts as "another key" for the key rules.
  return 255;
}

}  // namespace tavren::qt
