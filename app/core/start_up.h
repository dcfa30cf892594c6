// The start of every program of the shell (the window and pelmar-convert):
// one sequence, so the order its steps depend on holds everywhere.
#pragma once

#include <string>

#include "app/core/app_paths.h"

namespace app {

// Sets the shell up, in this order:
//  1. the crash handlers (a second install does nothing, so main may have
//     installed them first thing already);
//  2. the folders: AppPaths, the data folder made, kept for everyone;
//  3. the run log in the data folder and the crash report's place, so that
//     every later step can log and a crash from here on is reported there;
//  4. the settings (Config.ini) and the partner's oem.ini;
//  5. the language, whose choice lies in both of them and whose files lie in
//     the install folder (it also gives the crash handler its message), and
//     the language's web values, which yield to oem.ini's support line.
// Returns the folders. `programPath` stands for the program's own file
// (tests); empty means this process's.
AppPaths StartUp(const std::string& programPath = std::string());

}  // namespace app
