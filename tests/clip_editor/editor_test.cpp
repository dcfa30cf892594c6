// The clip editor dialog with the built skin: its boxes, its range slider and
// its rectangle offscreen, and on a real X display the playing picture with
// the rectangle over it, with and without a compositing manager.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "tests/app_ui/ui_fixture.h"
#include "tests/player/huge_gif.h"
#include "tests/support/media.h"
#include "ui/clip_editor/video_player_dlg.h"
#include "ui/clip_editor/widgets/range_slider.h"

namespace {

using uitest::WaitFor;

class EditorTest : public uitest::UiTest {
 protected:
  // An editor for a file of that length and frame, shown and filled.
  std::unique_ptr<CVideoPlayerDlg> Open(const std::string& file, int seconds, int width,
                                        int height) {
    auto dlg = std::make_unique<CVideoPlayerDlg>(nullptr, file, seconds, width, height);
    EXPECT_TRUE(dlg->Create());
    dlg->show();
    EXPECT_TRUE(WaitFor([&] { return dlg->isVisible(); }));
    return dlg;
  }
  static QLineEdit* Box(CVideoPlayerDlg& dlg, const char* name) {
    auto* edit = dlg.FindControl<QLineEdit>(QString::fromLatin1(name));
    EXPECT_NE(edit, nullptr) << name;
    return edit;
  }
  static std::string Text(CVideoPlayerDlg& dlg, const char* name) {
    return Box(dlg, name)->text().toStdString();
  }
  // As a person types: the box has the focus and changes.
  static void Type(CVideoPlayerDlg& dlg, const char* name, const char* text) {
    QLineEdit* edit = Box(dlg, name);
    edit->setFocus();
    edit->setText(QString::fromLatin1(text));
  }
  static void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
  }
  // A drag in global pixels, given to whichever widget lies under the
  // pointer as the display would.
  static void DragOnScreen(QPoint from, QPoint to) {
    QWidget* target = QApplication::widgetAt(from);
    ASSERT_NE(target, nullptr);
    auto local = [&](QPoint g) { return target->mapFromGlobal(g); };
    Mouse(target, QEvent::MouseButtonPress, local(from), Qt::LeftButton);
    for (int i = 1; i <= 4; ++i)
      Mouse(target, QEvent::MouseMove, local(from + (to - from) * i / 4), Qt::LeftButton);
    Mouse(target, QEvent::MouseButtonRelease, local(to), Qt::NoButton);
  }
  std::string File() { return path("clip.mp4"); }  // never read offscreen
};

TEST_F(EditorTest, TimeBoxesKeepOnlyRangesInsideTheFile) {
  struct Case {
    const char* box;
    const char* typed;
    const char* shown;
    int start, end;
  };
  const Case cases[] = {
      {"edtEndTime", "00:02:06", "00:02:05", 0, 125},  // past the end: the text it opened with
      {"edtEndTime", "00:01:05", "00:01:05", 0, 65},
      {"edtStartTime", "25:00:00", "00:00:00", 0, 125},  // hours above 24
      {"edtStartTime", "00:61:10", "00:00:10", 10, 125},
      {"edtStartTime", "00:01:75", "00:01:00", 60, 125},
      {"edtStartTime", "00:02:05", "00:00:00", 0, 125},  // a start must lie before the end of the file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.box) + " " + c.typed);
    auto dlg = Open(File(), 125, 640, 360);
    EXPECT_EQ(Text(*dlg, "edtEndTime"), "00:02:05");
    Type(*dlg, c.box, c.typed);
    EXPECT_EQ(Text(*dlg, c.box), c.shown);
    EXPECT_EQ(dlg->trimStart, c.start);
    EXPECT_EQ(dlg->trimEnd, c.end);
    // The thumbs stand where the box says.
    auto* range = dlg->FindControl<CRangeSliderUI>(QStringLiteral("sliderRect"));
    const float perUnit = 125.0f / range->GetMax();
    EXPECT_EQ(range->GetValue(0), int(c.start / perUnit));
    EXPECT_EQ(range->GetValue(1), int(c.end / perUnit));
  }

  // A range never runs backwards: a start after the end goes back to the
  // text the box opened with, as an end before the start does.
  auto dlg = Open(File(), 125, 640, 360);
  Type(*dlg, "edtEndTime", "00:00:14");
  Type(*dlg, "edtStartTime", "00:00:18");
  EXPECT_EQ(Text(*dlg, "edtStartTime"), "00:00:00");
  EXPECT_EQ(dlg->trimStart, 0);
  EXPECT_EQ(dlg->trimEnd, 14);
}

TEST_F(EditorTest, DraggingAThumbOntoTheOtherPushesItASecondAway) {
  auto dlg = Open(File(), 125, 640, 360);
  Type(*dlg, "edtStartTime", "00:00:40");
  auto* range = dlg->FindControl<CRangeSliderUI>(QStringLiteral("sliderRect"));
  ASSERT_NE(range, nullptr);
  const QPoint second = range->ThumbRect(1).center();
  const QPoint first = range->ThumbRect(0).center();
  // The end thumb dragged as far left as it goes: onto the start.
  Mouse(range, QEvent::MouseButtonPress, second, Qt::LeftButton);
  for (int x = second.x(); x >= first.x() - 40; x -= 8)
    Mouse(range, QEvent::MouseMove, QPoint(x, second.y()), Qt::LeftButton);
  Mouse(range, QEvent::MouseButtonRelease, QPoint(first.x() - 40, second.y()), Qt::NoButton);
  EXPECT_EQ(dlg->trimStart, 40);
  EXPECT_EQ(dlg->trimEnd, 41);
  EXPECT_EQ(Text(*dlg, "edtEndTime"), "00:00:41");
  EXPECT_EQ(Text(*dlg, "edtStartTime"), "00:00:40");
}

TEST_F(EditorTest, CropBoxesKeepTheRectangleInsideThePicture) {
  auto dlg = Open(File(), 60, 640, 360);
  auto* keep = dlg->FindControl<QCheckBox>(QStringLiteral("optKeepRatio"));
  ASSERT_NE(keep, nullptr);
  EXPECT_TRUE(keep->isChecked());

  // Under the kept ratio a new width brings its height.
  Type(*dlg, "edtWidth", "320");
  EXPECT_EQ(Text(*dlg, "edtHeight"), "180");
  EXPECT_FLOAT_EQ(dlg->panel()->model().crop.height, 180);

  keep->click();  // off: the rectangle stays
  EXPECT_FALSE(dlg->keepRatio);
  EXPECT_EQ(Text(*dlg, "edtWidth"), "320");
  Type(*dlg, "edtWidth", "9999");
  EXPECT_EQ(Text(*dlg, "edtWidth"), "640");
  Type(*dlg, "edtPosX", "640");
  EXPECT_EQ(Text(*dlg, "edtPosX"), "639");
  EXPECT_EQ(Text(*dlg, "edtWidth"), "1");
  EXPECT_EQ(Text(*dlg, "edtHeight"), "180");  // the other side is not touched

  // An emptied box waits for its digits, and shows its value again when left.
  Type(*dlg, "edtPosY", "");
  EXPECT_FLOAT_EQ(dlg->panel()->model().crop.y, 0);
  QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(Box(*dlg, "edtPosY"), &leave);
  EXPECT_EQ(Text(*dlg, "edtPosY"), "0");

  keep->click();  // on again: the whole picture
  EXPECT_TRUE(dlg->keepRatio);
  for (auto [box, text] : {std::pair{"edtPosX", "0"}, {"edtPosY", "0"}, {"edtWidth", "640"},
                           {"edtHeight", "360"}})
    EXPECT_EQ(Text(*dlg, box), text) << box;
}

TEST_F(EditorTest, EnterAndEscapeLeaveTheEditorOpenAndOkTakesTheRectangle) {
  auto dlg = Open(File(), 60, 640, 360);
  ASSERT_TRUE(WaitFor([&] { return !dlg->pictureRect().isEmpty(); }));
  // Offscreen there is no X11 window to play into: the editor says so and
  // still trims and crops.
  EXPECT_TRUE(WaitFor([&] { return !dlg->endText().isEmpty(); }));
  for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
    Box(*dlg, "edtWidth")->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(Box(*dlg, "edtWidth"), &press);
    QKeyEvent pressOnWindow(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(dlg.get(), &pressOnWindow);
    EXPECT_TRUE(dlg->isVisible()) << key;
  }

  // The bottom-right corner dragged up and left on the rectangle.
  CVideoDrawPanel* panel = dlg->panel();
  const QRect area = dlg->pictureRect();
  const float scale = panel->scale();
  const QPoint corner(area.width() - 2, area.height() - 2);
  const QPoint to = corner - QPoint(area.width() / 4, area.height() / 4);
  Mouse(panel, QEvent::MouseButtonPress, corner, Qt::LeftButton);
  Mouse(panel, QEvent::MouseMove, corner - QPoint(10, 10), Qt::LeftButton);
  Mouse(panel, QEvent::MouseMove, to, Qt::LeftButton);
  Mouse(panel, QEvent::MouseButtonRelease, to, Qt::NoButton);
  const player::CropRect crop = panel->model().crop;
  EXPECT_LT(crop.width, 640 * 0.8f);
  EXPECT_NEAR(crop.width / crop.height, 640.0f / 360.0f, 0.05f);  // the ratio is kept
  EXPECT_EQ(Text(*dlg, "edtWidth"), std::to_string(std::lround(crop.width)));
  EXPECT_NEAR(crop.width * scale, to.x() + 1, 3);

  dlg->FindControl<QAbstractButton>(QStringLiteral("btnOK"))->click();
  EXPECT_TRUE(dlg->accepted);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->cropWidth, int(crop.width));
  EXPECT_EQ(dlg->cropHeight, int(crop.height));
  EXPECT_TRUE(dlg->player().finished());
}

TEST_F(EditorTest, StepsOfATenthStopAtTheEndsAndSeekOnlyToNewSeconds) {
  auto dlg = Open(File(), 100, 640, 360);
  player::PlayerControl& control = dlg->player().control();
  struct Case {
    double at;
    const char* button;
    int seek;
  };
  const Case cases[] = {
      {50.0, "btnFastForward", 60},
      {95.5, "btnFastForward", 100},  // not past the end
      {4.0, "btnFastBackward", 0},    // not before the start
      {50.0, "btnFastBackward", 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " at " + std::to_string(c.at));
    control.positionSeconds = c.at;
    control.command = player::Playing;
    dlg->FindControl<QAbstractButton>(QString::fromLatin1(c.button))->click();
    EXPECT_EQ(control.seekSeconds.load(), c.seek);
    EXPECT_EQ(control.command.load(), int(player::SeekRequested));
  }
  // The same second again asks nothing of the player.
  control.command = player::Playing;
  dlg->FindControl<QAbstractButton>(QStringLiteral("btnFastBackward"))->click();
  EXPECT_EQ(control.command.load(), int(player::Playing));
}

// On a real X display (the ctest entries run it under Xvfb, once with a
// compositing manager): what a person sees is read from the screen.
class EditorOnScreenTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs X11";
    if (getenv("PELMAR_TEST_COMPOSITOR")) {
      // The compositing manager starts beside the test.
      ASSERT_TRUE(WaitFor([] { return CVideoDrawPanel::Composited(); }));
    } else {
      ASSERT_FALSE(CVideoDrawPanel::Composited());
    }
  }
  static QColor Pixel(QPoint global) {
    QImage shot =
        QGuiApplication::primaryScreen()->grabWindow(0, global.x(), global.y(), 1, 1).toImage();
    return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
  }
  static bool Red(const QColor& c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; }
  static bool Line(const QColor& c) { return c.blue() > 150 && c.red() < 120; }
  // The red picture, dimmed outside the rectangle.
  static bool Dim(const QColor& c) {
    return c.red() > 70 && c.red() < 170 && c.green() < 50 && c.blue() < 50;
  }
};

TEST_F(EditorOnScreenTest, OnScreenThePlayingPictureShowsUnderTheRectangle) {
  const std::string file = path("red.mp4");
  testsupport::MediaSpec spec = testsupport::Clip(8, 320, 240);
  spec.color = "red";
  ASSERT_EQ(testsupport::MakeMedia(file, spec), "");
  auto dlg = Open(file, 8, 320, 240);
  ASSERT_TRUE(WaitFor([&] { return !dlg->pictureRect().isEmpty(); }));
  const QRect area(dlg->mapToGlobal(dlg->pictureRect().topLeft()), dlg->pictureRect().size());
  const QPoint middle = area.center();
  EXPECT_TRUE(WaitFor([&] { return Red(Pixel(middle)); }))
      << Pixel(middle).name().toStdString() << " " << dlg->endText().toStdString();
  EXPECT_TRUE(WaitFor([&] { return dlg->player().control().positionSeconds.load() > 0.3; }));

  // A smaller rectangle: its edge shows, the picture inside it too.
  dlg->FindControl<QCheckBox>(QStringLiteral("optKeepRatio"))->click();
  Type(*dlg, "edtPosX", "80");
  Type(*dlg, "edtPosY", "60");
  Type(*dlg, "edtWidth", "160");
  Type(*dlg, "edtHeight", "120");
  const float scale = dlg->panel()->scale();
  const QPoint topLeft = area.topLeft() + QPoint(int(80 * scale), int(60 * scale));
  const QPoint leftEdge = topLeft + QPoint(0, int(60 * scale));
  EXPECT_TRUE(WaitFor([&] { return Line(Pixel(leftEdge)) && Red(Pixel(middle)); }))
      << "edge " << Pixel(leftEdge).name().toStdString() << ", inside "
      << Pixel(middle).name().toStdString();
  EXPECT_TRUE(Line(Pixel(topLeft + QPoint(2, 2)))) << "a corner mark";

  // The pointer on the inside moves the rectangle, as it finds it on screen.
  DragOnScreen(middle, middle + QPoint(int(40 * scale), int(20 * scale)));
  EXPECT_EQ(Text(*dlg, "edtPosX"), "120");
  EXPECT_EQ(Text(*dlg, "edtPosY"), "80");
  EXPECT_EQ(Text(*dlg, "edtWidth"), "160");

  // The rectangle stays over the picture when the dialog moves.
  const QPoint shift(60, 40);
  dlg->move(dlg->pos() + shift);
  const QPoint movedMark = area.topLeft() + shift + QPoint(int(120 * scale) + 2, int(80 * scale) + 2);
  EXPECT_TRUE(WaitFor([&] { return Line(Pixel(movedMark)); }))
      << Pixel(movedMark).name().toStdString();

  // Closed by the desktop: the player ends before the window goes.
  dlg->close();
  EXPECT_TRUE(dlg->player().finished());
  EXPECT_FALSE(dlg->accepted);
}

// On the file's last picture, paused, no new picture comes to cover what the
// rectangle leaves behind when it moves: the picture is drawn anew, bright
// inside the rectangle and dimmed outside it, with no trace of the old one.
TEST_F(EditorOnScreenTest, OnScreenAMovedRectangleLeavesNoTraceOnAPausedPicture) {
  const std::string file = path("red.mp4");
  testsupport::MediaSpec spec = testsupport::Clip(1, 320, 240);
  spec.color = "red";
  ASSERT_EQ(testsupport::MakeMedia(file, spec), "");
  auto dlg = Open(file, 1, 320, 240);
  ASSERT_TRUE(WaitFor([&] { return !dlg->pictureRect().isEmpty(); }));
  const QRect area(dlg->mapToGlobal(dlg->pictureRect().topLeft()), dlg->pictureRect().size());
  ASSERT_TRUE(WaitFor([&] { return dlg->player().control().positionSeconds.load() > 0.9; }));
  auto* pause = dlg->FindControl<QAbstractButton>(QStringLiteral("btnPause"));
  if (pause->isVisible()) pause->click();
  ASSERT_TRUE(WaitFor([&] { return dlg->player().control().command.load() == player::Paused; }));

  dlg->FindControl<QCheckBox>(QStringLiteral("optKeepRatio"))->click();
  Type(*dlg, "edtWidth", "160");
  Type(*dlg, "edtHeight", "120");
  Type(*dlg, "edtPosX", "40");
  Type(*dlg, "edtPosY", "60");
  const float scale = dlg->panel()->scale();
  auto at = [&](int x, int y) { return area.topLeft() + QPoint(int(x * scale), int(y * scale)); };
  // The rectangle's left edge and its top-right corner mark.
  const QPoint oldLeft = at(40, 120);
  const QPoint oldMark = QPoint(at(40, 0).x() + int(160 * scale) - 3, at(0, 60).y() + 2);
  ASSERT_TRUE(WaitFor([&] {
    return Line(Pixel(oldLeft)) && Line(Pixel(oldMark)) && Dim(Pixel(at(20, 120)));
  })) << Pixel(oldLeft).name().toStdString() << " " << Pixel(oldMark).name().toStdString()
      << ", outside " << Pixel(at(20, 120)).name().toStdString();

  // Dragged by its inside, as a person moves it, 80 pixels to the right.
  DragOnScreen(at(100, 100), at(180, 100));
  EXPECT_EQ(Text(*dlg, "edtPosX"), "120");
  const QPoint newLeft = at(120, 120);
  ASSERT_TRUE(WaitFor([&] { return Line(Pixel(newLeft)); })) << Pixel(newLeft).name().toStdString();
  EXPECT_TRUE(WaitFor([&] {
    return Red(Pixel(oldMark)) && Red(Pixel(at(150, 90))) && Dim(Pixel(oldLeft)) &&
           Dim(Pixel(at(100, 120)));
  })) << "the old mark, now inside: " << Pixel(oldMark).name().toStdString()
      << ", the old left edge, now outside: " << Pixel(oldLeft).name().toStdString();
  dlg->close();
}

// Played as a person plays it: the picture stops at the end of the kept
// range with the play button showing, play runs the range again, the end of
// the file stops it the same way, and a dragged thumb shows its picture.
TEST_F(EditorOnScreenTest, OnScreenPlayingStopsAtTheRangesEndAndAThumbShowsItsPicture) {
  const std::string file = path("clip.mkv");
  testsupport::MediaSpec spec = testsupport::Clip(4, 320, 240);
  spec.videoCodec = "mpeg4";  // key frames every few pictures: seeks land near their target
  ASSERT_EQ(testsupport::MakeMedia(file, spec), "");
  auto dlg = Open(file, 4, 320, 240);
  player::PlayerControl& control = dlg->player().control();
  auto* play = dlg->FindControl<QAbstractButton>(QStringLiteral("btnPlay"));
  auto* pause = dlg->FindControl<QAbstractButton>(QStringLiteral("btnPause"));
  auto position = [&] { return control.positionSeconds.load(); };
  auto showsPlay = [&] { return play->isVisible() && !pause->isVisible(); };
  Type(*dlg, "edtEndTime", "00:00:02");

  ASSERT_TRUE(WaitFor(showsPlay)) << "stopped at " << position();
  const double stop = position();
  EXPECT_GE(stop, 1.8);
  EXPECT_LT(stop, 2.0);
  QThread::msleep(300);
  EXPECT_EQ(position(), stop) << "the picture stays";

  play->click();  // the range again, from its start
  EXPECT_TRUE(WaitFor([&] { return position() < 1.0; })) << position();
  ASSERT_TRUE(WaitFor([&] { return position() > 1.0 && showsPlay(); })) << position();
  EXPECT_LT(position(), 2.0);

  Type(*dlg, "edtEndTime", "00:00:04");  // the whole file: its end stops it
  play->click();
  EXPECT_TRUE(WaitFor([&] { return !showsPlay(); }));
  ASSERT_TRUE(WaitFor([&] { return position() > 3.8 && showsPlay(); })) << position();

  // Each thumb dragged shows the picture at its time, paused.
  auto* range = dlg->FindControl<CRangeSliderUI>(QStringLiteral("sliderRect"));
  ASSERT_NE(range, nullptr);
  for (int thumb : {0, 1}) {
    SCOPED_TRACE(thumb);
    const QPoint from = range->ThumbRect(thumb).center();
    const QPoint to = from + QPoint((thumb == 0 ? 1 : -1) * range->width() / 4, 0);
    Mouse(range, QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int i = 1; i <= 8; ++i) {
      Mouse(range, QEvent::MouseMove, from + (to - from) * i / 8, Qt::LeftButton);
      QThread::msleep(30);
      QCoreApplication::processEvents();
    }
    Mouse(range, QEvent::MouseButtonRelease, to, Qt::NoButton);
    const int seconds = thumb == 0 ? dlg->trimStart : dlg->trimEnd;
    EXPECT_GT(seconds, 0);
    EXPECT_LT(seconds, 4);
    EXPECT_TRUE(WaitFor([&] {
      return position() >= seconds - 0.5 && position() < seconds + 0.6 &&
             control.command.load() == player::Paused;
    })) << "at " << position() << " for " << seconds;
    EXPECT_TRUE(showsPlay());
  }
  dlg->close();
}

// A phone's portrait clip, opened with its upright sides as the main window
// does: the picture stands upright in an upright place, the stored picture's
// red top-left quarter at its top right, and the rectangle lies over it.
TEST_F(EditorOnScreenTest, OnScreenAPortraitClipShowsUpright) {
  const std::string file = path("phone.mp4");
  testsupport::MediaSpec spec = testsupport::Clip(8, 320, 240);
  spec.rotation = 90;
  spec.color = "blue";
  spec.corner = "red";
  ASSERT_EQ(testsupport::MakeMedia(file, spec), "");
  auto dlg = Open(file, 8, 240, 320);
  ASSERT_TRUE(WaitFor([&] { return !dlg->pictureRect().isEmpty(); }));
  const QRect area(dlg->mapToGlobal(dlg->pictureRect().topLeft()), dlg->pictureRect().size());
  EXPECT_LT(area.width(), area.height());
  const int w = area.width(), h = area.height();
  auto at = [&](int x, int y) { return Pixel(area.topLeft() + QPoint(x, y)); };
  auto blue = [](const QColor& c) { return c.blue() > 180 && c.red() < 80; };
  EXPECT_TRUE(WaitFor([&] {
    return Red(at(w * 3 / 4, h / 4)) && blue(at(w / 4, h / 4)) && blue(at(w / 4, h * 3 / 4)) &&
           blue(at(w * 3 / 4, h * 3 / 4));
  })) << at(w / 4, h / 4).name().toStdString() << " " << at(w * 3 / 4, h / 4).name().toStdString()
      << " " << at(w / 4, h * 3 / 4).name().toStdString() << " "
      << at(w * 3 / 4, h * 3 / 4).name().toStdString();
  // The whole upright picture is the rectangle: its edge runs along the picture's.
  EXPECT_TRUE(WaitFor([&] { return Line(at(1, h / 2)); })) << at(1, h / 2).name().toStdString();
  EXPECT_EQ(Text(*dlg, "edtWidth"), "240");
  EXPECT_EQ(Text(*dlg, "edtHeight"), "320");
  dlg->close();
  EXPECT_TRUE(dlg->player().finished());
}

// A file that does not open, and one that opens but whose picture no decoder
// takes, both say why in the picture's place.
TEST_F(EditorOnScreenTest, OnScreenAFileThatCannotPlaySaysWhyInThePicturesPlace) {
  const std::string notes = path("notes.mp4"), huge = path("huge.gif");
  std::ofstream(notes) << "these are notes, not a film\n";
  ASSERT_EQ(testsupport::MakeHugeGif(huge), "");
  const std::pair<std::string, const char*> cases[] = {
      {notes, "cannot open"}, {huge, "picture size 65535x65535 is invalid"}};
  for (const auto& [file, why] : cases) {
    SCOPED_TRACE(file);
    auto dlg = Open(file, 1, 320, 240);
    ASSERT_TRUE(WaitFor([&] { return !dlg->endText().isEmpty(); }));
    EXPECT_NE(dlg->endText().indexOf(QStringLiteral("cannot be played")), -1)
        << dlg->endText().toStdString();
    EXPECT_NE(dlg->endText().indexOf(QString::fromLatin1(why)), -1) << dlg->endText().toStdString();
    dlg->FindControl<QAbstractButton>(QStringLiteral("btnClose"))->click();
    EXPECT_FALSE(dlg->accepted);
  }
}

}  // namespace
