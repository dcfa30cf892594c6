// The main window on the offscreen platform, with the built skin and the real
// engine: the fixture every main-window test starts from.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/sandbox.h"
#include "ui/main_frame.h"

namespace mainwindowtest {

// Waits, handling events, until the condition holds.
bool WaitUntil(const std::function<bool()>& done, int ms = 60000);

class MainFrameTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  template <class T = QWidget>
  T* Control(const char* name) {
    return frame_->FindControl<T>(name);
  }
  // Answers the next box the window shows; its text goes to *text. A box
  // that no call waits for fails the test at once and is closed with No,
  // rather than holding the test in its modal loop; a call whose box never
  // came fails the test at its end.
  void AnswerNextBox(int answer, QString* text);
  // A small clip of the given length in the sandbox.
  std::string Clip(const std::string& name, double seconds = 2.0);

  ui::CMainFrame* frame_ = nullptr;
  std::vector<QString> opened_;
  // The power-off commands the window ran, in order, counted as it runs
  // them. None reaches the shell unless realPowerOff_ is set, which hands
  // them on to the program's own detached runner.
  std::vector<std::string> poweredOff_;
  bool realPowerOff_ = false;

 private:
  struct Answer {
    int answer;
    QString* text;
  };
  void AnswerBoxes();
  std::deque<Answer> answers_;
  QTimer* boxWatch_ = nullptr;
};

}  // namespace mainwindowtest
