#include "gtest/gtest.h"
#include "ui/main_window_rules.h"
#include "ui/startup.h"

using namespace ui;
using engine::ConvertKind;

namespace {

const std::string kPatterns = "*.mp4;*.mkv;*.avi;*.wmv;*.flv;*.mov;*.mpg;*.ts;";

TEST(DropRule, TakesOnlyNamedExtensions) {
  struct Case {
    const char* path;
    bool taken;
  } cases[] = {{"/v/Holiday.MP4", true}, {"/v/notes.txt", false}, {"/v/noext", false},
               {"/v.mkv/noext", false},   {"/v/a.b.ts", true},     {"/v/clip.mp", false},
               {"/v/.mp4", false}};
  for (const Case& c : cases) EXPECT_EQ(AcceptsDroppedFile(c.path, kPatterns), c.taken) << c.path;
  // The last entry without its ";" is never taken by a drop.
  EXPECT_FALSE(AcceptsDroppedFile("/v/a.ts", "*.mp4;*.ts"));
  EXPECT_EQ(AcceptedDrops({"/v/a.MP4", "/v/b.txt", "/v/c"}, kPatterns),
            std::vector<std::string>{"/v/a.MP4"});
  // ... while the open-file dialog still offers it.
  EXPECT_EQ(OpenFileFilter("Video files ", "(MP4/TS)", "*.mp4;*.ts"),
            "Video files (MP4/TS) (*.mp4 *.ts)");
}

TEST(Labels, TitleFormatAndStartButton) {
  EXPECT_EQ(MainWindowTitle("", "Pelmar Video Converter", "1.0.0.0", true),
            "Pelmar Video Converter  1.0.0.0");
  EXPECT_EQ(MainWindowTitle("Partner", "Pelmar", "1.0.0.0", false), "Partner  ");
  EXPECT_STREQ(StartButtonTextKey(ConvertKind::Audio), "BtnExtractTxt");
  EXPECT_STREQ(StartButtonTextKey(ConvertKind::Merge), "BtnMergeTxt");
  EXPECT_STREQ(StartButtonTextKey(ConvertKind::Gif), "BtnConverTxt");
}

TEST(Dpi, SnapsDownToTheFourSteps) {
  EXPECT_EQ(DpiStep(110), 96);
  EXPECT_EQ(DpiStep(120), 120);
  EXPECT_EQ(DpiStep(168), 144);
  EXPECT_EQ(DpiStep(300), 192);
}

TEST(Switches, TheFirstOfTheOrderDecides) {
  EXPECT_EQ(FindSwitch({"/tjuninstall", "/install"}), "/tjuninstall");
  EXPECT_EQ(FindSwitch({"/uninstall"}), "/uninstall");
  EXPECT_EQ(FindSwitch({"x/installer"}), "/install");  // found anywhere in the text
  EXPECT_EQ(FindSwitch({"clip.mp4"}), "");
  EXPECT_EQ(FindSwitch({"/UNINSTALL"}), "");           // case counts
}

}  // namespace
