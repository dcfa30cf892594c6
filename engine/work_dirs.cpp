#include "engine/work_dirs.h"

#include "app/core/app_paths.h"
#include "engine/run_records.h"
#include "platform/files.h"

namespace engine {

EngineDirs EngineDirs::ForApp(const app::AppPaths& paths) {
  using platform::JoinPath;
  using platform::WithTrailingSlash;
  EngineDirs d;
  d.scratch = paths.tempDir;
  if (!paths.dataDir.empty()) {
    d.work = WithTrailingSlash(JoinPath(paths.dataDir, "temp"));
    d.log = WithTrailingSlash(JoinPath(paths.dataDir, "log"));
    d.cover = JoinPath(paths.dataDir, "video_cover");
    // Kept with the data: the records must outlive a power cut that empties /tmp.
    d.running = WithTrailingSlash(JoinPath(paths.dataDir, "running"));
  } else {
    // Without a data folder everything stays in the private temporary folder.
    d.work = WithTrailingSlash(JoinPath(paths.tempDir, "temp"));
    d.log = WithTrailingSlash(JoinPath(paths.tempDir, "log"));
    d.cover = JoinPath(paths.tempDir, "video_cover");
    d.running = WithTrailingSlash(JoinPath(paths.tempDir, "running"));
  }
  d.plugin = WithTrailingSlash(JoinPath(paths.installDir, "plugin"));
  return d;
}

EngineDirs EngineDirs::ForProcess(const std::string& tag) const {
  using platform::JoinPath;
  using platform::WithTrailingSlash;
  EngineDirs d = *this;
  d.scratch = WithTrailingSlash(JoinPath(scratch, tag));
  d.work = WithTrailingSlash(JoinPath(work, tag));
  d.log = WithTrailingSlash(JoinPath(log, tag));
  d.cover = JoinPath(cover, tag);
  d.tag = tag;
  return d;
}

bool EngineDirs::Ensure() const {
  // Claimed before anything exists, so that the clean-up of another start
  // never takes them for leftovers.
  ClaimFolders(*this);
  platform::CreateFolders(work, 0700);
  platform::CreateFolders(log, 0700);
  return !scratch.empty() && platform::EnsurePrivateFolder(scratch);
}

void EngineDirs::RemoveAll() const {
  for (const std::string& dir : {scratch, work, log, cover})
    if (!dir.empty()) platform::RemoveTree(platform::WithoutTrailingSlash(dir));
  ReleaseFolders(*this);
}

}  // namespace engine
