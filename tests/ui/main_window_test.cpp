// The main window's rows as a person meets them: renaming with the keyboard,
// and texts drawn whole.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include "app/core/language.h"
#include "app/ui/skin_controls.h"
#include "engine/video_item.h"
#include "tests/main_window/main_frame_fixture.h"

namespace {

using engine::ConvertKind;
using mainwindowtest::MainFrameTest;
using mainwindowtest::WaitUntil;

class RowTest : public MainFrameTest {
 protected:
  // A shown window with one row for a clip of that name, analysed.
  QWidget* ShowRowOf(const std::string& file) {
    frame_->resize(1000, 680);
    frame_->show();
    frame_->AddFiles({Clip(file)});
    auto item = frame_->Items(ConvertKind::Video).at(0);
    EXPECT_TRUE(WaitUntil([&] { return static_cast<bool>(item->analysed); }));
    auto* row = static_cast<QWidget*>(item->listItem);
    EXPECT_TRUE(WaitUntil([&] { return row->isVisible(); }));
    return row;
  }
};

TEST_F(RowTest, RenamingTakesReturnAndEscapeAndRefusesABadNameOnReturn) {
  QWidget* row = ShowRowOf("clip_42.mp4");
  auto item = frame_->Items(ConvertKind::Video).at(0);
  auto* edit = row->findChild<QLineEdit*>("edit_new_video_name");
  auto* pencil = row->findChild<QToolButton*>("btn_video_rename");
  ASSERT_TRUE(edit && pencil);
  struct Case {
    const char* typed;
    Qt::Key key;
    const char* nameAfter;
    bool refused;
  };
  const Case cases[] = {
      {"holiday", Qt::Key_Return, "holiday", false},
      {"other", Qt::Key_Escape, "holiday", false},  // Escape keeps the old name
      {"a/b", Qt::Key_Return, "holiday", true},     // refused at once, with its message
      {"trip", Qt::Key_Enter, "trip", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    // The desktop gives the window back its focus once a box has closed.
    frame_->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return frame_->isActiveWindow(); }));
    QTest::mouseClick(pencil, Qt::LeftButton);
    ASSERT_TRUE(edit->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return edit->hasFocus(); }));
    QTest::keyClicks(edit, c.typed);  // the whole name was selected: typing replaces it
    EXPECT_EQ(edit->text(), c.typed);
    QString box;
    if (c.refused) AnswerNextBox(app::kIdYes, &box);
    QTest::keyClick(edit, c.key);
    if (c.refused) {
      ASSERT_TRUE(WaitUntil([&] { return !box.isEmpty(); }, 10000));
      EXPECT_NE(box.indexOf(c.typed), -1) << box.toStdString();
    }
    EXPECT_FALSE(edit->isEnabled()) << "editing ended";
    EXPECT_EQ(item->outputName, c.nameAfter);
    EXPECT_EQ(edit->text().toStdString(), c.nameAfter);
  }
  // The pencil commits too (a press on the row takes no focus on its way).
  frame_->activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return frame_->isActiveWindow(); }));
  QTest::mouseClick(pencil, Qt::LeftButton);
  ASSERT_TRUE(edit->isEnabled());
  QTest::keyClicks(edit, "by pencil");
  QTest::mouseClick(pencil, Qt::LeftButton, {}, QPoint(), 600);
  EXPECT_FALSE(edit->isEnabled());
  EXPECT_EQ(item->outputName, "by pencil");
}

// No text of a row is squeezed below the height its font needs: the name
// edit is drawn whole, editing or not, and the underscore of "clip_42" shows.
TEST_F(RowTest, RowTextsKeepTheHeightOfTheirGlyphs) {
  QWidget* row = ShowRowOf("clip_42.mp4");
  auto* edit = row->findChild<QLineEdit*>("edit_new_video_name");
  ASSERT_NE(edit, nullptr);
  for (bool editing : {false, true}) {
    SCOPED_TRACE(editing ? "editing" : "shown");
    edit->setEnabled(editing);
    QApplication::processEvents();
    for (QWidget* w : row->findChildren<QWidget*>()) {
      if (!w->isVisible() || !(qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w)))
        continue;
      if (auto* label = qobject_cast<QLabel*>(w); label && label->text().isEmpty()) continue;
      EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->objectName().toStdString();
      EXPECT_GE(w->contentsRect().height(), QFontMetrics(w->font()).height())
          << w->objectName().toStdString();
    }
  }
  edit->setEnabled(false);
  // The underscore is in the pixels: the name with a space looks otherwise.
  edit->setText("clip_42");
  const QImage underscore = edit->grab().toImage();
  edit->setText("clip 42");
  const QImage space = edit->grab().toImage();
  EXPECT_NE(underscore, space);
}

}  // namespace
