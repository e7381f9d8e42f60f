// RunView: what the Run Experiment screen shows, as the run controller tells it.
//
// The controller decides every text, every enabled button and the marker's position; the
// screen only displays them. The desktop program's run screen implements this interface
// with its widgets (objectName = the label's name), the command-line tool with a console
// view, and the tests with a recorder. The controller also keeps the last value of every
// label and button in a RunScreenModel, so whoever holds it can read them back.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "tracker/track_sample.h"

namespace tarnwell {

/// The run screen's labels, named as the widgets are.
enum class RunLabel {
  lblExptStat,         ///< the experiment's state: "Idle ", "Running", "Waiting", ...
  lblTimeElap,         ///< the trial's elapsed time
  lblCurrSess,         ///< " 2 of 5 "
  lblOutFile,          ///< the data file's name, or "(No output file selected)"
  lblMissedSamples,    ///< samples without the animal in this trial
  lblSessionDuration,  ///< the experiment's maximum time as "HH:MM:SS "
  lblMessage,          ///< the subject prompt
  lblSpecInstr,        ///< the start or abort instruction
  lblReadyToBegin,     ///< the "Ready to begin" / "experiment" banner
  lblTracking,         ///< the last trial's tracking: share not seen, jumps, suspect
};
inline constexpr std::size_t kRunLabelCount = 10;

/// The run screen's buttons.
enum class RunButton { cmdRunExpt, cmdStopExpt, cmdExitRunExpt };
inline constexpr std::size_t kRunButtonCount = 3;

/// One label as it should look.
struct RunLabelState {
  std::string text;
  bool visible = true;
  int fontSize = 8;  ///< points
  bool bold = false;
  friend bool operator==(const RunLabelState&, const RunLabelState&) = default;
};

/// One cell of the subject status picture (picSubjIds): the subject's state (0 done,
/// 1 still to be run, 2 the subject of the running trial), the letter that selects the
/// colour ("G" grey, "B" blue, "W" window text) and the whole cell text ("B3) RAT3").
struct SubjectGridCell {
  int state = 1;
  char letter = 'B';
  std::string text;
  friend bool operator==(const SubjectGridCell&, const SubjectGridCell&) = default;
};

/// Everything the controller last told the view.
struct RunScreenModel {
  std::array<RunLabelState, kRunLabelCount> labels{};
  std::array<bool, kRunButtonCount> buttons{false, false, true};
  bool subjectGridEnabled = true;  ///< grSubjIds: the operator may pick a subject
  std::vector<SubjectGridCell> subjectGrid;

  const RunLabelState& Label(RunLabel label) const { return labels[static_cast<std::size_t>(label)]; }
  bool IsEnabled(RunButton button) const { return buttons[static_cast<std::size_t>(button)]; }
};

class RunView {
 public:
  virtual ~RunView() = default;

  /// A label's text, visibility and font changed (the whole state is given every time).
  virtual void ShowLabel(RunLabel label, const RunLabelState& state) = 0;
  virtual void SetButtonEnabled(RunButton button, bool enabled) = 0;
  /// grSubjIds: whether the operator may pick another subject (not while a trial runs).
  virtual void SetSubjectGridEnabled(bool enabled) = 0;
  /// picSubjIds: one cell per subject in the experiment's order.
  virtual void ShowSubjectGrid(const std::vector<SubjectGridCell>& cells) = 0;
  /// The live marker moves to this sample (Y = 255: the unit did not see the animal).
  virtual void MoveMarker(const TrackSample& sample) = 0;
  /// The live trace starts afresh with the next sample.
  virtual void RestartTrace() = 0;
  /// The pool and its platforms are drawn again (the marker's trace is cleared).
  virtual void RedrawPool() = 0;
  /// The "Draw Trace" box (chkTrace), remembered in the settings when the screen is left.
  virtual bool IsDrawTraceChecked() const = 0;
  /// Stop between trials returns to the home screen. Called as the handler's last step;
  /// the screen may leave at once (which calls RunController::LeaveRunScreen) or later.
  virtual void ShowHomeScreen() = 0;
};

/// A run without a screen (the command-line tool, benchmarks): nothing is drawn, and the
/// "Draw Trace" box reads as the settings held it when the run began.
class HeadlessRunView : public RunView {
 public:
  explicit HeadlessRunView(bool drawTrace = false) : drawTrace_(drawTrace) {}
  void ShowLabel(RunLabel, const RunLabelState&) override {}
  void SetButtonEnabled(RunButton, bool) override {}
  void SetSubjectGridEnabled(bool) override {}
  void ShowSubjectGrid(const std::vector<SubjectGridCell>&) override {}
  void MoveMarker(const TrackSample&) override {}
  void RestartTrace() override {}
  void RedrawPool() override {}
  bool IsDrawTraceChecked() const override { return drawTrace_; }
  void ShowHomeScreen() override {}

 private:
  bool drawTrace_;
};

}  // namespace tarnwell
