// The merge dialog with the real transcoder: it shows the join's progress and
// ends with the joined file; every way of closing it ends the join at once
// and leaves nothing behind; a missing part ends it with a reason.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/core/app_paths.h"
#include "app/core/language.h"
#include "engine/merge_join.h"
#include "engine/timing.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "tests/support/media.h"
#include "tests/app_ui/ui_fixture.h"
#include "ui/merge_dlg.h"

namespace {

using ui::CMergeDlg;

// A join on a busy machine may take a while.
bool WaitLong(const std::function<bool()>& done) { return uitest::WaitFor(done, 60000); }

class MergeDlgTest : public uitest::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    app::AppPaths paths = app::Paths();
    paths.CreateDataDir();
    app::SetPaths(paths);
    dirs_ = engine::EngineDirs::ForApp(paths);
    out_ = path("out") + "/";
    ASSERT_TRUE(platform::CreateFolders(out_));
    engine::Timing().progressPoll = std::chrono::milliseconds(100);
  }
  void TearDown() override {
    engine::Timing() = engine::EngineTiming();
    UiTest::TearDown();
  }

  // Two parts of one picture size whose frame rates differ, so the join
  // encodes them again and runs long enough to report its progress.
  engine::MergeRequest Parts() {
    engine::MergeRequest request;
    const double rates[] = {25, 30};
    for (double fps : rates) {
      testsupport::MediaSpec spec = testsupport::Clip(8.0, 640, 360);
      spec.fps = fps;
      const std::string part = path("part" + std::to_string(int(fps)) + ".mp4");
      EXPECT_EQ(testsupport::MakeMedia(part, spec), "");
      request.parts.push_back(part);
      request.totalSeconds += 8;
    }
    request.outputExtension = "mp4";
    request.outputFolder = out_;
    return request;
  }

  // Everything in the output folder, hidden names too.
  QStringList OutputFolder() const {
    return QDir(QString::fromStdString(out_))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  }

  static QProgressBar* Bar(CMergeDlg& dialog) {
    return dialog.FindControl<QProgressBar>("progressMerge");
  }

  engine::EngineDirs dirs_;
  std::string out_;
};

TEST_F(MergeDlgTest, ShowsTheProgressAndEndsWithTheJoinedFile) {
  engine::MergeRequest request = Parts();
  request.mergeName = "Zusammengefügt";  // the list names it in the user's language
  CMergeDlg dialog(nullptr, request, dirs_);
  ASSERT_TRUE(dialog.Create());
  QProgressBar* bar = Bar(dialog);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  std::vector<int> shown;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { shown.push_back(v); });

  // Shown as the main window shows it; a stuck join fails the test, not the run.
  bool gaveUp = false;
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, [&] {
    gaveUp = true;
    dialog.close();
  });
  limit.start(60000);
  dialog.ShowModal();
  ASSERT_FALSE(gaveUp);

  EXPECT_TRUE(dialog.Succeeded()) << dialog.FailureReason();
  EXPECT_FALSE(dialog.Stopped());
  EXPECT_EQ(dialog.FailureReason(), "");
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), 100);
  // At least one report while the join ran, each within the bar's range.
  const int during = int(std::count_if(shown.begin(), shown.end() - 1,
                                       [](int v) { return v >= 1 && v <= 99; }));
  EXPECT_GE(during, 1);
  EXPECT_EQ(during, int(shown.size()) - 1);

  const std::string output = dialog.OutputPath();
  EXPECT_EQ(platform::ParentDir(output) + "/", out_);
  EXPECT_EQ(platform::ExtensionOf(output), "mp4");
  EXPECT_EQ(platform::FileNameOf(output).rfind("Zusammengefügt_", 0), 0u) << output;
  EXPECT_TRUE(platform::IsRegularFile(output));
  EXPECT_GT(platform::FileSize(output), 0);
  EXPECT_EQ(OutputFolder(), QStringList(QString::fromStdString(platform::FileNameOf(output))));
}

TEST_F(MergeDlgTest, EveryWayOfClosingEndsTheJoinAtOnceAndLeavesNothing) {
  const engine::MergeRequest request = Parts();
  struct Way {
    const char* name;
    std::function<void(std::unique_ptr<CMergeDlg>&)> close;
  };
  auto click = [](const char* button) {
    return [button](std::unique_ptr<CMergeDlg>& d) {
      d->FindControl<QAbstractButton>(button)->click();
    };
  };
  const Way ways[] = {
      {"btnStop", click("btnStop")},
      {"btnClose", click("btnClose")},
      {"Escape",
       [](std::unique_ptr<CMergeDlg>& d) {
         QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QCoreApplication::sendEvent(d.get(), &escape);
       }},
      {"destroyed", [](std::unique_ptr<CMergeDlg>& d) { d.reset(); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    auto dialog = std::make_unique<CMergeDlg>(nullptr, request, dirs_);
    ASSERT_TRUE(dialog->Create());
    dialog->show();
    // Stop once the join is under way, well before its end.
    QProgressBar* bar = Bar(*dialog);
    ASSERT_TRUE(WaitLong([&] { return bar->value() > 0 || !dialog->isVisible(); }));
    ASSERT_TRUE(dialog->isVisible()) << "the join ended before it could be stopped";
    ASSERT_LT(bar->value(), 100);

    way.close(dialog);
    // Ended by the time the call returns: nothing more to wait for.
    EXPECT_EQ(OutputFolder(), QStringList());
    if (dialog) {
      EXPECT_FALSE(dialog->isVisible());
      EXPECT_TRUE(dialog->Stopped());
      EXPECT_FALSE(dialog->Succeeded());
      EXPECT_EQ(dialog->OutputPath(), "");
      EXPECT_EQ(dialog->FailureReason(), "");
    }
    // No report of the ended join arrives later.
    dialog.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(OutputFolder(), QStringList());
  }
}

TEST_F(MergeDlgTest, AMissingOrBrokenPartEndsItFailedWithAReason) {
  const std::string part = path("part.mp4");
  ASSERT_EQ(testsupport::MakeMedia(part, testsupport::Clip(1.0, 160, 120)), "");
  const std::string broken = path("broken.mp4");
  testsupport::WriteText(broken, "not a video");
  struct Case {
    std::vector<std::string> parts;
    const char* named;  // what the reason must mention
  };
  const Case cases[] = {
      {{part, path("gone.mp4")}, "gone.mp4"},
      // The transcoder itself refuses this one.
      {{broken, part}, "transcoder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    engine::MergeRequest request;
    request.parts = c.parts;
    request.totalSeconds = 2;
    request.outputExtension = "mp4";
    request.outputFolder = out_;

    CMergeDlg dialog(nullptr, request, dirs_);
    ASSERT_TRUE(dialog.Create());
    dialog.show();
    ASSERT_TRUE(WaitLong([&] { return !dialog.isVisible(); }));
    EXPECT_FALSE(dialog.Succeeded());
    EXPECT_FALSE(dialog.Stopped());
    EXPECT_NE(dialog.FailureReason().find(c.named), std::string::npos) << dialog.FailureReason();
    EXPECT_EQ(dialog.OutputPath(), "");
    EXPECT_EQ(OutputFolder(), QStringList());
  }
}

}  // namespace
