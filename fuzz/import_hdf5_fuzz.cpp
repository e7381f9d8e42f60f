// DeepLabCut's HDF5 reader. The bytes build, through the HDF5 library's own writer, a
// file in memory with pandas' table layout (or a near miss of it: other group and column
// names, a column count that is no multiple of three, values that are NaN or infinite),
// with the rest of the input as the pickled column labels; the reader must give frames
// that the DeepLabCut column rule accepts or refuses, never a crash. The label scanner
// also runs over the raw bytes. (libhdf5's own parsing of damaged files is not what this
// program adds, and is left to the library's maintainers.)
#include <hdf5.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "import/formats/dlc_hdf5.h"

namespace {

std::string BuildImage(tarnwell::fuzz::Reader& in, const std::string& labels) {
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  const uint8_t shape = in.Byte();
  const hsize_t columns = 1 + in.Byte() % 9;
  const hsize_t rows = in.Byte() % 40;
  const hid_t access = H5Pcreate(H5P_FILE_ACCESS);
  H5Pset_fapl_core(access, 1 << 16, 0);
  const hid_t file = H5Fcreate("fuzz.h5", H5F_ACC_TRUNC, H5P_DEFAULT, access);
  const hid_t group = H5Gcreate2(file, (shape & 1) ? "df" : "df_with_missing", H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  if (!labels.empty()) {
    const hid_t type = H5Tcopy(H5T_C_S1);
    H5Tset_size(type, labels.size());
    const hid_t scalar = H5Screate(H5S_SCALAR);
    const hid_t attribute = H5Acreate2(group, "non_index_axes", type, scalar, H5P_DEFAULT, H5P_DEFAULT);
    H5Awrite(attribute, type, labels.data());
    H5Aclose(attribute);
    H5Sclose(scalar);
    H5Tclose(type);
  }
  const hid_t array = H5Tarray_create2((shape & 2) ? H5T_IEEE_F32LE : H5T_IEEE_F64LE, 1, &columns);
  const std::size_t valueSize = (shape & 2) ? 4 : 8;
  const std::size_t rowSize = 8 + valueSize * columns;
  const hid_t row = H5Tcreate(H5T_COMPOUND, rowSize);
  H5Tinsert(row, "index", 0, H5T_STD_I64LE);
  H5Tinsert(row, (shape & 4) ? "values_block_1" : "values_block_0", 8, array);
  const hid_t space = H5Screate_simple(1, &rows, nullptr);
  const hid_t dataset = H5Dcreate2(group, "table", row, space, H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT);
  std::vector<unsigned char> bytes(rowSize * rows);
  for (auto& b : bytes) b = in.Byte();
  if (rows > 0) H5Dwrite(dataset, row, H5S_ALL, H5S_ALL, H5P_DEFAULT, bytes.data());
  H5Dclose(dataset);
  H5Sclose(space);
  H5Tclose(row);
  H5Tclose(array);
  H5Gclose(group);
  H5Fflush(file, H5F_SCOPE_GLOBAL);
  std::string image;
  const ssize_t length = H5Fget_file_image(file, nullptr, 0);
  if (length > 0) {
    image.resize(static_cast<std::size_t>(length));
    H5Fget_file_image(file, image.data(), image.size());
  }
  H5Fclose(file);
  H5Pclose(access);
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwell;
  using tarnwell::fuzz::Check;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> strings = PickledStrings(all);
  for (const std::string& s : strings) Check(s.size() <= size);

  // Byte 0 places the labels; the file's shape and values follow it.
  tarnwell::fuzz::Reader in{data, size, 1};
  const std::size_t labelsAt = std::min<std::size_t>(size, 3 + (size > 0 ? data[0] : 0) * 4);
  const std::string labels(all.substr(std::min(labelsAt, size)));
  const std::string image = BuildImage(in, labels);
  DeepLabCutFrames frames;
  std::string error;
  if (!ReadDeepLabCutHdf5Image(image, frames, error)) return 0;
  Check(frames.Parts.size() == frames.Coords.size() && frames.Parts.size() % 3 == 0);
  for (const auto& values : frames.Values) Check(values.size() == frames.Parts.size());
  ImportedTrack track;
  std::vector<ImportProblem> problems;
  TrackReadOptions options;
  options.FramesPerSecond = 30;
  const bool read = TrackFromDeepLabCutFrames(frames, options, track, problems);
  Check(read == problems.empty());
  for (std::size_t i = 0; read && i < track.Size(); ++i)
    Check(track.Missing[i] || (std::isfinite(track.X[i]) && std::isfinite(track.Y[i])));
  return 0;
}
