// The temporary page BINTEMP.RAW: the running trial's samples, written to the file as
// they arrive so that a crash in the middle of a trial loses at most the sample in
// flight. At the end of a trial the page is copied to the subject's numbered raw file.
//
// The page lives in the home folder; its path is given, so that two programs (or two
// tests) never share one.
#pragma once

#include <cstdio>
#include <filesystem>

namespace tarnwell {

class TempPage {
 public:
  explicit TempPage(std::filesystem::path pagePath) : path_(std::move(pagePath)) {}
  ~TempPage() { CloseOutputBinaryFile(); }
  TempPage(const TempPage&) = delete;
  TempPage& operator=(const TempPage&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  /// Closes the page if open; then, when a file can be created at the page's path,
  /// replaces any existing page with a fresh empty one, open for writing. True when the
  /// page is open (the caller keeps the answer as BinaryPageOpen).
  bool OpenOutputBinaryFile();

  /// Closes the page; errors are ignored.
  void CloseOutputBinaryFile();

  bool IsOpen() const { return file_ != nullptr; }

  /// Appends one sample (clamped to 0..255 each) and hands it to the operating system at
  /// once. Does nothing and returns false when the page is closed; false too when the write
  /// failed.
  bool WriteSampleToBinaryPage(int x, int y);

  /// Empties the page (open or closed) without closing it.
  bool EmptyPage();

  /// Number of whole samples the page file holds now.
  std::size_t SampleCount() const;

  /// Closes the page and copies its bytes to `numberedFile` through a temporary file and
  /// a rename: the numbered file afterwards holds exactly the page's bytes, an older
  /// longer file of that name is replaced, and a failed copy leaves the older file whole.
  /// A missing page copies as an empty track. False when the copy failed.
  bool CopyBinaryFileOverToNumberedBinaryFile(const std::filesystem::path& numberedFile);

 private:
  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
};

}  // namespace tarnwell
