// Diagnostics: the debug trace (standard error) and the run log "run.dat".
#pragma once

#include <string>

namespace app {

// Formats into 512 characters and writes the text to standard error.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The run log file; empty (the start value) means no log is written.
void SetRunLogPath(const std::string& path);
std::string RunLogPath();

// Appends "[month/day hour:minute:second]-" + message + "\r\n", the whole line
// at most kRunLogLineBytes bytes, never cutting a UTF-8 sequence in half.
void RunLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void RunLogText(const std::string& message);
// The same line into the given file, for what happens before the start
// sequence has set the path.
void RunLogTextTo(const std::string& path, const std::string& message);

constexpr size_t kRunLogLineBytes = 528;

// The line RunLogText writes for the given time; exposed for tests.
std::string RunLogLine(int month, int day, int hour, int minute, int second,
                       const std::string& message);

}  // namespace app
