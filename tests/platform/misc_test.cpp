#include <stdlib.h>

#include <atomic>
#include <thread>

#include "platform/byte_size.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/special_folders.h"
#include "platform/text.h"
#include "tests/support/sandbox.h"

using namespace platform;
using testsupport::WriteText;

namespace {

TEST(ByteSize, MatchesTheDesktopTexts) {
  struct Case {
    int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 bytes"},
      {999, "999 bytes"},
      {1023, "1023 bytes"},
      {1024, "1.00 KB"},
      {1536, "1.50 KB"},
      {1024 * 10 - 1, "9.99 KB"},
      {1024 * 999 + 1023, "999 KB"},
      {1024 * 1000, "0.97 MB"},
      {static_cast<int64_t>(12.3 * 1024 * 1024) + 1, "12.3 MB"},
      {static_cast<int64_t>(12.39 * 1024 * 1024), "12.3 MB"},  // truncated, not rounded
      {1024LL * 1024 * 1024, "1.00 GB"},
      {1024LL * 1024 * 1024 * 1024 * 5, "5.00 TB"},
  };
  for (const Case& c : cases) EXPECT_EQ(StrFormatByteSize(c.bytes), c.text) << c.bytes;
}

TEST(EventTest, ManualResetWakesEveryWaiterAndStaysSet) {
  Event e;
  EXPECT_FALSE(e.waitFor(std::chrono::milliseconds(10)));
  std::atomic<int> woken{0};
  std::thread a([&] { e.wait(); ++woken; });
  std::thread b([&] { e.wait(); ++woken; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(woken.load(), 0);
  e.set();
  a.join();
  b.join();
  EXPECT_EQ(woken.load(), 2);
  EXPECT_TRUE(e.isSet());
  EXPECT_TRUE(e.waitFor(std::chrono::milliseconds(0)));
  e.reset();
  EXPECT_FALSE(e.isSet());
}

TEST(Clock, MicrosecondsAreWallClockAndIncrease) {
  int64_t a = MicrosecondsSinceEpoch();
  int64_t b = MicrosecondsSinceEpoch();
  EXPECT_GE(b, a);
  EXPECT_NEAR(static_cast<double>(a) / 1e6, static_cast<double>(time(nullptr)), 2.0);
}

TEST(Text, Utf8CutsNeverSplitACharacter) {
  std::string s = "a\xE6\x97\xA5\xE6\x9C\xAC";  // a + two 3-byte characters
  EXPECT_EQ(TruncateUtf8Bytes(s, 3), "a");
  EXPECT_EQ(TruncateUtf8Bytes(s, 4), "a\xE6\x97\xA5");
  EXPECT_EQ(TruncateUtf8Chars(s, 2), "a\xE6\x97\xA5");
  EXPECT_EQ(Utf8Length(s), 3u);
  EXPECT_EQ(LeadingInteger("  42x"), 42);
  EXPECT_EQ(LeadingInteger("99999999999999999999"), 0xFFFFFFFFLL);  // no overflow
}

class FoldersTest : public testsupport::SandboxTest {};

TEST_F(FoldersTest, XdgFoldersWithTheirFallbacks) {
  EXPECT_EQ(TempPath(), sandbox().tmp() + "/");
  EXPECT_EQ(DataHome(), sandbox().dataHome());
  EXPECT_EQ(ConfigHome(), sandbox().configHome());
  EXPECT_EQ(DocumentsDir(), sandbox().home() + "/Documents");

  WriteText(sandbox().configHome() + "/user-dirs.dirs",
            "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  EXPECT_EQ(DocumentsDir(), sandbox().home() + "/Dokumente");

  unsetenv("XDG_DATA_HOME");
  setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(DataHome(), sandbox().home() + "/.local/share");
  EXPECT_EQ(ConfigHome(), sandbox().home() + "/.config");
  EXPECT_EQ(TempPath(), "/tmp/");
}

TEST_F(FoldersTest, CodePageFromTheLocale) {
  struct Case {
    const char* lang;
    int codePage;
  } cases[] = {{"ja_JP.UTF-8", 932}, {"zh_CN.UTF-8", 936}, {"zh_SG", 936},
               {"zh_TW.UTF-8", 950}, {"zh_HK", 950},       {"de_DE.UTF-8", 1252},
               {"C", 1252},          {"", 1252}};
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  for (const Case& c : cases) {
    setenv("LANG", c.lang, 1);
    EXPECT_EQ(AnsiCodePage(), c.codePage) << c.lang;
  }
  setenv("LC_ALL", "ja_JP.UTF-8", 1);  // LC_ALL wins over LANG
  setenv("LANG", "zh_TW.UTF-8", 1);
  EXPECT_EQ(AnsiCodePage(), 932);
  unsetenv("LC_ALL");
}

}  // namespace
