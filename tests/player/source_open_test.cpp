// The player opens what it is given and nothing that file names: playlists
// and lists posing as videos are refused before any file they name is read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/files.h"
#include "player/video_state.h"
#include "tests/support/hostile_sources.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

namespace player {
namespace {

int NeverStop(void*) { return 0; }
int StopAtOnce(void*) { return 1; }

class PlayerOpenTest : public testsupport::SandboxTest {
 protected:
  // Opens as the read thread does; "" when it opened (the demuxer's name
  // goes to *format), else the reason.
  static std::string Open(const std::string& file, std::string* format = nullptr,
                          int (*interrupt)(void*) = NeverStop) {
    std::string error;
    AVFormatContext* ic = OpenPlayerFile(file, AVIOInterruptCB{interrupt, nullptr}, &error);
    if (!ic) return error.empty() ? "no reason given" : error;
    if (format) *format = ic->iformat->name;
    avformat_close_input(&ic);
    return "";
  }
};

TEST_F(PlayerOpenTest, HostileSourcesAreRefusedAndWhatTheyNameIsNeverOpened) {
  const std::string folder = path("in") + "/";
  platform::CreateFolders(folder);
  for (const testsupport::HostileSource& c : testsupport::MakeHostileSources(folder)) {
    std::vector<std::string> named;
    for (const std::string& n : c.named) named.push_back(folder + n);
    testsupport::OpenWatch watch(named);
    const std::string why = Open(folder + c.name);
    EXPECT_NE(why, "") << c.name;
    EXPECT_EQ(why.find("playlist") != std::string::npos, c.playlist) << c.name << ": " << why;
    EXPECT_EQ(watch.Opens(), 0) << c.name << " had a file it names opened";
  }
}

TEST_F(PlayerOpenTest, OnlyPlainFilesAreOpenedAndAStopReachesTheOpen) {
  const std::string clip = path("clip.mp4");
  ASSERT_EQ(testsupport::MakeMedia(clip, testsupport::Clip(1.0, 160, 120)), "");
  std::string format;
  EXPECT_EQ(Open(clip, &format), "");
  EXPECT_EQ(format.rfind("mov,", 0), 0u) << format;

  // A pipe would hold the read thread in its open for good.
  const std::string pipe = path("pipe.mp4");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(Open(pipe), "not a plain file");
  EXPECT_EQ(Open(path("gone.mp4")), "no such file");
  EXPECT_NE(Open(clip, nullptr, StopAtOnce), "");

  // A relative name holding ':' is a file in the working folder, no protocol.
  ASSERT_EQ(link(clip.c_str(), path("a:b.mp4").c_str()), 0);
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(path("").c_str()), 0);
  const std::string relative = Open("a:b.mp4");
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(relative, "");
}

}  // namespace
}  // namespace player
