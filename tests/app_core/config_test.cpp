#include <functional>
#include <string>
#include <vector>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/oem_config.h"
#include "app/core/server_config.h"
#include "platform/files.h"
#include "tests/support/sandbox.h"

using namespace app;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class ConfigTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    paths_ = AppPaths::Build(sandbox().programPath());
    paths_.CreateDataDir();
  }
  std::string userIni() { return paths_.DataFile("Config.ini"); }
  std::string installIni() { return paths_.InstallFile("Config.ini"); }
  std::string oemIni() { return paths_.InstallFile("oem.ini"); }
  AppPaths paths_;
};

TEST_F(ConfigTest, DefaultsWhenNothingIsThere) {
  AppSettings s;
  s.Read(paths_);
  EXPECT_TRUE(s.loaded);
  EXPECT_EQ(s.userFile, userIni());
  EXPECT_EQ(s.installFile, installIni());
  EXPECT_EQ(s.sendAction, 1);
  EXPECT_TRUE(s.openTutorial);
  EXPECT_EQ(s.enableShadow, 1);
  EXPECT_EQ(s.showDlgBorder, 0);
  EXPECT_EQ(s.standbyServer, 0);
  EXPECT_EQ(s.ReadLanguageLcid(), 0);
  EXPECT_EQ(s.MuxingQueueSize(), "34500");
  EXPECT_EQ(s.PowerOffCommand(), "systemctl poweroff");
  EXPECT_EQ(StartLanguageLcid(paths_), 0);
  EXPECT_EQ(ReadOutputPath(paths_), "");
  EXPECT_FALSE(platform::FileExists(userIni()));  // reading never creates a file

  OemConfig oem;
  oem.Read(paths_);
  EXPECT_EQ(oem.productName, "");
  EXPECT_TRUE(oem.showOfficial);
  EXPECT_TRUE(OemConfig::ShowVersion(paths_));

  ServerConfig server(paths_);
  EXPECT_EQ(server.SupportFormat1(), "(MP4/MKV/AVI/WMV/FLV/MOV/MPG/TS/KUX/QLV/QSV)");
  EXPECT_EQ(server.SupportFormat2(),
            "*.mp4;*.mkv;*.avi;*.wmv;*.flv;*.mov;*.mpg;*.ts;*.kux;*.qlv;*.qsv;");
  EXPECT_EQ(server.OpenTutorial(), 1);
  EXPECT_EQ(server.OpenUninstallFeedback(), 1);
}

TEST_F(ConfigTest, FilesAreReadWithTheirKeys) {
  WriteText(userIni(), "[Setting]\nSendAction=0\nOpenTutorial=0\nStandbyServer=1\n");
  WriteText(installIni(), "[Setting]\nEnableShadow=0\nShowDlgBorder=1\n"
                          "[Config]\nSize=\nPowerOffCommand=touch /tmp/x\n");
  AppSettings s;
  s.Read(paths_);
  EXPECT_EQ(s.sendAction, 0);
  EXPECT_FALSE(s.openTutorial);
  EXPECT_EQ(s.enableShadow, 0);
  EXPECT_EQ(s.showDlgBorder, 1);
  EXPECT_EQ(s.standbyServer, 0);  // every start begins with the flag off
  EXPECT_EQ(s.MuxingQueueSize(), "34500");  // empty counts as missing
  EXPECT_EQ(s.PowerOffCommand(), "touch /tmp/x");
  WriteText(installIni(), "[Config]\nSize=9999\n");
  EXPECT_EQ(s.MuxingQueueSize(), "9999");  // read at each use
}

TEST_F(ConfigTest, PerUserLanguageWinsAndSavingWritesBothFiles) {
  WriteText(oemIni(), "[LANG]\nLCID=1031\n");
  EXPECT_EQ(StartLanguageLcid(paths_), 1031);
  WriteText(userIni(), "[Setting]\nLCID=1041\n");
  EXPECT_EQ(StartLanguageLcid(paths_), 1041);

  AppSettings s;
  s.Read(paths_);
  s.SaveLanguageLcid(1033, paths_);
  EXPECT_EQ(s.ReadLanguageLcid(), 1033);
  EXPECT_EQ(OemConfig::ReadLanguageLcid(paths_), 1033);
  EXPECT_EQ(ReadText(oemIni()), "[LANG]\nLCID=1033\n");
}

TEST_F(ConfigTest, SettersWriteBack) {
  AppSettings s;
  s.Read(paths_);
  s.SetStandbyServer(1);
  s.TutorialDone();
  EXPECT_EQ(ReadText(userIni()), "[Setting]\nStandbyServer=1\nOpenTutorial=0\n");
  AppSettings next;
  next.Read(paths_);
  EXPECT_EQ(next.standbyServer, 0);
  EXPECT_FALSE(next.openTutorial);

  EXPECT_TRUE(WriteOutputPath(paths_, "/home/me/Videos/"));
  EXPECT_EQ(ReadOutputPath(paths_), "/home/me/Videos/");
  EXPECT_EQ(DefaultOutputFolder(), sandbox().home() + "/Documents/PelmarVideoConverter/");
}

TEST(Overrides, AreTakenOnce) {
  AppSettings s;
  s.SetOverrides(2500000, 29.97f);
  int64_t bitRate;
  float frameRate;
  s.TakeOverrides(&bitRate, &frameRate);
  EXPECT_EQ(bitRate, 2500000);
  EXPECT_FLOAT_EQ(frameRate, 29.97f);
  s.TakeOverrides(&bitRate, &frameRate);
  EXPECT_EQ(bitRate, 0);
  EXPECT_EQ(frameRate, 0.0f);
}

TEST_F(ConfigTest, OemTextsReplaceOnlyWhenPresent) {
  WriteText(oemIni(),
            "[UI]\nProductName=\nTitleText=Partner Video\nShowOfficial=0\n"
            "[Other]\nShowVersion=0\n");
  OemConfig oem;
  oem.supportLine = "built-in";
  oem.Read(paths_);
  EXPECT_EQ(oem.productName, "");  // present but empty: localized name stays
  EXPECT_EQ(oem.titleText, "Partner Video");
  EXPECT_EQ(oem.supportLine, "built-in");
  EXPECT_FALSE(oem.showOfficial);
  EXPECT_FALSE(OemConfig::ShowVersion(paths_));
}

TEST_F(ConfigTest, ServerValuesAreReadAtEachUse) {
  ServerConfig server(paths_);
  WriteText(paths_.DataFile("cd.dat"),
            "[Config]\nOpenUninstallFeedback=2\nSupportFormat1=(MP4 only)\n");
  EXPECT_EQ(server.OpenUninstallFeedback(), 2);  // only exactly 1 opens the page
  EXPECT_EQ(server.SupportFormat1(), "(MP4 only)");
  WriteText(paths_.DataFile("cd.dat"), "garbage\x01\x02[");
  EXPECT_EQ(server.OpenUninstallFeedback(), 1);
}

}  // namespace

namespace {

// One bad value must not break every conversion (Size=abc once went into
// the transcoder's command as it stood): it gives the default, and the run
// log says which file and key to mend.
TEST_F(ConfigTest, BadValuesFallBackToTheirDefaultsAndAreLogged) {
  struct Case {
    const char* name;
    bool install;        // the install Config.ini, else the per-user one
    const char* lines;   // the file's text
    std::function<std::string(const AppSettings&)> read;
    std::string expected;
    const char* logged;  // a part of the run log line; nullptr: nothing logged
  };
  auto size = [](const AppSettings& s) { return s.MuxingQueueSize(); };
  const std::vector<Case> cases = {
      {"size text", true, "[Config]\nSize=abc\n", size, "34500", "[Config] Size=abc"},
      {"size negative", true, "[Config]\nSize=-5\n", size, "34500", "Size=-5"},
      {"size zero", true, "[Config]\nSize=0\n", size, "34500", "Size=0"},
      {"size too large", true, "[Config]\nSize=99999999999\n", size, "34500", "Size=9999"},
      {"size with a tail", true, "[Config]\nSize=12 packets\n", size, "34500", "Size=12 packets"},
      {"size with blanks", true, "[Config]\nSize= 9999 \n", size, "9999", nullptr},
      {"send action word", false, "[Setting]\nSendAction=yes\n",
       [](const AppSettings& s) { return std::to_string(s.sendAction); }, "1", "SendAction=yes"},
      {"send action off", false, "[Setting]\nSendAction=0\n",
       [](const AppSettings& s) { return std::to_string(s.sendAction); }, "0", nullptr},
      {"border word", true, "[Setting]\nShowDlgBorder=on\n",
       [](const AppSettings& s) { return std::to_string(s.showDlgBorder); }, "0",
       "ShowDlgBorder=on"},
      {"shadow word", true, "[Setting]\nEnableShadow=off\n",
       [](const AppSettings& s) { return std::to_string(s.enableShadow); }, "1",
       "EnableShadow=off"},
      {"tutorial word", false, "[Setting]\nOpenTutorial=no\n",
       [](const AppSettings& s) { return std::to_string(s.openTutorial); }, "1",
       "OpenTutorial=no"},
      {"locale word", false, "[Setting]\nLCID=german\n",
       [](const AppSettings& s) { return std::to_string(s.ReadLanguageLcid()); }, "0",
       "LCID=german"},
  };
  for (const Case& c : cases) {
    platform::DeleteFile(userIni());
    platform::DeleteFile(installIni());
    platform::DeleteFile(paths_.DataFile("run.dat"));
    WriteText(c.install ? installIni() : userIni(), c.lines);
    AppSettings s;
    s.Read(paths_);
    EXPECT_EQ(c.read(s), c.expected) << c.name;
    EXPECT_EQ(c.read(s), c.expected) << c.name << ", read again";
    const std::string log = ReadText(paths_.DataFile("run.dat"));
    if (!c.logged) {
      EXPECT_EQ(log, "") << c.name;
      continue;
    }
    const size_t at = log.find(c.logged);
    EXPECT_NE(at, std::string::npos) << c.name << ": " << log;
    EXPECT_NE(log.find(c.install ? installIni() : userIni()), std::string::npos) << log;
    // Read for every command, logged once.
    EXPECT_EQ(log.find(c.logged, at + 1), std::string::npos) << c.name << ": " << log;
  }
}

TEST_F(ConfigTest, AnOutputFolderThatIsNoFullPathIsNotUsed) {
  WriteText(paths_.DataFile("path.ini"), "[path]\noutput_path=Videos/out\n");
  EXPECT_EQ(ReadOutputPath(paths_), "");
  EXPECT_NE(ReadText(paths_.DataFile("run.dat")).find("output_path=Videos/out"),
            std::string::npos);
  WriteText(paths_.DataFile("path.ini"), "[path]\noutput_path=/srv/videos/\n");
  EXPECT_EQ(ReadOutputPath(paths_), "/srv/videos/");
}

}  // namespace
