#include "engine/temp_output.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <ctime>

#include "app/core/run_log.h"
#include "engine/output_naming.h"
#include "engine/run_records.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {
namespace {

std::string RandomHex() {
  unsigned long long value = 0;
  if (getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value))
    value = static_cast<unsigned long long>(time(nullptr)) * 2654435761ULL ^
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&value));
  return platform::Format("%016llx", value);
}

// File systems that keep no owners: every entry shows the owner the mount
// gives (FAT, exFAT, NTFS, SMB). No link can be planted on most of them.
bool KeepsNoOwners(int fd) {
  struct statfs fs;
  if (fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x4d44UL:      // FAT
    case 0x2011bab0UL:  // exFAT
    case 0x5346544eUL:  // NTFS
    case 0x7366746eUL:  // NTFS3
    case 0x65735546UL:  // FUSE (ntfs-3g and others)
    case 0xff534d42UL:  // CIFS
    case 0xfe534d42UL:  // SMB2
      return true;
    default:
      return false;
  }
}

std::string Why(const char* what, const std::string& path, int error) {
  return std::string(what) + ": " + path + ": " + strerror(error);
}

}  // namespace

TempOutput::~TempOutput() { Discard(); }

bool TempOutput::Create(const std::string& folder, const std::string& extension,
                        const std::string& runningDir, std::string* error) {
  Discard();
  *error = OutputFolderFault(folder);
  if (!error->empty()) return false;
  folder_ = platform::WithTrailingSlash(folder);
  // The output folder is the user's choice, links and all.
  folderFd_ = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd_ < 0) {
    *error = Why("the output folder cannot be opened", folder_, errno);
    return false;
  }
  for (int attempt = 0; attempt < 8 && privateName_.empty(); ++attempt) {
    const std::string name = kTempOutputPrefix + RandomHex();
    // The record comes first: a kill right after the folder is made leaves it known.
    record_ = RunRecord::Write(runningDir, "out", folder_ + name + "\n");
    if (mkdirat(folderFd_, name.c_str(), 0700) == 0) {
      privateName_ = name;
      break;
    }
    const int e = errno;
    record_.reset();
    if (e != EEXIST) {
      *error = Why("the output folder cannot be written", folder_, e);
      Discard();
      return false;
    }
  }
  if (privateName_.empty()) {
    *error = "no private name could be made in the output folder: " + folder_;
    Discard();
    return false;
  }
  // The run goes on; only a kill would leave the folder for the user to remove.
  if (!record_ && !runningDir.empty())
    app::RunLog("no record of %s%s could be written in %s", folder_.c_str(), privateName_.c_str(),
                runningDir.c_str());
  privateFd_ = openat(folderFd_, privateName_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  // Only we can have made a folder of ours there: nobody swapped another in.
  struct stat st, parent;
  const bool ours =
      privateFd_ >= 0 && fstat(privateFd_, &st) == 0 &&
      (st.st_uid == geteuid() ||
       (KeepsNoOwners(privateFd_) && fstat(folderFd_, &parent) == 0 && st.st_uid == parent.st_uid));
  if (!ours) {
    *error = "the output folder changed while it was used: " + folder_;
    Discard();
    return false;
  }
  fileName_ = extension.empty() ? "out" : "out." + extension;
  int fd = openat(privateFd_, fileName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    *error = Why("the output folder cannot be written", folder_, errno);
    Discard();
    return false;
  }
  close(fd);
  // Through /proc the path names our handle of the folder, not its name; the
  // transcoder may follow it while this process can be inspected by its own
  // user. Otherwise the plain path still leads into our own private folder.
  const std::string pinned = platform::Format("/proc/%d/fd/%d", static_cast<int>(getpid()), privateFd_);
  const bool reachable = prctl(PR_GET_DUMPABLE) == 1 && access(pinned.c_str(), X_OK) == 0;
  writePath_ = reachable ? pinned + "/" + fileName_ : ShownPath();
  return true;
}

std::string TempOutput::ShownPath() const {
  if (privateName_.empty()) return {};
  return folder_ + privateName_ + "/" + fileName_;
}

std::string TempOutput::ShownIn(const std::string& commandLine) const {
  std::string shown = commandLine;
  const size_t at = writePath_.empty() ? std::string::npos : shown.rfind(writePath_);
  if (at != std::string::npos) shown.replace(at, writePath_.size(), ShownPath());
  return shown;
}

int TempOutput::MoveInto(const std::vector<std::string>& names, std::string* error) {
  if (privateFd_ < 0) {
    *error = "there is no finished file to move";
    return -1;
  }
  for (size_t i = 0; i < names.size(); ++i) {
    const int e = platform::MoveWithoutReplacing(privateFd_, fileName_, folderFd_, names[i]);
    if (e == 0) {
      Discard();
      return static_cast<int>(i);
    }
    if (e != EEXIST) {
      *error = Why("the finished file could not be put in place", folder_ + names[i], e);
      return -1;
    }
  }
  *error = "the output name is taken: " + folder_ + (names.empty() ? std::string() : names.back());
  return -1;
}

bool TempOutput::Replace(const std::string& name, std::string* error) {
  if (privateFd_ < 0) {
    *error = "there is no finished file to move";
    return false;
  }
  if (renameat(privateFd_, fileName_.c_str(), folderFd_, name.c_str()) != 0) {
    *error = Why("the finished file could not be put in place", folder_ + name, errno);
    return false;
  }
  Discard();
  return true;
}

void TempOutput::Discard() {
  if (privateFd_ >= 0) {
    // Whatever the transcoder wrote in our folder: files only, never a link's target.
    if (DIR* d = fdopendir(dup(privateFd_))) {
      while (dirent* e = readdir(d)) {
        struct stat st;
        if (fstatat(privateFd_, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode))
          unlinkat(privateFd_, e->d_name, 0);
      }
      closedir(d);
    }
    close(privateFd_);
    privateFd_ = -1;
  }
  if (folderFd_ >= 0) {
    if (!privateName_.empty()) unlinkat(folderFd_, privateName_.c_str(), AT_REMOVEDIR);
    close(folderFd_);
    folderFd_ = -1;
  }
  privateName_.clear();
  writePath_.clear();
  record_.reset();
}

}  // namespace engine
