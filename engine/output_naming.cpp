#include "engine/output_naming.h"

#include <atomic>

#include "engine/video_item.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {
namespace {

// Longest file name a folder entry may have, in bytes.
constexpr size_t kMaxFileName = 255;

std::atomic<unsigned long long> g_jobFileCounter{1};

bool FitsFileName(const std::string& name, const std::string& extension) {
  return name.size() + 1 + extension.size() <= kMaxFileName;
}

}  // namespace

NamingResult CheckOutputChoice(const VideoItem& item) {
  NamingResult r;
  if (item.outputName.empty() || item.outputName == "." || item.outputName == "..") {
    r.error = "the output name is empty";
    return r;
  }
  if (item.outputName.find('/') != std::string::npos) {
    r.error = "the output name \"" + item.outputName + "\" holds a \"/\"";
    return r;
  }
  if (!FitsFileName(item.outputName, item.outputExtension)) {
    r.error = platform::Format("the output name is too long for a file name (%zu bytes)",
                               item.outputName.size());
    return r;
  }
  if (item.listKind != ConvertKind::Merge && item.outputDir.empty()) {
    r.error = "no output folder was chosen";
    return r;
  }
  r.ok = true;
  return r;
}

NamingResult NameOutput(const VideoItem& item, const EngineDirs& dirs) {
  NamingResult r = CheckOutputChoice(item);
  if (!r.ok) return r;
  r.outputName = item.outputName;
  if (item.listKind == ConvertKind::Merge) {
    r.outputPath = dirs.scratch + r.outputName + "." + item.outputExtension;
    platform::DeleteFile(r.outputPath);
    return r;
  }
  const std::string folder = platform::WithTrailingSlash(item.outputDir);
  auto build = [&] { r.outputPath = folder + r.outputName + "." + item.outputExtension; };
  build();
  for (int i = 0; i < 3 && platform::FileExists(r.outputPath); ++i) {
    std::string renamed = platform::Format("%s_%d_%s", r.outputName.c_str(), i, item.itemId.c_str());
    // A longer name could not be made at all: the clash stays.
    if (!FitsFileName(renamed, item.outputExtension)) break;
    r.outputName = renamed;
    build();
  }
  if (platform::FileExists(r.outputPath)) {
    r.ok = false;
    r.error = "the output name is taken: " + r.outputPath;
  }
  return r;
}

std::string NewProgressFilePath(const VideoItem& item, const EngineDirs& dirs) {
  return dirs.log + platform::Format("%s_%llu", item.itemId.c_str(), g_jobFileCounter.fetch_add(1));
}

}  // namespace engine
