#include "records/temp_page.h"

#include <string>
#include <system_error>

#include "records/raw_track.h"
#include "core/file_access.h"

namespace tarnwell {

bool TempPage::OpenOutputBinaryFile() {
  CloseOutputBinaryFile();
  if (!FileExistsOrCanBeCreated(path_)) return false;
  std::error_code error;
  std::filesystem::remove(path_, error);
  file_ = std::fopen(path_.c_str(), "w+b");
  return file_ != nullptr;
}

void TempPage::CloseOutputBinaryFile() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
}

bool TempPage::WriteSampleToBinaryPage(int x, int y) {
  if (file_ == nullptr || IsWriteFaultInjected(path_)) return false;
  const RawSample sample = PackRawSample(x, y);
  const unsigned char bytes[2] = {sample.X, sample.Y};
  if (std::fseek(file_, 0, SEEK_END) != 0) return false;
  if (std::fwrite(bytes, 1, 2, file_) != 2) return false;
  // Handed to the operating system at once: a crash of the program loses nothing.
  return std::fflush(file_) == 0;
}

bool TempPage::EmptyPage() {
  if (file_ != nullptr) {
    file_ = std::freopen(path_.c_str(), "w+b", file_);
    return file_ != nullptr;
  }
  std::error_code error;
  if (!std::filesystem::exists(path_, error)) return !error;
  std::filesystem::resize_file(path_, 0, error);
  return !error;
}

std::size_t TempPage::SampleCount() const {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path_, error);
  return error ? 0 : static_cast<std::size_t>(size / 2);
}

bool TempPage::CopyBinaryFileOverToNumberedBinaryFile(const std::filesystem::path& numberedFile) {
  CloseOutputBinaryFile();
  std::string bytes;
  std::error_code error;
  if (std::filesystem::exists(path_, error) && !ReadWholeFile(path_, bytes)) return false;
  return WriteFileAtomically(numberedFile, bytes);
}

}  // namespace tarnwell
