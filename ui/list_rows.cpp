#include "ui/list_rows.h"

#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QVariant>

#include <algorithm>

#include "app/core/language.h"
#include "app/ui/layout.h"
#include "app/ui/skin_controls.h"
#include "engine/format_catalog.h"
#include "engine/list_session.h"
#include "platform/files.h"

namespace ui {

using engine::ConvertKind;
using engine::ItemState;

namespace {

const char* const kItemProperty = "pelmarItem";
// Set once the analysis has reported: the item's media facts may be read.
const char* const kAnalysedProperty = "pelmarAnalysed";
// A merge part's row, once the join made its file: that file's path.
const char* const kMergedProperty = "pelmarMergedFile";
// Set while another file has the row's output name: its job will add a number.
const char* const kNameTakenProperty = "pelmarNameTaken";
const char* const kProgressImage = "file='../default/images/pic_recode_progress.png' ";

QString Text(const std::string& s) { return QString::fromStdString(s); }

// Label control → text key of section "Text".
struct LabelText {
  const char* control;
  const char* key;
};
const LabelText kLabels[] = {
    {"LabTextVideoInfo1", app::langkey::kTextVideoInfo1},
    {"LabTextVideoInfo5", app::langkey::kTextVideoInfo1},
    {"LabTextVideoInfo2", app::langkey::kTextVideoInfo2},
    {"LabTextVideoInfo6", app::langkey::kTextVideoInfo2},
    {"LabTextVideoInfo3", app::langkey::kTextVideoInfo3},
    {"LabTextVideoInfo8", app::langkey::kTextVideoInfo3},
    {"LabTextVideoInfo4", app::langkey::kTextVideoInfo4},
    {"LabTextVideoInfo9", app::langkey::kTextVideoInfo9},
    {"LabTextVideoInfo7", app::langkey::kTextVideoInfo11},
};

void SetText(QWidget* row, const char* name, const QString& text) {
  QWidget* w = app::FindControl(row, name);
  if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
  else if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
}

void SetVisible(QWidget* row, const char* name, bool visible) {
  if (QWidget* w = app::FindControl(row, name)) w->setVisible(visible);
}

// Both members of a pair ("layClipVideo1", "layClipVideo2") look alike.
void SetPairVisible(QWidget* row, const char* stem, bool visible) {
  SetVisible(row, (std::string(stem) + "1").c_str(), visible);
  SetVisible(row, (std::string(stem) + "2").c_str(), visible);
}

bool Has(QWidget* row, const char* name) { return app::FindControl(row, name) != nullptr; }

// The most telling words of a failure for the row's one line: the end of its
// last line ("…/a.mp4: No such file or directory" gives the cause). The
// tooltip keeps all of it.
QString ShortReason(const std::string& reason) {
  QStringList lines = Text(reason).trimmed().split('\n', Qt::SkipEmptyParts);
  if (lines.isEmpty()) return QString();
  QString last = lines.back().trimmed();
  const int cut = last.lastIndexOf(QStringLiteral(": "));
  return cut >= 0 ? last.mid(cut + 2) : last;
}

// The failure mark's tooltip: the failure and, when known, its reason.
void SetFailureTip(QWidget* row, const engine::VideoItem* item) {
  QWidget* fail = app::FindControl(row, "btn_recode_fail");
  if (!fail) return;
  QString tip = Text(app::LangText(app::langkey::kTextVideoInfo8, app::kSectionText));
  if (item && !item->failureReason.empty()) tip += "\n" + Text(item->failureReason).trimmed();
  fail->setToolTip(tip);
}

}  // namespace

engine::VideoItem* ItemOfRow(const QWidget* row) {
  if (!row) return nullptr;
  return static_cast<engine::VideoItem*>(row->property(kItemProperty).value<void*>());
}

// Until the analysis reports, its worker may still be writing the facts.
bool CanClip(const QWidget* row, const engine::VideoItem& item) {
  return row->property(kAnalysedProperty).toBool() && engine::ClipRefusal(item).empty();
}

void ReloadRowLabels(QWidget* row) {
  if (!row) return;
  for (const LabelText& l : kLabels) SetText(row, l.control, Text(app::LangText(l.key, app::kSectionText)));
  engine::VideoItem* item = ItemOfRow(row);
  SetFailureTip(row, item);
  if (item) {
    ShowOutputName(row, *item);
    const ItemState s = item->state.load();
    if (s != ItemState::Queued && s != ItemState::Converting) ShowRowStatus(row, *item, QString());
  }
}

QWidget* CreateListRow(app::SkinList* list, engine::VideoItem* item) {
  if (!list || !item) return nullptr;
  QWidget* row = app::LoadLayout(QStringLiteral("video_info.xml"));
  if (!row) return nullptr;
  row->setProperty(kItemProperty, QVariant::fromValue<void*>(item));
  ReloadRowLabels(row);
  SetText(row, "video_old_name", Text(item->title));
  SetText(row, "codec_type", Text(item->extension).toUpper());
  SetText(row, "video_size", Text(item->fileSizeText));
  if (auto* edit = app::FindControl<QLineEdit>(row, "edit_new_video_name")) edit->setEnabled(false);
  ShowOutputChoice(row, *item);
  UpdateRowState(row, *item, false);
  item->listItem = row;
  list->Add(row);
  return row;
}

void ShowKeptRange(QWidget* row, const engine::VideoItem& item) {
  if (!row) return;
  auto hms = [](int t) {
    return QString::asprintf("%02d:%02d:%02d", t / 3600, t / 60 - t / 3600 * 60, t % 60);
  };
  const int kept = item.trimEnd - item.trimStart;
  if (Has(row, "video_duration_new")) {
    SetVisible(row, "layNewDuration2", false);
    SetVisible(row, "layNewDuration1", true);
    SetText(row, "video_duration_new", hms(kept));
  }
  if (Has(row, "video_duration_new2") && kept != item.durationSeconds) {
    SetVisible(row, "layNewDuration2", true);
    SetVisible(row, "layNewDuration1", false);
    SetText(row, "video_duration_new2", hms(item.trimStart) + QStringLiteral(" - ") + hms(item.trimEnd));
  }
}

void ShowOutputChoice(QWidget* row, const engine::VideoItem& item) {
  if (!row) return;
  if (!item.outputExtension.empty())
    SetText(row, "codec_type_new", Text(engine::FormatRowText(item.outputFormat)));
  const bool sound = item.listKind == ConvertKind::Audio;
  SetVisible(row, "layNewVideo", !sound);
  SetVisible(row, "layNewAudio", sound);
  if (sound) {
    // A source without a known bit rate keeps what the row showed.
    const std::string label = engine::AudioBitRateLabel(item.sizePreset, item.outputAudioBitRateText);
    if (!label.empty()) SetText(row, "audio_bitrate", Text(label));
  } else {
    SetText(row, "video_resolution_new", Text(item.outputResolutionText));
  }
}

void RefreshRowInfo(engine::VideoItem* item) {
  if (!item || !item->listItem) return;
  auto* row = static_cast<QWidget*>(item->listItem);
  row->setProperty(kAnalysedProperty, true);
  SetText(row, "video_duration", Text(item->durationText));
  SetText(row, "video_resolution", Text(item->resolutionText));
  SetText(row, "video_duration_new", Text(item->durationText));
  ShowOutputChoice(row, *item);
  auto* cover = app::FindControl<app::SkinLabel>(row, "video_cover");
  if (cover && !item->coverPath.empty() && platform::FileExists(item->coverPath)) {
    cover->setBkimageFile(Text(item->coverPath));
    SetVisible(row, "load_cover", false);
  } else if (auto* mark = app::FindControl<app::SkinLabel>(row, "load_cover");
             mark && !item->hasPicture && item->HasAudio() && item->analysisError.empty() &&
             item->cacheKind == media::CacheKind::None) {
    mark->setBkimage(QStringLiteral("file='images/audio.svg'"));  // sound alone: no picture comes
  }
  UpdateRowState(row, *item);
}

void UpdateRowState(QWidget* row, const engine::VideoItem& item) {
  const ItemState s = item.state.load();
  UpdateRowState(row, item, s == ItemState::Queued || s == ItemState::Converting);
}

void UpdateRowState(QWidget* row, const engine::VideoItem& item, bool busy) {
  if (!row) return;
  const ItemState s = item.state.load();
  const bool idle = !busy;
  const bool merge = item.listKind == ConvertKind::Merge;
  const bool done = s == ItemState::Done;
  // A part that converts again has no joined file until its join ends.
  if (merge && busy) row->setProperty(kMergedProperty, QString());
  const bool result = !RowResult(row, item).empty();
  // A source the list cannot take is never queued: nothing to convert again.
  const bool refused = !merge && row->property(kAnalysedProperty).toBool() &&
                       !engine::SourceRefusal(item).empty();

  SetVisible(row, "btn_play_video", result);
  SetVisible(row, "btn_video_rename", idle && !merge && !done);
  if (Has(row, "layResultVideo1")) {
    SetPairVisible(row, "layResultVideo", done || s == ItemState::Failed);
    SetVisible(row, "recode_success", done);
    SetVisible(row, "btn_recode_fail", s == ItemState::Failed);
  }
  if (Has(row, "layRecodeVideo1")) {
    SetPairVisible(row, "layRecodeVideo", busy || !merge || result);
    SetVisible(row, "btn_re_recode", idle && !merge && !refused);
    SetVisible(row, "pic_recode_progress", busy);
    // A row that starts waiting shows an empty strip; one that converts keeps its progress.
    if (busy && s == ItemState::Queued) ShowProgress(row, 0);
    SetVisible(row, "btn_open_video_folder", idle && result);
  }
  if (Has(row, "layUpVideo1")) {
    SetPairVisible(row, "layUpVideo", idle && merge);
    SetPairVisible(row, "layDownVideo", idle && merge);
  }
  if (Has(row, "layClipVideo1")) SetPairVisible(row, "layClipVideo", idle && !done && CanClip(row, item));
  if (Has(row, "layDelVideo1")) {
    SetPairVisible(row, "layDelVideo", true);
    SetVisible(row, "btn_del_video", idle);
    SetVisible(row, "btn_stop_recode", busy);
  }
  if (busy) {
    if (auto* edit = app::FindControl<QLineEdit>(row, "edit_new_video_name")) edit->setEnabled(false);
  }
  SetFailureTip(row, &item);
  ShowOutputName(row, item);
  ShowRowStatus(row, item, QString());
}

QString ProgressFrame(int percent) {
  const int frame = percent / 5;
  if (frame <= 0) return QStringLiteral("source='0,0,44,44'");
  return QStringLiteral("source='%1,0,%2,44'").arg(frame * 44 - 44).arg(frame * 44);
}

void ShowProgress(QWidget* row, int percent) {
  auto* strip = row ? app::FindControl<app::SkinLabel>(row, "pic_recode_progress") : nullptr;
  if (!strip) return;
  percent = std::clamp(percent, 0, 100);
  strip->setText(QString::asprintf("%d%%\n", percent));
  strip->setBkimage(QString(kProgressImage) + ProgressFrame(percent));
}

std::string RowResult(const QWidget* row, const engine::VideoItem& item) {
  if (item.state.load() != ItemState::Done) return {};
  if (item.listKind == ConvertKind::Merge) return row->property(kMergedProperty).toString().toStdString();
  return item.outputPath;
}

void ShowMergedFile(QWidget* row, const engine::VideoItem& item, const std::string& path) {
  if (!row) return;
  row->setProperty(kMergedProperty, Text(path));
  UpdateRowState(row, item, false);
}

void ShowOutputName(QWidget* row, const engine::VideoItem& item) {
  std::string name = item.outputName;
  // A done row names the file it made, which a clash may have renamed; a
  // merge part the joined file.
  const std::string result = RowResult(row, item);
  if (!result.empty()) {
    const std::string file = platform::FileNameOf(result);
    const size_t dot = file.rfind('.');
    name = dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
  }
  auto* edit = app::FindControl<QLineEdit>(row, "edit_new_video_name");
  if (edit && !edit->isEnabled()) edit->setText(Text(name));  // never under the user's typing
}

void ShowNameTaken(QWidget* row, const engine::VideoItem& item, bool taken) {
  if (!row || row->property(kNameTakenProperty).toBool() == taken) return;
  row->setProperty(kNameTakenProperty, taken);
  const ItemState s = item.state.load();
  if (s != ItemState::Queued && s != ItemState::Converting) ShowRowStatus(row, item, QString());
}

void ShowRowStatus(QWidget* row, const engine::VideoItem& item, const QString& timeLeft) {
  auto* status = row ? app::FindControl<QLabel>(row, "row_status") : nullptr;
  if (!status) return;
  const ItemState s = item.state.load();
  const bool failed = s == ItemState::Failed;
  const bool atRest = s == ItemState::Idle || s == ItemState::Stopped || failed;
  QString text;
  status->setToolTip(QString());
  if (failed) {
    text = Text(app::LangText(app::langkey::kTextVideoInfo8, app::kSectionText));
    QString why = ShortReason(item.failureReason);
    if (!why.isEmpty()) text += QStringLiteral(": ") + why;
    status->setToolTip(Text(item.failureReason).trimmed());
  } else if (!timeLeft.isEmpty()) {
    text = timeLeft;
  } else if (atRest && row->property(kNameTakenProperty).toBool()) {
    text = Text(app::LangText(app::langkey::kNameTaken, app::kSectionText));
  } else if (s == ItemState::Stopped) {
    text = Text(app::LangText(app::langkey::kTextStopped, app::kSectionText));
  }
  if (status->property("failed").toBool() != failed) {
    status->setProperty("failed", failed);
    status->style()->unpolish(status);
    status->style()->polish(status);
  }
  status->setText(text);
  status->setVisible(!text.isEmpty());
}

}  // namespace ui
