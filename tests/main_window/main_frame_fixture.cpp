#include "tests/main_window/main_frame_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <unistd.h>

#include <chrono>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/ui/base_window.h"
#include "app/ui/shell.h"
#include "app/ui/skin.h"
#include "engine/timing.h"
#include "engine/work_dirs.h"
#include "tests/support/media.h"

namespace mainwindowtest {
namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "main_frame_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void MainFrameTest::SetUp() {
  SandboxTest::SetUp();
  App();
  // An install folder of the test's own (the program writes oem.ini there),
  // with the built languages, skins and cache converters.
  for (const char* dir : {"language", "skin", "help", "plugin"})
    ASSERT_EQ(symlink((std::string(PELMAR_BIN_DIR) + "/" + dir).c_str(),
                      (sandbox().installDir() + "/" + dir).c_str()),
              0);
  app::AppPaths paths = app::AppPaths::Build(sandbox().programPath());
  paths.CreateDataDir();
  app::SetPaths(paths);
  app::SetCurrentLanguageId(1252);  // English
  app::Settings().Read(paths);
  app::Oem() = app::OemConfig();
  app::Oem().Read(paths);
  ASSERT_TRUE(app::SelectSkinArchive(1252, paths.installDir, &app::Oem()));
  ASSERT_TRUE(app::UseSelectedSkinArchive());
  // The engine's polls run faster; what they report stays the same.
  engine::Timing().analysisPoll = std::chrono::milliseconds(10);
  engine::Timing().progressPoll = std::chrono::milliseconds(100);
  app::SetAddressOpener([this](const QString& address) {
    opened_.push_back(address);
    return true;
  });
  app::SetPowerOffRunner([this](const std::string& command) {
    poweredOff_.push_back(command);
    if (realPowerOff_) app::StartDetachedShellCommand(command);
  });
  boxWatch_ = new QTimer;
  QObject::connect(boxWatch_, &QTimer::timeout, [this] { AnswerBoxes(); });
  boxWatch_->start(20);
  frame_ = new ui::CMainFrame;
  ASSERT_TRUE(frame_->Create());
}

void MainFrameTest::TearDown() {
  delete boxWatch_;
  boxWatch_ = nullptr;
  if (!answers_.empty())
    ADD_FAILURE() << answers_.size() << " box(es) the test waited for never came";
  answers_.clear();
  delete frame_;
  engine::Timing() = engine::EngineTiming();
  app::SetAddressOpener({});
  app::SetPowerOffRunner({});
  app::SetPaths(app::AppPaths());
  SandboxTest::TearDown();
}

void MainFrameTest::AnswerNextBox(int answer, QString* text) { answers_.push_back({answer, text}); }

void MainFrameTest::AnswerBoxes() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<app::MyBaseWindow*>(w);
    if (!box || !box->isVisible() || box->LayoutFile() != "dlg_message.xml") continue;
    QString body;
    if (auto* label = box->FindControl<QLabel>("context")) body = label->text();
    if (answers_.empty()) {
      ADD_FAILURE() << "a box nobody waited for: " << body.toStdString();
      box->Close(app::kIdNo);
      continue;
    }
    const Answer next = answers_.front();
    answers_.pop_front();
    if (next.text) *next.text = body;
    box->Close(next.answer);
  }
}

std::string MainFrameTest::Clip(const std::string& name, double seconds) {
  std::string file = path(name);
  EXPECT_EQ(testsupport::MakeMedia(file, testsupport::Clip(seconds, 320, 240)), "");
  return file;
}

}  // namespace mainwindowtest
