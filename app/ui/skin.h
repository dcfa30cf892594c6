// The skin archive in use: a Qt binary resource file "skin_<lang>.skin" that
// holds the layouts under their design names, the style sheet "skin.qss" and
// the pictures under "images/", all below ":/skin/" once registered.
#pragma once

#include <QByteArray>
#include <QString>

namespace app {

// Registers the archive file as the skin in use. The archive used before is
// unregistered first (with two registered, the older one would win). False,
// with the previous archive still in use, when the file cannot be registered.
bool UseSkinArchive(const QString& path);
// The archive that OemConfig selected (skinFolder + skinFile).
bool UseSelectedSkinArchive();
// The archive in use; empty when none.
QString CurrentSkinArchive();
// Unregisters the archive in use (at shutdown).
void ReleaseSkinArchive();

// ":/skin/<name>".
QString SkinPath(const QString& name);
// A file of the archive in use; false when there is no such file.
bool ReadSkinFile(const QString& name, QByteArray* content);
// The style sheet of the archive in use; empty without one.
QString SkinStyleSheet();

// The file a picture name of a layout or image string means: a name relative
// to the skin root (a leading "../<folder>/" also names the skin root), found
// as written or, for a raster name, as the SVG picture of the same name.
// Empty when the archive has neither.
QString ResolveSkinPicture(const QString& name);

}  // namespace app
