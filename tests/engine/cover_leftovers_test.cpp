// Cover pictures of a window that ended: the next start removes them, and
// nothing of a window that still runs.
#include <unistd.h>

#include <string>

#include "engine/run_records.h"
#include "engine/video_item.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class CoverLeftoversTest : public EngineTest {
 protected:
  // A cover made as the window's analysis makes it.
  std::string MakeCoverOf(const std::string& source) {
    VideoItem item(source, ConvertKind::Video);
    EXPECT_TRUE(ProbeItem(item));
    EXPECT_TRUE(MakeItemCover(item, dirs_.cover, dirs_.work)) << source;
    EXPECT_EQ(platform::ParentDir(item.coverPath), dirs_.cover);
    return item.coverPath;
  }
};

TEST_F(CoverLeftoversTest, TheCoversOfAnEndedWindowGoAtTheNextStart) {
  const std::string clip = Media("clip.mp4");
  // The window's folders, as an ended window left them (no window holds them).
  ASSERT_TRUE(platform::CreateFolders(dirs_.work));
  const std::string ended = MakeCoverOf(clip);
  ASSERT_GT(platform::FileSize(ended), 0);
  // Not ours to remove: another kind of file, and a link named like a cover.
  WriteText(path("victim.png"), "precious");
  WriteText(dirs_.cover + "/notes.txt", "x");
  const std::string link = dirs_.cover + "/a_1700000000000000.png";
  ASSERT_EQ(symlink(path("victim.png").c_str(), link.c_str()), 0);

  EXPECT_GT(RemoveLeftovers(dirs_), 0);
  EXPECT_FALSE(platform::FileExists(ended));
  EXPECT_EQ(ReadText(dirs_.cover + "/notes.txt"), "x");
  EXPECT_EQ(ReadText(path("victim.png")), "precious");
  EXPECT_TRUE(platform::FileExists(link));

  // A window that runs keeps the covers it shows.
  ASSERT_TRUE(dirs_.Ensure());
  const std::string shown = MakeCoverOf(clip);
  RemoveLeftovers(dirs_);
  EXPECT_GT(platform::FileSize(shown), 0);
}

}  // namespace
