// Runs a piece of a test as a user without privileges, in a forked child:
// root writes into read-only folders and passes every permission check, so
// a test of such a check would prove nothing when run as root.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace testsupport {

// The user id of "nobody", whom a test plays when it needs another user.
constexpr uid_t kNobody = 65534;

// Runs `body` in a forked child. Started as root, the child first drops to
// uid and gid `uid` for good; otherwise it keeps the caller's user. Returns
// what `body` returned ("" for success, else what went wrong), or why the
// child could not run it. Only for a test's own single-threaded steps: the
// child runs no more than `body` and leaves with _exit.
std::string RunUnprivileged(const std::function<std::string()>& body, uid_t uid = kNobody);

// Whether this process may act as another user (it runs as root).
bool CanActAsAnotherUser();

// Lets every user through `path` and the folders above it up to the
// sandbox's root (search only, nothing readable is added), so that a child
// run as another user reaches a file in a test's sandbox. Returns "" or the
// folder above the root that still keeps other users out.
std::string OpenPathToOthers(const std::string& root, const std::string& path);

}  // namespace testsupport
