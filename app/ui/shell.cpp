#include "app/ui/shell.h"

#include <QDesktopServices>
#include <QFileInfo>
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
  return url.isValid() && QDesktopServices::openUrl(url);
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
