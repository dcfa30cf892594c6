// The read thread: opens the file, picks and opens the streams, then demuxes
// packets into the fifos, honouring seeks, pauses and the queue limits.
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/avstring.h>
}

#include "media/source_open.h"
#include "platform/thread_signal_stack.h"
#include "player/video_output.h"
#include "player/video_state.h"

namespace player {

namespace {

constexpr int64_t kMaxQueueBytes = 15 * 1024 * 1024;
constexpr int kMinFrames = 25;

int InterruptCallback(void* opaque) {
  return static_cast<VideoState*>(opaque)->abortRequest ? 1 : 0;
}

bool IsRealtime(const AVFormatContext* s) {
  const char* name = s->iformat->name;
  if (!strcmp(name, "rtp") || !strcmp(name, "rtsp") || !strcmp(name, "sdp")) return true;
  return s->pb && s->url && (!strncmp(s->url, "rtp:", 4) || !strncmp(s->url, "udp:", 4));
}

bool HasEnoughPackets(const AVStream* st, int index, const PacketFifo& q) {
  return index < 0 || q.aborted() || (st->disposition & AV_DISPOSITION_ATTACHED_PIC) ||
         (q.count() > kMinFrames &&
          (!q.duration() || av_q2d(st->time_base) * double(q.duration()) > 1.0));
}

void WaitForMore(VideoState* is) {
  std::unique_lock<std::mutex> lock(is->continueRead.mutex);
  is->continueRead.cond.wait_for(lock, std::chrono::milliseconds(10));
}

void Seek(VideoState* is, AVFormatContext* ic) {
  const int64_t target = is->seekPos;
  const int64_t rel = is->seekRel;
  // The window around the target: a seek forward lands at or after it.
  const int64_t minTs = rel > 0 ? target - rel + 2 : INT64_MIN;
  const int64_t maxTs = rel < 0 ? target - rel - 2 : INT64_MAX;
  if (avformat_seek_file(ic, -1, minTs, target, maxTs, 0) < 0) {
    av_log(nullptr, AV_LOG_ERROR, "%s: error while seeking\n", ic->url);
  } else {
    for (PacketFifo* q : {&is->audioq, &is->subtitleq, &is->videoq}) {
      if (q->aborted()) continue;  // stream not open
      q->Flush();
      q->PutFlushMarker();
    }
    is->extclk.Set(target / double(AV_TIME_BASE), 0);
  }
  is->seekRequest = false;
  is->queueAttachmentsRequest = true;
  is->eof = false;
  // A seek while paused shows one picture of the new place.
  if (is->paused) is->stepAfterSeek = true;
}

// Opens the input and its streams. False when nothing can be played.
bool OpenInput(VideoState* is, AVFormatContext** icOut) {
  AVIOInterruptCB interrupt{InterruptCallback, is};
  std::string error;
  AVFormatContext* ic = OpenPlayerFile(is->filename, interrupt, &error);
  if (!ic) {
    av_log(nullptr, AV_LOG_ERROR, "%s: %s\n", is->filename.c_str(), error.c_str());
    FailPlaying(is, "cannot open " + is->filename + ": " + error);
    return false;
  }
  *icOut = ic;
  is->ic = ic;
  // The codec may forget a size it refuses; the reason names it.
  for (unsigned i = 0; i < ic->nb_streams; ++i)
    is->headerPictureSizes.emplace_back(ic->streams[i]->codecpar->width,
                                        ic->streams[i]->codecpar->height);

  av_format_inject_global_side_data(ic);
  if (avformat_find_stream_info(ic, nullptr) < 0) {
    av_log(nullptr, AV_LOG_WARNING, "%s: could not find codec parameters\n", is->filename.c_str());
    FailPlaying(is, "cannot read the streams of " + is->filename);
    return false;
  }
  if (ic->pb) ic->pb->eof_reached = 0;
  is->maxFrameDuration = (ic->iformat->flags & AVFMT_TS_DISCONT) ? 10.0 : 3600.0;
  is->realtime = IsRealtime(ic);

  for (unsigned i = 0; i < ic->nb_streams; ++i) ic->streams[i]->discard = AVDISCARD_ALL;
  const int video = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int audio = av_find_best_stream(ic, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0);
  const int subtitle =
      av_find_best_stream(ic, AVMEDIA_TYPE_SUBTITLE, -1, audio >= 0 ? audio : video, nullptr, 0);
  if (video >= 0) {
    const AVStream* st = ic->streams[video];
    if (st->codecpar->width) {
      const ShownPicture shown = TurnedPicture(
          st->codecpar->width, st->codecpar->height,
          av_guess_sample_aspect_ratio(ic, ic->streams[video], nullptr), PictureTurn(st));
      SetDefaultPictureSize(is, shown.width, shown.height, shown.sar);
    }
  }
  // A picture or sound whose decoder cannot start would never show or sound:
  // the file cannot be played (a cover picture may be missing, though).
  std::string why;
  if (audio >= 0 && StreamComponentOpen(is, audio, &why) < 0 && !why.empty()) {
    FailPlaying(is, "cannot decode the sound of " + is->filename + ": " + why);
    return false;
  }
  int videoOpened = video >= 0 ? StreamComponentOpen(is, video, &why) : -1;
  if (videoOpened < 0 && !why.empty() &&
      !(ic->streams[video]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
    FailPlaying(is, "cannot decode the picture of " + is->filename + ": " + why);
    return false;
  }
  is->showMode = videoOpened >= 0 ? ShowVideo : ShowSpectrum;
  is->stats.showMode = is->showMode.load();
  if (subtitle >= 0) StreamComponentOpen(is, subtitle);

  if (is->videoStreamIndex < 0 && is->audioStreamIndex < 0) {
    av_log(nullptr, AV_LOG_FATAL, "Failed to open file '%s' or configure filtergraph\n",
           is->filename.c_str());
    FailPlaying(is, is->filename + " has no picture or sound that can be played");
    return false;
  }
  return true;
}

void ReadLoop(VideoState* is, AVFormatContext* ic) {
  const bool infiniteBuffer = is->realtime;
  AVPacket* packet = av_packet_alloc();
  if (!packet) return;
  while (!is->abortRequest) {
    if (is->paused != is->lastPaused) {
      is->lastPaused = is->paused;
      if (is->lastPaused)
        is->readPauseUnsupported = av_read_pause(ic) == AVERROR(ENOSYS);
      else
        av_read_play(ic);
    }
    if (is->seekRequest) Seek(is, ic);
    if (is->queueAttachmentsRequest) {
      if (is->videoSt && is->videoIsAttachedPic) {
        if (av_packet_ref(packet, &is->videoSt->attached_pic) >= 0) is->videoq.Put(packet);
        is->videoq.PutEmpty(is->videoStreamIndex);
      }
      is->queueAttachmentsRequest = false;
    }

    // Enough buffered: wait until a decoder runs dry, a seek comes, or 10 ms.
    if (!infiniteBuffer &&
        (is->audioq.bytes() + is->videoq.bytes() + is->subtitleq.bytes() > kMaxQueueBytes ||
         (HasEnoughPackets(is->audioSt, is->audioStreamIndex, is->audioq) &&
          HasEnoughPackets(is->videoSt, is->videoStreamIndex, is->videoq) &&
          HasEnoughPackets(is->subtitleSt, is->subtitleStreamIndex, is->subtitleq)))) {
      WaitForMore(is);
      continue;
    }
    // At the end the player holds the last picture: no loop, no exit.

    int ret = av_read_frame(ic, packet);
    if (ret < 0) {
      if ((ret == AVERROR_EOF || avio_feof(ic->pb)) && !is->eof) {
        if (is->videoStreamIndex >= 0) is->videoq.PutEmpty(is->videoStreamIndex);
        if (is->audioStreamIndex >= 0) is->audioq.PutEmpty(is->audioStreamIndex);
        if (is->subtitleStreamIndex >= 0) is->subtitleq.PutEmpty(is->subtitleStreamIndex);
        is->eof = true;
      }
      if (ic->pb && ic->pb->error) break;
      WaitForMore(is);
      continue;
    }
    is->eof = false;
    if (packet->stream_index == is->audioStreamIndex) {
      is->audioq.Put(packet);
    } else if (packet->stream_index == is->videoStreamIndex && !is->videoIsAttachedPic) {
      is->videoq.Put(packet);
    } else if (packet->stream_index == is->subtitleStreamIndex) {
      is->subtitleq.Put(packet);
    } else {
      av_packet_unref(packet);
    }
  }
  av_packet_free(&packet);
}

}  // namespace

AVFormatContext* OpenPlayerFile(const std::string& filename, const AVIOInterruptCB& interrupt,
                                std::string* error) {
  AVFormatContext* ic = avformat_alloc_context();
  if (!ic) {
    *error = "out of memory";
    return nullptr;
  }
  ic->interrupt_callback = interrupt;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "scan_all_pmts", "1", AV_DICT_DONT_OVERWRITE);
  const int err = media::OpenSourceFile(filename, &ic, &options, error);
  av_dict_free(&options);  // what is left are options one demuxer has and another lacks
  return err < 0 ? nullptr : ic;
}

void ReadThread(VideoState* is) {
  platform::ThreadSignalStack signalStack;
  NameThisThread("read_thread");
  AVFormatContext* ic = nullptr;
  // A file that cannot be played ends the player, with the reason for its host
  // (written before the flag that tells it).
  if (OpenInput(is, &ic)) ReadLoop(is, ic);
  if (ic && !is->ic) avformat_close_input(&ic);
}

void FailPlaying(VideoState* is, const std::string& why) {
  {
    std::lock_guard<std::mutex> lock(is->openErrorMutex);
    if (is->openError.empty()) is->openError = why;
  }
  is->stats.openFailed = true;
}

int StreamComponentOpen(VideoState* is, int streamIndex, std::string* decoderError) {
  AVFormatContext* ic = is->ic;
  if (streamIndex < 0 || unsigned(streamIndex) >= ic->nb_streams) return -1;
  AVStream* st = ic->streams[streamIndex];
  AVCodecContext* avctx = avcodec_alloc_context3(nullptr);
  if (!avctx) return AVERROR(ENOMEM);
  auto fail = [&](int ret) {
    avcodec_free_context(&avctx);
    return ret;
  };
  int ret = avcodec_parameters_to_context(avctx, st->codecpar);
  if (ret < 0) return fail(ret);
  avctx->pkt_timebase = st->time_base;
  const AVCodec* codec = avcodec_find_decoder(avctx->codec_id);
  if (!codec) {
    av_log(nullptr, AV_LOG_WARNING, "No decoder could be found for codec %s\n",
           avcodec_get_name(avctx->codec_id));
    if (decoderError)
      *decoderError = std::string("no decoder for ") + avcodec_get_name(avctx->codec_id);
    return fail(AVERROR(EINVAL));
  }
  avctx->codec_id = codec->id;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "threads", "auto", 0);
  ret = avcodec_open2(avctx, codec, &options);
  if (ret >= 0) {
    if (const AVDictionaryEntry* left = av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
      av_log(nullptr, AV_LOG_ERROR, "Option %s not found.\n", left->key);
      ret = AVERROR_OPTION_NOT_FOUND;
    }
  }
  av_dict_free(&options);
  if (ret < 0) {
    if (decoderError) {
      char text[AV_ERROR_MAX_STRING_SIZE] = {};
      av_strerror(ret, text, sizeof text);
      *decoderError = text;
    }
    return fail(ret);
  }

  is->eof = false;
  st->discard = AVDISCARD_DEFAULT;
  switch (avctx->codec_type) {
    case AVMEDIA_TYPE_AUDIO: {
      ret = OpenAudioDevice(avctx->ch_layout, avctx->sample_rate, AudioCallback, is,
                            SdlAudioOpener(), &is->audioTgt, &is->audioDevice);
      if (ret < 0) return fail(ret);
      is->audioHwBufSize = ret;
      is->audioSrc = is->audioTgt;
      is->audioBufSize = 0;
      is->audioBufIndex = 0;
      is->audioSt = st;
      DecoderInit(&is->auddec, avctx, &is->audioq, &is->continueRead);
      // Formats that cannot seek in any way start their sound at the stream's start.
      if ((ic->iformat->flags & (AVFMT_NOBINSEARCH | AVFMT_NOGENSEARCH | AVFMT_NO_BYTE_SEEK)) &&
          !ic->iformat->read_seek) {
        is->auddec.startPts = st->start_time;
        is->auddec.startPtsTb = st->time_base;
      }
      is->audioStreamIndex = streamIndex;
      ret = DecoderStart(&is->auddec, AudioThread, "audio_decoder", is);
      if (ret < 0) return ret;
      is->stats.audioOpen = true;
      SDL_PauseAudioDevice(is->audioDevice, 0);
      break;
    }
    case AVMEDIA_TYPE_VIDEO:
      is->videoSt = st;
      is->videoTimeBase = st->time_base;
      is->videoFrameRate = av_guess_frame_rate(ic, st, nullptr);
      is->videoStreamSar = av_guess_sample_aspect_ratio(ic, st, nullptr);
      is->videoTurn = PictureTurn(st);
      is->videoIsAttachedPic = (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
      DecoderInit(&is->viddec, avctx, &is->videoq, &is->continueRead);
      is->videoStreamIndex = streamIndex;
      ret = DecoderStart(&is->viddec, VideoThread, "video_decoder", is);
      if (ret < 0) return ret;
      is->stats.videoOpen = true;
      is->queueAttachmentsRequest = true;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      is->subtitleSt = st;
      DecoderInit(&is->subdec, avctx, &is->subtitleq, &is->continueRead);
      is->subtitleStreamIndex = streamIndex;
      ret = DecoderStart(&is->subdec, SubtitleThread, "subtitle_decoder", is);
      if (ret < 0) return ret;
      break;
    default:
      return fail(AVERROR(EINVAL));
  }
  return 0;
}

void StreamComponentClose(VideoState* is, int streamIndex) {
  AVFormatContext* ic = is->ic;
  if (streamIndex < 0 || unsigned(streamIndex) >= ic->nb_streams) return;
  switch (ic->streams[streamIndex]->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      DecoderAbort(&is->auddec, &is->sampq);
      SDL_CloseAudioDevice(is->audioDevice);
      is->audioDevice = 0;
      DecoderDestroy(&is->auddec);
      swr_free(&is->swrCtx);
      av_freep(&is->audioBuf1);
      is->audioBuf1Size = 0;
      is->audioBuf = nullptr;
      FreeSpectrum(is);
      is->audioSt = nullptr;
      is->audioStreamIndex = -1;
      break;
    case AVMEDIA_TYPE_VIDEO:
      DecoderAbort(&is->viddec, &is->pictq);
      DecoderDestroy(&is->viddec);
      is->videoSt = nullptr;
      is->videoStreamIndex = -1;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      DecoderAbort(&is->subdec, &is->subpq);
      DecoderDestroy(&is->subdec);
      is->subtitleSt = nullptr;
      is->subtitleStreamIndex = -1;
      break;
    default:
      break;
  }
  ic->streams[streamIndex]->discard = AVDISCARD_ALL;
}

}  // namespace player
