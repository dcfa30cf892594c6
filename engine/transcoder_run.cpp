#include "engine/transcoder_run.h"

#include <signal.h>
#include <string.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <vector>

#include "engine/output_check.h"
#include "engine/progress_file.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {
namespace {

// Below this much free space an output folder counts as full.
constexpr unsigned long long kFullFolderBytes = 1024 * 1024;

// The transcoder writes its error-level messages, and nothing else, into
// this file besides its usual error output: the statistics and stream lists
// stay out of it. The path goes through the transcoder's option parser,
// where '\' escapes any character and '%' starts a placeholder.
std::string ErrorReportSetting(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == '%') {
      escaped += "%%";
    } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '_' ||
               c == '-') {
      escaped += c;
    } else {
      escaped += '\\';
      escaped += c;
    }
  }
  return "FFREPORT=file=" + escaped + ":level=16";
}

// "[mp4 @ 0x55d0c1a2b3c0] Error ..." → "Error ..."; trailing blanks and the
// empty tail of "... -- " go too.
std::string Tidy(std::string line) {
  for (;;) {
    size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    line.erase(0, start);
    if (line[0] != '[') break;
    size_t close = line.find(']');
    if (close == std::string::npos || line.find(" @ ") > close) break;
    line.erase(0, close + 1);
  }
  for (;;) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "--") == 0) {
      line.resize(line.size() - 2);
      continue;
    }
    return line;
  }
}

bool IsStatistics(const std::string& line) {
  return line.rfind("frame=", 0) == 0 || line.rfind("size=", 0) == 0 ||
         line.rfind("video:", 0) == 0 || line.find(" time=") != std::string::npos;
}

// The system's own words for the failures a person can act on.
bool NamesSystemError(const std::string& line) {
  static const int kErrors[] = {ENOSPC, EDQUOT, EROFS, EACCES, EPERM, ENOENT,
                                EIO,    EFBIG,  ENAMETOOLONG, ENOTDIR, EISDIR};
  for (int e : kErrors)
    if (line.find(strerror(e)) != std::string::npos) return true;
  return false;
}

// The first error line that names a system error (a full disk shows as a
// header that "could not be written" before it says why), else the first
// verdict on a file ("/path: Invalid data found ..."; the program's paths are
// all absolute), else the first error line.
std::string PickLine(const std::vector<std::string>& lines) {
  std::string first, onFile;
  for (const std::string& raw : lines) {
    const std::string line = Tidy(raw);
    if (line.empty() || line == "Conversion failed!" || IsStatistics(line)) continue;
    if (NamesSystemError(line)) return line;
    if (onFile.empty() && line[0] == '/') onFile = line;
    if (first.empty()) first = line;
  }
  return onFile.empty() ? first : onFile;
}

// Whether the error report says that writing failed for want of room. (An
// input/output error may as well be a read, of a merge part say.)
bool WritesFailed(const std::string& reportPath) {
  std::string report;
  if (reportPath.empty() || !platform::ReadFile(reportPath, &report)) return false;
  for (int e : {ENOSPC, EDQUOT, EFBIG})
    if (report.find(strerror(e)) != std::string::npos) return true;
  return false;
}

// Whether the disk a folder is on has (next to) no room left.
bool LacksRoom(const std::string& folder) {
  struct statvfs fs;
  return !folder.empty() && statvfs(folder.c_str(), &fs) == 0 &&
         static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kFullFolderBytes;
}

bool NamesNoRoom(const std::string& line) {
  return line.find(strerror(ENOSPC)) != std::string::npos ||
         line.find(strerror(EDQUOT)) != std::string::npos;
}

// What a full disk did to the run, to lead its reason; "" when nothing says
// it played a part. The transcoder's own line must say so, or be missing
// because its error files could not be written either.
std::string RoomShortage(const TranscoderRun& run, const std::string& shown,
                         const std::string& detail) {
  if (!detail.empty() && !NamesNoRoom(detail)) return {};
  const std::string outputFolder = platform::ParentDir(shown);
  if (LacksRoom(outputFolder)) return "the disk of the output folder " + outputFolder + " is full";
  for (const std::string& file : {run.progressPath, run.stderrPath}) {
    const std::string folder = platform::ParentDir(file);
    if (LacksRoom(folder))
      return "the disk of the program's data folder is full (" + folder +
             "): the transcoder's progress and messages cannot be written";
  }
  if (detail.empty()) return {};
  return detail.find(strerror(EDQUOT)) != std::string::npos ? "this user's disk quota is used up"
                                                            : "the disk is full";
}

std::string SignalText(int sig) {
  const char* name = strsignal(sig);
  std::string text = platform::Format("signal %d", sig);
  return name ? text + ": " + name : text;
}

}  // namespace

std::string TranscoderErrorLine(const std::string& reportPath, const std::string& stderrPath) {
  std::string report;
  if (!reportPath.empty() && platform::ReadFile(reportPath, &report)) {
    std::vector<std::string> lines = platform::SplitLines(report, "\r\n");
    // The report opens with the command line, which is no error.
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == "Command line:") {
        const size_t skip = std::min(i + 2, lines.size());
        lines.erase(lines.begin(), lines.begin() + static_cast<long>(skip));
        break;
      }
    }
    return PickLine(lines);
  }
  // No report (a transcoder that writes none): the lines at the end of its
  // usual output that read as errors.
  std::vector<std::string> errors;
  const std::string tail = platform::LastLines(stderrPath, 8);
  for (const std::string& line : platform::SplitLines(tail, "\r\n")) {
    const std::string lower = platform::ToLowerAscii(line);
    if (NamesSystemError(line) || lower.find("error") != std::string::npos ||
        lower.find("invalid") != std::string::npos || lower.find("cannot") != std::string::npos ||
        lower.find("could not") != std::string::npos)
      errors.push_back(line);
  }
  return PickLine(errors);
}

RunResult RunAndJudge(const TranscoderRun& run, platform::Process& process,
                      const std::atomic<bool>& stop, std::atomic<bool>& started) {
  RunResult result;
  platform::ProcessOptions options;
  options.workDir = run.workDir;
  options.stderrFile = run.stderrPath;
  const std::string reportPath = run.stderrPath.empty() ? std::string() : run.stderrPath + ".err";
  if (!reportPath.empty()) options.environment.push_back(ErrorReportSetting(reportPath));
  std::string error;
  if (!process.start(run.command->args(), options, &error)) {
    if (stop) result.outcome = RunOutcome::Stopped;  // refused because the stop came first
    else result.reason = "the transcoder could not be started: " + error;
    return result;
  }
  started = true;
  if (stop) process.kill();  // a stop that came while the child was starting
  int exitCode = process.wait();
  struct RemoveReport {
    const std::string& path;
    ~RemoveReport() {
      if (!path.empty()) platform::DeleteFile(path);
    }
  } removeReport{reportPath};
  if (stop) {
    result.outcome = RunOutcome::Stopped;
    return result;
  }
  ProgressReading reading = ReadProgressFile(run.progressPath);
  std::string why;
  if (exitCode != 0) why = platform::Format("the transcoder failed (exit code %d)", exitCode);
  else if (!reading.ended) why = "the transcoder ended without finishing";
  else why = OutputFault(run.outputPath, run.command->NeedsPicture());
  // A signal is no exit code of the transcoder's own: say which one ended it.
  const int sig = process.endSignal();
  if (sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE || sig == SIGABRT)
    why = "the transcoder crashed (" + SignalText(sig) + ")";
  else if (sig != 0)
    why = "the transcoder was killed (" + SignalText(sig) + ")";
  // Some writers end with exit code 0 after a failed write: a full disk
  // leaves a cut-off file that would pass for a result.
  if (why.empty() && WritesFailed(reportPath))
    why = "the output could not be written in full";
  if (why.empty()) {
    result.outcome = RunOutcome::Succeeded;
    return result;
  }
  result.outcome = RunOutcome::Failed;
  std::string detail = TranscoderErrorLine(reportPath, run.stderrPath);
  const std::string& shown = run.shownPath.empty() ? run.outputPath : run.shownPath;
  for (size_t at = detail.find(run.outputPath); !run.outputPath.empty() && at != std::string::npos;
       at = detail.find(run.outputPath, at + shown.size()))
    detail.replace(at, run.outputPath.size(), shown);
  std::string reason = detail.empty() ? why : why + ": " + detail;
  // A full disk first: what the transcoder says then (or its silence, when
  // its own progress and error files could not be written) reads as
  // something else.
  const std::string room = RoomShortage(run, shown, detail);
  if (!room.empty()) {
    reason = room + (detail.empty() ? "; " + why : ": " + detail);
  } else {
    const std::string folder = platform::ParentDir(shown);
    if (LacksRoom(folder)) reason += "; the folder " + folder + " is full";
  }
  result.reason = reason;
  return result;
}

}  // namespace engine
