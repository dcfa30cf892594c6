// The rows of the four lists: one card per source file, built from the row
// layout "video_info.xml", filled when the file is added and again when its
// analysis is done.
#pragma once

#include "engine/video_item.h"
#include "media/output_format.h"

class QWidget;

namespace app {
class SkinList;
}

namespace ui {

// The output choice of a list: its format and size preset.
struct ListChoice {
  media::OutputFormat format = media::OutputFormat::Mp4;
  media::SizePreset preset = media::SizePreset::Origin;
};

// Builds the item's row, fills it and appends it to the list; the row and the
// item point at each other. Null when the row layout cannot be built.
QWidget* CreateListRow(app::SkinList* list, engine::VideoItem* item, const ListChoice& choice);

// Fills the row from the analysed item: duration, size, cover, the output
// size and bit rate of the item's own list.
void RefreshRowInfo(engine::VideoItem* item, const ListChoice& choice);

// Puts the localized label texts on the row again (after a language switch).
void ReloadRowLabels(QWidget* row);

// The item a row shows; null for anything else.
engine::VideoItem* ItemOfRow(const QWidget* row);

}  // namespace ui
