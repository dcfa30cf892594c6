#include "ui/clip_editor/video_player_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

#include "app/core/language.h"
#include "app/core/message_text.h"
#include "ui/clip_editor/media_display.h"
#include "ui/clip_editor/widgets/range_slider.h"

namespace {

QString Clock(int seconds) { return QString::fromStdString(player::ClockText(seconds)); }

// Values are scaled by the maximum: never by nothing.
int SliderMax(const QSlider* slider) { return slider ? std::max(1, slider->maximum()) : 1; }

const char* const kCropEdits[] = {"edtPosX", "edtPosY", "edtWidth", "edtHeight"};

}  // namespace

CVideoPlayerDlg::CVideoPlayerDlg(QWidget* owner, const std::string& sourcePath,
                                 int durationSeconds, int videoWidth, int videoHeight)
    : MyBaseWindow(owner, Kind::kDialog),
      trimEnd(durationSeconds),
      cropWidth(videoWidth),
      cropHeight(videoHeight),
      sourcePath_(sourcePath),
      durationSeconds_(std::max(0, durationSeconds)),
      videoWidth_(videoWidth),
      videoHeight_(videoHeight),
      initialStartText_(Clock(0)),
      initialEndText_(Clock(durationSeconds)) {
  // The layout names both.
  RegisterMediaDisplay();
  RegisterRangeSlider();
  SetResult(app::kIdNo);
  setWindowTitle(QString::fromStdString(app::LangText(app::langkey::kClipTitle, app::kSectionSkin)));
  panel_ = new CVideoDrawPanel(this, videoWidth, videoHeight, this);
  panel_->hide();
  timer150_.setInterval(500);
  connect(&timer150_, &QTimer::timeout, this, [this] { OnTimer(); });
  // A drag moves the thumb far more often than a picture can be found.
  thumbSeekTimer_.setInterval(150);
  thumbSeekTimer_.setSingleShot(true);
  connect(&thumbSeekTimer_, &QTimer::timeout, this, [this] { OnThumbSeekTimer(); });
}

CVideoPlayerDlg::~CVideoPlayerDlg() { StopPlayer(); }

void CVideoPlayerDlg::OnLayoutReady(const app::Notification& n) {
  MyBaseWindow::OnLayoutReady(n);
  volumeSlider_ = FindControl<QSlider>(QStringLiteral("sliderVolume"));
  playSlider_ = FindControl<QSlider>(QStringLiteral("sliderPlay"));
  rangeSlider_ = FindControl<CRangeSliderUI>(QStringLiteral("sliderRect"));
  media_ = FindControl<WndMediaDisplay>(QStringLiteral("wndMedia"));
  mediaArea_ = FindControl(QStringLiteral("LayMedia"));
  if (media_) {
    media_->installEventFilter(this);
    media_->setMouseTracking(true);
  }
  if (mediaArea_) {
    mediaArea_->installEventFilter(this);
    endLabel_ = new QLabel(mediaArea_);
    endLabel_->setObjectName(QStringLiteral("labPlayerEnd"));
    endLabel_->setAlignment(Qt::AlignCenter);
    endLabel_->setWordWrap(true);
    endLabel_->hide();
  }
  if (rangeSlider_) {
    connect(rangeSlider_, &CRangeSliderUI::thumbDragged, this,
            [this](int index) { OnRangeDragged(index); });
    secondsPerUnit_ = durationSeconds_ * (1.0f / std::max(1, rangeSlider_->GetMax()));
  }

  if (trimStart > 0 && playSlider_ && durationSeconds_ > 0) {
    const QSignalBlocker quiet(playSlider_);
    playSlider_->setValue(PlaySliderValue(trimStart));
  }
  if (rangeSlider_ && secondsPerUnit_ > 0) {
    rangeSlider_->SetValue(int(trimStart / secondsPerUnit_), 0);
    rangeSlider_->SetValue(int(trimEnd / secondsPerUnit_), 1);
  }
  WriteTimeEdits();

  player::CropRect crop{float(cropX), float(cropY), float(cropWidth), float(cropHeight)};
  panel_->model().crop = crop;
  if (cropWidth > 0 && cropHeight > 0) WriteCropEdits(crop, false);
  if (auto* keep = FindControl<QCheckBox>(QStringLiteral("optKeepRatio"))) {
    const QSignalBlocker quiet(keep);
    keep->setChecked(keepRatio);
  }
  TakeKeepRatio();

  ShowPlaying(true);
  // The player starts once the dialog is on screen: the picture's place is
  // known only then.
}

void CVideoPlayerDlg::showEvent(QShowEvent* event) {
  MyBaseWindow::showEvent(event);
  if (!playerRunning_) {
    QTimer::singleShot(0, this, [this] {
      if (!playerRunning_ && isVisible()) StartPlayer();
    });
  }
}

void CVideoPlayerDlg::PlacePicture() {
  QRect picture;
  if (mediaArea_) {
    const int areaWidth = mediaArea_->width(), areaHeight = mediaArea_->height();
    const float e = videoWidth_ / float(std::max(1, areaWidth));
    const float f = videoHeight_ / float(std::max(1, areaHeight));
    int w = videoWidth_, h = videoHeight_;
    if (e > 1 || f > 1) {
      if (e >= f) {
        w = areaWidth;
        h = int(videoHeight_ / e);
      } else {
        w = int(videoWidth_ / f);
        h = areaHeight;
      }
    }
    picture = QRect(areaWidth / 2 - w / 2, areaHeight / 2 - h / 2, w, h);
    if (endLabel_) endLabel_->setGeometry(0, 0, areaWidth, areaHeight);
  }
  if (media_) media_->setGeometry(picture);
  pictureRect_ = mediaArea_ && !picture.isEmpty()
                     ? QRect(mediaArea_->mapTo(this, picture.topLeft()), picture.size())
                     : QRect();
  if (!pictureRect_.isEmpty() && isVisible()) {
    panel_->SetArea(pictureRect_);
    panel_->raise();
  }
}

void CVideoPlayerDlg::StartPlayer() {
  PlacePicture();
  timer150_.start();
  playerRunning_ = true;
  if (!media_) return;  // nothing to draw into
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    // The player draws into an X11 window; elsewhere the editor still trims and crops.
    ShowEndText("the preview needs an X11 display");
    return;
  }
  player_.Start(media_->winId(), sourcePath_, trimStart);
  media_->SetControl(&player_.control());
  if (volumeSlider_) SetVolume(volumeSlider_->value());
  // The picture stops at the end of the kept range, and at the file's end.
  player_.control().pauseAtEnd = true;
  TellPlayerRange();
  TellPlayerCrop();
}

void CVideoPlayerDlg::TellPlayerRange() {
  player_.control().stopAtSeconds = double(trimEnd);
}

void CVideoPlayerDlg::TellPlayerCrop() {
  if (!panel_) return;
  const player::CropRect& r = panel_->model().crop;
  player::PlayerControl& control = player_.control();
  control.SetKeptArea(r.x, r.y, r.width, r.height, videoWidth_, videoHeight_);
  // The whole picture again: the rectangle's old place shows no trace of it.
  control.redrawRequested = true;
}

void CVideoPlayerDlg::OnRectRedrawn() { TellPlayerCrop(); }

int CVideoPlayerDlg::PlaySliderValue(int seconds) const {
  return int(seconds / (float(durationSeconds_) / SliderMax(playSlider_)));
}

void CVideoPlayerDlg::SetVolume(int sliderValue) {
  player_.control().outputVolume =
      int(sliderValue / float(SliderMax(volumeSlider_)) * player::kFullVolume);
}

void CVideoPlayerDlg::StopPlayer() {
  player_.Stop();
  if (media_) media_->SetControl(nullptr);
}

void CVideoPlayerDlg::OnTimer() {
  player::PlayerControl& control = player_.control();
  int p = int(control.positionSeconds.load() + 0.5);
  p = std::clamp(p, 0, durationSeconds_);
  if (auto* label = FindControl<QLabel>(QStringLiteral("labelPlayTime")))
    label->setText(Clock(p) + QLatin1Char('/') + Clock(durationSeconds_));
  if (playSlider_ && durationSeconds_ > 0) {
    const QSignalBlocker quiet(playSlider_);  // showing the position is no seek
    playSlider_->setValue(PlaySliderValue(p));
  }
  // The buttons follow what the player really does, a seek while paused included.
  const int command = control.command.load();
  if (command == player::Paused) ShowPlaying(false);
  else if (command == player::Playing) ShowPlaying(true);
  if (player_.finished()) ShowPlayerEnd();
}

void CVideoPlayerDlg::ShowPlaying(bool playing) {
  if (QWidget* play = FindControl(QStringLiteral("btnPlay"))) play->setVisible(!playing);
  if (QWidget* pause = FindControl(QStringLiteral("btnPause"))) pause->setVisible(playing);
}

void CVideoPlayerDlg::ShowPlayerEnd() {
  const player::PlayerEnd end = player_.end();
  if (end.kind != player::PlayerEnd::Kind::CannotOpen &&
      end.kind != player::PlayerEnd::Kind::CannotShow)
    return;
  ShowEndText(end.error);
}

QString CVideoPlayerDlg::endText() const {
  return endLabel_ && !endLabel_->isHidden() ? endLabel_->text() : QString();
}

void CVideoPlayerDlg::ShowEndText(const std::string& why) {
  if (!endLabel_ || endLabel_->isVisible()) return;
  if (media_) media_->hide();
  endLabel_->setText(QString::fromStdString(
      app::FillTextPlaceholder(app::LangText(app::langkey::kClipCannotPlay, app::kSectionSkin), why)));
  endLabel_->show();
  endLabel_->raise();
  panel_->raise();
}

// --- events ----------------------------------------------------------------

void CVideoPlayerDlg::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  const QString& name = n.sender;
  if (n.type == app::notify::kClick) {
    if (name == QLatin1String("optKeepRatio")) OnKeepRatio(n.value.toBool());
    else OnClick(name);
  } else if (n.type == app::notify::kValueChanged) {
    if (name == QLatin1String("sliderVolume")) {
      SetVolume(n.value.toInt());
    } else if (name == QLatin1String("sliderPlay")) {
      SeekTo(n.value.toInt());
    }
  } else if (n.type == app::notify::kTextChanged) {
    if (writingEdits_) return;
    const QString text = n.value.toString();
    if (name == QLatin1String("edtStartTime")) OnTimeText(true, text);
    else if (name == QLatin1String("edtEndTime")) OnTimeText(false, text);
    for (int k = 0; k < 4; ++k)
      if (name == QLatin1String(kCropEdits[k]))
        OnCropText(static_cast<player::CropField>(k), name, text);
  } else if (n.type == app::notify::kKillFocus) {
    // A box left empty shows the value it stands for again.
    auto* edit = qobject_cast<QLineEdit*>(n.control.data());
    if (edit && edit->text().isEmpty() &&
        std::find(std::begin(kCropEdits), std::end(kCropEdits), name) != std::end(kCropEdits))
      WriteCropEdits(panel_->model().crop, false);
  }
}

void CVideoPlayerDlg::OnClick(const QString& name) {
  player::PlayerControl& control = player_.control();
  if (name == QLatin1String("btnClose") || name == QLatin1String("btnCancel")) {
    accepted = false;
    Close(app::kIdNo);
  } else if (name == QLatin1String("btnOK")) {
    const player::CropRect& r = panel_->model().crop;
    cropX = int(r.x);
    cropY = int(r.y);
    cropWidth = int(r.width);
    cropHeight = int(r.height);
    accepted = true;
    Close(app::kIdOk);
  } else if (name == QLatin1String("btnPlay")) {
    ShowPlaying(true);
    if (!playerRunning_) {
      StartPlayer();
    } else if (control.stopped || int(control.positionSeconds.load() + 0.5) >= trimEnd) {
      // Stopped at the end of the range or of the file: the range plays again.
      SeekAndPlay(trimStart, true);
    } else {
      control.command = player::ResumeRequested;
    }
  } else if (name == QLatin1String("btnPause")) {
    ShowPlaying(false);
    control.command = player::PauseRequested;
  } else if (name == QLatin1String("btnFastBackward")) {
    FastStep(-1);
  } else if (name == QLatin1String("btnFastForward")) {
    FastStep(+1);
  }
}

void CVideoPlayerDlg::SeekTo(int sliderValue) {
  if (!playSlider_) return;
  const int position = int(durationSeconds_ * (sliderValue / float(SliderMax(playSlider_))));
  if (position == lastSeekSeconds_) return;
  player::PlayerControl& control = player_.control();
  control.seekSeconds = position;
  control.command = player::SeekRequested;
  lastSeekSeconds_ = position;
}

void CVideoPlayerDlg::SeekAndPlay(int seconds, bool play) {
  player::PlayerControl& control = player_.control();
  control.seekSeconds = seconds;
  control.command = play ? player::SeekPlayRequested : player::SeekPauseRequested;
  lastSeekSeconds_ = seconds;
}

void CVideoPlayerDlg::ShowThumbPicture(int seconds) {
  thumbSeconds_ = seconds;
  if (thumbSeekTimer_.isActive()) return;  // the timer takes the latest
  ShowPlaying(false);
  SeekAndPlay(seconds, false);
  thumbSeekTimer_.start();
}

void CVideoPlayerDlg::OnThumbSeekTimer() {
  if (thumbSeconds_ < 0 || thumbSeconds_ == lastSeekSeconds_) return;
  SeekAndPlay(thumbSeconds_, false);
  thumbSeekTimer_.start();
}

void CVideoPlayerDlg::FastStep(int direction) {
  if (!playSlider_ || durationSeconds_ <= 0) return;
  const double step = durationSeconds_ / 100.0 * 10;
  int position = int(player_.control().positionSeconds.load() + direction * step);
  position = std::clamp(position, 0, durationSeconds_);
  const int value = PlaySliderValue(position);
  {
    const QSignalBlocker quiet(playSlider_);
    playSlider_->setValue(value);
  }
  SeekTo(value);
}

void CVideoPlayerDlg::OnRangeDragged(int index) {
  if (!rangeSlider_ || secondsPerUnit_ <= 0) return;
  const float maximum = float(std::max(1, rangeSlider_->GetMax()));
  if (index == 0) {
    trimStart = int(durationSeconds_ * (rangeSlider_->GetValue(0) / maximum));
    // The thumb being dragged gives way, so the range never shrinks to nothing.
    if (trimStart == trimEnd && trimStart > 0) {
      trimStart = trimEnd - 1;
      rangeSlider_->SetValue(int(trimStart / secondsPerUnit_), 0);
    }
  } else {
    trimEnd = int(rangeSlider_->GetValue(1) / maximum * durationSeconds_);
    if (trimEnd == trimStart && trimEnd < durationSeconds_) {
      trimEnd = trimStart + 1;
      rangeSlider_->SetValue(int(trimEnd / secondsPerUnit_), 1);
    }
  }
  WriteTimeEdits();
  TellPlayerRange();
  ShowThumbPicture(index == 0 ? trimStart : trimEnd);
}

void CVideoPlayerDlg::OnTimeText(bool start, const QString& text) {
  QString& last = start ? lastStartText_ : lastEndText_;
  if (text == last) return;
  last = text;
  const QString name = start ? QStringLiteral("edtStartTime") : QStringLiteral("edtEndTime");
  const player::TimeEdit edit =
      start ? player::CheckStartText(text.toStdString(), trimEnd, durationSeconds_)
            : player::CheckEndText(text.toStdString(), trimStart, durationSeconds_);
  switch (edit.kind) {
    case player::TimeEdit::kAccept:
      if (start) trimStart = edit.seconds;
      else trimEnd = edit.seconds;
      TellPlayerRange();
      if (rangeSlider_ && secondsPerUnit_ > 0)
        rangeSlider_->SetValue(int(edit.seconds / secondsPerUnit_), start ? 0 : 1);
      return;
    case player::TimeEdit::kReset:
    case player::TimeEdit::kCorrect: {
      // The box's new text is taken like a typed one, so the box and the
      // kept range never disagree.
      const QString fixed = edit.kind == player::TimeEdit::kReset
                                ? (start ? initialStartText_ : initialEndText_)
                                : QString::fromStdString(edit.text);
      SetEditText(name, fixed);
      OnTimeText(start, fixed);
      return;
    }
  }
}

void CVideoPlayerDlg::OnCropText(player::CropField field, const QString& name,
                                 const QString& text) {
  // An emptied box waits for the digits that follow.
  if (text.isEmpty()) return;
  static const char* const kOther[] = {"edtWidth", "edtHeight", "edtHeight", "edtWidth"};
  player::CropRect rect = panel_->model().crop;
  const player::CropEdit edit = player::ApplyCropText(field, text.toStdString(), &rect, videoWidth_,
                                                      videoHeight_, keepRatio);
  if (!edit.ownText.empty()) SetEditText(name, QString::fromStdString(edit.ownText));
  if (!edit.otherText.empty())
    SetEditText(QLatin1String(kOther[int(field)]), QString::fromStdString(edit.otherText));
  if (edit.changed) {
    panel_->model().crop = rect;
    panel_->Redraw();
  }
}

void CVideoPlayerDlg::OnKeepRatio(bool on) {
  keepRatio = on;
  if (on) {
    panel_->model().crop = player::CropRect{0, 0, float(videoWidth_), float(videoHeight_)};
    panel_->Redraw();
    WriteCropEdits(panel_->model().crop, false);
  }
  TakeKeepRatio();
}

void CVideoPlayerDlg::TakeKeepRatio() {
  panel_->model().keepRatio = keepRatio;
  if (keepRatio && videoWidth_ > 0 && videoHeight_ > 0)
    panel_->model().ratio = videoWidth_ / float(videoHeight_);
}

void CVideoPlayerDlg::OnRectChanged(float x, float y, float width, float height) {
  WriteCropEdits(player::CropRect{x, y, width, height}, true);
}

void CVideoPlayerDlg::WriteTimeEdits() {
  lastStartText_ = Clock(trimStart);
  lastEndText_ = Clock(trimEnd);
  SetEditText(QStringLiteral("edtStartTime"), lastStartText_);
  SetEditText(QStringLiteral("edtEndTime"), lastEndText_);
}

void CVideoPlayerDlg::WriteCropEdits(const player::CropRect& r, bool rounded) {
  const float values[] = {r.x, r.y, r.width, r.height};
  for (int k = 0; k < 4; ++k) {
    const int v = rounded ? int(std::lround(values[k])) : int(values[k]);
    SetEditText(QLatin1String(kCropEdits[k]), QString::number(v));
  }
}

void CVideoPlayerDlg::SetEditText(const QString& name, const QString& text) {
  auto* edit = FindControl<QLineEdit>(name);
  if (!edit || edit->text() == text) return;
  const bool wasWriting = writingEdits_;
  writingEdits_ = true;
  const int cursor = edit->cursorPosition();
  edit->setText(text);
  // Someone typing here goes on where they were.
  if (edit->hasFocus()) edit->setCursorPosition(std::min(cursor, int(text.size())));
  writingEdits_ = wasWriting;
}

bool CVideoPlayerDlg::ResponseDefaultKeyEvent(QKeyEvent* event) {
  // Neither Enter nor Escape leaves the editor: a typed time or size is no
  // answer, and a slip of the finger must not lose the work.
  const int key = event->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

void CVideoPlayerDlg::closeEvent(QCloseEvent* event) {
  // Stopped before anything of the window goes, however it is closed.
  timer150_.stop();
  thumbSeekTimer_.stop();
  StopPlayer();
  panel_->hide();
  MyBaseWindow::closeEvent(event);
}

void CVideoPlayerDlg::moveEvent(QMoveEvent* event) {
  MyBaseWindow::moveEvent(event);
  panel_->FollowOwner();
}

void CVideoPlayerDlg::changeEvent(QEvent* event) {
  MyBaseWindow::changeEvent(event);
  // The desktop raises the dialog it activates, which may bury the
  // rectangle lying over its picture.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && panel_->isVisible())
    panel_->raise();
}

bool CVideoPlayerDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == media_ && panel_->isVisible()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: {
        // Without a compositing manager the rectangle's inside lets the
        // pointer through to the picture: hand it on, as both lie over the
        // same pixels.
        auto* mouse = static_cast<QMouseEvent*>(event);
        QMouseEvent copy(mouse->type(), mouse->position(), mouse->scenePosition(),
                         mouse->globalPosition(), mouse->button(), mouse->buttons(),
                         mouse->modifiers());
        QCoreApplication::sendEvent(panel_, &copy);
        media_->setCursor(panel_->cursor());
        return true;
      }
      default:
        break;
    }
  }
  if (watched == mediaArea_ && event->type() == QEvent::Resize && playerRunning_) PlacePicture();
  return MyBaseWindow::eventFilter(watched, event);
}
