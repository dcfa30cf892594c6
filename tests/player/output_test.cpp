// The audio device's fallback order, the volume stage and where a picture goes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "player/audio_output.h"
#include "player/player_control.h"
#include "player/video_output.h"

namespace player {
namespace {

struct Attempt {
  int channels, freq, samples;
  bool operator==(const Attempt& o) const {
    return channels == o.channels && freq == o.freq && samples == o.samples;
  }
};

std::ostream& operator<<(std::ostream& out, const Attempt& a) {
  return out << a.channels << "ch@" << a.freq << "/" << a.samples;
}

// A device that takes only what accept() allows, and then answers with
// answerChannels channels (0: as asked).
AudioOpener RecordingOpener(std::vector<Attempt>* attempts,
                            std::function<bool(const SDL_AudioSpec&)> accept,
                            int answerChannels = 0) {
  return [=](const SDL_AudioSpec& wanted, SDL_AudioSpec* obtained) -> SDL_AudioDeviceID {
    attempts->push_back({wanted.channels, wanted.freq, wanted.samples});
    if (!accept(wanted)) return 0;
    *obtained = wanted;
    if (answerChannels) obtained->channels = Uint8(answerChannels);
    obtained->size = obtained->samples * obtained->channels * 2u;
    return 42;
  };
}

class AudioDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("SDL_AUDIO_CHANNELS"); }
  int Open(int channels, int rate, const AudioOpener& opener) {
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    int size = OpenAudioDevice(layout, rate, nullptr, nullptr, opener, &target, &device);
    av_channel_layout_uninit(&layout);
    return size;
  }
  AudioParams target;
  SDL_AudioDeviceID device = 0;
};

TEST_F(AudioDeviceTest, RefusingDeviceIsTriedWithFewerChannelsThenLowerRates) {
  std::vector<Attempt> attempts;
  EXPECT_EQ(Open(6, 48000, RecordingOpener(&attempts, [](auto&) { return false; })), -1);
  const std::vector<Attempt> expected = {
      {6, 48000, 2048}, {4, 48000, 2048}, {2, 48000, 2048}, {1, 48000, 2048},
      {6, 44100, 2048}, {4, 44100, 2048}, {2, 44100, 2048}, {1, 44100, 2048},
  };
  EXPECT_EQ(attempts, expected);
  EXPECT_EQ(device, 0u);
}

TEST_F(AudioDeviceTest, OpensWithWhatTheDeviceTakes) {
  struct Case {
    int channels, rate;
    std::function<bool(const SDL_AudioSpec&)> accept;
    int answerChannels;
    int attempts, gotChannels, gotRate, samples;
  };
  const Case cases[] = {
      // A stereo-only device that changes the count itself.
      {6, 48000, [](auto&) { return true; }, 2, 1, 2, 48000, 2048},
      // One that refuses more than two channels: 6 -> 4 -> 2.
      {6, 48000, [](auto& s) { return s.channels <= 2; }, 0, 3, 2, 48000, 2048},
      // One that takes only 44.1 kHz mono: 2 -> 1 at 96 kHz, then 48 and 44.1 kHz.
      {2, 96000, [](auto& s) { return s.freq == 44100 && s.channels == 1; }, 0, 6, 1, 44100, 4096},
      // Small rates still get 512 samples.
      {1, 8000, [](auto&) { return true; }, 0, 1, 1, 8000, 512},
  };
  for (const Case& c : cases) {
    std::vector<Attempt> attempts;
    int size = Open(c.channels, c.rate, RecordingOpener(&attempts, c.accept, c.answerChannels));
    SCOPED_TRACE(::testing::Message() << c.channels << "ch@" << c.rate);
    EXPECT_EQ(int(attempts.size()), c.attempts);
    EXPECT_EQ(target.channels(), c.gotChannels);
    EXPECT_EQ(target.layout.order, AV_CHANNEL_ORDER_NATIVE);
    EXPECT_EQ(target.freq, c.gotRate);
    EXPECT_EQ(target.fmt, AV_SAMPLE_FMT_S16);
    EXPECT_EQ(target.frameSize, 2 * c.gotChannels);
    EXPECT_EQ(target.bytesPerSec, 2 * c.gotChannels * c.gotRate);
    EXPECT_EQ(attempts.back().samples, c.samples);
    EXPECT_EQ(size, c.samples * 2 * c.gotChannels);
    EXPECT_EQ(device, 42u);
  }
}

TEST_F(AudioDeviceTest, ChannelCountFromTheEnvironment) {
  setenv("SDL_AUDIO_CHANNELS", "1", 1);
  std::vector<Attempt> attempts;
  Open(6, 48000, RecordingOpener(&attempts, [](auto&) { return true; }));
  unsetenv("SDL_AUDIO_CHANNELS");
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_EQ(attempts[0].channels, 1);
  EXPECT_EQ(target.channels(), 1);
}

TEST(MixAtVolume, FullVolumeCopiesZeroIsSilentAndBetweenScales) {
  std::vector<int16_t> source = {1000, -1000, 32767, -32768, 12345, -2};
  const int bytes = int(source.size() * sizeof(int16_t));
  const uint8_t* src = reinterpret_cast<const uint8_t*>(source.data());
  std::vector<int16_t> out(source.size(), 77);
  uint8_t* dst = reinterpret_cast<uint8_t*>(out.data());

  MixAtVolume(dst, src, bytes, kFullVolume);
  EXPECT_EQ(out, source);
  MixAtVolume(dst, src, bytes, 0);
  EXPECT_EQ(out, std::vector<int16_t>(source.size(), 0));
  std::fill(out.begin(), out.end(), 77);
  MixAtVolume(dst, nullptr, bytes, kFullVolume);  // nothing decoded: silence
  EXPECT_EQ(out, std::vector<int16_t>(source.size(), 0));
  MixAtVolume(dst, src, bytes, kFullVolume / 2);
  for (size_t i = 0; i < source.size(); ++i) EXPECT_NEAR(out[i], source[i] / 2, 2) << i;
}

TEST(DisplayRect, LetterboxesCentredWithEvenSizes) {
  struct Case {
    int areaW, areaH, w, h;
    AVRational sar;
    SDL_Rect expected;
  };
  const Case cases[] = {
      {480, 240, 320, 240, {1, 1}, {80, 0, 320, 240}},       // pillarbox
      {320, 480, 320, 240, {0, 1}, {0, 120, 320, 240}},      // letterbox, unknown ratio is square
      {1280, 576, 720, 576, {64, 45}, {128, 0, 1024, 576}},  // anamorphic 16:9
      {101, 101, 100, 100, {1, 1}, {0, 0, 100, 101}},        // width made even
      {100, 100, 1, 10000, {1, 1}, {50, 0, 1, 100}},         // never narrower than 1 pixel
      {100, 100, 10000, 1, {1, 1}, {0, 50, 100, 1}},
  };
  for (const Case& c : cases) {
    SDL_Rect r = DisplayRect(10, 20, c.areaW, c.areaH, c.w, c.h, c.sar);
    EXPECT_EQ(r.x, 10 + c.expected.x) << c.w << "x" << c.h << " in " << c.areaW << "x" << c.areaH;
    EXPECT_EQ(r.y, 20 + c.expected.y) << c.w << "x" << c.h;
    EXPECT_EQ(r.w, c.expected.w) << c.w << "x" << c.h;
    EXPECT_EQ(r.h, c.expected.h) << c.w << "x" << c.h;
  }
}

// A phone's portrait clip: stored 1920x1080, shown turned a quarter.
TEST(DisplayRect, ATurnedPictureIsPlacedUprightAndItsTextureTurnedIntoThatPlace) {
  struct Case {
    int turn;
    AVRational sar;
    int shownW, shownH;
    AVRational shownSar;
    SDL_Rect place, texture;  // in a 1000x1000 area
  };
  const Case cases[] = {
      {0, {1, 1}, 1920, 1080, {1, 1}, {0, 219, 1000, 562}, {0, 219, 1000, 562}},
      {180, {1, 1}, 1920, 1080, {1, 1}, {0, 219, 1000, 562}, {0, 219, 1000, 562}},
      {90, {1, 1}, 1080, 1920, {1, 1}, {219, 0, 562, 1000}, {0, 219, 1000, 562}},
      // Wide pixels stand tall once turned.
      {270, {4, 3}, 1080, 1920, {3, 4}, {289, 0, 422, 1000}, {0, 289, 1000, 422}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.turn);
    const ShownPicture shown = TurnedPicture(1920, 1080, c.sar, c.turn);
    EXPECT_EQ(shown.width, c.shownW);
    EXPECT_EQ(shown.height, c.shownH);
    EXPECT_EQ(av_cmp_q(shown.sar, c.shownSar), 0);
    const SDL_Rect place = DisplayRect(0, 0, 1000, 1000, shown.width, shown.height, shown.sar);
    EXPECT_EQ(place.x, c.place.x);
    EXPECT_EQ(place.y, c.place.y);
    EXPECT_EQ(place.w, c.place.w);
    EXPECT_EQ(place.h, c.place.h);
    const SDL_Rect texture = TextureRect(place, c.turn);
    EXPECT_EQ(texture.x, c.texture.x);
    EXPECT_EQ(texture.y, c.texture.y);
    EXPECT_EQ(texture.w, c.texture.w);
    EXPECT_EQ(texture.h, c.texture.h);
  }
}

}  // namespace
}  // namespace player
