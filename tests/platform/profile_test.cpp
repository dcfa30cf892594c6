#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "tests/support/other_user.h"
#include "tests/support/sandbox.h"

using namespace platform;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class ProfileTest : public testsupport::SandboxTest {
 protected:
  std::string ini() { return path("Config.ini"); }
};

TEST_F(ProfileTest, ReadsWithTheWindowsRules) {
  WriteText(ini(),
            "; comment\r\n[Setting]\r\nLCID = 1041 \r\nName=\"quoted value\"\r\nEmpty=\r\n"
            "Mixed=12abc\r\nWord=abc\r\nNeg=-5\r\nDup=first\r\nDup=second\r\n"
            "[other]\r\nLCID=7\r\n");
  struct Case {
    const char* section;
    const char* key;
    const char* expected;
  } strings[] = {
      {"Setting", "LCID", "1041"},   {"setting", "lcid", "1041"},  // no case
      {"Setting", "Name", "quoted value"},
      {"Setting", "Empty", ""},      // present but empty: not the default
      {"Setting", "Missing", "def"}, {"Nosection", "LCID", "def"},
      {"Setting", "Dup", "first"},   {"OTHER", "lcid", "7"},
  };
  for (const Case& c : strings)
    EXPECT_EQ(ProfileGetString(ini(), c.section, c.key, "def"), c.expected)
        << c.section << "/" << c.key;
  EXPECT_EQ(ProfileGetString(path("missing.ini"), "Setting", "LCID", "def"), "def");

  struct IntCase {
    const char* key;
    int expected;
  } ints[] = {{"LCID", 1041}, {"Mixed", 12}, {"Word", 0}, {"Neg", -5},
              {"Empty", 99},  {"Missing", 99}};
  for (const IntCase& c : ints)
    EXPECT_EQ(ProfileGetInt(ini(), "Setting", c.key, 99), c.expected) << c.key;
}

TEST_F(ProfileTest, LongValuesAreCutToTheBuffer) {
  std::string ascii(300, 'a');
  std::string wide;
  for (int i = 0; i < 300; ++i) wide += "\xC3\xA9";  // é: two bytes, one character
  WriteText(ini(), "[path]\noutput_path=" + ascii + "\nwide=" + wide + "\n");
  EXPECT_EQ(ProfileGetString(ini(), "path", "output_path", ""), std::string(259, 'a'));
  std::string got = ProfileGetString(ini(), "path", "wide", "");
  EXPECT_EQ(got.size(), 259u * 2);  // 259 whole characters, none split
  EXPECT_EQ(ProfileGetString(ini(), "path", "missing", ascii), std::string(259, 'a'));
}

TEST_F(ProfileTest, WritingOneKeyKeepsEveryOtherLine) {
  const std::string original =
      "; written by hand\r\n[Setting]\r\nLCID=1033\r\n; keep me\r\nSendAction=0\r\n\r\n"
      "[main]\r\nHasNewInstaller=0\r\n";
  WriteText(ini(), original);
  EXPECT_TRUE(ProfileWriteInt(ini(), "setting", "lcid", 1041));
  EXPECT_TRUE(ProfileWriteString(ini(), "Setting", "OpenTutorial", "0"));
  EXPECT_TRUE(ProfileWriteString(ini(), "New", "Key", "v"));
  EXPECT_EQ(ReadText(ini()),
            "; written by hand\r\n[Setting]\r\nlcid=1041\r\n; keep me\r\nSendAction=0\r\n"
            "OpenTutorial=0\r\n\r\n[main]\r\nHasNewInstaller=0\r\n\r\n[New]\r\nKey=v\r\n");
  EXPECT_TRUE(ProfileDeleteKey(ini(), "main", "HasNewInstaller"));
  EXPECT_EQ(ProfileGetInt(ini(), "main", "HasNewInstaller", 5), 5);
  EXPECT_EQ(ProfileGetInt(ini(), "Setting", "SendAction", 5), 0);

  // A new file is made on the first write.
  EXPECT_TRUE(ProfileWriteString(path("fresh.ini"), "path", "output_path", "/x/y/"));
  EXPECT_EQ(ReadText(path("fresh.ini")), "[path]\noutput_path=/x/y/\n");
  // A value may not smuggle in a line of its own.
  EXPECT_FALSE(ProfileWriteString(ini(), "Setting", "LCID", "1\n[Evil]"));
  EXPECT_FALSE(ProfileWriteString(path("no/folder/x.ini"), "a", "b", "c"));
}

TEST_F(ProfileTest, AnInterruptedWriteLeavesTheOldFile) {
  std::string old = "[Setting]\nLCID=1033\n";
  WriteText(ini(), old);
  // The child may write only a few bytes: the disk is "full" mid-write.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{8, 8};
    setrlimit(RLIMIT_FSIZE, &lim);
    bool ok = ProfileWriteString(ini(), "Setting", "Big", std::string(200, 'x'));
    _exit(ok ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have reported failure";
  EXPECT_EQ(ReadText(ini()), old);
  EXPECT_EQ(EmptyFolder(sandbox().root()), 1) << "a temporary file was left behind";
}

TEST_F(ProfileTest, AReadOnlyFolderLeavesTheOldFile) {
  // Root writes into read-only folders: the write is tried as a plain user.
  std::string dir = path("ro");
  ASSERT_TRUE(CreateFolders(dir));
  WriteText(dir + "/Config.ini", "[a]\nb=1\n");
  ASSERT_EQ(testsupport::OpenPathToOthers(sandbox().root(), dir), "");
  chmod((dir + "/Config.ini").c_str(), 0666);
  chmod(dir.c_str(), 0555);
  const std::string written = testsupport::RunUnprivileged([&] {
    if (access(dir.c_str(), W_OK) == 0) return std::string("the folder is writable after all");
    if (ProfileWriteString(dir + "/Config.ini", "a", "b", "2"))
      return std::string("the write reported success");
    return std::string();
  });
  chmod(dir.c_str(), 0755);
  EXPECT_EQ(written, "");
  EXPECT_EQ(ReadText(dir + "/Config.ini"), "[a]\nb=1\n");
  EXPECT_EQ(EmptyFolder(dir), 1) << "a temporary file was left behind";
}

TEST_F(ProfileTest, GarbageAndUnreadableFilesReadAsDefaults) {
  // Random bytes with no '[' cannot open a section: around a good section
  // they leave its keys alone, on their own they read as defaults, and a
  // damaged file still takes a new value.
  std::mt19937 rng(42);
  auto junk = [&rng] {
    std::string j(static_cast<size_t>(rng() % 4096), '\0');
    for (char& c : j) {
      c = static_cast<char>(rng() % 256);
      if (c == '[' || c == ']') c = 'x';
    }
    return j;
  };
  const std::string good = "\n[Setting]\r\nLCID=1041\r\n";
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    WriteText(ini(), junk());
    EXPECT_EQ(ProfileGetString(ini(), "Setting", "LCID", "d"), "d");
    EXPECT_EQ(ProfileGetInt(ini(), "Setting", "LCID", 3), 3);
    WriteText(ini(), "[Setting" + junk());  // never closed
    EXPECT_EQ(ProfileGetString(ini(), "Setting", "LCID", "d"), "d");

    WriteText(ini(), junk() + good + junk());
    EXPECT_EQ(ProfileGetInt(ini(), "Setting", "LCID", 3), 1041);
    const std::string got = ProfileGetString(ini(), "Setting", "LCID", "d");
    EXPECT_EQ(got, "1041");
    EXPECT_TRUE(ProfileWriteString(ini(), "Setting", "SendAction", "1"));
    EXPECT_EQ(ProfileGetInt(ini(), "Setting", "SendAction", 3), 1);
    EXPECT_EQ(ProfileGetInt(ini(), "Setting", "LCID", 3), 1041);
  }
  // A folder where the file should be.
  ASSERT_TRUE(CreateFolders(path("dir.ini")));
  EXPECT_EQ(ProfileGetInt(path("dir.ini"), "a", "b", 4), 4);
  EXPECT_FALSE(ProfileWriteString(path("dir.ini"), "a", "b", "c"));
  EXPECT_TRUE(IsDirectory(path("dir.ini")));
  // A file that cannot be read, as a plain user (root reads anything).
  WriteText(ini(), good);
  chmod(ini().c_str(), 0);
  ASSERT_EQ(testsupport::OpenPathToOthers(sandbox().root(), sandbox().root()), "");
  EXPECT_EQ(testsupport::RunUnprivileged([&] {
              const int got = ProfileGetInt(ini(), "Setting", "LCID", 3);
              return got == 3 ? std::string() : "read " + std::to_string(got);
            }),
            "");
}

class RegistryTest : public testsupport::SandboxTest {};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndTheFileIsPrivate) {
  const std::string key = "Software\\PelmarVideoConverter";
  EXPECT_FALSE(RegGetString(Hive::CurrentUser, key, "adid"));
  EXPECT_TRUE(RegSetString(key, "adid", "abc12"));
  EXPECT_TRUE(RegSetDword(key, "UpDumpDay", 4000000000u));
  EXPECT_EQ(RegGetString(Hive::CurrentUser, key, "ADID").value_or(""), "abc12");
  EXPECT_EQ(RegGetDword(Hive::CurrentUser, key, "UpDumpDay").value_or(0), 4000000000u);
  EXPECT_FALSE(RegGetString(Hive::CurrentUser, key, "UpDumpDay"));  // wrong type
  EXPECT_FALSE(RegGetDword(Hive::CurrentUser, key, "adid"));
  EXPECT_FALSE(RegGetString(Hive::CurrentUser, "Software\\Other", "adid"));

  // A value longer than the caller's buffer counts as missing.
  EXPECT_TRUE(RegSetString(key, "Version", std::string(259, 'v')));
  EXPECT_TRUE(RegGetString(Hive::CurrentUser, key, "Version"));
  EXPECT_TRUE(RegSetString(key, "Version", std::string(260, 'v')));
  EXPECT_FALSE(RegGetString(Hive::CurrentUser, key, "Version"));

  EXPECT_TRUE(RegDeleteValue(key, "adid"));
  EXPECT_FALSE(RegGetString(Hive::CurrentUser, key, "adid"));

  struct stat st;
  std::string file = RegistryFile(Hive::CurrentUser);
  EXPECT_EQ(file, sandbox().configHome() + "/PelmarVideoConverter/registry.ini");
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, MachineHiveIsReadOnlyAndGarbageIsMissing) {
  WriteText(sandbox().machineRegistry(),
            "[Software\\PelmarVideoConverter]\nInstallerName=sz:Setup-abc12.exe\nBad=dword:x\n");
  const std::string key = "Software\\PelmarVideoConverter";
  EXPECT_EQ(RegGetString(Hive::LocalMachine, key, "InstallerName").value_or(""),
            "Setup-abc12.exe");
  EXPECT_FALSE(RegGetDword(Hive::LocalMachine, key, "Bad"));
  EXPECT_FALSE(RegGetString(Hive::CurrentUser, key, "InstallerName"));
  CreateFolders(sandbox().configHome() + "/PelmarVideoConverter");
  WriteText(RegistryFile(Hive::CurrentUser), std::string("\0\0[\xff", 4));
  EXPECT_FALSE(RegGetString(Hive::CurrentUser, key, "adid"));
  EXPECT_TRUE(RegSetString(key, "adid", "x"));  // a damaged file is still writable
  EXPECT_EQ(RegGetString(Hive::CurrentUser, key, "adid").value_or(""), "x");
}

}  // namespace
