#include "platform/special_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "platform/files.h"
#include "platform/text.h"

namespace platform {
namespace {

// XDG values count only when they are absolute paths.
std::string AbsoluteEnv(const char* name) {
  const char* v = getenv(name);
  if (!v || v[0] != '/') return {};
  return WithoutTrailingSlash(v);
}

std::string FromHome(const char* rest) {
  std::string home = HomeDir();
  return home.empty() ? std::string() : JoinPath(home, rest);
}

}  // namespace

std::string HomeDir() {
  std::string home = AbsoluteEnv("HOME");
  if (!home.empty()) return home;
  if (passwd* pw = getpwuid(getuid()))
    if (pw->pw_dir && pw->pw_dir[0] == '/') return WithoutTrailingSlash(pw->pw_dir);
  return {};
}

std::string TempPath() {
  std::string tmp = AbsoluteEnv("TMPDIR");
  return WithTrailingSlash(tmp.empty() ? "/tmp" : tmp);
}

std::string DataHome() {
  std::string d = AbsoluteEnv("XDG_DATA_HOME");
  return d.empty() ? FromHome(".local/share") : d;
}

std::string ConfigHome() {
  std::string d = AbsoluteEnv("XDG_CONFIG_HOME");
  return d.empty() ? FromHome(".config") : d;
}

std::string CacheHome() {
  std::string d = AbsoluteEnv("XDG_CACHE_HOME");
  return d.empty() ? FromHome(".cache") : d;
}

std::string DocumentsDir() {
  // user-dirs.dirs holds lines like XDG_DOCUMENTS_DIR="$HOME/Documents".
  std::string content;
  std::string config = ConfigHome();
  if (!config.empty() && ReadFile(JoinPath(config, "user-dirs.dirs"), &content, 65536)) {
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
      line = Trim(line);
      const std::string key = "XDG_DOCUMENTS_DIR=";
      if (line.compare(0, key.size(), key) != 0) continue;
      std::string value = line.substr(key.size());
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
      if (value.compare(0, 5, "$HOME") == 0) value = HomeDir() + value.substr(5);
      if (!value.empty() && value[0] == '/') return WithoutTrailingSlash(value);
    }
  }
  return FromHome("Documents");
}

std::string UserIdText() { return std::to_string(getuid()); }

int AnsiCodePage() {
  const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::string locale;
  for (const char* n : names) {
    const char* v = getenv(n);
    if (v && *v) {
      locale = v;
      break;
    }
  }
  if (locale.compare(0, 2, "ja") == 0) return 932;
  if (locale.compare(0, 5, "zh_CN") == 0 || locale.compare(0, 5, "zh_SG") == 0) return 936;
  if (locale.compare(0, 5, "zh_TW") == 0 || locale.compare(0, 5, "zh_HK") == 0) return 950;
  return 1252;
}

}  // namespace platform
