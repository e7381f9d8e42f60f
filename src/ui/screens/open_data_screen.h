// Open Data (ScreenMode 6): fraOpenData with the viewed data file and the track picture
// picSquiggle. The subject selection, the analysis and the results display are added to
// this class. Leaving it reads the subject list again and forgets the viewed file.
#pragma once

#include <optional>
#include <string>

#include "ui/screens/screen.h"

class QFrame;
class QLabel;
class QPushButton;

namespace tarnwell {

class PictureBox;

class OpenDataScreen : public Screen {
  Q_OBJECT
 public:
  OpenDataScreen(AppContext& context, FrmMain& main, QWidget* parent = nullptr);

  // The "Load Data File" dialog; nothing when cancelled.
  virtual std::optional<std::string> ChooseDataFile();
  virtual void ShowDataFile(const std::string& path);
  const std::string& DataFile() const { return dataFile_; }

  bool Leave(bool endingSession) override;
  // Both data layouts: the track picture and the results.
  void DoLayout() override;

 private:
  void DrawPicture();

  std::string dataFile_;
  QFrame* fraOpenData_;
  PictureBox* picSquiggle_;
  QLabel* lblDataFile_;
  QPushButton* cmdExitData_;
};

}  // namespace tarnwell
