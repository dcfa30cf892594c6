// Image strings of the skin and the controllers:
//   file='images/logo.svg' source='0,0,44,44' dest='4,4,40,40'
//   file = '/home/me/.local/share/…/cover.png' restype='fullpath'
//   images/logo.svg                      (a bare file name)
// Rectangles are given by their corners x1,y1,x2,y2. Values may be quoted
// with ' or " and may have blanks around '='. Other attributes are skipped.
#pragma once

#include <QRect>
#include <QString>

namespace app {

struct ImageString {
  QString file;
  bool fullPath = false;  // restype='fullpath': a file of the file system
  QRect source;           // part of the picture; null for all of it
  QRect dest;             // place inside the control; null for the whole control

  bool IsEmpty() const { return file.isEmpty(); }
};

ImageString ParseImageString(const QString& text);

}  // namespace app
