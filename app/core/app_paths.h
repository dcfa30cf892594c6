// The process-wide base folders and identity texts every file name is built from.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace app {

// The registry key under which the program keeps its values.
extern const char* const kRegistryKey;  // "Software\PelmarVideoConverter"
extern const char* const kProductFolder;  // "PelmarVideoConverter"

struct AppPaths {
  int languageId = 1252;      // first guess from the locale; the language choice replaces it
  std::string installDir;     // folder of the program file, no trailing '/'
  std::string osName;         // empty on Linux
  std::string channelId;      // distribution channel id, may be empty
  std::string versionText;    // "%d.%d.%d.%d"
  int versionNumber = 0;      // "%d%d%d" of the first three parts
  std::string tempDir;        // private per-user temporary folder, ends with '/'
  std::string dataDir;        // per-user data folder, no trailing '/'

  // Sets everything but dataDir and creates tempDir. programPath defaults to
  // the running program file.
  static AppPaths Build(const std::string& programPath = std::string());
  // Sets and creates dataDir.
  void CreateDataDir();

  std::string InstallFile(const std::string& name) const;  // installDir + "/" + name
  std::string DataFile(const std::string& name) const;     // dataDir + "/" + name; "" without dataDir
};

// The instance the program built at start; read-only for everybody else.
const AppPaths& Paths();
void SetPaths(const AppPaths& paths);

// The private temporary folder for this user under the system temporary
// folder: "<tmp>/PelmarVideoConverter-<uid>/". When that name exists but is a
// link or belongs to someone else, a fresh private folder is made beside it
// (one per process, removed at its exit); when the system temporary folder
// cannot be written, the same name under the user's cache folder serves.
// What was done instead is logged once. Returns "" when no private folder can
// be had.
std::string MakePrivateTempDir();

// Channel id rules: the cached "adid" value, else the text after the first
// "-" of the installer's file name (stored as "adid"), else empty.
std::string ChannelIdFromInstallerName(const std::string& installerName);
std::string ResolveChannelId();

struct VersionInfo {
  std::string text;
  int number = 0;
};
// From the build's version parts; without them, the registry "Version" text
// with number 0.
VersionInfo ComposeVersion(const std::optional<std::array<int, 4>>& parts,
                           const std::optional<std::string>& registryVersion);

}  // namespace app
