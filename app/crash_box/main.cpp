// pelmar-crash-box TEXT: tells the user that the program has crashed. A
// program of its own, started by the crash handler, because nothing that
// draws a window may run inside a signal handler.
#include <QApplication>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: pelmar-crash-box TEXT\n");
    return 2;
  }
  const QString text = QString::fromUtf8(argv[argc - 1]);
  QApplication app(argc, argv);
  QMessageBox box(QMessageBox::Critical, QStringLiteral("except"), text, QMessageBox::Ok);
  box.exec();
  return 0;
}
