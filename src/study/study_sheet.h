// The study sheet: the lab's own list of which recorded trials make up a study and what
// each one is (which animal, group, day and trial, and what kind of trial). It is a CSV
// file written in any spreadsheet, so it is read the way spreadsheets write it: "," or
// ";" between fields (a German spreadsheet writes ";"), fields in double quotes with
// doubled quotes inside, CR LF or LF line ends, a UTF-8 byte-order mark at the start.
//
// Columns, in any order, named in a header row (case and blanks around names do not
// matter): file, animal, group, day, trial, kind, goal, previous_goal. file, group, day
// and kind are required (a group cell may be left empty where the animals sheet or the
// experiment's trial list gives the group). A row names either one raw file (WEEK102.RAW: one trial, the
// animal is required) or an experiment's data file (WEEK1.EXP: every numbered raw file
// of it, each subject's ID as the animal unless the row names one).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

enum class TrialKind { Acquisition, Probe, Reversal, Visible };

/// "acquisition", "probe", "reversal", "visible".
std::string_view TrialKindName(TrialKind kind);
/// A kind from its name, without regard to case or surrounding blanks.
std::optional<TrialKind> ParseTrialKind(std::string_view text);

struct StudySheetRow {
  int Line = 0;                ///< 1-based line of the sheet the row starts on
  std::string FileText;        ///< the file as written in the sheet
  std::filesystem::path File;  ///< resolved against the sheet's folder
  bool IsRawFile = false;      ///< a numbered raw file (one trial) rather than an experiment
  std::string Animal;          ///< may be empty on an experiment row
  std::string Group;
  int Day = 0;
  int Trial = 0;  ///< 0 when the sheet gives none
  TrialKind Kind = TrialKind::Acquisition;
  int Goal = 0;          ///< platform 1..4; 0 when the sheet gives none
  int PreviousGoal = 0;  ///< reversal: the goal before the reversal; 0 when not given
};

/// A problem of a sheet, with the line it was found on (0 for the file as a whole).
struct SheetProblem {
  int Line = 0;
  std::string Text;
  friend bool operator==(const SheetProblem&, const SheetProblem&) = default;
};

/// "STUDY.CSV line 4: no file WEEK102.RAW" (or "STUDY.CSV: ..." for line 0).
std::string DescribeSheetProblem(const std::filesystem::path& sheet, const SheetProblem& problem);

struct StudySheet {
  std::filesystem::path File;
  std::vector<StudySheetRow> Rows;
};

/// The records of a CSV text: fields split at `separator` outside double quotes, quoted
/// fields unquoted ("" inside stands for one quote, a line break inside is kept), each
/// record with the 1-based line it starts on. A leading UTF-8 byte-order mark is dropped.
struct CsvRecord {
  int Line = 0;
  std::vector<std::string> Fields;
};
std::vector<CsvRecord> ParseCsvRecords(std::string_view text, char separator);

/// The separator of a spreadsheet's CSV: ";" when the header line has more semicolons
/// than commas outside quotes, else ",".
char DetectCsvSeparator(std::string_view text);

/// Reads a sheet from its text; relative file names are taken from `folder`. Every
/// problem is collected (missing files, unknown columns, values that are not numbers, an
/// animal in two groups); false when there was any.
bool ParseStudySheet(std::string_view text, const std::filesystem::path& folder, StudySheet& sheet,
                     std::vector<SheetProblem>& problems);

/// The same from a file (its folder resolves relative names).
bool ReadStudySheet(const std::filesystem::path& file, StudySheet& sheet,
                    std::vector<SheetProblem>& problems);

/// The animals sheet: each animal's group and the lab's other variables (sex, treatment,
/// genotype ...), one row per animal, header `animal,group,...` ("," or ";"). The group
/// it gives wins over the study sheet's row (an experiment row holds WT and KO mice
/// alike); the other columns are carried into trials.csv by their names.
struct AnimalsSheet {
  struct Animal {
    int Line = 0;
    std::string Group;
    std::vector<std::string> Values;  ///< in the order of Variables
  };
  std::vector<std::string> Variables;  ///< the other columns' names, lower case
  std::map<std::string, Animal, std::less<>> Animals;
};

/// Reads an animals sheet; every problem is collected with its line (a missing animal or
/// group column, a column named twice or named as a study column, an animal listed twice,
/// a row without its group).
bool ParseAnimalsSheet(std::string_view text, AnimalsSheet& animals, std::vector<SheetProblem>& problems);
bool ReadAnimalsSheet(const std::filesystem::path& file, AnimalsSheet& animals,
                      std::vector<SheetProblem>& problems);

}  // namespace tarnwell
