#include "app/core/app_settings.h"

#include "app/core/app_paths.h"
#include "app/core/oem_config.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/special_folders.h"

namespace app {

using platform::ProfileGetInt;
using platform::ProfileGetString;
using platform::ProfileWriteInt;

AppSettings& Settings() {
  static AppSettings settings;
  return settings;
}

void AppSettings::Read(const AppPaths& paths) {
  userFile = paths.DataFile("Config.ini");
  installFile = paths.InstallFile("Config.ini");
  loaded = true;
  sendAction = ProfileGetInt(userFile, "Setting", "SendAction", 1);
  openTutorial = ProfileGetInt(userFile, "Setting", "OpenTutorial", 1) != 0;
  enableShadow = ProfileGetInt(installFile, "Setting", "EnableShadow", 1);
  showDlgBorder = ProfileGetInt(installFile, "Setting", "ShowDlgBorder", 0);
}

int AppSettings::ReadLanguageLcid() const {
  return ProfileGetInt(userFile, "Setting", "LCID", 0);
}

void AppSettings::SaveLanguageLcid(int lcid, const AppPaths& paths) const {
  ProfileWriteInt(userFile, "Setting", "LCID", lcid);
  ProfileWriteInt(paths.InstallFile(kOemFileName), "LANG", "LCID", lcid);
}

void AppSettings::SetStandbyServer(int value) {
  standbyServer = value;
  ProfileWriteInt(userFile, "Setting", "StandbyServer", value);
}

void AppSettings::TutorialDone() {
  openTutorial = false;
  ProfileWriteInt(userFile, "Setting", "OpenTutorial", 0);
}

int AppSettings::HasNewInstaller() const {
  return ProfileGetInt(userFile, "main", "HasNewInstaller", 0);
}

void AppSettings::SetOverrides(int64_t bitRate, float frameRate) {
  customBitRate.store(bitRate);
  customFrameRate.store(frameRate);
}

void AppSettings::TakeOverrides(int64_t* bitRate, float* frameRate) {
  *bitRate = customBitRate.exchange(0);
  *frameRate = customFrameRate.exchange(0.0f);
}

std::string AppSettings::MuxingQueueSize() const {
  std::string size = ProfileGetString(installFile, "Config", "Size", "34500");
  return size.empty() ? "34500" : size;
}

std::string AppSettings::PowerOffCommand() const {
  std::string cmd = ProfileGetString(installFile, "Config", "PowerOffCommand", "");
  return cmd.empty() ? "systemctl poweroff" : cmd;
}

int StartLanguageLcid(const AppPaths& paths) {
  int lcid = OemConfig::ReadLanguageLcid(paths);
  int user = ProfileGetInt(paths.DataFile("Config.ini"), "Setting", "LCID", 0);
  return user != 0 ? user : lcid;
}

std::string ReadOutputPath(const AppPaths& paths) {
  return ProfileGetString(paths.DataFile("path.ini"), "path", "output_path", "");
}

bool WriteOutputPath(const AppPaths& paths, const std::string& folder) {
  return platform::ProfileWriteString(paths.DataFile("path.ini"), "path", "output_path", folder);
}

std::string DefaultOutputFolder() {
  return platform::WithTrailingSlash(
      platform::JoinPath(platform::DocumentsDir(), kProductFolder));
}

}  // namespace app
