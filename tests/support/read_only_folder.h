// A folder that cannot be written, for tests of what the program says then.
#pragma once

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/files.h"

namespace testsupport {

// A folder that cannot be written, by any user: read-only for root (which
// passes every permission check), without write permission for others.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::string& dir) : dir_(dir) {
    platform::CreateFolders(dir);
    if (getuid() == 0) {
      mounted_ = mount("tmpfs", dir.c_str(), "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV, "size=64k") == 0;
      ok_ = mounted_;
    } else {
      ok_ = chmod(dir.c_str(), 0555) == 0;
    }
  }
  ~ReadOnlyFolder() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
    else chmod(dir_.c_str(), 0755);
  }
  bool Ok() const { return ok_; }

 private:
  std::string dir_;
  bool mounted_ = false, ok_ = false;
};

}  // namespace testsupport
