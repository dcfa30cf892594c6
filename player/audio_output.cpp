#include "player/audio_output.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/time.h>
}

#include "player/video_state.h"

namespace player {

AudioParams& AudioParams::operator=(const AudioParams& other) {
  if (this == &other) return *this;
  freq = other.freq;
  fmt = other.fmt;
  frameSize = other.frameSize;
  bytesPerSec = other.bytesPerSec;
  av_channel_layout_uninit(&layout);
  av_channel_layout_copy(&layout, &other.layout);
  return *this;
}

AudioOpener SdlAudioOpener() {
  return [](const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained) {
    return SDL_OpenAudioDevice(nullptr, 0, &wanted, obtained,
                               SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
  };
}

namespace {

// About 30 callbacks a second, never fewer than 512 samples per callback.
constexpr int kMinBufferSamples = 512;
constexpr int kMaxCallbacksPerSecond = 30;

void DefaultLayout(AVChannelLayout* layout, int channels) {
  av_channel_layout_uninit(layout);
  av_channel_layout_default(layout, channels);
}

}  // namespace

int OpenAudioDevice(const AVChannelLayout& wantedLayout, int wantedRate, SDL_AudioCallback callback,
                    void* userdata, const AudioOpener& opener, AudioParams* target,
                    SDL_AudioDeviceID* device) {
  // Fewer channels to try when the device refuses a count, by count (capped at 7).
  static const int kNextChannels[] = {0, 0, 1, 6, 2, 6, 4, 6};
  static const int kNextRates[] = {0, 44100, 48000, 96000, 192000};

  AVChannelLayout layout{};
  av_channel_layout_copy(&layout, &wantedLayout);
  int wantedChannels = layout.nb_channels;
  if (const char* env = SDL_getenv("SDL_AUDIO_CHANNELS")) {
    wantedChannels = atoi(env);
    DefaultLayout(&layout, wantedChannels);
  }
  if (layout.order != AV_CHANNEL_ORDER_NATIVE || layout.nb_channels != wantedChannels)
    DefaultLayout(&layout, wantedChannels);
  wantedChannels = layout.nb_channels;
  if (wantedRate <= 0 || wantedChannels <= 0) {
    av_log(nullptr, AV_LOG_ERROR, "Invalid sample rate or channel count!\n");
    av_channel_layout_uninit(&layout);
    return -1;
  }
  int nextRate = int(sizeof(kNextRates) / sizeof(kNextRates[0])) - 1;
  while (nextRate > 0 && kNextRates[nextRate] >= wantedRate) --nextRate;

  SDL_AudioSpec wanted{};
  wanted.freq = wantedRate;
  wanted.channels = Uint8(std::min(wantedChannels, 255));
  wanted.format = AUDIO_S16SYS;
  wanted.silence = 0;
  wanted.samples = Uint16(
      std::max(kMinBufferSamples, 2 << av_log2(unsigned(wanted.freq / kMaxCallbacksPerSecond))));
  wanted.callback = callback;
  wanted.userdata = userdata;
  SDL_AudioSpec obtained{};
  SDL_AudioDeviceID id;
  while (!(id = opener(wanted, &obtained))) {
    av_log(nullptr, AV_LOG_WARNING, "SDL_OpenAudio (%d channels, %d Hz): %s\n", wanted.channels,
           wanted.freq, SDL_GetError());
    wanted.channels = Uint8(kNextChannels[std::min(7, int(wanted.channels))]);
    if (!wanted.channels) {
      wanted.freq = kNextRates[nextRate--];
      wanted.channels = Uint8(wantedChannels);
      if (!wanted.freq) {
        av_log(nullptr, AV_LOG_ERROR, "No more combinations to try, audio open failed\n");
        av_channel_layout_uninit(&layout);
        return -1;
      }
    }
    DefaultLayout(&layout, wanted.channels);
  }
  auto refuse = [&] {
    SDL_CloseAudioDevice(id);
    av_channel_layout_uninit(&layout);
    return -1;
  };
  if (obtained.format != AUDIO_S16SYS) {
    av_log(nullptr, AV_LOG_ERROR, "SDL advised audio format %d is not supported!\n",
           obtained.format);
    return refuse();
  }
  if (obtained.channels != wanted.channels) {
    DefaultLayout(&layout, obtained.channels);
    if (layout.order != AV_CHANNEL_ORDER_NATIVE) {
      av_log(nullptr, AV_LOG_ERROR, "SDL advised channel count %d is not supported!\n",
             obtained.channels);
      return refuse();
    }
  }

  target->fmt = AV_SAMPLE_FMT_S16;
  target->freq = obtained.freq;
  av_channel_layout_uninit(&target->layout);
  av_channel_layout_copy(&target->layout, &layout);
  av_channel_layout_uninit(&layout);
  target->frameSize = av_samples_get_buffer_size(nullptr, target->channels(), 1, target->fmt, 1);
  target->bytesPerSec =
      av_samples_get_buffer_size(nullptr, target->channels(), target->freq, target->fmt, 1);
  if (target->frameSize <= 0 || target->bytesPerSec <= 0) {
    av_log(nullptr, AV_LOG_ERROR, "av_samples_get_buffer_size failed\n");
    SDL_CloseAudioDevice(id);
    return -1;
  }
  *device = id;
  return int(obtained.size);
}

void MixAtVolume(uint8_t* dst, const uint8_t* src, int len, int volume) {
  if (src && volume == kFullVolume) {
    memcpy(dst, src, size_t(len));
    return;
  }
  memset(dst, 0, size_t(len));
  if (src) SDL_MixAudioFormat(dst, src, AUDIO_S16SYS, Uint32(len), volume);
}

namespace {

void UpdateSampleDisplay(VideoState* is, const int16_t* samples, int bytes) {
  std::lock_guard<std::mutex> lock(is->sampleArrayMutex);
  int count = bytes / int(sizeof(int16_t));
  while (count > 0) {
    int len = std::min(kSampleArraySize - is->sampleArrayIndex, count);
    memcpy(&is->sampleArray[is->sampleArrayIndex], samples, size_t(len) * sizeof(int16_t));
    samples += len;
    is->sampleArrayIndex += len;
    if (is->sampleArrayIndex >= kSampleArraySize) is->sampleArrayIndex = 0;
    count -= len;
  }
}

// Decodes the next sound frame into the form the device takes; the bytes are
// at is->audioBuf. Negative when there is nothing to play now.
int DecodeAudioBuffer(VideoState* is) {
  if (is->paused) return -1;
  FrameSlot* af;
  do {
    // Wait a little for the decoder, but never longer than half a device
    // buffer: better a short silence than a stall.
    while (is->sampq.Remaining() == 0) {
      if (av_gettime_relative() - is->audioCallbackTime >
          int64_t(1000000) * is->audioHwBufSize / is->audioTgt.bytesPerSec / 2)
        return -1;
      av_usleep(1000);
    }
    af = is->sampq.PeekReadable();
    if (!af) return -1;
    is->sampq.Next();
  } while (af->serial != is->audioq.serial());

  AVFrame* frame = af->frame;
  const AVSampleFormat format = AVSampleFormat(frame->format);
  const int channels = frame->ch_layout.nb_channels;
  const int dataSize = av_samples_get_buffer_size(nullptr, channels, frame->nb_samples, format, 1);

  AVChannelLayout sourceLayout{};
  if (frame->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && frame->ch_layout.nb_channels == channels)
    av_channel_layout_copy(&sourceLayout, &frame->ch_layout);
  else
    av_channel_layout_default(&sourceLayout, channels);

  if (format != is->audioSrc.fmt ||
      av_channel_layout_compare(&sourceLayout, &is->audioSrc.layout) ||
      frame->sample_rate != is->audioSrc.freq) {
    swr_free(&is->swrCtx);
    int ret =
        swr_alloc_set_opts2(&is->swrCtx, &is->audioTgt.layout, is->audioTgt.fmt, is->audioTgt.freq,
                            &sourceLayout, format, frame->sample_rate, 0, nullptr);
    if (ret < 0 || swr_init(is->swrCtx) < 0) {
      char from[64] = "", to[64] = "";
      av_channel_layout_describe(&sourceLayout, from, sizeof(from));
      av_channel_layout_describe(&is->audioTgt.layout, to, sizeof(to));
      av_log(nullptr, AV_LOG_ERROR,
             "Cannot create sample rate converter for conversion of %d Hz %s %d channels to %d "
             "Hz %s %d channels!\n",
             frame->sample_rate, av_get_sample_fmt_name(format), channels, is->audioTgt.freq,
             av_get_sample_fmt_name(is->audioTgt.fmt), is->audioTgt.channels());
      swr_free(&is->swrCtx);
      av_channel_layout_uninit(&sourceLayout);
      return -1;
    }
    av_channel_layout_uninit(&is->audioSrc.layout);
    av_channel_layout_copy(&is->audioSrc.layout, &sourceLayout);
    is->audioSrc.freq = frame->sample_rate;
    is->audioSrc.fmt = format;
  }
  av_channel_layout_uninit(&sourceLayout);

  // Sound is the master clock whenever there is sound, so the sample count is
  // never corrected: the resampler only converts.
  int size;
  if (is->swrCtx) {
    const int outCount =
        int(int64_t(frame->nb_samples) * is->audioTgt.freq / frame->sample_rate + 256);
    const int outSize =
        av_samples_get_buffer_size(nullptr, is->audioTgt.channels(), outCount, is->audioTgt.fmt, 0);
    if (outSize < 0) {
      av_log(nullptr, AV_LOG_ERROR, "av_samples_get_buffer_size() failed\n");
      return -1;
    }
    av_fast_malloc(&is->audioBuf1, &is->audioBuf1Size, size_t(outSize));
    if (!is->audioBuf1) return AVERROR(ENOMEM);
    int converted =
        swr_convert(is->swrCtx, &is->audioBuf1, outCount,
                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (converted < 0) {
      av_log(nullptr, AV_LOG_ERROR, "swr_convert() failed\n");
      return -1;
    }
    if (converted == outCount) {
      av_log(nullptr, AV_LOG_WARNING, "audio buffer is probably too small\n");
      if (swr_init(is->swrCtx) < 0) swr_free(&is->swrCtx);
    }
    is->audioBuf = is->audioBuf1;
    size = converted * is->audioTgt.channels() * av_get_bytes_per_sample(is->audioTgt.fmt);
  } else {
    is->audioBuf = frame->data[0];
    size = dataSize;
  }

  is->audioClock =
      std::isnan(af->pts) ? NAN : af->pts + double(frame->nb_samples) / frame->sample_rate;
  is->audioClockSerial = af->serial;
  return size;
}

}  // namespace

void AudioCallback(void* opaque, Uint8* stream, int len) {
  VideoState* is = static_cast<VideoState*>(opaque);
  const int64_t callbackTime = av_gettime_relative();
  is->audioCallbackTime = callbackTime;
  const int volume = std::clamp(is->control.outputVolume.load(), 0, kFullVolume);

  while (len > 0) {
    if (is->audioBufIndex >= is->audioBufSize) {
      int size = DecodeAudioBuffer(is);
      if (size < 0) {
        is->audioBuf = nullptr;
        is->audioBufSize = kMinBufferSamples / is->audioTgt.frameSize * is->audioTgt.frameSize;
      } else {
        if (ShowsSound(is->showMode))
          UpdateSampleDisplay(is, reinterpret_cast<const int16_t*>(is->audioBuf), size);
        is->audioBufSize = size;
      }
      is->audioBufIndex = 0;
    }
    int chunk = std::min(is->audioBufSize - is->audioBufIndex, len);
    MixAtVolume(stream, is->audioBuf ? is->audioBuf + is->audioBufIndex : nullptr, chunk, volume);
    len -= chunk;
    stream += chunk;
    is->audioBufIndex += chunk;
  }
  const int unplayed = is->audioBufSize - is->audioBufIndex;
  is->audioWriteBufSize = unplayed;
  // What the device still holds (two buffers) and what is left of ours has
  // not been heard yet.
  if (!std::isnan(is->audioClock)) {
    is->audclk.SetAt(
        is->audioClock - double(2 * is->audioHwBufSize + unplayed) / is->audioTgt.bytesPerSec,
        is->audioClockSerial, callbackTime / 1000000.0);
    is->extclk.Follow(is->audclk);
  }
}

}  // namespace player
