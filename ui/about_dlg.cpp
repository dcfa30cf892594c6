#include "ui/about_dlg.h"

#include <QAbstractButton>
#include <QLabel>

#include "app/core/app_paths.h"
#include "app/core/oem_config.h"
#include "app/ui/shell.h"
#include "app/ui/skin_image.h"

namespace ui {

CAboutDlg::CAboutDlg(QWidget* owner) : MyBaseWindow(owner, Kind::kDialog) {
  setWindowTitle(app::WindowTitle());
}

void CAboutDlg::OnLayoutReady(const app::Notification&) {
  if (auto* name = FindControl<QLabel>(QStringLiteral("ProductName")))
    name->setText(app::WindowTitle());
  if (auto* version = FindControl<QLabel>(QStringLiteral("label_version")))
    version->setText(QString::fromStdString(app::Paths().versionText));

  const app::OemConfig& oem = app::Oem();
  auto* site = FindControl<QAbstractButton>(QStringLiteral("buttonSite"));
  if (!oem.aboutLogo.empty())
    app::SetControlImage(FindControl(QStringLiteral("AboutLogo")),
                         app::PartnerImage(oem.aboutLogo));
  if (!oem.officialSite.empty() && site) site->setText(QString::fromStdString(oem.officialSite));
  if (!oem.companyName.empty()) {
    if (auto* company = FindControl<QLabel>(QStringLiteral("CompanyName")))
      company->setText(QString::fromStdString(oem.companyName));
  }
  if (!oem.dlgBgImage.empty())
    app::SetControlImage(FindControl(QStringLiteral("DlgFrame")),
                         app::PartnerImage(oem.dlgBgImage));
  // A site link without an address would lead nowhere.
  if (site) site->setVisible(!site->text().isEmpty());
  if (QWidget* company = FindControl(QStringLiteral("LayCompanyInfo")))
    company->setVisible(oem.showOfficial);
}

void CAboutDlg::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  if (n.type != QLatin1String(app::notify::kClick)) return;
  if (n.sender == QLatin1String("btnClose")) {
    Close(app::kIdOk);
  } else if (n.sender == QLatin1String("btn_openurl") || n.sender == QLatin1String("buttonSite")) {
    if (auto* link = qobject_cast<QAbstractButton*>(n.control.data()))
      app::OpenAddress(link->text());
  }
}

void CAboutDlg::OnFinalMessage() {
  MyBaseWindow::OnFinalMessage();
  deleteLater();
}

}  // namespace ui
