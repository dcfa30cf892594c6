// The settings dialog: what it shows, what it stores, what it refuses, and
// the standby server switch written to the user's Config.ini.
#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "platform/profile.h"
#include "tests/app_ui/ui_fixture.h"
#include "ui/setting_dlg.h"

namespace {

using ui::CSettingDlg;

// Answers every message box that opens while it lives, noting what it said.
class BoxAnswerer {
 public:
  BoxAnswerer() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* box = QApplication::activeModalWidget();
      if (!box || !box->isVisible()) return;
      texts_ << app::FindControl<QLabel>(box, "context")->text();
      errorIcon_ = app::FindControl(box, "errorLogo")->isVisible();
      app::FindControl<QAbstractButton>(box, "btnYes")->click();
    });
    timer_.start(10);
  }
  const QStringList& texts() const { return texts_; }
  bool errorIcon() const { return errorIcon_; }

 private:
  QTimer timer_;
  QStringList texts_;
  bool errorIcon_ = false;
};

class SettingTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    app::AppSettings& s = app::Settings();
    s.SetOverrides(0, 0.0f);
    s.standbyServer = 0;
    app::AppPaths paths = app::Paths();
    paths.CreateDataDir();
    app::SetPaths(paths);
    s.userFile = paths.DataFile("Config.ini");
  }

  // A dialog on screen, as the main window opens it.
  std::unique_ptr<CSettingDlg> Open() {
    auto dialog = std::make_unique<CSettingDlg>(nullptr);
    EXPECT_TRUE(dialog->Create());
    dialog->show();
    return dialog;
  }

  static QString Text(CSettingDlg& d, const char* edit) {
    return d.FindControl<QLineEdit>(edit)->text();
  }
  static void Click(CSettingDlg& d, const char* button) {
    d.FindControl<QAbstractButton>(button)->click();
  }
  static bool Standby(CSettingDlg& d) {
    return d.FindControl<QAbstractButton>("StandbyServer")->isChecked();
  }
  static int StoredStandby() {
    return platform::ProfileGetInt(app::Settings().userFile, "Setting", "StandbyServer", -1);
  }
};

TEST_F(SettingTest, StoresWhatIsTypedOrRefusesIt) {
  struct Case {
    const char* bitRate;    // typed into edtBitRate
    const char* frameRate;  // typed into edtFPS
    const char* refusal;    // the message shown; nullptr when the dialog stores and closes
    int64_t bitRateAfter;   // bit/s
    float frameRateAfter;
    const char* bitRateShown;  // the boxes when the dialog opens again
    const char* frameRateShown;
  };
  const Case cases[] = {
      {"2500", "", nullptr, 2500000, 0, "2500", ""},
      {"1000000", "", nullptr, 1000000000, 0, "1000000", ""},
      {"1000001", "", app::langkey::kBitRateTooLog, 0, 0, "", ""},
      {"99999999999999999999", "", app::langkey::kBitRateTooLog, 0, 0, "", ""},
      {"", "30", nullptr, 0, 30.0f, "", "30.00"},
      {"", "29.97", nullptr, 0, 29.97f, "", "29.97"},
      {"", "29,97", nullptr, 0, 29.97f, "", "29.97"},  // a comma as the decimal sign
      {"", "1000", nullptr, 0, 1000.0f, "", "1000.00"},
      {"", "1000.5", app::langkey::kFpsTooLog, 0, 0, "", ""},
      {"", "inf", app::langkey::kFpsTooLog, 0, 0, "", ""},
      // The bit rate is stored before the frame rate is refused.
      {"3000", "2000", app::langkey::kFpsTooLog, 3000000, 0, "3000", ""},
      // Leading numbers count; text without one is no override.
      {"2500abc", " 25 fps", nullptr, 2500000, 25.0f, "2500", "25.00"},
      {"abc", "nan", nullptr, 0, 0, "", ""},
      // Negative values are stored and count as no override.
      {"-5", "-1", nullptr, -5000, -1.0f, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.bitRate) + " kbps, " + c.frameRate + " fps");
    app::Settings().SetOverrides(0, 0.0f);
    app::Settings().standbyServer = 0;
    auto dialog = Open();
    dialog->FindControl<QLineEdit>("edtBitRate")->setText(c.bitRate);
    dialog->FindControl<QLineEdit>("edtFPS")->setText(c.frameRate);
    // A refused value leaves the standby switch as it was too.
    Click(*dialog, "tabConmonSetting");
    Click(*dialog, "StandbyServer");
    {
      BoxAnswerer boxes;
      Click(*dialog, "btnYes");
      if (c.refusal) {
        EXPECT_EQ(boxes.texts(), QStringList(QString::fromStdString(
                                     app::LangText(c.refusal, app::kSectionMessage))));
        EXPECT_TRUE(boxes.errorIcon());
      } else {
        EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join("|").toStdString();
      }
    }
    EXPECT_EQ(dialog->isVisible(), c.refusal != nullptr);
    EXPECT_EQ(app::Settings().customBitRate.load(), c.bitRateAfter);
    EXPECT_EQ(app::Settings().customFrameRate.load(), c.frameRateAfter);
    EXPECT_EQ(app::Settings().standbyServer, c.refusal ? 0 : 1);
    if (c.refusal) {
      // The refused box is the one in view.
      const int page = std::string(c.refusal) == app::langkey::kBitRateTooLog ? 0 : 1;
      EXPECT_EQ(dialog->FindControl<QStackedWidget>("tabMain")->currentIndex(), page);
    }
    dialog.reset();

    auto again = Open();
    EXPECT_EQ(Text(*again, "edtBitRate"), c.bitRateShown);
    EXPECT_EQ(Text(*again, "edtFPS"), c.frameRateShown);
  }
}

TEST_F(SettingTest, DefaultEmptiesTheBoxesAndOnlyYesStoresThat) {
  app::Settings().SetOverrides(2500000, 29.97f);
  app::Settings().SetStandbyServer(1);

  auto dialog = Open();
  EXPECT_EQ(Text(*dialog, "edtBitRate"), "2500");
  EXPECT_EQ(Text(*dialog, "edtFPS"), "29.97");
  EXPECT_TRUE(Standby(*dialog));
  Click(*dialog, "btnDefault");
  EXPECT_EQ(Text(*dialog, "edtBitRate"), "");
  EXPECT_EQ(Text(*dialog, "edtFPS"), "");
  EXPECT_FALSE(Standby(*dialog));
  Click(*dialog, "btnClose");
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(app::Settings().customBitRate.load(), 2500000);
  EXPECT_EQ(app::Settings().customFrameRate.load(), 29.97f);
  EXPECT_EQ(app::Settings().standbyServer, 1);
  EXPECT_EQ(StoredStandby(), 1);

  dialog = Open();
  Click(*dialog, "btnDefault");
  Click(*dialog, "btnYes");
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(app::Settings().customBitRate.load(), 0);
  EXPECT_EQ(app::Settings().customFrameRate.load(), 0.0f);
  EXPECT_EQ(app::Settings().standbyServer, 0);
  EXPECT_EQ(StoredStandby(), 0);
}

TEST_F(SettingTest, PageButtonsSwitchPagesAndEnterInABoxStores) {
  auto dialog = Open();
  auto* pages = dialog->FindControl<QStackedWidget>("tabMain");
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->currentIndex(), 0);
  const char* buttons[] = {"tabFPSSetting", "tabConmonSetting", "tabBitRateSetting"};
  const int expected[] = {1, 2, 0};
  for (int i = 0; i < 3; ++i) {
    Click(*dialog, buttons[i]);
    EXPECT_EQ(pages->currentIndex(), expected[i]) << buttons[i];
    EXPECT_TRUE(dialog->FindControl<QAbstractButton>(buttons[i])->isChecked());
  }

  Click(*dialog, "tabFPSSetting");
  auto* fps = dialog->FindControl<QLineEdit>("edtFPS");
  fps->setText("24");
  fps->setFocus();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(fps, &enter);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(app::Settings().customFrameRate.load(), 24.0f);

  // Escape leaves everything as it was.
  dialog = Open();
  dialog->FindControl<QLineEdit>("edtFPS")->setText("50");
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(dialog.get(), &escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(app::Settings().customFrameRate.load(), 24.0f);
}

}  // namespace
