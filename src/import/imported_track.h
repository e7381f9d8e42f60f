// Tracks recorded by another tracker, as read from its export: the common form every
// format reader produces, before anything is resampled or converted into the unit's grid.
//
// A reader never guesses a position: a cell the tracker left empty (or marked "-", "NA",
// a DeepLabCut likelihood below the threshold) is a missing sample, and a cell that is
// neither a number nor a missing mark is a problem, reported with its file and line.
// Problems are collected as data so that the command line and the Study screen show them
// in their own way, and so that one bad file stops an import before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

enum class TrackFormat { EthoVisionText, EthoVisionXlsx, AnyMaze, DeepLabCutCsv, DeepLabCutHdf5, PlainCsv };

/// "ethovision", "ethovision-xlsx", "anymaze", "dlc-csv", "dlc-h5", "csv".
std::string_view TrackFormatName(TrackFormat format);
/// A format from its name (as above; "dlc" means the CSV form), false for none.
bool ParseTrackFormat(std::string_view text, TrackFormat& format);
/// The format a file name suggests: .xlsx EthoVision, .h5/.hdf5 DeepLabCut; otherwise
/// the text's first line decides (EthoVision's "Number of header lines", DeepLabCut's
/// "scorer", ANY-maze's "Centre position"), else a plain CSV.
TrackFormat GuessTrackFormat(std::string_view fileName, std::string_view firstBytes);

enum class TrackUnit { Centimetres, Pixels };

/// A problem found in an input: the file, the 1-based line (0: the file as a whole) and
/// what is wrong, in words a lab user can act on.
struct ImportProblem {
  std::string File;
  int Line = 0;
  std::string Detail;
  friend bool operator==(const ImportProblem&, const ImportProblem&) = default;
};
/// "RAT1.csv line 12: ..." or "RAT1.csv: ...".
std::string DescribeImportProblem(const ImportProblem& problem);

/// One trial as another tracker recorded it.
struct ImportedTrack {
  std::string SourceFile;  ///< the file as named on the command line
  TrackFormat Format = TrackFormat::PlainCsv;
  std::string BodyPart;    ///< DeepLabCut: the part or parts used ("nose" or "nose+tail")
  std::string Checksum;    ///< SHA-256 of the whole file, hexadecimal
  std::string Subject;     ///< the animal the file's own header names, if any
  TrackUnit Unit = TrackUnit::Centimetres;
  bool YUp = true;          ///< y grows upward (a plotted cm frame) rather than down (a picture)
  std::vector<double> Time;  ///< seconds, strictly increasing
  std::vector<double> X;
  std::vector<double> Y;
  std::vector<bool> Missing;  ///< no position at this instant
  std::vector<int> Line;      ///< the source line (or row) of each sample
  std::size_t Size() const { return Time.size(); }
};

/// The cells of a spreadsheet or a delimited text, row by row, each with the line (or
/// spreadsheet row) it came from.
struct CellRow {
  int Line = 0;
  std::vector<std::string> Cells;
};
using CellTable = std::vector<CellRow>;

/// Splits a delimited text into rows: `separator` outside double quotes, quoted cells
/// unquoted ("" inside is one quote), CR LF or LF line ends, a UTF-8 byte-order mark
/// dropped. Blank lines are kept as rows without cells, so line numbers stay true.
CellTable SplitDelimitedText(std::string_view text, char separator);
/// The separator of a delimited text: whichever of tab, ";" and "," occurs most often
/// outside quotes in its first line (a "," when none does).
char DetectSeparator(std::string_view text);

/// True for text that is not a tracker's text export: NUL bytes or invalid UTF-8-like
/// control bytes in its first kilobytes (a video, an .xlsx given as text, a raw file).
bool LooksBinary(std::string_view bytes);

/// A number written by a tracker: blanks around it allowed, a decimal "," accepted
/// when it is the only separator in the cell. False for anything else.
bool ParseCellNumber(std::string_view cell, double& value);
/// Empty, "-", "NA", "NaN", "null" (any case, blanks around): the tracker saw nothing.
bool IsMissingCell(std::string_view cell);
/// A time cell: seconds ("12.5") or h:mm:ss(.fff) / mm:ss(.fff) as ANY-maze writes it.
bool ParseTimeCell(std::string_view cell, double& seconds);

}  // namespace tarnwell
