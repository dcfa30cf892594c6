// Odd names of sources and output folders, through a real conversion job.
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/format_catalog.h"
#include "engine/transform.h"
#include "engine/video_item.h"
#include "platform/files.h"
#include "tests/engine/engine_fixture.h"

using namespace engine;
using namespace enginetest;

namespace {

class OddNamesTest : public EngineTest {
 protected:
  // Converts the source to MP4 in `folder`; returns the job's final message.
  int Convert(const std::string& source, const std::string& folder) {
    auto item = std::make_shared<VideoItem>(source, ConvertKind::Video);
    ProbeItem(*item);
    item->outputDir = folder;
    EXPECT_TRUE(ParseFormatToken("mp4", &item->outputFormat));
    item->outputExtension = FormatExtension(item->outputFormat);
    item->analysed = true;
    keep_.push_back(item);
    auto job = std::make_shared<CUtilTransform>(item.get(), &recorder_, dirs_);
    job->Start();
    EXPECT_TRUE(job->ReportsEnded().waitFor(std::chrono::seconds(60))) << source;
    reason_ = job->FailureReason();
    output_ = job->OutputPath();
    job->Stop();
    int final = 0;
    for (const Message& m : recorder_.Messages())
      if (m.wParam == item.get() && (m.msg == WM_CONVERT_FAILED || m.msg == WM_CONVERT_START_FAILED ||
                                     (m.msg == WM_CONVERT_PROGRESS && m.lParam == 100)))
        final = m.msg;
    return final;
  }

  Recorder recorder_;
  std::string reason_, output_;
  std::vector<std::shared_ptr<VideoItem>> keep_;
};

// "..mp4" is a file like any other: its output keeps the name's dots.
TEST_F(OddNamesTest, SourcesNamedWithDotsOnlyConvertUnderTheirOwnName) {
  const std::string clip = Media("clip.mp4");
  ASSERT_TRUE(platform::CreateFolders(path("in")));
  for (const std::string name : {"..mp4", "...mp4", "....mp4"}) {
    SCOPED_TRACE(name);
    const std::string source = path("in/" + name);
    ASSERT_EQ(link(clip.c_str(), source.c_str()), 0);
    EXPECT_EQ(Convert(source, out_), WM_CONVERT_PROGRESS) << reason_;
    EXPECT_EQ(output_, out_ + name);
    EXPECT_GT(platform::FileSize(out_ + name), 0);
  }
}

// A line break or another control character in the output folder's path:
// the job says that the folder's name is the trouble, and writes nothing.
TEST_F(OddNamesTest, AnOutputFolderWithAControlCharacterIsRefusedForItsName) {
  const std::string clip = Media("clip.mp4");
  struct Case {
    std::string folder;
    const char* why;
  };
  const std::vector<Case> cases = {
      {path("a\x01" "b"), "control character 0x01"},
      {path("a\nb"), "line break"},
      {path("a\rb"), "line break"},
      {path("a\x7f" "b"), "control character 0x7f"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(platform::CreateFolders(c.folder));
    EXPECT_EQ(Convert(clip, c.folder), WM_CONVERT_FAILED) << c.why;
    EXPECT_EQ(reason_.rfind("the output folder's name cannot be used: ", 0), 0u) << reason_;
    EXPECT_NE(reason_.find(c.why), std::string::npos) << reason_;
    EXPECT_EQ(reason_.find("taken"), std::string::npos) << reason_;
    EXPECT_TRUE(platform::ListFolder(c.folder).empty()) << c.why;
  }
}

}  // namespace
