#include "table/dialog_stand_ins.h"

#include "core/client.h"

namespace tavren {

namespace {

// The name, then the text it was given as a second entry.
void RecordWithText(Client& c, const char* name, const std::string& text) {
  c.log.record(name);
  c.log.calls.push_back(std::string(name) + ": " + text);
}

}  // namespace

void ShowOtherExitDialog(Client& c, const std::string& text) {
  RecordWithText(c, "ShowOtherExitDialog", text);
}

void ShowJiaoTouPrompt(Client& c) {
  c.log.record("ShowJiaoTouPrompt");
}

void ShowCallNotice(Client& c, const std::string& text) {
  RecordWithText(c, "ShowCallNotice", text);
}

}  // namespace tavren
