// Naming the output file and the progress file of a job.
#pragma once

#include <string>

namespace engine {

struct VideoItem;
struct EngineDirs;

struct NamingResult {
  bool ok = false;
  std::string error;  // why the item cannot be converted under any name
};

// Sets outputPath (and outputName after a collision). Merge parts go to the
// scratch folder, replacing an old part; other outputs go to outputDir, and an
// existing file is never touched: up to three renames, then a failure.
NamingResult NameOutput(VideoItem& item, const EngineDirs& dirs);

// log folder + outputName + "_" + outputExtension.
std::string ProgressFilePath(const VideoItem& item, const EngineDirs& dirs);

// The checks on the user's choices that naming relies on: an output folder
// (ending with '/' is added when missing) and a name without '/'.
NamingResult CheckOutputChoice(VideoItem& item);

}  // namespace engine
