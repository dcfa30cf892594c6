#include <gtest/gtest.h>

#include "media/media_info.h"

namespace {

TEST(MediaInfoShown, AQuarterTurnSwapsSidesAndPixelShape) {
  struct Case {
    int rotation;
    int width, height;
    double aspect;
  } cases[] = {{0, 720, 576, 64.0 / 45}, {90, 576, 720, 45.0 / 64}, {180, 720, 576, 64.0 / 45},
               {270, 576, 720, 45.0 / 64}};
  for (const Case& c : cases) {
    media::MediaInfo info;
    info.width = 720;
    info.height = 576;
    info.pixelAspectNum = 64;
    info.pixelAspectDen = 45;
    info.rotation = c.rotation;
    EXPECT_EQ(info.DisplayWidth(), c.width) << c.rotation;
    EXPECT_EQ(info.DisplayHeight(), c.height) << c.rotation;
    EXPECT_DOUBLE_EQ(info.DisplayPixelAspect(), c.aspect) << c.rotation;
  }
}

}  // namespace
