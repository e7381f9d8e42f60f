// The subjects of the experiment shown on the data screen (lstOpenSubj and the subject
// grid filled from it), each with the state its legend colours: "Completed", "Aborted"
// or "Not Done".
//
// The states come from the status words of the experiment's companion record, the same
// words the run writes after each trial, so the data screen shows what the run recorded.
// A subject whose raw file exists is always listed, even beyond the experiment's IDs: a
// recorded trial must never be out of the operator's reach because its ID was removed.
#pragma once

#include <string>
#include <vector>

#include "analysis/reanalysis.h"

namespace tarnwell {

enum class ViewedSubjectState {
  NotDone,    ///< no finish status recorded
  Completed,  ///< "Hit Goal" or "Timed Out"
  Aborted,    ///< the last trial of this subject was aborted
};

/// The legend's text of a state: "Completed", "Aborted", "Not Done".
std::string ViewedSubjectStateText(ViewedSubjectState state);

struct ViewedSubject {
  int Index = 0;      ///< 0-based, as in the raw file's name
  std::string Label;  ///< the experiment's ID ("" when it has none)
  ViewedSubjectState State = ViewedSubjectState::NotDone;
  bool HasRawFile = false;
  friend bool operator==(const ViewedSubject&, const ViewedSubject&) = default;
};

/// The grid cell's text: the 1-based number, ") " and the label ("2) RAT2").
std::string ViewedSubjectCellText(const ViewedSubject& subject);

/// The subjects of `state.DataFile` with the analysis settings as they stand (read them
/// first with LoadExperimentAnalysisSettings): one per ID of the analysis experiment,
/// and further ones up to the highest numbered raw file. Without a readable companion
/// record, a subject with a raw file counts as "Completed" (its trial was recorded) and
/// one without as "Not Done".
std::vector<ViewedSubject> ListViewedSubjects(const ReanalysisState& state);

}  // namespace tarnwell
