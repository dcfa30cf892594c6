// pelmar-preview given a file it cannot open: it ends at once with an error,
// instead of keeping an empty window open. Run with a display, where the
// window would open.
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/player/huge_gif.h"
#include "tests/support/sandbox.h"

using testsupport::ReadText;
using testsupport::WriteText;

namespace {

class PreviewOpenTest : public testsupport::SandboxTest {};

TEST_F(PreviewOpenTest, AFileThatCannotBeOpenedEndsThePreviewAtOnce) {
  platform::CreateFolders(path("folder.mp4"));
  WriteText(path("text.mp4"), "this is no video at all\n");
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"missing", path("missing.mp4")},
      {"a folder", path("folder.mp4")},
      {"not a video", path("text.mp4")},
  };
  for (const auto& [name, file] : cases) {
    platform::ProcessOptions options;
    options.stderrFile = path("stderr.txt");
    // A preview that waits for its window to be closed never ends by itself:
    // timeout ends it (exit 124) so that the test can tell.
    const int code =
        platform::RunAndWait({"timeout", "120", PELMAR_PREVIEW_PROGRAM, file}, options);
    const std::string err = ReadText(path("stderr.txt"));
    EXPECT_EQ(code, 1) << name << ": " << err;
    EXPECT_NE(err.find("cannot open " + file), std::string::npos) << name << ": " << err;
  }
}

// A file that opens but whose picture no decoder takes: the window opens and
// shows nothing, so the preview ends with the decoder's reason as it does
// for a missing file.
TEST_F(PreviewOpenTest, APictureThatCannotBeDecodedEndsThePreviewWithItsReason) {
  const std::string file = path("huge.gif");
  ASSERT_EQ(testsupport::MakeHugeGif(file), "");
  platform::ProcessOptions options;
  options.stderrFile = path("stderr.txt");
  const int code =
      platform::RunAndWait({"timeout", "120", PELMAR_PREVIEW_PROGRAM, file}, options);
  const std::string err = ReadText(path("stderr.txt"));
  EXPECT_EQ(code, 1) << err;
  EXPECT_NE(err.find("pelmar-preview: cannot decode the picture of " + file +
                     ": picture size 65535x65535 is invalid"),
            std::string::npos)
      << err;
}

}  // namespace
