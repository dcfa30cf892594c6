// A disk that fills up: the reason says so, whether the output's disk is full
// or the one where the program keeps the transcoder's progress and messages.
// The full disk is a small tmpfs, which only root may mount.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/command.h"
#include "engine/transcoder_run.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/media.h"
#include "tests/support/sandbox.h"

using namespace engine;

namespace {

// A tmpfs mounted on a folder of the sandbox and filled to the last byte.
class FullDisk {
 public:
  explicit FullDisk(const std::string& folder) : folder_(folder) {
    if (!platform::CreateFolders(folder)) return;
    if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0755") != 0) {
      error_ = errno;
      return;
    }
    mounted_ = true;
    int fd = open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const std::string block(4096, 'x');
    while (fd >= 0 && write(fd, block.data(), block.size()) > 0) {
    }
    while (fd >= 0 && write(fd, block.data(), 1) > 0) {
    }
    if (fd >= 0) close(fd);
  }
  ~FullDisk() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  int Error() const { return error_; }

 private:
  std::string folder_;
  bool mounted_ = false;
  int error_ = 0;
};

class FullDiskTest : public testsupport::SandboxTest {};

TEST_F(FullDiskTest, TheReasonSaysWhichDiskIsFull) {
  const std::string clip = path("clip.mp4");
  ASSERT_EQ(testsupport::MakeMedia(clip, testsupport::Clip(1.0, 160, 120)), "");
  const std::string full = path("full");
  FullDisk disk(full);
  if (!disk.Mounted())
    GTEST_SKIP() << "no tmpfs could be mounted here (" << strerror(disk.Error()) << ")";
  ASSERT_TRUE(platform::CreateFolders(path("log")));

  struct Case {
    const char* name;
    std::string output;
    std::string progressFolder;  // where the progress and error files go
    std::string head;            // how the reason starts
    std::string words;           // and what follows it
  };
  const std::vector<Case> cases = {
      {"the output's disk", full + "/a.mp4", path("log"),
       "the disk of the output folder " + full + " is full: ", strerror(ENOSPC)},
      {"the disk of the progress and messages", path("a.mp4"), full,
       "the disk of the program's data folder is full (" + full + ")",
       "the transcoder ended without finishing"},
  };
  for (const Case& c : cases) {
    Command cmd;
    cmd.Add({"-hide_banner", "-progress"});
    cmd.AddPath(c.progressFolder + "/progress");
    cmd.Add({"-y", "-i"});
    cmd.AddPath(clip);
    cmd.AddPath(c.output);
    TranscoderRun run{&cmd, sandbox().root(), c.progressFolder + "/job.log",
                      c.progressFolder + "/progress", c.output, c.output};
    platform::Process process;
    std::atomic<bool> stop{false}, started{false};
    const RunResult r = RunAndJudge(run, process, stop, started);
    EXPECT_EQ(r.outcome, RunOutcome::Failed) << c.name;
    EXPECT_EQ(r.reason.rfind(c.head, 0), 0u) << c.name << ": " << r.reason;
    EXPECT_NE(r.reason.find(c.words), std::string::npos) << c.name << ": " << r.reason;
    EXPECT_EQ(r.reason.find('\n'), std::string::npos) << c.name << ": " << r.reason;
    platform::DeleteFile(c.output);
  }
}

}  // namespace
