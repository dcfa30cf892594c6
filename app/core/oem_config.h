// Partner branding from oem.ini in the install folder.
#pragma once

#include <string>

namespace app {

struct AppPaths;

extern const char* const kOemFileName;  // "oem.ini"

struct OemConfig {
  // [URL]
  std::string supportLine;  // the built-in support address unless oem.ini names one
  // [UI]
  std::string titleLogo, titleText, aboutLogo, productName, companyName, officialSite,
      dlgBgImage, toolbox;
  bool showOfficial = true;
  // The selected skin archive.
  std::string skinFile;
  std::string skinFolder;

  // Reads every key; a text key replaces its field only when it holds at
  // least one character, flags are always stored.
  void Read(const AppPaths& paths);

  // [LANG] LCID; 0 when not set.
  static int ReadLanguageLcid(const AppPaths& paths);
  // [Other] ShowVersion, read at each use.
  static bool ShowVersion(const AppPaths& paths);
};

OemConfig& Oem();

}  // namespace app
