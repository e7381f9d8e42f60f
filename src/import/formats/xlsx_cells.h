// The cells of an .xlsx workbook's first sheet, read through libzip (the package) and
// expat (its XML parts): shared strings, inline strings, numbers as written, each row
// with its spreadsheet row number so that problems name the row a user sees.
#pragma once

#include <string>
#include <string_view>

#include "import/imported_track.h"

namespace tarnwell {

/// Reads the first worksheet of an .xlsx held in `bytes`. False with `error` set when the
/// bytes are not a workbook or a part is malformed. Cells missing from a row are empty.
bool ReadXlsxCells(std::string_view bytes, CellTable& rows, std::string& error);

}  // namespace tarnwell
