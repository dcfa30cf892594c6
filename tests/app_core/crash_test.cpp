#include "app/core/crash.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "app/core/app_paths.h"
#include "app/core/lang_file.h"
#include "app/core/language.h"
#include "app/core/run_log.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/support/sandbox.h"

using namespace app;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class CrashTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    paths_ = AppPaths::Build(sandbox().programPath());
    paths_.CreateDataDir();
    SetRunLogPath(paths_.DataFile("run.dat"));
    // A translation that would write memory if it went through printf.
    platform::CreateFolders(paths_.InstallFile("language"));
    std::string error;
    ASSERT_TRUE(WriteLangFile(paths_.InstallFile("language/en.dat"),
                              {{"Text", {{"ExceptInfo", "Crash %d at 0x%X %n%s 100%%"}}}},
                              &error))
        << error;
  }
  void TearDown() override {
    SetRunLogPath("");
    SandboxTest::TearDown();
  }

  // Runs the helper, which crashes the named way; returns its exit code.
  int Crash(const std::string& kind, const std::string& boxFile = "-",
            const std::string& installDir = "") {
    platform::ProcessOptions options;
    options.workDir = sandbox().root();
    options.stderrFile = path("helper-stderr.txt");
    return platform::RunAndWait(
        {PELMAR_CRASH_HELPER, installDir.empty() ? paths_.installDir : installDir, kind, boxFile},
        options);
  }

  std::string ReportPath() { return CrashFilePath(paths_.installDir, paths_.dataDir); }
  static std::optional<uint32_t> UpDumpDay() {
    return platform::RegGetDword(platform::Hive::CurrentUser, kRegistryKey, "UpDumpDay");
  }
  static uint32_t ModifiedTime(const std::string& file) {
    struct stat st;
    EXPECT_EQ(stat(file.c_str(), &st), 0) << file;
    return static_cast<uint32_t>(st.st_mtime);
  }
  static void SetModifiedTime(const std::string& file, time_t when) {
    timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  }
  std::string RunLogText() { return ReadText(paths_.DataFile("run.dat")); }

  AppPaths paths_;
};

TEST_F(CrashTest, EveryFatalSignalLeavesAReportAndEndsWithItsStatus) {
  struct Case {
    const char* kind;
    int signal;
    const char* name;
    bool box;
  };
  const std::vector<Case> cases = {
      {"segv", SIGSEGV, "SIGSEGV", true},     {"abort", SIGABRT, "SIGABRT", false},
      {"fpe", SIGFPE, "SIGFPE", true},        {"ill", SIGILL, "SIGILL", false},
      {"overflow", SIGSEGV, "SIGSEGV", true},  // reported from the signal stack
      {"thread-overflow", SIGSEGV, "SIGSEGV", true},  // from the worker's own signal stack
  };
  const std::string boxFile = path("box.txt");
  for (const Case& c : cases) {
    platform::DeleteFile(ReportPath());
    platform::DeleteFile(boxFile);
    EXPECT_EQ(Crash(c.kind, c.box ? boxFile : "-"), 128 + c.signal)
        << c.kind << ": " << ReadText(path("helper-stderr.txt"));

    const std::string report = ReadText(ReportPath());
    const std::string signalLine = "Signal: " + std::to_string(c.signal) + " (" + c.name + ")";
    EXPECT_NE(report.find(signalLine), std::string::npos) << c.kind << ":\n" << report;
    EXPECT_NE(report.find("\nInstruction address: 0x"), std::string::npos) << c.kind;
    size_t trace = report.find("\nBacktrace:\n");
    ASSERT_NE(trace, std::string::npos) << c.kind << ":\n" << report;
    EXPECT_GT(report.size(), trace + 20) << c.kind << ": no frames";
    if (std::string(c.kind) == "segv") {
      EXPECT_NE(report.find("\nFault address: 0x10\n"), std::string::npos) << report;
    }

    // The crash box got the localized text with the numbers put in, and
    // nothing else of it was taken as a placeholder.
    if (c.box) {
      const std::regex expected("Crash " + std::to_string(c.signal) +
                                " at 0x[0-9A-F]+ %n%s 100%");
      EXPECT_TRUE(std::regex_match(ReadText(boxFile), expected))
          << c.kind << ": " << ReadText(boxFile);
    } else {
      EXPECT_FALSE(platform::FileExists(boxFile)) << c.kind << ": shown without a display";
    }
  }
}

TEST_F(CrashTest, AReportIsHandedOnOnceAtTheNextStartsThatSendActions) {
  ASSERT_EQ(Crash("segv"), 128 + SIGSEGV);
  const std::string report = ReportPath();
  EXPECT_EQ(report, paths_.InstallFile("Error.tmp"));

  EXPECT_FALSE(ApplyCrashRecordRule(paths_, 0));  // a start that sends nothing
  EXPECT_FALSE(UpDumpDay().has_value());
  EXPECT_TRUE(ApplyCrashRecordRule(paths_, 1));
  EXPECT_EQ(UpDumpDay(), ModifiedTime(report));
  const std::string log = RunLogText();
  EXPECT_NE(log.find(report), std::string::npos) << log;
  EXPECT_FALSE(ApplyCrashRecordRule(paths_, 1));
  EXPECT_EQ(RunLogText(), log);  // once only

  // The next crash replaces the report; that one is handed on in turn.
  ASSERT_EQ(Crash("abort"), 128 + SIGABRT);
  SetModifiedTime(report, ModifiedTime(report) + 60);
  EXPECT_TRUE(ApplyCrashRecordRule(paths_, 1));
  EXPECT_EQ(UpDumpDay(), ModifiedTime(report));
  EXPECT_FALSE(ApplyCrashRecordRule(paths_, 1));
}

TEST_F(CrashTest, EmptyOrOversizedReportsAreMarkedButNotHandedOn) {
  const std::vector<std::pair<long long, bool>> cases = {
      {0, false}, {kCrashFileLimit, true}, {kCrashFileLimit + 1, false}, {3 * 1024 * 1024, false}};
  time_t when = 1700000000;
  for (const auto& [size, handedOn] : cases) {
    WriteText(ReportPath(), std::string(static_cast<size_t>(size), 'r'));
    SetModifiedTime(ReportPath(), when += 100);
    const std::string before = RunLogText();
    EXPECT_EQ(ApplyCrashRecordRule(paths_, 1), handedOn) << size;
    EXPECT_EQ(UpDumpDay(), static_cast<uint32_t>(when)) << size;
    EXPECT_EQ(RunLogText() != before, handedOn) << size;
    EXPECT_FALSE(ApplyCrashRecordRule(paths_, 1)) << size;
  }
}

TEST_F(CrashTest, WithoutAWritableInstallFolderTheReportLivesInTheDataFolder) {
  AppPaths elsewhere = paths_;
  elsewhere.installDir = path("not-there");
  EXPECT_EQ(CrashFilePath(elsewhere.installDir, elsewhere.dataDir),
            paths_.DataFile("Error.tmp"));
  EXPECT_EQ(CrashFilePath(paths_.installDir, ""), paths_.InstallFile("Error.tmp"));

  ASSERT_EQ(Crash("segv", "-", elsewhere.installDir), 128 + SIGSEGV);
  EXPECT_TRUE(platform::FileExists(paths_.DataFile("Error.tmp")));
  EXPECT_FALSE(platform::FileExists(paths_.InstallFile("Error.tmp")));
  EXPECT_TRUE(ApplyCrashRecordRule(elsewhere, 1));
  EXPECT_FALSE(ApplyCrashRecordRule(paths_, 1));  // nothing in the install folder
}

}  // namespace

namespace {

// The crash box that crashes itself (no display, a broken Qt) starts no
// other box: one run once left more than 150 processes behind.
TEST_F(CrashTest, ACrashBoxThatCrashesStartsNoOtherBox) {
  const std::string boxFile = path("boxes.txt");
  setenv("PELMAR_TEST_BOX_CRASHES", "1", 1);
  const int code = Crash("segv", boxFile);
  unsetenv("PELMAR_TEST_BOX_CRASHES");
  EXPECT_EQ(code, 128 + SIGSEGV) << ReadText(path("helper-stderr.txt"));
  EXPECT_EQ(ReadText(boxFile), "box\n") << "boxes started boxes";
}

}  // namespace
