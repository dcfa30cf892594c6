// Transcoder commands: an argument vector for the process, and the same
// command as one line for logs, the front end and tests. The line quotes each
// argument the way a POSIX shell reads it back, so it can be pasted as it is.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace engine {

struct VideoItem;

class Command {
 public:
  explicit Command(const std::string& program = "ffmpeg");
  // Options and values: each is one argument.
  void Add(std::initializer_list<std::string> args);
  // A path: one argument.
  void AddPath(const std::string& path);

  const std::vector<std::string>& args() const { return args_; }
  const std::string& Display() const { return display_; }

  // The output must hold a picture with frames (video and GIF outputs).
  void SetNeedsPicture(bool needs) { needsPicture_ = needs; }
  bool NeedsPicture() const { return needsPicture_; }

 private:
  void Append(const std::string& arg);

  std::vector<std::string> args_;
  std::string display_;
  bool needsPicture_ = false;
};

// The argument as a POSIX shell word: as it is when it holds only characters
// the shell leaves alone, else in single quotes.
std::string ShellQuote(const std::string& arg);

// What a command takes from outside the item.
struct CommandInputs {
  std::string progressPath;
  std::string outputPath;                 // chosen by the job; never read from the item
  std::string muxingQueueSize = "34500";  // install Config.ini [Config] Size
  int64_t customBitRate = 0;              // one-shot override, bit/s; 0 = none
  float customFrameRate = 0.0f;           // one-shot override; 0 = none
};

// The conversion command of the item's list: video, GIF and merge parts
// share one builder, sound files have their own.
Command BuildCommand(const VideoItem& item, const CommandInputs& in);
Command BuildVideoCommand(const VideoItem& item, const CommandInputs& in);
Command BuildAudioCommand(const VideoItem& item, const CommandInputs& in);

}  // namespace engine
