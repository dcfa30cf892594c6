// The layering of the program holds: every folder includes only what its
// README says it may use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/layers/include_rules.h"
#include "tests/support/sandbox.h"

namespace {

std::string Describe(const std::vector<layers::Violation>& found) {
  std::string text;
  for (const layers::Violation& v : found)
    text += v.file + ":" + std::to_string(v.line) + ": " + v.include + ": " + v.why + "\n";
  return text;
}

TEST(IncludeRulesTest, TheProgramKeepsItsLayers) {
  const std::vector<layers::Violation> found =
      layers::CheckTree(PELMAR_SOURCE_DIR, layers::ProgramRules());
  EXPECT_TRUE(found.empty()) << Describe(found);
}

// The check itself, on small trees of one file each: it must see what it is
// there to see.
class IncludeCheckTest : public testsupport::SandboxTest {};

TEST_F(IncludeCheckTest, FindsWhatAFolderMayNotInclude) {
  struct Case {
    const char* file;
    const char* include;
    const char* why;  // nullptr: allowed
  };
  const Case cases[] = {
      {"engine/job.cpp", "#include <QString>", "engine/ may not use Qt"},
      {"media/probe.cpp", "#include <QtCore/QFile>", "media/ may not use Qt"},
      {"platform/files.cpp", "#include \"app/core/run_log.h\"", "may not include app/core/"},
      {"app/core/paths.cpp", "#include <libavformat/avformat.h>", "may not use FFmpeg"},
      {"app/ui/skin.cpp", "  #  include \"engine/command.h\"", "may not include engine/"},
      {"engine/queue.cpp", "#include \"ui/main_frame.h\"", "may not include ui/"},
      {"app/ui/layout.cpp", "#include \"ui/message_dlg.h\"", "may not include ui/"},
      {"player/read_thread.cpp", "#include <QWidget>", "player/ may not use Qt"},
      {"player/read_thread.cpp", "#include \"ui/clip_editor/media_display.h\"",
       "may not include ui/clip_editor/"},
      {"ui/clip_editor/rules/crop_model.cpp", "#include \"ui/clip_editor/widgets/range_slider.h\"",
       "may not include ui/clip_editor/widgets/"},
      {"ui/clip_editor/rules/clip_times.cpp", "#include <QRect>",
       "ui/clip_editor/rules/ may not use Qt"},
      {"ui/clip_editor/widgets/draw_panel.cpp", "#include \"ui/clip_editor/video_player_dlg.h\"",
       "may not include ui/clip_editor/"},
      {"media/probe.cpp", "#include <SDL.h>", "may not use SDL"},
      // The front ends stand on the session alone.
      {"cli/front_end.cpp", "#include \"engine/transform.h\"", "may not include engine/"},
      {"ui/main_frame.cpp", "#include \"engine/merge_join.h\"", "may not include engine/"},
      {"ui/list_rows.cpp", "#include \"media/probe.h\"", "may not include media/"},
      {"stray/thing.cpp", "#include <vector>", "has no rule"},
      // Allowed.
      {"ui/main_frame.cpp", "#include \"engine/list_session.h\"", nullptr},
      {"cli/options.cpp", "#include \"engine/format_catalog.h\"", nullptr},
      {"ui/main_frame.cpp", "#include <QWidget>", nullptr},
      {"ui/clip_editor/widgets/range_slider.cpp",
       "#include \"ui/clip_editor/rules/range_slider_model.h\"", nullptr},
      {"ui/clip_editor/video_player_dlg.cpp", "#include \"player/player.h\"", nullptr},
      {"ui/conversion_control.cpp", "#include \"ui/clip_editor/video_player_dlg.h\"", nullptr},
      {"engine/command.cpp", "#include <libavutil/dict.h>", nullptr},
      {"engine/command.cpp", "#include <sys/wait.h>", nullptr},
      {"tests/ui/a_test.cpp", "#include \"ui/main_frame.h\"", nullptr},
      {"bench/ui/window_bench.cpp", "#include \"ui/main_frame.h\"", nullptr},
      {"tests/ui/a_test.cpp", "#include \"a_test.moc\"", nullptr},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.include);
    const std::string root = path("tree" + std::to_string(n++));
    const std::string file = root + "/" + c.file;
    ASSERT_TRUE(platform::CreateFolders(platform::ParentDir(file)));
    ASSERT_TRUE(platform::WriteFileAtomic(file, "// a file\n" + std::string(c.include) + "\n"));
    const std::vector<layers::Violation> found = layers::CheckTree(root, layers::ProgramRules());
    if (!c.why) {
      EXPECT_TRUE(found.empty()) << Describe(found);
      continue;
    }
    ASSERT_EQ(found.size(), 1u) << Describe(found);
    EXPECT_EQ(found[0].file, c.file);
    EXPECT_NE(found[0].why.find(c.why), std::string::npos) << found[0].why;
    if (found[0].line != 0) {
      EXPECT_EQ(found[0].line, 2);
    }
  }
}

TEST_F(IncludeCheckTest, BuildTreesAreNotRead) {
  const std::string root = path("tree");
  ASSERT_TRUE(platform::CreateFolders(root + "/build/engine"));
  ASSERT_TRUE(platform::WriteFileAtomic(root + "/build/CMakeCache.txt", ""));
  ASSERT_TRUE(platform::WriteFileAtomic(root + "/build/engine/moc.cpp", "#include <QObject>\n"));
  EXPECT_TRUE(layers::CheckTree(root, layers::ProgramRules()).empty());
}

}  // namespace
