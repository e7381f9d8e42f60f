#include "tracker/tracker_link.h"

#include <algorithm>
#include <climits>

#include "tracker/com_ports.h"

namespace tarnwell {
namespace {

constexpr int kMaxComPort = 64;
constexpr int kResetWaitMs = 1000;
constexpr int kSwitchOnWaitMs = 500;
constexpr int kEchoWindowMs = 100;
constexpr int kStopWaitMs = 100;
constexpr int kPollSampleWindowMs = 100;
constexpr int kButtonWindowMs = 100;
constexpr int kAreaWindowMs = 500;
constexpr int kReplyQuietMs = 900;
constexpr int kReplyStopEarlyQuietMs = 100;
// A unit that keeps sending (a stream nobody stopped, line noise) would keep a reply
// "growing" for ever; no reply of the unit is longer than the 768-byte map, which takes
// 0.4 s at 19200 baud.
constexpr int kReplyLongestMs = 5000;
constexpr int kPollStepMs = 10;
constexpr int kUnitMapBytes = 768;

constexpr uint8_t kEchoReply = 0x21;

const std::string kNotRespondingText = "The Quentrix is\nnot responding.\n";

// Marks a command waiting on the port, so a received-notification that slips through
// (a nested event loop in some handler) leaves the reply alone.
class AwaitingReply {
 public:
  explicit AwaitingReply(int& depth) : depth_(depth) { ++depth_; }
  ~AwaitingReply() { --depth_; }
  AwaitingReply(const AwaitingReply&) = delete;
  AwaitingReply& operator=(const AwaitingReply&) = delete;

 private:
  int& depth_;
};

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

TrackerLink::TrackerLink(SerialPort& port, Clock& clock, Operator& op, const SystemSettings& settings)
    : port_(port), clock_(clock), op_(op), settings_(settings) {
  port_.SetReceivedHandler([this] { OnBytesReceived(); });
  port_.SetDeviceLostHandler([this](const std::string& reason) { OnDeviceLost(reason); });
}

TrackerLink::~TrackerLink() {
  port_.SetReceivedHandler(nullptr);
  port_.SetDeviceLostHandler(nullptr);
}

// ---- Serial port ---------------------------------------------------------------------

bool TrackerLink::ListComPorts() {
  comPortNames_ = ListComPortNames(port_.ListPorts());
  return !comPortNames_.empty();
}

std::string TrackerLink::PortLabel(int portNumber) const {
  return portDevice_.empty() ? std::to_string(portNumber) : portDevice_;
}

bool TrackerLink::OpenTrackerPort(int portNumber) {
  CloseTrackerPort();
  if (portDevice_.empty() && (portNumber < 1 || portNumber > kMaxComPort)) return false;
  const std::string device = portDevice_.empty() ? DeviceForComPortNumber(portNumber) : portDevice_;
  const SerialOpenResult result = port_.Open(device, SerialSettings{});
  if (result.ok()) {
    port_.SetReceiveThreshold(1);
    state_.TrackerPortOpen = true;
    return true;
  }
  const std::string label = PortLabel(portNumber);
  switch (result.status) {
    case SerialOpenStatus::NoSuchPort:
      op_.ShowMessage("Port " + label + " is not a\nvalid port on this machine.\n", "Error",
                      MessageIcon::Critical);
      break;
    case SerialOpenStatus::InUse:
      op_.ShowMessage("Port " + label + " is already in use\nby another application.\n", "Error",
                      MessageIcon::Critical);
      break;
    default:
      op_.ShowMessage("Error : " + result.description + "\noccurred while opening port " + label + ".\n", "",
                      MessageIcon::Critical);
      break;
  }
  return false;
}

void TrackerLink::CloseTrackerPort() {
  port_.Close();
  state_.TrackerPortOpen = false;
}

bool TrackerLink::SendPort(std::u32string_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size());
  for (const char32_t c : text) {
    if (c > 255) return false;  // never a truncated byte
    bytes.push_back(static_cast<uint8_t>(c));
  }
  return SendBytes(bytes);
}

bool TrackerLink::SendBytes(std::span<const uint8_t> bytes) {
  if (!state_.TrackerPortOpen) return false;
  if (bytes.empty()) return true;
  return port_.Write(bytes);
}

void TrackerLink::DiscardInput() {
  if (!state_.TrackerPortOpen) return;
  if (port_.BytesWaiting() > 0) port_.ReadAll();
}

int TrackerLink::WaitOnPort(int count, int64_t deadlineMs) {
  AwaitingReply awaiting(awaitingReply_);
  const int64_t before = clock_.NowMs();
  const int64_t remaining = deadlineMs - before;
  if (remaining <= 0) return state_.TrackerPortOpen ? port_.BytesWaiting() : 0;
  const int step = static_cast<int>(std::min<int64_t>(remaining, INT_MAX));
  int waiting = 0;
  if (state_.TrackerPortOpen && port_.IsOpen()) {
    waiting = port_.WaitForBytes(count, step);
  } else {
    clock_.Wait(step);
  }
  // A port that answers at once without the clock moving must not spin a wait loop.
  if (waiting < count && clock_.NowMs() == before) clock_.Wait(1);
  return waiting;
}

void TrackerLink::BusyWait(int milliseconds) {
  const int64_t deadline = clock_.NowMs() + milliseconds;
  while (clock_.NowMs() < deadline) WaitOnPort(INT_MAX, deadline);
}

// ---- Command set -----------------------------------------------------------------------

void TrackerLink::ResetTracker() {
  if (!state_.TrackerPortOpen) return;
  SendBytes(Bytes(" $+"));
  state_.ContinuousOutput = false;
  decoder_.ClearHeldByte();
}

bool TrackerLink::SwitchOnTracker() {
  if (!state_.TrackerPortOpen) return false;
  SendBytes(Bytes("Turn ON!"));
  BusyWait(kSwitchOnWaitMs);
  if (state_.TrackerPortOpen && port_.BytesWaiting() >= 1) {
    port_.ReadAll();
    state_.UnitAcknowledged = true;
  } else {
    state_.UnitAcknowledged = false;
  }
  return state_.UnitAcknowledged;
}

bool TrackerLink::CheckTrackerEcho() {
  if (!state_.TrackerPortOpen) return false;
  DiscardInput();
  if (!SendBytes(Bytes(" &!"))) return false;
  const int64_t deadline = clock_.NowMs() + kEchoWindowMs;
  bool echoed = false;
  // Polls for the whole window: the reply must be the only byte in the buffer when it is
  // looked at, so a unit that answers "!!" (or echoes the command) is not taken as ready.
  while (true) {
    int waiting = state_.TrackerPortOpen ? port_.BytesWaiting() : 0;
    if (waiting == 1) {
      const std::vector<uint8_t> reply = port_.ReadAll();
      if (reply.size() == 1 && reply[0] == kEchoReply) echoed = true;
      waiting = 0;
    }
    if (clock_.NowMs() >= deadline) break;
    WaitOnPort(waiting + 1, deadline);
  }
  return echoed;
}

bool TrackerLink::StartContinuousOutput() {
  if (!state_.TrackerPortOpen) return false;
  DiscardInput();
  port_.SetReceiveThreshold(2);
  SendBytes(Bytes(" 0."));
  state_.ContinuousOutput = true;
  decoder_.StartStream();
  return true;
}

void TrackerLink::StopContinuousOutput() {
  if (state_.TrackerPortOpen) {
    DiscardInput();
    SendBytes(Bytes(" 0+"));
    BusyWait(kStopWaitMs);
    DiscardInput();
  }
  state_.ContinuousOutput = false;
  decoder_.ClearHeldByte();
}

void TrackerLink::MarkStreamStopped() {
  state_.ContinuousOutput = false;
  decoder_.ClearHeldByte();
}

bool TrackerLink::PollOneSample() {
  if (!state_.TrackerPortOpen || state_.ContinuousOutput) return false;
  bool gotSample = false;
  if (SendBytes(Bytes(" 0+"))) {
    const int64_t deadline = clock_.NowMs() + kPollSampleWindowMs;
    while (true) {
      const int waiting = state_.TrackerPortOpen ? port_.BytesWaiting() : 0;
      if (waiting == 2) {
        const std::vector<uint8_t> reply = port_.ReadAll();
        if (reply.size() == 2) {
          state_.CurrentSample = TrackSample{reply[0], reply[1]};
          gotSample = true;
          break;
        }
      }
      if (clock_.NowMs() >= deadline) break;
      WaitOnPort(waiting < 2 ? 2 : waiting + 1, deadline);
    }
  }
  if (sink_ != nullptr) sink_->ShowMonitorDot(state_.CurrentSample);
  return gotSample;
}

int16_t TrackerLink::PollRemoteButton() {
  if (!state_.TrackerPortOpen) return kRemoteButtonNoReply;
  DiscardInput();
  SendBytes(Bytes(" ##"));
  const int64_t sentAt = clock_.NowMs();
  while (true) {
    if (state_.TrackerPortOpen && port_.BytesWaiting() >= 1) {
      const std::vector<uint8_t> reply = port_.ReadAll();
      if (reply.size() != 1) return kRemoteButtonUnknownReply;
      if (reply[0] == 0) return kRemoteButtonNotPressed;
      if (reply[0] == 1) return kRemoteButtonPressed;
      return kRemoteButtonUnknownReply;
    }
    if (clock_.NowMs() - sentAt > kButtonWindowMs) return kRemoteButtonNoReply;
    WaitOnPort(1, sentAt + kButtonWindowMs + 1);
  }
}

void TrackerLink::SendObjectFilter(bool objectFilter) {
  const uint8_t command[] = {0x20, 0x35, 0x32, static_cast<uint8_t>(objectFilter ? 1 : 0), 0x2E};
  SendBytes(command);
}

void TrackerLink::SaveTrackerSettings() {
  SendBytes(Bytes(" 5."));
}

void TrackerLink::ToggleVideoInverted() {
  if (SendBytes(Bytes(" 1("))) state_.VideoInvertChanged = !state_.VideoInvertChanged;
}

void TrackerLink::LiveVideoOn() {
  if (SendBytes(Bytes(" 1&"))) state_.LiveVideoActive = true;
}

void TrackerLink::LiveVideoOff() {
  SendBytes(Bytes(" 1'"));
  state_.LiveVideoActive = false;
}

void TrackerLink::ClearTextOverlay() {
  SendBytes(Bytes(" 0\""));
}

void TrackerLink::RefreshTextOverlay() {
  SendBytes(Bytes(" 0'"));
}

bool TrackerLink::WriteOverlayText(int column, int row, std::u32string_view text) {
  std::u32string command = U" 0&";
  command.push_back(static_cast<char32_t>(std::clamp(column, 0, 31)));
  command.push_back(static_cast<char32_t>(std::clamp(row, 0, 23)));
  command.append(text);
  if (text.empty() || text.back() != 0) command.push_back(0);
  if (!SendPort(command)) return false;
  RefreshTextOverlay();
  return true;
}

int32_t TrackerLink::QueryObjectArea() {
  if (!state_.TrackerPortOpen) return -1;
  const uint8_t command[] = {0x20, 0x30, 0x22, 0x27, 0x2D};
  if (!SendBytes(command)) return -1;
  const int64_t deadline = clock_.NowMs() + kAreaWindowMs;
  int waiting = 0;
  while (true) {
    waiting = state_.TrackerPortOpen ? port_.BytesWaiting() : 0;
    if (waiting >= 2 || clock_.NowMs() >= deadline) break;
    WaitOnPort(2, deadline);
  }
  if (waiting <= 0) return -1;
  // A lone byte is half an answer: it is taken off the line, and the area is unknown.
  const std::vector<uint8_t> reply = port_.ReadAll();
  if (reply.size() < 2) return -1;
  return reply[1] * 256 + reply[0];
}

bool TrackerLink::WriteUnitMap(std::string_view map) {
  if (map.size() != kUnitMapBytes) return false;
  std::string command = " 3%";
  command.append(map);
  return SendBytes(Bytes(command));
}

bool TrackerLink::ReadUnitMap() {
  if (!state_.TrackerPortOpen) return false;
  DiscardInput();
  if (!SendBytes(Bytes(" 3$"))) return false;
  if (!ReadTrackerReply(kUnitMapBytes, false)) return false;
  if (state_.LastReplyCount != kUnitMapBytes) return false;
  state_.UnitMapText.assign(state_.LastReply.begin(), state_.LastReply.end());
  return true;
}

bool TrackerLink::SendOverlayLine(int x1, int y1, int x2, int y2) {
  const auto limitX = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  const auto limitY = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 191)); };
  const uint8_t command[] = {0x25, limitX(x1), limitY(y1), limitX(x2), limitY(y2)};
  return SendBytes(command);
}

bool TrackerLink::StartBackgroundMask() {
  if (!state_.TrackerPortOpen || state_.MaskSetupActive) return false;
  ClearTextOverlay();
  const uint8_t command[] = {0x2C, 0xFF, 0xFF, 0xFF, 0xFF};
  SendBytes(command);
  state_.MaskSetupActive = true;
  return true;
}

void TrackerLink::FinishBackgroundMask(bool save) {
  if (!state_.TrackerPortOpen || !state_.MaskSetupActive) return;
  const std::string caption = save ? "Saving" : "Cancelling";
  op_.ShowProgress(caption, 0);
  state_.MaskSetupActive = false;
  const uint8_t finish[] = {static_cast<uint8_t>(save ? 0x20 : 0x00)};
  SendBytes(finish);
  ResetTracker();
  op_.ShowProgress(caption, 25);
  BusyWait(kResetWaitMs);
  op_.ShowProgress(caption, 50);
  SwitchOnTracker();
  op_.ShowProgress(caption, 75);
  BusyWait(kSwitchOnWaitMs);
  op_.ShowProgress(caption, 75);
  state_.MaskSetupActive = false;
  op_.ShowProgress(caption, -1);
}

// ---- Higher-level routines -------------------------------------------------------------

bool TrackerLink::ResetAndInitialiseTracker() {
  bool ready = false;
  state_.TrackerPortOpen = OpenTrackerPort(settings_.ComPort);
  if (state_.TrackerPortOpen) {
    op_.ShowStatus("Resetting");
    ResetTracker();
    BusyWait(kResetWaitMs);
    op_.ShowStatus("Initializing");
    SwitchOnTracker();
    BusyWait(kSwitchOnWaitMs);
    op_.ShowStatus("");
    ready = CheckTrackerEcho();
  }
  if (!ready) {
    op_.ShowStatus("");
    op_.ShowMessage(kNotRespondingText, "Error", MessageIcon::Critical);
  }
  state_.UnitReady = ready;
  return ready;
}

bool TrackerLink::EnsureTrackerReady() {
  if (state_.UnitReady) return true;
  state_.UnitReady = ResetAndInitialiseTracker();
  return state_.UnitReady;
}

bool TrackerLink::ReadTrackerReply(int expectedCount, bool stopEarly) {
  if (!state_.TrackerPortOpen) return false;
  const int64_t startedAt = clock_.NowMs();
  int count = port_.BytesWaiting();
  int64_t lastGrowth = startedAt;
  while (true) {
    const int waiting = state_.TrackerPortOpen ? port_.BytesWaiting() : 0;
    const int64_t now = clock_.NowMs();
    if (expectedCount > 0 && waiting >= expectedCount) break;
    if (waiting > count) {
      count = waiting;
      lastGrowth = now;
    }
    if (stopEarly && waiting >= 1 && now - lastGrowth >= kReplyStopEarlyQuietMs) break;
    if (now - lastGrowth >= kReplyQuietMs) break;
    if (now - startedAt >= kReplyLongestMs) break;
    const int64_t quietLimit =
        lastGrowth + (stopEarly && waiting >= 1 ? kReplyStopEarlyQuietMs : kReplyQuietMs);
    WaitOnPort(waiting + 1, std::min(quietLimit, startedAt + kReplyLongestMs));
  }
  state_.LastReply = state_.TrackerPortOpen ? port_.ReadAll() : std::vector<uint8_t>{};
  state_.LastReplyCount = static_cast<int16_t>(std::min<std::size_t>(state_.LastReply.size(), INT16_MAX));
  return true;
}

bool TrackerLink::InitialiseAndStart() {
  if (!SwitchOnTracker()) return false;
  return StartContinuousOutput();
}

// ---- Receive path ------------------------------------------------------------------------

void TrackerLink::OnBytesReceived() {
  if (awaitingReply_ > 0 || !state_.TrackerPortOpen) return;
  if (!state_.UnitAcknowledged) {
    if (state_.MaskSetupActive) {
      state_.MaskSetupActive = false;
      if (onMaskSetupEnded) onMaskSetupEnded();
    }
    DiscardInput();
  } else if (state_.ContinuousOutput) {
    DoSamplingRate30Stuff();
  } else {
    DiscardInput();
  }
}

void TrackerLink::DoSamplingRate30Stuff() {
  if (!state_.TrackerPortOpen) return;
  if (port_.BytesWaiting() < 2) return;  // the bytes stay for the next event
  const std::vector<uint8_t> bytes = port_.ReadAll();
  bool discarded = false;
  decoder_.Feed(bytes, [&](const TrackSample& sample, bool skipped) {
    if (skipped) {
      discarded = true;
    } else {
      state_.CurrentSample = sample;
      if (sink_ != nullptr) {
        sink_->OnSampleDecoded(sample);
        if (sink_->IsTrialRunning()) {
          sink_->HandOverSample(sample, discarded);
        } else if (state_.ContinuousOutput && !discarded) {
          sink_->ShowMonitorDot(sample);
        }
      }
    }
    return state_.ContinuousOutput;
  });
  if (state_.ContinuousOutput && !discarded && sink_ != nullptr) sink_->ShowMonitorDot(state_.CurrentSample);
}

void TrackerLink::OnDeviceLost(const std::string& reason) {
  (void)reason;
  const bool wasOpen = state_.TrackerPortOpen;
  state_.TrackerPortOpen = false;
  state_.ContinuousOutput = false;
  state_.UnitAcknowledged = false;
  state_.UnitReady = false;  // the next monitor or run screen tries the handshake again
  state_.MaskSetupActive = false;
  decoder_.ClearHeldByte();
  if (!wasOpen) return;
  op_.ShowMessage(kNotRespondingText, "Error", MessageIcon::Critical);
  if (onDeviceLost) onDeviceLost();
}

}  // namespace tarnwell
