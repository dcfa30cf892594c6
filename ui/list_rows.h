// The rows of the four lists: one card per source file, built from the row
// layout "video_info.xml". A row only shows its item: what the item holds
// (facts, output choice, state, progress) decides every text and every
// visible button.
#pragma once

#include <QString>

#include "engine/video_item.h"

class QWidget;

namespace app {
class SkinList;
}

namespace ui {

// Builds the item's row at rest, fills it and appends it to the list; the row
// and the item point at each other. Null when the row layout cannot be built.
QWidget* CreateListRow(app::SkinList* list, engine::VideoItem* item);

// Fills the row from the analysed item: duration, size, cover, output choice.
void RefreshRowInfo(engine::VideoItem* item);

// The output part of the row: format, size or bit rate, as the item holds them.
void ShowOutputChoice(QWidget* row, const engine::VideoItem& item);

// Which buttons and areas the row shows: busy while the item waits or
// converts, else at rest, each by the item's state and list.
void UpdateRowState(QWidget* row, const engine::VideoItem& item, bool busy);
// The row's state as its item's state asks.
void UpdateRowState(QWidget* row, const engine::VideoItem& item);

// The progress strip: "37%" and the strip's frame for 0..100.
void ShowProgress(QWidget* row, int percent);
// The picture part of the strip for a percentage: "source='x1,0,x2,44'".
QString ProgressFrame(int percent);

// The row's status line: a failure with its reason, the time left, that
// the output name is taken, that it was stopped, or nothing. timeLeft is the
// localized text, empty to hide it.
void ShowRowStatus(QWidget* row, const engine::VideoItem& item, const QString& timeLeft);
// The output name the row shows: the item's, or once done the name of the
// file that was made.
void ShowOutputName(QWidget* row, const engine::VideoItem& item);
// The file a done row stands for: its output, or for a merge part the
// joined file (ShowMergedFile); "" when there is none.
std::string RowResult(const QWidget* row, const engine::VideoItem& item);
// A merge part's row shows the joined file (play, folder, name); "" shows none.
void ShowMergedFile(QWidget* row, const engine::VideoItem& item, const std::string& path);
// Whether another file has the row's output name (shown on a row at rest).
void ShowNameTaken(QWidget* row, const engine::VideoItem& item, bool taken);

// Puts the localized label texts on the row again (after a language switch).
void ReloadRowLabels(QWidget* row);

// Whether the clip editor may open for the row's item: an analysed file with
// a known length and frame, not turned and not a cache file.
bool CanClip(const QWidget* row, const engine::VideoItem& item);

// The output length after the clip editor: the kept length, or the kept
// range when only part of the file is kept.
void ShowKeptRange(QWidget* row, const engine::VideoItem& item);

// The item a row shows; null for anything else.
engine::VideoItem* ItemOfRow(const QWidget* row);

}  // namespace ui
