// Where the engine writes: intermediate files, the children's working folder,
// progress files, covers; and where the helper converters live.
#pragma once

#include <string>

namespace app {
struct AppPaths;
}

namespace engine {

struct EngineDirs {
  std::string scratch;  // intermediate files; private to the user; ends with '/'
  std::string work;     // working folder of every child process; ends with '/'
  std::string log;      // progress files; ends with '/'
  std::string plugin;   // helper converter programs; ends with '/'
  std::string cover;    // cover pictures; no trailing '/'
  std::string running;  // records of what runs are writing (run_records.h); shared by every process; ends with '/'
  std::string tag;      // the name of this process's own folders (ForProcess); "" for the shared ones

  // The program's folders: the private temporary folder, and temp/, log/ and
  // video_cover/ under the data folder.
  static EngineDirs ForApp(const app::AppPaths& paths);
  // Folders of their own under the program's, for one more process beside the
  // window (the front end): nothing of the window's clean-up touches them.
  EngineDirs ForProcess(const std::string& tag) const;

  // Marks the folders as this process's (ClaimFolders), then creates what is
  // missing. False when the scratch folder is not private.
  bool Ensure() const;
  // Removes the per-process folders made by ForProcess, with their content,
  // and then their record.
  void RemoveAll() const;
};

}  // namespace engine
