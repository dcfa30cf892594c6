#include "app/ui/skin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QResource>

#include "app/core/oem_config.h"
#include "app/ui/skin_image.h"

namespace app {
namespace {

QString g_archive;  // UI thread only

}  // namespace

bool UseSkinArchive(const QString& path) {
  if (!QFileInfo(path).isFile()) return false;
  if (path == g_archive) return true;
  const QString previous = g_archive;
  if (!previous.isEmpty()) {
    // Fails while a QFile on the archive is open; the new one would then lose
    // every name the two have in common.
    if (!QResource::unregisterResource(previous)) return false;
    g_archive.clear();
  }
  if (!QResource::registerResource(path)) {
    if (!previous.isEmpty() && QResource::registerResource(previous)) g_archive = previous;
    return false;
  }
  g_archive = path;
  ClearSkinPictureCache();
  return true;
}

bool UseSelectedSkinArchive() {
  const OemConfig& oem = Oem();
  if (oem.skinFile.empty()) return false;
  return UseSkinArchive(QString::fromStdString(oem.skinFolder + oem.skinFile));
}

QString CurrentSkinArchive() { return g_archive; }

void ReleaseSkinArchive() {
  ClearSkinPictureCache();
  if (!g_archive.isEmpty() && QResource::unregisterResource(g_archive)) g_archive.clear();
}

QString SkinPath(const QString& name) { return QStringLiteral(":/skin/") + name; }

bool ReadSkinFile(const QString& name, QByteArray* content) {
  QFile file(SkinPath(name));
  if (!file.open(QIODevice::ReadOnly)) return false;
  *content = file.readAll();
  return true;
}

QString SkinStyleSheet() {
  QByteArray qss;
  return ReadSkinFile(QStringLiteral("skin.qss"), &qss) ? QString::fromUtf8(qss) : QString();
}

QString ResolveSkinPicture(const QString& name) {
  QString clean = QDir::cleanPath(name);
  // The skin's shared folder ("../default/images/x.png") is this archive's root.
  while (clean.startsWith(QLatin1String("../"))) {
    const int slash = clean.indexOf('/', 3);
    clean = slash < 0 ? QString() : clean.mid(slash + 1);
  }
  if (clean.isEmpty() || clean.startsWith('/')) return QString();
  const QString path = SkinPath(clean);
  if (QFile::exists(path)) return path;
  const QString suffix = QFileInfo(clean).suffix();
  if (!suffix.isEmpty() && suffix.compare("svg", Qt::CaseInsensitive) != 0) {
    const QString svg = SkinPath(clean.left(clean.size() - suffix.size()) + "svg");
    if (QFile::exists(svg)) return svg;
  }
  return QString();
}

}  // namespace app
