#include "app/core/start_up.h"

#include "app/core/app_settings.h"
#include "app/core/crash.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"

namespace app {

AppPaths StartUp(const std::string& programPath) {
  InstallCrashHandlers();

  AppPaths paths = AppPaths::Build(programPath);
  paths.CreateDataDir();
  SetPaths(paths);

  if (!paths.dataDir.empty()) SetRunLogPath(paths.DataFile("run.dat"));
  SetCrashFilePath(CrashFilePath(paths.installDir, paths.dataDir));

  Settings().Read(paths);
  Oem().Read(paths);

  SetCurrentLanguageId(StartLanguageId(paths));
  ApplyLanguageWebValues(CurrentLanguageId(), paths, &Oem());
  return paths;
}

}  // namespace app
