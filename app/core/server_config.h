// The vendor's configuration file cd.dat in the data folder. Nothing is kept:
// every value is read when it is asked for, so a replaced file takes effect at once.
#pragma once

#include <string>

namespace app {

struct AppPaths;

class ServerConfig {
 public:
  explicit ServerConfig(const AppPaths& paths);

  std::string SupportFormat1() const;  // description part of the open-file filter
  std::string SupportFormat2() const;  // pattern part of the open-file filter
  int OpenTutorial() const;
  int OpenUninstallFeedback() const;
  int UseCurlPlus() const;
  int Toolbox() const;
  // The browser identification; "Default" means the built-in text.
  std::string GoogleUserAgent() const;
  int FormatAnalysis() const;

 private:
  std::string file_;
};

extern const char* const kBuiltInUserAgent;

}  // namespace app
