// The sound side of the player: the SDL device with its fallbacks, the format
// the device takes, and the volume stage.
#pragma once

#include <SDL.h>

#include <functional>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace player {

struct AudioParams {
  int freq = 0;
  AVChannelLayout layout{};
  AVSampleFormat fmt = AV_SAMPLE_FMT_NONE;
  int frameSize = 0;  // bytes of one sample in all channels
  int bytesPerSec = 0;

  AudioParams() = default;
  AudioParams(const AudioParams& other) { *this = other; }
  AudioParams& operator=(const AudioParams& other);
  ~AudioParams() { av_channel_layout_uninit(&layout); }
  int channels() const { return layout.nb_channels; }
};

// Opens a device for the wanted format; returns its id (0 when refused) and
// the format the device chose.
using AudioOpener =
    std::function<SDL_AudioDeviceID(const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained)>;

// SDL's default device, which may change the rate and the channel count.
AudioOpener SdlAudioOpener();

// Opens the device for the wanted layout and rate, trying fewer channels and
// then lower rates when it refuses. Fills *target with what the device takes
// (16-bit samples) and returns SDL's buffer size in bytes, or -1.
int OpenAudioDevice(const AVChannelLayout& wantedLayout, int wantedRate, SDL_AudioCallback callback,
                    void* userdata, const AudioOpener& opener, AudioParams* target,
                    SDL_AudioDeviceID* device);

// Copies len bytes of 16-bit samples to dst at volume (0 to 128). 128 copies
// them as they are; without src, dst gets silence.
void MixAtVolume(uint8_t* dst, const uint8_t* src, int len, int volume);

// SDL's callback; opaque is the run's VideoState.
void AudioCallback(void* opaque, Uint8* stream, int len);

}  // namespace player
