// The start-up sequence both front ends run.
#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"
#include "app/core/start_up.h"
#include "platform/files.h"
#include "tests/support/sandbox.h"

namespace {

using testsupport::ReadText;
using testsupport::WriteText;

// Each step finds what the steps before it set up: the language chosen in
// oem.ini is read from the install folder, and when its file is damaged the
// run log in the data folder already takes the line that says so.
class StartUpTest : public testsupport::SandboxTest {};

TEST_F(StartUpTest, EveryStepFindsWhatTheStepsBeforeItSetUp) {
  const std::string install = sandbox().installDir();
  ASSERT_TRUE(platform::CreateFolders(install + "/language"));
  WriteText(install + "/oem.ini", "[LANG]\nLCID=1046\n[UI]\nTitleText=Partner Video\n");
  WriteText(install + "/Config.ini", "[Setting]\nShowDlgBorder=1\n");
  const std::string portuguese = install + "/language/pt.dat";
  WriteText(portuguese, "not a language file");

  const app::AppPaths paths = app::StartUp(sandbox().programPath());

  EXPECT_EQ(paths.installDir, install);
  EXPECT_TRUE(platform::IsDirectory(paths.dataDir));
  EXPECT_EQ(app::Paths().dataDir, paths.dataDir);
  EXPECT_EQ(app::RunLogPath(), paths.DataFile("run.dat"));
  EXPECT_TRUE(app::Settings().loaded);
  EXPECT_EQ(app::Settings().showDlgBorder, 1);
  EXPECT_EQ(app::Oem().titleText, "Partner Video");
  EXPECT_EQ(app::CurrentLanguageId(), 860);
  EXPECT_EQ(app::CurrentWebValues().supportUrl,
            app::LanguageWebValues(860, install).supportUrl);
  EXPECT_NE(ReadText(paths.DataFile("run.dat")).find("language file " + portuguese +
                                                      " is damaged"),
            std::string::npos)
      << ReadText(paths.DataFile("run.dat"));
}

}  // namespace
