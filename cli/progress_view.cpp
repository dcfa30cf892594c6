#include "cli/progress_view.h"

namespace cli {

void ProgressView::Begin(const std::string& label) {
  End();
  label_ = label;
  shown_ = -1;
  open_ = true;
  Update(0);
}

void ProgressView::Update(int percent) {
  if (!open_ || percent == shown_) return;
  if (terminal_) {
    const int width = 30;
    int filled = percent * width / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(width, '.');
    fprintf(out_, "\r[%s] %3d%%  %s", bar.c_str(), percent, label_.c_str());
  } else if (percent / 10 != shown_ / 10 || shown_ < 0) {
    // A log file gets a line every tenth, not one a second.
    fprintf(out_, "%s: %d%%\n", label_.c_str(), percent);
  }
  shown_ = percent;
  fflush(out_);
}

void ProgressView::Print(const std::string& text) {
  if (terminal_ && open_) fprintf(out_, "\r\033[K");
  fprintf(out_, "%s\n", text.c_str());
  if (terminal_ && open_) {
    int percent = shown_;
    shown_ = -1;
    Update(percent);
  }
  fflush(out_);
}

void ProgressView::End() {
  if (terminal_ && open_) fprintf(out_, "\r\033[K");
  fflush(out_);
  open_ = false;
}

}  // namespace cli
