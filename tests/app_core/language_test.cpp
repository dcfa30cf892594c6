#include "app/core/language.h"

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/lang_file.h"
#include "app/core/message_text.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tests/support/sandbox.h"

using namespace app;
using testsupport::WriteText;

namespace {

class LanguageTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override {
    SandboxTest::SetUp();
    paths_ = AppPaths::Build(sandbox().programPath());
    paths_.CreateDataDir();
    settings_.Read(paths_);
  }
  void TearDown() override {
    SetPaths(AppPaths());
    SetCurrentLanguageId(0);
    SandboxTest::TearDown();
  }
  void WriteLanguage(int languageId, const std::vector<LangSection>& sections) {
    platform::CreateFolders(paths_.InstallFile("language"));
    std::string error;
    ASSERT_TRUE(WriteLangFile(LanguageFilePath(languageId, paths_.installDir), sections, &error))
        << error;
  }
  AppPaths paths_;
  AppSettings settings_;
};

TEST_F(LanguageTest, LocaleIdsMapToLanguagesAndBack) {
  const int kCurrent = 932;
  const std::vector<std::pair<int, int>> toLanguage = {
      {0, kCurrent}, {2070, 860}, {1046, 860}, {1036, 863}, {1025, 864}, {9217, 864},
      {16385, 864}, {1049, 866}, {1041, 932}, {2052, 936}, {1028, 950}, {1057, 1057},
      {1031, 1141}, {1034, 1145}, {1042, 1361}, {1033, 0}, {3082, 0}, {99999, 0}};
  for (const auto& [lcid, id] : toLanguage)
    EXPECT_EQ(LanguageIdFromLcid(lcid, kCurrent), id) << lcid;

  const std::vector<std::pair<int, int>> toLcid = {
      {0, 1033}, {1252, 1033}, {860, 1046}, {864, 9217}, {936, 2052}, {950, 1028}, {1361, 1042}};
  for (const auto& [id, lcid] : toLcid) EXPECT_EQ(LcidOfLanguage(id), lcid) << id;

  std::set<std::string> files;
  for (const LanguageInfo& l : Languages()) {
    EXPECT_EQ(LanguageIdFromLcid(LcidOfLanguage(l.languageId), -1), l.languageId) << l.name;
    files.insert(l.file);
    if (*l.menuItem) {
      EXPECT_EQ(LanguageIdOfMenuItem(l.menuItem), l.languageId) << l.name;
    }
  }
  EXPECT_EQ(files.size(), 12u);
  EXPECT_EQ(LanguageIdOfMenuItem("menuEn"), 0);
  EXPECT_EQ(LanguageIdOfMenuItem(""), -1);
  EXPECT_EQ(LanguageIdOfMenuItem("menuCN"), 936);  // a way back to Simplified Chinese

  // Simplified Chinese has its own texts but the English skin and feedback code.
  EXPECT_STREQ(LanguageOf(936).file, "cn.dat");
  EXPECT_STREQ(LanguageOf(936).skin, "skin_en.skin");
  EXPECT_STREQ(LanguageOf(936).feedbackCode, "en");
  EXPECT_STREQ(LanguageOf(1252).file, "en.dat");
  EXPECT_STREQ(LanguageOf(-5).skin, "skin_en.skin");
}

TEST_F(LanguageTest, StartLanguageAndSavedLocaleId) {
  const std::string userIni = paths_.DataFile("Config.ini");
  const std::string oemIni = paths_.InstallFile("oem.ini");

  // With nothing stored, the locale's guess decides; only Japanese and
  // Chinese locales pick a language by themselves.
  const std::vector<std::pair<const char*, const char*>> locales = {
      {"ja_JP.UTF-8", "jp.dat"}, {"zh_CN.UTF-8", "cn.dat"}, {"zh_HK.UTF-8", "tr.dat"},
      {"de_DE.UTF-8", "en.dat"}, {"pt_BR.UTF-8", "en.dat"}, {"C", "en.dat"}};
  const char* saved = getenv("LC_ALL");
  const std::string savedAll = saved ? saved : "";
  for (const auto& [locale, file] : locales) {
    setenv("LC_ALL", locale, 1);
    EXPECT_STREQ(LanguageOf(StartLanguageId(AppPaths::Build(sandbox().programPath()))).file, file)
        << locale;
  }
  if (saved) {
    setenv("LC_ALL", savedAll.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }

  WriteText(oemIni, "[LANG]\nLCID=2070\n");
  EXPECT_EQ(StartLanguageId(paths_), 860);
  SaveLanguage(860, settings_, paths_);
  EXPECT_EQ(platform::ProfileGetInt(userIni, "Setting", "LCID", 0), 1046);
  EXPECT_EQ(platform::ProfileGetInt(oemIni, "LANG", "LCID", 0), 1046);

  WriteText(oemIni, "[LANG]\nLCID=1031\n");
  WriteText(userIni, "[Setting]\nLCID=1041\n");
  EXPECT_EQ(StartLanguageId(paths_), 932);  // the user's choice wins
  WriteText(userIni, "[Setting]\nLCID=4242\n");
  EXPECT_EQ(StartLanguageId(paths_), 0);

  SaveLanguage(0, settings_, paths_);
  EXPECT_EQ(platform::ProfileGetInt(userIni, "Setting", "LCID", 0), 1033);
}

TEST_F(LanguageTest, LangTextReadsTheCurrentLanguagesFileEachTime) {
  WriteLanguage(0, {{"Text", {{"ProductName", "Converter"}, {"ExceptInfo", "crash %d %X"}}},
                    {"Message", {{"RemoveVideo", "Remove \"%s\"?"}}}});
  WriteLanguage(860, {{"Text", {{"ProductName", "Conversor"}}}});
  SetPaths(paths_);

  SetCurrentLanguageId(860);
  EXPECT_EQ(LangText("ProductName", "Text"), "Conversor");
  EXPECT_EQ(LangTextB64(langkey::kRemoveVideoB64, "Message"), "");
  SetCurrentLanguageId(1252);
  EXPECT_EQ(LangText("ProductName", "Text"), "Converter");
  EXPECT_EQ(LangText("productname", "Text"), "");
  EXPECT_EQ(LangText("ProductName", "Message"), "");
  EXPECT_EQ(LangTextB64(langkey::kRemoveVideoB64, "Message"), "Remove \"%s\"?");

  WriteLanguage(0, {{"Text", {{"ProductName", "Renamed"}}}});
  EXPECT_EQ(LangText("ProductName", "Text"), "Renamed");
  SetCurrentLanguageId(950);  // no tr.dat here
  EXPECT_EQ(LangText("ProductName", "Text"), "");
}

TEST_F(LanguageTest, WorkersReadTextsWhileTheLanguageChanges) {
  WriteLanguage(0, {{"Text", {{"ProductName", "Converter"}}}});
  WriteLanguage(860, {{"Text", {{"ProductName", "Conversor"}}}});
  SetPaths(paths_);
  std::atomic<int> wrong{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t) {
    workers.emplace_back([&wrong] {
      for (int i = 0; i < 100; ++i) {
        std::string name = LangText("ProductName", "Text");
        if (name != "Converter" && name != "Conversor") ++wrong;
      }
    });
  }
  for (int i = 0; i < 100; ++i) SetCurrentLanguageId(i % 2 ? 860 : 0);
  for (std::thread& w : workers) w.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(LanguageTest, Base64KeysDecodeToTheirNames) {
  const std::vector<std::pair<const char*, const char*>> keys = {
      {langkey::kCannotRecodeB64, "CannotRecode"}, {langkey::kClearVideoB64, "ClearVideo"},
      {langkey::kConfirmCloseB64, "ConfirmClose"}, {langkey::kConfirmStopB64, "ConfirmStop"},
      {langkey::kMergeError2B64, "MergeError2"},   {langkey::kRemoveVideoB64, "RemoveVideo"},
      {langkey::kWaitForConverB64, "WaitForConver"}, {langkey::kHasUpdateB64, "HasUpdate"}};
  for (const auto& [b64, name] : keys) EXPECT_EQ(DecodeBase64(b64), name);
  EXPECT_EQ(DecodeBase64(""), "");
  EXPECT_EQ(DecodeBase64("QQ"), "A");  // padding is optional
  EXPECT_EQ(DecodeBase64("QUJD!QUJD"), "ABC");
}

TEST_F(LanguageTest, SkinArchiveIsKeptOnlyWhenItExists) {
  OemConfig oem;
  oem.skinFile = "skin_en.skin";
  oem.skinFolder = "/old/";
  EXPECT_FALSE(SelectSkinArchive(950, paths_.installDir, &oem));
  EXPECT_EQ(oem.skinFile, "skin_en.skin");
  EXPECT_EQ(oem.skinFolder, "/old/");

  platform::CreateFolders(paths_.InstallFile("skin"));
  WriteText(paths_.InstallFile("skin/skin_tr.skin"), "archive");
  WriteText(paths_.InstallFile("skin/skin_en.skin"), "archive");
  EXPECT_TRUE(SelectSkinArchive(950, paths_.installDir, &oem));
  EXPECT_EQ(oem.skinFile, "skin_tr.skin");
  EXPECT_EQ(oem.skinFolder, paths_.installDir + "/skin/");
  EXPECT_TRUE(SelectSkinArchive(936, paths_.installDir, &oem));
  EXPECT_EQ(oem.skinFile, "skin_en.skin");
}

TEST_F(LanguageTest, WebValuesPointAtTheShippedHelpPage) {
  WebValues tw = LanguageWebValues(950, "/opt/My App%23?");
  EXPECT_EQ(tw.supportUrl, "file:///opt/My%20App%2523%3F/help/index.html");
  EXPECT_EQ(tw.feedbackUrl, tw.supportUrl + "?lang=tw&product_id=1");
  WebValues cn = LanguageWebValues(936, "/opt");
  EXPECT_EQ(cn.feedbackUrl, "file:///opt/help/index.html?lang=en&product_id=1");

  OemConfig oem;
  ApplyLanguageWebValues(1361, paths_, &oem);
  EXPECT_EQ(oem.supportLine, LanguageWebValues(1361, paths_.installDir).supportUrl);
  EXPECT_EQ(CurrentWebValues().feedbackUrl,
            LanguageWebValues(1361, paths_.installDir).feedbackUrl);
  oem.supportLine = "https://partner.example/help";  // oem.ini's own line stays
  ApplyLanguageWebValues(863, paths_, &oem);
  EXPECT_EQ(oem.supportLine, "https://partner.example/help");
  EXPECT_EQ(CurrentWebValues().feedbackUrl.substr(CurrentWebValues().feedbackUrl.find('?')),
            "?lang=fr&product_id=1");
}

TEST(MessageTextTest, FillsOnlyTheExpectedPlaceholders) {
  const std::vector<std::tuple<std::string, std::string, std::string>> text = {
      {"Remove \"%s\"?", "a.mp4", "Remove \"a.mp4\"?"},
      {"%n%s%s %d %x 100%%", "x", "%nx%s %d %x 100%"},
      {"no placeholder 50%", "x", "no placeholder 50%"},
      {"%s", "%s%n%d", "%s%n%d"},  // the filled-in text is never read as a format
      {"%", "x", "%"},
  };
  for (const auto& [format, arg, want] : text) EXPECT_EQ(FillTextPlaceholder(format, arg), want);

  const std::vector<std::tuple<std::string, uint64_t, uint64_t, std::string>> numbers = {
      {"signal %d at 0x%X", 11, 0xDEADBEEF, "signal 11 at 0xDEADBEEF"},
      {"%08x|%5u|%lld", 255, 7, "000000ff|    7|%lld"},
      {"%n %s %p %d %i", 1, 2, "%n %s %p 1 2"},
      {"%llX %lu", 0x7FFD12345678ull, 0, "7FFD12345678 0"},
      {"%123d %d", 1, 2, "%123d 1"},
      {"100%% %d%", 5, 6, "100% 5%"},
  };
  for (const auto& [format, a, b, want] : numbers)
    EXPECT_EQ(FillNumberPlaceholders(format, a, b), want) << format;

  // A cut never leaves half a character.
  char out[5];
  EXPECT_EQ(FillNumberPlaceholdersInto(out, sizeof out, "ab\u20ac%d", 1, 2), 2u);
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(FillNumberPlaceholdersInto(out, sizeof out, "%09d", 1, 2), 4u);
  EXPECT_STREQ(out, "0000");

  EXPECT_EQ(MessagePlaceholders("%s and %08X, 100%%, %n %d"),
            (std::vector<std::string>{"%s", "%08X", "%d"}));
}

// The built language files: every language carries every key the program
// looks up, in its own words, with English's placeholders.
TEST_F(LanguageTest, BuiltFilesHoldEveryKeyWithEnglishsPlaceholders) {
  std::vector<std::pair<std::string, std::string>> keys;  // section, key
  for (const char* k : langkey::kTextKeys) keys.emplace_back(kSectionText, k);
  for (const char* k : langkey::kMessageKeys) keys.emplace_back(kSectionMessage, k);
  for (const char* k : langkey::kMessageKeysB64) keys.emplace_back(kSectionMessage, DecodeBase64(k));
  for (const char* k : langkey::kSkinKeys) keys.emplace_back(kSectionSkin, k);
  ASSERT_EQ(keys.size(), 52u);

  const std::string installDir = PELMAR_BIN_DIR;
  auto read = [&](int languageId, const std::pair<std::string, std::string>& key,
                  std::string* value) {
    return ReadLangValue(key.first, key.second, "", value, kLangTextChars,
                         LanguageFilePath(languageId, installDir));
  };
  for (const LanguageInfo& l : Languages()) {
    for (const auto& key : keys) {
      std::string english, value;
      ASSERT_TRUE(read(0, key, &english)) << key.second;
      EXPECT_TRUE(read(l.languageId, key, &value)) << l.name << ": " << key.second;
      EXPECT_FALSE(value.empty()) << l.name << ": " << key.second;
      EXPECT_LT(Utf8ToUtf16(value).size(), kLangTextChars) << l.name << ": " << key.second;
      EXPECT_EQ(MessagePlaceholders(value), MessagePlaceholders(english))
          << l.name << ": " << key.second << " = " << value;
    }
    std::string merged;
    read(l.languageId, {kSectionText, langkey::kMergeFileName}, &merged);
    EXPECT_EQ(merged.find_first_of("/\\:*?\"<>|\t\n"), std::string::npos) << l.name;
    EXPECT_EQ(merged.find(' '), std::string::npos) << l.name;
  }

  // The formats the program fills in.
  std::string english;
  read(0, {kSectionText, langkey::kExceptInfo}, &english);
  const std::vector<std::string> numbers = MessagePlaceholders(english);
  EXPECT_EQ(numbers.size(), 2u);
  for (const std::string& p : numbers) EXPECT_NE(p, "%s");
  for (const char* b64 : {langkey::kCannotRecodeB64, langkey::kRemoveVideoB64}) {
    read(0, {kSectionMessage, DecodeBase64(b64)}, &english);
    EXPECT_EQ(MessagePlaceholders(english), std::vector<std::string>{"%s"});
  }

  // And the program itself reads each language's own file.
  AppPaths bin = paths_;
  bin.installDir = installDir;
  SetPaths(bin);
  std::set<std::string> names;
  for (const LanguageInfo& l : Languages()) {
    SetCurrentLanguageId(l.languageId);
    names.insert(LangText(langkey::kProductName, kSectionText));
  }
  EXPECT_EQ(names.size(), Languages().size());
}

}  // namespace

namespace {

// A damaged language file once left every text of the window empty. Its
// texts come from the English compiled into the program instead, and the run
// log names the file, once.
TEST_F(LanguageTest, ADamagedLanguageFileGivesTheBuiltInEnglishTexts) {
  std::string built;
  ASSERT_TRUE(platform::ReadFile(std::string(PELMAR_BIN_DIR) + "/language/pt.dat", &built));
  ASSERT_GT(built.size(), 1024u);
  std::string random(4096, '\0');
  unsigned seed = 12345;
  for (char& c : random) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"random bytes", random},
      {"cut after the header", built.substr(0, 600)},
      {"cut in half", built.substr(0, built.size() / 2)},
      {"only the signature", built.substr(0, 8)},
  };
  const std::string file = LanguageFilePath(860, paths_.installDir);
  const std::string log = paths_.DataFile("run.dat");
  SetRunLogPath(log);
  SetPaths(paths_);
  SetCurrentLanguageId(860);
  for (const auto& [name, bytes] : cases) {
    platform::CreateFolders(paths_.InstallFile("language"));
    WriteText(file, bytes);
    platform::DeleteFile(log);
    EXPECT_EQ(LangText(langkey::kProductName, kSectionText), "Pelmar Video Converter") << name;
    EXPECT_EQ(LangText(langkey::kBtnConverTxt, kSectionText), "Convert") << name;
    EXPECT_EQ(LangTextB64(langkey::kConfirmCloseB64, kSectionMessage),
              BuiltInEnglishText("ConfirmClose", kSectionMessage))
        << name;
    EXPECT_FALSE(LangTextB64(langkey::kConfirmCloseB64, kSectionMessage).empty()) << name;
    EXPECT_EQ(LangText("NoSuchKey", kSectionText), "") << name;
    const std::string lines = testsupport::ReadText(log);
    const std::string said = "language file " + file + " is damaged";
    const size_t at = lines.find(said);
    EXPECT_NE(at, std::string::npos) << name << ": " << lines;
    EXPECT_EQ(lines.find("damaged", at + said.size()), std::string::npos)
        << name << ": logged twice";
  }
  SetRunLogPath("");

  // A sound file still speaks its own language, and a key it lacks stays empty.
  WriteText(file, built);
  EXPECT_NE(LangText(langkey::kProductName, kSectionText), "");
  EXPECT_NE(LangText(langkey::kBtnConverTxt, kSectionText), "Convert");
  EXPECT_EQ(LangText("NoSuchKey", kSectionText), "");
}

// The built-in English is the English text source itself, every key of it.
TEST_F(LanguageTest, TheBuiltInEnglishMatchesTheEnglishLanguageFile) {
  const std::string english = std::string(PELMAR_BIN_DIR) + "/language/en.dat";
  for (const char* key : langkey::kTextKeys) {
    std::string value;
    ASSERT_TRUE(ReadLangValue(kSectionText, key, "", &value, kLangTextChars, english)) << key;
    EXPECT_EQ(BuiltInEnglishText(key, kSectionText), value) << key;
  }
  std::vector<std::string> messageKeys(std::begin(langkey::kMessageKeys),
                                        std::end(langkey::kMessageKeys));
  for (const char* b64 : langkey::kMessageKeysB64) messageKeys.push_back(DecodeBase64(b64));
  for (const std::string& key : messageKeys) {
    std::string value;
    ASSERT_TRUE(ReadLangValue(kSectionMessage, key, "", &value, kLangTextChars, english)) << key;
    EXPECT_EQ(BuiltInEnglishText(key, kSectionMessage), value) << key;
  }
}

}  // namespace
