#include "app/core/server_config.h"

#include "app/core/app_paths.h"
#include "platform/profile.h"

namespace app {

const char* const kBuiltInUserAgent = "Mozilla/5.0 (X11; Linux x86_64) PelmarVideoConverter";

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

int ServerConfig::UseCurlPlus() const {
  return platform::ProfileGetInt(file_, "Config", "UseCurlPlus", 1);
}

int ServerConfig::Toolbox() const { return platform::ProfileGetInt(file_, "Config", "Toolbox", 1); }

std::string ServerConfig::GoogleUserAgent() const {
  std::string ua = platform::ProfileGetString(file_, "Config", "GoogleUserAgent", "Default");
  return ua == "Default" ? kBuiltInUserAgent : ua;
}

int ServerConfig::FormatAnalysis() const {
  return platform::ProfileGetInt(file_, "Option", "FormatAnalysis", 1);
}

}  // namespace app
