#include "tests/ui/ui_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/ui/shell.h"
#include "app/ui/skin.h"

namespace uitest {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override {
    app::ReleaseSkinArchive();
    app_.reset();
  }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const g_qt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

std::string BinDir() { return PELMAR_BIN_DIR; }

QString ArchivePath(const std::string& archive) {
  return QString::fromStdString(BinDir() + "/skin/" + archive);
}

void UiTest::SetUp() {
  SandboxTest::SetUp();
  app::AppPaths paths = app::AppPaths::Build(sandbox().programPath());
  paths.installDir = BinDir();
  paths.versionText = "1.0.0.0";
  app::SetPaths(paths);
  app::SetCurrentLanguageId(0);
  app::Oem() = app::OemConfig();
  app::Settings().enableShadow = 1;
  app::Settings().showDlgBorder = 0;
  app::SetWindowTitle(QStringLiteral("Pelmar Video Converter"));
  app::SetAddressOpener([this](const QString& address) {
    opened_ << address;
    return true;
  });
  ASSERT_TRUE(app::UseSkinArchive(ArchivePath("skin_en.skin")));
}

void UiTest::TearDown() {
  QApplication::closeAllWindows();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  app::SetAddressOpener(nullptr);
  SandboxTest::TearDown();
}

bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void OnModal(std::function<void(QWidget* modal)> action) {
  auto* poll = new QTimer;
  auto ticks = std::make_shared<int>(0);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, action, ticks] {
    QWidget* modal = QApplication::activeModalWidget();
    if ((modal && modal->isVisible()) || ++*ticks > 300) {
      poll->stop();
      poll->deleteLater();
      if (modal) action(modal);
    }
  });
  poll->start(10);
}

}  // namespace uitest
