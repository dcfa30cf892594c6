// Files and folders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

bool FileExists(const std::string& path);    // any kind of entry; nothing is opened
bool IsDirectory(const std::string& path);   // follows symbolic links
bool IsRegularFile(const std::string& path);
int64_t FileSize(const std::string& path);   // -1 when missing
bool DeleteFile(const std::string& path);    // a file or link, never a folder
bool RemoveFolder(const std::string& path);  // an empty folder

// Creates the folder and every missing parent. True when it exists afterwards.
bool CreateFolders(const std::string& path, unsigned mode = 0777);
// Whether a new file can be made in the folder: tried with a file that is
// removed at once (permissions, read-only file systems and ACLs alike).
bool CanWriteIn(const std::string& folder);

// Deletes every entry directly inside the folder that is not a folder itself;
// sub-folders are not entered. Returns how many were deleted.
int EmptyFolder(const std::string& path);

// The names of the entries directly in a folder, unsorted; empty when it
// cannot be read.
std::vector<std::string> ListFolder(const std::string& path);

// Removes a folder and everything below it without following links.
bool RemoveTree(const std::string& path);

// The private folder rule: a real folder (not a link) owned by this user with
// mode 0700. Creates it (and its parents) when missing, tightens its mode when
// it is ours. False when it cannot be made private.
bool EnsurePrivateFolder(const std::string& path);

bool ReadFile(const std::string& path, std::string* content, int64_t maxBytes = INT64_MAX);
// Writes a temporary file beside the target and renames it over the target,
// so readers see the old or the new content, never half of it.
bool WriteFileAtomic(const std::string& path, const std::string& content, unsigned mode = 0644);

// The last lines of a text file (at most maxLines, read from its last maxBytes).
std::string LastLines(const std::string& path, int maxLines, int64_t maxBytes = 8192);

// Moves the entry `fromName` of the folder fromDirFd to `toName` in toDirFd
// without ever replacing an entry of that name. Returns 0, or the error number
// (EEXIST when the name is taken). Where the file system cannot rename without
// replacing, a hard link and an unlink do the same; where it has no hard links
// either, the name is first made as an empty file of ours and then replaced.
// firstWay skips the better ways (0, 1 or 2), for tests of the others.
int MoveWithoutReplacing(int fromDirFd, const std::string& fromName, int toDirFd,
                         const std::string& toName, int firstWay = 0);

// Path texts; '/' is the separator.
std::string JoinPath(const std::string& dir, const std::string& name);
std::string ParentDir(const std::string& path);      // "" for a bare name
std::string FileNameOf(const std::string& path);     // last element
std::string RemoveExtension(const std::string& path);  // of the last element only
std::string ExtensionOf(const std::string& path);    // without the dot; "" when none
std::string WithTrailingSlash(const std::string& path);
std::string WithoutTrailingSlash(const std::string& path);
std::string AbsolutePath(const std::string& path);   // against the working folder, not resolved

}  // namespace platform
