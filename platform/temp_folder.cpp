#include "platform/temp_folder.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>

#include "platform/files.h"
#include "platform/text.h"

namespace platform {
namespace {

// A fresh folder younger than this may still be on its way to its lock.
constexpr time_t kFreshFolderAge = 60;

// A fresh folder this process made, locked for as long as it lives.
struct Fresh {
  std::string path;
  int fd = -1;
  pid_t owner = 0;
};

struct Made {
  std::mutex mutex;
  std::map<std::string, std::string> paths;  // by the bases and name asked for
  std::vector<Fresh> fresh;
};

Made& Memo() {
  static Made* made = new Made;  // read by the exit handler
  return *made;
}

// Removes this process's fresh folders at its exit; never a forked child's
// copy of them.
void RemoveFreshAtExit() {
  Made& made = Memo();
  std::lock_guard<std::mutex> lock(made.mutex);
  for (Fresh& f : made.fresh) {
    if (f.owner != getpid()) continue;
    RemoveTree(f.path);
    close(f.fd);
  }
  made.fresh.clear();
}

enum class Check { Private, Taken, Unwritable };

// Makes `path` a private folder of ours; *error says why it cannot be written.
Check CheckPrivate(const std::string& path, int* error) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = errno;
      return Check::Unwritable;
    }
    if (lstat(path.c_str(), &st) != 0) {
      *error = errno;
      return Check::Unwritable;
    }
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid() || !EnsurePrivateFolder(path))
    return Check::Taken;
  // Ours, but on a disk mounted read-only since.
  if (access(path.c_str(), W_OK | X_OK) != 0) {
    *error = errno;
    return Check::Unwritable;
  }
  return Check::Private;
}

bool IsFreshName(const std::string& entry, const std::string& name) {
  if (entry.size() != name.size() + 7 || entry.compare(0, name.size() + 1, name + "-") != 0)
    return false;
  for (size_t i = name.size() + 1; i < entry.size(); ++i)
    if (!isalnum(static_cast<unsigned char>(entry[i]))) return false;
  return true;
}

// Fresh folders of processes that ended: ours, not locked, not just made.
void RemoveEndedFresh(const std::string& base, const std::string& name) {
  const time_t now = time(nullptr);
  for (const std::string& entry : ListFolder(base)) {
    if (!IsFreshName(entry, name)) continue;
    const std::string path = JoinPath(base, entry);
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (fstat(fd, &st) == 0 && st.st_uid == getuid() && (st.st_mode & 0777) == 0700 &&
        now - st.st_mtime >= kFreshFolderAge && flock(fd, LOCK_EX | LOCK_NB) == 0)
      RemoveTree(path);
    close(fd);
  }
}

// A fresh folder beside the taken name, locked at once.
std::string MakeFresh(const std::string& preferred, int* error) {
  std::string pattern = preferred + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) {
    *error = errno;
    return {};
  }
  Fresh f;
  f.path = buffer.data();
  f.fd = open(f.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  f.owner = getpid();
  if (f.fd < 0 || flock(f.fd, LOCK_EX | LOCK_NB) != 0) {
    *error = f.fd < 0 ? errno : EBUSY;
    if (f.fd >= 0) close(f.fd);
    rmdir(f.path.c_str());
    return {};
  }
  static const bool handler = atexit(RemoveFreshAtExit) == 0;
  (void)handler;
  Memo().fresh.push_back(f);
  return f.path;
}

std::string Why(int error) { return strerror(error); }

}  // namespace

PrivateTempFolder MakePrivateTempFolder(const std::vector<std::string>& bases,
                                        const std::string& name) {
  Made& made = Memo();
  std::lock_guard<std::mutex> lock(made.mutex);
  std::string key = name;
  for (const std::string& base : bases) key += "\n" + base;
  PrivateTempFolder result;
  auto known = made.paths.find(key);
  if (known != made.paths.end()) {
    int error = 0;
    // Told once already; a failure stays one.
    if (known->second.empty()) return result;
    if (CheckPrivate(known->second, &error) == Check::Private) {
      result.path = known->second;
      return result;
    }
  }

  std::string note;
  for (const std::string& rawBase : bases) {
    const std::string base = WithoutTrailingSlash(rawBase);
    if (base.empty()) continue;
    CreateFolders(base);
    RemoveEndedFresh(base, name);
    const std::string preferred = JoinPath(base, name);
    int error = 0;
    const Check check = CheckPrivate(preferred, &error);
    std::string path;
    if (check == Check::Private) {
      path = preferred;
    } else if (check == Check::Taken) {
      path = MakeFresh(preferred, &error);
      if (!path.empty()) {
        note += (note.empty() ? "" : "; ") + preferred +
                " is not this user's private folder (a link or another user's); using " + path +
                " instead";
        result.path = path;
        break;
      }
    }
    if (!path.empty()) {
      if (!note.empty()) note += "; intermediate files go to " + path + " instead";
      result.path = path;
      break;
    }
    note += (note.empty() ? "" : "; ") + std::string("the temporary folder ") + base +
            " cannot be written (" + Why(error) + ")";
  }
  if (result.path.empty()) {
    note += (note.empty() ? "no temporary folder was given" : std::string()) +
            "; no private folder for intermediate files could be made, so nothing can be "
            "converted";
  }
  made.paths[key] = result.path;
  result.note = note;
  return result;
}

}  // namespace platform
