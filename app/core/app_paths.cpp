#include "app/core/app_paths.h"

#include <cstdlib>
#include <vector>

#include "app/core/run_log.h"
#include "app/core/version_config.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/special_folders.h"
#include "platform/temp_folder.h"
#include "platform/text.h"

namespace app {

const char* const kRegistryKey = "Software\\PelmarVideoConverter";
const char* const kProductFolder = "PelmarVideoConverter";

namespace {

AppPaths& Instance() {
  static AppPaths paths;
  return paths;
}

constexpr size_t kRegistryBufferChars = 260;  // 520 bytes of wide characters

}  // namespace

const AppPaths& Paths() { return Instance(); }
void SetPaths(const AppPaths& paths) { Instance() = paths; }

std::string MakePrivateTempDir() {
  // The user's cache folder stands in for a system temporary folder that
  // cannot be written.
  const platform::PrivateTempFolder folder = platform::MakePrivateTempFolder(
      {platform::TempPath(), platform::JoinPath(platform::CacheHome(), kProductFolder)},
      kProductFolder + std::string("-") + platform::UserIdText());
  if (!folder.note.empty()) DebugTrace("%s\n", folder.note.c_str());
  return folder.path.empty() ? std::string() : folder.path + "/";
}

std::string ChannelIdFromInstallerName(const std::string& installerName) {
  // The installer's name may come as a Windows path.
  std::string name = installerName;
  size_t sep = name.find_last_of("/\\");
  if (sep != std::string::npos) name = name.substr(sep + 1);
  name = platform::RemoveExtension(name);
  size_t dash = name.find('-');
  if (dash == std::string::npos || dash + 1 >= name.size()) return {};
  return name.substr(dash + 1);
}

std::string ResolveChannelId() {
  using platform::Hive;
  if (auto adid = platform::RegGetString(Hive::CurrentUser, kRegistryKey, "adid",
                                         kRegistryBufferChars))
    return *adid;
  auto installer = platform::RegGetString(Hive::LocalMachine, kRegistryKey, "InstallerName",
                                          kRegistryBufferChars);
  if (!installer) return {};
  std::string id = ChannelIdFromInstallerName(*installer);
  if (!id.empty()) platform::RegSetString(kRegistryKey, "adid", id);
  return id;
}

VersionInfo ComposeVersion(const std::optional<std::array<int, 4>>& parts,
                           const std::optional<std::string>& registryVersion) {
  VersionInfo v;
  if (parts) {
    const auto& p = *parts;
    v.text = platform::Format("%d.%d.%d.%d", p[0], p[1], p[2], p[3]);
    v.number = static_cast<int>(
        platform::LeadingInteger(platform::Format("%d%d%d", p[0], p[1], p[2])));
  } else if (registryVersion) {
    v.text = *registryVersion;
  }
  return v;
}

AppPaths AppPaths::Build(const std::string& programPath) {
  AppPaths p;
  p.languageId = platform::AnsiCodePage();
  std::string program = programPath;
  if (program.empty()) {
    p.installDir = platform::ProgramDir();
  } else {
    p.installDir = platform::ParentDir(platform::AbsolutePath(program));
  }
  p.channelId = ResolveChannelId();
  const std::array<int, 4> parts = {PELMAR_VERSION_MAJOR, PELMAR_VERSION_MINOR,
                                    PELMAR_VERSION_PATCH, PELMAR_VERSION_TWEAK};
  VersionInfo version = ComposeVersion(parts, std::nullopt);
  p.versionText = version.text;
  p.versionNumber = version.number;
  p.tempDir = MakePrivateTempDir();
  return p;
}

void AppPaths::CreateDataDir() {
  std::string home = platform::DataHome();
  if (home.empty()) return;  // no data folder: nothing is reported
  dataDir = platform::JoinPath(home, kProductFolder);
  platform::CreateFolders(dataDir, 0700);
}

std::string AppPaths::InstallFile(const std::string& name) const {
  return platform::JoinPath(installDir, name);
}

std::string AppPaths::DataFile(const std::string& name) const {
  return dataDir.empty() ? std::string() : platform::JoinPath(dataDir, name);
}

}  // namespace app
