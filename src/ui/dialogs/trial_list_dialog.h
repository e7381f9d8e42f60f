// frmTrialList: the experiment's trial list, one row per subject ID: the operator types
// each subject's group, treatment and start position; the platform position is shown as
// the run recorded it. The rows come from and go to the core (records/trial_list.h),
// which keeps them in the experiment's provenance record.
#pragma once

#include <QDialog>
#include <vector>

#include "records/trial_list.h"

class QTableWidget;

namespace tarnwell {

class TrialListDialog : public QDialog {
  Q_OBJECT
 public:
  /// The columns of grdTrialList.
  enum Column { kSubject, kGroup, kTreatment, kStartPosition, kPlatformPosition, kColumnCount };

  TrialListDialog(const std::vector<TrialListEntry>& rows, const QString& dataFileName, QWidget* parent = nullptr);
  QTableWidget* Table() const { return table_; }
  /// What the table holds now, every row as an edit.
  std::vector<TrialListEdit> Edits() const;

 private:
  QTableWidget* table_;
};

}  // namespace tarnwell
