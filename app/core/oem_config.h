// Partner branding from oem.ini in the install folder.
#pragma once

#include <string>

namespace app {

struct AppPaths;

extern const char* const kOemFileName;  // "oem.ini"

struct OemConfig {
  // [Partner]
  std::string partnerId;  // at most 15 characters
  std::string newVersion;
  std::string update;
  // [URL]
  std::string supportLine;  // the built-in support address unless oem.ini names one
  // [UI]
  std::string titleLogo, titleText, aboutLogo, productName, windowBgImage, lineImage,
      skinFileName, companyName, officialSite, dlgBgImage, toolbox;
  bool showOfficial = true;
  bool showPrivacy = true;
  // [Other]
  std::string redirect;
  bool onlineTutorial = true;
  bool openWkeUrl = false;
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
