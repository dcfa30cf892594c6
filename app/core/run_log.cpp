#include "app/core/run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/clock.h"
#include "platform/text.h"

namespace app {
namespace {

constexpr size_t kMessageChars = 511;  // a 512-character buffer with its terminator

std::mutex& PathMutex() {
  static std::mutex m;
  return m;
}
std::string& PathValue() {
  static std::string path;
  return path;
}

}  // namespace

void DebugTrace(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = platform::TruncateUtf8Chars(platform::FormatV(format, args), kMessageChars);
  va_end(args);
  fputs(text.c_str(), stderr);
}

void SetRunLogPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(PathMutex());
  PathValue() = path;
}

std::string RunLogPath() {
  std::lock_guard<std::mutex> lock(PathMutex());
  return PathValue();
}

std::string RunLogLine(int month, int day, int hour, int minute, int second,
                       const std::string& message) {
  std::string head = platform::Format("[%d/%d %d:%d:%d]-", month, day, hour, minute, second);
  std::string body = platform::TruncateUtf8Chars(message, kMessageChars);
  body = platform::TruncateUtf8Bytes(body, kRunLogLineBytes - head.size() - 2);
  return head + body + "\r\n";
}

void RunLogText(const std::string& message) { RunLogTextTo(RunLogPath(), message); }

void RunLogTextTo(const std::string& path, const std::string& message) {
  if (path.empty()) return;
  platform::LocalTime t = platform::LocalNow();
  std::string line = RunLogLine(t.month, t.day, t.hour, t.minute, t.second, message);
  // One append-mode write per line: lines of two writers never interleave.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  ssize_t n;
  do {
    n = write(fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  close(fd);
}

void RunLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = platform::FormatV(format, args);
  va_end(args);
  RunLogText(text);
}

}  // namespace app
