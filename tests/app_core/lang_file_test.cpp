#include "app/core/lang_file.h"

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/sandbox.h"

using namespace app;
using testsupport::ReadText;
using testsupport::WriteText;

namespace {

// UTF-16LE units of each entry, each ending with a NUL unit.
std::string Entries(const std::vector<std::u16string>& entries) {
  std::string bytes;
  for (const std::u16string& e : entries) {
    for (char16_t u : e + u'\0') {
      bytes.push_back(static_cast<char>(u & 0xFF));
      bytes.push_back(static_cast<char>(u >> 8));
    }
  }
  return bytes;
}

std::string Scrambled(std::string bytes) {
  ScrambleLangStream(&bytes);
  return bytes;
}

class LangFileTest : public testsupport::SandboxTest {
 protected:
  std::string file() { return path("en.dat"); }

  void WriteStreams(const std::vector<LangStream>& streams) {
    std::string bytes, error;
    ASSERT_TRUE(BuildCompoundFile(streams, &bytes, &error)) << error;
    WriteText(file(), bytes);
  }

  // The value, or "<missing>" when the lookup reports the key as missing.
  std::string Lookup(const std::string& section, const std::string& key) {
    std::string value;
    return ReadLangValue(section, key, "", &value, 260, file()) ? value : "<missing>";
  }
};

TEST_F(LangFileTest, ScramblingChangesEveryWordButTheLastAndOnlyItsFirstUnit) {
  // Stream length -> the word offsets that change.
  const std::vector<std::pair<size_t, std::vector<size_t>>> cases = {
      {0, {}}, {3, {}}, {4, {}}, {5, {0}}, {8, {0}}, {9, {0, 4}}, {12, {0, 4}}, {13, {0, 4, 8}}};
  for (const auto& [length, changed] : cases) {
    std::string plain(length, '\0');
    std::string stored = Scrambled(plain);
    std::string expected(length, '\0');
    for (size_t k : changed) {
      expected[k] = static_cast<char>(kLangScrambleMask & 0xFF);
      expected[k + 1] = static_cast<char>(kLangScrambleMask >> 8);
    }
    EXPECT_EQ(stored, expected) << "length " << length;
    EXPECT_EQ(Scrambled(stored), plain) << "length " << length;
  }
  static_assert((kLangScrambleMask >> 16) == 0, "only the first unit of a word may change");
  static_assert((kLangScrambleMask & 0xFF) != 0 && (kLangScrambleMask >> 8) != 0,
                "both bytes of the unit change");
}

TEST_F(LangFileTest, WalkFindsTheFirstMatchingKeyExactly) {
  // No terminating empty entry; an entry without '=' in the middle; only the
  // first '=' separates; a later duplicate is never reached.
  WriteStreams({{"Text", Scrambled(Entries({u"A=1", u"junk", u"B=x=y", u"=empty key",
                                            u"Wide=\u00e9\u6f22\U0001F600", u"A=2"}))}});
  EXPECT_EQ(Lookup("Text", "A"), "1");
  EXPECT_EQ(Lookup("Text", "B"), "x=y");
  EXPECT_EQ(Lookup("Text", "b"), "<missing>");
  EXPECT_EQ(Lookup("Text", "junk"), "<missing>");
  EXPECT_EQ(Lookup("Text", "B=x"), "<missing>");
  EXPECT_EQ(Lookup("Text", ""), "empty key");
  EXPECT_EQ(Lookup("Text", "Wide"), "\u00e9\u6f22\U0001F600");
  EXPECT_EQ(Lookup("text", "A"), "<missing>");  // stream names are exact too
  EXPECT_EQ(Lookup("Message", "A"), "<missing>");
}

TEST_F(LangFileTest, StreamsOfEightBytesOrLessKeepTheRestPlain) {
  // "A=1" and its NUL are 8 bytes: as stored, only the first word is scrambled.
  const char lo = static_cast<char>(kLangScrambleMask & 0xFF);
  const char hi = static_cast<char>(kLangScrambleMask >> 8);
  std::string eight = {static_cast<char>('A' ^ lo), hi, '=', 0, '1', 0, 0, 0};
  WriteStreams({{"Text", eight}, {"Message", std::string("A\0=\0", 4)}});
  EXPECT_EQ(Lookup("Text", "A"), "1");
  EXPECT_EQ(Lookup("Message", "A"), "");  // 4 bytes, plain: "A=" with an empty value

  // An odd length: the half unit at the end is dropped.
  WriteStreams({{"Text", Scrambled(Entries({u"Ab=12"}).substr(0, 10) + "x")}});
  EXPECT_EQ(Lookup("Text", "Ab"), "12");
}

TEST_F(LangFileTest, ValuesAndDefaultsAreCutToTheBuffer) {
  const std::string longValue(300, 'v');
  // 258 units, then a pair that a cut at 259 would split.
  const std::string pairAtCut = std::string(258, 'p') + "\U0001F600";
  std::vector<LangSection> sections = {
      {"Text", {{"Long", longValue}, {"Pair", pairAtCut}, {"Short", "abc"}}}};
  std::string error;
  ASSERT_TRUE(WriteLangFile(file(), sections, &error)) << error;

  std::string value;
  EXPECT_TRUE(ReadLangValue("Text", "Long", "", &value, 260, file()));
  EXPECT_EQ(value, std::string(259, 'v'));
  EXPECT_TRUE(ReadLangValue("Text", "Pair", "", &value, 260, file()));
  EXPECT_EQ(value, std::string(258, 'p'));
  EXPECT_TRUE(ReadLangValue("Text", "Pair", "", &value, 261, file()));
  EXPECT_EQ(value, pairAtCut);
  EXPECT_TRUE(ReadLangValue("Text", "Short", "", &value, 3, file()));
  EXPECT_EQ(value, "ab");
  EXPECT_TRUE(ReadLangValue("Text", "Short", "x", &value, 0, file()));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(ReadLangValue("Text", "Missing", "default", &value, 4, file()));
  EXPECT_EQ(value, "def");
}

TEST_F(LangFileTest, DamagedOrIncompleteFilesGiveTheDefault) {
  std::string good, error;
  ASSERT_TRUE(BuildLangFile({{"Text", {{"A", "1"}}}}, &good, &error)) << error;
  std::string big;  // a stream longer than the reader looks
  while (big.size() < kLangStreamLimit + 100) big += Entries({u"Filler=0123456789"});
  big += Entries({u"Late=1"});

  struct Case {
    const char* name;
    std::string bytes;  // the file; "<none>" writes nothing
    const char* key = "A";
  };
  std::vector<Case> cases = {
      {"missing file", "<none>"},
      {"empty file", ""},
      {"garbage", std::string(4096, '\x5A')},
      {"truncated", good.substr(0, 700)},
      {"header only", good.substr(0, 512)},
  };
  const std::vector<std::tuple<const char*, std::vector<LangStream>, const char*>> streamCases = {
      {"section missing", {{"Message", Scrambled(Entries({u"A=1"}))}}, "A"},
      {"empty stream", {{"Text", ""}}, "A"},
      {"only NULs", {{"Text", std::string(64, '\0')}}, "A"},
      {"no '='", {{"Text", Scrambled(Entries({u"A"}))}}, "A"},
      {"key beyond the limit", {{"Text", Scrambled(big)}}, "Late"},
  };
  for (const auto& [name, streams, key] : streamCases) {
    std::string bytes;
    ASSERT_TRUE(BuildCompoundFile(streams, &bytes, &error)) << error;
    cases.push_back({name, bytes, key});
  }
  for (const Case& c : cases) {
    platform::DeleteFile(file());
    if (c.bytes != "<none>") WriteText(file(), c.bytes);
    std::string value;
    EXPECT_FALSE(ReadLangValue("Text", c.key, "fallback", &value, 260, file())) << c.name;
    EXPECT_EQ(value, "fallback") << c.name;
    value.clear();
    EXPECT_FALSE(ReadLangValueFromBytes("Text", c.key, "fallback", &value, 260, c.bytes.data(),
                                        c.bytes.size()))
        << c.name;
    EXPECT_EQ(value, "fallback") << c.name;
  }
  std::string value;
  EXPECT_TRUE(ReadLangValueFromBytes("Text", "A", "", &value, 260, good.data(), good.size()));
  EXPECT_EQ(value, "1");
}

TEST_F(LangFileTest, WriterRefusesWhatTheFormatCannotHold) {
  std::string bytes, error;
  const std::vector<std::pair<const char*, LangEntry>> bad = {
      {"empty key", {"", "v"}},
      {"'=' in key", {"a=b", "v"}},
      {"NUL in key", {std::string("a\0b", 3), "v"}},
      {"NUL in value", {"k", std::string("v\0w", 3)}},
  };
  for (const auto& [name, entry] : bad) {
    error.clear();
    EXPECT_FALSE(BuildLangFile({{"Text", {entry}}}, &bytes, &error)) << name;
    EXPECT_NE(error.find("[Text]"), std::string::npos) << name << ": " << error;
  }

  // The largest stream the format allows is read to its last entry; one unit more is refused.
  // Units: "K=" + filler + NUL, "Last=1" + NUL, the closing NUL; 2 bytes each.
  const size_t fillerUnits = (kLangStreamLimit - 2) / 2 - 3 - 7 - 1;
  LangSection largest{"Text", {{"K", std::string(fillerUnits, 'x')}, {"Last", "1"}}};
  ASSERT_EQ(EncodeLangStream(largest.entries).size(), kLangStreamLimit - 2);
  ASSERT_TRUE(WriteLangFile(path("largest.dat"), {largest}, &error)) << error;
  std::string value;
  EXPECT_TRUE(ReadLangValue("Text", "Last", "", &value, 260, path("largest.dat")));
  EXPECT_EQ(value, "1");
  largest.entries[0].value += "x";
  EXPECT_FALSE(BuildLangFile({largest}, &bytes, &error));
  EXPECT_NE(error.find("131072"), std::string::npos) << error;
}

TEST_F(LangFileTest, Utf8AndUtf16ConvertBothWays) {
  const std::string text = "a\u00e9\u6f22\U0001F600";
  EXPECT_EQ(Utf8ToUtf16(text), u"a\u00e9\u6f22\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  // Malformed input never passes through as it is.
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");          // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");             // a surrogate
  EXPECT_EQ(Utf8ToUtf16("x\xE6\xBC"), u"x\uFFFD");               // cut short
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"a"), "\uFFFD" "a");
}

// The writer tool, as the build runs it.
class LangWriterTest : public testsupport::SandboxTest {
 protected:
  int Run(const std::string& source, std::string* messages) {
    WriteText(path("src.txt"), source);
    platform::ProcessOptions options;
    options.stderrFile = path("stderr.txt");
    int code = platform::RunAndWait({PELMAR_LANG_WRITER, path("src.txt"), path("out.dat")},
                                    options);
    *messages = ReadText(path("stderr.txt"));
    return code;
  }
};

TEST_F(LangWriterTest, CompilesASourceWithEscapesAndComments) {
  std::string messages;
  ASSERT_EQ(Run("\xEF\xBB\xBF# comment\r\n[Text]\r\nA=x=y\r\n\r\nLines=one\\ntwo\\tthree\\\\\n"
                " # indented comment\n[Message]\nTitle= spaced \nEmpty=\n",
                &messages),
            0)
      << messages;
  const std::vector<std::tuple<const char*, const char*, const char*>> expected = {
      {"Text", "A", "x=y"},
      {"Text", "Lines", "one\ntwo\tthree\\"},
      {"Message", "Title", " spaced "},
      {"Message", "Empty", ""},
  };
  for (const auto& [section, key, want] : expected) {
    std::string value;
    EXPECT_TRUE(ReadLangValue(section, key, "?", &value, 260, path("out.dat"))) << key;
    EXPECT_EQ(value, want) << key;
  }
}

TEST_F(LangWriterTest, RefusesBadSourcesNamingFileLineAndKey) {
  std::string huge = "[Text]\n";
  std::string crossing;  // the first key at which the stream reaches 128 KiB
  for (size_t i = 0, bytes = 2; i < 80; ++i) {
    std::string entry = "K" + std::to_string(i) + "=" + std::string(1000, 'x');
    huge += entry + "\n";
    bytes += 2 * (entry.size() + 1);
    if (bytes >= kLangStreamLimit && crossing.empty()) crossing = "K" + std::to_string(i);
  }
  const std::vector<std::tuple<const char*, std::string, std::string>> cases = {
      {"duplicate key", "[Text]\nA=1\nB=2\nA=3\n", ":4: duplicate key \"A\" in [Text] (first on line 2)"},
      {"case differs: fine, then duplicate", "[Text]\na=1\nA=2\na=3\n", ":4: duplicate key \"a\""},
      {"too big", huge, "at key \"" + crossing + "\""},
      {"entry before a section", "A=1\n[Text]\n", ":1: key \"A\" comes before any [Section]"},
      {"no '='", "[Text]\nA 1\n", ":2: expected key=value"},
      {"bad escape", "[Text]\nA=\\x\n", ":2: key \"A\": unknown escape"},
      {"section twice", "[Text]\nA=1\n[Text]\nB=2\n", ":3: section [Text] appears twice"},
      {"bad section", "[Te/xt]\n", ":1: bad section line"},
      {"not UTF-8", "[Text]\nA=\xFF\n", "not UTF-8"},
      {"nothing", "# empty\n", "no [Section]"},
  };
  for (const auto& [name, source, want] : cases) {
    platform::DeleteFile(path("out.dat"));
    std::string messages;
    EXPECT_EQ(Run(source, &messages), 1) << name;
    EXPECT_NE(messages.find(path("src.txt")), std::string::npos) << name << ": " << messages;
    EXPECT_NE(messages.find(want), std::string::npos) << name << ": " << messages;
    EXPECT_FALSE(platform::FileExists(path("out.dat"))) << name;
  }
}

}  // namespace

// The skin filler reads the same sources through the same parser: what the
// writer refuses stops the filler too, with the same message, and what the
// writer accepts the filler fills in with the same values.
TEST_F(LangWriterTest, TheSkinFillerReadsSourcesAsTheWriterDoes) {
  WriteText(path("layout.xml"), "<string>{{Text.A}}</string><p t=\"{{Text.B}}\"/>\n");
  platform::CreateFolders(path("filled"));
  auto fill = [&](std::string* messages) {
    platform::ProcessOptions options;
    options.stderrFile = path("filler-stderr.txt");
    const int code = platform::RunAndWait(
        {PELMAR_SKIN_FILLER, path("src.txt"), path("filled"), path("layout.xml")}, options);
    *messages = ReadText(path("filler-stderr.txt"));
    return code;
  };

  const std::vector<std::pair<const char*, std::string>> refused = {
      {"duplicate key", "[Text]\nA=1\nB=2\nA=3\n"},
      {"unknown escape", "[Text]\nA=\\x\nB=2\n"},
      {"key before a section", "A=1\n[Text]\nB=2\n"},
  };
  for (const auto& [name, source] : refused) {
    std::string writer, filler;
    EXPECT_EQ(Run(source, &writer), 1) << name;
    EXPECT_EQ(fill(&filler), 1) << name;
    EXPECT_FALSE(writer.empty()) << name;
    EXPECT_EQ(filler, writer) << name;
  }

  std::string messages;
  ASSERT_EQ(Run("[Text]\nA=one\\ntwo\\\\ <b>\nB=x=y\n", &messages), 0) << messages;
  ASSERT_EQ(fill(&messages), 0) << messages;
  EXPECT_EQ(ReadText(path("filled/layout.xml")),
            "<string id=\"Text.A\">one&#10;two\\ &lt;b&gt;</string>"
            "<p t=\"x=y\" tid=\"Text.B\"/>\n");
}
