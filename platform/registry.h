// The registry stand-in: values under a key path kept in an INI file, one
// section per key path. The user hive lives in
// $XDG_CONFIG_HOME/PelmarVideoConverter/registry.ini (mode 0600); the machine
// hive is read from /etc/PelmarVideoConverter/registry.ini and never written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class Hive { CurrentUser, LocalMachine };

// The file behind a hive. PELMAR_MACHINE_REGISTRY names another machine file
// (tests use it; the machine hive is read-only either way).
std::string RegistryFile(Hive hive);

// A string value; missing when absent, when it is a number, or when it is
// longer than maxChars - 1 characters (the caller's buffer).
std::optional<std::string> RegGetString(Hive hive, const std::string& keyPath,
                                        const std::string& name, size_t maxChars = 260);
std::optional<uint32_t> RegGetDword(Hive hive, const std::string& keyPath,
                                    const std::string& name);
bool RegSetString(const std::string& keyPath, const std::string& name, const std::string& value);
bool RegSetDword(const std::string& keyPath, const std::string& name, uint32_t value);
bool RegDeleteValue(const std::string& keyPath, const std::string& name);

}  // namespace platform
