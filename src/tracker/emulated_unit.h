// EmulatedUnit: the Quentrix tracking unit's side of the line, in software.
//
// It answers every command the program sends as the real unit does as far as the program
// relies on it, keeps what it was told (overlay, map, settings) so tests and operators can
// look at it, and streams one sample per frame at the video rate. What the unit sees comes
// from a subclass: the swim model of the simulated unit, or the detected positions of a
// camera or a recorded video. It knows nothing of serial ports: bytes go in with Receive,
// bytes come out with TakeOutput, each with a time, so the same unit serves the in-process
// port (tests, --simulator, --video) and the pseudo-terminal of quentrix-sim.
//
// The wire, as the unit sees it:
//   " $+"              reset: stops the stream, clears the overlay's lines
//   "Turn ON!"         acknowledged with one byte 0x06
//   " &!"              echo: one byte 0x21
//   " 0."              start streaming (X, Y) pairs, one per frame (30/s, 25/s with PAL);
//                      every start puts a freshly released animal in the pool (unless
//                      the operator holds it somewhere); the animal swims while the
//                      unit streams
//   " 0+"              one sample; while streaming it also stops the stream
//   " ##"              the remote button: 1 when pressed since the last ask, else 0 (a
//                      press is kept until asked for, so none is lost between polls)
//   " 52" f "."        object filter (f = 0 or 1)
//   " 5."              save settings; " 1(" invert video; " 1&" / " 1'" live video on/off
//   " 0\""             clear the text overlay; followed by "'-" it asks for the object's
//                      area, answered with two bytes, low byte first
//   " 0&" c r text 00  text at column c, row r; " 0'" shows the text overlay
//   " 3$"              the 768-byte map; " 3%" + 768 bytes stores it
//   "%" x1 y1 x2 y2    an overlay line
//   "," FF FF FF FF    background-mask setup; the next byte ends it: 0x20 keeps the new
//                      mask, anything else cancels
// Anything else is skipped byte by byte until a command starts again.
//
// Bytes leave at the line's pace (19200 baud: 10 bits a byte), so a reply arrives a few
// milliseconds after its command and a 768-byte map takes 0.4 s, as on the real line.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tracker/track_sample.h"
#include "tracker/unit_overlay.h"

namespace tarnwell {

class EmulatedUnit {
 public:
  static constexpr int kMapBytes = 768;
  static constexpr uint8_t kSwitchOnAck = 0x06;
  static constexpr uint8_t kEchoReply = 0x21;

  explicit EmulatedUnit(int framesPerSecond);
  virtual ~EmulatedUnit() = default;
  EmulatedUnit(const EmulatedUnit&) = delete;
  EmulatedUnit& operator=(const EmulatedUnit&) = delete;

  // ---- The line ----------------------------------------------------------------------
  /// Bytes from the program, arriving at `nowMs` (the unit's clock, milliseconds).
  void Receive(std::span<const uint8_t> bytes, double nowMs);
  /// Lets the unit's time run to `nowMs`: frames are seen and sent.
  void AdvanceTo(double nowMs);
  /// Appends to `out` every byte that has fully arrived at the program's end by `nowMs`;
  /// returns how many.
  std::size_t TakeOutput(double nowMs, std::vector<uint8_t>& out);
  /// When the next byte will have arrived (after AdvanceTo): the earliest of the queued
  /// bytes and, while streaming, the next frame. Nothing when the unit has nothing to send.
  std::optional<double> NextOutputDueMs() const;

  // ---- The operator at the unit --------------------------------------------------------
  void PressRemoteButton() { buttonPressed_ = true; }
  /// A unit switched off answers nothing and sends nothing.
  void SetPowered(bool powered) { powered_ = powered; }
  /// The video-inverted state kept in the unit's memory (the " 1(" command toggles it).
  void SetVideoInverted(bool inverted) {
    videoInverted_ = inverted;
    OnVideoInverted(inverted);
  }
  void ClearOverlay();

  // ---- What the unit was told ---------------------------------------------------------
  bool IsStreaming() const { return streaming_; }
  bool IsPowered() const { return powered_; }
  bool ObjectFilter() const { return objectFilter_; }
  bool VideoInverted() const { return videoInverted_; }
  bool LiveVideo() const { return liveVideo_; }
  bool MaskSetupActive() const { return maskActive_; }
  int MasksKept() const { return masksKept_; }
  int MasksCancelled() const { return masksCancelled_; }
  int SettingsSaved() const { return settingsSaved_; }
  int Resets() const { return resets_; }
  int SwitchOns() const { return switchOns_; }
  int TextRefreshes() const { return textRefreshes_; }
  int StreamStarts() const { return streamStarts_; }
  uint64_t SamplesSent() const { return samplesSent_; }
  uint64_t BytesSkipped() const { return bytesSkipped_; }
  const std::string& Map() const { return map_; }
  const UnitOverlay& Overlay() const { return overlay_; }
  double FramePeriodMs() const { return framePeriodMs_; }
  int FramesPerSecond() const { return framesPerSecond_; }
  /// Told of every command the unit understood ("reset", "echo", "stream start", …).
  std::function<void(const std::string&)> onCommand;

 protected:
  /// What the unit sees in the next frame of its stream; nothing when it can see no more
  /// (a video that ended, a camera that went away): the unit then falls silent, as a unit
  /// whose camera cable was pulled.
  virtual std::optional<TrackSample> NextFrame() = 0;
  /// What the unit sees now, for a single sample asked for outside the stream.
  virtual TrackSample SeenNow() const = 0;
  /// The area of the object it sees, in overlay pixels.
  virtual int ObjectArea() = 0;
  virtual void OnStreamStart() {}
  virtual void OnVideoInverted(bool /*inverted*/) {}
  virtual void OnObjectFilter(bool /*on*/) {}
  virtual void OnMapStored(const std::string& /*map*/) {}
  /// Background-mask setup: started, then finished with `keep` true (Done) or false.
  virtual void OnMaskSetupStarted() {}
  virtual void OnMaskSetupFinished(bool /*keep*/) {}

 private:
  // Parses one command from the front of the `size` bytes at `p`; returns the bytes used,
  // 0 when the command is not complete yet.
  std::size_t ParseOne(const uint8_t* p, std::size_t size, double nowMs);
  void Send(std::span<const uint8_t> bytes, double atMs);
  void SendSample(const TrackSample& sample, double atMs);
  void Note(const char* what);

  int framesPerSecond_;
  double framePeriodMs_;
  UnitOverlay overlay_;

  std::vector<uint8_t> pending_;                   // received, not yet parsed
  std::deque<std::pair<double, uint8_t>> output_;  // (arrival time, byte)
  double lineFreeAtMs_ = 0;                        // when the line has sent the last queued byte
  bool timeKnown_ = false;
  double nowMs_ = 0;
  double nextFrameMs_ = 0;
  double streamStartMs_ = 0;
  uint64_t framesSinceStart_ = 0;

  bool powered_ = true;
  bool streaming_ = false;
  bool buttonPressed_ = false;
  bool objectFilter_ = false;
  bool videoInverted_ = false;
  bool liveVideo_ = false;
  bool maskActive_ = false;
  int masksKept_ = 0;
  int masksCancelled_ = 0;
  int settingsSaved_ = 0;
  int resets_ = 0;
  int switchOns_ = 0;
  int textRefreshes_ = 0;
  int streamStarts_ = 0;
  uint64_t samplesSent_ = 0;
  uint64_t bytesSkipped_ = 0;
  std::string map_;
};

}  // namespace tarnwell
