#include "engine/output_check.h"

#include <algorithm>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "media/source_open.h"

namespace engine {
namespace {

// Opens and reads the stream headers; null when the file is not media.
AVFormatContext* Open(const std::string& path) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), nullptr, nullptr) < 0) return nullptr;
  if (avformat_find_stream_info(ctx, nullptr) < 0) {
    avformat_close_input(&ctx);
    return nullptr;
  }
  return ctx;
}

double SecondsOf(const AVFormatContext* ctx) {
  if (ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0)
    return static_cast<double>(ctx->duration) / AV_TIME_BASE;
  double longest = 0;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
      longest = std::max(longest, static_cast<double>(st->duration) * av_q2d(st->time_base));
  }
  return longest;
}

}  // namespace

bool OutputHasStreams(const std::string& path) {
  AVFormatContext* ctx = Open(path);
  if (!ctx) return false;
  bool any = ctx->nb_streams > 0;
  avformat_close_input(&ctx);
  return any;
}

std::string OutputFault(const std::string& path, bool needsPicture) {
  AVFormatContext* ctx = Open(path);
  if (!ctx || ctx->nb_streams == 0) {
    if (ctx) avformat_close_input(&ctx);
    return "the output holds no picture or sound";
  }
  bool picture = !needsPicture;
  std::vector<bool> isPicture(ctx->nb_streams, false);
  bool anyPictureStream = false;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    isPicture[i] = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                   !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
    anyPictureStream = anyPictureStream || isPicture[i];
  }
  // A frame of the picture: the muxer interleaves, so in a good file one
  // comes early; an empty picture stream is read to the end.
  AVPacket* packet = anyPictureStream && !picture ? av_packet_alloc() : nullptr;
  while (packet && !picture && av_read_frame(ctx, packet) >= 0) {
    picture = packet->stream_index >= 0 &&
              static_cast<unsigned>(packet->stream_index) < ctx->nb_streams &&
              isPicture[packet->stream_index] && packet->size > 0;
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&ctx);
  if (picture) return {};
  return "the output holds no picture: no frame of the source's video could be converted";
}

double MediaSeconds(const std::string& path) {
  AVFormatContext* ctx = Open(path);
  if (!ctx) return 0;
  double seconds = SecondsOf(ctx);
  avformat_close_input(&ctx);
  return seconds;
}

PartFormat ProbePartFormat(const std::string& path) {
  PartFormat f;
  AVFormatContext* ctx = nullptr;
  std::string error;
  if (media::OpenSourceFile(path, &ctx, nullptr, &error) < 0) return f;
  if (avformat_find_stream_info(ctx, nullptr) < 0) {
    avformat_close_input(&ctx);
    return f;
  }
  f.ok = true;
  const AVDictionaryEntry* tag = nullptr;
  while ((tag = av_dict_get(ctx->metadata, "", tag, AV_DICT_IGNORE_SUFFIX)))
    f.tags.emplace_back(tag->key, tag->value);
  f.seconds = SecondsOf(ctx);
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO && f.videoCodec.empty() &&
        !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      f.videoCodec = avcodec_get_name(par->codec_id);
      if (const AVCodec* enc = avcodec_find_encoder(par->codec_id)) f.videoEncoder = enc->name;
      f.width = par->width;
      f.height = par->height;
      if (const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format)))
        f.pixelFormat = name;
      f.frameRateNum = st->avg_frame_rate.num;
      f.frameRateDen = st->avg_frame_rate.den;
      f.videoBitRate = par->bit_rate;
      if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        f.videoSeconds = static_cast<double>(st->duration) * av_q2d(st->time_base);
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && f.audioCodec.empty()) {
      f.audioCodec = avcodec_get_name(par->codec_id);
      f.sampleRate = par->sample_rate;
      f.channels = par->ch_layout.nb_channels;
    }
  }
  avformat_close_input(&ctx);
  return f;
}

bool SameFormat(const PartFormat& a, const PartFormat& b) {
  // Frame rates compare as fractions: 30/1 and 60/2 are the same rate.
  long long rateA = static_cast<long long>(a.frameRateNum) * b.frameRateDen;
  long long rateB = static_cast<long long>(b.frameRateNum) * a.frameRateDen;
  return a.ok && b.ok && a.videoCodec == b.videoCodec && a.pixelFormat == b.pixelFormat &&
         a.width == b.width && a.height == b.height && rateA == rateB && a.audioCodec == b.audioCodec &&
         a.sampleRate == b.sampleRate && a.channels == b.channels;
}

}  // namespace engine
