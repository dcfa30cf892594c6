#include "media/probe.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>

extern "C" {
#include <libavcodec/codec_desc.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "media/container.h"
#include "media/source_open.h"
#include "platform/files.h"
#include "platform/text.h"

namespace media {
namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

struct InputCloser {
  void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
};

// The library's name of a stated colour value; "" for none or one it has no
// name for.
std::string ColourName(const char* name, bool stated) {
  return stated && name ? std::string(name) : std::string();
}

bool IsAttachedPicture(const AVStream* stream) {
  return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// Where a stream starts and how long it plays, in seconds, when the
// container says both.
struct Span {
  bool known = false;
  double start = 0, length = 0;
};

Span SpanOf(const AVStream* stream) {
  Span span;
  if (stream->start_time == AV_NOPTS_VALUE || stream->duration == AV_NOPTS_VALUE ||
      stream->duration <= 0)
    return span;
  span.known = true;
  span.start = static_cast<double>(stream->start_time) * av_q2d(stream->time_base);
  span.length = static_cast<double>(stream->duration) * av_q2d(stream->time_base);
  return span;
}

// A picture and a sound that would never play together where they stand:
// one starts long after the other has ended (a muxer that stamped one of
// them from another clock). Each then plays from its own start.
bool FarApart(const Span& a, const Span& b) {
  if (!a.known || !b.known) return false;
  const Span& first = a.start <= b.start ? a : b;
  const double gap = std::fabs(a.start - b.start);
  return gap > 10.0 && gap > first.length + 1.0;
}

}  // namespace

void SetDuration(int64_t microseconds, MediaInfo& info) {
  const int64_t d = microseconds < 0 ? 0 : microseconds;
  info.durationSeconds = static_cast<int>(std::min<int64_t>(d / 1000000, INT_MAX));
  const int64_t rounded = (d <= INT64_MAX - 5000 ? d + 5000 : d) / 1000000;
  info.coverSeekSeconds = rounded > 5 ? 5 : 0;
  const long long s = rounded;  // hours are not capped at two digits
  info.durationText = platform::Format("%02lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
}

ProbeReport ProbeMedia(const std::string& path, MediaInfo& info) {
  ProbeReport report;
  // Pipes and devices could block the reader for good; media are plain files.
  if (!platform::IsRegularFile(path)) {
    report.error = platform::FileExists(path) ? "not a plain file" : "no such file";
    return report;
  }
  // Absolute, so that a name holding ':' is not taken for a protocol.
  const std::string url = platform::AbsolutePath(path);
  AVFormatContext* opened = nullptr;
  if (OpenSourceFile(url, &opened, nullptr, &report.error) < 0) return report;
  info.inputFormat = DemuxerName(opened->iformat);
  std::unique_ptr<AVFormatContext, InputCloser> input(opened);
  const int rc = avformat_find_stream_info(opened, nullptr);
  if (rc < 0) {
    report.error = "cannot read the streams: " + AvError(rc);
    return report;
  }

  info.bitRate = opened->bit_rate;
  info.keyedTags = false;
  for (const AVDictionaryEntry* tag = nullptr;
       (tag = av_dict_get(opened->metadata, "", tag, AV_DICT_IGNORE_SUFFIX));)
    info.keyedTags = info.keyedTags || IsKeyedTag(tag->key);
  if (opened->duration != AV_NOPTS_VALUE) {
    SetDuration(opened->duration, info);
    report.durationFound = true;
  } else if (info.cacheKind == CacheKind::None) {
    report.error = "unknown duration";
    return report;
  }

  // Cover art comes as a one-picture video stream; it stands for the video
  // only when the file has no real one.
  bool realVideo = false;
  for (unsigned i = 0; i < opened->nb_streams; ++i) {
    const AVStream* stream = opened->streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !IsAttachedPicture(stream))
      realVideo = true;
  }

  bool videoSeen = false;
  Span videoSpan, audioSpan;
  int audioTracks = 0;
  bool defaultAudioSeen = false;
  info.subtitles.clear();
  for (unsigned i = 0; i < opened->nb_streams; ++i) {
    const AVStream* stream = opened->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_DATA) {
      info.hasDataStream = true;
    } else if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (realVideo && IsAttachedPicture(stream)) continue;
      videoSeen = true;
      videoSpan = SpanOf(stream);
      const AVRational rate = stream->avg_frame_rate;
      if (rate.num != 0 && rate.den != 0) {
        info.frameRate = static_cast<float>(rate.num) / static_cast<float>(rate.den);
        info.frameRateNum = rate.num;
        info.frameRateDen = rate.den;
      }
      info.videoCodec = avcodec_get_name(par->codec_id);
      const char* pixels = av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format));
      info.pixelFormat = pixels ? pixels : "";
      info.rotation = StreamTurn(stream);
      if (par->width > 0 && par->height > 0) {
        info.width = par->width;
        info.height = par->height;
        report.videoSizeFound = true;
      }
      info.resolutionText = platform::Format("%dx%d", info.width, info.height);
      const AVRational sar = av_guess_sample_aspect_ratio(opened, const_cast<AVStream*>(stream),
                                                          nullptr);
      info.pixelAspectNum = sar.num > 0 && sar.den > 0 ? sar.num : 1;
      info.pixelAspectDen = sar.num > 0 && sar.den > 0 ? sar.den : 1;
      info.interlaced = par->field_order != AV_FIELD_UNKNOWN &&
                        par->field_order != AV_FIELD_PROGRESSIVE;
      // Set for every picture stream, so another source's colour never stays.
      info.colorTransfer = ColourName(av_color_transfer_name(par->color_trc),
                                      par->color_trc != AVCOL_TRC_UNSPECIFIED);
      info.colorPrimaries = ColourName(av_color_primaries_name(par->color_primaries),
                                       par->color_primaries != AVCOL_PRI_UNSPECIFIED);
      info.colorMatrix = ColourName(av_color_space_name(par->color_space),
                                    par->color_space != AVCOL_SPC_UNSPECIFIED);
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
      // The track a conversion takes, and so the one described: the default
      // track, else the first.
      const int track = audioTracks++;
      const bool isDefault = (stream->disposition & AV_DISPOSITION_DEFAULT) != 0;
      if (track != 0 && (defaultAudioSeen || !isDefault)) continue;
      defaultAudioSeen = isDefault;
      info.audioTrack = track;
      audioSpan = SpanOf(stream);
      if (par->ch_layout.nb_channels > 0) info.audioChannels = par->ch_layout.nb_channels;
      info.audioKbps = static_cast<int>(par->bit_rate / 1000);
      info.audioCodec = avcodec_get_name(par->codec_id);
      info.sampleRate = par->sample_rate;
      info.audioBitRateText = std::to_string(info.audioKbps);
    } else if (par->codec_type == AVMEDIA_TYPE_SUBTITLE) {
      const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
      info.subtitles.push_back({avcodec_get_name(par->codec_id),
                                desc && (desc->props & AV_CODEC_PROP_TEXT_SUB) != 0});
    }
  }
  info.streamsApart = FarApart(videoSpan, audioSpan);
  if (info.streamsApart) {
    // The file's length counts the gap; what plays is the longer stream.
    const double seconds = std::max(videoSpan.length, audioSpan.length);
    SetDuration(static_cast<int64_t>(seconds * 1e6), info);
  }
  report.pictureFound = videoSeen;
  report.usable = videoSeen || info.cacheKind != CacheKind::None;
  // A cache file's content is its converter's to read; any other file must
  // hold something the transcoder can use.
  if (info.cacheKind == CacheKind::None) {
    if (!videoSeen && audioTracks == 0) {
      report.error = "the file holds neither a picture nor a sound";
      report.usable = false;
    } else if (videoSeen && !report.videoSizeFound) {
      report.error = "the picture's size cannot be read";
      report.usable = false;
    }
  }
  return report;
}

}  // namespace media
