#include "app/core/oem_config.h"

#include "app/core/app_paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace app {

const char* const kOemFileName = "oem.ini";

OemConfig& Oem() {
  static OemConfig oem;
  return oem;
}

void OemConfig::Read(const AppPaths& paths) {
  const std::string file = paths.InstallFile(kOemFileName);
  auto text = [&](const char* section, const char* key, std::string* field) {
    std::string v = platform::ProfileGetString(file, section, key, "");
    if (!v.empty()) *field = v;
  };
  auto flag = [&](const char* section, const char* key, int def, bool* field) {
    *field = platform::ProfileGetInt(file, section, key, def) != 0;
  };
  text("URL", "Line", &supportLine);
  text("UI", "TitleLogo", &titleLogo);
  text("UI", "TitleText", &titleText);
  text("UI", "AboutLogo", &aboutLogo);
  text("UI", "ProductName", &productName);
  text("UI", "CompanyName", &companyName);
  text("UI", "OfficialSite", &officialSite);
  text("UI", "DlgBgImage", &dlgBgImage);
  text("UI", "Toolbox", &toolbox);
  flag("UI", "ShowOfficial", 1, &showOfficial);
}

int OemConfig::ReadLanguageLcid(const AppPaths& paths) {
  return platform::ProfileGetInt(paths.InstallFile(kOemFileName), "LANG", "LCID", 0);
}

bool OemConfig::ShowVersion(const AppPaths& paths) {
  return platform::ProfileGetInt(paths.InstallFile(kOemFileName), "Other", "ShowVersion", 1) != 0;
}

}  // namespace app
