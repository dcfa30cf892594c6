#include "platform/files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

namespace platform {

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool DeleteFile(const std::string& path) {
  struct stat st;
  if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(path.c_str()) == 0;
}

bool RemoveFolder(const std::string& path) { return !path.empty() && rmdir(path.c_str()) == 0; }

bool CreateFolders(const std::string& path, unsigned mode) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  std::string p = WithoutTrailingSlash(path);
  std::string parent = ParentDir(p);
  if (!parent.empty() && parent != p && !IsDirectory(parent)) CreateFolders(parent, mode);
  if (mkdir(p.c_str(), mode) == 0) return true;
  return errno == EEXIST && IsDirectory(p);
}

int EmptyFolder(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (!dir) return 0;
  int count = 0;
  const int dfd = dirfd(dir);
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) continue;
    if (unlinkat(dfd, e->d_name, 0) == 0) ++count;
  }
  closedir(dir);
  return count;
}

std::vector<std::string> ListFolder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

bool RemoveTree(const std::string& path) {
  struct stat st;
  if (path.empty() || lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0;
  if (DIR* dir = opendir(path.c_str())) {
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) RemoveTree(JoinPath(path, name));
  }
  return rmdir(path.c_str()) == 0;
}

bool EnsurePrivateFolder(const std::string& path) {
  std::string p = WithoutTrailingSlash(path);
  if (p.empty()) return false;
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) {
    std::string parent = ParentDir(p);
    if (!parent.empty()) CreateFolders(parent);
    if (mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (lstat(p.c_str(), &st) != 0) return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  if ((st.st_mode & 0777) != 0700) {
    // Change the mode through a descriptor of the folder itself, so a link
    // swapped in meanwhile is never followed.
    int fd = open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat fst;
    bool ok = fstat(fd, &fst) == 0 && fst.st_uid == getuid() && fchmod(fd, 0700) == 0;
    close(fd);
    return ok;
  }
  return true;
}

bool ReadFile(const std::string& path, std::string* content, int64_t maxBytes) {
  content->clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || st.st_size > maxBytes) {
    close(fd);
    return false;
  }
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    content->append(buf, static_cast<size_t>(n));
    if (static_cast<int64_t>(content->size()) > maxBytes) {
      ok = false;
      break;
    }
  }
  close(fd);
  if (!ok) content->clear();
  return ok;
}

bool WriteFileAtomic(const std::string& path, const std::string& content, unsigned mode) {
  std::string tmp = JoinPath(ParentDir(AbsolutePath(path)), "." + FileNameOf(path) + ".XXXXXX");
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0;
  size_t done = 0;
  while (ok && done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(name.data(), path.c_str()) == 0;
  if (!ok) unlink(name.data());
  return ok;
}

int MoveWithoutReplacing(int fromDirFd, const std::string& fromName, int toDirFd,
                         const std::string& toName, int firstWay) {
  constexpr unsigned kNoReplace = 1;  // RENAME_NOREPLACE
  if (firstWay <= 0) {
    if (syscall(SYS_renameat2, fromDirFd, fromName.c_str(), toDirFd, toName.c_str(), kNoReplace) == 0)
      return 0;
    // Only a file system that does not know the flag sends us to the next way.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  }
  if (firstWay <= 1) {
    if (linkat(fromDirFd, fromName.c_str(), toDirFd, toName.c_str(), 0) == 0) {
      unlinkat(fromDirFd, fromName.c_str(), 0);
      return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return errno;
  }
  // The name is ours once this exclusive create succeeds; the rename then
  // replaces only our own empty file.
  int fd = openat(toDirFd, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  close(fd);
  if (renameat(fromDirFd, fromName.c_str(), toDirFd, toName.c_str()) == 0) return 0;
  const int error = errno;
  unlinkat(toDirFd, toName.c_str(), 0);
  return error;
}

std::string LastLines(const std::string& path, int maxLines, int64_t maxBytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || maxLines <= 0) {
    if (fd >= 0) close(fd);
    return {};
  }
  struct stat st;
  std::string text;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    off_t start = st.st_size > maxBytes ? st.st_size - maxBytes : 0;
    text.resize(static_cast<size_t>(st.st_size - start));
    ssize_t n = pread(fd, text.data(), text.size(), start);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    if (start > 0) {  // drop the first, probably partial, line
      size_t nl = text.find('\n');
      text = nl == std::string::npos ? std::string() : text.substr(nl + 1);
    }
  }
  close(fd);
  // ffmpeg redraws its status line with '\r'; those count as line ends too.
  for (char& c : text)
    if (c == '\r') c = '\n';
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
    if (!line.empty()) lines.push_back(line);
    pos = end + 1;
  }
  std::string out;
  size_t first = lines.size() > static_cast<size_t>(maxLines) ? lines.size() - maxLines : 0;
  for (size_t i = first; i < lines.size(); ++i) {
    if (!out.empty()) out += '\n';
    out += lines[i];
  }
  return out;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string ParentDir(const std::string& path) {
  std::string p = WithoutTrailingSlash(path);
  size_t slash = p.rfind('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return p.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RemoveExtension(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  if (dot == (slash == std::string::npos ? 0 : slash + 1)) return path;  // ".hidden"
  return path.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
  std::string stem = RemoveExtension(path);
  return stem.size() < path.size() ? path.substr(stem.size() + 1) : std::string();
}

std::string WithTrailingSlash(const std::string& path) {
  if (path.empty() || path.back() == '/') return path;
  return path + "/";
}

std::string WithoutTrailingSlash(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) return path;
  return JoinPath(buf, path);
}

bool CanWriteIn(const std::string& folder) {
  std::string probe = WithTrailingSlash(folder) + ".pelmar-write-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return false;
  close(fd);
  unlink(probe.c_str());
  return true;
}

}  // namespace platform
