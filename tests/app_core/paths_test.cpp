#include <sys/stat.h>
#include <unistd.h>

#include "app/core/app_paths.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "tests/support/sandbox.h"

using namespace app;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class AppPathsTest : public testsupport::SandboxTest {
 protected:
  void SetMachineInstaller(const std::string& name) {
    WriteText(sandbox().machineRegistry(),
              "[Software\\PelmarVideoConverter]\nInstallerName=" + name + "\n");
  }
  std::string StoredAdid() {
    return platform::RegGetString(platform::Hive::CurrentUser, kRegistryKey, "adid")
        .value_or("<none>");
  }
};

TEST(ChannelId, TakesTheTextAfterTheFirstDashOfTheInstallerName) {
  struct Case {
    const char* installer;
    const char* id;
  } cases[] = {
      {"Setup-abc12.exe", "abc12"},  {"Setup-.exe", ""},
      {"Setup.exe", ""},             {"C:\\Downloads\\Setup-x-y.exe", "x-y"},
      {"/tmp/setup-7.run", "7"},     {"my-dir\\Setup.exe", ""},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChannelIdFromInstallerName(c.installer), c.id) << c.installer;
}

TEST_F(AppPathsTest, ChannelIdIsStoredOnlyWhenOneIsFound) {
  SetMachineInstaller("Setup-abc12.exe");
  EXPECT_EQ(ResolveChannelId(), "abc12");
  EXPECT_EQ(StoredAdid(), "abc12");
  SetMachineInstaller("Setup-zzz.exe");
  EXPECT_EQ(ResolveChannelId(), "abc12");  // the stored value wins
}

TEST_F(AppPathsTest, InstallersWithoutAChannelStoreNothing) {
  for (const char* name : {"Setup-.exe", "Setup.exe"}) {
    SetMachineInstaller(name);
    EXPECT_EQ(ResolveChannelId(), "") << name;
    EXPECT_EQ(StoredAdid(), "<none>") << name;
  }
  platform::DeleteFile(sandbox().machineRegistry());
  EXPECT_EQ(ResolveChannelId(), "");
}

TEST(Version, TextAndNumber) {
  VersionInfo v = ComposeVersion(std::array<int, 4>{3, 0, 8, 0}, std::nullopt);
  EXPECT_EQ(v.text, "3.0.8.0");
  EXPECT_EQ(v.number, 308);
  v = ComposeVersion(std::array<int, 4>{3, 10, 2, 0}, std::nullopt);
  EXPECT_EQ(v.text, "3.10.2.0");
  EXPECT_EQ(v.number, 3102);
  v = ComposeVersion(std::nullopt, std::string("2.5.0.1"));
  EXPECT_EQ(v.text, "2.5.0.1");
  EXPECT_EQ(v.number, 0);
  v = ComposeVersion(std::nullopt, std::nullopt);
  EXPECT_EQ(v.text, "");
}

TEST_F(AppPathsTest, BuildMakesAPrivateTemporaryFolderAndTheDataFolder) {
  AppPaths p = AppPaths::Build(sandbox().programPath());
  EXPECT_EQ(p.installDir, sandbox().installDir());
  EXPECT_EQ(p.tempDir, sandbox().tmp() + "/PelmarVideoConverter-" + std::to_string(getuid()) + "/");
  struct stat st;
  ASSERT_EQ(lstat(p.tempDir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_FALSE(p.versionText.empty());
  EXPECT_GT(p.versionNumber, 0);
  EXPECT_EQ(p.osName, "");

  EXPECT_EQ(p.dataDir, "");
  EXPECT_EQ(p.DataFile("Config.ini"), "");
  p.CreateDataDir();
  EXPECT_EQ(p.dataDir, sandbox().dataHome() + "/PelmarVideoConverter");
  EXPECT_TRUE(platform::IsDirectory(p.dataDir));
  EXPECT_EQ(p.DataFile("run.dat"), p.dataDir + "/run.dat");
  EXPECT_EQ(p.InstallFile("oem.ini"), sandbox().installDir() + "/oem.ini");

  // Building again reuses the same folder.
  EXPECT_EQ(AppPaths::Build(sandbox().programPath()).tempDir, p.tempDir);
}

TEST_F(AppPathsTest, TemporaryFolderNeverWritesThroughALink) {
  std::string victim = path("victim");
  ASSERT_TRUE(platform::CreateFolders(victim));
  std::string preferred = sandbox().tmp() + "/PelmarVideoConverter-" + std::to_string(getuid());
  ASSERT_EQ(symlink(victim.c_str(), preferred.c_str()), 0);

  AppPaths p = AppPaths::Build(sandbox().programPath());
  ASSERT_FALSE(p.tempDir.empty());
  EXPECT_NE(platform::WithoutTrailingSlash(p.tempDir), preferred);
  struct stat st;
  ASSERT_EQ(lstat(p.tempDir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(platform::ParentDir(p.tempDir), sandbox().tmp());
  EXPECT_EQ(platform::EmptyFolder(victim), 0);
}

TEST_F(AppPathsTest, TemporaryFolderOfAnotherUserIsNotUsed) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
  std::string preferred = sandbox().tmp() + "/PelmarVideoConverter-" + std::to_string(getuid());
  ASSERT_TRUE(platform::CreateFolders(preferred));
  ASSERT_EQ(chown(preferred.c_str(), 65534, 65534), 0);
  AppPaths p = AppPaths::Build(sandbox().programPath());
  EXPECT_NE(platform::WithoutTrailingSlash(p.tempDir), preferred);
  EXPECT_FALSE(p.tempDir.empty());
}

TEST_F(AppPathsTest, AnExistingOpenTemporaryFolderIsMadePrivate) {
  std::string preferred = sandbox().tmp() + "/PelmarVideoConverter-" + std::to_string(getuid());
  ASSERT_TRUE(platform::CreateFolders(preferred));
  chmod(preferred.c_str(), 0777);
  AppPaths p = AppPaths::Build(sandbox().programPath());
  EXPECT_EQ(p.tempDir, preferred + "/");
  struct stat st;
  ASSERT_EQ(stat(preferred.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
