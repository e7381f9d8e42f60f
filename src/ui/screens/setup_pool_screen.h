// Setup Pool and Platforms (ScreenMode 3): fraSetupPool with the pool picture picPool.
// Leaving it saves the pool to DEFAULT.POL. The pool's entry boxes and the picture's
// keyboard and mouse editing are added to this class.
#pragma once

#include "ui/screens/screen.h"

class QFrame;
class QLabel;
class QPushButton;

namespace tarnwell {

class PictureBox;

class SetupPoolScreen : public Screen {
  Q_OBJECT
 public:
  SetupPoolScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  bool Leave(bool endingSession) override;
  void DoLayout() override;

  // The pool's values into PoolSetup (nothing to take while the screen has no boxes).
  virtual void TakePoolFromScreen() {}
  void DrawPoolPicture();
  PictureBox* Picture() const { return picPool_; }

 private:
  QFrame* fraSetupPool_;
  PictureBox* picPool_;
  QLabel* lblPoolSummary_;
  QPushButton* cmdProject_;
  QPushButton* cmdExitSetupPool_;
};

}  // namespace tarnwell
