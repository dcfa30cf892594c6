#include "platform/registry.h"

#include <cstdlib>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/special_folders.h"
#include "platform/text.h"

namespace platform {
namespace {

// Values are stored typed: "sz:<text>" or "dword:<decimal>"; a hand-written
// value without a prefix is a string.
const std::string kSz = "sz:";
const std::string kDword = "dword:";
constexpr size_t kRawLimit = 1 << 16;

std::optional<std::string> Raw(Hive hive, const std::string& keyPath, const std::string& name) {
  static const std::string missing = "\x01missing\x01";
  std::string v = ProfileGetString(RegistryFile(hive), keyPath, name, missing, kRawLimit);
  if (v == missing) return std::nullopt;
  return v;
}

bool UserFileReady() {
  std::string file = RegistryFile(Hive::CurrentUser);
  if (file.empty()) return false;
  std::string dir = ParentDir(file);
  if (!IsDirectory(dir)) {
    CreateFolders(ParentDir(dir));
    EnsurePrivateFolder(dir);
  }
  return IsDirectory(dir);
}

bool SetRaw(const std::string& keyPath, const std::string& name, const std::string& raw) {
  if (!UserFileReady()) return false;
  return ProfileWriteString(RegistryFile(Hive::CurrentUser), keyPath, name, raw, 0600);
}

}  // namespace

std::string RegistryFile(Hive hive) {
  if (hive == Hive::LocalMachine) {
    const char* over = getenv("PELMAR_MACHINE_REGISTRY");
    if (over && *over) return over;
    return "/etc/PelmarVideoConverter/registry.ini";
  }
  std::string config = ConfigHome();
  if (config.empty()) return {};
  return JoinPath(config, "PelmarVideoConverter/registry.ini");
}

std::optional<std::string> RegGetString(Hive hive, const std::string& keyPath,
                                        const std::string& name, size_t maxChars) {
  std::optional<std::string> raw = Raw(hive, keyPath, name);
  if (!raw) return std::nullopt;
  if (raw->compare(0, kDword.size(), kDword) == 0) return std::nullopt;
  std::string value = raw->compare(0, kSz.size(), kSz) == 0 ? raw->substr(kSz.size()) : *raw;
  if (maxChars == 0 || Utf8Length(value) > maxChars - 1) return std::nullopt;
  return value;
}

std::optional<uint32_t> RegGetDword(Hive hive, const std::string& keyPath,
                                    const std::string& name) {
  std::optional<std::string> raw = Raw(hive, keyPath, name);
  if (!raw || raw->compare(0, kDword.size(), kDword) != 0) return std::nullopt;
  std::string digits = raw->substr(kDword.size());
  if (digits.empty()) return std::nullopt;
  char* end = nullptr;
  unsigned long long v = strtoull(digits.c_str(), &end, 10);
  if (*end != '\0' || v > 0xFFFFFFFFULL) return std::nullopt;
  return static_cast<uint32_t>(v);
}

bool RegSetString(const std::string& keyPath, const std::string& name, const std::string& value) {
  return SetRaw(keyPath, name, kSz + value);
}

bool RegSetDword(const std::string& keyPath, const std::string& name, uint32_t value) {
  return SetRaw(keyPath, name, kDword + std::to_string(value));
}

bool RegDeleteValue(const std::string& keyPath, const std::string& name) {
  return ProfileDeleteKey(RegistryFile(Hive::CurrentUser), keyPath, name);
}

}  // namespace platform
