// The native child window the clip editor's player draws into. Qt never
// paints it: SDL owns its pixels. It tells the player when its size changes
// and when the desktop lost its picture.
#pragma once

#include <QWidget>

#include "player/player_control.h"

class QPaintEngine;

class WndMediaDisplay : public QWidget {
  Q_OBJECT

 public:
  explicit WndMediaDisplay(QWidget* parent = nullptr);

  // The player that draws here from now on; null when none does.
  void SetControl(player::PlayerControl* control);
  QPaintEngine* paintEngine() const override { return nullptr; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void TellSize();

  player::PlayerControl* control_ = nullptr;
};

// Lets layouts name "WndMediaDisplay".
void RegisterMediaDisplay();
