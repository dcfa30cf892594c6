// How the front end shows the progress of each file: a bar redrawn in place
// on a terminal, plain lines otherwise.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

class ProgressView {
 public:
  ProgressView(FILE* out, bool terminal) : out_(out), terminal_(terminal) {}

  // A new bar for the next file.
  void Begin(const std::string& label);
  void Update(int percent);
  // A line of its own (a result); the bar stays below it.
  void Print(const std::string& text);
  // Clears the bar.
  void End();

 private:
  FILE* out_;
  bool terminal_;
  std::string label_;
  int shown_ = -1;
  bool open_ = false;
};

}  // namespace cli
