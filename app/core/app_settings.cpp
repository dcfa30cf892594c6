#include "app/core/app_settings.h"

#include <cctype>
#include <climits>
#include <mutex>
#include <set>

#include "app/core/app_paths.h"
#include "app/core/oem_config.h"
#include "app/core/run_log.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/special_folders.h"
#include "platform/text.h"

namespace app {

using platform::ProfileGetString;
using platform::ProfileWriteInt;

namespace {

constexpr char kDefaultMuxingQueueSize[] = "34500";

// A marker no real value holds tells "missing" from a value.
const std::string& Missing() {
  static const std::string missing = "\x01missing\x01";
  return missing;
}

// A bad value goes to the run log once per file, key and value: some are read
// for every command. Before the start sequence has set the run log's path,
// the line goes to `runLog`, the data folder's run log.
void LogBadValue(const std::string& runLog, const std::string& file, const std::string& section,
                 const std::string& key, const std::string& value, const std::string& used) {
  static std::mutex mutex;
  static std::set<std::string> logged;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!logged.insert(file + "\n" + section + "\n" + key + "\n" + value).second) return;
  }
  const std::string line = "setting [" + section + "] " + key + "=" + value + " in " + file +
                           " is not valid; " + used + " is used";
  const std::string log = RunLogPath();
  RunLogTextTo(log.empty() ? runLog : log, line);
}

bool IsDigits(const std::string& text) {
  if (text.empty()) return false;
  for (unsigned char c : text)
    if (!std::isdigit(c)) return false;
  return true;
}

// An integer setting with the profile rule (its leading integer), def when
// missing or empty. A value without a leading integer would silently read
// as 0: it gives def instead and is logged.
int CheckedInt(const std::string& runLog, const std::string& file, const std::string& section,
               const std::string& key, int def) {
  const std::string raw = ProfileGetString(file, section, key, Missing());
  if (raw == Missing() || raw.empty()) return def;
  std::string number = platform::Trim(raw);
  if (!number.empty() && (number[0] == '+' || number[0] == '-')) number.erase(0, 1);
  if (number.empty() || !std::isdigit(static_cast<unsigned char>(number[0]))) {
    LogBadValue(runLog, file, section, key, raw, std::to_string(def));
    return def;
  }
  return platform::ProfileGetInt(file, section, key, def);
}

// The data folder's run log, beside the per-user Config.ini.
std::string RunLogBeside(const std::string& userFile) {
  const std::string folder = platform::ParentDir(userFile);
  return folder.empty() ? std::string() : platform::JoinPath(folder, "run.dat");
}

}  // namespace

AppSettings& Settings() {
  static AppSettings settings;
  return settings;
}

void AppSettings::Read(const AppPaths& paths) {
  userFile = paths.DataFile("Config.ini");
  installFile = paths.InstallFile("Config.ini");
  loaded = true;
  sendAction = CheckedInt(RunLogBeside(userFile), userFile, "Setting", "SendAction", 1);
  openTutorial = CheckedInt(RunLogBeside(userFile), userFile, "Setting", "OpenTutorial", 1) != 0;
  enableShadow = CheckedInt(RunLogBeside(userFile), installFile, "Setting", "EnableShadow", 1);
  showDlgBorder = CheckedInt(RunLogBeside(userFile), installFile, "Setting", "ShowDlgBorder", 0);
}

int AppSettings::ReadLanguageLcid() const {
  return CheckedInt(RunLogBeside(userFile), userFile, "Setting", "LCID", 0);
}

void AppSettings::SaveLanguageLcid(int lcid, const AppPaths& paths) const {
  ProfileWriteInt(userFile, "Setting", "LCID", lcid);
  ProfileWriteInt(paths.InstallFile(kOemFileName), "LANG", "LCID", lcid);
}

void AppSettings::SetStandbyServer(int value) {
  standbyServer = value;
  ProfileWriteInt(userFile, "Setting", "StandbyServer", value);
}

void AppSettings::TutorialDone() {
  openTutorial = false;
  ProfileWriteInt(userFile, "Setting", "OpenTutorial", 0);
}

void AppSettings::SetOverrides(int64_t bitRate, float frameRate) {
  customBitRate.store(bitRate);
  customFrameRate.store(frameRate);
}

void AppSettings::TakeOverrides(int64_t* bitRate, float* frameRate) {
  *bitRate = customBitRate.exchange(0);
  *frameRate = customFrameRate.exchange(0.0f);
}

std::string AppSettings::MuxingQueueSize() const {
  const std::string size = ProfileGetString(installFile, "Config", "Size", "");
  if (size.empty()) return kDefaultMuxingQueueSize;
  // The transcoder takes a whole number of packets, at least one.
  const std::string number = platform::Trim(size);
  if (!IsDigits(number) || number.size() > 10 || std::stoll(number) < 1 ||
      std::stoll(number) > INT_MAX) {
    LogBadValue(RunLogBeside(userFile), installFile, "Config", "Size", size,
                kDefaultMuxingQueueSize);
    return kDefaultMuxingQueueSize;
  }
  return number;
}

std::string AppSettings::PowerOffCommand() const {
  std::string cmd = ProfileGetString(installFile, "Config", "PowerOffCommand", "");
  return cmd.empty() ? "systemctl poweroff" : cmd;
}

int AppSettings::PowerOffSeconds() const {
  const std::string text = platform::Trim(ProfileGetString(installFile, "Config", "PowerOffDelay", ""));
  if (!IsDigits(text) || text.size() > 4) return 60;
  const int seconds = std::stoi(text);
  return seconds >= 1 && seconds <= 3600 ? seconds : 60;
}

int StartLanguageLcid(const AppPaths& paths) {
  int lcid = OemConfig::ReadLanguageLcid(paths);
  int user =
      CheckedInt(paths.DataFile("run.dat"), paths.DataFile("Config.ini"), "Setting", "LCID", 0);
  return user != 0 ? user : lcid;
}

std::string ReadOutputPath(const AppPaths& paths) {
  const std::string file = paths.DataFile("path.ini");
  const std::string folder = ProfileGetString(file, "path", "output_path", "");
  // Only a full path names a folder; anything else would land wherever the
  // program happens to be started.
  if (!folder.empty() && folder[0] != '/') {
    LogBadValue(paths.DataFile("run.dat"), file, "path", "output_path", folder,
                "the default folder");
    return {};
  }
  return folder;
}

bool WriteOutputPath(const AppPaths& paths, const std::string& folder) {
  return platform::ProfileWriteString(paths.DataFile("path.ini"), "path", "output_path", folder);
}

std::string ReadAddFolder(const AppPaths& paths) {
  const std::string folder = ProfileGetString(paths.DataFile("path.ini"), "path", "add_from", "");
  return !folder.empty() && folder[0] == '/' ? folder : std::string();
}

bool WriteAddFolder(const AppPaths& paths, const std::string& folder) {
  return platform::ProfileWriteString(paths.DataFile("path.ini"), "path", "add_from", folder);
}

std::string DefaultOutputFolder() {
  return platform::WithTrailingSlash(
      platform::JoinPath(platform::DocumentsDir(), kProductFolder));
}

}  // namespace app
