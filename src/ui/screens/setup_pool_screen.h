// Setup Pool and Platforms (ScreenMode 3): fraSetupPool with the pool picture picPool and
// the boxes of the selected item (the pool, or one of the four platforms).
//
// The boxes are bound to a PoolEditor over the program's pool: a committed box goes
// through the editor's Apply operation and the picture is redrawn; keys and drags on the
// picture change the editor's boxes and the widgets show them. Leaving the screen takes
// every box back (a value still being typed included) and saves DEFAULT.POL.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "pool/pool_drawing.h"
#include "pool/pool_editor.h"
#include "ui/screens/screen.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace tarnwell {

class PoolPicture;
class RangeBox;

class SetupPoolScreen : public Screen {
  Q_OBJECT
 public:
  SetupPoolScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  void Enter() override;
  bool Leave(bool endingSession) override;
  void DoLayout() override;
  bool HandleMenuCommand(MenuCommand command) override;

  // Every box into the pool: a value still being typed is checked and taken first.
  void TakePoolFromScreen();
  void DrawPoolPicture();
  PoolPicture* Picture() const { return picPool_; }
  PoolEditor& Editor() { return *editor_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SelectPoolItem(int item);
  // The editor's boxes into the widgets (after a selection, a key, a drag or a load).
  void ShowBoxes();
  // Boxes whose text differs from what the editor holds were typed and not yet confirmed.
  void CommitTypedBoxes();
  void AfterPoolReplaced();
  RangeBox* AddRangeBox(const char* name, double minimum, double maximum, int decimals);
  PoolDrawingOptions DrawingOptions() const;
  std::filesystem::path& PoolFolder();

  std::unique_ptr<PoolEditor> editor_;
  std::filesystem::path poolFolder_;
  // The pool as the boxes last showed it; a pool that differs was replaced elsewhere.
  PoolSetup shownPool_;

  QFrame* fraSetupPool_;
  QWidget* picHolder_;
  PoolPicture* picPool_;
  QLabel* lblPoolItem_;
  std::vector<QRadioButton*> optPoolItem_;
  RangeBox* txtPoolDiam_;
  RangeBox* txtPoolX_;
  RangeBox* txtPoolY_;
  QCheckBox* chkRound_;
  RangeBox* txtNumRings_;
  QCheckBox* chkEquArea_;
  QCheckBox* chkQuadrants_;
  RangeBox* txtActualSize_;
  RangeBox* txtCMultiplier_;
  QPushButton* cmdSymmetry_;
  QPushButton* cmdProject_;
  QPushButton* cmdExitSetupPool_;
  std::vector<QWidget*> poolOnly_;
};

}  // namespace tarnwell
