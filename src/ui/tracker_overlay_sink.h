// The pool projection's overlay commands sent through the tracker link.
//
// The pool draws onto an OverlaySink so it need not know the tracker; the main window
// connects the two here, and notes when text was put on the overlay so that leaving the
// screen clears it again.
#pragma once

#include <functional>
#include <string>

#include "pool/overlay_projection.h"
#include "tracker/tracker_link.h"

namespace tarnwell {

class TrackerOverlaySink : public OverlaySink {
 public:
  explicit TrackerOverlaySink(TrackerLink& tracker) : tracker_(tracker) {}

  // Called whenever text was written to the overlay.
  std::function<void()> onTextPlaced;

  void SendOverlayLine(uint8_t x1, uint8_t y1, uint8_t x2, uint8_t y2) override {
    tracker_.SendOverlayLine(x1, y1, x2, y2);
  }
  void ClearTextOverlay() override { tracker_.ClearTextOverlay(); }
  void WriteOverlayText(int column, int row, const std::string& text) override {
    // Overlay text is single-byte: each character's code is sent as one byte.
    std::u32string wide;
    wide.reserve(text.size());
    for (unsigned char c : text) wide.push_back(static_cast<char32_t>(c));
    if (tracker_.WriteOverlayText(column, row, wide) && onTextPlaced) onTextPlaced();
  }
  void RefreshTextOverlay() override { tracker_.RefreshTextOverlay(); }

 private:
  TrackerLink& tracker_;
};

}  // namespace tarnwell
