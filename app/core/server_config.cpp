#include "app/core/server_config.h"

#include "app/core/app_paths.h"
#include "platform/profile.h"

namespace app {

ServerConfig::ServerConfig(const AppPaths& paths) : file_(paths.DataFile("cd.dat")) {}

std::string ServerConfig::SupportFormat1() const {
  return platform::ProfileGetString(file_, "Config", "SupportFormat1",
                                    "(MP4/MKV/AVI/WMV/FLV/MOV/MPG/TS)");
}

std::string ServerConfig::SupportFormat2() const {
  return platform::ProfileGetString(file_, "Config", "SupportFormat2",
                                    "*.mp4;*.mkv;*.avi;*.wmv;*.flv;*.mov;*.mpg;*.ts;");
}

int ServerConfig::OpenTutorial() const {
  return platform::ProfileGetInt(file_, "Config", "OpenTutorial", 1);
}

int ServerConfig::OpenUninstallFeedback() const {
  return platform::ProfileGetInt(file_, "Config", "OpenUninstallFeedback", 1);
}


}  // namespace app
