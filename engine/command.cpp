#include "engine/command.h"

#include "engine/video_item.h"
#include "media/source_open.h"
#include "platform/text.h"

namespace engine {

using platform::Format;

Command::Command(const std::string& program) : args_{program}, display_(program) {}

void Command::Add(std::initializer_list<std::string> args) {
  for (const std::string& a : args) {
    args_.push_back(a);
    display_ += " " + a;
  }
}

void Command::AddPath(const std::string& path) {
  args_.push_back(path);
  display_ += " \"" + path + "\"";
}

bool ParseSizeText(const std::string& text, int* width, int* height) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  *width = static_cast<int>(platform::LeadingInteger(text.substr(0, x)));
  *height = static_cast<int>(platform::LeadingInteger(text.substr(x + 1)));
  return true;
}

int EvenCropSide(int side, int offset, int frame) {
  if (side % 2 == 0) return side;
  if (frame <= 0 || offset + side + 1 <= frame) return side + 1;
  return side - 1;
}

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

std::string CropFilter(const VideoItem& item) {
  // 4:2:0 encoders refuse odd sides.
  int w = EvenCropSide(item.cropWidth, item.cropX, item.width);
  int h = EvenCropSide(item.cropHeight, item.cropY, item.height);
  return Format("crop=%d:%d:%d:%d", w, h, item.cropX, item.cropY);
}

std::string FitAndPadFilter(int w, int h) {
  return Format(
      "scale='trunc(min(%d,%d*dar)/2)*2':'trunc(min(%d/dar,%d)/2)*2',setsar=1:1,"
      "pad=%d:%d:trunc((%d-iw)/2):trunc((%d-ih)/2):black",
      w, h, w, h, w, h, w, h);
}

void AddVideoCodec(Command& cmd, const VideoItem& item) {
  const std::string& ext = item.outputExtension;
  if (item.listKind == ConvertKind::Merge) {
    if (ext == "wmv") cmd.Add({"-c:v", "wmv2"});
    else if (ext == "avi")
      cmd.Add({"-c:v", item.sizePreset == media::SizePreset::Size1080 ? "libxvid" : "msmpeg4"});
    else cmd.Add({"-c:v", "libx264"});
    return;
  }
  if (ext == "wmv" || ext == "avi" || ext == "flv")
    cmd.Add({"-c:v", "libx264", "-profile:v", "main"});
}

const char* MergeBitRate(media::SizePreset preset) {
  switch (preset) {
    case media::SizePreset::Size1080: return "3000k";
    case media::SizePreset::Size720: return "2500k";
    case media::SizePreset::Dvd: return "1500k";
    case media::SizePreset::Tv: return "1200k";
    default: return "512k";
  }
}

}  // namespace

Command BuildVideoCommand(const VideoItem& item, const CommandInputs& in) {
  Command cmd;
  AddStart(cmd, item, in);
  const bool merge = item.listKind == ConvertKind::Merge;
  // A merge part from a silent source gets a silent track, so the joined file
  // keeps its sound through every part.
  const bool silentPart = merge && !item.HasAudio();
  if (silentPart)
    cmd.Add({"-f", "lavfi", "-i", "anullsrc=channel_layout=stereo:sample_rate=44100"});

  if (merge) {
    int w = item.width, h = item.height;
    ParseSizeText(item.outputResolutionText, &w, &h);
    std::string filter = "[0:v]";
    if (item.rotation == 0) filter += CropFilter(item) + ",";
    cmd.Add({"-filter_complex", filter + FitAndPadFilter(w, h)});
    cmd.Add({"-r", "30", "-ac", "2", "-ar", "44100", "-b:a", "128k"});
    AddVideoCodec(cmd, item);
    cmd.Add({"-b:v", MergeBitRate(item.sizePreset)});
  } else {
    if (item.rotation == 0 && item.cacheKind == media::CacheKind::None && item.cropWidth > 0 &&
        item.cropHeight > 0)
      cmd.Add({"-filter_complex", "[0:v]" + CropFilter(item)});
    AddVideoCodec(cmd, item);
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
    // FLV holds one sound track only.
    cmd.Add({"-map", "0:v?", "-map", item.outputExtension == "flv" ? "0:a:0?" : "0:a?"});
  }
  // No size chosen (yet) keeps the source's size: never an empty " -s ".
  if (!item.outputResolutionText.empty() && item.outputResolutionText != item.resolutionText)
    cmd.Add({"-s", item.outputResolutionText});
  AddCut(cmd, item);
  cmd.AddPath(in.outputPath);
  return cmd;
}

Command BuildAudioCommand(const VideoItem& item, const CommandInputs& in) {
  Command cmd;
  AddStart(cmd, item, in);
  AddCut(cmd, item);
  // A sound file never carries the picture along.
  if (item.outputExtension == "m4a") cmd.Add({"-c:a", "aac", "-vn"});
  else cmd.Add({"-c:a", "libmp3lame"});
  if (item.audioChannels > 2) cmd.Add({"-ac", "2"});
  cmd.Add({"-ar", "44100"});
  // An empty target means no choice was made: never an empty " -b:a k".
  if (!item.outputAudioBitRateText.empty() &&
      item.outputAudioBitRateText != item.audioBitRateText)
    cmd.Add({"-b:a", item.outputAudioBitRateText + "k"});
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
