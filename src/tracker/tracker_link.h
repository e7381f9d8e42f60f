// TrackerLink: the serial line to the Quentrix and every command the program sends it.
//
// One object per program. It owns the tracker-link state (port open, acknowledged, ready,
// streaming, the held byte and the current sample) and is the receive handler of the
// port: bytes that arrive while the unit streams are decoded into samples and handed to
// a TrackerSampleSink (the run controller during a trial, the monitor marker otherwise).
//
// Waiting for a reply never goes through the event loop. A command writes, then waits on
// the port itself (SerialPort::WaitForBytes), and the port raises no received-
// notification meanwhile; the receive handler, which discards bytes that arrive while the
// unit is not streaming, would otherwise eat the reply. Every wait is measured with the
// Clock, so tests with a ManualClock run instantly.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "core/operator.h"
#include "core/serial_port.h"
#include "core/system_settings.h"
#include "tracker/sample_decoder.h"
#include "tracker/track_sample.h"

namespace tarnwell {

/// Where decoded samples go. The run controller implements it for the trial hand-over,
/// the monitor screen for the marker; both may be one object.
class TrackerSampleSink {
 public:
  virtual ~TrackerSampleSink() = default;
  /// Every sample decoded from the stream (not the skipped ones), in order, before it is
  /// handed over or shown. For recorders and the command-line monitor.
  virtual void OnSampleDecoded(const TrackSample& sample) {}
  /// `ExperimentInProgress` and `TrialRunning`: while true, samples are handed over to the
  /// trial instead of only moving the marker.
  virtual bool IsTrialRunning() const { return false; }
  /// The per-sample hand-over of a running trial. `sampleDiscardedInThisRead` tells the
  /// marker update of a trial end whether it may move the marker.
  virtual void HandOverSample(const TrackSample& sample, bool sampleDiscardedInThisRead) {}
  /// `ShowMonitorDot`: move the live marker to this sample.
  virtual void ShowMonitorDot(const TrackSample& sample) {}
};

/// The tracker-link state. Read it freely; change it only through TrackerLink.
struct TrackerLinkState {
  bool TrackerPortOpen = false;
  bool UnitAcknowledged = false;  // a byte came back within 0.5 s of the last "Turn ON!"
  bool UnitReady = false;         // the last handshake got the echo
  bool ContinuousOutput = false;  // the unit was told to stream; only then bytes are decoded
  bool LiveVideoActive = false;
  bool VideoInvertChanged = false;
  bool MaskSetupActive = false;
  std::string UnitMapText;         // the last 768-byte map read from the unit
  std::vector<uint8_t> LastReply;  // bytes of the last ReadTrackerReply
  int16_t LastReplyCount = 0;
  TrackSample CurrentSample;  // shared with the monitor and the run
};

/// `PollRemoteButton` answers (the message-box answer codes of the design).
enum RemoteButtonAnswer : int16_t {
  kRemoteButtonUnknownReply = 0,  // a reply other than 0 or 1, or more than one byte
  kRemoteButtonPressed = 6,
  kRemoteButtonNotPressed = 7,
  kRemoteButtonNoReply = 10,  // no reply within 100 ms, or the port is closed
};

class TrackerLink {
 public:
  /// The settings are read, never written: `ComPort` and `VideoType`.
  TrackerLink(SerialPort& port, Clock& clock, Operator& op, const SystemSettings& settings);
  ~TrackerLink();
  TrackerLink(const TrackerLink&) = delete;
  TrackerLink& operator=(const TrackerLink&) = delete;

  const TrackerLinkState& State() const { return state_; }
  const SampleDecoder& Decoder() const { return decoder_; }
  SerialPort& Port() { return port_; }

  /// Where decoded samples go (nullptr: nowhere). Not owned.
  void SetSampleSink(TrackerSampleSink* sink) { sink_ = sink; }
  /// Open this device instead of the COM port's (--port DEVICE, the simulator). While
  /// set, any port number opens it, and the port messages name the device.
  void SetPortDevice(std::string device) { portDevice_ = std::move(device); }
  // The device given by path (--port, --simulator); empty when the COM number decides.
  const std::string& PortDevice() const { return portDevice_; }
  /// What the operator's messages call the unit: "the Quentrix", or "the camera" or "the
  /// video" when one of those is the unit's eyes; and what to check when its track looks
  /// wrong.
  void SetUnitWords(std::string name, std::string advice) {
    unitName_ = std::move(name);
    unitAdvice_ = std::move(advice);
  }
  const std::string& UnitName() const { return unitName_; }
  const std::string& UnitAdvice() const { return unitAdvice_; }
  /// Told when a running mask setup ends by itself (bytes arrived before the unit
  /// acknowledged), so the screen hides its status label.
  std::function<void()> onMaskSetupEnded;
  /// Told after the device went away and the loss was reported.
  std::function<void()> onDeviceLost;

  // ---- Serial port -------------------------------------------------------------------

  /// `ListComPorts`: true when the machine has at least one COM port.
  bool ListComPorts();
  const std::vector<std::string>& ComPortNames() const { return comPortNames_; }
  /// `OpenTrackerPort`: closes first; false without a message outside 1..64; the three
  /// port messages on failure. Also sets `TrackerPortOpen`.
  bool OpenTrackerPort(int portNumber);
  void CloseTrackerPort();
  /// `SendPort`: each character's code as one byte; a code above 255 fails and nothing is
  /// sent. False when the port is closed. An empty text sends nothing.
  bool SendPort(std::u32string_view text);
  /// The same for a command already made of bytes.
  bool SendBytes(std::span<const uint8_t> bytes);

  // ---- Command set ---------------------------------------------------------------------

  void ResetTracker();                       // " $+"
  bool SwitchOnTracker();                    // "Turn ON!"; returns `UnitAcknowledged`
  bool CheckTrackerEcho();                   // " &!" answered by exactly one byte 0x21
  bool StartContinuousOutput();              // " 0."
  void StopContinuousOutput();               // " 0+", reply discarded
  bool PollOneSample();                      // " 0+" between trials; updates `CurrentSample`
  int16_t PollRemoteButton();                // " ##"; see RemoteButtonAnswer
  void SendObjectFilter(bool objectFilter);  // " 52" flag "."
  void SaveTrackerSettings();                // " 5."
  void ToggleVideoInverted();                // " 1("
  void LiveVideoOn();                        // " 1&"
  void LiveVideoOff();                       // " 1'"
  void ClearTextOverlay();                   // " 0\""
  /// " 0&", column (clamped 0..31), row (clamped 0..23), the text, a NUL unless the text
  /// ends with one; then " 0'". False when nothing was sent.
  bool WriteOverlayText(int column, int row, std::u32string_view text);
  void RefreshTextOverlay();  // " 0'"
  /// The area of the object the unit sees: second byte × 256 + first byte; -1 with no
  /// reply (or only one byte) within 0.5 s or with the port closed.
  int32_t QueryObjectArea();
  /// " 3%" and the 768 map bytes; false (nothing sent) unless `map` has exactly 768.
  bool WriteUnitMap(std::string_view map);
  /// " 3$"; true and `UnitMapText` set when exactly 768 bytes came back.
  bool ReadUnitMap();
  /// One overlay line: "%", x1, y1, x2, y2; each limited to 0..255, a y of 192 or more
  /// sent as 191.
  bool SendOverlayLine(int x1, int y1, int x2, int y2);
  /// "," and four 0xFF: the unit starts learning a new background. Only with the port
  /// open and no mask setup running; true when it was sent.
  bool StartBackgroundMask();
  /// Done (keep, 0x20) or Cancel (0x00), then reset and switch-on with the progress box.
  void FinishBackgroundMask(bool save);

  // ---- Higher-level routines -----------------------------------------------------------

  /// The start-up handshake: open, reset, switch on, echo check. The "not responding"
  /// message on failure. Sets and returns `UnitReady`.
  bool ResetAndInitialiseTracker();
  /// `UnitReady`, running the handshake first when it is false.
  bool EnsureTrackerReady();
  /// Collects a reply into `LastReply`/`LastReplyCount`; false only with the port closed.
  /// Never waits longer than a few seconds, even on a unit that never stops sending.
  bool ReadTrackerReply(int expectedCount, bool stopEarly);
  /// The monitor's start: switch on, and when acknowledged start the stream.
  bool InitialiseAndStart();

  // ---- Receive path --------------------------------------------------------------------

  /// The port's received-notification (the communication event with code 2).
  void OnBytesReceived();
  /// `DoSamplingRate30Stuff`: decodes the waiting bytes into samples.
  void DoSamplingRate30Stuff();
  /// The between-trials poll of the tick clears the streaming flag without a command:
  /// its " 0+" poll stops the unit's stream.
  void MarkStreamStopped();

  /// A blocking wait of the protocol that keeps the port's buffer filling meanwhile.
  void BusyWait(int milliseconds);

 private:
  void DiscardInput();
  // Waits on the port for `count` bytes until `deadlineMs`, making sure time moves on.
  int WaitOnPort(int count, int64_t deadlineMs);
  void OnDeviceLost(const std::string& reason);
  std::string PortLabel(int portNumber) const;

  SerialPort& port_;
  Clock& clock_;
  Operator& op_;
  const SystemSettings& settings_;
  TrackerSampleSink* sink_ = nullptr;
  std::string portDevice_;
  std::string unitName_ = "the Quentrix";
  std::string unitAdvice_ = "Check the Quentrix and its cable.";
  std::vector<std::string> comPortNames_;
  TrackerLinkState state_;
  SampleDecoder decoder_;
  int awaitingReply_ = 0;  // >0 while a command waits on the port
};

}  // namespace tarnwell
