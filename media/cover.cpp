#include "media/cover.h"

#include <algorithm>
#include <atomic>

#include "media/source_open.h"
#include "media/tone_map.h"
#include "media/transcoder.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace media {
namespace {

// "<title>_<stamp>.png" must fit in one file-name element (255 bytes).
constexpr size_t kMaxTitleBytes = 200;

// Microseconds since 1970, never the same twice in this process, so two covers
// started in one microsecond still get two names.
int64_t UniqueStamp() {
  static std::atomic<int64_t> last{0};
  const int64_t now = platform::MicrosecondsSinceEpoch();
  int64_t previous = last.load();
  int64_t next;
  do {
    next = std::max(now, previous + 1);
  } while (!last.compare_exchange_weak(previous, next));
  return next;
}

}  // namespace

std::vector<std::string> CoverCommand(const std::string& transcoder, const std::string& source,
                                      const std::string& inputFormat, int coverSeekSeconds,
                                      const std::string& coverPath,
                                      const std::string& toneMap) {
  std::vector<std::string> args = {transcoder, "-hide_banner"};
  const std::vector<std::string> input = TranscoderInputOptions(inputFormat);
  args.insert(args.end(), input.begin(), input.end());
  // Absolute names: a relative one holding ':' would be read as a protocol, one
  // starting with '-' as an option.
  args.insert(args.end(),
              {"-i", platform::AbsolutePath(source), "-y", "-f", "image2", "-t", "0.01"});
  if (coverSeekSeconds > 0) {
    args.insert(args.end(), {"-ss", platform::Format("%02d:%02d:%02d", coverSeekSeconds / 3600,
                                                     coverSeekSeconds / 60 % 60,
                                                     coverSeekSeconds % 60)});
  }
  if (!toneMap.empty()) {
    // The frames before the pictured one are dropped before the costly steps.
    const std::string skip =
        coverSeekSeconds > 0 ? platform::Format("trim=start=%d,", coverSeekSeconds) : "";
    args.insert(args.end(), {"-vf", skip + toneMap});
  }
  // One picture under its name as it stands: without -update the muxer reads a
  // '%' in the title as a frame-number pattern and writes nothing.
  args.insert(args.end(), {"-s", "1194x768", "-update", "1", platform::AbsolutePath(coverPath)});
  return args;
}

bool MakeCover(const std::string& source, MediaInfo& info, const std::string& coverDir,
               const std::string& workDir, platform::Process& process) {
  if (!info.coverPath.empty() && platform::IsRegularFile(info.coverPath)) return true;
  // Left to guess, the transcoder would follow a playlist to the files it names.
  if (info.inputFormat.empty() ||
      ReadsBeyondItself(av_find_input_format(info.inputFormat.c_str())))
    return false;

  const std::string dir = platform::AbsolutePath(coverDir);
  platform::CreateFolders(dir);
  info.coverPath = platform::JoinPath(
      dir, platform::Format("%s_%lld.png",
                            platform::TruncateUtf8Bytes(info.title, kMaxTitleBytes).c_str(),
                            static_cast<long long>(UniqueStamp())));

  const std::string transcoder = TranscoderPath();
  if (transcoder.empty()) return false;
  platform::ProcessOptions options;
  options.workDir = workDir;
  options.killWithParent = true;
  if (!process.start(
          CoverCommand(transcoder, source, info.inputFormat, info.coverSeekSeconds, info.coverPath,
                       ToneMapSteps(info)),
          options))
    return false;
  if (process.wait() != 0) {
    // Killed or failed: a half-written picture must not pass for the cover.
    platform::DeleteFile(info.coverPath);
    return false;
  }
  return platform::FileSize(info.coverPath) > 0;
}

}  // namespace media
