#include "engine/run_records.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "app/core/app_paths.h"
#include "app/core/run_log.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {

const char* const kTempOutputPrefix = ".pelmar-tmp-";

namespace {

// The lock every window holds shared while it lives.
constexpr const char* kWindowLock = "window.lock";
// A record still being written; one left by a kill in that moment names
// nothing that exists yet.
constexpr const char* kNewPrefix = ".new-";
constexpr time_t kNewRecordAge = 3600;

std::atomic<unsigned> g_recordCounter{1};

unsigned Random32() {
  unsigned value = 0;
  if (getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value))
    value = static_cast<unsigned>(time(nullptr)) ^ (static_cast<unsigned>(getpid()) << 16) ^
            g_recordCounter.load();
  return value;
}

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  off_t offset = 0;
  while (text.size() < 65536) {
    ssize_t n = pread(fd, buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return text;
}

// An entry that is this user's own and of the wanted kind; links are never followed.
bool IsOwn(int dirFd, const std::string& name, mode_t type) {
  struct stat st;
  return fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         (st.st_mode & S_IFMT) == type && st.st_uid == geteuid();
}

// Removes the regular files of this user directly in the folder whose names pass.
template <typename Test>
int RemoveOwnFiles(const std::string& dir, Test test) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return 0;
  int removed = 0;
  for (const std::string& name : platform::ListFolder(dir))
    if (test(name) && IsOwn(fd, name, S_IFREG) && unlinkat(fd, name.c_str(), 0) == 0) ++removed;
  close(fd);
  return removed;
}

bool ProcessAlive(const std::string& pidText) {
  if (!AllDigits(pidText) || pidText.size() > 9) return false;
  const int pid = std::stoi(pidText);
  return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

// Files that the window's jobs and joins make in its shared folders.
bool IsWindowScratchFile(const std::string& name) {
  if (StartsWith(name, "merge_")) return true;  // merge parts
  const size_t dot = name.find('.');
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0 &&
         AllDigits(name.substr(0, dot));  // part lists
}

bool IsWindowLogFile(const std::string& name) {
  std::string stem = name;
  if (stem.size() > 4 && stem.compare(stem.size() - 4, 4, ".log") == 0)
    stem.resize(stem.size() - 4);
  if (StartsWith(stem, "merge_")) return AllDigits(stem.substr(6));
  // "<counter>_<time>_<job>": a job's progress file
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= stem.size()) {
    size_t end = stem.find('_', start);
    if (end == std::string::npos) end = stem.size();
    parts.push_back(stem.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() != 3) return false;
  for (const std::string& p : parts)
    if (!AllDigits(p)) return false;
  return true;
}

// The window's cover pictures, "<title>_<microseconds>.png": shown only while
// their window lives, made anew for every file it opens.
bool IsWindowCoverFile(const std::string& name) {
  constexpr size_t kPng = 4;
  if (name.size() <= kPng || name.compare(name.size() - kPng, kPng, ".png") != 0) return false;
  const std::string stem = name.substr(0, name.size() - kPng);
  const size_t mark = stem.rfind('_');
  return mark != std::string::npos && AllDigits(stem.substr(mark + 1));
}

struct HeldClaims {
  std::mutex mutex;
  std::map<std::string, std::unique_ptr<RunRecord>> own;  // by running folder and tag
  std::map<std::string, int> shared;                      // by lock path
};

HeldClaims& Claims() {
  static HeldClaims* claims = new HeldClaims;  // held to the end of the process
  return *claims;
}

std::string ClaimKey(const EngineDirs& dirs) {
  return platform::WithTrailingSlash(dirs.running) + "\n" + dirs.tag;
}

// The per-process folders that a record names: each must be the folder of
// that tag directly under the matching shared folder.
int RemoveProcessFolders(const EngineDirs& base, const std::vector<std::string>& lines) {
  if (lines.empty() || lines[0].empty() || lines[0].find('/') != std::string::npos ||
      lines[0] == "." || lines[0] == "..")
    return 0;
  const std::string& tag = lines[0];
  int removed = 0;
  for (const std::string& parent : {base.scratch, base.work, base.log, base.cover}) {
    if (parent.empty()) continue;
    const std::string folder = platform::JoinPath(parent, tag);
    bool listed = false;
    for (size_t i = 1; i < lines.size(); ++i)
      listed = listed || platform::WithoutTrailingSlash(lines[i]) == folder;
    struct stat st;
    if (listed && lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == geteuid() && platform::RemoveTree(folder))
      ++removed;
  }
  return removed;
}

}  // namespace

std::unique_ptr<RunRecord> RunRecord::Write(const std::string& runningDir, const std::string& kind,
                                            const std::string& content) {
  if (runningDir.empty()) return nullptr;
  const std::string folder = platform::WithTrailingSlash(runningDir);
  if (!platform::CreateFolders(folder, 0700)) return nullptr;
  const std::string name = platform::Format("%s-%d-%u-%08x", kind.c_str(), static_cast<int>(getpid()),
                                            g_recordCounter.fetch_add(1), Random32());
  const std::string draft = folder + kNewPrefix + name;
  int fd = open(draft.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  // Locked before it gets its real name: no clean-up ever sees it unlocked.
  if (flock(fd, LOCK_EX) != 0 || !WriteAll(fd, content) ||
      rename(draft.c_str(), (folder + name).c_str()) != 0) {
    unlink(draft.c_str());
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<RunRecord>(new RunRecord(fd, folder + name));
}

RunRecord::~RunRecord() {
  // Removed while still locked: a clean-up that opened it meanwhile finds it unlinked.
  unlink(path_.c_str());
  close(fd_);
}

void ClaimFolders(const EngineDirs& dirs) {
  if (dirs.running.empty()) return;
  HeldClaims& claims = Claims();
  std::lock_guard<std::mutex> lock(claims.mutex);
  if (dirs.tag.empty()) {
    const std::string path = platform::JoinPath(dirs.running, kWindowLock);
    if (claims.shared.count(path)) return;
    platform::CreateFolders(dirs.running, 0700);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    // Waits while a clean-up goes through the shared folders.
    while (flock(fd, LOCK_SH) != 0 && errno == EINTR) {
    }
    claims.shared[path] = fd;
    return;
  }
  const std::string key = ClaimKey(dirs);
  if (claims.own.count(key)) return;
  std::string content = dirs.tag + "\n";
  for (const std::string& dir : {dirs.scratch, dirs.work, dirs.log, dirs.cover})
    content += platform::WithoutTrailingSlash(dir) + "\n";
  if (auto record = RunRecord::Write(dirs.running, "dirs", content))
    claims.own[key] = std::move(record);
}

void ReleaseFolders(const EngineDirs& dirs) {
  if (dirs.tag.empty()) return;
  HeldClaims& claims = Claims();
  std::lock_guard<std::mutex> lock(claims.mutex);
  claims.own.erase(ClaimKey(dirs));
}

bool RemoveTempOutputFolder(const std::string& path) {
  const std::string folder = platform::WithoutTrailingSlash(path);
  const std::string name = platform::FileNameOf(folder);
  const std::string parent = platform::ParentDir(folder);
  if (!StartsWith(name, kTempOutputPrefix) || name.find('/') != std::string::npos || parent.empty())
    return false;
  int parentFd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parentFd < 0) return false;
  bool removed = false;
  int fd = openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && st.st_uid == geteuid()) {
    if (DIR* d = fdopendir(dup(fd))) {
      std::vector<std::string> names;
      while (dirent* e = readdir(d)) {
        std::string entry = e->d_name;
        if (entry != "." && entry != "..") names.push_back(entry);
      }
      closedir(d);
      for (const std::string& entry : names)
        if (IsOwn(fd, entry, S_IFREG)) unlinkat(fd, entry.c_str(), 0);
    }
    removed = unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0;
  }
  if (fd >= 0) close(fd);
  close(parentFd);
  return removed;
}

int RemoveLeftovers(const EngineDirs& base) {
  if (base.running.empty()) return 0;
  const std::string running = platform::WithTrailingSlash(base.running);
  int removed = 0;
  std::set<std::string> liveTags;
  const time_t now = time(nullptr);

  for (const std::string& name : platform::ListFolder(running)) {
    if (name == kWindowLock) continue;
    const std::string path = running + name;
    int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
      close(fd);
      continue;
    }
    const bool draft = StartsWith(name, kNewPrefix);
    const std::string kind = draft ? std::string() : name.substr(0, name.find('-'));
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      // A run that goes on: its own folders stay.
      if (kind == "dirs") {
        std::vector<std::string> lines = platform::SplitLines(ReadAll(fd));
        if (!lines.empty()) liveTags.insert(lines[0]);
      }
      close(fd);
      continue;
    }
    // Removed by its owner after this one opened it: nothing to do.
    if (fstat(fd, &st) != 0 || st.st_nlink == 0 || (draft && now - st.st_mtime < kNewRecordAge)) {
      close(fd);
      continue;
    }
    const std::vector<std::string> lines = platform::SplitLines(ReadAll(fd));
    if (kind == "out") {
      for (const std::string& line : lines)
        if (RemoveTempOutputFolder(line)) ++removed;
    } else if (kind == "dirs") {
      removed += RemoveProcessFolders(base, lines);
    }
    if (unlink(path.c_str()) == 0) ++removed;
    close(fd);
  }

  // Per-process folders without a live record: from a run that ended before
  // its record went, or made before records were kept. Their name carries
  // the process id, which must be gone too.
  for (const std::string& parent : {base.scratch, base.work, base.log, base.cover}) {
    if (parent.empty()) continue;
    for (const std::string& name : platform::ListFolder(parent)) {
      if (!StartsWith(name, "cli-") || liveTags.count(name) || ProcessAlive(name.substr(4)) ||
          !AllDigits(name.substr(4)))
        continue;
      const std::string folder = platform::JoinPath(parent, name);
      struct stat st;
      if (lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
          platform::RemoveTree(folder))
        ++removed;
    }
  }

  // The window's shared folders, only while no window holds them.
  platform::CreateFolders(running, 0700);
  int lock = open((running + kWindowLock).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lock >= 0) {
    if (flock(lock, LOCK_EX | LOCK_NB) == 0) {
      if (!base.scratch.empty()) removed += RemoveOwnFiles(base.scratch, IsWindowScratchFile);
      if (!base.log.empty()) removed += RemoveOwnFiles(base.log, IsWindowLogFile);
      if (!base.cover.empty()) removed += RemoveOwnFiles(base.cover, IsWindowCoverFile);
    }
    close(lock);
  }
  if (removed > 0) app::RunLog("removed %d leftovers of runs that ended", removed);
  return removed;
}

int RemoveLeftovers() {
  app::AppPaths paths = app::AppPaths::Build();
  paths.CreateDataDir();
  if (paths.tempDir.empty()) return 0;
  return RemoveLeftovers(EngineDirs::ForApp(paths));
}

}  // namespace engine
