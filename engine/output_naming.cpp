#include "engine/output_naming.h"

#include "engine/video_item.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "platform/text.h"

namespace engine {

NamingResult CheckOutputChoice(VideoItem& item) {
  NamingResult r;
  if (item.outputName.empty() || item.outputName == "." || item.outputName == "..") {
    r.error = "the output name is empty";
    return r;
  }
  if (item.outputName.find('/') != std::string::npos) {
    r.error = "the output name \"" + item.outputName + "\" holds a \"/\"";
    return r;
  }
  if (item.listKind != ConvertKind::Merge) {
    if (item.outputDir.empty()) {
      r.error = "no output folder was chosen";
      return r;
    }
    item.outputDir = platform::WithTrailingSlash(item.outputDir);
  }
  r.ok = true;
  return r;
}

NamingResult NameOutput(VideoItem& item, const EngineDirs& dirs) {
  NamingResult r = CheckOutputChoice(item);
  if (!r.ok) return r;
  if (item.listKind == ConvertKind::Merge) {
    item.outputPath = dirs.scratch + item.outputName + "." + item.outputExtension;
    platform::DeleteFile(item.outputPath);
    return r;
  }
  auto build = [&] { item.outputPath = item.outputDir + item.outputName + "." + item.outputExtension; };
  build();
  for (int i = 0; i < 3 && platform::FileExists(item.outputPath); ++i) {
    item.outputName = platform::Format("%s_%d_%s", item.outputName.c_str(), i, item.itemId.c_str());
    build();
  }
  if (platform::FileExists(item.outputPath)) {
    r.ok = false;
    r.error = "the output name is taken: " + item.outputPath;
  }
  return r;
}

std::string ProgressFilePath(const VideoItem& item, const EngineDirs& dirs) {
  return dirs.log + item.outputName + "_" + item.outputExtension;
}

}  // namespace engine
