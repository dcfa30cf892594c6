#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "tests/support/sandbox.h"

using namespace platform;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class FilesTest : public testsupport::SandboxTest {};

TEST_F(FilesTest, EmptyFolderDeletesOnlyFilesDirectlyInside) {
  std::string dir = path("covers");
  ASSERT_TRUE(CreateFolders(dir + "/sub/deeper"));
  WriteText(dir + "/a.jpg", "a");
  WriteText(dir + "/.hidden", "h");
  WriteText(dir + "/sub/keep.jpg", "k");
  WriteText(path("outside.txt"), "o");
  ASSERT_EQ(symlink(path("outside.txt").c_str(), (dir + "/link").c_str()), 0);

  EXPECT_EQ(EmptyFolder(dir), 3);  // two files and the link itself
  EXPECT_FALSE(FileExists(dir + "/a.jpg"));
  EXPECT_FALSE(FileExists(dir + "/.hidden"));
  EXPECT_FALSE(FileExists(dir + "/link"));
  EXPECT_TRUE(FileExists(dir + "/sub/keep.jpg"));
  EXPECT_TRUE(FileExists(path("outside.txt")));  // a link's target is never touched
  EXPECT_EQ(EmptyFolder(path("missing")), 0);
}

TEST_F(FilesTest, SizesExistenceAndDeletion) {
  WriteText(path("f"), "12345");
  EXPECT_EQ(FileSize(path("f")), 5);
  EXPECT_EQ(FileSize(path("nope")), -1);
  EXPECT_TRUE(FileExists(path("f")));
  EXPECT_FALSE(IsDirectory(path("f")));
  EXPECT_FALSE(DeleteFile(sandbox().home()));  // never a folder
  EXPECT_TRUE(DeleteFile(path("f")));
  EXPECT_FALSE(FileExists(path("f")));
  EXPECT_TRUE(CreateFolders(path("a/b/c/")));
  EXPECT_TRUE(IsDirectory(path("a/b/c")));
}

TEST_F(FilesTest, PrivateFolderRefusesLinksAndTightensItsMode) {
  std::string target = path("elsewhere");
  ASSERT_TRUE(CreateFolders(target));
  chmod(target.c_str(), 0755);
  ASSERT_EQ(symlink(target.c_str(), path("link").c_str()), 0);
  EXPECT_FALSE(EnsurePrivateFolder(path("link")));
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);  // not changed through the link

  EXPECT_TRUE(EnsurePrivateFolder(target));
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  EXPECT_TRUE(EnsurePrivateFolder(path("new/private/")));
  ASSERT_EQ(stat(path("new/private").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  WriteText(path("plain"), "x");
  EXPECT_FALSE(EnsurePrivateFolder(path("plain")));
}

TEST_F(FilesTest, PrivateFolderRefusesAFolderOfAnotherUser) {
  if (getuid() != 0) GTEST_SKIP() << "needs root to give a folder away";
  std::string dir = path("theirs");
  ASSERT_TRUE(CreateFolders(dir));
  ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
  EXPECT_FALSE(EnsurePrivateFolder(dir));
}

TEST_F(FilesTest, WriteFileAtomicReplacesWholeAndLeavesNoTemporaryFile) {
  std::string dir = path("d");
  ASSERT_TRUE(CreateFolders(dir));
  WriteText(dir + "/x.ini", "old");
  EXPECT_TRUE(WriteFileAtomic(dir + "/x.ini", "new content", 0600));
  EXPECT_EQ(ReadText(dir + "/x.ini"), "new content");
  struct stat st;
  ASSERT_EQ(stat((dir + "/x.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(EmptyFolder(dir), 1);  // only the file itself was there
  EXPECT_FALSE(WriteFileAtomic(path("no/such/folder/x"), "y"));
}

TEST_F(FilesTest, LastLinesTakesTheEndOfProgressOutput) {
  WriteText(path("log"), "first\nsecond\nframe=1\rframe=2\rframe=3\n\nError: broken\n");
  EXPECT_EQ(LastLines(path("log"), 2), "frame=3\nError: broken");
  EXPECT_EQ(LastLines(path("log"), 100), "first\nsecond\nframe=1\nframe=2\nframe=3\nError: broken");
  EXPECT_EQ(LastLines(path("missing"), 3), "");
  std::string big(20000, 'x');
  WriteText(path("big"), big + "\nlast line\n");
  EXPECT_EQ(LastLines(path("big"), 5, 4096), "last line");
}

TEST(PathText, SplitsAndJoins) {
  EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(ParentDir("/a/b/c.mp4"), "/a/b");
  EXPECT_EQ(ParentDir("/c.mp4"), "/");
  EXPECT_EQ(ParentDir("c.mp4"), "");
  EXPECT_EQ(FileNameOf("/a/b/c.mp4"), "c.mp4");
  EXPECT_EQ(RemoveExtension("/a.b/c.tar.gz"), "/a.b/c.tar");
  EXPECT_EQ(RemoveExtension("/a.b/noext"), "/a.b/noext");
  EXPECT_EQ(RemoveExtension("/a/.hidden"), "/a/.hidden");
  EXPECT_EQ(ExtensionOf("/a/clip.MP4"), "MP4");
  EXPECT_EQ(ExtensionOf("/a.b/clip"), "");
  EXPECT_EQ(WithTrailingSlash("/x"), "/x/");
  EXPECT_EQ(WithoutTrailingSlash("/x//"), "/x");
  EXPECT_EQ(WithoutTrailingSlash("/"), "/");
}

}  // namespace
