#include "app/core/run_log.h"
#include "platform/files.h"
#include "tests/support/sandbox.h"

using namespace app;
using testsupport::ReadText;

namespace {

bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

TEST(RunLogLine, TimeStampWithoutLeadingZeros) {
  EXPECT_EQ(RunLogLine(3, 3, 10, 5, 7, "merge part missing"),
            "[3/3 10:5:7]-merge part missing\r\n");
}

TEST(RunLogLine, LongMessagesStayInTheLineWithoutBrokenCharacters) {
  for (const std::string& unit : {std::string("x"), std::string("\xC3\xA9"),
                                  std::string("\xE6\x97\xA5"), std::string("\xF0\x9F\x8E\xAC")}) {
    std::string msg;
    for (int i = 0; i < 700; ++i) msg += unit;
    std::string line = RunLogLine(12, 31, 23, 59, 59, msg);
    EXPECT_LE(line.size(), kRunLogLineBytes);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    EXPECT_TRUE(ValidUtf8(line));
    EXPECT_EQ(line.compare(0, 17, "[12/31 23:59:59]-"), 0);
  }
}

class RunLogTest : public testsupport::SandboxTest {};

TEST_F(RunLogTest, AppendsLinesAndDoesNothingWithoutAPath) {
  SetRunLogPath("");
  RunLog("nothing %d", 1);
  std::string file = path("run.dat");
  SetRunLogPath(file);
  RunLog("part %s is missing", "/x/merge_1.mp4");
  RunLogText("second");
  SetRunLogPath("");
  std::string text = ReadText(file);
  size_t first = text.find("]-part /x/merge_1.mp4 is missing\r\n");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_NE(text.find("]-second\r\n", first), std::string::npos) << text;
  EXPECT_EQ(text[0], '[');
}

}  // namespace
