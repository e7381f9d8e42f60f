#include "import/formats/dlc_hdf5.h"

#include <hdf5.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tarnwell {

namespace {

// A frame count beyond this is no trial (about 15 hours at 60 frames a second).
constexpr hsize_t kLargestFrames = 4'000'000;
constexpr hsize_t kLargestColumns = 3 * 1000;

// Closes an HDF5 handle of any kind when it goes out of scope.
class Handle {
 public:
  Handle(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
  ~Handle() {
    if (id_ >= 0) close_(id_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  hid_t get() const { return id_; }
  bool ok() const { return id_ >= 0; }

 private:
  hid_t id_;
  herr_t (*close_)(hid_t);
};

void SilenceHdf5Errors() {
  // The library prints every failed call to standard error by default; a file that is
  // not HDF5 is an expected answer here, reported by our own message.
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
}

// The raw bytes of an attribute (a pickled label list), or empty.
std::string AttributeBytes(hid_t object, const char* name) {
  if (H5Aexists(object, name) <= 0) return {};
  Handle attribute(H5Aopen(object, name, H5P_DEFAULT), H5Aclose);
  if (!attribute.ok()) return {};
  Handle type(H5Aget_type(attribute.get()), H5Tclose);
  if (!type.ok() || H5Tget_class(type.get()) != H5T_STRING || H5Tis_variable_str(type.get()) > 0) return {};
  const hsize_t size = H5Aget_storage_size(attribute.get());
  if (size == 0 || size > (64u << 20)) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (H5Aread(attribute.get(), type.get(), bytes.data()) < 0) return {};
  return bytes;
}

bool ReadOpenFile(hid_t file, DeepLabCutFrames& frames, std::string& error) {
  if (H5Lexists(file, "df_with_missing", H5P_DEFAULT) <= 0) {
    error = "no group \"df_with_missing\": not a DeepLabCut HDF5 file";
    return false;
  }
  Handle group(H5Gopen2(file, "df_with_missing", H5P_DEFAULT), H5Gclose);
  if (!group.ok() || H5Lexists(group.get(), "table", H5P_DEFAULT) <= 0) {
    error = "the group \"df_with_missing\" has no table (DeepLabCut writes pandas' table layout)";
    return false;
  }
  Handle dataset(H5Dopen2(group.get(), "table", H5P_DEFAULT), H5Dclose);
  if (!dataset.ok()) {
    error = "the table cannot be opened";
    return false;
  }
  Handle fileType(H5Dget_type(dataset.get()), H5Tclose);
  if (!fileType.ok() || H5Tget_class(fileType.get()) != H5T_COMPOUND) {
    error = "the table is not a table of rows";
    return false;
  }
  const int member = H5Tget_member_index(fileType.get(), "values_block_0");
  if (member < 0) {
    error = "the table has no column block \"values_block_0\"";
    return false;
  }
  Handle memberType(H5Tget_member_type(fileType.get(), static_cast<unsigned>(member)), H5Tclose);
  hsize_t columns = 1;
  if (H5Tget_class(memberType.get()) == H5T_ARRAY) {
    if (H5Tget_array_ndims(memberType.get()) != 1) {
      error = "the column block is not a row of values";
      return false;
    }
    H5Tget_array_dims2(memberType.get(), &columns);
    Handle base(H5Tget_super(memberType.get()), H5Tclose);
    if (H5Tget_class(base.get()) != H5T_FLOAT) {
      error = "the column block does not hold numbers";
      return false;
    }
  } else if (H5Tget_class(memberType.get()) != H5T_FLOAT) {
    error = "the column block does not hold numbers";
    return false;
  }
  if (columns == 0 || columns > kLargestColumns || columns % 3 != 0) {
    error = "the table has " + std::to_string(columns) + " value columns; DeepLabCut writes three per body part";
    return false;
  }
  Handle space(H5Dget_space(dataset.get()), H5Sclose);
  if (!space.ok() || H5Sget_simple_extent_ndims(space.get()) != 1) {
    error = "the table is not a list of rows";
    return false;
  }
  hsize_t rows = 0;
  H5Sget_simple_extent_dims(space.get(), &rows, nullptr);
  if (rows > kLargestFrames) {
    error = "the table has too many rows";
    return false;
  }
  // Read just the values: a memory type with that one member, doubles in this machine's order.
  Handle arrayType(H5Tarray_create2(H5T_NATIVE_DOUBLE, 1, &columns), H5Tclose);
  Handle memoryType(H5Tcreate(H5T_COMPOUND, sizeof(double) * columns), H5Tclose);
  if (!arrayType.ok() || !memoryType.ok() ||
      H5Tinsert(memoryType.get(), "values_block_0", 0, arrayType.get()) < 0) {
    error = "out of memory";
    return false;
  }
  std::vector<double> values(static_cast<std::size_t>(rows * columns));
  if (rows > 0 && H5Dread(dataset.get(), memoryType.get(), H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()) < 0) {
    error = "the table's values cannot be read";
    return false;
  }

  // Labels: the strings of the pickled column list, less the coordinates; the first is
  // the scorer, the others the body parts in column order.
  std::vector<std::string> strings = PickledStrings(AttributeBytes(group.get(), "non_index_axes"));
  if (strings.empty()) strings = PickledStrings(AttributeBytes(dataset.get(), "values_block_0_kind"));
  std::vector<std::string> parts;
  bool scorerSkipped = false;
  for (const std::string& s : strings) {
    if (s == "x" || s == "y" || s == "likelihood") continue;
    if (!scorerSkipped) {
      scorerSkipped = true;
      continue;
    }
    parts.push_back(s);
  }
  const std::size_t partCount = static_cast<std::size_t>(columns / 3);
  if (parts.size() != partCount) {
    parts.clear();
    for (std::size_t p = 0; p < partCount; ++p) parts.push_back("part" + std::to_string(p + 1));
  }
  static const char* const kCoords[3] = {"x", "y", "likelihood"};
  frames.Parts.clear();
  frames.Coords.clear();
  for (std::size_t c = 0; c < columns; ++c) {
    frames.Parts.push_back(parts[c / 3]);
    frames.Coords.push_back(kCoords[c % 3]);
  }
  frames.Values.clear();
  frames.Lines.clear();
  for (hsize_t r = 0; r < rows; ++r) {
    frames.Values.emplace_back(values.begin() + static_cast<std::ptrdiff_t>(r * columns),
                               values.begin() + static_cast<std::ptrdiff_t>((r + 1) * columns));
    frames.Lines.push_back(static_cast<int>(r + 1));
  }
  return true;
}

uint64_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return value;
}

}  // namespace

std::vector<std::string> PickledStrings(std::string_view pickle) {
  std::vector<std::string> strings;
  std::vector<std::size_t> recent;  // indices in `strings` of the last strings pushed
  auto add = [&](std::string s) {
    const auto found = std::find(strings.begin(), strings.end(), s);
    if (found != strings.end()) {
      recent.push_back(static_cast<std::size_t>(found - strings.begin()));
      return;
    }
    strings.push_back(std::move(s));
    recent.push_back(strings.size() - 1);
  };
  std::size_t i = 0;
  auto skipLine = [&]() -> std::string_view {
    const std::size_t end = pickle.find('\n', i);
    if (end == std::string_view::npos) {
      i = pickle.size();
      return {};
    }
    const std::string_view line = pickle.substr(i, end - i);
    i = end + 1;
    return line;
  };
  while (i < pickle.size()) {
    const auto op = static_cast<unsigned char>(pickle[i++]);
    auto fixed = [&](std::size_t width) {
      if (pickle.size() - i < width) return false;
      i += width;
      return true;
    };
    auto counted = [&](std::size_t width, bool isString) {
      if (pickle.size() - i < width) return false;
      const uint64_t length = LittleEndian(pickle, i, width);
      i += width;
      if (length > pickle.size() - i) return false;
      if (isString) add(std::string(pickle.substr(i, static_cast<std::size_t>(length))));
      i += static_cast<std::size_t>(length);
      return true;
    };
    bool ok = true;
    switch (op) {
      case '.':
        return strings;
      case 0x8c: case 'U':  // short unicode / short byte string
        ok = counted(1, true);
        break;
      case 'X': case 'T':  // unicode / byte string
        ok = counted(4, true);
        break;
      case 0x8d:
        ok = counted(8, true);
        break;
      case 'C': case 0x8a:
        ok = counted(1, false);
        break;
      case 'B': case 0x8b:
        ok = counted(4, false);
        break;
      case 0x8e: case 0x96:
        ok = counted(8, false);
        break;
      case 'K': case 'q': case 'h': case 0x80: case 0x82:
        ok = fixed(1);
        break;
      case 'M': case 0x83:
        ok = fixed(2);
        break;
      case 'J': case 'r': case 'j': case 0x84:
        ok = fixed(4);
        break;
      case 'G': case 0x95:
        ok = fixed(8);
        break;
      case 'V': {  // protocol 0 unicode: raw text to the line end
        const std::string_view line = skipLine();
        add(std::string(line));
        break;
      }
      case 'S': {  // protocol 0 string: quoted
        std::string_view line = skipLine();
        if (line.size() >= 2 && (line.front() == '\'' || line.front() == '"')) add(std::string(line.substr(1, line.size() - 2)));
        break;
      }
      case 'I': case 'L': case 'F': case 'P': case 'p': case 'g':
        skipLine();
        break;
      case 'c': case 'i':
        skipLine();
        skipLine();
        break;
      case 0x93:  // STACK_GLOBAL: the two strings before it name a module and a class
        for (int k = 0; k < 2 && !recent.empty(); ++k) {
          const std::size_t index = recent.back();
          recent.pop_back();
          if (index == strings.size() - 1) strings.pop_back();
        }
        break;
      case '(': case '0': case '1': case '2': case 'N': case 'R': case 'b': case 'l': case 't': case ')':
      case ']': case '}': case 'a': case 'e': case 's': case 'u': case 'd': case 'o': case 0x85: case 0x86:
      case 0x87: case 0x88: case 0x89: case 0x81: case 0x92: case 0x94: case 0x8f: case 0x90: case 0x91:
      case 0x97: case 0x98:
        break;
      default:
        ok = false;  // not a pickle opcode: what was read so far is all
    }
    if (!ok) break;
  }
  return strings;
}

bool ReadDeepLabCutHdf5(const std::string& file, DeepLabCutFrames& frames, std::string& error) {
  SilenceHdf5Errors();
  if (H5Fis_hdf5(file.c_str()) <= 0) {
    error = "this is not an HDF5 file";
    return false;
  }
  Handle handle(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
  if (!handle.ok()) {
    error = "the HDF5 file cannot be opened";
    return false;
  }
  return ReadOpenFile(handle.get(), frames, error);
}

bool ReadDeepLabCutHdf5Image(std::string_view bytes, DeepLabCutFrames& frames, std::string& error) {
  SilenceHdf5Errors();
  constexpr char kSignature[] = "\x89HDF\r\n\x1a\n";
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) {
    error = "this is not an HDF5 file";
    return false;
  }
  Handle access(H5Pcreate(H5P_FILE_ACCESS), H5Pclose);
  if (!access.ok() || H5Pset_fapl_core(access.get(), 1 << 16, 0) < 0 ||
      H5Pset_file_image(access.get(), const_cast<char*>(bytes.data()), bytes.size()) < 0) {
    error = "out of memory";
    return false;
  }
  Handle handle(H5Fopen("in-memory.h5", H5F_ACC_RDONLY, access.get()), H5Fclose);
  if (!handle.ok()) {
    error = "the HDF5 file cannot be opened";
    return false;
  }
  return ReadOpenFile(handle.get(), frames, error);
}

}  // namespace tarnwell
