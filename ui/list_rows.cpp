#include "ui/list_rows.h"

#include <QLabel>
#include <QLineEdit>
#include <QVariant>

#include "app/core/language.h"
#include "app/ui/layout.h"
#include "app/ui/skin_controls.h"
#include "platform/files.h"
#include "ui/main_window_rules.h"

namespace ui {
namespace {

const char* const kItemProperty = "pelmarItem";

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Label control → text key of section "Text".
struct LabelText {
  const char* control;
  const char* key;
};
const LabelText kLabels[] = {
    {"LabTextVideoInfo1", "TextVideoInfo1"}, {"LabTextVideoInfo5", "TextVideoInfo1"},
    {"LabTextVideoInfo2", "TextVideoInfo2"}, {"LabTextVideoInfo6", "TextVideoInfo2"},
    {"LabTextVideoInfo3", "TextVideoInfo3"}, {"LabTextVideoInfo8", "TextVideoInfo3"},
    {"LabTextVideoInfo4", "TextVideoInfo4"}, {"LabTextVideoInfo9", "TextVideoInfo9"},
    {"LabTextVideoInfo7", "TextVideoInfo11"},
};

void SetText(QWidget* row, const char* name, const QString& text) {
  QWidget* w = app::FindControl(row, name);
  if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
  else if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
}

void SetVisible(QWidget* row, const char* name, bool visible) {
  if (QWidget* w = app::FindControl(row, name)) w->setVisible(visible);
}

bool IsSoundFormat(media::OutputFormat f) {
  return f == media::OutputFormat::Mp3 || f == media::OutputFormat::M4a;
}

// The output part of a row: size for picture formats, bit rate for sound.
void ShowOutputChoice(QWidget* row, engine::VideoItem* item, const ListChoice& choice) {
  const bool sound = IsSoundFormat(choice.format);
  SetVisible(row, "layNewVideo", !sound);
  SetVisible(row, "layNewAudio", sound);
  if (sound) {
    std::string label = AudioBitRateLabel(choice.preset, item->audioBitRateText);
    if (!label.empty()) SetText(row, "audio_bitrate", Text(label));
  } else {
    SetText(row, "video_resolution_new",
            Text(media::FormatOutputResolution(choice.format, choice.preset, item->width,
                                               item->height)));
  }
}

}  // namespace

engine::VideoItem* ItemOfRow(const QWidget* row) {
  if (!row) return nullptr;
  return static_cast<engine::VideoItem*>(row->property(kItemProperty).value<void*>());
}

void ReloadRowLabels(QWidget* row) {
  if (!row) return;
  for (const LabelText& l : kLabels) SetText(row, l.control, Text(app::LangText(l.key, "Text")));
  if (QWidget* fail = app::FindControl(row, "btn_recode_fail"))
    fail->setToolTip(Text(app::LangText("TextVideoInfo8", "Text")));
  if (engine::VideoItem* item = ItemOfRow(row))
    SetText(row, "edit_new_video_name", Text(item->outputName));
}

QWidget* CreateListRow(app::SkinList* list, engine::VideoItem* item, const ListChoice& choice) {
  if (!list || !item) return nullptr;
  QWidget* row = app::LoadLayout(QStringLiteral("video_info.xml"));
  if (!row) return nullptr;
  row->setProperty(kItemProperty, QVariant::fromValue<void*>(item));
  ReloadRowLabels(row);
  SetText(row, "video_old_name", Text(item->title));
  SetText(row, "codec_type", Text(item->extension).toUpper());
  std::string rowText = FormatRowText(choice.format);
  if (!rowText.empty()) SetText(row, "codec_type_new", Text(rowText));
  ShowOutputChoice(row, item, choice);
  SetText(row, "video_size", Text(item->fileSizeText));
  item->listItem = row;
  list->Add(row);
  return row;
}

void RefreshRowInfo(engine::VideoItem* item, const ListChoice& choice) {
  if (!item || !item->listItem) return;
  auto* row = static_cast<QWidget*>(item->listItem);
  SetText(row, "video_duration", Text(item->durationText));
  SetText(row, "video_resolution", Text(item->resolutionText));
  SetText(row, "video_duration_new", Text(item->durationText));
  if (app::FindControl(row, "audio_bitrate") && choice.preset == media::SizePreset::Origin &&
      !item->audioBitRateText.empty()) {
    item->outputAudioBitRateText = item->audioBitRateText;
    SetText(row, "audio_bitrate", Text(item->audioBitRateText + " kbps"));
  }
  if (app::FindControl(row, "video_resolution_new")) {
    item->outputResolutionText = media::FormatOutputResolution(choice.format, choice.preset,
                                                               item->width, item->height);
    SetText(row, "video_resolution_new", Text(item->outputResolutionText));
  }
  auto* cover = app::FindControl<app::SkinLabel>(row, "video_cover");
  if (cover && platform::FileExists(item->coverPath)) {
    cover->setBkimage(QStringLiteral("file='%1' restype='fullpath'").arg(Text(item->coverPath)));
    SetVisible(row, "load_cover", false);
  }
  if (item->rotation != 0) {
    // Rotated pictures cannot be clipped or cropped.
    SetVisible(row, "layClipVideo1", false);
    SetVisible(row, "layClipVideo2", false);
  }
}

}  // namespace ui
