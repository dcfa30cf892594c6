// The interface languages: the language table, the current language, the
// texts of the language files, the skin archive and the language-dependent
// web values.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace app {

struct AppPaths;
struct AppSettings;
struct OemConfig;

struct LanguageInfo {
  int languageId;                // a code page number used as the language's number
  const char* name;              // in English
  std::vector<int> lcids;        // Windows locale ids that select it
  int storedLcid;                // the locale id saved for it
  const char* file;              // language file in <install>/language/
  const char* skin;              // skin archive in <install>/skin/
  const char* menuItem;          // "" when the language menu has no item for it
  const char* feedbackCode;      // "lang" of the uninstall feedback address
};

// The twelve languages, English first.
const std::vector<LanguageInfo>& Languages();
// The row of a languageId; English for every value not in the table.
const LanguageInfo& LanguageOf(int languageId);
// Locale id to languageId: 0 keeps `current`; an id not in the table gives 0.
int LanguageIdFromLcid(int lcid, int current);
int LcidOfLanguage(int languageId);
// The languageId a menu item selects; -1 when no language has that item.
int LanguageIdOfMenuItem(const std::string& menuItem);
// Whether the language is written from right to left (Arabic): its windows
// are mirrored.
bool LanguageIsRightToLeft(int languageId);

// The language to start in: the locale's guess (paths.languageId), replaced
// by oem.ini's locale id, replaced in turn by the per-user one.
int StartLanguageId(const AppPaths& paths);
// Saves the locale id of the language into the per-user Config.ini and oem.ini.
void SaveLanguage(int languageId, const AppSettings& settings, const AppPaths& paths);

// The current language. Changed on the main thread only; read from any thread.
int CurrentLanguageId();
// Also gives the crash handler the crash message of the new language.
void SetCurrentLanguageId(int languageId);

std::string LanguageFilePath(int languageId, const std::string& installDir);

// Language file sections and the keys the program looks up.
constexpr char kSectionText[] = "Text";
constexpr char kSectionMessage[] = "Message";
constexpr char kSectionSkin[] = "Skin";  // mostly filled into the layouts
namespace langkey {
// Section "Text".
constexpr char kProductName[] = "ProductName";
constexpr char kSkinLost[] = "SkinLost";
constexpr char kExceptInfo[] = "ExceptInfo";  // two numbers: signal and address
constexpr char kMergeFileName[] = "MergeFileName";
constexpr char kTextVideoInfo1[] = "TextVideoInfo1";
constexpr char kTextVideoInfo2[] = "TextVideoInfo2";
constexpr char kTextVideoInfo3[] = "TextVideoInfo3";
constexpr char kTextVideoInfo4[] = "TextVideoInfo4";
constexpr char kTextVideoInfo8[] = "TextVideoInfo8";
constexpr char kTextVideoInfo9[] = "TextVideoInfo9";
constexpr char kTextVideoInfo11[] = "TextVideoInfo11";
constexpr char kFilterVideo[] = "FilterVideo";
constexpr char kFormatOriginText[] = "FormatOriginText";
constexpr char kBtnConverTxt[] = "BtnConverTxt";
constexpr char kBtnExtractTxt[] = "BtnExtractTxt";
constexpr char kBtnMergeTxt[] = "BtnMergeTxt";
constexpr char kTimeLeft[] = "TimeLeft";  // one "%s": the time
constexpr char kNameTaken[] = "NameTaken";
constexpr char kTextStopped[] = "TextStopped";
// Section "Message".
constexpr char kTitle[] = "Title";
constexpr char kError[] = "Error";
constexpr char kQuestion[] = "Question";
constexpr char kInformation[] = "Information";
constexpr char kTransformSuccess[] = "TransformSuccess";
constexpr char kNoSupport[] = "NoSupport";
constexpr char kMergeNeed2Video[] = "MergeNeed2Video";
constexpr char kBitRateTooLog[] = "BitRateTooLog";
constexpr char kFpsTooLog[] = "FPSTooLog";
constexpr char kCopyClipboard[] = "CopyClipboard";
constexpr char kErrWhenRunUpdateInstallFile[] = "ErrWhenRunUpdateInstallFile";
constexpr char kFolderFailed[] = "FolderFailed";  // one "%s": the folder
constexpr char kBadName[] = "BadName";            // one "%s": the name
constexpr char kMergeFailed[] = "MergeFailed";    // one "%s": the reason
constexpr char kPowerOffSoon[] = "PowerOffSoon";  // one "%s": the seconds left
constexpr char kPowerOffKept[] = "PowerOffKept";  // one "%s": what failed
constexpr char kSoundOnly[] = "SoundOnly";        // one "%s": the files
constexpr char kFolderReadOnly[] = "FolderReadOnly";  // one "%s": the folder
constexpr char kClearRunning[] = "ClearRunning";
constexpr char kNoProgram[] = "NoProgram";  // one "%s": the file or address
constexpr char kNotAdded[] = "NotAdded";    // one "%s": the files
// Section "Message", kept as Base64 and looked up with LangTextB64.
constexpr char kCannotRecodeB64[] = "Q2Fubm90UmVjb2Rl";  // one "%s": the file name
constexpr char kClearVideoB64[] = "Q2xlYXJWaWRlbw==";
constexpr char kConfirmCloseB64[] = "Q29uZmlybUNsb3Nl";
constexpr char kConfirmStopB64[] = "Q29uZmlybVN0b3A=";
constexpr char kMergeError2B64[] = "TWVyZ2VFcnJvcjI=";
constexpr char kRemoveVideoB64[] = "UmVtb3ZlVmlkZW8=";  // one "%s": the title
constexpr char kWaitForConverB64[] = "V2FpdEZvckNvbnZlcg==";
constexpr char kHasUpdateB64[] = "SGFzVXBkYXRl";
// Section "Skin", the few the program reads itself.
constexpr char kClipTitle[] = "ClipTitle";
constexpr char kClipCannotPlay[] = "ClipCannotPlay";  // one "%s": the reason

inline constexpr const char* kTextKeys[] = {
    kProductName,    kSkinLost,       kExceptInfo,     kMergeFileName,   kTextVideoInfo1,
    kTextVideoInfo2, kTextVideoInfo3, kTextVideoInfo4, kTextVideoInfo8,  kTextVideoInfo9,
    kTextVideoInfo11, kFilterVideo,   kFormatOriginText, kBtnConverTxt, kBtnExtractTxt,
    kBtnMergeTxt,    kTimeLeft,       kNameTaken,      kTextStopped};
inline constexpr const char* kMessageKeys[] = {
    kTitle,         kError,          kQuestion,         kInformation,
    kTransformSuccess, kNoSupport, kMergeNeed2Video,
    kBitRateTooLog, kFpsTooLog,      kCopyClipboard,    kErrWhenRunUpdateInstallFile,
    kFolderFailed,  kBadName,        kMergeFailed,      kPowerOffSoon, kPowerOffKept,
    kSoundOnly,     kFolderReadOnly, kClearRunning,     kNoProgram,    kNotAdded};
inline constexpr const char* kMessageKeysB64[] = {
    kCannotRecodeB64, kClearVideoB64,  kConfirmCloseB64,  kConfirmStopB64,
    kMergeError2B64,  kRemoveVideoB64, kWaitForConverB64, kHasUpdateB64};
constexpr char kEmptyHint[] = "EmptyHint";
constexpr char kEmptyHintAudio[] = "EmptyHintAudio";
inline constexpr const char* kSkinKeys[] = {kClipTitle, kClipCannotPlay, kEmptyHint, kEmptyHintAudio};
}  // namespace langkey

// The texts of the language file are read into a buffer of this many
// characters: at most 259 characters come back.
constexpr size_t kLangTextChars = 260;

// The value of `key` in `section` of the current language's file; "" when the
// file, the section or the key is missing. Reads the file on every call. A
// damaged file gives the built-in English text instead (and a run log line).
std::string LangText(const std::string& key, const std::string& section);
// The English text compiled into the program (from the English text source);
// "" when it has no such key.
std::string BuiltInEnglishText(const std::string& key, const std::string& section);
// The same as LangText for a key held as standard Base64 of its name.
std::string LangTextB64(const std::string& base64Key, const std::string& section);
// Standard Base64; decoding stops at "=" or at the first character outside the alphabet.
std::string DecodeBase64(const std::string& text);

// The skin archive of the language: when <installDir>/skin/<archive> exists,
// keeps its folder (with a trailing '/') and name in oem and returns true;
// otherwise returns false and leaves oem as it was.
bool SelectSkinArchive(int languageId, const std::string& installDir, OemConfig* oem);

// The help page shipped with the program stands in for the vendor's support
// and feedback pages.
constexpr char kHelpPage[] = "help/index.html";  // in the install folder
constexpr int kProductId = 1;  // "product_id" of the feedback address

struct WebValues {
  std::string supportUrl;   // the same for every language
  std::string feedbackUrl;  // complete, product id filled in
};
WebValues LanguageWebValues(int languageId, const std::string& installDir);
// Keeps the language's web values for CurrentWebValues; the support address
// becomes oem's support line unless that already holds one.
void ApplyLanguageWebValues(int languageId, const AppPaths& paths, OemConfig* oem);
WebValues CurrentWebValues();

}  // namespace app
