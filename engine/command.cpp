#include "engine/command.h"

#include "engine/format_catalog.h"
#include "engine/video_item.h"
#include "media/source_open.h"
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

// The source's sound track to keep: the default one, else the first.
std::string AudioTrack(const VideoItem& item) { return Format("0:a:%d", item.audioTrack); }

// Text subtitles go where the container takes them: Matroska as they are
// (in a text form it stores), MP4 and MOV as timed text. Subtitles made of
// pictures, and subtitles for other containers, are left out.
void AddSubtitles(Command& cmd, const VideoItem& item) {
  using media::OutputFormat;
  const bool mkv = item.outputFormat == OutputFormat::Mkv;
  if (!mkv && item.outputFormat != OutputFormat::Mp4 && item.outputFormat != OutputFormat::Mov)
    return;
  int kept = 0;
  for (size_t i = 0; i < item.subtitles.size(); ++i) {
    const media::SubtitleTrack& track = item.subtitles[i];
    if (!track.text) continue;
    cmd.Add({"-map", Format("0:s:%d", static_cast<int>(i))});
    std::string codec = "mov_text";
    if (mkv) {
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
  // A merge part from a silent source gets a silent track, so the joined file
  // keeps its sound through every part.
  const bool silentPart = merge && !item.HasAudio();
  if (silentPart)
    cmd.Add({"-f", "lavfi", "-i", "anullsrc=channel_layout=stereo:sample_rate=44100"});

  if (merge) {
    int w = item.DisplayWidth(), h = item.DisplayHeight();
    if (item.outputWidth > 0 && item.outputHeight > 0) {
      w = item.outputWidth;
      h = item.outputHeight;
    }
    std::string filter = "[0:v]" + RealignStep(item) + DeinterlaceStep(item);
    if (UprightTurn(item.rotation)) filter += CropFilter(item) + ",";
    cmd.Add({"-filter_complex", filter + FitAndPadFilter(w, h)});
    cmd.Add({"-r", "30", "-ac", "2", "-ar", "44100", "-b:a", "128k"});
    AddArgs(cmd, VideoCodecArgs(item.listKind, item.outputFormat, item.sizePreset));
    cmd.Add({"-b:v", PartVideoBitRate(item.sizePreset)});
  } else {
    std::string filter = RealignStep(item) + DeinterlaceStep(item);
    if (UprightTurn(item.rotation) && item.cacheKind == media::CacheKind::None &&
        item.cropWidth > 0 && item.cropHeight > 0)
      filter += CropFilter(item) + ",";
    if (item.listKind == ConvertKind::Gif) filter += GifSizeStep(item);
    if (!filter.empty()) {
      filter.pop_back();  // the last step's comma
      cmd.Add({"-filter_complex", "[0:v]" + filter});
    }
    AddArgs(cmd, VideoCodecArgs(item.listKind, item.outputFormat, item.sizePreset));
    if (item.audioChannels >= 2) cmd.Add({"-ac", "2"});
  }

  cmd.Add({"-c:a", "aac", "-preset", "superfast", "-pix_fmt", "yuv420p"});
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
  if (item.listKind == ConvertKind::Video) AddSubtitles(cmd, item);
  // No size chosen (yet) keeps the source's size: never an empty " -s ".
  // A GIF got its size in the filter.
  if (item.listKind != ConvertKind::Gif && SizeChanged(item))
    cmd.Add({"-s", Format("%dx%d", item.outputWidth, item.outputHeight)});
  AddCut(cmd, item);
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
  AddArgs(cmd, SoundCodecArgs(item.outputFormat));
  if (item.audioChannels > 2) cmd.Add({"-ac", "2"});
  cmd.Add({"-ar", "44100"});
  // No target, or the source's own rate, leaves the encoder its default.
  if (item.outputAudioKbps > 0 && item.outputAudioKbps != item.audioKbps)
    cmd.Add({"-b:a", std::to_string(item.outputAudioKbps) + "k"});
  cmd.Add({"-preset", "superfast"});
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
