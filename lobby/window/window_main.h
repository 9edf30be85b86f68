// Opening the lobby window from the lobby program (Qt is started here only).
#pragma once

#include <string>

namespace tavren::lobby {

struct WindowStart {
  std::string caption = "Qixo山庄";
  std::string clientProgram;
  std::string serverProgram;
  int hostPort = 7753;
};

// Runs the window until it is closed; the program's exit status.
int runLobbyWindow(int argc, char** argv, const WindowStart& start);

}  // namespace tavren::lobby
