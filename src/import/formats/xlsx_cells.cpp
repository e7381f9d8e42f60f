#include "import/formats/xlsx_cells.h"

#include <expat.h>
#include <zip.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace tarnwell {

namespace {

// A workbook part larger than this is refused: a real export of one trial is a few
// megabytes, a "zip bomb" would be gigabytes.
constexpr zip_uint64_t kLargestPart = 256u * 1024u * 1024u;
// Rows and columns beyond these are not a trial's track.
constexpr long kLargestRow = 2'000'000;
constexpr long kLargestColumn = 16384;

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};

bool ReadPart(zip_t* archive, const std::string& name, std::string& contents, std::string& error) {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat(archive, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
    error = "the workbook has no part " + name;
    return false;
  }
  if (stat.size > kLargestPart) {
    error = "the workbook part " + name + " is too large";
    return false;
  }
  zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
  if (file == nullptr) {
    error = "the workbook part " + name + " cannot be opened";
    return false;
  }
  contents.assign(static_cast<std::size_t>(stat.size), '\0');
  const zip_int64_t got = contents.empty() ? 0 : zip_fread(file, contents.data(), stat.size);
  zip_fclose(file);
  if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size) {
    error = "the workbook part " + name + " is damaged";
    return false;
  }
  return true;
}

// The element's local name (without a namespace prefix).
std::string_view LocalName(const XML_Char* name) {
  std::string_view n(name);
  const std::size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const XML_Char* Attribute(const XML_Char** attributes, std::string_view wanted) {
  for (int i = 0; attributes[i] != nullptr; i += 2) {
    if (LocalName(attributes[i]) == wanted) return attributes[i + 1];
  }
  return nullptr;
}

// Runs expat over a part with the handlers of `State` (OnStart, OnEnd, OnText).
template <typename State>
bool ParseXml(const std::string& text, State& state, const std::string& part, std::string& error) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) {
    error = "out of memory";
    return false;
  }
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(
      parser,
      [](void* data, const XML_Char* name, const XML_Char** attributes) {
        static_cast<State*>(data)->OnStart(LocalName(name), attributes);
      },
      [](void* data, const XML_Char* name) { static_cast<State*>(data)->OnEnd(LocalName(name)); });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* s, int length) {
    static_cast<State*>(data)->OnText(std::string_view(s, static_cast<std::size_t>(length)));
  });
  const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK;
  if (!ok) {
    error = "the workbook part " + part + " is not well-formed XML (line " +
            std::to_string(XML_GetCurrentLineNumber(parser)) + ": " + XML_ErrorString(XML_GetErrorCode(parser)) + ")";
  } else if (!state.error.empty()) {
    error = "the workbook part " + part + ": " + state.error;
  }
  XML_ParserFree(parser);
  return ok && state.error.empty();
}

struct SharedStrings {
  std::vector<std::string> strings;
  std::string current;
  bool inItem = false, inText = false, inPhonetic = false;
  std::string error;
  void OnStart(std::string_view name, const XML_Char**) {
    if (name == "si") {
      inItem = true;
      current.clear();
    } else if (name == "rPh") {
      inPhonetic = true;  // the reading aid of East Asian text is not part of the value
    } else if (name == "t" && inItem && !inPhonetic) {
      inText = true;
    }
  }
  void OnEnd(std::string_view name) {
    if (name == "si") {
      strings.push_back(current);
      inItem = false;
    } else if (name == "rPh") {
      inPhonetic = false;
    } else if (name == "t") {
      inText = false;
    }
  }
  void OnText(std::string_view s) {
    if (inText) current.append(s);
  }
};

struct Relations {
  std::map<std::string, std::string> targets;
  std::string error;
  void OnStart(std::string_view name, const XML_Char** attributes) {
    if (name != "Relationship") return;
    const XML_Char* id = Attribute(attributes, "Id");
    const XML_Char* target = Attribute(attributes, "Target");
    if (id && target) targets[id] = target;
  }
  void OnEnd(std::string_view) {}
  void OnText(std::string_view) {}
};

struct Workbook {
  std::string firstSheetRelation;
  std::string error;
  void OnStart(std::string_view name, const XML_Char** attributes) {
    if (name != "sheet" || !firstSheetRelation.empty()) return;
    if (const XML_Char* id = Attribute(attributes, "id")) firstSheetRelation = id;
  }
  void OnEnd(std::string_view) {}
  void OnText(std::string_view) {}
};

// "BC12" -> column 54 (0-based 54), row 12.
bool ParseCellReference(std::string_view ref, long& column, long& row) {
  column = 0;
  std::size_t i = 0;
  while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z') {
    column = column * 26 + (ref[i] - 'A' + 1);
    if (column > kLargestColumn) return false;
    ++i;
  }
  if (i == 0 || i == ref.size()) return false;
  row = 0;
  for (; i < ref.size(); ++i) {
    if (ref[i] < '0' || ref[i] > '9') return false;
    row = row * 10 + (ref[i] - '0');
    if (row > kLargestRow) return false;
  }
  column -= 1;
  return row >= 1;
}

struct Sheet {
  const std::vector<std::string>* shared = nullptr;
  CellTable rows;
  long rowNumber = 0;
  long column = 0;
  std::string type;
  std::string value;
  bool inValue = false, inCell = false;
  std::string error;
  void OnStart(std::string_view name, const XML_Char** attributes) {
    if (!error.empty()) return;
    if (name == "row") {
      long number = rowNumber + 1;
      if (const XML_Char* r = Attribute(attributes, "r")) {
        number = std::strtol(r, nullptr, 10);
      }
      if (number <= rowNumber || number > kLargestRow) {
        error = "row numbers out of order";
        return;
      }
      rowNumber = number;
      rows.push_back(CellRow{static_cast<int>(rowNumber), {}});
      column = 0;
    } else if (name == "c") {
      if (rows.empty()) {
        error = "a cell outside a row";
        return;
      }
      inCell = true;
      value.clear();
      const XML_Char* t = Attribute(attributes, "t");
      type = t ? t : "n";
      if (const XML_Char* r = Attribute(attributes, "r")) {
        long row = 0;
        if (!ParseCellReference(r, column, row) || row != rowNumber) {
          error = std::string("the cell reference ") + r + " does not belong to row " + std::to_string(rowNumber);
          return;
        }
      }
    } else if ((name == "v" || name == "t") && inCell) {
      inValue = true;
    }
  }
  void OnEnd(std::string_view name) {
    if (!error.empty()) return;
    if (name == "v" || name == "t") {
      inValue = false;
    } else if (name == "c" && inCell) {
      inCell = false;
      std::string text = value;
      if (type == "s") {
        char* end = nullptr;
        const long index = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || index < 0 || static_cast<std::size_t>(index) >= shared->size()) {
          error = "the shared string " + value + " does not exist";
          return;
        }
        text = (*shared)[static_cast<std::size_t>(index)];
      } else if (type == "e") {
        text = value;  // "#N/A" and the like: not a number, reported by the reader
      }
      std::vector<std::string>& cells = rows.back().Cells;
      if (column < static_cast<long>(cells.size())) {
        error = "two cells in one place";
        return;
      }
      cells.resize(static_cast<std::size_t>(column));
      cells.push_back(std::move(text));
      column += 1;
    }
  }
  void OnText(std::string_view s) {
    if (inValue) value.append(s);
  }
};

std::string SheetPart(const std::string& target) {
  // Targets are relative to xl/ unless they begin with "/".
  if (!target.empty() && target.front() == '/') return target.substr(1);
  return "xl/" + target;
}

}  // namespace

bool ReadXlsxCells(std::string_view bytes, CellTable& rows, std::string& error) {
  rows.clear();
  zip_error_t zipError;
  zip_error_init(&zipError);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
  if (source == nullptr) {
    error = "out of memory";
    zip_error_fini(&zipError);
    return false;
  }
  std::unique_ptr<zip_t, ZipCloser> archive(zip_open_from_source(source, ZIP_RDONLY, &zipError));
  if (!archive) {
    zip_source_free(source);
    zip_error_fini(&zipError);
    error = "this is not an .xlsx workbook (not a zip package)";
    return false;
  }
  zip_error_fini(&zipError);

  // The first sheet as the workbook lists it; sheet1.xml when the workbook names none.
  std::string sheetPart = "xl/worksheets/sheet1.xml";
  std::string text;
  if (!ReadPart(archive.get(), "xl/workbook.xml", text, error)) return false;
  Workbook workbook;
  if (!ParseXml(text, workbook, "xl/workbook.xml", error)) return false;
  std::string relationsText;
  std::string ignored;
  if (!workbook.firstSheetRelation.empty() &&
      ReadPart(archive.get(), "xl/_rels/workbook.xml.rels", relationsText, ignored)) {
    Relations relations;
    if (!ParseXml(relationsText, relations, "xl/_rels/workbook.xml.rels", error)) return false;
    const auto it = relations.targets.find(workbook.firstSheetRelation);
    if (it != relations.targets.end()) sheetPart = SheetPart(it->second);
  }

  SharedStrings shared;
  if (zip_name_locate(archive.get(), "xl/sharedStrings.xml", 0) >= 0) {
    if (!ReadPart(archive.get(), "xl/sharedStrings.xml", text, error)) return false;
    if (!ParseXml(text, shared, "xl/sharedStrings.xml", error)) return false;
  }
  if (!ReadPart(archive.get(), sheetPart, text, error)) return false;
  Sheet sheet;
  sheet.shared = &shared.strings;
  if (!ParseXml(text, sheet, sheetPart, error)) return false;
  rows = std::move(sheet.rows);
  return true;
}

}  // namespace tarnwell
