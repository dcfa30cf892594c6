// This user's private folder for intermediate files.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct PrivateTempFolder {
  std::string path;  // no trailing '/'; "" when no folder could be had
  // What went wrong with the usual folder and what was done instead, for the
  // log; "" when nothing did, and on every later call for the same folder.
  std::string note;
};

// The folder `name` under the first of `bases` that can hold it: a real
// folder of this user with mode 0700, made when missing. Where that name is
// taken (a link, another user's folder), a fresh "<name>-XXXXXX" beside it
// serves this process: later calls return the same one, it goes when the
// process exits, and one left by a process that ended (each holds a lock on
// its own) goes at the first call of another. A base that cannot be written
// passes to the next one.
PrivateTempFolder MakePrivateTempFolder(const std::vector<std::string>& bases,
                                        const std::string& name);

}  // namespace platform
