// Crash handling: on SIGSEGV, SIGBUS, SIGILL, SIGFPE or SIGABRT a report
// "Error.tmp" is written (signal, fault address, backtrace), the localized
// crash message is shown by a crash box (the window program started again
// with kCrashBoxSwitch) when a display is there, and the process ends with
// the signal's usual status. At the next start a new report is handed on
// once (recorded in the run log).
//
// Start order: InstallCrashHandlers() first thing; the rest is set by
// StartUp() (start_up.h); the message follows every SetCurrentLanguageId().
#pragma once

#include <string>
#include <vector>

namespace app {

struct AppPaths;

extern const char* const kCrashFileName;   // "Error.tmp"
extern const char* const kCrashBoxSwitch;  // "--crash-box"
constexpr long long kCrashFileLimit = 2 * 1024 * 1024;  // larger reports are not handed on

// Where the report is written and looked for: the install folder when this
// user may write there, else the data folder.
std::string CrashFilePath(const std::string& installDir, const std::string& dataDir);

// Installs the handlers (once; later calls do nothing). Until
// SetCrashFilePath, reports go where CrashFilePath puts them for the
// program's folder and the default data folder.
void InstallCrashHandlers();
void SetCrashFilePath(const std::string& path);
// The crash message: a text with two number placeholders, filled with the
// signal number and the address of the faulting instruction.
void SetCrashMessageFormat(const std::string& format);
// The crash box program: its argument vector, to which the handler appends
// the message. Empty: no box. The default is this program with
// kCrashBoxSwitch; a program that keeps the default must answer the switch
// first thing in main (see CrashBoxMessage). The box is started only when
// DISPLAY or WAYLAND_DISPLAY is set when this is called (or at install).
void SetCrashBoxCommand(const std::vector<std::string>& argv);

// The message to show with the caption "except" when the program was started
// as the crash box; nullptr otherwise. A program that is the crash box never
// starts another one, whatever SetCrashBoxCommand says later: a box that
// crashes (no display, a broken Qt) would start boxes without end.
const char* CrashBoxMessage(int argc, char** argv);

// Whether a connection to the X display (DISPLAY, or `displayName` when not
// empty) can be opened, trying it for real; on false, why says what failed.
// Programs that show windows ask before they start Qt, which would abort.
bool DisplayCanBeOpened(const std::string& displayName, std::string* why);

// The crash-record rule at start: when sendAction is not 0 and the report is
// there with a modification time other than the registry's UpDumpDay, stores
// that time as UpDumpDay and, when the report holds 1 byte to 2 MiB, hands it
// on (a run log line). Returns whether it was handed on.
bool ApplyCrashRecordRule(const AppPaths& paths, int sendAction);

}  // namespace app
