// pelmar-crash-box TEXT: tells the user that the program has crashed. A
// program of its own, started by the crash handler, because nothing that
// draws a window may run inside a signal handler. It has no crash handler of
// its own, and it gives up before Qt when there is no display to show on.
#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <string>

#include "app/core/crash.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: pelmar-crash-box TEXT\n");
    return 2;
  }
  // Only an X display is checked: other platforms are left to Qt.
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  const bool x = platform.isEmpty() ? !qEnvironmentVariableIsEmpty("DISPLAY") ||
                                          qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                    : platform.startsWith("xcb");
  std::string why;
  if (x && !app::DisplayCanBeOpened("", &why)) {
    fprintf(stderr, "pelmar-crash-box: cannot open the display: %s\n", why.c_str());
    return 1;
  }
  const QString text = QString::fromUtf8(argv[argc - 1]);
  QApplication app(argc, argv);
  QMessageBox box(QMessageBox::Critical, QStringLiteral("except"), text, QMessageBox::Ok);
  box.exec();
  return 0;
}
