#include "view/scene.h"

#include "core/client.h"

namespace tavren {

void SetSysmsg(Client& c, int line, const std::string& text) {
  ListBox& box = c.view.Sysmsg[CheckIndex(line, 2, "system line")];
  box.clear();
  box.add(text);
}

void ClearSysmsg(Client& c) {
  for (ListBox& box : c.view.Sysmsg) box.clear();
}

int ButtonPicture(const Client& c, int entry) {
  if (entry < 2) return 101 + entry;
  return c.view.ScaleX == 1.0f ? 101 + entry : 379 + entry;
}

void clearTableModel(Client& c) {
  c.log.record("clearTableModel");
}

void resetTableView(Client& c) {
  c.log.record("resetTableView");
}

void MinimizeMainWindow(Client& c) {
  c.view.minimized = true;
}

void layoutMainWindow(Client& c) {
  c.log.record("layoutMainWindow");
}

void buildImageIdTables(Client& c) {
  c.log.record("buildImageIdTables");
}

void layoutPlayerPanels(Client& c) {
  c.log.record("layoutPlayerPanels");
}

void layoutTableWidgets(Client& c) {
  c.log.record("layoutTableWidgets");
}

void ShowMainWindow(Client& c) {
  c.view.shown = true;
  c.view.minimized = false;
}

void resetLobbyView(Client& c) {
  for (Control& s : c.view.Speak) s.visible = false;
  for (Control& s : c.view.tsSpeak) s.visible = false;
  c.view.Words.visible = false;
  c.log.record("resetLobbyView");
}

}  // namespace tavren
