// DeepLabCut's HDF5 output, read through libhdf5: the pandas "table" layout that
// DeepLabCut writes (group "df_with_missing", dataset "table" of rows {index,
// values_block_0[3 × parts]}). The column labels (scorer, body part, coordinate) are kept
// by pandas as a pickled Python list in the attribute "non_index_axes" (and the table's
// "values_block_0_kind"); only the labels' strings are taken from it, in order. Columns
// come in DeepLabCut's fixed order x, y, likelihood per body part.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/track_readers.h"

namespace tarnwell {

/// Reads the frames of a DeepLabCut HDF5 file (a path: libhdf5 opens files). False with
/// `error` set when the file is not HDF5 or has not the layout above. Body parts the
/// labels do not name are called "part1", "part2" ...
bool ReadDeepLabCutHdf5(const std::string& file, DeepLabCutFrames& frames, std::string& error);

/// The same from bytes held in memory (an HDF5 file image).
bool ReadDeepLabCutHdf5Image(std::string_view bytes, DeepLabCutFrames& frames, std::string& error);

/// The strings of a pickled Python object (unicode and byte strings, protocols 0 to 5),
/// each once, in the order they first appear. Memo references are not followed: a label
/// used again is not repeated, which is what the column order needs.
std::vector<std::string> PickledStrings(std::string_view pickle);

}  // namespace tarnwell
