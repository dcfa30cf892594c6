// The decoder threads: packets from a fifo through the codec into a ring.
#include <pthread.h>

#include <climits>
#include <cmath>
#include <string>
#include <system_error>

extern "C" {
#include <libavutil/time.h>
}

#include "platform/thread_signal_stack.h"
#include "player/video_output.h"
#include "player/video_state.h"

namespace player {

void NameThisThread(const char* name) {
  char shortName[16];  // the kernel keeps 15 characters
  snprintf(shortName, sizeof(shortName), "%s", name);
  pthread_setname_np(pthread_self(), shortName);
}

void DecoderInit(StreamDecoder* d, AVCodecContext* avctx, PacketFifo* fifo, WakeCondition* wake) {
  d->packet = av_packet_alloc();
  d->avctx = avctx;
  d->fifo = fifo;
  d->emptyQueueCond = wake;
  d->startPts = AV_NOPTS_VALUE;
  d->packetSerial = -1;
  d->packetPending = false;
  d->finished = -1;
  d->framesDecoded = 0;
  d->errors = 0;
  d->lastError = 0;
}

int DecoderStart(StreamDecoder* d, void (*body)(VideoState*), const char* name, VideoState* is) {
  d->fifo->Start();
  try {
    d->thread = std::thread([=] {
      platform::ThreadSignalStack signalStack;
      NameThisThread(name);
      body(is);
    });
  } catch (const std::system_error& e) {
    av_log(nullptr, AV_LOG_ERROR, "Cannot start the %s thread: %s\n", name, e.what());
    return AVERROR(ENOMEM);
  }
  return 0;
}

void DecoderAbort(StreamDecoder* d, FrameRing* ring) {
  d->fifo->Abort();
  ring->Signal();
  if (d->thread.joinable()) d->thread.join();
  d->fifo->Flush();
}

void DecoderDestroy(StreamDecoder* d) {
  av_packet_free(&d->packet);
  avcodec_free_context(&d->avctx);
}

namespace {

// Takes the next packet of the fifo's current serial into d->packet (or keeps
// the pending one). False when the fifo was aborted.
bool NextPacket(StreamDecoder* d) {
  for (;;) {
    if (d->fifo->count() == 0) d->emptyQueueCond->Signal();
    bool isFlush = false;
    if (d->packetPending) {
      d->packetPending = false;
    } else if (d->fifo->Get(d->packet, true, &d->packetSerial, &isFlush) < 0) {
      return false;
    }
    if (d->fifo->serial() != d->packetSerial) {
      av_packet_unref(d->packet);
      continue;
    }
    if (!isFlush) return true;
    // A new serial starts here: forget everything the codec still holds.
    avcodec_flush_buffers(d->avctx);
    d->nextPts = d->startPts;
    d->nextPtsTb = d->startPtsTb;
  }
}

// 1: a frame or subtitle, 0: end of stream, -1: the fifo was aborted.
int DecodeItem(StreamDecoder* d, AVFrame* frame, AVSubtitle* sub) {
  const AVMediaType type = d->avctx->codec_type;
  for (;;) {
    if (type != AVMEDIA_TYPE_SUBTITLE && d->fifo->serial() == d->packetSerial) {
      for (;;) {
        if (d->fifo->aborted()) return -1;
        int ret = avcodec_receive_frame(d->avctx, frame);
        if (ret >= 0) {
          ++d->framesDecoded;
          if (type == AVMEDIA_TYPE_VIDEO) {
            frame->pts = frame->best_effort_timestamp;
          } else {
            AVRational tb{1, frame->sample_rate};
            if (frame->pts != AV_NOPTS_VALUE)
              frame->pts = av_rescale_q(frame->pts, d->avctx->pkt_timebase, tb);
            else if (d->nextPts != AV_NOPTS_VALUE)
              frame->pts = av_rescale_q(d->nextPts, d->nextPtsTb, tb);
            if (frame->pts != AV_NOPTS_VALUE) {
              d->nextPts = frame->pts + frame->nb_samples;
              d->nextPtsTb = tb;
            }
          }
          return 1;
        }
        if (ret == AVERROR_EOF) {  // drained: ready for what comes after a seek
          avcodec_flush_buffers(d->avctx);
          return 0;
        }
        if (ret == AVERROR(EAGAIN)) break;
        // Any other error: this frame is lost, try the next.
        ++d->errors;
        d->lastError = ret;
      }
    }

    if (!NextPacket(d)) return -1;

    if (type == AVMEDIA_TYPE_SUBTITLE) {
      int got = 0;
      int ret = avcodec_decode_subtitle2(d->avctx, sub, &got, d->packet);
      const bool drain = !d->packet->data;
      if (ret >= 0 && got && drain) {
        d->packetPending = true;  // more may come out of the drain
      } else {
        av_packet_unref(d->packet);
      }
      if (ret >= 0 && got) return 1;
      if (ret >= 0 && drain) return 0;
    } else if (int ret = avcodec_send_packet(d->avctx, d->packet); ret == AVERROR(EAGAIN)) {
      av_log(d->avctx, AV_LOG_ERROR,
             "Receive_frame and send_packet both returned EAGAIN, which is an API violation.\n");
      d->packetPending = true;
    } else {
      if (ret < 0 && ret != AVERROR_EOF) {
        ++d->errors;
        d->lastError = ret;
      }
      av_packet_unref(d->packet);
    }
  }
}

// The header's picture size, when it is one no picture can have.
bool InvalidHeaderSize(const VideoState* is, int streamIndex, std::string* text) {
  if (streamIndex < 0 || size_t(streamIndex) >= is->headerPictureSizes.size()) return false;
  const auto [w, h] = is->headerPictureSizes[size_t(streamIndex)];
  if (w <= 0 || h <= 0) return false;  // not told: nothing to say about it
  if ((int64_t(w) + 128) * (int64_t(h) + 128) < INT_MAX / 8) return false;
  *text = "picture size " + std::to_string(w) + "x" + std::to_string(h) + " is invalid";
  return true;
}

// At the end of the stream: a decoder that gave errors and never a frame
// shows or sounds nothing, however long the player waits.
void CheckDecodedAnything(VideoState* is, StreamDecoder* d, bool picture, int streamIndex) {
  d->finished = d->packetSerial;
  if (d->framesDecoded > 0 || d->errors == 0) return;
  std::string detail;
  if (!picture || !InvalidHeaderSize(is, streamIndex, &detail)) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(d->lastError, text, sizeof text);
    detail = text;
  }
  FailPlaying(is, std::string("cannot decode the ") + (picture ? "picture" : "sound") + " of " +
                      is->filename + ": " + detail);
}

}  // namespace

void AudioThread(VideoState* is) {
  AVFrame* frame = av_frame_alloc();
  for (;;) {
    int got = DecodeItem(&is->auddec, frame, nullptr);
    if (got < 0) break;
    if (got == 0) {
      CheckDecodedAnything(is, &is->auddec, false, is->audioStreamIndex);
      continue;
    }
    FrameSlot* slot = is->sampq.PeekWritable();
    if (!slot) break;
    AVRational tb{1, frame->sample_rate};
    slot->pts = frame->pts == AV_NOPTS_VALUE ? NAN : frame->pts * av_q2d(tb);
    slot->pos = frame->pkt_pos;
    slot->serial = is->auddec.packetSerial;
    slot->duration = double(frame->nb_samples) / frame->sample_rate;
    av_frame_move_ref(slot->frame, frame);
    is->sampq.Push();
  }
  av_frame_free(&frame);
}

void VideoThread(VideoState* is) {
  AVFrame* frame = av_frame_alloc();
  const AVRational tb = is->videoTimeBase;
  const AVRational frameRate = is->videoFrameRate;
  for (;;) {
    int got = DecodeItem(&is->viddec, frame, nullptr);
    if (got < 0) break;
    if (got == 0) {
      // A cover picture that cannot be decoded leaves the sound playing.
      if (is->videoIsAttachedPic) is->viddec.finished = is->viddec.packetSerial;
      else CheckDecodedAnything(is, &is->viddec, true, is->videoStreamIndex);
      continue;
    }
    const double pts = frame->pts == AV_NOPTS_VALUE ? NAN : av_q2d(tb) * frame->pts;
    if (is->videoStreamSar.num > 0) frame->sample_aspect_ratio = is->videoStreamSar;

    // Too late already (behind the master clock while more packets wait):
    // drop it before it costs a picture conversion.
    if (frame->pts != AV_NOPTS_VALUE) {
      const double diff = pts - MasterClock(*is);
      if (!std::isnan(diff) && std::fabs(diff) < kNoSyncThreshold && diff < 0 &&
          is->viddec.packetSerial == is->vidclk.serial() && is->videoq.count() > 0) {
        ++is->stats.framesDroppedEarly;
        av_frame_unref(frame);
        continue;
      }
    }

    FrameSlot* slot = is->pictq.PeekWritable();
    if (!slot) break;
    slot->sar = frame->sample_aspect_ratio;
    slot->turn = is->videoTurn;
    slot->uploaded = false;
    slot->width = frame->width;
    slot->height = frame->height;
    slot->format = frame->format;
    slot->pts = pts;
    slot->duration = frameRate.num && frameRate.den ? av_q2d({frameRate.den, frameRate.num}) : 0;
    slot->pos = frame->pkt_pos;
    slot->serial = is->viddec.packetSerial;
    const ShownPicture shown =
        TurnedPicture(frame->width, frame->height, frame->sample_aspect_ratio, slot->turn);
    SetDefaultPictureSize(is, shown.width, shown.height, shown.sar);
    av_frame_move_ref(slot->frame, frame);
    is->pictq.Push();
  }
  av_frame_free(&frame);
}

void SubtitleThread(VideoState* is) {
  for (;;) {
    FrameSlot* slot = is->subpq.PeekWritable();
    if (!slot) break;
    int got = DecodeItem(&is->subdec, nullptr, &slot->sub);
    if (got < 0) break;
    if (got == 0) continue;
    if (slot->sub.format == 0) {  // graphic; text subtitles are not drawn
      slot->hasSub = true;
      slot->pts = slot->sub.pts != AV_NOPTS_VALUE ? slot->sub.pts / double(AV_TIME_BASE) : 0;
      slot->serial = is->subdec.packetSerial;
      slot->width = is->subdec.avctx->width;
      slot->height = is->subdec.avctx->height;
      slot->uploaded = false;
      is->subpq.Push();
    } else {
      avsubtitle_free(&slot->sub);
    }
  }
}

}  // namespace player
