#include "media/media_info.h"

#include "platform/byte_size.h"
#include "platform/files.h"
#include "platform/text.h"

namespace media {

CacheKind CacheKindOf(const std::string& lowerExtension) {
  if (lowerExtension == "qsv") return CacheKind::Qsv;
  if (lowerExtension == "qlv") return CacheKind::Qlv;
  if (lowerExtension == "kux") return CacheKind::Kux;
  return CacheKind::None;
}

void FillFromPath(const std::string& path, MediaInfo& info) {
  // A leading dot marks a hidden file here, not an extension: ".mp4" is a
  // title without extension.
  const std::string name = platform::FileNameOf(path);
  info.title = platform::RemoveExtension(name);
  info.extension = platform::ToLowerAscii(platform::ExtensionOf(name));
  info.cacheKind = CacheKindOf(info.extension);
  const int64_t size = platform::FileSize(path);
  info.fileSize = size < 0 ? 0 : size;
  info.fileSizeText = size < 0 ? std::string() : platform::StrFormatByteSize(size);
}

double MediaInfo::DisplayPixelAspect() const {
  if (pixelAspectNum <= 0 || pixelAspectDen <= 0) return 1.0;
  const double aspect = static_cast<double>(pixelAspectNum) / pixelAspectDen;
  return QuarterTurn() ? 1.0 / aspect : aspect;
}

bool MediaInfo::HighDynamicRange() const {
  return colorTransfer == "smpte2084" || colorTransfer == "arib-std-b67";
}

}  // namespace media
