// frmAdvanced: the unit's 768-byte map (a 32 x 24 grid, one byte per cell, "1" or "0").
//
// The operator reads the map the unit holds, or replaces it with an all-"1" or all-"0"
// map. A read is shown only when exactly 768 bytes came back; a short or garbled reply
// is reported, never shown as if it were the unit's map.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

namespace tarnwell {

class Operator;

class MapView : public QWidget {
 public:
  explicit MapView(QWidget* parent = nullptr);
  void SetMap(const std::string& map) {
    map_ = map;
    update();
  }
  const std::string& Map() const { return map_; }
  QSize sizeHint() const override { return {32 * 10 + 1, 24 * 10 + 1}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string map_;
};

class AdvancedMapWindow : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMapColumns = 32;
  static constexpr int kMapRows = 24;
  static constexpr int kMapBytes = kMapColumns * kMapRows;

  struct UnitAccess {
    // ReadUnitMap: the 768 map bytes as characters, nothing when the reply was not 768.
    std::function<std::optional<std::string>()> readMap;
    // WriteUnitMap: all cells "1" (true) or "0" (false); false when nothing was sent.
    std::function<bool(bool ones)> writeMap;
    // frmCalcArea's query (QueryObjectArea); -1 when the unit gave no area.
    std::function<int()> queryArea;
  };

  AdvancedMapWindow(Operator& op, UnitAccess access, QWidget* parent = nullptr);

  void ReadMap();
  void WriteMap(bool ones);
  void OpenAreaCalculator();

  const MapView* View() const { return view_; }
  QLabel* StatusLabel() const { return lblMapStatus_; }

 private:
  Operator& operator_;
  UnitAccess access_;
  MapView* view_;
  QLabel* lblMapStatus_;
};

}  // namespace tarnwell
