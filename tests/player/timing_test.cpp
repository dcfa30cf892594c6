// The clock formulas and the picture delay rules.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "player/sync_clock.h"
#include "player/video_output.h"

namespace player {
namespace {

TEST(SyncClock, RunsFromItsLastUpdateAtItsSpeed) {
  std::atomic<int> fifoSerial{1};
  SyncClock clock(&fifoSerial);
  EXPECT_TRUE(std::isnan(clock.Get())) << "unset";

  clock.SetAt(10.0, 1, 100.0);
  EXPECT_DOUBLE_EQ(clock.GetAt(100.0), 10.0);
  EXPECT_DOUBLE_EQ(clock.GetAt(102.5), 12.5);

  clock.SetSpeed(0.5);  // re-anchors at the current time, then runs at half speed
  const double anchor = clock.lastUpdated();
  const double value = clock.GetAt(anchor);
  EXPECT_DOUBLE_EQ(clock.GetAt(anchor + 2.0), value + 1.0);

  clock.SetPaused(true);
  EXPECT_DOUBLE_EQ(clock.GetAt(anchor + 50.0), clock.time());
  clock.SetPaused(false);

  fifoSerial = 2;  // a seek: data of serial 1 no longer counts
  EXPECT_TRUE(std::isnan(clock.GetAt(100.0)));
  clock.SetAt(3.0, 2, 100.0);
  EXPECT_DOUBLE_EQ(clock.GetAt(100.0), 3.0);
}

TEST(SyncClock, OwnSerialAndFollowingAnotherClock) {
  // Checked against the clocks' own anchors, never against the time the
  // test itself takes: a busy machine may pause it anywhere.
  std::atomic<int> fifoSerial{4};
  SyncClock audio(&fifoSerial);
  SyncClock external;
  EXPECT_TRUE(std::isnan(external.Get()));
  external.Set(7.0, 0);  // bound to its own serial: any serial counts
  EXPECT_DOUBLE_EQ(external.GetAt(external.lastUpdated()), 7.0);
  EXPECT_FALSE(std::isnan(external.Get()));

  audio.Set(20.0, 4);
  external.Follow(audio);  // more than 10 s apart: jumps
  EXPECT_EQ(external.serial(), 4);
  // It took the audio clock's reading at some moment between the audio
  // update and its own: between 20 and the audio clock at its new anchor.
  const double jumped = external.time();
  const double anchor = external.lastUpdated();
  EXPECT_GE(jumped, 20.0);
  EXPECT_LE(jumped, audio.GetAt(anchor));
  EXPECT_GE(anchor, audio.lastUpdated());

  audio.Set(25.0, 4);
  external.Follow(audio);  // close enough: keeps its own pace, untouched
  EXPECT_EQ(external.time(), jumped);
  EXPECT_EQ(external.lastUpdated(), anchor);

  SyncClock unset(&fifoSerial);
  external.Follow(unset);  // an unset clock is never followed
  EXPECT_EQ(external.time(), jumped);
  EXPECT_EQ(external.lastUpdated(), anchor);
}

TEST(TargetDelay, CorrectsOnlyBeyondTheThreshold) {
  struct Case {
    double delay, diff, expected;
  };
  const Case cases[] = {
      {0.04, 0.0, 0.04},    // in step
      {0.04, 0.03, 0.04},   // early, but within 40 ms
      {0.04, -0.03, 0.04},  // late, but within 40 ms
      {0.04, -0.05, 0.0},   // late: no wait (never negative)
      {0.2, -0.15, 0.05},   // late, long pictures: wait less
      {0.08, -0.05, 0.08},  // the threshold grows with the picture's duration
      {0.04, 0.05, 0.08},   // early, short pictures: show twice as long
      {0.2, 0.15, 0.35},    // early, long pictures: wait the difference more
      {0.2, 0.08, 0.2},     // long pictures: the threshold is capped at 0.1
      {0.04, NAN, 0.04},    // no master clock yet
      {0.04, 12.0, 0.04},   // too far apart to correct
  };
  for (const Case& c : cases)
    EXPECT_NEAR(TargetDelay(c.delay, c.diff, 10.0), c.expected, 1e-9)
        << "delay " << c.delay << " diff " << c.diff;
}

}  // namespace
}  // namespace player
