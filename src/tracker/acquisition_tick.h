// The main window's 55 ms tick (`Timer1`) as rules without a window.
//
// The screens forward key and mouse-button events and focus changes to a KeyboardState
// and call Timer1Tick::OnTick every 55 ms; the tick decides, in the designed order, what
// happens: ESC stops a running trial, a fresh S press starts one, a deferred resize is
// done once the mouse button is up, F4 exports, the run screen polls the unit's remote
// button between trials, a requested pool redraw runs, and once per whole second the
// inter-trial countdown and the time-of-day start move on.
//
// Key state is what the program saw, not the hardware's: a key counts as down only while
// the program has the focus (leaving the program, or a dialog opening, clears it), and a
// quick tap between two ticks is not lost.
#pragma once

#include <bitset>
#include <cstdint>

namespace tarnwell {

class TrackerLink;

/// Virtual-key codes of the keys the tick reads (the desktop's key codes, so the range
/// test "any of the keys 1..32 down" means what it did: mouse buttons, Backspace, Tab,
/// Return, Shift, Ctrl, Alt, Pause, Caps Lock, Escape, Space and the others in that range).
namespace vk {
inline constexpr int LeftButton = 0x01;
inline constexpr int RightButton = 0x02;
inline constexpr int MiddleButton = 0x04;
inline constexpr int Backspace = 0x08;
inline constexpr int Tab = 0x09;
inline constexpr int Return = 0x0D;
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Alt = 0x12;
inline constexpr int Escape = 0x1B;
inline constexpr int Space = 0x20;
inline constexpr int S = 0x53;
inline constexpr int F4 = 0x73;
}  // namespace vk

/// The keys and mouse buttons as the program's windows saw them.
class KeyboardState {
 public:
  /// A key or mouse button went down (auto-repeat events are not forwarded, or pass
  /// `autoRepeat` and they are ignored). A key event means the program has the focus.
  void KeyDown(int virtualKey, bool autoRepeat = false);
  void KeyUp(int virtualKey);
  /// The program got the focus back.
  void FocusEntered() { hasFocus_ = true; }
  /// The program lost the focus, or a dialog opened: every key counts as up, and presses
  /// not yet acted on are forgotten.
  void FocusLost();

  bool HasFocus() const { return hasFocus_; }
  bool IsDown(int virtualKey) const;
  /// Any of the keys first..last down.
  bool AnyDown(int first, int last) const;
  /// Whether the key went down since the last take; clears it.
  bool TakePress(int virtualKey);
  /// Forgets a press not yet taken (the Start button's "read and discard the S state").
  void DiscardPress(int virtualKey);

 private:
  static bool Valid(int virtualKey) { return virtualKey > 0 && virtualKey < 256; }
  std::bitset<256> down_;
  std::bitset<256> pressed_;
  bool hasFocus_ = false;
};

/// What the tick needs from the program around it. The run controller and the main
/// window implement it; tests use a recorder.
class Timer1Host {
 public:
  virtual ~Timer1Host() = default;
  virtual bool IsRunScreenShown() const = 0;  // screen mode 4
  virtual bool IsStartEnabled() const = 0;    // cmdRunExpt
  virtual bool IsStopEnabled() const = 0;     // cmdStopExpt
  virtual bool IsExperimentInProgress() const = 0;
  virtual bool IsTrialRunning() const = 0;
  virtual int16_t DelayType() const = 0;  // 1: TIMEOFDAY
  /// The time of day (whole seconds) of the scheduled start, or -1 when the operator has
  /// armed none: a start nobody asked for must never fire (a program left open overnight
  /// would record the next animal at midnight).
  virtual int32_t ScheduledStartSecond() const { return -1; }

  virtual void cmdStopExpt_Click() = 0;
  virtual void cmdRunExpt_Click() = 0;
  virtual void DoAllResizeWindowStuff() = 0;
  virtual void ExportAllSubjects() = 0;
  virtual void RedrawPool() = 0;
  virtual void ShowCountdown(int secondsLeft) = 0;
  virtual void CloseCountdown() = 0;
  /// The countdown ran out: start the next trial (redrawing the pool first when the
  /// experiment asks for it).
  virtual void StartNextTrialAfterCountdown() = 0;
  /// The scheduled time of day has come: show the run screen when it is not shown, then
  /// start the next trial.
  virtual void StartAtTimeOfDay() = 0;
};

class Timer1Tick {
 public:
  static constexpr int kIntervalMs = 55;

  /// One tick. `tracker` may be null (no unit): the between-trials poll is skipped.
  void OnTick(Timer1Host& host, KeyboardState& keys, TrackerLink* tracker, double secondsSinceMidnight);

  /// The main window was resized. Returns true when the resize work is to be done now;
  /// while the left mouse button is down it is deferred to the tick that sees it up.
  bool OnWindowResized(const KeyboardState& keys);
  bool IsResizeDeferred() const { return resizeDeferred_; }
  /// Asks for a pool redraw at the next tick.
  void RequestPoolRedraw() { poolRedrawRequested_ = true; }
  /// Starts the inter-trial countdown; it counts down once per whole second.
  void StartCountdown(int seconds) { countdown_ = seconds < 0 ? 0 : seconds; }
  /// Seconds left; -1 when no countdown runs.
  int Countdown() const { return countdown_; }

 private:
  bool resizeDeferred_ = false;
  bool poolRedrawRequested_ = false;
  int countdown_ = -1;
  int32_t lastSecond_ = -1;
};

}  // namespace tarnwell
