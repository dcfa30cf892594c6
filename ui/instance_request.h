// What a later start of the program says to the running window over the
// local socket, and what the window answers.
//
// A message is one line, "verb\n" or "verb count\n", followed by `count`
// items, each written as its length in bytes (decimal), ':' and the bytes.
// Items are file paths, so any byte may appear in them, a newline included.
// A message without a count has no items: a plain "raise\n" reads as before.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ui {

struct InstanceMessage {
  std::string verb;
  std::vector<std::string> items;

  bool operator==(const InstanceMessage& o) const { return verb == o.verb && items == o.items; }
};

// Requests of a later start, and the window's answers.
inline constexpr const char* kVerbRaise = "raise";  // come to the front
inline constexpr const char* kVerbOpen = "open";    // add the files (items), come to the front
inline constexpr const char* kVerbClose = "close";  // close as the close button does
inline constexpr const char* kVerbList = "list";    // answer with the video list's files
inline constexpr const char* kAnswerOk = "ok";
inline constexpr const char* kAnswerUnknown = "unknown";

// Bounds that keep a stray peer from making the window hold much memory.
constexpr size_t kMaxMessageLine = 64;
constexpr size_t kMaxMessageItems = 100000;
constexpr size_t kMaxItemBytes = 65536;

std::string EncodeInstanceMessage(const InstanceMessage& message);

enum class DecodeResult { Complete, Incomplete, Malformed };

// Reads the message at the front of `data`, which may hold only its first
// part (Incomplete: wait for more). On Complete, *message is set and *used
// holds the number of bytes the message took.
DecodeResult DecodeInstanceMessage(const std::string& data, InstanceMessage* message,
                                   size_t* used);

// Connects to the running program's socket `name`, sends `request` and waits
// for the answer, `timeoutMs` at most in all. False when no program of this
// user listens there. A program that takes the request but does not
// answer in time still counts as running; *answer is then left empty.
bool AskRunningInstance(const std::string& name, const InstanceMessage& request,
                        InstanceMessage* answer, int timeoutMs);

// Whether the process at the other end of a connected local socket runs as
// this user. The socket name is open to every user of the machine.
bool PeerIsThisUser(long long socketDescriptor);

// The desktop session a window of this process would open on: the Wayland
// display when there is one, else the X display without its screen number
// (":0.1" and "unix:0" are ":0"); "" without either.
std::string DesktopSession();

// The socket name part that sets apart the windows of one user on several
// desktop sessions (each its own display) and a test's sandbox (its own data
// folder): a hash of both, stable across builds.
std::string InstanceNameSuffix(const std::string& dataHome, const std::string& session);

}  // namespace ui
