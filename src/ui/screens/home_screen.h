// Home (ScreenMode 1): the title frame fraTitle with lblTitle.
#pragma once

#include "ui/screens/screen.h"

class QFrame;
class QLabel;

namespace tarnwell {

class HomeScreen : public Screen {
  Q_OBJECT
 public:
  HomeScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  void DoLayout() override;

 private:
  QFrame* fraTitle_;
  QLabel* lblTitle_;
  QLabel* lblSubtitle_;
};

}  // namespace tarnwell
