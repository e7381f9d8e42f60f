// The subject table: the experiment's subject (trial) IDs as the operator types them into
// the setup screen's grid (grSubjID), kept between sessions in SUBJECTS.INI in the home
// folder. The run follows `ExperimentSetup::SubjectIDs`, which is always rebuilt from this
// table: empty cells close up, so subjects are numbered by their place in that list, not by
// their cell.
//
// Cell (row r, column c), both from 0, holds subject n = C x r + c + 1 and is shown as
// "n) ID". The table stores the IDs; the shown text is derived, so a cell's number never
// disagrees with its place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/operator.h"
#include "experiment/experiment_setup.h"

namespace tarnwell {

// The grid's column count C.
inline constexpr int kSubjectTableColumns = 4;
// IDs are stored (SUBJECTS.INI, the experiment record) with this many characters.
inline constexpr std::size_t kStoredSubjectIdLength = 8;

class SubjectTable {
 public:
  // Inline, so that holding a table (as Program does) needs nothing from this library.
  explicit SubjectTable(int columns = kSubjectTableColumns) : columns_(columns < 1 ? 1 : columns) { Clear(); }

  int Columns() const { return columns_; }
  int Rows() const { return static_cast<int>(cells_.size()) / columns_; }

  /// The subject number of a cell: C x row + column + 1.
  int SubjectNumber(int row, int column) const { return columns_ * row + column + 1; }
  /// The ID held by a cell (as committed, not trimmed); empty outside the table.
  const std::string& CellID(int row, int column) const;
  /// The text the grid shows: "n) ID", or empty for an empty cell.
  std::string CellText(int row, int column) const;

  /// One empty row (the grid keeps its column count).
  void Clear() { cells_.assign(static_cast<std::size_t>(columns_), std::string()); }
  /// Commits the entry box into a cell (trimmed; an empty entry empties it), growing the
  /// table by rows as needed. The entry is the ID as typed: the cell's own number prefix is
  /// added for showing only. Cells outside the columns are ignored.
  void CommitEntry(int row, int column, std::string_view entry);
  /// Empties every cell of the rectangle spanned by two corner cells, in either order.
  void ClearRectangle(int row1, int column1, int row2, int column2);
  /// Clears the table and fills the IDs in order, row by row.
  void Fill(const std::vector<std::string>& ids);

  /// The IDs of the non-empty cells, row by row, left to right, trimmed.
  std::vector<std::string> SubjectIDs() const;
  /// `experiment.SubjectIDs` and `SubjectCount` from the table.
  void RebuildSubjectIDs(ExperimentSetup& experiment) const;

  /// The clipboard text of a rectangle (either corner order): IDs without number prefixes,
  /// cells separated by tabs, rows by CR LF.
  std::string CopyRectangle(int row1, int column1, int row2, int column2) const;
  /// Pastes clipboard text (tabs between cells, line breaks between rows) with its first
  /// cell at (row, column); rows grow as needed, cells beyond the last column are dropped.
  void Paste(int row, int column, std::string_view text);

 private:
  int columns_;
  std::vector<std::string> cells_;  // row-major, Rows() x columns_
};

/// The ID part of a cell's text: a leading number prefix ("12) ") removed and the rest
/// trimmed. Only digits followed by ")" count as a prefix, so an ID such as "A)1" is kept
/// whole.
std::string StripNumberPrefix(std::string_view cellText);

/// SUBJECTS.INI's text: one line per non-empty cell, rows in order, within a row columns in
/// order: "Row r Col c = "ID"" (1-based), the ID cut to 8 characters, CR LF line ends. A
/// double quote in an ID is written as an apostrophe, as it could not be read back.
std::string FormatSubjectsIni(const SubjectTable& table);

/// The IDs SUBJECTS.INI names, in file order: each line's value (key-line rule) without a
/// number prefix; lines without a value name nobody. At most the 100 IDs an experiment
/// holds are taken; `more` (when given) tells whether the text named further IDs.
std::vector<std::string> ParseSubjectsIni(std::string_view text, bool* more = nullptr);

/// Why SUBJECTS.INI is no subject list (too large, binary bytes), or why not all of it was
/// taken (more than 100 IDs): a notice for the operator; empty when the list is read whole
/// or there is no file.
std::string SubjectsIniProblem(const std::filesystem::path& iniPath);

/// Writes SUBJECTS.INI as a whole (temporary file and rename). False, with nothing written,
/// when the file cannot be created.
bool SaveSubjectTable(const std::filesystem::path& iniPath, const SubjectTable& table);

/// Fills the table from SUBJECTS.INI: the values fill the cells in file order, row by row,
/// whatever row and column the lines name; then the experiment's IDs are rebuilt from the
/// table. A missing file leaves the table empty and the experiment's IDs untouched (false);
/// a file that is no subject list (SubjectsIniProblem) changes nothing (false).
bool LoadSubjectTable(const std::filesystem::path& iniPath, SubjectTable& table, ExperimentSetup& experiment);

/// Whether SUBJECTS.INI exists and names at least one ID.
bool SubjectsIniHoldsAnId(const std::filesystem::path& iniPath);

/// The three default subjects "Subj. 1", "Subj. 2", "Subj. 3" in row 1.
std::vector<std::string> DefaultSubjectIDs();

/// Start-up, after DEFAULT.CFG has been read: when SUBJECTS.INI is missing or names no ID,
/// it is written from the experiment's IDs, or with the three default subjects when there
/// are none (never over an existing list); then the table is loaded from it, so that the
/// experiment's IDs always come from the table. A file that is no subject list is left as
/// it is and the table is filled as for a missing one; `notice` (when given) then says so.
/// False when SUBJECTS.INI could not be written or read.
bool PrepareSubjectTableAtStartUp(const std::filesystem::path& iniPath, SubjectTable& table,
                                  ExperimentSetup& experiment, std::string* notice = nullptr);

/// The message shown instead of editing while the IDs are locked.
void ShowSubjectEditLockedMessage(Operator& op);

/// The status grid (picSubjIds): one cell per subject, its text led by a state letter that
/// selects the colour. State 0 "G" (grey text), 1 "B" (blue), 2 "W" (window text); other
/// states are shown as "W".
enum class StatusGridColour { GreyText, Blue, WindowText };
char StatusGridLetter(int state);
StatusGridColour StatusGridColourOf(char letter);
/// Letter, subject number, ") " and ID: "B3) RAT3".
std::string StatusGridCellText(int state, int subjectNumber, std::string_view id);

}  // namespace tarnwell
