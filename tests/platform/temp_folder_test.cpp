// The private folder for intermediate files when the usual one cannot serve:
// a temporary folder that cannot be written, a name someone else holds.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/read_only_folder.h"
#include "platform/files.h"
#include "platform/temp_folder.h"
#include "tests/support/sandbox.h"

using platform::MakePrivateTempFolder;
using platform::PrivateTempFolder;

namespace {

class TempFolderTest : public testsupport::SandboxTest {
 protected:
  std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names = platform::ListFolder(dir);
    std::sort(names.begin(), names.end());
    return names;
  }
  static bool IsPrivate(const std::string& dir) {
    struct stat st;
    return lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700 &&
           st.st_uid == getuid();
  }
};

TEST_F(TempFolderTest, ATemporaryFolderThatCannotBeWrittenIsSaidSoOnceAndTheNextOneServes) {
  const std::string tmp = path("ro"), cache = path("cache");
  testsupport::ReadOnlyFolder readOnly(tmp);
  if (!readOnly.Ok()) GTEST_SKIP() << "no read-only folder could be made here: " << strerror(errno);
  const PrivateTempFolder first = MakePrivateTempFolder({tmp + "/", cache}, "Pelmar-1");
  EXPECT_EQ(first.path, cache + "/Pelmar-1");
  EXPECT_TRUE(IsPrivate(first.path));
  EXPECT_EQ(first.note.rfind("the temporary folder " + tmp + " cannot be written (", 0), 0u) << first.note;
  EXPECT_NE(first.note.find("intermediate files go to " + cache + "/Pelmar-1 instead"), std::string::npos)
      << first.note;
  EXPECT_EQ(first.note.find("not private"), std::string::npos) << first.note;
  // Asked again (the clean-up at start asks too): the same folder, nothing more to tell.
  const PrivateTempFolder again = MakePrivateTempFolder({tmp + "/", cache}, "Pelmar-1");
  EXPECT_EQ(again.path, first.path);
  EXPECT_EQ(again.note, "");

  // Nowhere to write at all: said so, once.
  const PrivateTempFolder none = MakePrivateTempFolder({tmp}, "Pelmar-2");
  EXPECT_EQ(none.path, "");
  EXPECT_NE(none.note.find("cannot be written"), std::string::npos) << none.note;
  EXPECT_NE(none.note.find("nothing can be converted"), std::string::npos) << none.note;
  EXPECT_EQ(MakePrivateTempFolder({tmp}, "Pelmar-2").note, "");
}

// Someone put a link where the folder goes: one fresh folder serves the
// process however often it asks, goes at its exit, and one left by a process
// that ended goes at the next start; one of a process that lives stays.
TEST_F(TempFolderTest, FreshFoldersBesideATakenNameAreRemovedWhenTheirProcessEnds) {
  const std::string base = path("tmp");
  ASSERT_TRUE(platform::CreateFolders(base));
  ASSERT_TRUE(platform::CreateFolders(path("victim")));
  ASSERT_EQ(symlink(path("victim").c_str(), (base + "/Pelmar-0").c_str()), 0);
  auto oldFolder = [&](const std::string& name) {
    const std::string dir = base + "/" + name;
    EXPECT_EQ(mkdir(dir.c_str(), 0700), 0);
    testsupport::WriteText(dir + "/part.mkv", "x");
    const struct timeval past[2] = {{1000000000, 0}, {1000000000, 0}};
    EXPECT_EQ(utimes(dir.c_str(), past), 0);
    return dir;
  };
  const std::string ended = oldFolder("Pelmar-0-Ab12Cd");
  const std::string living = oldFolder("Pelmar-0-Ef34Gh");
  const int livingLock = open(living.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(flock(livingLock, LOCK_EX | LOCK_NB), 0);
  const std::string other = oldFolder("Pelmar-0-notours");

  const PrivateTempFolder fresh = MakePrivateTempFolder({base}, "Pelmar-0");
  ASSERT_NE(fresh.path, "");
  EXPECT_EQ(platform::ParentDir(fresh.path), base);
  EXPECT_TRUE(IsPrivate(fresh.path));
  EXPECT_NE(fresh.note.find("is not this user's private folder"), std::string::npos) << fresh.note;
  EXPECT_FALSE(platform::FileExists(ended));
  EXPECT_TRUE(platform::FileExists(living + "/part.mkv"));
  EXPECT_TRUE(platform::FileExists(other + "/part.mkv"));
  const std::vector<std::string> after = Entries(base);
  for (int i = 0; i < 3; ++i) {
    const PrivateTempFolder again = MakePrivateTempFolder({base}, "Pelmar-0");
    EXPECT_EQ(again.path, fresh.path);
    EXPECT_EQ(again.note, "");
  }
  EXPECT_EQ(Entries(base), after);
  EXPECT_TRUE(platform::ListFolder(path("victim")).empty());
  close(livingLock);

  // A process that ends normally takes its fresh folder with it, and only its own.
  const std::string base2 = path("tmp2");
  ASSERT_TRUE(platform::CreateFolders(base2));
  ASSERT_EQ(symlink(path("victim").c_str(), (base2 + "/Pelmar-0").c_str()), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const PrivateTempFolder made = MakePrivateTempFolder({base2}, "Pelmar-0");
    const bool ok = !made.path.empty() && platform::FileExists(made.path);
    exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Entries(base2), std::vector<std::string>{"Pelmar-0"});
  EXPECT_TRUE(IsPrivate(fresh.path));
}

}  // namespace
