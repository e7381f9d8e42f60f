// Small exports of the trackers, written here as each tool documents its format, for one
// swim that is easy to work out by hand:
//
//   the pool: centre (0, 0), radius 75 cm; the goal (30, 0), radius 5 cm;
//   the animal starts at (-60, 0) and swims east at 30 cm/s, so at 30 samples a second
//   it moves 1 cm a sample; on a grid of 75 units for the pool's radius (1 unit = 1 cm)
//   stored x = 67 + i, y = 95. The first position on the platform (x >= 152, 5 cm from
//   its centre at 157) is sample 85: latency 85 samples = 2.833 s; the path to there is
//   84 cm (the analysis steps 2 units at a time from 67 to 151).
#pragma once

#include <zip.h>

#include <hdf5.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/file_access.h"
#include "import/imported_track.h"

namespace tarnwell::test {

inline std::string Num(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4f", v);
  return buffer;
}

/// Samples of the swim at `rate` per second for `seconds`.
inline std::vector<std::pair<double, double>> SwimSamples(double rate, double seconds) {
  std::vector<std::pair<double, double>> samples;
  for (int i = 0; i / rate <= seconds + 1e-9; ++i) {
    const double t = i / rate;
    samples.emplace_back(t, -60.0 + 30.0 * t);
  }
  return samples;
}

/// EthoVision XT text export: ";"-separated quoted cells, a header block of 6 lines
/// whose last two are the names and the units; "-" where the animal was not found.
/// `missingRows` lists sample numbers without a position.
inline std::string EthoVisionText(double rate, double seconds, const std::vector<int>& missingRows = {},
                                  const std::string& animal = "Rat 7") {
  std::string text =
      "\"Number of header lines:\";\"6\"\r\n"
      "\"Experiment\";\"Reversal 2024\"\r\n"
      "\"Animal ID\";\"" + animal + "\"\r\n"
      "\"Arena name\";\"Arena 1\"\r\n"
      "\"Trial time\";\"Recording time\";\"X center\";\"Y center\";\"Area\"\r\n"
      "\"s\";\"s\";\"cm\";\"cm\";\"cm²\"\r\n";
  const auto samples = SwimSamples(rate, seconds);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const bool missing = std::find(missingRows.begin(), missingRows.end(), static_cast<int>(i)) != missingRows.end();
    const std::string x = missing ? "\"-\"" : "\"" + Num(samples[i].second) + "\"";
    const std::string y = missing ? "\"-\"" : "\"0\"";
    text += "\"" + Num(samples[i].first) + "\";\"" + Num(samples[i].first + 10) + "\";" + x + ";" + y + ";\"12.5\"\r\n";
  }
  return text;
}

/// ANY-maze CSV: times as h:mm:ss.s (a swim under a minute), centre position in cm.
inline std::string AnyMazeText(double rate, double seconds) {
  std::string text = "Time,Centre position X,Centre position Y,In zone\n";
  for (const auto& [t, x] : SwimSamples(rate, seconds)) text += "0:00:" + Num(t) + "," + Num(x) + ",0,0\n";
  return text;
}

/// The swim's DeepLabCut frames: two body parts (nose 2 px ahead, tail 2 px behind); pixels,
/// y down, the pool's centre at (320, 240) with a radius of 75 px. Frames listed in
/// `lowLikelihood` have a nose likelihood of 0.2.
inline std::vector<std::vector<double>> DeepLabCutFramesOf(double rate, double seconds,
                                                           const std::vector<int>& lowLikelihood = {}) {
  std::vector<std::vector<double>> frames;
  const auto samples = SwimSamples(rate, seconds);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double x = 320 + samples[i].second;
    const bool low = std::find(lowLikelihood.begin(), lowLikelihood.end(), static_cast<int>(i)) != lowLikelihood.end();
    frames.push_back({x + 2, 240, low ? 0.2 : 0.99, x - 2, 240, 0.97});
  }
  return frames;
}

/// The same frames as DeepLabCut's CSV: three header rows, then the frame number and its values.
inline std::string DeepLabCutText(double rate, double seconds, const std::vector<int>& lowLikelihood = {}) {
  std::string text = "scorer";
  for (int c = 0; c < 6; ++c) text += ",DLC_resnet50_mwmJan1shuffle1_100000";
  text += "\nbodyparts,nose,nose,nose,tail,tail,tail\ncoords,x,y,likelihood,x,y,likelihood\n";
  const auto frames = DeepLabCutFramesOf(rate, seconds, lowLikelihood);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    text += std::to_string(i);
    for (double v : frames[i]) text += "," + Num(v);
    text += "\n";
  }
  return text;
}

/// A plain CSV in cm.
inline std::string PlainText(double rate, double seconds) {
  std::string text = "time_s,x_cm,y_cm\n";
  for (const auto& [t, x] : SwimSamples(rate, seconds)) text += Num(t) + "," + Num(x) + ",0\n";
  return text;
}

// ---- .xlsx: a minimal workbook as a spreadsheet writes it, strings shared ----

/// The workbook's bytes: every cell that reads as a number is stored as one, every other
/// cell through the shared-strings table (none needs escaping), an empty cell left out.
/// `absoluteTarget`: the sheet named from the package's root ("/xl/worksheets/..."), as
/// some writers do.
inline std::string XlsxWorkbook(const std::vector<std::vector<std::string>>& rows,
                                const std::filesystem::path& scratch, bool absoluteTarget = false) {
  std::vector<std::string> shared;
  std::map<std::string, std::size_t> index;
  std::string sheet =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    sheet += "<row r=\"" + std::to_string(r + 1) + "\">";
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const std::string& cell = rows[r][c];
      if (cell.empty()) continue;
      const std::string ref = static_cast<char>('A' + c) + std::to_string(r + 1);  // up to 26 columns
      char* end = nullptr;
      std::strtod(cell.c_str(), &end);
      if (*end == '\0') {
        sheet += "<c r=\"" + ref + "\"><v>" + cell + "</v></c>";
      } else {
        if (!index.count(cell)) {
          index[cell] = shared.size();
          shared.push_back(cell);
        }
        sheet += "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(index[cell]) + "</v></c>";
      }
    }
    sheet += "</row>";
  }
  sheet += "</sheetData></worksheet>";
  std::string strings = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"" +
                        std::to_string(shared.size()) + "\" uniqueCount=\"" + std::to_string(shared.size()) + "\">";
  for (const std::string& s : shared) strings += "<si><t>" + s + "</t></si>";
  strings += "</sst>";
  const std::map<std::string, std::string> parts = {
      {"xl/workbook.xml",
       "<?xml version=\"1.0\"?><workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
       "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
       "<sheet name=\"Track-Arena 1-Subject 1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
       "worksheet\" Target=\"" + std::string(absoluteTarget ? "/xl/" : "") + "worksheets/trackSheet.xml\"/></Relationships>"},
      {"xl/worksheets/trackSheet.xml", sheet},
      {"xl/sharedStrings.xml", strings},
  };
  const std::filesystem::path file = scratch / "workbook.zip";
  std::filesystem::remove(file);
  int error = 0;
  zip_t* archive = zip_open(file.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  for (const auto& [name, contents] : parts) {
    zip_source_t* source = zip_source_buffer(archive, contents.data(), contents.size(), 0);
    zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
  }
  zip_close(archive);  // writes the package while the part texts still live
  std::string bytes;
  ReadWholeFile(file, bytes);
  return bytes;
}

/// The EthoVision text export's cells (";"-separated, quotes dropped) as workbook rows.
inline std::vector<std::vector<std::string>> CellsOf(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  for (CellRow& row : SplitDelimitedText(text, ';')) rows.push_back(std::move(row.Cells));
  return rows;
}

// ---- HDF5: DeepLabCut's file as pandas writes it (format "table") ----

/// A protocol-2 pickle of [(1, [(scorer, part, coord), ...])], as pandas keeps the
/// column labels in "non_index_axes": strings once, then by memo reference.
inline std::string PickledColumnLabels(const std::string& scorer, const std::vector<std::string>& parts) {
  std::string p("\x80\x02]q\x00(K\x01]q\x01(", 12);
  std::map<std::string, int> memo;
  int next = 2;
  auto str = [&](const std::string& s) {
    if (memo.count(s)) {
      p += 'h';
      p += static_cast<char>(memo[s]);
      return;
    }
    p += 'X';
    const uint32_t n = static_cast<uint32_t>(s.size());
    for (int k = 0; k < 4; ++k) p += static_cast<char>((n >> (8 * k)) & 0xff);
    p += s;
    p += 'q';
    p += static_cast<char>(next);
    memo[s] = next++;
  };
  for (const std::string& part : parts) {
    for (const char* coord : {"x", "y", "likelihood"}) {
      str(scorer);
      str(part);
      str(coord);
      p += "\x87q";
      p += static_cast<char>(next++);
    }
  }
  p += "e\x86q";
  p += static_cast<char>(next++);
  p += "a.";
  return p;
}

inline void WriteStringAttribute(hid_t object, const char* name, const std::string& value) {
  const hid_t type = H5Tcopy(H5T_C_S1);
  H5Tset_size(type, value.empty() ? 1 : value.size());
  H5Tset_strpad(type, H5T_STR_NULLPAD);
  const hid_t space = H5Screate(H5S_SCALAR);
  const hid_t attribute = H5Acreate2(object, name, type, space, H5P_DEFAULT, H5P_DEFAULT);
  H5Awrite(attribute, type, value.data());
  H5Aclose(attribute);
  H5Sclose(space);
  H5Tclose(type);
}

/// Writes DeepLabCut's HDF5 file: group "df_with_missing" with pandas' column labels, its
/// dataset "table" of rows {index int64, values_block_0 float64[3 × parts]}. (pandas' other
/// attributes, which the reader does not look at, are left out.)
inline void WriteDeepLabCutHdf5(const std::filesystem::path& file, const std::vector<std::string>& parts,
                                const std::vector<std::vector<double>>& frames, bool withLabels = true) {
  const hid_t h5 = H5Fcreate(file.string().c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  const hid_t group = H5Gcreate2(h5, "df_with_missing", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  if (withLabels)
    WriteStringAttribute(group, "non_index_axes", PickledColumnLabels("DLC_resnet50_mwmJan1shuffle1_100000", parts));
  const hsize_t columns = 3 * parts.size();
  const hid_t array = H5Tarray_create2(H5T_IEEE_F64LE, 1, &columns);
  const std::size_t rowSize = 8 + 8 * columns;
  const hid_t row = H5Tcreate(H5T_COMPOUND, rowSize);
  H5Tinsert(row, "index", 0, H5T_STD_I64LE);
  H5Tinsert(row, "values_block_0", 8, array);
  const hsize_t count = frames.size();
  const hid_t space = H5Screate_simple(1, &count, nullptr);
  const hid_t dataset = H5Dcreate2(group, "table", row, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  std::vector<unsigned char> bytes(rowSize * frames.size());
  for (std::size_t f = 0; f < frames.size(); ++f) {
    const int64_t index = static_cast<int64_t>(f);
    std::memcpy(&bytes[f * rowSize], &index, 8);
    for (std::size_t c = 0; c < columns && c < frames[f].size(); ++c)
      std::memcpy(&bytes[f * rowSize + 8 + 8 * c], &frames[f][c], 8);
  }
  // Memory layout equals the file's on a little-endian machine.
  if (count > 0) H5Dwrite(dataset, row, H5S_ALL, H5S_ALL, H5P_DEFAULT, bytes.data());
  H5Dclose(dataset);
  H5Sclose(space);
  H5Tclose(row);
  H5Tclose(array);
  H5Gclose(group);
  H5Fclose(h5);
}

}  // namespace tarnwell::test
