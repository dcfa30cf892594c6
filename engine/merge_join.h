// Joining the converted parts of the merge list into one file.
#pragma once

#include <string>
#include <vector>

#include "engine/command.h"
#include "engine/output_check.h"
#include "engine/transcoder_job.h"
#include "engine/work_dirs.h"
#include "media/output_format.h"

namespace engine {

struct NotifyTarget;

struct MergeRequest {
  std::vector<std::string> parts;  // every part's output path, in list order
  std::vector<std::string> titles; // each part's chapter name, in list order
  media::OutputFormat outputFormat = media::OutputFormat::Mp4;  // the parts' format
  std::string outputExtension;
  std::string outputFolder;        // ends with '/'
  int totalSeconds = 0;            // sum of the parts' kept lengths
  std::string mergeName = "Merged";  // the localized merge file name
  // The parts are the sources themselves: only their picture and this sound
  // track (-1: none) are joined, not their other streams.
  bool sourcesAsTheyAre = false;
  int soundTrack = -1;
};

// The concat list: one "file '<path>'" line per part, an apostrophe written
// as '\'' so that no path can break the line or add directives. A part whose
// picture length is known gets it as its duration, so that the next part's
// picture follows it exactly, however much longer its sound runs.
std::string ConcatListText(const std::vector<std::string>& parts,
                           const std::vector<double>& pictureSeconds = {});

using Tags = std::vector<std::pair<std::string, std::string>>;

// The joined file's own tags and chapters as the transcoder's metadata file
// holds them: the tags of the first part (where and when it was recorded,
// not what container it came in) and a chapter a part, named by its title,
// as long as the part plays. Every value is escaped, so a title cannot add
// lines of its own.
std::string JoinMetadataText(const Tags& firstPartTags, const std::vector<std::string>& titles,
                             const std::vector<double>& partSeconds);

enum class JoinMode { Copy, CopyVideoEncodeAudio, Encode };

// How the parts join: by stream copy when they share one format (with the
// sound encoded again where the container needs it), else by encoding with
// the parts' own video codec and bit rate. The sound, where encoded, takes
// the format's codec (AAC; Opus in WebM); a format with a join codec of its
// own (VP9, HEVC, AV1: their speed settings, HEVC's tag) encodes with that.
struct JoinPlan {
  JoinMode mode = JoinMode::Encode;
  std::string videoEncoder;   // for Encode
  std::vector<std::string> videoCodec;  // for Encode: replaces "-c:v videoEncoder"
  long long videoBitRate = 0;  // for Encode, bit/s
  // The first part's tags have reverse-DNS keys (a phone's camera and place)
  // that MP4 and MOV keep only as keyed metadata.
  bool keyedTags = false;
  // The streams joined: every stream of the parts, or for sources taken as
  // they are their picture and this sound track (-1: none).
  bool pictureAndOneSound = false;
  int soundTrack = -1;
  std::vector<std::string> soundCodec = {"-c:a", "aac"};
};
JoinPlan PlanJoin(const std::vector<PartFormat>& parts, const std::string& extension,
                  media::OutputFormat format = media::OutputFormat::Mp4);

// The join of the concat list, with the tags and chapters of the metadata file.
Command BuildJoinCommand(const std::string& progressPath, const std::string& listPath,
                         const std::string& metadataPath, const std::string& outputPath,
                         const JoinPlan& plan);

// Why the parts cannot be joined as they are: a part that is missing, is no
// regular file or is empty. "" when every part may be handed over.
std::string CheckJoinParts(const std::vector<std::string>& parts);

// The transcoder's concat input gives up on a part it cannot open and ends as
// if the list ended there. Finds the error line that says so in the join's
// error output: one that could not open a part, or found invalid data in a
// part or in the list. "" when there is none.
std::string PartReadFailure(const std::string& errorOutputPath,
                            const std::vector<std::string>& parts, const std::string& listPath);

// "" when a joined file of outputSeconds holds what the parts hold; allows a
// second a part and a few percent for rounding and for sound that runs longer
// than the picture. Without either length there is nothing to judge.
std::string ShortJoinReason(double outputSeconds, double partsSeconds, size_t partCount);

// The file names the joined file may take, in order: the merge name with the
// time stamp, then the same with "_1" to "_3". The merge name is shortened at
// a character boundary where needed, so that every name fits.
std::vector<std::string> JoinedFileNames(const std::string& mergeName, long long stamp,
                                         const std::string& extension);

class MergeJoin : public TranscoderJob {
 public:
  MergeJoin(const MergeRequest& request, NotifyTarget* target, const EngineDirs& dirs);
  ~MergeJoin() override;  // Stop()

  // Starts the runner and the monitor; the monitor posts WM_MERGE_PROGRESS,
  // then WM_MERGE_DONE or WM_MERGE_FAILED. A missing or empty part fails the
  // join before it runs; a joined file that lost a part fails it afterwards
  // and is removed. The joined file is written in a private folder beside
  // its name and moved there only when it is judged whole, under a name that
  // nobody holds. The concat list, the progress file and the error output go
  // when the join ends, however it ends.
  void Start();

  bool Succeeded() const { return Verdict() == JobVerdict::Succeeded; }
  const std::string& ProgressPath() const { return progressPath_; }

 private:
  void RunnerMain() override;
  void MonitorMain() override;

  const MergeRequest request_;
  NotifyTarget* const target_;
  const EngineDirs dirs_;
  const std::string progressPath_;
};

}  // namespace engine
