// A drawing surface: the pool picture, the monitor, the data screen's track and the
// printed page are composed in the core as these primitives. Qt renders them onto a
// backing image, a printer page or a PDF; tests record them.
//
// Coordinates are the surface's own units (pixels on screen, device units on a page),
// x to the right, y downward.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwell {

struct Color {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

namespace colors {
inline constexpr Color Black{0, 0, 0};
inline constexpr Color White{255, 255, 255};
inline constexpr Color Red{255, 0, 0};
inline constexpr Color Green{0, 160, 0};
inline constexpr Color Blue{0, 0, 255};
inline constexpr Color Yellow{255, 255, 0};
inline constexpr Color Cyan{0, 255, 255};
inline constexpr Color Magenta{255, 0, 255};
inline constexpr Color Grey{128, 128, 128};
inline constexpr Color LightGrey{192, 192, 192};
}  // namespace colors

struct PointF {
  double x = 0, y = 0;
  friend bool operator==(const PointF&, const PointF&) = default;
};

struct Font {
  std::string family = "Courier New";
  double pointSize = 10;
  bool bold = false;
  bool fixedPitch = true;
  friend bool operator==(const Font&, const Font&) = default;
};

class Surface {
 public:
  virtual ~Surface() = default;

  virtual double Width() const = 0;
  virtual double Height() const = 0;

  virtual void Clear(Color background) = 0;
  virtual void Line(PointF from, PointF to, Color color, double width = 1) = 0;
  // An ellipse (a circle when rx == ry) with its outline, optionally filled.
  virtual void Ellipse(PointF centre, double rx, double ry, Color outline, std::optional<Color> fill = std::nullopt,
                       double width = 1) = 0;
  // A rectangle from its top-left corner, optionally filled.
  virtual void Rectangle(PointF topLeft, double w, double h, Color outline, std::optional<Color> fill = std::nullopt,
                         double width = 1) = 0;
  virtual void Point(PointF at, Color color) = 0;
  // Text with its top-left corner at `topLeft`.
  virtual void Text(PointF topLeft, const std::string& text, Color color, const Font& font) = 0;
  virtual double TextWidth(const std::string& text, const Font& font) const = 0;
  virtual double TextHeight(const Font& font) const = 0;
};

// A surface that keeps every primitive, for tests and for measuring a layout.
class RecordingSurface : public Surface {
 public:
  enum class Kind { Clear, Line, Ellipse, Rectangle, Point, Text };
  struct Primitive {
    Kind kind;
    PointF a;           // line start, ellipse centre, rectangle top-left, point, text top-left
    PointF b;           // line end; ellipse (rx, ry); rectangle (w, h)
    Color color;        // outline / text colour
    std::optional<Color> fill;
    double width = 1;
    std::string text;
    Font font;
  };

  RecordingSurface(double width, double height) : width_(width), height_(height) {}

  double Width() const override { return width_; }
  double Height() const override { return height_; }
  void Clear(Color background) override { primitives_.push_back({Kind::Clear, {}, {}, background, {}, 1, {}, {}}); }
  void Line(PointF from, PointF to, Color color, double width) override {
    primitives_.push_back({Kind::Line, from, to, color, {}, width, {}, {}});
  }
  void Ellipse(PointF centre, double rx, double ry, Color outline, std::optional<Color> fill, double width) override {
    primitives_.push_back({Kind::Ellipse, centre, {rx, ry}, outline, fill, width, {}, {}});
  }
  void Rectangle(PointF topLeft, double w, double h, Color outline, std::optional<Color> fill,
                 double width) override {
    primitives_.push_back({Kind::Rectangle, topLeft, {w, h}, outline, fill, width, {}, {}});
  }
  void Point(PointF at, Color color) override { primitives_.push_back({Kind::Point, at, {}, color, {}, 1, {}, {}}); }
  void Text(PointF topLeft, const std::string& text, Color color, const Font& font) override {
    primitives_.push_back({Kind::Text, topLeft, {}, color, {}, 1, text, font});
  }
  // A fixed-pitch estimate: 0.6 em per character, 1.2 em per line, 1 pt = 1 unit.
  double TextWidth(const std::string& text, const Font& font) const override {
    return 0.6 * font.pointSize * static_cast<double>(text.size());
  }
  double TextHeight(const Font& font) const override { return 1.2 * font.pointSize; }

  const std::vector<Primitive>& Primitives() const { return primitives_; }
  std::size_t Count(Kind kind) const {
    std::size_t n = 0;
    for (const auto& p : primitives_) n += p.kind == kind ? 1 : 0;
    return n;
  }
  void Reset() { primitives_.clear(); }

 private:
  double width_, height_;
  std::vector<Primitive> primitives_;
};

}  // namespace tarnwell
