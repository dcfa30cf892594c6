// The user's standard folders.
#pragma once

#include <string>

namespace platform {

std::string HomeDir();           // $HOME, else the password entry
std::string TempPath();          // $TMPDIR, else /tmp; ends with '/'
std::string DataHome();          // $XDG_DATA_HOME, else ~/.local/share
std::string ConfigHome();        // $XDG_CONFIG_HOME, else ~/.config
std::string CacheHome();         // $XDG_CACHE_HOME, else ~/.cache
std::string DocumentsDir();      // the XDG documents folder, else ~/Documents
std::string UserIdText();        // the numeric user id as text

// The first language guess from the locale, as a Windows code page:
// ja* 932, zh_CN/zh_SG 936, zh_TW/zh_HK 950, anything else 1252.
int AnsiCodePage();

}  // namespace platform
