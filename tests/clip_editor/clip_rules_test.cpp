#include <gtest/gtest.h>

#include <string>

#include "ui/clip_editor/rules/clip_times.h"
#include "ui/clip_editor/rules/crop_model.h"
#include "ui/clip_editor/rules/range_slider_model.h"

namespace player {
namespace {

TEST(ClipTimesTest, TypedTimesAreTakenCorrectedOrReset) {
  const int duration = 125;  // the end box opens as 00:02:05
  struct Case {
    bool end;
    std::string typed;
    TimeEdit::Kind kind;
    std::string text;
    int seconds;
  } cases[] = {
      {true, "00:02:06", TimeEdit::kReset, "", 0},  // past the end of the file
      {true, "00:02:05", TimeEdit::kAccept, "", 125},
      {true, "00:00:05", TimeEdit::kReset, "", 0},  // before the start (10 s)
      {false, "25:00:00", TimeEdit::kCorrect, "00:00:00", 0},
      {false, "00:61:10", TimeEdit::kCorrect, "00:00:10", 0},
      {false, "00:01:75", TimeEdit::kCorrect, "00:01:00", 0},
      {false, "12", TimeEdit::kReset, "", 0},
      {false, "1:2:3:4", TimeEdit::kReset, "", 0},
      {false, "00:02:05", TimeEdit::kReset, "", 0},  // a start at the very end keeps nothing
      // The kept range ends at 100 s: a start must come before it, an end after
      // the start (10 s); neither may run the range backwards or keep nothing.
      {false, "00:01:30", TimeEdit::kAccept, "", 90},
      {false, "00:01:40", TimeEdit::kReset, "", 0},
      {false, "00:01:50", TimeEdit::kReset, "", 0},
      {true, "00:00:10", TimeEdit::kReset, "", 0},
      {true, "00:00:11", TimeEdit::kAccept, "", 11},
      {false, "24:00:00", TimeEdit::kReset, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    TimeEdit e = c.end ? CheckEndText(c.typed, 10, duration)
                       : CheckStartText(c.typed, 100, duration);
    EXPECT_EQ(e.kind, c.kind);
    if (c.kind == TimeEdit::kCorrect) {
      EXPECT_EQ(e.text, c.text);
    }
    if (c.kind == TimeEdit::kAccept) {
      EXPECT_EQ(e.seconds, c.seconds);
    }
  }
  EXPECT_EQ(ClockText(125), "00:02:05");
  EXPECT_EQ(ClockText(90000), "01:00:00");  // a time of day wraps
}

TEST(ClipTimesTest, CropBoxesStayInsideThePicture) {
  const int w = 640, h = 360;
  CropRect crop{0, 0, 640, 360};
  CropEdit e = ApplyCropText(CropField::kWidth, "1000", &crop, w, h, false);
  EXPECT_EQ(e.ownText, "640");
  EXPECT_EQ(crop.width, 640);

  e = ApplyCropText(CropField::kX, "640", &crop, w, h, false);
  EXPECT_EQ(e.ownText, "639");
  EXPECT_EQ(e.otherText, "1");
  EXPECT_EQ(crop.x, 639);
  EXPECT_EQ(crop.width, 1);

  crop = CropRect{0, 0, 640, 360};
  e = ApplyCropText(CropField::kY, "-5", &crop, w, h, false);
  EXPECT_EQ(e.ownText, "0");
  EXPECT_EQ(crop.y, 0);

  // Under the kept ratio the other side follows, but never past the frame.
  crop = CropRect{0, 200, 640, 160};
  e = ApplyCropText(CropField::kWidth, "320", &crop, w, h, true);
  EXPECT_EQ(crop.width, 320);
  EXPECT_EQ(crop.height, 160);  // 320 / (16:9) = 180 would leave the picture
  EXPECT_EQ(e.otherText, "160");
  e = ApplyCropText(CropField::kHeight, "90", &crop, w, h, true);
  EXPECT_EQ(crop.width, 160);
  EXPECT_EQ(e.otherText, "160");
}

TEST(RangeSliderModelTest, ThumbsKeepTheirGapAndFollowThePointer) {
  RangeSliderModel s;
  s.bounds = {0, 0, 600, 20};
  s.maximum = 100;
  s.value[0] = 10;
  s.value[1] = 50;
  EXPECT_EQ(s.MinimumGap(), 6);
  EXPECT_EQ(s.Thumb(0).left, 60);  // right of its position
  EXPECT_EQ(s.Thumb(1).right, 300);  // left of its position
  EXPECT_EQ(s.Thumb(0).top, 5);

  ASSERT_TRUE(s.Press(65, 10));
  EXPECT_EQ(s.Move(258), 0);
  EXPECT_EQ(s.value[0], 43);
  EXPECT_EQ(s.Move(270), 0);  // 45 would come within 6 of 50: refused
  EXPECT_EQ(s.value[0], 43);
  EXPECT_EQ(s.Move(2000), 0);
  EXPECT_EQ(s.value[0], 43) << "the maximum is too close as well";
  EXPECT_EQ(s.Move(5), 0);
  EXPECT_EQ(s.value[0], 0) << "one thumb width from the left end gives the minimum";
  EXPECT_TRUE(s.Release());
  EXPECT_FALSE(s.Release()) << "a drag ends once";
  EXPECT_EQ(s.Move(100), -1);

  // Where the thumbs overlap both are captured and the first one moves.
  s.value[0] = 50;
  s.value[1] = 52;
  s.maximum = 1000;  // more units than pixels: no gap, the thumbs may meet
  EXPECT_EQ(s.MinimumGap(), 0);
  s.value[0] = 500;
  s.value[1] = 510;
  ASSERT_TRUE(s.Press(301, 10));
  EXPECT_EQ(s.flags[0] & s.flags[1] & RangeSliderModel::kThumbCaptured,
            RangeSliderModel::kThumbCaptured);
  EXPECT_EQ(s.Move(306), 0);
  EXPECT_EQ(s.value[0], 510);
  EXPECT_EQ(s.value[1], 510);

  s.minimum = s.maximum = 0;  // an empty range draws, it does not divide by zero
  EXPECT_EQ(s.PositionOf(0), 0);
}

TEST(CropModelTest, ZonesAndDrags) {
  CropModel m(1920, 1080);
  m.SetArea(960, 540);
  EXPECT_FLOAT_EQ(m.scale(), 0.5f);
  m.crop = {200, 200, 400, 400};  // 100..300 on screen
  struct Zone {
    int x, y;
    CropZone zone;
  } zones[] = {{150, 150, kZoneMove}, {101, 101, kZoneTopLeft}, {101, 299, kZoneBottomLeft},
               {292, 92, kZoneTopRight},  // the wider top-right zone
               {299, 299, kZoneBottomRight}, {50, 50, kZoneNone}, {104, 200, kZoneNone}};
  for (const Zone& z : zones) EXPECT_EQ(m.ZoneAt(z.x, z.y), z.zone) << z.x << "," << z.y;

  // Inside: 10 screen pixels move 20 source pixels; 4 pixels do nothing yet.
  m.Press(150, 150);
  EXPECT_FALSE(m.Move(154, 150));
  EXPECT_TRUE(m.Move(160, 150));
  EXPECT_FLOAT_EQ(m.crop.x, 220);
  // Against the right edge the x move is undone, the y move still applies.
  m.crop = {1510, 200, 400, 400};
  EXPECT_TRUE(m.Move(170, 160));
  EXPECT_FLOAT_EQ(m.crop.x, 1510);
  EXPECT_FLOAT_EQ(m.crop.y, 220);
  m.Release();

  // A corner past the right edge: the width ends at the edge.
  m.crop = {201, 100, 400, 400};
  m.Press(300, 250);
  ASSERT_EQ(m.dragMode(), kZoneBottomRight);
  EXPECT_TRUE(m.Move(960, 260));
  EXPECT_FLOAT_EQ(m.crop.width, 1719);
  m.Release();

  // The kept ratio holds on every corner.
  for (int corner : {0, 1}) {
    m.crop = {400, 200, 800, 450};
    m.keepRatio = true;
    m.ratio = 16.0f / 9.0f;
    const int px = corner ? 600 : 200, py = corner ? 325 : 100;
    m.Press(px, py);
    EXPECT_TRUE(m.Move(px - 40, py - 10));
    EXPECT_NEAR(m.crop.height, m.crop.width * 9 / 16, 1.0);
    m.Release();
  }

  // A press outside the rectangle drags nothing.
  m.crop = {200, 200, 400, 400};
  m.Press(900, 500);
  EXPECT_FALSE(m.Move(700, 300));
  EXPECT_FLOAT_EQ(m.crop.x, 200);
}

}  // namespace
}  // namespace player
