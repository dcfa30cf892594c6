// The window base: "windowinit", the DlgFrame border of Config.ini, the
// shadow, modal runs and their results; and the about box.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include <memory>

#include "app/core/app_settings.h"
#include "app/core/oem_config.h"
#include "app/ui/base_window.h"
#include "app/ui/shell.h"
#include "app/ui/skin_controls.h"
#include "tests/app_ui/ui_fixture.h"
#include "ui/about_dlg.h"

namespace {

using uitest::UiTest;

class TestWindow : public app::MyBaseWindow {
 public:
  explicit TestWindow(QString layout) : layout_(std::move(layout)) {}
  QString LayoutFile() const override { return layout_; }

  int ready = 0;
  QStringList events;  // "type sender"

 protected:
  void Notify(const app::Notification& n) override {
    MyBaseWindow::Notify(n);
    events << n.type + " " + n.sender;
  }
  void OnLayoutReady(const app::Notification&) override { ++ready; }

 private:
  QString layout_;
};

TEST_F(UiTest, DlgFrameBorderFollowsShowDlgBorder) {
  for (int border : {0, 1}) {
    SCOPED_TRACE(border);
    app::Settings().showDlgBorder = border;
    TestWindow window("dlg_message.xml");
    ASSERT_TRUE(window.Create());
    EXPECT_EQ(window.ready, 1);
    EXPECT_EQ(window.events.value(0), "windowinit ");
    QWidget* frame = window.FindControl("DlgFrame");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->layout()->contentsMargins(), QMargins(border, border, border, border));
    EXPECT_EQ(frame->property("borderSize").toInt(), border);

    window.show();
    ASSERT_TRUE(uitest::WaitFor([&] { return window.isVisible(); }));
    // The left edge, halfway down: the border's colour, or the frame's own.
    const QImage image = frame->grab().toImage();
    const QColor edge = image.pixelColor(0, image.height() / 2);
    const QColor inside = image.pixelColor(border + 2, image.height() / 2);
    if (border) {
      EXPECT_NE(edge, inside);
    } else {
      EXPECT_EQ(edge, inside);
    }
  }
}

TEST_F(UiTest, WindowWithoutDlgFrameStillGetsItsLayoutReady) {
  TestWindow window("video_info.xml");
  ASSERT_TRUE(window.Create());
  EXPECT_TRUE(window.Create());  // built once
  EXPECT_EQ(window.ready, 1);
  EXPECT_EQ(window.events, QStringList({"windowinit "}));
  EXPECT_EQ(window.FindControl("DlgFrame"), nullptr);

  TestWindow missing("no_such_layout.xml");
  EXPECT_FALSE(missing.Create());
  EXPECT_EQ(missing.ready, 0);
  EXPECT_EQ(missing.ShowModal(), 0);
}

TEST_F(UiTest, ShadowFollowsEnableShadow) {
  app::Settings().enableShadow = 0;
  TestWindow plain("dlg_about.xml");
  EXPECT_FALSE(plain.HasShadow());
  EXPECT_TRUE(plain.layout()->contentsMargins().isNull());

  app::Settings().enableShadow = 1;
  TestWindow shadowed("dlg_about.xml");
  EXPECT_TRUE(shadowed.HasShadow());  // the offscreen platform keeps see-through pixels
  EXPECT_GT(shadowed.layout()->contentsMargins().left(), 0);
  EXPECT_TRUE(shadowed.testAttribute(Qt::WA_TranslucentBackground));
}

TEST_F(UiTest, ModalRunEndsWithTheResultOfClose) {
  TestWindow window("dlg_about.xml");
  QTimer::singleShot(50, &window, [&] { window.Close(42); });
  EXPECT_EQ(window.ShowModal(), 42);
  EXPECT_FALSE(window.isVisible());

  // Closed another way (Escape here), the window keeps the result it has.
  TestWindow other("dlg_about.xml");
  other.SetResult(7);
  uitest::OnModal([](QWidget* modal) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(modal, &escape);
  });
  EXPECT_EQ(other.ShowModal(), 7);
}

TEST_F(UiTest, AboutBoxShowsTitleVersionAndThePartnersValues) {
  app::SetWindowTitle("Pelmar Video Converter Test");
  {
    QPointer<ui::CAboutDlg> about = new ui::CAboutDlg(nullptr);
    ASSERT_TRUE(about->Create());
    EXPECT_EQ(about->FindControl<QLabel>("ProductName")->text(), "Pelmar Video Converter Test");
    EXPECT_EQ(about->FindControl<QLabel>("label_version")->text(), "1.0.0.0");
    EXPECT_TRUE(about->FindControl("LayCompanyInfo")->isVisibleTo(about));
    EXPECT_FALSE(about->FindControl("buttonSite")->isVisibleTo(about));  // no address to show

    // Closing it ends the modal run with 1 and the box deletes itself.
    uitest::OnModal(
        [](QWidget* modal) { app::FindControl<QAbstractButton>(modal, "btnClose")->click(); });
    EXPECT_EQ(about->ShowModal(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
  }

  app::OemConfig& oem = app::Oem();
  oem.companyName = "Acme Media";
  oem.officialSite = "https://acme.example/video";
  oem.aboutLogo = "file='images/video.svg'";
  oem.dlgBgImage = "file='images/empty.svg'";
  oem.showOfficial = false;
  auto* about = new ui::CAboutDlg(nullptr);
  ASSERT_TRUE(about->Create());
  EXPECT_EQ(about->FindControl<QLabel>("CompanyName")->text(), "Acme Media");
  auto* site = about->FindControl<QAbstractButton>("buttonSite");
  EXPECT_EQ(site->text(), "https://acme.example/video");
  EXPECT_TRUE(site->isVisibleTo(about->FindControl("LayCompanyInfo")));
  EXPECT_FALSE(about->FindControl("LayCompanyInfo")->isVisibleTo(about));
  EXPECT_EQ(about->FindControl("AboutLogo")->property("bkimage").toString(), oem.aboutLogo.c_str());
  EXPECT_TRUE(about->FindControl("AboutLogo")->property("hasImage").toBool());
  EXPECT_TRUE(about->FindControl("DlgFrame")->property("hasImage").toBool());

  site->click();
  EXPECT_EQ(opened_, QStringList({"https://acme.example/video"}));
  about->close();
}

// A window destroyed while one of its edits has the focus: the edit's last
// focus-out must not reach the half-destroyed window.
TEST_F(UiTest, AWindowGoesWithAFocusedEdit) {
  auto window = std::make_unique<TestWindow>(QStringLiteral("dlg_setting.xml"));
  ASSERT_TRUE(window->Create());
  window->show();
  window->activateWindow();
  ASSERT_TRUE(uitest::WaitFor([&] { return window->isActiveWindow(); }));
  auto* edit = window->FindControl(QStringLiteral("edtBitRate"));
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  ASSERT_TRUE(uitest::WaitFor([&] { return edit->hasFocus(); }));
  window.reset();
  SUCCEED();
}

}  // namespace

namespace {

// A caption press moves the window only while the button is held: a quick
// click (or a tap) followed by pointer moves leaves it where it is.
TEST_F(UiTest, CaptionMovesTheWindowOnlyWhileTheButtonIsHeld) {
  struct Step {
    QEvent::Type type;
    QPoint by;  // from the press point
    Qt::MouseButtons held;
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
    QPoint moved;
  };
  const auto press = QEvent::MouseButtonPress, release = QEvent::MouseButtonRelease,
             move = QEvent::MouseMove;
  const Case cases[] = {
      {"quick click", {{press, {0, 0}, Qt::LeftButton}, {release, {0, 0}, {}},
                       {move, {60, 40}, {}}, {move, {90, 70}, {}}}, {0, 0}},
      {"drag", {{press, {0, 0}, Qt::LeftButton}, {move, {30, 20}, Qt::LeftButton},
                {release, {30, 20}, {}}, {move, {90, 70}, {}}}, {30, 20}},
      // A release that never reached the window: the next move without the
      // button ends the move.
      {"lost release", {{press, {0, 0}, Qt::LeftButton}, {move, {10, 10}, Qt::LeftButton},
                        {move, {80, 80}, {}}}, {10, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestWindow window("dlg_message.xml");
    ASSERT_TRUE(window.Create());
    window.move(100, 100);
    window.show();
    ASSERT_TRUE(uitest::WaitFor([&] { return window.isVisible(); }));
    QWidget* caption = window.FindControl("layMessageCaption");
    ASSERT_NE(caption, nullptr);
    const QPoint start = window.pos();
    const QPoint local(20, 10);
    const QPoint global = caption->mapToGlobal(local);
    for (const Step& s : c.steps) {
      const Qt::MouseButton button = s.type == move ? Qt::NoButton : Qt::LeftButton;
      QMouseEvent e(s.type, QPointF(local + s.by), QPointF(global + s.by), button, s.held,
                    Qt::NoModifier);
      QCoreApplication::sendEvent(caption, &e);
    }
    EXPECT_EQ(window.pos() - start, c.moved);
  }
}

}  // namespace
