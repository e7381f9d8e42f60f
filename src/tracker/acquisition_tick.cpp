#include "tracker/acquisition_tick.h"

#include "core/numbers.h"
#include "tracker/tracker_link.h"

namespace tarnwell {

void KeyboardState::KeyDown(int virtualKey, bool autoRepeat) {
  hasFocus_ = true;
  if (!Valid(virtualKey) || autoRepeat) return;
  if (!down_.test(static_cast<std::size_t>(virtualKey))) pressed_.set(static_cast<std::size_t>(virtualKey));
  down_.set(static_cast<std::size_t>(virtualKey));
}

void KeyboardState::KeyUp(int virtualKey) {
  if (Valid(virtualKey)) down_.reset(static_cast<std::size_t>(virtualKey));
}

void KeyboardState::FocusLost() {
  hasFocus_ = false;
  down_.reset();
  pressed_.reset();
}

bool KeyboardState::IsDown(int virtualKey) const {
  return hasFocus_ && Valid(virtualKey) && down_.test(static_cast<std::size_t>(virtualKey));
}

bool KeyboardState::AnyDown(int first, int last) const {
  for (int key = first; key <= last; ++key) {
    if (IsDown(key)) return true;
  }
  return false;
}

bool KeyboardState::TakePress(int virtualKey) {
  if (!Valid(virtualKey)) return false;
  const bool pressed = hasFocus_ && pressed_.test(static_cast<std::size_t>(virtualKey));
  pressed_.reset(static_cast<std::size_t>(virtualKey));
  return pressed;
}

void KeyboardState::DiscardPress(int virtualKey) {
  if (Valid(virtualKey)) pressed_.reset(static_cast<std::size_t>(virtualKey));
}

bool Timer1Tick::OnWindowResized(const KeyboardState& keys) {
  if (keys.IsDown(vk::LeftButton)) {
    resizeDeferred_ = true;
    return false;
  }
  return true;
}

void Timer1Tick::OnTick(Timer1Host& host, KeyboardState& keys, TrackerLink* tracker,
                        double secondsSinceMidnight) {
  // 1. ESC, held or tapped since the last tick, stops a running trial.
  const bool escape = keys.TakePress(vk::Escape) || keys.IsDown(vk::Escape);
  if (escape && host.IsExperimentInProgress() && host.IsTrialRunning() && host.IsStopEnabled()) {
    host.cmdStopExpt_Click();
  }

  // 2. S starts a trial on a fresh press only: holding it down does not start the next.
  if (keys.TakePress(vk::S) && host.IsRunScreenShown() && host.IsStartEnabled()) host.cmdRunExpt_Click();

  // 3. The time, in whole seconds.
  const int32_t second = CLng(secondsSinceMidnight);

  // 4. A resize made while the mouse button was down is done once it is up.
  if (resizeDeferred_ && !keys.IsDown(vk::LeftButton)) {
    resizeDeferred_ = false;
    host.DoAllResizeWindowStuff();
  }

  // 5. F4 exports, but not together with a mouse button, Shift, Ctrl, Alt or the like.
  const bool f4Pressed = keys.TakePress(vk::F4);
  if (f4Pressed && !keys.AnyDown(1, 32)) host.ExportAllSubjects();

  // 6. Between trials the run screen asks the unit for its remote button.
  if (tracker != nullptr && host.IsRunScreenShown() && host.IsStartEnabled()) {
    tracker->MarkStreamStopped();
    const int16_t button = tracker->PollRemoteButton();
    tracker->PollOneSample();
    if (button == kRemoteButtonPressed) host.cmdRunExpt_Click();
  }

  // 7. A requested pool redraw.
  if (poolRedrawRequested_) {
    poolRedrawRequested_ = false;
    host.RedrawPool();
  }

  // 8. Once per whole second.
  if (second != lastSecond_) {
    if (countdown_ >= 0) {
      if (countdown_ > 0) {
        --countdown_;
        host.ShowCountdown(countdown_);
      }
      if (countdown_ == 0) {
        countdown_ = -1;
        host.CloseCountdown();
        host.StartNextTrialAfterCountdown();
      }
    }
    if (host.DelayType() == 1 && second == host.ScheduledStartSecond()) host.StartAtTimeOfDay();
  }
  // 9.
  lastSecond_ = second;
}

}  // namespace tarnwell
