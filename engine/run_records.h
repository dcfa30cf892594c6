// What a run of the program is writing, told in small files that a later
// start reads: whatever a run that was killed (or lost its power) left
// behind is found and removed, and nothing of a run that still goes on.
#pragma once

#include <memory>
#include <string>

namespace engine {

struct EngineDirs;

// One file in the running folder naming what this process is writing. The
// process holds a lock on it while it lives: a record that another process
// can lock belongs to a run that has ended, however it ended.
class RunRecord {
 public:
  // Writes and locks a new record of the kind ("out", "dirs"); null when it
  // cannot be written. The record appears whole and locked at once.
  static std::unique_ptr<RunRecord> Write(const std::string& runningDir, const std::string& kind,
                                          const std::string& content);
  ~RunRecord();  // removes the record
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  const std::string& Path() const { return path_; }

 private:
  RunRecord(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::string path_;
};

// Marks the folders as in use by this process for as long as it runs:
// a process's own folders (EngineDirs::ForProcess) by a record, the shared
// ones of the window by a shared lock. EngineDirs::Ensure() calls it before
// it makes anything. Repeated calls do nothing more.
void ClaimFolders(const EngineDirs& dirs);
// Lets go of a process's own folders, once they were removed.
void ReleaseFolders(const EngineDirs& dirs);

// Removes what runs of this program that no longer run left behind: the
// outputs they had not finished, their own folders, and, when no window
// runs, the window's merge parts, part lists, progress files and cover
// pictures. Nothing
// else: only names this program makes, only entries of this user, never
// through a link. Returns how many entries went.
int RemoveLeftovers(const EngineDirs& base);
// The same for this user's folders of the program: called at the start of
// both front ends.
int RemoveLeftovers();

// The start of the name of the private folder an output is written in.
extern const char* const kTempOutputPrefix;

// Removes such a private folder with the files of this user in it; anything
// else named so is left alone.
bool RemoveTempOutputFolder(const std::string& path);

}  // namespace engine
