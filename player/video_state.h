// The state of one player run, shared by the player thread, the read thread,
// the decoder threads and the audio callback. Internal to the player.
#pragma once

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "player/audio_output.h"
#include "player/frame_ring.h"
#include "player/packet_fifo.h"
#include "player/player_control.h"
#include "player/sync_clock.h"

namespace player {

// Wakes the read thread early: decoders whose fifo ran dry, seek requests.
struct WakeCondition {
  std::mutex mutex;
  std::condition_variable cond;
  void Signal() {
    std::lock_guard<std::mutex> lock(mutex);
    cond.notify_one();
  }
};

// One stream's codec and the thread that feeds it packets.
struct StreamDecoder {
  AVCodecContext* avctx = nullptr;
  PacketFifo* fifo = nullptr;
  WakeCondition* emptyQueueCond = nullptr;
  AVPacket* packet = nullptr;
  bool packetPending = false;
  int packetSerial = -1;
  int64_t startPts = AV_NOPTS_VALUE;
  AVRational startPtsTb{0, 1};
  int64_t nextPts = AV_NOPTS_VALUE;
  AVRational nextPtsTb{0, 1};
  std::thread thread;
  // The fifo serial whose end the decoder reached (drained); -1 before any.
  std::atomic<int> finished{-1};
  // What came out of the codec so far (decoder thread only).
  int64_t framesDecoded = 0;
  int64_t errors = 0;
  int lastError = 0;
};

constexpr int kSampleArraySize = 8 * 65536;

struct VideoState {
  VideoState(const std::string& name, SDL_Window* window, SDL_Renderer* renderer,
             PlayerControl& control, PlayerStats& stats);
  ~VideoState();

  // Output, owned by the player thread.
  SDL_Window* window;
  SDL_Renderer* renderer;
  // The picture area's size before the first display (from the stream or the
  // decoded frames) and the last resize of the window.
  std::atomic<int> defaultWidth{640};
  std::atomic<int> defaultHeight{480};
  std::atomic<int> screenWidth{0};
  std::atomic<int> screenHeight{0};

  // The host's handle: its commands, and what the player reports to it.
  PlayerControl& control;
  PlayerStats& stats;
  // Why the file cannot be played; written through FailPlaying before
  // stats.openFailed is set, read once every thread is joined.
  std::mutex openErrorMutex;
  std::string openError;
  // The size of each stream's picture as the file's header gives it, before
  // the codec had its say (read thread, before the decoders start).
  std::vector<std::pair<int, int>> headerPictureSizes;

  // Control.
  std::thread readThread;
  std::atomic<bool> abortRequest{false};
  bool forceRefresh = false;
  std::atomic<bool> paused{false};
  bool lastPaused = false;  // read thread
  std::atomic<bool> readPauseUnsupported{false};
  std::atomic<bool> seekRequest{false};
  std::atomic<int64_t> seekPos{0};
  std::atomic<int64_t> seekRel{0};
  std::atomic<bool> stepAfterSeek{false};  // read thread asks the player thread to step
  std::atomic<bool> queueAttachmentsRequest{false};
  std::atomic<bool> realtime{false};
  bool eof = false;  // read thread
  bool step = false;
  // The stop the player last paused at, and in which serial: a resume there
  // plays on past it (player thread).
  double stopSpentAt = -1.0;
  int stopSpentSerial = -1;
  double lastStopClock = -1.0;  // the master clock at the last look, without pictures
  AVFormatContext* ic = nullptr;  // owned by the read thread while it runs
  std::string filename;
  WakeCondition continueRead;
  std::atomic<double> maxFrameDuration{3600.0};

  // Sound.
  std::atomic<int> audioStreamIndex{-1};
  AVStream* audioSt = nullptr;
  PacketFifo audioq;
  StreamDecoder auddec;
  FrameRing sampq;
  SyncClock audclk;
  double audioClock = 0;      // audio callback
  int audioClockSerial = -1;  // audio callback
  int audioHwBufSize = 0;
  AudioParams audioSrc;
  AudioParams audioTgt;
  SDL_AudioDeviceID audioDevice = 0;
  SwrContext* swrCtx = nullptr;
  const uint8_t* audioBuf = nullptr;
  uint8_t* audioBuf1 = nullptr;
  unsigned audioBuf1Size = 0;
  int audioBufSize = 0;                   // bytes
  int audioBufIndex = 0;                  // bytes
  std::atomic<int> audioWriteBufSize{0};  // bytes of ours not yet given to the device
  std::atomic<int64_t> audioCallbackTime{0};
  // Samples for the spectrum display, written by the audio callback.
  std::mutex sampleArrayMutex;
  std::unique_ptr<int16_t[]> sampleArray;
  int sampleArrayIndex = 0;
  int lastDisplayStart = 0;
  AVTXContext* rdft = nullptr;
  av_tx_fn rdftFn = nullptr;
  int rdftBits = 0;
  float* rdftIn = nullptr;
  AVComplexFloat* rdftOut = nullptr;
  int spectrumColumn = 0;
  double lastVisTime = 0;
  SDL_Texture* visTexture = nullptr;

  // Picture.
  std::atomic<int> videoStreamIndex{-1};
  AVStream* videoSt = nullptr;
  std::atomic<bool> videoIsAttachedPic{false};
  AVRational videoTimeBase{0, 1};  // set before the decoder starts
  AVRational videoFrameRate{0, 1};
  AVRational videoStreamSar{0, 1};
  // Clockwise degrees the pictures are shown turned; set before the decoder starts.
  int videoTurn = 0;
  PacketFifo videoq;
  StreamDecoder viddec;
  FrameRing pictq;
  SyncClock vidclk;
  double frameTimer = 0;
  SDL_Texture* vidTexture = nullptr;
  SwsContext* imgConvertCtx = nullptr;

  // Subtitles.
  std::atomic<int> subtitleStreamIndex{-1};
  AVStream* subtitleSt = nullptr;
  PacketFifo subtitleq;
  StreamDecoder subdec;
  FrameRing subpq;
  SDL_Texture* subTexture = nullptr;
  SwsContext* subConvertCtx = nullptr;

  SyncClock extclk;

  // Display.
  std::atomic<int> showMode{ShowNone};
  int width = 0, height = 0, xleft = 0, ytop = 0;
};

// Threads and clocks (player.cpp, decoder.cpp, read_thread.cpp).
// Sound leads whenever there is sound; without it the external clock does.
// Pictures never lead, so late pictures may always be dropped.
bool AudioIsMaster(const VideoState& is);
double MasterClock(const VideoState& is);
void TogglePause(VideoState* is);
void ReadThread(VideoState* is);
// Opens the file for the read thread: a plain file, read through the file
// protocol by a demuxer that reads nothing beyond it (a playlist posing as a
// video is refused). interrupt ends a blocking read. Null, with the reason in
// *error, when the file cannot be opened.
AVFormatContext* OpenPlayerFile(const std::string& filename, const AVIOInterruptCB& interrupt,
                                std::string* error);
// Negative when the stream cannot be opened; *decoderError then says why when
// its codec is at fault (not when only the sound device is missing).
int StreamComponentOpen(VideoState* is, int streamIndex, std::string* decoderError = nullptr);
void StreamComponentClose(VideoState* is, int streamIndex);
void DecoderInit(StreamDecoder* d, AVCodecContext* avctx, PacketFifo* fifo, WakeCondition* wake);
int DecoderStart(StreamDecoder* d, void (*body)(VideoState*), const char* name, VideoState* is);
void DecoderAbort(StreamDecoder* d, FrameRing* ring);
void DecoderDestroy(StreamDecoder* d);
void AudioThread(VideoState* is);
void VideoThread(VideoState* is);
void SubtitleThread(VideoState* is);
void NameThisThread(const char* name);
// Ends the player: the file cannot be played, for the reason given (the first
// one given wins). Any thread may call it.
void FailPlaying(VideoState* is, const std::string& why);
// Playing pauses here by itself (player thread): at the host's stop or at the
// end of the file. Acknowledged as Paused unless the host asked something else.
void PauseByItself(VideoState* is);
// The picture and the sound have both run out (player thread).
bool ReachedEnd(VideoState* is);

}  // namespace player
