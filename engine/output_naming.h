// Naming the output file and the helper files of a job.
#pragma once

#include <string>
#include <vector>

namespace engine {

struct VideoItem;
struct EngineDirs;

struct NamingResult {
  bool ok = false;
  std::string error;       // why the item cannot be converted under any name
  std::string outputPath;  // the file the job writes
  std::string outputName;  // the base name used: the item's, or its renamed form after a clash
};

// The base names an output may take, in order: the item's name, then up to
// three renames after clashes, each "%s_%d_%s" of the name before, the try and
// the item's id. A name is shortened at a character boundary where it must be,
// so that with its extension it fits in a file name.
std::vector<std::string> OutputNameChoices(const VideoItem& item);

// Chooses where the job means to write; the item is only read (the conversion
// worker calls this while the owner's thread may read the item). Merge parts
// go to the scratch folder, replacing an old part; other outputs go to
// outputDir under the first free name of OutputNameChoices(), and an existing
// file is never touched. The job takes the name only when its output is
// finished (TempOutput), and then the first name free at that moment.
NamingResult NameOutput(const VideoItem& item, const EngineDirs& dirs);

// A progress file in the log folder for one job of the item. Named by the
// item's id and a number new for every call, never by the output name: two
// jobs never share one, and the name stays short whatever the title.
std::string NewProgressFilePath(const VideoItem& item, const EngineDirs& dirs);

// Why an output folder cannot be used, or "": a control character (a line
// break above all) in its path cannot be shown in a folder box nor kept in
// the line-per-entry records of what a run writes (run_records.h).
std::string OutputFolderFault(const std::string& folder);

// The checks on the user's choices that naming relies on: an output folder
// of a usable name and an output name without '/'.
NamingResult CheckOutputChoice(const VideoItem& item);

}  // namespace engine
