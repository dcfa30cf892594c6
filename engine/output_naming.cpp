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

// The room a base name has beside ".<extension>".
size_t NameRoom(const std::string& extension) {
  const size_t taken = 1 + extension.size();
  return taken < kMaxFileName ? kMaxFileName - taken : 0;
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
  if (NameRoom(item.outputExtension) < 64) {
    r.error = "the output extension is too long: " + item.outputExtension;
    return r;
  }
  if (item.listKind != ConvertKind::Merge && item.outputDir.empty()) {
    r.error = "no output folder was chosen";
    return r;
  }
  r.ok = true;
  return r;
}

std::vector<std::string> OutputNameChoices(const VideoItem& item) {
  const size_t room = NameRoom(item.outputExtension);
  std::vector<std::string> names;
  names.push_back(platform::TruncateUtf8Bytes(item.outputName, room));
  std::string suffix;
  for (int i = 0; i < 3; ++i) {
    suffix += platform::Format("_%d_%s", i, item.itemId.c_str());
    if (suffix.size() >= room) break;
    names.push_back(platform::TruncateUtf8Bytes(item.outputName, room - suffix.size()) + suffix);
  }
  return names;
}

NamingResult NameOutput(const VideoItem& item, const EngineDirs& dirs) {
  NamingResult r = CheckOutputChoice(item);
  if (!r.ok) return r;
  const std::vector<std::string> names = OutputNameChoices(item);
  r.outputName = names.front();
  if (item.listKind == ConvertKind::Merge) {
    r.outputPath = dirs.scratch + r.outputName + "." + item.outputExtension;
    platform::DeleteFile(r.outputPath);
    return r;
  }
  const std::string folder = platform::WithTrailingSlash(item.outputDir);
  for (const std::string& name : names) {
    r.outputName = name;
    r.outputPath = folder + name + "." + item.outputExtension;
    if (!platform::FileExists(r.outputPath)) return r;
  }
  r.ok = false;
  r.error = "the output name is taken: " + r.outputPath;
  return r;
}

std::string NewProgressFilePath(const VideoItem& item, const EngineDirs& dirs) {
  return dirs.log + platform::Format("%s_%llu", item.itemId.c_str(), g_jobFileCounter.fetch_add(1));
}

}  // namespace engine
