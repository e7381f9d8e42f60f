// The tracking unit's graphic overlay as the simulated unit keeps it: a 256 × 192 picture
// of the lines it was sent, with a 32 × 24 character text layer on top, so a test or an
// operator can see what the program drew over the camera image.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell {

class UnitOverlay {
 public:
  static constexpr int kWidth = 256;
  static constexpr int kHeight = 192;
  static constexpr int kColumns = 32;
  static constexpr int kRows = 24;

  UnitOverlay();

  /// A line in overlay pixels; parts outside the picture are not drawn.
  void DrawLine(int x1, int y1, int x2, int y2);
  void ClearGraphics();
  /// Text from (column, row) to the right, cut at the last column. NUL ends it.
  void WriteText(int column, int row, const std::string& text);
  void ClearText();

  int LineCount() const { return lineCount_; }
  bool PixelSet(int x, int y) const;
  /// The 32 characters of a text row (blanks where nothing was written).
  std::string TextRow(int row) const;
  /// Lines and text rendered together: one byte per pixel, 0 black, 255 drawn.
  std::vector<uint8_t> Render() const;
  /// The rendered picture as a binary PGM file ("P5").
  std::string ToPgm() const;

 private:
  std::vector<uint8_t> graphics_;  // kWidth × kHeight, 0 or 1
  std::array<std::string, kRows> text_;
  int lineCount_ = 0;
};

}  // namespace tarnwell
