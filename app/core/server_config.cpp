#include "app/core/server_config.h"

#include "app/core/app_paths.h"
#include "platform/profile.h"

namespace app {

ServerConfig::ServerConfig(const AppPaths& paths) : file_(paths.DataFile("cd.dat")) {}

// Without a list from the server, the cache formats whose converters ship
// with the program are taken too.
std::string ServerConfig::SupportFormat1() const {
  return platform::ProfileGetString(file_, "Config", "SupportFormat1",
                                    "(MP4/MKV/AVI/WMV/FLV/MOV/MPG/TS/KUX/QLV/QSV)");
}

std::string ServerConfig::SupportFormat2() const {
  return platform::ProfileGetString(
      file_, "Config", "SupportFormat2",
      "*.mp4;*.mkv;*.avi;*.wmv;*.flv;*.mov;*.mpg;*.ts;*.kux;*.qlv;*.qsv;");
}

int ServerConfig::OpenTutorial() const {
  return platform::ProfileGetInt(file_, "Config", "OpenTutorial", 1);
}

int ServerConfig::OpenUninstallFeedback() const {
  return platform::ProfileGetInt(file_, "Config", "OpenUninstallFeedback", 1);
}


}  // namespace app
