// GUI tests: one QApplication for the process (offscreen unless the test
// runner chose another platform), the built skin archives and language
// files, and a recorder in place of the desktop's web page opener.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string>

#include "tests/support/sandbox.h"

class QWidget;

namespace uitest {

// The build's install folder with its skin/ and language/ folders.
std::string BinDir();
QString ArchivePath(const std::string& archive);  // "skin_en.skin"

class UiTest : public testsupport::SandboxTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Addresses the program asked to open, instead of a browser.
  QStringList opened_;
};

// Long enough for any machine, however busy: only a test whose window
// never does what it waits for reaches it.
constexpr int kHungMs = 60000;
// Runs the event loop until `done` or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms = kHungMs);
// Calls `action` with the first modal window once it is shown, however long
// that takes; a wait still open when the test ends fails it.
void OnModal(std::function<void(QWidget* modal)> action);
// Ends the waits of OnModal that nothing answered, failing the test (the
// fixture's TearDown calls it).
void EndModalWaits();

}  // namespace uitest
