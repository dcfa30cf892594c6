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

std::string OutputFolderFault(const std::string& folder) {
  for (char c : folder) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7f) continue;
    const std::string head = "the output folder's name cannot be used: " + folder.substr(0, folder.find(c)) + "…";
    if (c == '\n' || c == '\r')
      return head + " holds a line break, which the program's records of the files it is "
                    "writing cannot keep; choose another folder";
    return head + platform::Format(" holds the control character 0x%02x, which cannot be shown "
                                   "in a folder box or a message; choose another folder", u);
  }
  return {};
}

NamingResult CheckOutputChoice(const VideoItem& item) {
  NamingResult r;
  if (item.outputName.empty()) {
    r.error = "the output name is empty";
    return r;
  }
  // A source named "..mp4" gives the name ".", which is a file name once the
  // extension follows it.
  if (item.outputExtension.empty() && (item.outputName == "." || item.outputName == "..")) {
    r.error = "\"" + item.outputName + "\" cannot be a file name";
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
  if (item.listKind != ConvertKind::Merge) {
    r.error = OutputFolderFault(item.outputDir);
    if (!r.error.empty()) return r;
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
    // A part is the join's input only: named by the item, never by the user.
    r.outputName = "merge_" + item.itemId;
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
