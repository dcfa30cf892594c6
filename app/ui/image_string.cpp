#include "app/ui/image_string.h"

#include <QStringList>

#include <map>

namespace app {
namespace {

// "x1,y1,x2,y2" as a rectangle; null unless four integers, in order.
QRect CornerRect(const QString& text) {
  const QStringList parts = text.split(',');
  if (parts.size() != 4) return QRect();
  int v[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    v[i] = parts[i].trimmed().toInt(&ok);
    if (!ok) return QRect();
  }
  if (v[2] < v[0] || v[3] < v[1]) return QRect();
  return QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
}

}  // namespace

ImageString ParseImageString(const QString& text) {
  ImageString result;
  const QString s = text.trimmed();
  if (s.isEmpty()) return result;

  std::map<QString, QString> attrs;
  int i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i].isSpace()) ++i;
    int nameStart = i;
    while (i < s.size() && !s[i].isSpace() && s[i] != '=') ++i;
    const QString name = s.mid(nameStart, i - nameStart);
    while (i < s.size() && s[i].isSpace()) ++i;
    if (name.isEmpty() || i >= s.size() || s[i] != '=') break;
    ++i;
    while (i < s.size() && s[i].isSpace()) ++i;
    if (i >= s.size()) break;
    QString value;
    const QChar quote = s[i];
    if (quote == '\'' || quote == '"') {
      int end = s.indexOf(quote, i + 1);
      if (end < 0) break;
      value = s.mid(i + 1, end - i - 1);
      i = end + 1;
    } else {
      int start = i;
      while (i < s.size() && !s[i].isSpace()) ++i;
      value = s.mid(start, i - start);
    }
    attrs[name] = value;
  }
  if (attrs.empty()) {
    result.file = s;  // a bare file name
    return result;
  }

  for (auto& [name, value] : attrs) {
    if (name == "file") {
      result.file = value;
    } else if (name == "restype") {
      result.fullPath = value.compare("fullpath", Qt::CaseInsensitive) == 0;
    } else if (name == "source") {
      result.source = CornerRect(value);
    } else if (name == "dest") {
      result.dest = CornerRect(value);
    }
  }
  return result;
}

}  // namespace app
