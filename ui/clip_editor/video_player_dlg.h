// The clip editor: plays one source file while the user picks the time range
// to keep and the rectangle of the picture to keep. Its owner fills the
// public fields from the item, shows it modal, and copies them back when
// `accepted` is set.
#pragma once

#include <QRect>
#include <QString>
#include <QTimer>

#include <string>

#include "app/ui/base_window.h"
#include "player/player.h"
#include "ui/clip_editor/rules/clip_times.h"
#include "ui/clip_editor/widgets/draw_panel.h"

class CRangeSliderUI;
class QLabel;
class QSlider;
class WndMediaDisplay;

class CVideoPlayerDlg : public app::MyBaseWindow, public IDrawPanelEvent {
  Q_OBJECT

 public:
  // videoWidth x videoHeight: the picture as shown, a quarter-turned one upright
  // as the player draws it.
  CVideoPlayerDlg(QWidget* owner, const std::string& sourcePath, int durationSeconds,
                  int videoWidth, int videoHeight);
  ~CVideoPlayerDlg() override;

  QString LayoutFile() const override { return QStringLiteral("dlg_videoplayer.xml"); }

  // The kept range (seconds) and rectangle (pixels of the picture as shown): the whole file
  // and the whole picture until the owner or the user changes them.
  int trimStart = 0;
  int trimEnd = 0;
  int cropX = 0;
  int cropY = 0;
  int cropWidth = 0;
  int cropHeight = 0;
  bool keepRatio = true;
  // The user left with OK.
  bool accepted = false;

  void OnRectChanged(float x, float y, float width, float height) override;
  void OnRectRedrawn() override;

  player::PlayerThread& player() { return player_; }
  CVideoDrawPanel* panel() const { return panel_; }
  // What stands in the picture's place when it cannot be shown; empty while it can.
  QString endText() const;
  // Where the picture lies in the dialog; empty before the player starts.
  QRect pictureRect() const { return pictureRect_; }

 protected:
  void Notify(const app::Notification& n) override;
  void OnLayoutReady(const app::Notification& n) override;
  bool ResponseDefaultKeyEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnClick(const QString& name);
  void StartPlayer();
  // Stops and joins the player: SDL draws into the picture window until then.
  void StopPlayer();
  // Fits the picture into its area and lays the crop rectangle over it.
  void PlacePicture();
  void OnTimer();
  void ShowPlaying(bool playing);
  void ShowPlayerEnd();
  void ShowEndText(const std::string& why);
  void SeekTo(int sliderValue);
  // Asks the player for a seek that plays on or pauses there.
  void SeekAndPlay(int seconds, bool play);
  // A dragged range thumb shows its picture, a seek at a time.
  void ShowThumbPicture(int seconds);
  void OnThumbSeekTimer();
  // The player pauses at the kept range's end and dims the picture outside the rectangle.
  void TellPlayerRange();
  void TellPlayerCrop();
  int PlaySliderValue(int seconds) const;
  void SetVolume(int sliderValue);
  void FastStep(int direction);
  void OnRangeDragged(int index);
  void OnTimeText(bool start, const QString& text);
  void OnCropText(player::CropField field, const QString& name, const QString& text);
  void OnKeepRatio(bool on);
  void TakeKeepRatio();
  void WriteTimeEdits();
  void WriteCropEdits(const player::CropRect& r, bool rounded);
  // Writes a box without handling the change it makes: the value is known.
  void SetEditText(const QString& name, const QString& text);

  const std::string sourcePath_;
  const int durationSeconds_;
  const int videoWidth_;
  const int videoHeight_;
  const QString initialStartText_;
  const QString initialEndText_;
  float secondsPerUnit_ = 0;
  // What was last asked of the player and read from the time boxes; kept per
  // editor so that a new file's first seek or text is never taken as a repeat.
  int lastSeekSeconds_ = -1;
  QString lastStartText_;
  QString lastEndText_;

  CVideoDrawPanel* panel_ = nullptr;
  QSlider* volumeSlider_ = nullptr;
  QSlider* playSlider_ = nullptr;
  CRangeSliderUI* rangeSlider_ = nullptr;
  WndMediaDisplay* media_ = nullptr;
  QWidget* mediaArea_ = nullptr;  // LayMedia
  QLabel* endLabel_ = nullptr;    // why the picture cannot be shown
  QRect pictureRect_;

  player::PlayerThread player_;
  bool playerRunning_ = false;
  QTimer timer150_;
  QTimer thumbSeekTimer_;
  int thumbSeconds_ = -1;  // the picture a dragged thumb asks for
  bool writingEdits_ = false;
};
