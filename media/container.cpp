#include "media/container.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace media {

bool ContainerStores(const std::string& extension, const std::string& codecName) {
  const AVOutputFormat* muxer = av_guess_format(nullptr, ("x." + extension).c_str(), nullptr);
  const AVCodecDescriptor* codec = avcodec_descriptor_get_by_name(codecName.c_str());
  if (!muxer || !codec) return false;
  return avformat_query_codec(muxer, codec->id, FF_COMPLIANCE_NORMAL) == 1;
}

bool IsKeyedTag(const std::string& key) {
  return !IsContainerMark(key) && key.find('.') != std::string::npos;
}

bool IsContainerMark(const std::string& key) {
  return key == "major_brand" || key == "minor_version" || key == "compatible_brands" ||
         key == "encoder" || key == "duration";
}

bool NeedsKeyedMetadata(const std::string& extension) {
  return extension == "mp4" || extension == "mov" || extension == "m4a";
}

}  // namespace media
