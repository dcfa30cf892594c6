#include "media/source_open.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/display.h>
}

#include <cmath>

namespace media {
namespace {

// Demuxers that open what their input names: HLS and DASH playlists, the
// concatenation list, IMF packages, Magic Lantern's numbered side files,
// VobSub's .sub beside the .idx, AviSynth and VapourSynth scripts, and the
// network descriptions. Named here because their flags do not tell.
const char* const kReachingDemuxers[] = {
    "hls", "applehttp", "dash", "concat", "imf", "mlv", "vobsub",
    "avisynth", "vapoursynth", "sdp", "rtsp", "rtp", "sap", "lavfi",
};

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return path;
  std::string dir = cwd;
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + path;
}

int Fail(AVFormatContext** context, std::string* error, int code, const std::string& why) {
  if (*context) avformat_free_context(*context);
  *context = nullptr;
  if (error) *error = why;
  return code;
}

}  // namespace

bool ReadsBeyondItself(const AVInputFormat* format) {
  if (!format) return true;
  // The image reader opens its file itself; told that a '%' in the name is no
  // frame number (OpenSourceFile, TranscoderInputOptions) it reads that one.
  if (av_match_name("image2", format->name)) return false;
  if (format->flags & AVFMT_NOFILE) return true;
  for (const char* name : kReachingDemuxers)
    if (av_match_name(name, format->name)) return true;
  return false;
}

std::string DemuxerName(const AVInputFormat* format) {
  if (!format || !format->name) return std::string();
  const std::string names = format->name;
  return names.substr(0, names.find(','));
}

std::vector<std::string> TranscoderInputOptions(const std::string& inputFormat) {
  std::vector<std::string> args = {"-protocol_whitelist", kSourceProtocols};
  if (inputFormat.empty()) return args;
  args.insert(args.end(), {"-f", inputFormat});
  if (inputFormat == "image2") args.insert(args.end(), {"-pattern_type", "none"});
  return args;
}

int OpenSourceFile(const std::string& path, AVFormatContext** context, AVDictionary** options,
                   std::string* error) {
  const std::string url = Absolute(path);
  // Pipes and devices could block the reader for good; media are plain files.
  struct stat st {};
  if (stat(url.c_str(), &st) != 0) {
    const int code = errno;
    return Fail(context, error, AVERROR(code),
                code == ENOENT ? "no such file" : std::string("cannot open: ") + strerror(code));
  }
  if (!S_ISREG(st.st_mode)) return Fail(context, error, AVERROR(EINVAL), "not a plain file");

  // The demuxer is chosen from the content before any demuxer reads the
  // file: opening one runs it, and a playlist's demuxer opens what it names
  // at once.
  const AVIOInterruptCB* interrupt = *context ? &(*context)->interrupt_callback : nullptr;
  AVDictionary* ioOptions = nullptr;
  av_dict_set(&ioOptions, "protocol_whitelist", kSourceProtocols, 0);
  AVIOContext* io = nullptr;
  int rc = avio_open2(&io, url.c_str(), AVIO_FLAG_READ, interrupt, &ioOptions);
  av_dict_free(&ioOptions);
  if (rc < 0) return Fail(context, error, rc, "cannot open: " + AvErrorText(rc));
  const AVInputFormat* format = nullptr;
  rc = av_probe_input_buffer2(io, &format, url.c_str(), *context, 0, 0);
  avio_closep(&io);
  if (rc < 0 || !format) {
    if (rc >= 0) rc = AVERROR_INVALIDDATA;
    return Fail(context, error, rc, "cannot open: " + AvErrorText(rc));
  }
  if (ReadsBeyondItself(format)) {
    const char* kind = format->long_name ? format->long_name : format->name;
    return Fail(context, error, AVERROR(EPERM),
                std::string("this file is a playlist (") + kind + "), not a media file");
  }

  AVDictionary* own = nullptr;
  AVDictionary** opened = options ? options : &own;
  // Nested opens, should a demuxer make any, stay on plain files too.
  av_dict_set(opened, "protocol_whitelist", kSourceProtocols, 0);
  // The image reader takes a '%' in the name for a numbered sequence.
  if (av_match_name("image2", format->name)) av_dict_set(opened, "pattern_type", "none", 0);
  rc = avformat_open_input(context, url.c_str(), format, opened);
  av_dict_free(&own);
  if (rc < 0) {
    *context = nullptr;
    if (error) *error = "cannot open: " + AvErrorText(rc);
    return rc;
  }
  return 0;
}

int StreamTurn(const AVStream* stream) {
  size_t size = 0;
  const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  if (!matrix || size < 9 * sizeof(int32_t)) return 0;
  // The matrix's angle is counter-clockwise.
  const double angle = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  if (std::isnan(angle)) return 0;
  const long long degrees = -std::llround(angle) % 360;
  return static_cast<int>(degrees < 0 ? degrees + 360 : degrees);
}

}  // namespace media
