// The windowed program from start to end: crash handling, the installer's
// switches, one instance per user, folders, language and settings, the skin,
// the main window and the event loop.
#pragma once

#include <string>
#include <vector>

namespace ui {

// Which installer switch the command line holds ("/uninstall", then
// "/tjuninstall", then "/install": the first found decides); "" for none.
std::string FindSwitch(const std::vector<std::string>& args);

// The name under which the running program answers a second start.
std::string InstanceName();

// Runs the program; returns the process's exit code.
int RunProgram(int argc, char** argv);

}  // namespace ui
