// How a study's strategy calls agree with a lab's own judges: the labels sheet (header
// `raw_file,label`, one row per judged track, the label a class or a family name), the
// confusion table of the judges' labels against the calls, the share of agreement and
// Cohen's kappa, over classes (tracks labelled with a class) and over families (every
// labelled track). Labs check the thresholds against their own judges with it.
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "study/search_strategy.h"
#include "study/study_sheet.h"

namespace tarnwell {

/// One judged track: a class (0..8) or a family (100 + StrategyFamily).
struct StrategyLabel {
  int Line = 0;
  std::string RawFile;  ///< as written in the sheet
  int Label = 0;
};

/// Reads a labels sheet ("," or ";" between fields, any column order, more columns
/// ignored). Every problem is collected with its line: a missing column, an empty file
/// name, a label that names no class or family, a track labelled twice.
bool ParseStrategyLabels(std::string_view text, std::vector<StrategyLabel>& labels,
                         std::vector<SheetProblem>& problems);

/// Whether a labels sheet's raw_file names `trialFile`: its last folders and name are
/// those of the trial's file (case ignored, "/" or "\\" between them).
bool LabelNamesRawFile(std::string_view labelFile, const std::filesystem::path& trialFile);

/// Confusion of judged labels (rows) and calls (columns).
class StrategyAgreement {
 public:
  /// One judged track and the class it was called.
  void Add(int label, SearchStrategy call);

  int ClassTracks() const;   ///< tracks labelled with a class
  int FamilyTracks() const;  ///< every labelled track
  double ClassAgreement() const;
  double FamilyAgreement() const;
  double ClassKappa() const;
  double FamilyKappa() const;
  int Unclassified() const;  ///< tracks called unclassified

  /// The tables and figures as text (what `study --labels` prints).
  std::string Text() const;

  std::array<std::array<int, kSearchStrategyCount>, kSearchStrategyCount> Classes{};   ///< [label][call]
  std::array<std::array<int, kStrategyFamilyCount>, kStrategyFamilyCount> Families{};  ///< [label][call]
};

/// Cohen's kappa of a square confusion table (rows: one judge, columns: the other); 0
/// for an empty table, 1 when both agree on everything, even on a single class.
template <size_t N>
double CohensKappa(const std::array<std::array<int, N>, N>& table);

}  // namespace tarnwell
