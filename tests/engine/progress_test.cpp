#include "engine/output_naming.h"
#include "engine/progress_file.h"
#include "engine/video_item.h"
#include "engine/work_dirs.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

using namespace engine;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

TEST(Progress, ReadsTheOutputTimeAndTheFinalBlock) {
  struct Case {
    const char* text;
    int kept;
    int percent;
  } cases[] = {
      {"out_time_ms=50000000\nprogress=continue\n", 200, 25},
      {"out_time_ms=50000000\nout_time_ms=N/A\nout_time_ms=-7000000\n", 200, 25},
      {"out_time_ms=1000000\nprogress=end\n", 0, 100},  // the end counts without a duration
      {"", 200, 0},
      {"out_time_ms=50000000\n", 0, 0},
      // A trimmed run of 20 s kept: 10 s written is half, not a sixth of the file.
      {"out_time_ms=10000000\n", 20, 50},
      // Past the kept length without the final block: held below 100, no wrap.
      {"out_time_ms=250000000\n", 200, 99},
      {"out_time_ms=9\nout_time_ms=\n", 1, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ProgressPercent(ParseProgress(c.text), c.kept), c.percent) << c.text;

  EXPECT_EQ(ShownPercent(0, 25), 25);
  EXPECT_EQ(ShownPercent(25, 25), 43);
  EXPECT_EQ(ShownPercent(10, 99), 99);
}

class NamingTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    dirs_.scratch = path("scratch/");
    dirs_.log = path("log/");
    dirs_.work = path("work/");
    ASSERT_TRUE(dirs_.Ensure());
  }
  EngineDirs dirs_;
};

TEST_F(NamingTest, CollisionsRenameAndNeverTouchTheExistingFile) {
  VideoItem item(path("src/clip.mov"), ConvertKind::Video);
  item.outputDir = path("out");  // no trailing separator: one is added
  item.outputExtension = "mp4";
  platform::CreateFolders(path("out"));
  WriteText(path("out/clip.mp4"), "mine");

  NamingResult r = NameOutput(item, dirs_);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.outputName, "clip_0_" + item.itemId);
  EXPECT_EQ(r.outputPath, path("out/clip_0_" + item.itemId + ".mp4"));
  EXPECT_EQ(ReadText(path("out/clip.mp4")), "mine");
  // The item is only read: the owner's thread may be reading it meanwhile.
  EXPECT_EQ(item.outputName, "clip");
  EXPECT_EQ(item.outputPath, "");
  EXPECT_EQ(item.outputDir, path("out"));

  // Every name taken: a failure, and still nothing is touched.
  VideoItem taken(path("src/clip.mov"), ConvertKind::Video);
  taken.outputDir = path("out/");
  taken.outputExtension = "mp4";
  std::string name = "clip";
  WriteText(path("out/clip.mp4"), "mine");
  for (int i = 0; i < 3; ++i) {
    name += "_" + std::to_string(i) + "_" + taken.itemId;
    WriteText(path("out/" + name + ".mp4"), "mine");
  }
  r = NameOutput(taken, dirs_);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("taken"), std::string::npos);

  // A name that fits only without the clash suffix, and one that does not fit
  // at all: both are shortened, never past a character's end, so that every
  // name made fits in a file name.
  const std::string e = "\xc3\xa9";  // two bytes
  struct Long {
    std::string name;
    bool taken;  // the name as given exists
  } longs[] = {
      {std::string(231, 'n'), true},
      {std::string(240, 'n'), true},
      {std::string(252, 'n'), false},
      {std::string(1, 'n') + [&] {
         std::string s;
         for (int i = 0; i < 126; ++i) s += e;
         return s;
       }(), false},
  };
  for (const Long& c : longs) {
    VideoItem longName(path("src/clip.mov"), ConvertKind::Video);
    longName.outputDir = path("out/");
    longName.outputExtension = "mp4";
    longName.outputName = c.name;
    if (c.taken) WriteText(path("out/" + c.name + ".mp4"), "mine");
    r = NameOutput(longName, dirs_);
    ASSERT_TRUE(r.ok) << c.name.size() << ": " << r.error;
    for (const std::string& name : OutputNameChoices(longName)) {
      EXPECT_LE(name.size() + 4, 255u) << name;
      // Cut before a sequence's first byte: the name stays valid UTF-8.
      EXPECT_EQ(platform::TruncateUtf8Bytes(name, name.size()), name);
      const size_t kept = name.find("_0_") == std::string::npos ? name.size() : name.find("_0_");
      EXPECT_EQ(c.name.compare(0, kept, name, 0, kept), 0) << name;
      EXPECT_NE(static_cast<unsigned char>(name[kept - 1]), 0xc3) << "a character cut in half";
    }
    EXPECT_EQ(r.outputName, OutputNameChoices(longName)[c.taken ? 1 : 0]);
    EXPECT_EQ(r.outputPath, path("out/" + r.outputName + ".mp4"));
    if (c.taken) {
      EXPECT_EQ(ReadText(path("out/" + c.name + ".mp4")), "mine");
    }
  }
}

TEST_F(NamingTest, HelperFilesBelongToOneJobAndNeverComeFromTheTitle) {
  platform::CreateFolders(path("a"));
  platform::CreateFolders(path("b"));
  VideoItem inA(path("a/clip.mp4"), ConvertKind::Video);
  VideoItem inB(path("b/clip.mp4"), ConvertKind::Video);
  // A title as long as a file name can be (no extension).
  VideoItem longTitle(path(std::string(254, 't')), ConvertKind::Video);
  ASSERT_EQ(longTitle.title.size(), 254u);
  std::vector<std::string> names;
  for (VideoItem* item : {&inA, &inB, &inA, &longTitle}) {
    item->outputExtension = "mp4";
    std::string progress = NewProgressFilePath(*item, dirs_);
    EXPECT_EQ(platform::ParentDir(progress) + "/", dirs_.log);
    std::string name = platform::FileNameOf(progress);
    EXPECT_EQ(name.find(item->title), std::string::npos) << name;
    // The error output beside it takes ".log" on top.
    EXPECT_LE(name.size() + 4, 255u) << name;
    for (const std::string& other : names) EXPECT_NE(name, other);
    names.push_back(name);
  }
}

TEST_F(NamingTest, MergePartsReplaceTheirOldPartAndBadNamesAreRefused) {
  VideoItem part(path("src/a.mp4"), ConvertKind::Merge);
  part.outputName = "merge_" + part.itemId;
  part.outputExtension = "mkv";
  WriteText(dirs_.scratch + part.outputName + ".mkv", "old part");
  NamingResult r = NameOutput(part, dirs_);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.outputPath, dirs_.scratch + part.outputName + ".mkv");
  EXPECT_FALSE(platform::FileExists(r.outputPath));

  // ".." stays refused only where no extension follows it ("...mp4" is a file).
  const std::vector<std::pair<const char*, const char*>> bad = {
      {"../escape", "mp4"}, {"a/b", "mp4"}, {"", "mp4"}, {"..", ""}, {".", ""}};
  for (const auto& [name, extension] : bad) {
    VideoItem item(path("src/a.mp4"), ConvertKind::Video);
    item.outputDir = path("out/");
    item.outputExtension = extension;
    item.outputName = name;
    EXPECT_FALSE(NameOutput(item, dirs_).ok) << name;
  }
}

}  // namespace
