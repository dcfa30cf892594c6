#include "engine/command.h"

#include <algorithm>

#include "engine/format_catalog.h"
#include "engine/video_item.h"
#include "media/container.h"
#include "media/source_open.h"
#include "media/tone_map.h"
#include "platform/text.h"

namespace engine {

using platform::Format;

std::string ShellQuote(const std::string& arg) {
  static const char kPlain[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-+=/.,:@%";
  if (!arg.empty() && arg.find_first_not_of(kPlain) == std::string::npos) return arg;
  std::string quoted = "'";
  for (char c : arg) {
    if (c == '\'') quoted += "'\\''";  // end the quote, an escaped quote, quote again
    else quoted += c;
  }
  return quoted + "'";
}

Command::Command(const std::string& program) : display_(ShellQuote(program)) {
  args_.push_back(program);
}

void Command::Append(const std::string& arg) {
  args_.push_back(arg);
  display_ += " " + ShellQuote(arg);
}

void Command::Add(std::initializer_list<std::string> args) {
  for (const std::string& a : args) Append(a);
}

void Command::AddPath(const std::string& path) { Append(path); }

namespace {

void AddStart(Command& cmd, const VideoItem& item, const CommandInputs& in) {
  cmd.Add({"-hide_banner", "-progress"});
  cmd.AddPath(in.progressPath);
  cmd.Add({"-y"});
  // The source through the file protocol only, by the demuxer the probe chose
  // (a cache file's own format is the transcoder's to find).
  const std::vector<std::string> input = media::TranscoderInputOptions(
      item.cacheKind == media::CacheKind::None ? item.inputFormat : std::string());
  for (const std::string& arg : input) cmd.Add({arg});
  cmd.Add({"-i"});
  cmd.AddPath(item.sourcePath);
}

void AddCut(Command& cmd, const VideoItem& item) {
  if (item.IsTrimmed())
    cmd.Add({"-ss", std::to_string(item.trimStart), "-to", std::to_string(item.trimEnd)});
}

// The item's crop, its sides made even when it was set (SetClip, the probe).
// The transcoder turns the picture upright before the filters, so the
// rectangle is one of the picture as shown.
std::string CropFilter(const VideoItem& item) {
  return Format("crop=%d:%d:%d:%d", item.cropWidth, item.cropHeight, item.cropX, item.cropY);
}

std::string FitAndPadFilter(int w, int h) {
  return Format(
      "scale='trunc(min(%d,%d*dar)/2)*2':'trunc(min(%d/dar,%d)/2)*2',setsar=1:1,"
      "pad=%d:%d:trunc((%d-iw)/2):trunc((%d-ih)/2):black",
      w, h, w, h, w, h, w, h);
}

void AddArgs(Command& cmd, const std::vector<std::string>& args) {
  for (const std::string& arg : args) cmd.Add({arg});
}

// Every output is progressive: a picture stored as fields is made whole
// first, else the combing of the fields stays in every frame. A turned
// picture is turned before these filters, which moves the fields (a quarter
// turn makes them columns): left alone.
std::string DeinterlaceStep(const VideoItem& item) {
  return item.interlaced && item.rotation == 0 ? "yadif," : "";
}

// Streams that start far apart each play from their own start, together.
std::string RealignStep(const VideoItem& item) {
  return item.streamsApart ? "setpts=PTS-STARTPTS," : "";
}

void AddSoundRealign(Command& cmd, const VideoItem& item) {
  if (item.streamsApart) cmd.Add({"-af", "asetpts=PTS-STARTPTS"});
}

// A high dynamic range picture brought to BT.709 SDR for the 8-bit outputs,
// after the crop (the same pixels, fewer of them) and before any size change.
std::string ToneMapStep(const VideoItem& item) {
  const std::string steps = media::ToneMapSteps(item);
  return steps.empty() ? steps : steps + ",";
}

// The source's size as stored or as shown (a rotated picture) means no size
// change.
bool SizeChanged(const VideoItem& item) {
  const int w = item.outputWidth, h = item.outputHeight;
  if (w <= 0 || h <= 0) return false;
  return !(w == item.width && h == item.height) &&
         !(w == item.DisplayWidth() && h == item.DisplayHeight());
}

// GIF stores no pixel shape: its pixels are square. The picture is scaled to
// the chosen height, and to the width it shows at there (after any crop),
// made even as the row's size is.
std::string GifSizeStep(const VideoItem& item) {
  std::string height;
  if (SizeChanged(item))
    height = std::to_string(item.outputHeight);
  else if (item.pixelAspectNum != item.pixelAspectDen)
    height = "ih";
  else
    return {};
  const std::string width = "trunc(" + height + "*dar)";
  return "scale='" + width + "+mod(" + width + ",2)':" + height + ",setsar=1,";
}

// A GIF's kept range is cut at the head of its graph: its palette is made
// from the kept frames only, and no frame outside them is held for it.
std::string GifCutStep(const VideoItem& item) {
  if (!item.IsTrimmed()) return {};
  return Format("trim=start=%d:end=%d,setpts=PTS-STARTPTS,", item.trimStart, item.trimEnd);
}

// Above this many bytes of kept pictures a GIF gets a palette per frame: one
// palette for the clip holds every frame (4 bytes a pixel, at the GIF's
// size) in memory until the last one has been read.
constexpr double kClipPaletteBytes = 512.0 * 1024 * 1024;

bool OnePaletteFits(const VideoItem& item) {
  int w = item.outputWidth, h = item.outputHeight;
  if (w <= 0 || h <= 0) {
    w = item.DisplayWidth();
    h = item.DisplayHeight();
  }
  // The whole seconds are truncated: one more bounds the length.
  const double frames = (item.KeptSeconds() + 1.0) * std::max(1.0f, item.frameRate);
  return frames * w * h * 4.0 <= kClipPaletteBytes;
}

// The GIF's colours: 256 chosen for the clip from every pixel of every kept
// frame (a long or large clip: for each frame on its own), applied with a
// light ordered dither. Against the encoder's fixed palette this lifts the
// likeness to the source most on natural pictures; an ordered dither keeps
// still parts still from frame to frame, so they compress and do not crawl.
std::string GifPaletteSteps(const VideoItem& item) {
  if (OnePaletteFits(item))
    return "split[a][b];[a]palettegen=stats_mode=full[p];"
           "[b][p]paletteuse=dither=bayer:bayer_scale=5";
  return "split[a][b];[a]palettegen=stats_mode=single[p];"
         "[b][p]paletteuse=dither=bayer:bayer_scale=5:new=1";
}

using Args = std::vector<std::string>;

// Whether the source's tags go along: into the outputs that keep them, and
// into every merge part, whose tags the join takes from the first.
bool TagsGoAlong(const VideoItem& item) {
  return item.listKind == ConvertKind::Merge || KeepsTags(item.outputFormat);
}

// MP4 and MOV keep a phone's reverse-DNS keys (camera, place) only as keyed
// metadata, and then write every tag there: the source container's own marks
// are left behind.
bool KeyedTags(const VideoItem& item) {
  return TagsGoAlong(item) && item.keyedTags && media::NeedsKeyedMetadata(item.outputExtension);
}

// The codec's arguments, with keyed metadata joined to the MP4 flags they
// set themselves (one -movflags: a second would replace the first).
Args WithTagFlags(Args args, const VideoItem& item) {
  if (!KeyedTags(item)) return args;
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == "-movflags") {
      args[i + 1] += "+use_metadata_tags";
      return args;
    }
  return args;
}

// Keeps the source's tags: the recording date, which the transcoder drops
// unless told, the place and the camera. A source without them gets none.
void AddTags(Command& cmd, const VideoItem& item, const Args& codecArgs) {
  if (!TagsGoAlong(item)) return;
  cmd.Add({"-map_metadata", "0"});
  if (!KeyedTags(item)) return;
  if (std::find(codecArgs.begin(), codecArgs.end(), "-movflags") == codecArgs.end())
    cmd.Add({"-movflags", "use_metadata_tags"});
  cmd.Add({"-metadata", "major_brand=", "-metadata", "minor_version=", "-metadata",
           "compatible_brands="});
}

// The source's sound track to keep: the default one, else the first.
std::string AudioTrack(const VideoItem& item) { return Format("0:a:%d", item.audioTrack); }

// Text subtitles go where the container takes them: Matroska as they are
// (in a text form it stores), MP4 and MOV as timed text, WebM as WebVTT.
// Subtitles made of pictures, and subtitles for other containers, are left out.
void AddSubtitles(Command& cmd, const VideoItem& item) {
  const SubtitleWay way = SubtitlesOf(item.outputFormat);
  if (way == SubtitleWay::None) return;
  int kept = 0;
  for (size_t i = 0; i < item.subtitles.size(); ++i) {
    const media::SubtitleTrack& track = item.subtitles[i];
    if (!track.text) continue;
    cmd.Add({"-map", Format("0:s:%d", static_cast<int>(i))});
    std::string codec = way == SubtitleWay::WebVtt ? "webvtt" : "mov_text";
    if (way == SubtitleWay::Matroska) {
      const bool stored = track.codec == "subrip" || track.codec == "ass" ||
                          track.codec == "ssa" || track.codec == "webvtt" ||
                          track.codec == "text";
      codec = stored ? "copy" : "srt";
    }
    cmd.Add({Format("-c:s:%d", kept++), codec});
  }
}

}  // namespace

Command BuildVideoCommand(const VideoItem& item, const CommandInputs& in) {
  Command cmd;
  AddStart(cmd, item, in);
  cmd.SetNeedsPicture(true);
  const bool merge = item.listKind == ConvertKind::Merge;
  const bool gif = item.listKind == ConvertKind::Gif;
  // A merge part from a silent source gets a silent track, so the joined file
  // keeps its sound through every part.
  const bool silentPart = merge && !item.HasAudio();
  // The part's track has the rate its codec takes (Opus: 48 kHz).
  const std::string partRate = SoundSampleRate(item.outputFormat);
  if (silentPart)
    cmd.Add({"-f", "lavfi", "-i", "anullsrc=channel_layout=stereo:sample_rate=" + partRate});

  const Args codecArgs =
      WithTagFlags(VideoCodecArgs(item.listKind, item.outputFormat, item.sizePreset), item);
  if (merge) {
    int w = item.DisplayWidth(), h = item.DisplayHeight();
    if (item.outputWidth > 0 && item.outputHeight > 0) {
      w = item.outputWidth;
      h = item.outputHeight;
    }
    std::string filter = "[0:v]" + RealignStep(item) + DeinterlaceStep(item);
    if (UprightTurn(item.rotation)) filter += CropFilter(item) + ",";
    filter += ToneMapStep(item);
    cmd.Add({"-filter_complex", filter + FitAndPadFilter(w, h)});
    cmd.Add({"-r", "30", "-ac", "2", "-ar", partRate, "-b:a", "128k"});
    AddArgs(cmd, codecArgs);
    cmd.Add({"-b:v", PartVideoBitRate(item.sizePreset)});
  } else {
    std::string filter =
        RealignStep(item) + (gif ? GifCutStep(item) : std::string()) + DeinterlaceStep(item);
    if (UprightTurn(item.rotation) && item.cacheKind == media::CacheKind::None &&
        item.cropWidth > 0 && item.cropHeight > 0)
      filter += CropFilter(item) + ",";
    filter += ToneMapStep(item);
    if (gif) {
      cmd.Add({"-filter_complex", "[0:v]" + filter + GifSizeStep(item) + GifPaletteSteps(item)});
    } else if (!filter.empty()) {
      filter.pop_back();  // the last step's comma
      cmd.Add({"-filter_complex", "[0:v]" + filter});
    }
    AddArgs(cmd, codecArgs);
    if (item.audioChannels >= 2) cmd.Add({"-ac", "2"});
  }

  AddArgs(cmd, TrackSoundCodecArgs(item.outputFormat));
  AddArgs(cmd, EncoderSpeedArgs(item.outputFormat));
  // A GIF's pictures come out of its palette: a format named here would
  // replace the palette with the encoder's fixed one.
  if (!gif) cmd.Add({"-pix_fmt", "yuv420p"});
  // A tone-mapped picture is BT.709; left alone the output would keep the
  // source's HDR marks and be shown washed out.
  if (!gif && item.HighDynamicRange())
    cmd.Add({"-color_primaries", "bt709", "-color_trc", "bt709", "-colorspace", "bt709"});
  cmd.Add({"-max_muxing_queue_size", in.muxingQueueSize});
  if (in.customBitRate > 0)
    cmd.Add({"-b:v", Format("%dk", static_cast<int>(in.customBitRate / 1000))});
  if (item.hasDataStream) cmd.Add({"-dn"});
  // Merge parts keep their common 30 frames a second unless the user set a rate.
  if (in.customFrameRate > 0) {
    cmd.Add({"-r", Format("%f", static_cast<double>(in.customFrameRate))});
  } else if (!merge) {
    cmd.Add({"-r", Format("%f", static_cast<double>(item.frameRate))});
  }
  if (silentPart) {
    cmd.Add({"-map", "0:v?", "-map", "1:a", "-shortest"});
  } else if (item.listKind != ConvertKind::Gif) {
    // One sound track: the one the source plays by default (FLV holds one only).
    cmd.Add({"-map", "0:v?", "-map", AudioTrack(item) + "?"});
    AddSoundRealign(cmd, item);
  }
  AddTags(cmd, item, codecArgs);
  if (item.listKind == ConvertKind::Video) AddSubtitles(cmd, item);
  // No size chosen (yet) keeps the source's size: never an empty " -s ".
  // A GIF got its size in the filter.
  if (item.listKind != ConvertKind::Gif && SizeChanged(item))
    cmd.Add({"-s", Format("%dx%d", item.outputWidth, item.outputHeight)});
  if (!gif) AddCut(cmd, item);  // a GIF's is in its graph
  cmd.AddPath(in.outputPath);
  return cmd;
}

Command BuildAudioCommand(const VideoItem& item, const CommandInputs& in) {
  Command cmd;
  AddStart(cmd, item, in);
  AddCut(cmd, item);
  // The track the source plays by default, not the one the transcoder would
  // pick (the one with the most channels).
  cmd.Add({"-map", AudioTrack(item)});
  AddSoundRealign(cmd, item);
  AddTags(cmd, item, {});
  AddArgs(cmd, SoundCodecArgs(item.outputFormat));
  if (item.audioChannels > 2) cmd.Add({"-ac", "2"});
  // FLAC and WAV keep the source's rate, Opus takes 48 kHz.
  const std::string rate = SoundSampleRate(item.outputFormat);
  if (!rate.empty()) cmd.Add({"-ar", rate});
  // No target, or the source's own rate, leaves the encoder its default.
  if (item.outputAudioKbps > 0 && item.outputAudioKbps != item.audioKbps)
    cmd.Add({"-b:a", std::to_string(item.outputAudioKbps) + "k"});
  AddArgs(cmd, EncoderSpeedArgs(item.outputFormat));
  if (item.hasDataStream) cmd.Add({"-dn"});
  cmd.Add({"-max_muxing_queue_size", in.muxingQueueSize});
  cmd.AddPath(in.outputPath);
  return cmd;
}

Command BuildCommand(const VideoItem& item, const CommandInputs& in) {
  return item.listKind == ConvertKind::Audio ? BuildAudioCommand(item, in)
                                             : BuildVideoCommand(item, in);
}

}  // namespace engine
