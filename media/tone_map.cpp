#include "media/tone_map.h"

#include <initializer_list>

namespace media {
namespace {

// The source's own value where zscale knows it, else the usual one of high
// dynamic range video. An unstated value must be named: zscale finds no way
// from or to an unspecified colour.
std::string Named(const std::string& value, std::initializer_list<const char*> known,
                  const char* usual) {
  for (const char* k : known)
    if (value == k) return value;
  return usual;
}

}  // namespace

std::string ToneMapSteps(const MediaInfo& info) {
  if (!info.HighDynamicRange()) return {};
  const std::string primaries =
      Named(info.colorPrimaries,
            {"bt709", "bt2020", "smpte432", "smpte431", "bt470bg", "smpte170m", "smpte240m"},
            "bt2020");
  // Constant-luminance BT.2020 zscale cannot read with these curves: read
  // as the usual non-constant kind.
  const std::string matrix =
      Named(info.colorMatrix, {"bt709", "bt2020nc", "bt470bg", "smpte170m"}, "bt2020nc");
  // Light made linear with 100 cd/m2 as 1.0, for PQ and HLG alike (zscale
  // shows HLG on a 1000 cd/m2 screen, so both put the usual reference white,
  // 203 cd/m2, at about 2). Mobius keeps the range up to 0.3 as it is and
  // bends only the brighter part down to the screen's white: of the curves
  // measured, the mean brightness closest to the picture's SDR rendering
  // (hable comes out about a fifth darker). desat=0 keeps the colours whole.
  return "zscale=tin=" + info.colorTransfer + ":min=" + matrix + ":pin=" + primaries +
         ":t=linear:p=" + primaries +
         ":npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=mobius:desat=0,"
         "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";
}

}  // namespace media
