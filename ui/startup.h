// The windowed program from start to end: crash handling, the installer's
// switches, one instance per user, folders, language and settings, the skin,
// the main window and the event loop.
#pragma once

#include <string>
#include <vector>

namespace ui {

// The command line taken apart: the files to open and the switches.
struct CommandLine {
  // Existing regular files, absolute, each once, in the order given. A
  // relative path counts from the starting folder; a file:// address from a
  // desktop counts as its path.
  std::vector<std::string> files;
  // The installer's switches and every argument starting with "-" (before a
  // "--"); they are never files.
  std::vector<std::string> switches;
};
CommandLine ReadCommandLine(const std::vector<std::string>& args, const std::string& startDir);

// Which installer switch the arguments hold ("/uninstall", then
// "/tjuninstall", then "/install": the first found decides); "" for none.
std::string FindSwitch(const std::vector<std::string>& args);

// The name under which the running program answers a later start: one per
// user, desktop session and data folder.
std::string InstanceName();

// Runs the program; returns the process's exit code.
int RunProgram(int argc, char** argv);

}  // namespace ui
