#include "app/core/language.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>

#include "app/core/app_paths.h"
#include "app/core/app_settings.h"
#include "app/core/crash.h"
#include "app/core/lang_file.h"
#include "app/core/lang_source.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"
#include "platform/files.h"

namespace app {
namespace {

#include "app/core/builtin_english.inc"

std::atomic<int> g_languageId{0};

std::mutex g_webMutex;
WebValues g_webValues;

// A file URL for a local path; everything but unreserved characters and '/'
// is percent-encoded, so a '%', '#' or '?' in the install path stays literal.
std::string FileUrl(const std::string& path) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      url.push_back(static_cast<char>(c));
    } else {
      url.push_back('%');
      url.push_back(kHex[c >> 4]);
      url.push_back(kHex[c & 0xF]);
    }
  }
  return url;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// A damaged file is logged once for each state of it (size and time).
void LogDamagedFile(const std::string& path) {
  static std::mutex mutex;
  static std::set<std::string> logged;
  struct stat st {};
  stat(path.c_str(), &st);
  const std::string state = path + "\n" + std::to_string(st.st_size) + "\n" +
                            std::to_string(st.st_mtim.tv_sec) + "." +
                            std::to_string(st.st_mtim.tv_nsec);
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!logged.insert(state).second) return;
  }
  RunLog("language file %s is damaged; the built-in English texts are used", path.c_str());
}

std::string CutToBuffer(const std::string& text, size_t bufferChars) {
  std::u16string units = Utf8ToUtf16(text);
  if (units.size() < bufferChars) return text;
  units.resize(bufferChars - 1);
  if (!units.empty() && units.back() >= 0xD800 && units.back() <= 0xDBFF) units.pop_back();
  return Utf16ToUtf8(units);
}

}  // namespace

std::string BuiltInEnglishText(const std::string& key, const std::string& section) {
  // The build's language file writer refuses a faulty source, so this one
  // parses whole.
  static const std::vector<LangSection> sections = [] {
    std::vector<LangSection> parsed;
    std::string error;
    ParseLangSource(std::string(reinterpret_cast<const char*>(kBuiltinEnglishSource),
                                sizeof kBuiltinEnglishSource),
                    "lang/en.txt", &parsed, &error);
    return parsed;
  }();
  for (const LangSection& s : sections) {
    if (s.name != section) continue;
    for (const LangEntry& e : s.entries)
      if (e.key == key) return CutToBuffer(e.value, kLangTextChars);
  }
  return {};
}

const std::vector<LanguageInfo>& Languages() {
  static const std::vector<LanguageInfo> table = {
      {0, "English", {}, 1033, "en.dat", "skin_en.skin", "menuEn", "en"},
      {860, "Portuguese", {1046, 2070}, 1046, "pt.dat", "skin_pt.skin", "menuPT", "pt"},
      {863, "French", {1036}, 1036, "fr.dat", "skin_fr.skin", "menuFR", "fr"},
      {864, "Arabic",
       {1025, 2049, 3073, 4097, 5121, 6145, 7169, 8193, 9217, 10241, 11265, 12289, 13313, 14337,
        15361, 16385},
       9217, "ar.dat", "skin_ar.skin", "menuAR", "ar"},
      {866, "Russian", {1049}, 1049, "ru.dat", "skin_ru.skin", "menuRU", "ru"},
      {932, "Japanese", {1041}, 1041, "jp.dat", "skin_jp.skin", "menuJP", "jp"},
      // Its texts in the English skin.
      {936, "Chinese (Simplified)", {2052}, 2052, "cn.dat", "skin_en.skin", "menuCN", "en"},
      {950, "Chinese (Traditional)", {1028}, 1028, "tr.dat", "skin_tr.skin", "menuTR", "tw"},
      {1057, "Indonesian", {1057}, 1057, "id.dat", "skin_id.skin", "menuID", "id"},
      {1141, "German", {1031}, 1031, "de.dat", "skin_de.skin", "menuDE", "de"},
      {1145, "Spanish", {1034}, 1034, "es.dat", "skin_es.skin", "menuES", "es"},
      {1361, "Korean", {1042}, 1042, "ko.dat", "skin_ko.skin", "menuKO", "kr"},
  };
  return table;
}

const LanguageInfo& LanguageOf(int languageId) {
  for (const LanguageInfo& l : Languages())
    if (l.languageId == languageId) return l;
  return Languages().front();
}

int LanguageIdFromLcid(int lcid, int current) {
  if (lcid == 0) return current;
  for (const LanguageInfo& l : Languages())
    if (std::find(l.lcids.begin(), l.lcids.end(), lcid) != l.lcids.end()) return l.languageId;
  return 0;
}

int LcidOfLanguage(int languageId) { return LanguageOf(languageId).storedLcid; }

int LanguageIdOfMenuItem(const std::string& menuItem) {
  for (const LanguageInfo& l : Languages())
    if (*l.menuItem && menuItem == l.menuItem) return l.languageId;
  return -1;
}

bool LanguageIsRightToLeft(int languageId) {
  return std::string(LanguageOf(languageId).file) == "ar.dat";
}

int StartLanguageId(const AppPaths& paths) {
  return LanguageIdFromLcid(StartLanguageLcid(paths), paths.languageId);
}

void SaveLanguage(int languageId, const AppSettings& settings, const AppPaths& paths) {
  settings.SaveLanguageLcid(LcidOfLanguage(languageId), paths);
}

int CurrentLanguageId() { return g_languageId.load(); }

void SetCurrentLanguageId(int languageId) {
  g_languageId.store(languageId);
  SetCrashMessageFormat(LangText(langkey::kExceptInfo, kSectionText));
}

std::string LanguageFilePath(int languageId, const std::string& installDir) {
  return platform::JoinPath(platform::JoinPath(installDir, "language"),
                            LanguageOf(languageId).file);
}

std::string LangText(const std::string& key, const std::string& section) {
  std::string value;
  LangLookup how = LangLookup::NoFile;
  const std::string path = LanguageFilePath(CurrentLanguageId(), Paths().installDir);
  ReadLangValue(section, key, "", &value, kLangTextChars, path, &how);
  if (how != LangLookup::Damaged) return value;
  // A blank window helps nobody: English, and the damage in the run log.
  LogDamagedFile(path);
  return BuiltInEnglishText(key, section);
}

std::string LangTextB64(const std::string& base64Key, const std::string& section) {
  return LangText(DecodeBase64(base64Key), section);
}

std::string DecodeBase64(const std::string& text) {
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    int v = Base64Value(c);
    if (v < 0) break;
    bits = (bits << 6) | static_cast<unsigned>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return out;
}

bool SelectSkinArchive(int languageId, const std::string& installDir, OemConfig* oem) {
  const std::string folder = platform::JoinPath(installDir, "skin");
  const std::string name = LanguageOf(languageId).skin;
  if (!platform::FileExists(platform::JoinPath(folder, name))) return false;
  oem->skinFolder = platform::WithTrailingSlash(folder);
  oem->skinFile = name;
  return true;
}

WebValues LanguageWebValues(int languageId, const std::string& installDir) {
  const LanguageInfo& l = LanguageOf(languageId);
  WebValues v;
  v.supportUrl = FileUrl(platform::JoinPath(installDir, kHelpPage));
  v.feedbackUrl = v.supportUrl + "?lang=" + l.feedbackCode +
                  "&product_id=" + std::to_string(kProductId);
  return v;
}

void ApplyLanguageWebValues(int languageId, const AppPaths& paths, OemConfig* oem) {
  WebValues v = LanguageWebValues(languageId, paths.installDir);
  if (oem->supportLine.empty()) oem->supportLine = v.supportUrl;
  std::lock_guard<std::mutex> lock(g_webMutex);
  g_webValues = std::move(v);
}

WebValues CurrentWebValues() {
  std::lock_guard<std::mutex> lock(g_webMutex);
  return g_webValues;
}

}  // namespace app
