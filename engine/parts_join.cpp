#include "engine/parts_join.h"

#include "engine/format_catalog.h"
#include "media/container.h"
#include "platform/text.h"

namespace engine {
namespace {

using platform::Format;

std::string SoundText(const VideoItem& item) {
  if (item.audioCodec.empty()) return "no sound";
  return Format("%s sound (%d channels, %d Hz)", item.audioCodec.c_str(), item.audioChannels,
                item.sampleRate);
}

std::string RateText(const VideoItem& item) {
  if (item.frameRateDen == 0) return "an unknown rate";
  return Format("%.3g frames a second",
                static_cast<double>(item.frameRateNum) / item.frameRateDen);
}

// How part n (from 1) differs from the first, or "" when it does not.
std::string Difference(const VideoItem& first, const VideoItem& part, size_t n) {
  if (part.videoCodec != first.videoCodec)
    return Format("part %zu is %s video where part 1 is %s", n, part.videoCodec.c_str(),
                  first.videoCodec.c_str());
  if (part.width != first.width || part.height != first.height)
    return Format("part %zu is %dx%d where part 1 is %dx%d", n, part.width, part.height,
                  first.width, first.height);
  if (part.rotation != first.rotation)
    return Format("part %zu is turned %d degrees where part 1 is turned %d", n, part.rotation,
                  first.rotation);
  if (part.pixelFormat != first.pixelFormat)
    return Format("part %zu stores its picture as %s where part 1 uses %s", n,
                  part.pixelFormat.c_str(), first.pixelFormat.c_str());
  // Rates compare as fractions: 30/1 and 60/2 are one rate.
  const long long a = static_cast<long long>(part.frameRateNum) * first.frameRateDen;
  const long long b = static_cast<long long>(first.frameRateNum) * part.frameRateDen;
  if (a != b || part.frameRateDen == 0)
    return Format("part %zu runs at %s where part 1 runs at %s", n, RateText(part).c_str(),
                  RateText(first).c_str());
  if (part.audioCodec != first.audioCodec || part.sampleRate != first.sampleRate ||
      (!part.audioCodec.empty() && part.audioChannels != first.audioChannels))
    return Format("part %zu has %s where part 1 has %s", n, SoundText(part).c_str(),
                  SoundText(first).c_str());
  return {};
}

}  // namespace

std::string PartsMismatch(const std::vector<const VideoItem*>& parts) {
  if (parts.empty()) return "there are no parts";
  const VideoItem& first = *parts.front();
  for (size_t i = 0; i < parts.size(); ++i) {
    const VideoItem& part = *parts[i];
    const size_t n = i + 1;
    if (!part.hasPicture || part.videoCodec.empty())
      return Format("part %zu has no picture of its own", n);
    if (part.IsTrimmed()) return Format("part %zu is trimmed", n);
    const bool wholeFrame = part.cropX == 0 && part.cropY == 0 &&
                            part.cropWidth >= WholeFrameSide(part.DisplayWidth()) &&
                            part.cropHeight >= WholeFrameSide(part.DisplayHeight());
    if (!wholeFrame) return Format("part %zu is cropped", n);
    const std::string difference = Difference(first, part, n);
    if (!difference.empty()) return difference;
  }
  return {};
}

std::vector<media::OutputFormat> PartsJoinFormats(const std::vector<const VideoItem*>& parts) {
  std::vector<media::OutputFormat> formats;
  if (!PartsMismatch(parts).empty()) return formats;
  const VideoItem& first = *parts.front();
  for (const media::OutputFormat format : OutputFormats()) {
    if (!ListOffersPreset(ConvertKind::Merge, format, media::SizePreset::Parts)) continue;
    const std::string extension = FormatExtension(format);
    if (!media::ContainerStores(extension, first.videoCodec)) continue;
    if (!first.audioCodec.empty() && !media::ContainerStores(extension, first.audioCodec))
      continue;
    formats.push_back(format);
  }
  return formats;
}

}  // namespace engine
