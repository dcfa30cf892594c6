#include "tests/support/media.h"

#include <cstdlib>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace testsupport {
namespace {

// The file's content; "" when it cannot be read. Here rather than the
// sandbox's, so that a benchmark can make media without the test library.
std::string FileText(const std::string& path) {
  std::string text;
  platform::ReadFile(path, &text);
  return text;
}

struct Codecs {
  std::string video, audio;
};

Codecs DefaultCodecs(const std::string& ext) {
  if (ext == "avi") return {"mpeg4", "libmp3lame"};
  if (ext == "wmv" || ext == "asf") return {"wmv2", "wmav2"};
  if (ext == "flv") return {"flv", "libmp3lame"};
  if (ext == "mp3") return {"mjpeg", "libmp3lame"};
  if (ext == "wav") return {"", "pcm_s16le"};
  if (ext == "gif") return {"gif", ""};
  if (ext == "mpg") return {"mpeg2video", "mp2"};
  if (ext == "webm") return {"libvpx", "libvorbis"};
  return {"libx264", "aac"};  // mp4, mov, mkv, m4a, ts
}

std::string Run(std::vector<std::string> args, const std::string& errFile) {
  std::string error;
  platform::ProcessOptions options;
  options.stderrFile = errFile;
  int code = platform::RunAndWait(args, options, &error);
  if (code == 0) return {};
  if (code < 0) return "cannot run ffmpeg: " + error;
  return "ffmpeg exited with " + std::to_string(code) + ": " + platform::LastLines(errFile, 5);
}

}  // namespace

MediaSpec Clip(double seconds, int width, int height) {
  MediaSpec spec;
  spec.seconds = seconds;
  spec.width = width;
  spec.height = height;
  return spec;
}

std::string FfmpegPath() { return platform::FindProgram("ffmpeg"); }

std::vector<uint32_t> Quarters(const std::string& path) {
  const std::string ffmpeg = FfmpegPath();
  if (ffmpeg.empty()) return {};
  const std::string raw = path + ".quarters.rgb";
  const std::string why =
      Run({ffmpeg, "-hide_banner", "-nostdin", "-y", "-i", path, "-frames:v", "1", "-vf",
           "format=rgb24,scale=2:2:flags=area", "-f", "rawvideo", "-pix_fmt", "rgb24", raw},
          raw + ".log");
  std::string bytes;
  const bool read = why.empty() && platform::ReadFile(raw, &bytes) && bytes.size() == 12;
  platform::DeleteFile(raw);
  platform::DeleteFile(raw + ".log");
  if (!read) return {};
  std::vector<uint32_t> quarters;
  for (size_t i = 0; i < 12; i += 3)
    quarters.push_back(uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 |
                       uint8_t(bytes[i + 2]));
  return quarters;
}

std::string MakeMedia(const std::string& path, const MediaSpec& spec) {
  const std::string ffmpeg = FfmpegPath();
  if (ffmpeg.empty()) return "ffmpeg is not installed";
  const std::string ext = platform::ToLowerAscii(platform::ExtensionOf(path));
  Codecs codecs = DefaultCodecs(ext);
  if (!spec.videoCodec.empty()) codecs.video = spec.videoCodec;
  if (!spec.audioCodec.empty()) codecs.audio = spec.audioCodec;
  const bool video = spec.width > 0 && spec.height > 0 && ext != "mp3" && ext != "m4a" &&
                     ext != "wav";
  const bool audio = spec.audioChannels > 0 && ext != "gif";
  const bool post = spec.rotation != 0 || spec.dataStream || spec.coverArt;
  const std::string errFile = path + ".ffmpeg.log";
  const std::string seconds = platform::Format("%.3f", spec.seconds);

  std::string first = post ? platform::RemoveExtension(path) + ".stage1." + ext : path;
  std::vector<std::string> args = {ffmpeg, "-hide_banner", "-nostdin", "-y"};
  const bool hdr = video && !spec.hdr.empty();
  if (hdr) codecs.video = "libx265";
  if (video) {
    std::string source =
        spec.color.empty()
            ? platform::Format("%s=size=%dx%d:rate=%g", spec.pattern.c_str(), spec.width,
                               spec.height, spec.fps)
            : platform::Format("color=c=%s:size=%dx%d:rate=%g", spec.color.c_str(), spec.width,
                               spec.height, spec.fps);
    // The test patterns end by themselves; other sources (mandelbrot) are cut.
    const bool ends =
        !spec.color.empty() || spec.pattern == "testsrc" || spec.pattern == "testsrc2";
    source += (ends ? ":duration=" : ",trim=duration=") + seconds;
    if (!spec.corner.empty())
      source += ",drawbox=x=0:y=0:w=iw/2:h=ih/2:t=fill:color=" + spec.corner;
    args.insert(args.end(), {"-f", "lavfi", "-i", source});
  }
  if (audio) {
    args.insert(args.end(),
                {"-f", "lavfi", "-i",
                 platform::Format("sine=frequency=440:sample_rate=%d:duration=%s", spec.sampleRate,
                                  seconds.c_str())});
  }
  if (video) args.insert(args.end(), {"-map", "0:v"});
  for (int t = 0; audio && t < spec.audioTracks; ++t)
    args.insert(args.end(), {"-map", video ? "1:a" : "0:a"});
  if (hdr) {
    // The SDR picture as BT.709 light, white at 203 cd/m2, into BT.2020 and
    // the curve; a good quality, so that what the picture looks like is the
    // curve's doing, not the encoder's.
    const std::string curve = spec.hdr == "pq" ? "smpte2084" : "arib-std-b67";
    args.insert(args.end(),
                {"-vf",
                 "format=gbrp,zscale=tin=bt709:pin=bt709:t=linear:p=bt709:npl=203,"
                 "format=gbrpf32le,zscale=p=bt2020,zscale=t=" + curve +
                     ":m=bt2020nc:r=tv:npl=203,format=yuv420p10le",
                 "-c:v", "libx265", "-preset", "ultrafast", "-crf", "12", "-x265-params",
                 "log-level=error", "-color_primaries", "bt2020", "-color_trc", curve,
                 "-colorspace", "bt2020nc"});
  } else if (video) {
    args.insert(args.end(), {"-c:v", codecs.video});
    if (codecs.video == "libx264") args.insert(args.end(), {"-preset", "ultrafast"});
    if (codecs.video != "gif") args.insert(args.end(), {"-pix_fmt", "yuv420p"});
  }
  if (audio)
    args.insert(args.end(), {"-c:a", codecs.audio, "-ac", std::to_string(spec.audioChannels)});
  args.push_back(first);
  std::string why = Run(args, errFile);
  if (!why.empty() || !post) {
    if (why.empty()) platform::DeleteFile(errFile);
    return why;
  }

  // Second pass by stream copy: rotation, timecode track and cover picture.
  args = {ffmpeg, "-hide_banner", "-nostdin", "-y", "-i", first};
  std::string cover;
  if (spec.coverArt) {
    cover = platform::RemoveExtension(path) + ".cover.jpg";
    why = Run({ffmpeg, "-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i",
               "color=c=blue:size=64x64", "-frames:v", "1", cover},
              errFile);
    if (!why.empty()) return why;
    args.insert(args.end(), {"-i", cover});
  }
  args.insert(args.end(), {"-map", "0", "-c", "copy"});
  if (spec.coverArt) {
    int coverIndex = video ? 1 : 0;
    args.insert(args.end(), {"-map", "1", "-c:v:" + std::to_string(coverIndex), "mjpeg",
                             "-disposition:v:" + std::to_string(coverIndex), "attached_pic"});
  }
  // This transcoder writes the tag's degrees as a counter-clockwise matrix: a
  // phone's portrait clip (turned 90 clockwise) reads -90.
  if (spec.rotation != 0 && video)
    args.insert(args.end(), {"-metadata:s:v:0", "rotate=" + std::to_string(-spec.rotation)});
  if (spec.dataStream) args.insert(args.end(), {"-timecode", "00:00:00:00"});
  args.push_back(path);
  why = Run(args, errFile);
  platform::DeleteFile(first);
  if (!cover.empty()) platform::DeleteFile(cover);
  if (why.empty()) platform::DeleteFile(errFile);
  return why;
}

namespace {

// The mean of every "key=value" line of the text whose key ends with `key`.
double MeanOf(const std::string& text, const std::string& key) {
  double sum = 0;
  int count = 0;
  for (const std::string& line : platform::SplitLines(text, "\n")) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq < key.size() ||
        line.compare(eq - key.size(), key.size(), key) != 0)
      continue;
    sum += std::atof(line.c_str() + eq + 1);
    ++count;
  }
  return count > 0 ? sum / count : -1;
}

}  // namespace

PictureLook LookOfPicture(const std::string& path) {
  PictureLook look;
  const std::string ffmpeg = FfmpegPath();
  const std::string ffprobe = platform::FindProgram("ffprobe");
  if (ffmpeg.empty() || ffprobe.empty()) return look;
  const std::string stats = path + ".look";
  platform::ProcessOptions options;
  // The metadata filter writes through the transcoder's option parser: the
  // path is kept plain by naming it in the working folder.
  options.workDir = platform::ParentDir(stats);
  if (platform::RunAndWait({ffmpeg, "-hide_banner", "-nostdin", "-v", "error", "-i", path, "-vf",
                            "format=yuv444p,signalstats,metadata=print:file=" +
                                platform::FileNameOf(stats),
                            "-f", "null", "-"},
                           options) == 0) {
    const std::string text = FileText(stats);
    look.luma = MeanOf(text, ".YAVG");
    look.saturation = MeanOf(text, ".SATAVG");
  }
  platform::DeleteFile(stats);
  options.stdoutFile = path + ".format";
  if (platform::RunAndWait({ffprobe, "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=pix_fmt", "-of", "default=noprint_wrappers=1:nokey=1", path},
                           options) == 0) {
    look.pixelFormat = FileText(options.stdoutFile);
    while (!look.pixelFormat.empty() && look.pixelFormat.back() == '\n')
      look.pixelFormat.pop_back();
  }
  platform::DeleteFile(options.stdoutFile);
  return look;
}

double PictureSimilarity(const std::string& a, const std::string& b, double bStart) {
  const std::string ffmpeg = FfmpegPath();
  if (ffmpeg.empty()) return -1;
  const std::string from =
      bStart > 0 ? platform::Format("trim=start=%.3f,setpts=PTS-STARTPTS,", bStart) : "";
  platform::ProcessOptions options;
  options.stderrFile = a + ".ssim.log";
  const int code = platform::RunAndWait(
      {ffmpeg, "-hide_banner", "-nostdin", "-i", a, "-i", b, "-lavfi",
       "[0:v]setpts=PTS-STARTPTS,format=yuv444p[a];[1:v]" + from +
           "format=yuv444p[b];[a][b]ssim=shortest=1",
       "-f", "null", "-"},
      options);
  const std::string log = FileText(options.stderrFile);
  platform::DeleteFile(options.stderrFile);
  const size_t at = log.rfind(" All:");
  if (code != 0 || at == std::string::npos) return -1;
  return std::atof(log.c_str() + at + 5);
}

}  // namespace testsupport
