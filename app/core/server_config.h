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

 private:
  std::string file_;
};

}  // namespace app
