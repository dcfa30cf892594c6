#include "app/ui/shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <optional>

#include "app/core/app_paths.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"
#include "platform/process.h"

namespace app {
namespace {

std::optional<QString> g_title;  // UI thread only
AddressOpener g_opener;
PowerOffRunner g_powerOff;  // UI thread only

// How long xdg-open is given to tell whether a program took the address. It
// ends at once when the desktop has handed it over, or with an error when no
// program can open it; on a desktop it does not know it stays with the
// program it started, which counts as opened.
constexpr int kOpenerAnswerMs = 2000;

bool OpenWithXdgOpen(const QString& xdgOpen, const QUrl& url) {
  auto* opener = new QProcess;
  opener->setProgram(xdgOpen);
  opener->setArguments({url.toString()});
  // The program it starts may outlive the window: it gets no pipe of ours.
  opener->setStandardInputFile(QProcess::nullDevice());
  opener->setStandardOutputFile(QProcess::nullDevice());
  opener->setStandardErrorFile(QProcess::nullDevice());
  opener->start();
  if (!opener->waitForStarted()) {
    RunLog("xdg-open could not be started: %s", opener->errorString().toUtf8().constData());
    delete opener;
    return false;
  }
  if (!QCoreApplication::instance()) {
    opener->waitForFinished(kOpenerAnswerMs);
  } else if (opener->state() != QProcess::NotRunning) {
    // The window keeps painting meanwhile, but takes no input.
    QEventLoop wait;
    QTimer::singleShot(kOpenerAnswerMs, &wait, &QEventLoop::quit);
    QObject::connect(opener, &QProcess::finished, &wait, &QEventLoop::quit);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (opener->state() != QProcess::NotRunning) {
    // Still holding the program it started: it goes once that one ends.
    QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
    return true;
  }
  const bool opened = opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
  if (!opened)
    RunLog("xdg-open could not open %s (exit code %d)", url.toString().toUtf8().constData(),
           opener->exitCode());
  delete opener;
  return opened;
}

}  // namespace

QString ComposeWindowTitle() {
  const std::string partner = Oem().productName;
  if (!partner.empty()) return QString::fromStdString(partner);
  return QString::fromStdString(LangText(langkey::kProductName, kSectionText));
}

QString WindowTitle() {
  if (!g_title) g_title = ComposeWindowTitle();
  return *g_title;
}

void SetWindowTitle(const QString& title) { g_title = title; }

void SetAddressOpener(AddressOpener opener) { g_opener = std::move(opener); }

bool OpenAddress(const QString& address) {
  const QString a = address.trimmed();
  if (a.isEmpty()) return false;
  if (g_opener) return g_opener(a);
  const QUrl url = QFileInfo(a).isAbsolute() ? QUrl::fromLocalFile(a) : QUrl::fromUserInput(a);
  if (!url.isValid()) return false;
  // Qt starts xdg-open without waiting for its answer; ask it directly.
  const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (!xdgOpen.isEmpty()) return OpenWithXdgOpen(xdgOpen, url);
  return QDesktopServices::openUrl(url);
}

void SetPowerOffRunner(PowerOffRunner runner) { g_powerOff = std::move(runner); }

void RunPowerOff(const std::string& command) {
  app::RunLog("power off: %s", command.c_str());
  if (g_powerOff) g_powerOff(command);
  else StartDetachedShellCommand(command);
}

bool StartDetachedShellCommand(const std::string& command) {
  platform::Process process;
  platform::ProcessOptions options;
  options.killWithParent = false;
  std::string error;
  if (!process.start({"/bin/sh", "-c", command}, options, &error)) {
    app::RunLog("power off failed: %s", error.c_str());
    return false;
  }
  process.Detach();
  return true;
}

QString PartnerImage(const std::string& value) {
  const QString v = QString::fromStdString(value).trimmed();
  if (v.isEmpty() || v.contains('=')) return v;
  QString path = v;
  if (!QFileInfo(path).isAbsolute())
    path = QString::fromStdString(Paths().installDir) + QLatin1Char('/') + v;
  if (QFileInfo(path).isFile()) return QStringLiteral("file='%1' restype='fullpath'").arg(path);
  return v;
}

QString SupportAddress() {
  std::string address = Oem().supportLine;
  if (address.empty()) address = CurrentWebValues().supportUrl;
  if (address.empty())
    address = LanguageWebValues(CurrentLanguageId(), Paths().installDir).supportUrl;
  return QString::fromStdString(address);
}

bool OpenSupportPage() { return OpenAddress(SupportAddress()); }

}  // namespace app
