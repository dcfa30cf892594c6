// An output in the making: the transcoder writes into a private folder of
// ours beside the final name, and only a finished, judged file is moved to a
// name that nobody else holds. The final name is never opened for writing, so
// a file or link that someone put there is never overwritten or followed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/run_records.h"

namespace engine {

class TempOutput {
 public:
  TempOutput() = default;
  ~TempOutput();  // Discard()
  TempOutput(const TempOutput&) = delete;
  TempOutput& operator=(const TempOutput&) = delete;

  // Makes a private folder in `folder` holding an empty file with the
  // extension, after a record of it in runningDir (where a later start finds
  // it when this run is killed). False with *error when the folder cannot
  // take it.
  bool Create(const std::string& folder, const std::string& extension,
              const std::string& runningDir, std::string* error);

  // Where the transcoder writes and where the result is judged. It reaches
  // the file through this process's own handle of the private folder: nothing
  // put in the folder's place is ever followed.
  const std::string& WritePath() const { return writePath_; }
  // The same file by its plain path, for logs.
  std::string ShownPath() const;
  // A command line with WritePath() shown as ShownPath().
  std::string ShownIn(const std::string& commandLine) const;

  // Moves the finished file into the folder under the first of `names`
  // (file names with extension) that nobody holds. Returns the index of the
  // name taken; -1 with *error when none could be taken.
  int MoveInto(const std::vector<std::string>& names, std::string* error);
  // Moves the finished file to `name`, replacing an older file of that name:
  // only for the program's own private folder.
  bool Replace(const std::string& name, std::string* error);

  // Removes the private folder with what the transcoder wrote, and the record.
  // Every end of a run comes here; after a move only the empty folder is left.
  void Discard();

 private:
  int folderFd_ = -1;   // the folder the output goes to
  int privateFd_ = -1;  // our private folder in it
  std::string folder_;  // ends with '/'
  std::string privateName_;
  std::string fileName_;
  std::string writePath_;
  std::unique_ptr<RunRecord> record_;
};

}  // namespace engine
