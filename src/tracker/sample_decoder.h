// Turning the unit's byte stream into samples.
//
// While streaming, the unit sends one (X, Y) byte pair per video frame. A read of the
// serial port returns whatever has arrived, which need not be whole pairs: three bytes
// (X1 Y1 X2) and then three more (Y2 X3 Y3) are three samples. The decoder keeps the odd
// byte of one read as the X of the next pair, and throws away the first pairs after each
// stream start (the unit's first frames after " 0." are not positions of this trial).
#pragma once

#include <cstdint>
#include <span>

#include "tracker/track_sample.h"

namespace tarnwell {

/// `NormaliseSampleRate`: below 2 becomes 1; above 5 becomes 30, or 25 with PAL video
/// (`VideoType` 1); 2..5 becomes 5.
int16_t NormaliseSampleRate(int16_t sampleRate, int16_t videoType);

/// The decoder state of one stream: the held byte and the samples still to skip.
class SampleDecoder {
 public:
  /// Samples discarded after every stream start.
  static constexpr int16_t kSamplesSkippedAtStart = 2;

  /// A new stream begins: nothing held, the first two pairs are to be skipped. Starting
  /// and stopping the stream both clear the held byte: a half pair left from an earlier
  /// stream would otherwise shift every sample of the next one into (Y, next X).
  void StartStream() {
    heldBytePending_ = false;
    samplesToSkip_ = kSamplesSkippedAtStart;
  }
  void ClearHeldByte() { heldBytePending_ = false; }

  /// Splits one read into pairs, held byte first. The odd byte left at the end is held
  /// for the next read before any pair is handed on. For each pair in order calls
  /// `onPair(sample, skipped)`; a skipped pair has used up one of the samples to skip.
  /// When `onPair` returns false the rest of this read is dropped (the stream was
  /// stopped by what the sample caused).
  template <typename OnPair>
  void Feed(std::span<const uint8_t> bytes, OnPair&& onPair);

  bool HeldBytePending() const { return heldBytePending_; }
  uint8_t HeldByte() const { return heldByte_; }
  int16_t SamplesToSkip() const { return samplesToSkip_; }
  void SetSamplesToSkip(int16_t count) { samplesToSkip_ = count; }

 private:
  bool heldBytePending_ = false;
  uint8_t heldByte_ = 0;
  int16_t samplesToSkip_ = 0;
};

template <typename OnPair>
void SampleDecoder::Feed(std::span<const uint8_t> bytes, OnPair&& onPair) {
  const bool hadHeld = heldBytePending_;
  const uint8_t held = heldByte_;
  const std::size_t total = bytes.size() + (hadHeld ? 1 : 0);
  const std::size_t pairs = total / 2;
  if (total % 2 == 1) {
    heldByte_ = bytes.empty() ? held : bytes.back();
    heldBytePending_ = true;
  } else {
    heldBytePending_ = false;
  }
  // Byte k of the virtual sequence [held] + bytes.
  const auto at = [&](std::size_t k) -> uint8_t {
    if (hadHeld) return k == 0 ? held : bytes[k - 1];
    return bytes[k];
  };
  for (std::size_t i = 0; i < pairs; ++i) {
    const TrackSample sample{at(2 * i), at(2 * i + 1)};
    bool skipped = false;
    if (samplesToSkip_ > 0) {
      --samplesToSkip_;
      skipped = true;
    }
    if (!onPair(sample, skipped)) return;
  }
}

}  // namespace tarnwell
