// The clip editor's controls driven by the mouse, on Qt's offscreen platform,
// and the crop rectangle over a picture on a real X display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QThread>

#include <memory>
#include <vector>

#include "ui/clip_editor/widgets/draw_panel.h"
#include "ui/clip_editor/widgets/range_slider.h"

// Last: Xlib's macros clash with names in the headers above.
#include <X11/Xlib.h>

namespace {

class WidgetsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "clip_widgets_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  static void Mouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
  }
  static void Drag(QWidget* w, const std::vector<QPoint>& path) {
    Mouse(w, QEvent::MouseButtonPress, path.front(), Qt::LeftButton);
    for (size_t i = 1; i < path.size(); ++i) Mouse(w, QEvent::MouseMove, path[i], Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, path.back(), Qt::NoButton);
  }
  static QApplication* app_;
};
QApplication* WidgetsTest::app_ = nullptr;

TEST_F(WidgetsTest, TheSliderReportsTheDragLiveAndItsEndOnce) {
  CRangeSliderUI slider;
  slider.resize(600, 20);
  slider.setProperty("max", "100");  // as a layout sets its attributes
  slider.setProperty("value2", "50");
  slider.setProperty("thumbsize", "10,12");
  ASSERT_EQ(slider.GetMax(), 100);
  ASSERT_EQ(slider.GetValue(1), 50);
  QSignalSpy live(&slider, &CRangeSliderUI::thumbDragged);
  QSignalSpy ended(&slider, &CRangeSliderUI::notify);

  Drag(&slider, {QPoint(5, 10), QPoint(120, 10), QPoint(290, 10)});
  EXPECT_EQ(slider.GetValue(0), 20) << "the move to 48 came too close to 50";
  EXPECT_EQ(live.count(), 2);
  ASSERT_EQ(ended.count(), 1);
  EXPECT_EQ(ended.at(0).at(0).toString(), "valuechanged");
  EXPECT_EQ(slider.GetThumbFlags(0) & CRangeSliderUI::kThumbCaptured, 0u);

  Drag(&slider, {QPoint(400, 10), QPoint(450, 10)});  // beside both thumbs
  EXPECT_EQ(ended.count(), 1) << "no drag, no report";
  slider.SetValue(70, 1);
  EXPECT_EQ(ended.count(), 1) << "set by the program, not reported";
}

// A window the server fills with one colour, a child of `parent` at its top
// left, mapped before the panel exists.
class PictureWindow {
 public:
  PictureWindow(WId parent, int width, int height, unsigned long rgb) {
    display_ = XOpenDisplay(nullptr);
    if (!display_) return;
    window_ = XCreateSimpleWindow(display_, static_cast<Window>(parent), 0, 0, unsigned(width),
                                  unsigned(height), 0, 0, rgb);  // a 24-bit TrueColor screen
    XMapWindow(display_, window_);
    XSync(display_, False);
  }
  ~PictureWindow() {
    if (!display_) return;
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
};

class Listener : public IDrawPanelEvent {
 public:
  void OnRectChanged(float x, float y, float w, float h) override {
    last = {x, y, w, h};
    ++calls;
  }
  player::CropRect last;
  int calls = 0;
};

TEST_F(WidgetsTest, ThePanelLiesOverThePictureAndReportsItsDrags) {
  QWidget owner;
  owner.setGeometry(100, 100, 1000, 700);
  Listener listener;
  CVideoDrawPanel panel(&listener, 1920, 1080, &owner);
  EXPECT_FALSE(panel.SetArea(QRect()));
  ASSERT_TRUE(panel.SetArea(QRect(20, 30, 960, 540)));
  EXPECT_EQ(panel.size(), QSize(960, 540));
  EXPECT_EQ(panel.mapToGlobal(QPoint()), owner.mapToGlobal(QPoint(20, 30)));
  EXPECT_FLOAT_EQ(panel.scale(), 0.5f);
  panel.model().crop = {0, 0, 1920, 1080};
  panel.Redraw();

  // The bottom-right corner, dragged 100 screen pixels in: 200 source pixels.
  Drag(&panel, {QPoint(958, 538), QPoint(908, 488), QPoint(858, 438)});
  EXPECT_EQ(listener.calls, 2);
  EXPECT_FLOAT_EQ(listener.last.width, 1720);
  EXPECT_FLOAT_EQ(listener.last.height, 880);
  EXPECT_FLOAT_EQ(panel.model().crop.width, 1720);

  // Moved with its owner, it stays over the picture.
  owner.move(300, 200);
  panel.FollowOwner();
  EXPECT_EQ(panel.mapToGlobal(QPoint()), owner.mapToGlobal(QPoint(20, 30)));
}

// On a real display without a compositing manager: the rectangle shows, and
// the picture under the panel is not covered. As in the clip editor the
// picture is a window Qt never paints (there SDL draws into it): here a plain
// X11 child window of the owner, filled green by the server. Only the panel's
// shape lets it show through; the owner's own background is grey.
TEST_F(WidgetsTest, OnScreenTheRectangleShowsOverThePicture) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs a display";
  QWidget owner(nullptr, Qt::FramelessWindowHint);
  owner.setGeometry(0, 0, 400, 300);
  owner.setStyleSheet("background: rgb(90, 90, 90)");
  owner.setAutoFillBackground(true);
  owner.show();
  PictureWindow picture(owner.winId(), 400, 300, 0x00c800);
  ASSERT_TRUE(picture.ok()) << "no X display";
  Listener listener;
  CVideoDrawPanel panel(&listener, 400, 300, &owner);
  ASSERT_TRUE(panel.SetArea(QRect(0, 0, 400, 300)));  // raised over the picture
  panel.model().crop = {100, 100, 200, 100};
  panel.Redraw();
  auto pixel = [](int x, int y) {
    QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, x, y, 1, 1).toImage();
    return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
  };
  auto green = [](const QColor& c) { return c.green() > 150 && c.red() < 60 && c.blue() < 60; };
  QColor edge, inside, outside;
  // Until the server and Qt caught up; bounded only for a display that hangs.
  QElapsedTimer waited;
  waited.start();
  for (;;) {
    QApplication::processEvents();
    edge = pixel(100, 150);
    inside = pixel(200, 150);
    outside = pixel(50, 50);
    if ((edge.blue() > 150 && green(inside) && green(outside)) || waited.elapsed() > 60000) break;
    QThread::msleep(20);
  }
  EXPECT_GT(edge.blue(), 150) << edge.name().toStdString();
  EXPECT_LT(edge.green(), 150) << edge.name().toStdString();
  EXPECT_TRUE(green(inside)) << "the picture inside the rectangle: " << inside.name().toStdString();
  EXPECT_TRUE(green(outside)) << "the picture beside it: " << outside.name().toStdString();
  EXPECT_GT(pixel(102, 102).blue(), 150) << "a corner mark";
}

}  // namespace
