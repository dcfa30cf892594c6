// The skin's controls as the main window's rows and bottom bar use them: texts
// too long for their place end with "…" and tell all of themselves in a
// tooltip, frame sizes read "1920 × 1080", and a click leaves no focus frame
// on a button while the Tab key still shows where the focus is.
#include <QApplication>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/ui/layout.h"
#include "app/ui/skin.h"
#include "app/ui/skin_controls.h"
#include "tests/app_ui/ui_fixture.h"

namespace {

using uitest::UiTest;

const QString kLong = QStringLiteral(
    "holiday_2023_the_whole_family_at_the_lake_with_grandmother_and_the_dogs_part_"
    "seventeen_of_twenty_final_cut.mp4");

// A layout in a window of the skin's style, shown at a size.
std::unique_ptr<QWidget> ShowLayout(const char* design, QSize size) {
  auto window = std::make_unique<QWidget>();
  window->setStyleSheet(app::SkinStyleSheet());
  QWidget* root = app::LoadLayout(design, window.get());
  EXPECT_NE(root, nullptr);
  if (root) root->setGeometry(QRect(QPoint(), size));
  window->resize(size);
  window->show();
  EXPECT_TRUE(uitest::WaitFor([&] { return window->isVisible(); }));
  QApplication::processEvents();
  return window;
}

QImage Picture(QWidget* w) { return w->grab().toImage(); }

// What a person hovering the control reads: the tooltip, or "" for none.
QString TipOf(QWidget* control) {
  QToolTip::hideText();
  EXPECT_TRUE(uitest::WaitFor([] { return !QToolTip::isVisible(); }));
  const QPoint at = control->rect().center();
  QHelpEvent help(QEvent::ToolTip, at, control->mapToGlobal(at));
  QApplication::sendEvent(control, &help);
  QApplication::processEvents();
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

QString ShownText(QWidget* control) {
  if (auto* label = qobject_cast<app::SkinLabel*>(control)) return label->ShownText();
  if (auto* edit = qobject_cast<app::SkinEdit*>(control)) return edit->ShownText();
  return QString();
}

TEST_F(UiTest, LongTextsOfRowsAndFolderEndWithAnEllipsisAndShowAllInATooltip) {
  auto row = ShowLayout("video_info.xml", QSize(730, 96));
  auto bar = ShowLayout("ConverCtrl.xml", QSize(800, 76));
  const QString folder = QStringLiteral("/home/someone/Videos/") + kLong.left(60) +
                         QStringLiteral("/converted/for the phone/2024");
  struct Case {
    QWidget* window;
    const char* name;
    QString text;
    QChar end;  // of the shown text when cut
  };
  const Case cases[] = {
      {row.get(), "video_old_name", kLong, QChar(0x2026)},
      {row.get(), "row_status", QStringLiteral("Failed: ") + kLong, QChar(0x2026)},
      {row.get(), "edit_new_video_name", kLong, QChar(0x2026)},
      // A path keeps its last folder in sight.
      {bar.get(), "edit_output_path", folder, QLatin1Char('4')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QWidget* control = app::FindControl(c.window, c.name);
    ASSERT_NE(control, nullptr);
    control->show();
    auto* label = qobject_cast<QLabel*>(control);
    auto* edit = qobject_cast<QLineEdit*>(control);
    ASSERT_TRUE(label || edit);
    label ? label->setText(c.text) : edit->setText(c.text);
    QApplication::processEvents();
    ASSERT_GT(control->width(), 20);

    // The program reads back what it set.
    EXPECT_EQ(label ? label->text() : edit->text(), c.text);
    const QString shown = ShownText(control);
    EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
    EXPECT_EQ(shown.back(), c.end) << shown.toStdString();
    EXPECT_LE(control->fontMetrics().horizontalAdvance(shown), control->width());
    EXPECT_EQ(TipOf(control), c.text);

    // A text that fits is shown whole, with no tooltip.
    label ? label->setText(QStringLiteral("a.mp4")) : edit->setText(QStringLiteral("/tmp"));
    QApplication::processEvents();
    EXPECT_EQ(ShownText(control), label ? QStringLiteral("a.mp4") : QStringLiteral("/tmp"));
    EXPECT_EQ(TipOf(control), QString());

    // A tooltip the program gave stays.
    control->setToolTip(QStringLiteral("the transcoder's whole message"));
    label ? label->setText(c.text) : edit->setText(c.text);
    QApplication::processEvents();
    EXPECT_EQ(TipOf(control), QStringLiteral("the transcoder's whole message"));
    control->setToolTip(QString());
  }

  // While the name is edited, the whole of it is there to edit.
  auto* name = app::FindControl<app::SkinEdit>(row.get(), "edit_new_video_name");
  name->setText(kLong);
  name->setEnabled(true);
  row->activateWindow();
  ASSERT_TRUE(uitest::WaitFor([&] { return row->isActiveWindow(); }));
  name->setFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return name->hasFocus(); }));
  EXPECT_EQ(name->ShownText(), kLong);
  QToolTip::hideText();
}

TEST_F(UiTest, FrameSizesReadWithATimesSignAndKeepTheirOrderRightToLeft) {
  const QString lri(QChar(0x2066)), pdi(QChar(0x2069));
  const struct {
    const char* in;
    QString out;
  } cases[] = {
      {"1920x1080", lri + QStringLiteral("1920 \u00D7 1080") + pdi},
      {" 640x360", lri + QStringLiteral("640 \u00D7 360") + pdi},
      {"", QString()},
      {"1920x", QStringLiteral("1920x")},
      {"x264", QStringLiteral("x264")},
      {"Same as source", QStringLiteral("Same as source")},
  };
  for (const auto& c : cases) EXPECT_EQ(app::FrameSizeForDisplay(c.in), c.out) << c.in;

  for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
    QGuiApplication::setLayoutDirection(direction);
    auto row = ShowLayout("video_info.xml", QSize(730, 96));
    for (const char* control : {"video_resolution", "video_resolution_new"}) {
      SCOPED_TRACE(control);
      auto* label = app::FindControl<app::SkinLabel>(row.get(), control);
      ASSERT_NE(label, nullptr);
      label->setText(QStringLiteral("1920x1080"));
      QApplication::processEvents();
      EXPECT_EQ(label->text(), QStringLiteral("1920x1080"));
      // Shown whole: the label asks for the room of what it shows.
      EXPECT_EQ(label->ShownText(), cases[0].out);
      EXPECT_GE(label->sizeHint().width(),
                label->fontMetrics().horizontalAdvance(label->ShownText()));
    }
  }
  QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

// The columns where two pictures of a control differ: where its text is.
std::pair<int, int> InkColumns(const QImage& with, const QImage& without) {
  int first = with.width(), last = -1;
  for (int y = 0; y < with.height(); ++y)
    for (int x = 0; x < with.width(); ++x)
      if (with.pixel(x, y) != without.pixel(x, y)) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
  return {first, last};
}

// Right to left, a Latin name starts at the right of its place, beside the
// label (or the cover) it belongs to, as the Arabic texts of the row do.
TEST_F(UiTest, NamesStartOnTheReadingSideOfTheRow) {
  for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
    SCOPED_TRACE(direction == Qt::LeftToRight ? "left to right" : "right to left");
    QGuiApplication::setLayoutDirection(direction);
    auto row = ShowLayout("video_info.xml", QSize(730, 96));
    for (const char* name : {"edit_new_video_name", "video_old_name"}) {
      SCOPED_TRACE(name);
      QWidget* control = app::FindControl(row.get(), name);
      ASSERT_NE(control, nullptr);
      auto set = [&](const QString& text) {
        if (auto* label = qobject_cast<QLabel*>(control)) label->setText(text);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setText(text);
        QApplication::processEvents();
      };
      set(QString());
      const QImage empty = Picture(control);
      set(QStringLiteral("clip (1).mp4"));
      const auto [first, last] = InkColumns(Picture(control), empty);
      ASSERT_LE(first, last) << "no text drawn";
      // The room before the text on the reading side is the smaller one.
      const int left = first, right = control->width() - 1 - last;
      if (direction == Qt::LeftToRight) {
        EXPECT_LT(left, right);
      } else {
        EXPECT_GT(left, right);
      }
    }
    if (direction == Qt::RightToLeft) {
      // The label of the output name is on the right of it.
      auto* label = app::FindControl(row.get(), "LabTextVideoInfo7");
      auto* edit = app::FindControl(row.get(), "edit_new_video_name");
      EXPECT_GT(label->geometry().left(), edit->geometry().right());
    }
  }
  QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

// The bottom bar's folder box keeps its width when the time left appears.
TEST_F(UiTest, TheTimeLeftTakesNoRoomFromTheFolderBox) {
  for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
    QGuiApplication::setLayoutDirection(direction);
    auto bar = ShowLayout("ConverCtrl.xml", QSize(900, 76));
    auto* folder = app::FindControl<QLineEdit>(bar.get(), "edit_output_path");
    auto* time = app::FindControl<QLabel>(bar.get(), "lab_time_left");
    ASSERT_TRUE(folder && time);
    folder->setText(QStringLiteral("/home/someone/Documents/PelmarVideoConverter"));
    QApplication::processEvents();
    const QRect before = folder->geometry();
    for (const char* text : {"About 00:00:05 left", "About 01:23:45 left",
                             "Encore environ 01:23:45", "Faltam cerca de 01:23:45"}) {
      SCOPED_TRACE(text);
      time->setText(QString::fromUtf8(text));
      time->show();
      QApplication::processEvents();
      EXPECT_EQ(folder->geometry(), before);
      EXPECT_TRUE(time->isVisible());
      const QRect timeBox(time->mapTo(bar.get(), QPoint()), time->size());
      const QRect folderBox(folder->mapTo(bar.get(), QPoint()), folder->size());
      EXPECT_FALSE(timeBox.intersects(folderBox));
      // Read whole, not cut.
      auto* shown = qobject_cast<app::SkinLabel*>(time);
      EXPECT_TRUE(shown && !shown->IsElided());
    }
    time->hide();
    QApplication::processEvents();
    EXPECT_EQ(folder->geometry(), before);
  }
  QGuiApplication::setLayoutDirection(Qt::LeftToRight);
}

// After a click a button looks as it does without the focus; after the Tab
// key it shows the focus.
TEST_F(UiTest, AClickLeavesNoFocusFrameButTheTabKeyShowsOne) {
  auto bar = ShowLayout("ConverCtrl.xml", QSize(900, 76));
  bar->activateWindow();
  ASSERT_TRUE(uitest::WaitFor([&] { return bar->isActiveWindow(); }));
  for (const char* name : {"btn_select_folder", "btn_transform"}) {
    SCOPED_TRACE(name);
    auto* button = app::FindControl<QPushButton>(bar.get(), name);
    ASSERT_NE(button, nullptr);
    button->clearFocus();
    QApplication::processEvents();
    const QImage plain = Picture(button);

    // By the keyboard: Tab until the button has the focus.
    for (int i = 0; i < 20 && !button->hasFocus(); ++i) QTest::keyClick(bar.get(), Qt::Key_Tab);
    ASSERT_TRUE(button->hasFocus()) << "the Tab key does not reach the button";
    EXPECT_NE(Picture(button), plain) << "the focus from the Tab key is not shown";

    // By the pointer.
    button->clearFocus();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    QApplication::processEvents();
    EXPECT_EQ(Picture(button), plain) << "a focus frame after a click";
    button->clearFocus();
  }
}

}  // namespace
