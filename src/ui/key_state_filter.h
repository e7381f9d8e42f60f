// KeyStateFilter: feeds the tick's KeyboardState from the application's events.
//
// The 55 ms tick asks "is Escape down?", "was S pressed?", "did F4 go down with nothing
// else held?" and "is the left mouse button down?" (a window resize waits for its
// release). Keys and buttons are recorded from the events of the main window only,
// auto-repeat is ignored, and the state is forgotten whenever a dialog opens or the
// program loses the focus: a key released inside a dialog or another program would
// otherwise stay "down" for ever, and a stuck S starts trials, a stuck Escape aborts them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "tracker/acquisition_tick.h"

namespace tarnwell {

class KeyStateFilter : public QObject {
 public:
  explicit KeyStateFilter(QObject* parent = nullptr);

  // The window whose keys count; keys of other windows (dialogs) are not recorded.
  void SetMainWindow(QWidget* window);

  KeyboardState& State() { return state_; }
  const KeyboardState& State() const { return state_; }
  // Forget every key (a dialog opened, the focus left the program).
  void Clear() { state_.FocusLost(); }

  // The virtual-key code of a Qt key; 0 when it has none.
  static int VirtualKeyOf(int qtKey);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool BelongsToMainWindow(QObject* watched) const;
  void FocusWindowChanged();

  QPointer<QWidget> main_;
  KeyboardState state_;
};

}  // namespace tarnwell
