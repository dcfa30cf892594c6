#include "platform/thread_signal_stack.h"
#include "player/player.h"

#include <SDL.h>

#include <cmath>
#include <system_error>

extern "C" {
#include <libavutil/time.h>
}

#include "player/video_output.h"
#include "player/video_state.h"

namespace player {

VideoState::VideoState(const std::string& name, SDL_Window* window, SDL_Renderer* renderer,
                       PlayerControl& control, PlayerStats& stats)
    : window(window),
      renderer(renderer),
      control(control),
      stats(stats),
      filename(name),
      sampq(audioq, 9, true),
      audclk(audioq.serialPtr()),
      sampleArray(new int16_t[kSampleArraySize]()),
      pictq(videoq, 3, true),
      vidclk(videoq.serialPtr()),
      subpq(subtitleq, 16, false) {}

VideoState::~VideoState() {
  sws_freeContext(imgConvertCtx);
  sws_freeContext(subConvertCtx);
  if (vidTexture) SDL_DestroyTexture(vidTexture);
  if (subTexture) SDL_DestroyTexture(subTexture);
  if (visTexture) SDL_DestroyTexture(visTexture);
}

bool AudioIsMaster(const VideoState& is) { return is.audioStreamIndex >= 0; }

double MasterClock(const VideoState& is) {
  return AudioIsMaster(is) ? is.audclk.Get() : is.extclk.Get();
}

void TogglePause(VideoState* is) {
  if (is->paused) {
    is->frameTimer += NowSeconds() - is->vidclk.lastUpdated();
    if (!is->readPauseUnsupported) is->vidclk.SetPaused(false);
    is->vidclk.Set(is->vidclk.Get(), is->vidclk.serial());
  }
  is->extclk.Set(is->extclk.Get(), is->extclk.serial());
  const bool paused = !is->paused;
  is->paused = paused;
  is->audclk.SetPaused(paused);
  is->vidclk.SetPaused(paused);
  is->extclk.SetPaused(paused);
}

void PauseByItself(VideoState* is) {
  if (!is->paused) TogglePause(is);
  is->step = false;
  is->control.stopped = true;
  for (int seen : {int(Playing), int(NoCommand)})
    if (is->control.command.compare_exchange_strong(seen, Paused)) break;
}

bool ReachedEnd(VideoState* is) {
  const bool picture = is->videoStreamIndex >= 0 && !is->videoIsAttachedPic;
  const bool sound = is->audioStreamIndex >= 0;
  if (!picture && !sound) return false;
  if (picture && (is->viddec.finished != is->videoq.serial() || is->pictq.Remaining() > 0))
    return false;
  return !sound || (is->auddec.finished == is->audioq.serial() && is->sampq.Remaining() == 0);
}

namespace {

// Without pictures the master clock tells when the stop is reached.
void StopSoundAtStop(VideoState* is) {
  if (is->videoStreamIndex >= 0 && !is->videoIsAttachedPic) return;
  const double stop = is->control.stopAtSeconds;
  const double now = MasterClock(*is);
  if (is->paused || std::isnan(now)) return;
  if (stop >= 0 && is->lastStopClock >= 0 && is->lastStopClock < stop && now >= stop)
    PauseByItself(is);
  is->lastStopClock = now;
}

// One picture after a seek while paused; a resume in the meantime wins.
void StepToNextFrame(VideoState* is) {
  if (!is->paused) return;
  TogglePause(is);
  is->step = true;
}

void CloseStream(VideoState* is) {
  is->abortRequest = true;
  is->continueRead.Signal();
  if (is->readThread.joinable()) is->readThread.join();
  if (is->ic) {
    StreamComponentClose(is, is->audioStreamIndex);
    StreamComponentClose(is, is->videoStreamIndex);
    StreamComponentClose(is, is->subtitleStreamIndex);
    avformat_close_input(&is->ic);
  }
}

void HandleWindowEvent(VideoState* is, const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
      is->screenWidth = event.data1;
      is->screenHeight = event.data2;
      is->forceRefresh = true;
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      is->forceRefresh = true;
      break;
    default:
      break;
  }
}

// Acknowledges a command unless the host wrote a new one meanwhile.
void Acknowledge(PlayerControl& control, int seen, int next) {
  control.command.compare_exchange_strong(seen, next);
}

void HandleCommand(VideoState* is, PlayerControl& control) {
  int command = control.command;
  switch (command) {
    case PauseRequested:
    case ResumeRequested:
      // Only a change: a pause the player made itself may meet the host's own.
      if (is->paused != (command == PauseRequested)) TogglePause(is);
      is->step = false;
      control.stopped = false;
      Acknowledge(control, command, command == PauseRequested ? Paused : Playing);
      break;
    case SeekRequested:
    case SeekPlayRequested:
    case SeekPauseRequested: {
      // The read thread is still on the last seek: this one waits its turn
      // rather than being lost.
      if (is->seekRequest) break;
      int seconds = control.seekSeconds;
      // The state first: the read thread steps to one picture when paused.
      // (A step to the picture of the last seek counts as paused.)
      const bool pause = command == SeekPauseRequested ||
                         (command == SeekRequested && (is->paused || is->step));
      if (pause != is->paused) TogglePause(is);
      is->step = false;
      control.stopped = false;
      const int64_t target = int64_t(seconds) * AV_TIME_BASE;
      is->seekPos = target;
      is->seekRel = target;  // a forward window: land at or after the target
      is->seekRequest = true;
      is->continueRead.Signal();
      // A seek while paused shows the picture there and stays paused.
      int expected = command;
      if (control.command.compare_exchange_strong(expected, pause ? Paused : Playing))
        control.seekSeconds.compare_exchange_strong(seconds, 0);
      break;
    }
    default:
      break;
  }
}

void EventLoop(VideoState* is) {
  PlayerControl& control = is->control;
  double remaining = 0.0;
  for (;;) {
    if (remaining > 0.0) av_usleep(unsigned(remaining * 1000000.0));
    remaining = kRefreshPeriod;
    if (is->stepAfterSeek.exchange(false)) StepToNextFrame(is);
    VideoRefresh(is, &remaining);
    StopSoundAtStop(is);
    if (control.pauseAtEnd && !is->paused && ReachedEnd(is)) PauseByItself(is);

    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
      if (event.type == SDL_WINDOWEVENT) HandleWindowEvent(is, event.window);
    }
    if (uint64_t size = control.pendingWindowSize.exchange(0)) {
      SDL_SetWindowSize(is->window, int(size >> 32), int(size & 0xffffffffu));
      is->screenWidth = int(size >> 32);
      is->screenHeight = int(size & 0xffffffffu);
      is->forceRefresh = true;
    }
    if (control.redrawRequested.exchange(false)) is->forceRefresh = true;

    if (control.command == QuitRequested || is->stats.openFailed) break;
    HandleCommand(is, control);
  }
}

}  // namespace

PlayerEnd RunPlayer(uintptr_t nativeWindow, const std::string& path, int startSeconds,
                    PlayerControl& control, PlayerStats& stats) {
  auto cannotShow = [](const std::string& what) {
    return PlayerEnd{PlayerEnd::Kind::CannotShow, what + ": " + SDL_GetError()};
  };
  // SDL's video is one per process and not for two threads at once: a second
  // player that overlaps the first is refused, not left to crash both.
  static std::mutex sdlInUse;
  std::unique_lock<std::mutex> sdl(sdlInUse, std::try_to_lock);
  if (!sdl.owns_lock())
    return PlayerEnd{PlayerEnd::Kind::CannotShow, "another preview is playing in this program"};
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER)) {
    av_log(nullptr, AV_LOG_FATAL, "Could not initialize SDL:%s.\n", SDL_GetError());
    return cannotShow("cannot start the video output");
  }
  // Without sound the picture still plays.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO))
    av_log(nullptr, AV_LOG_WARNING, "No sound: %s\n", SDL_GetError());
  SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
  SDL_EventState(SDL_USEREVENT, SDL_IGNORE);

  SDL_Window* window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(nativeWindow));
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  SDL_Renderer* renderer = nullptr;
  SDL_RendererInfo info{};
  if (window) {
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) {
      av_log(nullptr, AV_LOG_WARNING, "Failed to initialize a hardware accelerated renderer: %s\n",
             SDL_GetError());
      renderer = SDL_CreateRenderer(window, -1, 0);
    }
    if (renderer && SDL_GetRendererInfo(renderer, &info) == 0)
      av_log(nullptr, AV_LOG_VERBOSE, "Initialized %s renderer.\n", info.name);
  }
  auto release = [&] {
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);  // the host's window itself stays
    SDL_Quit();
  };
  if (!window || !renderer || !info.num_texture_formats) {
    av_log(nullptr, AV_LOG_FATAL, "Failed to create window or renderer: %s.\n", SDL_GetError());
    PlayerEnd end = cannotShow(window ? "cannot draw into the window" : "cannot use the window");
    release();
    return end;
  }

  auto is = std::make_unique<VideoState>(path, window, renderer, control, stats);
  if (startSeconds > 0) {
    // The read thread seeks there before it reads the first packet.
    is->seekPos = int64_t(startSeconds) * AV_TIME_BASE;
    is->seekRel = int64_t(startSeconds) * AV_TIME_BASE;
    is->seekRequest = true;
  }
  try {
    is->readThread = std::thread(ReadThread, is.get());
  } catch (const std::system_error& e) {
    av_log(nullptr, AV_LOG_FATAL, "Cannot start the read thread: %s\n", e.what());
    av_log(nullptr, AV_LOG_FATAL, "Failed to initialize VideoState!\n");
    is.reset();
    release();
    return PlayerEnd{PlayerEnd::Kind::CannotShow, std::string("cannot start the player: ") + e.what()};
  }

  EventLoop(is.get());

  CloseStream(is.get());  // joins the read thread: its reason is whole
  PlayerEnd end;
  // A quit during the opening cut it short: that is no fault of the file.
  if (stats.openFailed && control.command != QuitRequested)
    end = PlayerEnd{PlayerEnd::Kind::CannotOpen,
                    is->openError.empty() ? "cannot open " + path : is->openError};
  else
    end.kind = PlayerEnd::Kind::Quit;
  is.reset();
  release();
  return end;
}

void PlayerThread::Start(uintptr_t nativeWindow, const std::string& path, int startSeconds) {
  std::lock_guard<std::mutex> life(lifeMutex_);
  StopLocked();
  control_.Reset();
  stats_.Reset();
  stats_.startMicros = av_gettime_relative();
  {
    std::lock_guard<std::mutex> lock(endMutex_);
    end_ = PlayerEnd{};
  }
  finished_ = false;
  thread_ = std::thread([this, nativeWindow, path, startSeconds] {
    platform::ThreadSignalStack signalStack;
    PlayerEnd end = RunPlayer(nativeWindow, path, startSeconds, control_, stats_);
    {
      std::lock_guard<std::mutex> lock(endMutex_);
      end_ = std::move(end);
    }
    finished_ = true;
  });
}

void PlayerThread::Stop() {
  std::lock_guard<std::mutex> life(lifeMutex_);
  StopLocked();
}

void PlayerThread::StopLocked() {
  if (!thread_.joinable()) return;
  control_.command = QuitRequested;
  thread_.join();
}

PlayerEnd PlayerThread::end() const {
  std::lock_guard<std::mutex> lock(endMutex_);
  return end_;
}

}  // namespace player
