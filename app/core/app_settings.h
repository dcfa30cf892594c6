// Settings of the per-user and install Config.ini files.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace app {

struct AppPaths;

struct AppSettings {
  bool loaded = false;
  std::string userFile;     // dataDir + "/Config.ini"
  std::string installFile;  // installDir + "/Config.ini"
  int sendAction = 1;
  int standbyServer = 0;    // never read back: every start begins with it off
  int enableShadow = 1;
  int showDlgBorder = 0;
  bool openTutorial = true;
  // One-shot overrides for the next video command of this run; set on the UI
  // thread, taken by the worker that builds the command.
  std::atomic<int64_t> customBitRate{0};   // bits per second
  std::atomic<float> customFrameRate{0.0f};

  // Reads SendAction and OpenTutorial from the per-user file and EnableShadow
  // and ShowDlgBorder from the install file.
  void Read(const AppPaths& paths);

  // Per-user [Setting] LCID; 0 when not set.
  int ReadLanguageLcid() const;
  // Writes the locale id into the per-user file, then into oem.ini.
  void SaveLanguageLcid(int lcid, const AppPaths& paths) const;
  void SetStandbyServer(int value);
  void TutorialDone();

  void SetOverrides(int64_t bitRate, float frameRate);
  // Returns the overrides and resets them, so only one command gets them.
  void TakeOverrides(int64_t* bitRate, float* frameRate);

  // Install [Config] Size: the muxing queue size text; "34500" when missing or empty.
  std::string MuxingQueueSize() const;
  // Install [Config] PowerOffCommand: the command run through /bin/sh -c
  // after the last conversion when the user asked for it.
  std::string PowerOffCommand() const;
  // Install [Config] PowerOffDelay: the seconds the power-off waits for a
  // Cancel; 60 when missing or not a number from 1 to 3600.
  int PowerOffSeconds() const;
};

// The program's instance.
AppSettings& Settings();

// The language the program starts in: oem.ini [LANG] LCID, replaced by the
// per-user [Setting] LCID when that is set. 0 keeps the locale's guess.
int StartLanguageLcid(const AppPaths& paths);

// path.ini [path] output_path; "" when missing or empty.
std::string ReadOutputPath(const AppPaths& paths);
bool WriteOutputPath(const AppPaths& paths, const std::string& folder);
// The folder the last added files came from (path.ini [path] add_from); ""
// when none is stored.
std::string ReadAddFolder(const AppPaths& paths);
bool WriteAddFolder(const AppPaths& paths, const std::string& folder);
// The documents folder default: "<documents>/PelmarVideoConverter/".
std::string DefaultOutputFolder();

}  // namespace app
