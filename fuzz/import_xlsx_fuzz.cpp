// The .xlsx reader over any workbook. With a first byte of 0 the rest is the package's
// bytes as they are; otherwise the rest is split at NUL bytes into the shared strings
// and the sheet's XML, packed here into a sound zip package with libzip, so that the XML
// parts themselves are fuzzed rather than the package's checksums. A workbook that reads
// must give a whole EthoVision track or a problem, never a crash.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "import/formats/binary_track_formats.h"
#include "import/formats/xlsx_cells.h"

namespace {

std::string Package(const std::string& sharedStrings, const std::string& sheet) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_error_fini(&error);
  if (buffer == nullptr) return {};
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
  if (archive == nullptr) {
    zip_source_free(buffer);
    return {};
  }
  const std::string workbook =
      "<workbook xmlns:r=\"r\"><sheets><sheet name=\"T\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
  const std::string relations =
      "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>";
  const std::pair<const char*, const std::string*> parts[] = {{"xl/workbook.xml", &workbook},
                                                              {"xl/_rels/workbook.xml.rels", &relations},
                                                              {"xl/sharedStrings.xml", &sharedStrings},
                                                              {"xl/worksheets/sheet1.xml", &sheet}};
  for (const auto& [name, text] : parts) {
    zip_source_t* source = zip_source_buffer(archive, text->data(), text->size(), 0);
    if (source == nullptr || zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) < 0) zip_source_free(source);
  }
  std::string bytes;
  if (zip_close(archive) < 0) {
    zip_discard(archive);
  } else if (zip_source_open(buffer) == 0) {
    char chunk[4096];
    zip_int64_t got = 0;
    while ((got = zip_source_read(buffer, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<std::size_t>(got));
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  using tarnwell::fuzz::Check;
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string workbook;
  if (data[0] == 0) {
    workbook = rest;
  } else {
    const std::size_t split = rest.find('\0');
    workbook = Package(rest.substr(0, split), split == std::string::npos ? std::string() : rest.substr(split + 1));
  }
  CellTable rows;
  std::string error;
  const bool cells = ReadXlsxCells(workbook, rows, error);
  Check(cells == error.empty());
  for (std::size_t r = 1; cells && r < rows.size(); ++r) Check(rows[r].Line > rows[r - 1].Line);
  ImportedTrack track;
  track.SourceFile = "fuzz.xlsx";
  std::vector<ImportProblem> problems;
  const bool read = ReadBinaryTrackBytes(workbook, TrackFormat::EthoVisionXlsx, TrackReadOptions{}, track, problems);
  Check(read == problems.empty());
  if (read) Check(track.X.size() == track.Size() && track.Missing.size() == track.Size());
  return 0;
}
