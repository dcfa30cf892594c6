#include "tests/app_ui/ui_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

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
  EndModalWaits();
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

namespace {
// The waits of OnModal that no modal window has answered yet.
std::vector<QPointer<QTimer>>& PendingModals() {
  static std::vector<QPointer<QTimer>> pending;
  return pending;
}
}  // namespace

void OnModal(std::function<void(QWidget* modal)> action) {
  // No time limit: a box that comes late on a busy machine is still
  // answered, so the test never sits in its modal loop until the test
  // runner's limit. A box that never comes fails the test at its end.
  auto* poll = new QTimer;
  PendingModals().push_back(poll);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    poll->stop();
    auto& pending = PendingModals();
    pending.erase(std::remove(pending.begin(), pending.end(), QPointer<QTimer>(poll)),
                  pending.end());
    poll->deleteLater();
    action(modal);
  });
  poll->start(10);
}

void EndModalWaits() {
  for (const QPointer<QTimer>& poll : PendingModals()) {
    if (!poll) continue;
    ADD_FAILURE() << "a modal window the test waited for never came";
    delete poll.data();
  }
  PendingModals().clear();
}

}  // namespace uitest
