#include "player/video_output.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

#include "media/source_open.h"
#include "player/video_state.h"

namespace player {

namespace {

struct FormatEntry {
  AVPixelFormat av;
  Uint32 sdl;
};

// Picture formats SDL can take without conversion.
const FormatEntry kFormatMap[] = {
    {AV_PIX_FMT_RGB8, SDL_PIXELFORMAT_RGB332},
    {AV_PIX_FMT_RGB444, SDL_PIXELFORMAT_RGB444},
    {AV_PIX_FMT_RGB555, SDL_PIXELFORMAT_RGB555},
    {AV_PIX_FMT_BGR555, SDL_PIXELFORMAT_BGR555},
    {AV_PIX_FMT_RGB565, SDL_PIXELFORMAT_RGB565},
    {AV_PIX_FMT_BGR565, SDL_PIXELFORMAT_BGR565},
    {AV_PIX_FMT_RGB24, SDL_PIXELFORMAT_RGB24},
    {AV_PIX_FMT_BGR24, SDL_PIXELFORMAT_BGR24},
    {AV_PIX_FMT_0RGB32, SDL_PIXELFORMAT_RGB888},
    {AV_PIX_FMT_0BGR32, SDL_PIXELFORMAT_BGR888},
    {AV_PIX_FMT_NE(RGB0, 0BGR), SDL_PIXELFORMAT_RGBX8888},
    {AV_PIX_FMT_NE(BGR0, 0RGB), SDL_PIXELFORMAT_BGRX8888},
    {AV_PIX_FMT_RGB32, SDL_PIXELFORMAT_ARGB8888},
    {AV_PIX_FMT_RGB32_1, SDL_PIXELFORMAT_RGBA8888},
    {AV_PIX_FMT_BGR32, SDL_PIXELFORMAT_ABGR8888},
    {AV_PIX_FMT_BGR32_1, SDL_PIXELFORMAT_BGRA8888},
    {AV_PIX_FMT_YUV420P, SDL_PIXELFORMAT_IYUV},
    {AV_PIX_FMT_YUYV422, SDL_PIXELFORMAT_YUY2},
    {AV_PIX_FMT_UYVY422, SDL_PIXELFORMAT_UYVY},
};

bool HasAlpha(int format) {
  return format == AV_PIX_FMT_RGB32 || format == AV_PIX_FMT_RGB32_1 || format == AV_PIX_FMT_BGR32 ||
         format == AV_PIX_FMT_BGR32_1;
}

void FillRect(SDL_Renderer* renderer, int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  SDL_Rect rect{x, y, w, h};
  SDL_RenderFillRect(renderer, &rect);
}

// Keeps a texture whose format and size already fit, else makes a new one.
int ReallocTexture(SDL_Renderer* renderer, SDL_Texture** texture, Uint32 format, int w, int h,
                   SDL_BlendMode blend, bool clear) {
  Uint32 oldFormat;
  int oldW, oldH;
  if (*texture && SDL_QueryTexture(*texture, &oldFormat, nullptr, &oldW, &oldH) == 0 &&
      oldFormat == format && oldW == w && oldH == h)
    return 0;
  if (*texture) SDL_DestroyTexture(*texture);
  *texture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, w, h);
  if (!*texture) return -1;
  if (SDL_SetTextureBlendMode(*texture, blend) < 0) return -1;
  if (clear) {
    void* pixels;
    int pitch;
    if (SDL_LockTexture(*texture, nullptr, &pixels, &pitch) < 0) return -1;
    memset(pixels, 0, size_t(pitch) * size_t(h));
    SDL_UnlockTexture(*texture);
  }
  av_log(nullptr, AV_LOG_VERBOSE, "Created %dx%d texture with %s.\n", w, h,
         SDL_GetPixelFormatName(format));
  return 0;
}

int UploadPicture(VideoState* is, FrameSlot* vp) {
  AVFrame* frame = vp->frame;
  const Uint32 sdlFormat = SdlTextureFormat(frame->format);
  const SDL_BlendMode blend = HasAlpha(frame->format) ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE;
  if (ReallocTexture(
          is->renderer, &is->vidTexture,
          sdlFormat == SDL_PIXELFORMAT_UNKNOWN ? Uint32(SDL_PIXELFORMAT_ARGB8888) : sdlFormat,
          frame->width, frame->height, blend, false) < 0)
    return -1;
  vp->flipVertical = false;
  const int* ls = frame->linesize;
  if (sdlFormat == SDL_PIXELFORMAT_UNKNOWN) {
    // The scaler reads rows in either direction, so the result is upright.
    is->imgConvertCtx = sws_getCachedContext(
        is->imgConvertCtx, frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
        frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!is->imgConvertCtx) {
      av_log(nullptr, AV_LOG_FATAL, "Cannot initialize the conversion context\n");
      return -1;
    }
    uint8_t* pixels[4] = {};
    int pitch[4] = {};
    if (SDL_LockTexture(is->vidTexture, nullptr, reinterpret_cast<void**>(pixels), pitch) < 0)
      return -1;
    sws_scale(is->imgConvertCtx, frame->data, frame->linesize, 0, frame->height, pixels, pitch);
    SDL_UnlockTexture(is->vidTexture);
    return 0;
  }
  if (sdlFormat == SDL_PIXELFORMAT_IYUV) {
    const int chromaRows = AV_CEIL_RSHIFT(frame->height, 1);
    if (ls[0] > 0 && ls[1] > 0 && ls[2] > 0)
      return SDL_UpdateYUVTexture(is->vidTexture, nullptr, frame->data[0], ls[0], frame->data[1],
                                  ls[1], frame->data[2], ls[2]);
    if (ls[0] < 0 && ls[1] < 0 && ls[2] < 0) {
      // Bottom-up rows: upload from the last row and flip when drawing.
      vp->flipVertical = true;
      return SDL_UpdateYUVTexture(is->vidTexture, nullptr,
                                  frame->data[0] + ls[0] * (frame->height - 1), -ls[0],
                                  frame->data[1] + ls[1] * (chromaRows - 1), -ls[1],
                                  frame->data[2] + ls[2] * (chromaRows - 1), -ls[2]);
    }
    av_log(nullptr, AV_LOG_ERROR, "Mixed negative and positive linesizes are not supported.\n");
    return -1;
  }
  if (ls[0] < 0) {
    vp->flipVertical = true;
    return SDL_UpdateTexture(is->vidTexture, nullptr, frame->data[0] + ls[0] * (frame->height - 1),
                             -ls[0]);
  }
  return SDL_UpdateTexture(is->vidTexture, nullptr, frame->data[0], ls[0]);
}

void SetYuvConversionMode(const AVFrame* frame) {
  SDL_YUV_CONVERSION_MODE mode = SDL_YUV_CONVERSION_AUTOMATIC;
  if (frame && (frame->format == AV_PIX_FMT_YUV420P || frame->format == AV_PIX_FMT_YUYV422 ||
                frame->format == AV_PIX_FMT_UYVY422)) {
    if (frame->color_range == AVCOL_RANGE_JPEG)
      mode = SDL_YUV_CONVERSION_JPEG;
    else if (frame->colorspace == AVCOL_SPC_BT709)
      mode = SDL_YUV_CONVERSION_BT709;
    else if (frame->colorspace == AVCOL_SPC_BT470BG || frame->colorspace == AVCOL_SPC_SMPTE170M ||
             frame->colorspace == AVCOL_SPC_SMPTE240M)
      mode = SDL_YUV_CONVERSION_BT601;
  }
  SDL_SetYUVConversionMode(mode);
}

// Converts a graphic subtitle's areas into the (transparent) subtitle texture.
// One without a size of its own lies over the picture as shown.
int UploadSubtitle(VideoState* is, FrameSlot* sp, const ShownPicture& shown) {
  if (!sp->width || !sp->height) {
    sp->width = shown.width;
    sp->height = shown.height;
  }
  if (ReallocTexture(is->renderer, &is->subTexture, SDL_PIXELFORMAT_ARGB8888, sp->width, sp->height,
                     SDL_BLENDMODE_BLEND, true) < 0)
    return -1;
  for (unsigned i = 0; i < sp->sub.num_rects; ++i) {
    AVSubtitleRect* r = sp->sub.rects[i];
    r->x = av_clip(r->x, 0, sp->width);
    r->y = av_clip(r->y, 0, sp->height);
    r->w = av_clip(r->w, 0, sp->width - r->x);
    r->h = av_clip(r->h, 0, sp->height - r->y);
    if (r->w == 0 || r->h == 0) continue;
    is->subConvertCtx = sws_getCachedContext(is->subConvertCtx, r->w, r->h, AV_PIX_FMT_PAL8, r->w,
                                             r->h, AV_PIX_FMT_BGRA, 0, nullptr, nullptr, nullptr);
    if (!is->subConvertCtx) {
      av_log(nullptr, AV_LOG_FATAL, "Cannot initialize the conversion context\n");
      return -1;
    }
    SDL_Rect area{r->x, r->y, r->w, r->h};
    uint8_t* pixels[4] = {};
    int pitch[4] = {};
    if (SDL_LockTexture(is->subTexture, &area, reinterpret_cast<void**>(pixels), pitch) == 0) {
      sws_scale(is->subConvertCtx, r->data, r->linesize, 0, r->h, pixels, pitch);
      SDL_UnlockTexture(is->subTexture);
    }
  }
  return 0;
}

// A dropped subtitle that was on screen leaves transparent holes behind.
void ClearSubtitle(VideoState* is, const FrameSlot* sp) {
  if (!sp->uploaded || !is->subTexture) return;
  for (unsigned i = 0; i < sp->sub.num_rects; ++i) {
    const AVSubtitleRect* r = sp->sub.rects[i];
    if (r->w <= 0 || r->h <= 0) continue;
    SDL_Rect area{r->x, r->y, r->w, r->h};
    uint8_t* pixels;
    int pitch;
    if (SDL_LockTexture(is->subTexture, &area, reinterpret_cast<void**>(&pixels), &pitch) == 0) {
      for (int row = 0; row < r->h; ++row, pixels += pitch) memset(pixels, 0, size_t(r->w) * 4);
      SDL_UnlockTexture(is->subTexture);
    }
  }
}

// Playing on from last to vp crosses the host's stop (a seek past it does
// not, nor a resume at a stop the player already paused at).
bool ReachesStop(const VideoState* is, const FrameSlot* last, const FrameSlot* vp) {
  const double stop = is->control.stopAtSeconds;
  if (stop < 0 || std::isnan(vp->pts) || std::isnan(last->pts)) return false;
  if (last->serial != vp->serial || !(last->pts < stop && vp->pts >= stop)) return false;
  return !(is->stopSpentSerial == vp->serial && is->stopSpentAt == stop);
}

// Dims the picture outside the part the host keeps.
void DimOutsideKeptArea(VideoState* is, const SDL_Rect& picture) {
  KeptFractions kept;
  if (!UnpackKeptArea(is->control.keptArea, &kept)) return;
  const int left = picture.x + int(std::lround(kept.x * picture.w));
  const int top = picture.y + int(std::lround(kept.y * picture.h));
  const int right = std::min(picture.x + picture.w,
                             picture.x + int(std::lround((kept.x + kept.width) * picture.w)));
  const int bottom = std::min(picture.y + picture.h,
                              picture.y + int(std::lround((kept.y + kept.height) * picture.h)));
  SDL_SetRenderDrawBlendMode(is->renderer, SDL_BLENDMODE_BLEND);
  SDL_SetRenderDrawColor(is->renderer, 0, 0, 0, 128);
  FillRect(is->renderer, picture.x, picture.y, picture.w, top - picture.y);
  FillRect(is->renderer, picture.x, bottom, picture.w, picture.y + picture.h - bottom);
  FillRect(is->renderer, picture.x, top, left - picture.x, bottom - top);
  FillRect(is->renderer, right, top, picture.x + picture.w - right, bottom - top);
  SDL_SetRenderDrawBlendMode(is->renderer, SDL_BLENDMODE_NONE);
}

void ImageDisplay(VideoState* is) {
  FrameSlot* vp = is->pictq.PeekLast();
  const ShownPicture shown = TurnedPicture(vp->width, vp->height, vp->sar, vp->turn);
  FrameSlot* sp = nullptr;
  if (is->subtitleStreamIndex >= 0 && is->subpq.Remaining() > 0) {
    sp = is->subpq.Peek();
    if (vp->pts >= sp->pts + sp->sub.start_display_time / 1000.0) {
      if (!sp->uploaded) {
        if (UploadSubtitle(is, sp, shown) < 0) return;
        sp->uploaded = true;
      }
    } else {
      sp = nullptr;
    }
  }

  SDL_Rect rect = DisplayRect(is->xleft, is->ytop, is->width, is->height, shown.width,
                              shown.height, shown.sar);
  if (!vp->uploaded) {
    if (UploadPicture(is, vp) < 0) return;
    vp->uploaded = true;
  }
  // The renderer turns the stored picture upright as it draws it: no pixel is
  // moved on the way, whatever the turn.
  const SDL_Rect target = TextureRect(rect, vp->turn);
  SetYuvConversionMode(vp->frame);
  SDL_RenderCopyEx(is->renderer, is->vidTexture, nullptr, &target, vp->turn, nullptr,
                   vp->flipVertical ? SDL_FLIP_VERTICAL : SDL_FLIP_NONE);
  SetYuvConversionMode(nullptr);

  if (sp) {
    const double xratio = double(rect.w) / sp->width;
    const double yratio = double(rect.h) / sp->height;
    for (unsigned i = 0; i < sp->sub.num_rects; ++i) {
      const AVSubtitleRect* r = sp->sub.rects[i];
      SDL_Rect source{r->x, r->y, r->w, r->h};
      SDL_Rect target{int(rect.x + r->x * xratio), int(rect.y + r->y * yratio), int(r->w * xratio),
                      int(r->h * yratio)};
      SDL_RenderCopy(is->renderer, is->subTexture, &source, &target);
    }
  }
  DimOutsideKeptArea(is, rect);
}

int WrapSample(int index) {
  return index < 0 ? index % kSampleArraySize + kSampleArraySize : index % kSampleArraySize;
}

// Where in the sample array the sound that is audible right now starts,
// backed off by what the display shows. Kept while paused.
int DisplayStart(VideoState* is, int channels, int dataUsed) {
  if (is->paused) return is->lastDisplayStart;
  int delay = is->audioWriteBufSize / (2 * channels);
  if (int64_t callbackTime = is->audioCallbackTime) {
    int64_t since = av_gettime_relative() - callbackTime;
    delay -= int(since * is->audioTgt.freq / 1000000);
  }
  delay += 2 * dataUsed;
  delay = std::max(delay, dataUsed);
  std::lock_guard<std::mutex> lock(is->sampleArrayMutex);
  int start = WrapSample(is->sampleArrayIndex - delay * channels);
  if (is->showMode == ShowWaves) {
    // Start the trace at the steepest upward zero crossing of the last 1000
    // samples, so that a steady tone stands still.
    int best = INT_MIN;
    const int newest = start;
    for (int back = 0; back < 1000; back += channels) {
      int at = WrapSample(newest - back);
      int before = is->sampleArray[WrapSample(at - channels)];
      int here = is->sampleArray[at];
      if (before < 0 && here >= 0 && here - before > best) {
        best = here - before;
        start = at;
      }
    }
  }
  is->lastDisplayStart = start;
  return start;
}

void WavesDisplay(VideoState* is, int start, int channels) {
  SDL_SetRenderDrawColor(is->renderer, 255, 255, 255, 255);
  const int band = is->height / channels;
  const int amplitude = band * 9 / 20;
  {
    std::lock_guard<std::mutex> lock(is->sampleArrayMutex);
    for (int ch = 0; ch < channels; ++ch) {
      int i = WrapSample(start + ch);
      const int middle = is->ytop + ch * band + band / 2;
      for (int x = 0; x < is->width; ++x) {
        int y = is->sampleArray[i] * amplitude / 32768;
        if (y < 0)
          FillRect(is->renderer, is->xleft + x, middle + y, 1, -y);
        else
          FillRect(is->renderer, is->xleft + x, middle, 1, y);
        i = WrapSample(i + channels);
      }
    }
  }
  SDL_SetRenderDrawColor(is->renderer, 0, 0, 255, 255);
  for (int ch = 1; ch < channels; ++ch)
    FillRect(is->renderer, is->xleft, is->ytop + ch * band, is->width, 1);
}

// Each channel's transform input and output start on a 64-byte boundary, as
// the transform's vector code needs.
int SpectrumInStride(int size) { return FFALIGN(size, 16); }
int SpectrumOutStride(int frequencies) { return FFALIGN(frequencies + 1, 8); }

bool PrepareSpectrum(VideoState* is, int bits, int channels) {
  if (bits == is->rdftBits && is->rdft) return true;
  FreeSpectrum(is);
  const int size = 1 << bits;
  const float scale = 1.0f;
  if (av_tx_init(&is->rdft, &is->rdftFn, AV_TX_FLOAT_RDFT, 0, size, &scale, 0) < 0) return false;
  is->rdftIn = static_cast<float*>(
      av_malloc_array(size_t(SpectrumInStride(size)) * channels, sizeof(float)));
  is->rdftOut = static_cast<AVComplexFloat*>(
      av_malloc_array(size_t(SpectrumOutStride(size / 2)) * channels, sizeof(AVComplexFloat)));
  if (!is->rdftIn || !is->rdftOut) {
    FreeSpectrum(is);
    return false;
  }
  is->rdftBits = bits;
  return true;
}

void SpectrumDisplay(VideoState* is, int start, int channels, int frequencies) {
  const int shown = std::min(channels, 2);
  const int size = 2 * frequencies;
  {
    std::lock_guard<std::mutex> lock(is->sampleArrayMutex);
    for (int ch = 0; ch < shown; ++ch) {
      float* in = is->rdftIn + SpectrumInStride(size) * ch;
      int i = WrapSample(start + ch);
      for (int x = 0; x < size; ++x) {
        // A parabolic window keeps the edges of the block from smearing.
        const double w = double(x - frequencies) / frequencies;
        in[x] = float(is->sampleArray[i] * (1.0 - w * w));
        i = WrapSample(i + channels);
      }
    }
  }
  for (int ch = 0; ch < shown; ++ch)
    is->rdftFn(is->rdft, is->rdftOut + SpectrumOutStride(frequencies) * ch,
               is->rdftIn + SpectrumInStride(size) * ch, sizeof(float));

  SDL_Rect column{is->spectrumColumn, 0, 1, is->height};
  uint8_t* pixels;
  int pitch;
  if (SDL_LockTexture(is->visTexture, &column, reinterpret_cast<void**>(&pixels), &pitch) == 0) {
    const double weight = 1.0 / std::sqrt(double(frequencies));
    auto level = [&](const AVComplexFloat& c) {
      return std::min(
          255, int(std::sqrt(weight * std::sqrt(double(c.re) * c.re + double(c.im) * c.im))));
    };
    uint8_t* row = pixels + size_t(pitch) * size_t(is->height);
    for (int y = 0; y < is->height; ++y) {
      const int a = level(is->rdftOut[y]);
      const int b = shown == 2 ? level(is->rdftOut[SpectrumOutStride(frequencies) + y]) : a;
      row -= pitch;
      *reinterpret_cast<uint32_t*>(row) = uint32_t((a << 16) + (b << 8) + ((a + b) >> 1));
    }
    SDL_UnlockTexture(is->visTexture);
  }
  SDL_RenderCopy(is->renderer, is->visTexture, nullptr, nullptr);
}

void AudioDisplay(VideoState* is) {
  const int channels = is->audioTgt.channels();
  if (channels <= 0 || is->width <= 0 || is->height <= 0) return;
  int bits = 1;
  while ((1 << bits) < 2 * is->height) ++bits;
  const int frequencies = 1 << (bits - 1);
  const bool waves = is->showMode == ShowWaves;
  const int start = DisplayStart(is, channels, waves ? is->width : 2 * frequencies);

  if (waves) {
    WavesDisplay(is, start, channels);
  } else {
    if (ReallocTexture(is->renderer, &is->visTexture, SDL_PIXELFORMAT_ARGB8888, is->width,
                       is->height, SDL_BLENDMODE_NONE, true) < 0)
      return;
    if (is->spectrumColumn >= is->width) is->spectrumColumn = 0;
    if (!PrepareSpectrum(is, bits, std::min(channels, 2))) {
      av_log(nullptr, AV_LOG_ERROR,
             "Failed to allocate buffers for RDFT, switching to waves display\n");
      is->showMode = ShowWaves;
      is->stats.showMode = ShowWaves;
    } else {
      SpectrumDisplay(is, start, channels, frequencies);
    }
  }
  if (!is->paused) ++is->spectrumColumn;
}

// The picture area is the window's drawable area, whatever size the host
// gives it; before the window reports a size, the picture's default size.
void UpdatePictureArea(VideoState* is) {
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(is->renderer, &w, &h) < 0 || w <= 0 || h <= 0) {
    w = is->screenWidth ? is->screenWidth.load() : is->defaultWidth.load();
    h = is->screenHeight ? is->screenHeight.load() : is->defaultHeight.load();
  }
  if (w == is->width && h == is->height) return;
  is->width = w;
  is->height = h;
  if (is->visTexture) {
    SDL_DestroyTexture(is->visTexture);
    is->visTexture = nullptr;
  }
}

void UpdateVideoClock(VideoState* is, double pts, int serial) {
  is->vidclk.Set(pts, serial);
  is->extclk.Follow(is->vidclk);
  is->control.positionSeconds = pts;
  if (is->audioStreamIndex >= 0 && !is->paused && !is->step) {
    const double audio = is->audclk.Get();
    if (!std::isnan(audio)) {
      PlayerStats& stats = is->stats;
      const double drift = std::fabs(pts - audio);
      double seen = stats.maxAvDrift;
      while (drift > seen && !stats.maxAvDrift.compare_exchange_weak(seen, drift)) {
      }
      ++stats.avDriftSamples;
    }
  }
}

double PictureDuration(const VideoState& is, const FrameSlot* vp, const FrameSlot* next) {
  if (vp->serial != next->serial) return 0.0;
  const double duration = next->pts - vp->pts;
  if (std::isnan(duration) || duration <= 0 || duration > is.maxFrameDuration) return vp->duration;
  return duration;
}

void CheckExternalClockSpeed(VideoState* is) {
  const bool video = is->videoStreamIndex >= 0;
  const bool audio = is->audioStreamIndex >= 0;
  const double speed = is->extclk.speed();
  if ((video && is->videoq.count() <= 2) || (audio && is->audioq.count() <= 2)) {
    is->extclk.SetSpeed(std::max(0.900, speed - 0.001));
  } else if ((!video || is->videoq.count() > 10) && (!audio || is->audioq.count() > 10)) {
    is->extclk.SetSpeed(std::min(1.010, speed + 0.001));
  } else if (speed != 1.0) {
    is->extclk.SetSpeed(speed + 0.001 * (1.0 - speed) / std::fabs(1.0 - speed));
  }
}

void DropStaleSubtitles(VideoState* is) {
  const double now = is->vidclk.time();
  while (is->subpq.Remaining() > 0) {
    FrameSlot* sp = is->subpq.Peek();
    FrameSlot* next = is->subpq.Remaining() > 1 ? is->subpq.PeekNext() : nullptr;
    if (sp->serial == is->subtitleq.serial() &&
        now <= sp->pts + sp->sub.end_display_time / 1000.0 &&
        !(next && now > next->pts + next->sub.start_display_time / 1000.0))
      break;
    ClearSubtitle(is, sp);
    is->subpq.Next();
  }
}

}  // namespace

SDL_Rect DisplayRect(int left, int top, int areaWidth, int areaHeight, int w, int h,
                     AVRational sar) {
  if (w <= 0 || h <= 0 || areaWidth <= 0 || areaHeight <= 0)
    return {left, top, std::max(areaWidth, 1), std::max(areaHeight, 1)};
  AVRational aspect = av_cmp_q(sar, av_make_q(0, 1)) <= 0 ? av_make_q(1, 1) : sar;
  aspect = av_mul_q(aspect, av_make_q(w, h));
  int64_t height = areaHeight;
  int64_t width = aspect.den > 0 ? av_rescale(height, aspect.num, aspect.den) & ~1 : INT64_MAX;
  if (width > areaWidth) {
    width = areaWidth;
    height = aspect.num > 0 ? av_rescale(width, aspect.den, aspect.num) & ~1 : 0;
  }
  const int x = int((areaWidth - width) / 2);
  const int y = int((areaHeight - height) / 2);
  return {left + x, top + y, std::max(int(width), 1), std::max(int(height), 1)};
}

ShownPicture TurnedPicture(int w, int h, AVRational sar, int turn) {
  if (turn != 90 && turn != 270) return {w, h, sar};
  return {h, w, sar.num > 0 ? AVRational{sar.den, sar.num} : sar};
}

SDL_Rect TextureRect(const SDL_Rect& shown, int turn) {
  if (turn != 90 && turn != 270) return shown;
  // Same middle, sides swapped (half a pixel off where one side is odd).
  return {shown.x + (shown.w - shown.h) / 2, shown.y + (shown.h - shown.w) / 2, shown.h, shown.w};
}

int PictureTurn(const AVStream* stream) {
  const int turn = media::StreamTurn(stream);
  return turn % 90 == 0 ? turn : 0;
}

Uint32 SdlTextureFormat(int avPixelFormat) {
  for (const FormatEntry& entry : kFormatMap)
    if (entry.av == avPixelFormat) return entry.sdl;
  return SDL_PIXELFORMAT_UNKNOWN;
}

double TargetDelay(double delay, double diff, double maxFrameDuration) {
  // Late by more than the threshold: shorten the wait (down to 0); early:
  // lengthen it, by the whole difference for long frames, else show the
  // picture twice as long.
  const double threshold = std::max(kSyncThresholdMin, std::min(kSyncThresholdMax, delay));
  if (!std::isnan(diff) && std::fabs(diff) < maxFrameDuration) {
    if (diff <= -threshold)
      delay = std::max(0.0, delay + diff);
    else if (diff >= threshold && delay > kFrameDupThreshold)
      delay = delay + diff;
    else if (diff >= threshold)
      delay = 2 * delay;
  }
  return delay;
}

void SetDefaultPictureSize(VideoState* is, int w, int h, AVRational sar) {
  int maxWidth = is->screenWidth ? is->screenWidth.load() : INT_MAX;
  int maxHeight = is->screenHeight ? is->screenHeight.load() : INT_MAX;
  if (maxWidth == INT_MAX && maxHeight == INT_MAX) maxHeight = h;
  SDL_Rect rect = DisplayRect(0, 0, maxWidth, maxHeight, w, h, sar);
  is->defaultWidth = rect.w;
  is->defaultHeight = rect.h;
}

void FreeSpectrum(VideoState* is) {
  av_tx_uninit(&is->rdft);
  av_freep(&is->rdftIn);
  av_freep(&is->rdftOut);
  is->rdftFn = nullptr;
  is->rdftBits = 0;
}

void VideoDisplay(VideoState* is) {
  UpdatePictureArea(is);
  SDL_SetRenderDrawColor(is->renderer, 0, 0, 0, 255);
  SDL_RenderClear(is->renderer);
  const bool picture = !(is->audioStreamIndex >= 0 && ShowsSound(is->showMode));
  if (!picture)
    AudioDisplay(is);
  else if (is->videoStreamIndex >= 0)
    ImageDisplay(is);
  SDL_RenderPresent(is->renderer);
  if (picture && is->stats.firstPictureMicros == 0)
    is->stats.firstPictureMicros = av_gettime_relative();
}

void VideoRefresh(VideoState* is, double* remaining) {
  if (!is->paused && !AudioIsMaster(*is) && is->realtime) CheckExternalClockSpeed(is);

  if (ShowsSound(is->showMode) && is->audioStreamIndex >= 0) {
    const double time = NowSeconds();
    if (is->forceRefresh || is->lastVisTime + kSpectrumPeriod < time) {
      VideoDisplay(is);
      is->lastVisTime = time;
    }
    *remaining = std::min(*remaining, is->lastVisTime + kSpectrumPeriod - time);
  }

  while (is->videoStreamIndex >= 0 && is->pictq.Remaining() > 0) {
    FrameSlot* last = is->pictq.PeekLast();
    FrameSlot* vp = is->pictq.Peek();
    if (vp->serial != is->videoq.serial()) {
      is->pictq.Next();  // from before a seek
      continue;
    }
    if (last->serial != vp->serial) is->frameTimer = NowSeconds();
    if (is->paused) break;
    if (ReachesStop(is, last, vp)) {
      // The picture before the stop stays; vp waits for a resume.
      is->stopSpentAt = is->control.stopAtSeconds;
      is->stopSpentSerial = vp->serial;
      PauseByItself(is);
      break;
    }

    const double diff = is->vidclk.Get() - MasterClock(*is);
    const double delay = TargetDelay(PictureDuration(*is, last, vp), diff, is->maxFrameDuration);
    av_log(nullptr, AV_LOG_TRACE, "video: delay=%0.3f A-V=%f\n", delay, -diff);

    const double time = NowSeconds();
    if (time < is->frameTimer + delay) {
      *remaining = std::min(is->frameTimer + delay - time, *remaining);
      break;
    }
    is->frameTimer += delay;
    if (delay > 0 && time - is->frameTimer > kSyncThresholdMax) is->frameTimer = time;

    {
      std::lock_guard<std::mutex> lock(is->pictq.mutex());
      if (!std::isnan(vp->pts)) UpdateVideoClock(is, vp->pts, vp->serial);
    }

    if (is->pictq.Remaining() > 1 && !is->step) {
      const double duration = PictureDuration(*is, vp, is->pictq.PeekNext());
      if (time > is->frameTimer + duration) {
        ++is->stats.framesDroppedLate;
        is->pictq.Next();
        continue;
      }
    }

    if (is->subtitleStreamIndex >= 0) DropStaleSubtitles(is);

    is->pictq.Next();
    is->forceRefresh = true;
    ++is->stats.picturesShown;
    if (is->step && !is->paused) TogglePause(is);
    break;
  }

  if (is->forceRefresh && is->showMode == ShowVideo && is->pictq.HasShown()) VideoDisplay(is);
  is->forceRefresh = false;
}

}  // namespace player
