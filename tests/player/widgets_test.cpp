// The clip editor's controls driven by the mouse, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QThread>

#include <memory>
#include <vector>

#include "player/widgets/draw_panel.h"
#include "player/widgets/range_slider.h"

namespace {

class WidgetsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "player_widgets_tests";
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
// the picture under the panel is not covered by a black box.
TEST_F(WidgetsTest, OnScreenTheRectangleShowsOverThePicture) {
  if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs a display";
  QWidget owner(nullptr, Qt::FramelessWindowHint);
  owner.setGeometry(0, 0, 400, 300);
  owner.setStyleSheet("background: rgb(0, 200, 0)");
  owner.setAutoFillBackground(true);
  owner.show();
  Listener listener;
  CVideoDrawPanel panel(&listener, 400, 300, &owner);
  ASSERT_TRUE(panel.SetArea(QRect(0, 0, 400, 300)));
  panel.model().crop = {100, 100, 200, 100};
  panel.Redraw();
  auto pixel = [](int x, int y) {
    QImage shot = QGuiApplication::primaryScreen()->grabWindow(0, x, y, 1, 1).toImage();
    return shot.isNull() ? QColor() : shot.pixelColor(0, 0);
  };
  QColor edge, inside;
  for (int i = 0; i < 200; ++i) {  // until the window manager and the server caught up
    QApplication::processEvents();
    edge = pixel(100, 150);
    inside = pixel(200, 150);
    if (edge.blue() > 150 && inside.green() > 150) break;
    QThread::msleep(20);
  }
  EXPECT_GT(edge.blue(), 150) << edge.name().toStdString();
  EXPECT_LT(edge.green(), 150) << edge.name().toStdString();
  EXPECT_GT(inside.green(), 150) << "the picture shows through: " << inside.name().toStdString();
  EXPECT_GT(pixel(102, 102).blue(), 150) << "a corner mark";
}

}  // namespace
