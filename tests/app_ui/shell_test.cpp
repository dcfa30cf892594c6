// The desktop's opener as the program runs it: xdg-open, and what its answer
// means for the caller.
#include "app/ui/shell.h"

#include <QUrl>

#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "platform/files.h"
#include "tests/app_ui/ui_fixture.h"

namespace {

using uitest::UiTest;

// An xdg-open of the test's own ahead of the real one: it notes the address
// it was given, then does what the case says.
class DesktopOpenerTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    app::SetAddressOpener(nullptr);  // the real opener
    oldPath_ = getenv("PATH");
    const std::string bin = path("bin");
    platform::CreateFolders(bin);
    setenv("PATH", (bin + ":" + oldPath_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    UiTest::TearDown();
  }
  void WriteOpener(const std::string& then) {
    const std::string file = path("bin/xdg-open");
    testsupport::WriteText(file, "#!/bin/sh\nprintf '%s' \"$1\" > '" + path("asked") + "'\n" +
                                     then + "\n");
    chmod(file.c_str(), 0755);
  }
  std::string oldPath_;
};

TEST_F(DesktopOpenerTest, OpenedOnlyWhenXdgOpenFoundAProgram) {
  const std::string clip = path("my clip #1.mp4");
  testsupport::WriteText(clip, "x");
  struct Case {
    const char* what;
    std::string then;
    bool opened;
  } cases[] = {
      {"handed over", "exit 0", true},
      // xdg-open's answer when no program on the desktop takes the file.
      {"no program", "echo 'xdg-open: no method available' >&2; exit 3", false},
      {"the file is gone", "exit 2", false},
      // On a desktop it does not know, xdg-open stays with the player it started.
      {"still playing",
       "while [ ! -e '" + path("stop") + "' ]; do sleep 0.05; done; touch '" + path("gone") + "'",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::DeleteFile(path("asked"));
    WriteOpener(c.then);
    EXPECT_EQ(app::OpenAddress(QString::fromStdString(clip)), c.opened);
    // The local path goes as a file address, whatever it holds.
    EXPECT_EQ(QUrl(QString::fromStdString(testsupport::ReadText(path("asked")))).toLocalFile(),
              QString::fromStdString(clip));
  }
  // The opener left running ends by itself, and the program with it.
  testsupport::WriteText(path("stop"), "");
  EXPECT_TRUE(uitest::WaitFor([&] { return platform::FileExists(path("gone")); }));
}

}  // namespace
