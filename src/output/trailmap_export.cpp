#include "output/trailmap_export.h"

#include "records/raw_track.h"
#include "core/file_access.h"
#include "core/numbers.h"

namespace tarnwell {

namespace {

constexpr int kMaxSubjectIndex = 99;

std::string TwoDigits(int value) {
  return FormatFixed(value, 0, 2);
}

// An existing file is replaced under the name it has (data copied from Windows may be
// spelt in another case), so no twin appears beside it.
std::filesystem::path ReplacementTarget(const std::filesystem::path& file) {
  return FindExistingFile(file).value_or(file);
}

}  // namespace

int16_t CountNumberedRawFiles(const std::filesystem::path& dataFile) {
  if (dataFile.empty() || !FindExistingFile(dataFile)) return -1;
  int16_t highest = -1;
  for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(dataFile)) {
    if (entry.SubjectIndex >= 0 && entry.SubjectIndex <= kMaxSubjectIndex) {
      highest = static_cast<int16_t>(entry.SubjectIndex);
    }
  }
  return highest;
}

std::filesystem::path TrailmapTextFile(const std::filesystem::path& dataFile) {
  std::filesystem::path file = DataFileStem(dataFile);
  file += ".TXT";
  return file;
}

std::filesystem::path ArenaFile(const std::filesystem::path& dataFile) {
  std::filesystem::path file = DataFileStem(dataFile);
  file += "Arena.WSP";
  return file;
}

std::string TrailmapTrackText(const std::vector<std::optional<std::string>>& columns) {
  std::string text;
  for (size_t k = 0; k < columns.size(); ++k) {
    if (k > 0) text += '\t';
    const std::string number = TwoDigits(static_cast<int>(k) + 1);
    text += "x0" + number + "\ty0" + number;
  }
  text += "\r\n";
  // Row r holds the bytes at 1-based positions p = 2r + 1 and p + 1; a file "longer than
  // p" has both, so a trailing odd byte never makes a sample.
  for (size_t p = 1;; p += 2) {
    std::string row;
    bool anySample = false;
    for (size_t k = 0; k < columns.size(); ++k) {
      if (k > 0) row += '\t';
      const auto& bytes = columns[k];
      if (bytes && bytes->size() > p) {
        const int x = static_cast<unsigned char>((*bytes)[p - 1]);
        const int y = static_cast<unsigned char>((*bytes)[p]);
        row += FormatGeneral((x - 128) * 1);
        row += '\t';
        row += FormatGeneral((y - 96) * -1);
        anySample = true;
      } else {
        row += '\t';
      }
    }
    if (!anySample) break;
    text += row;
    text += "\r\n";
  }
  return text;
}

std::string ArenaFileText(const PoolSetup& pool) {
  std::string text = "[fields]\r\nArena\r\n";
  const std::string diameter = FormatGeneral(2.0f * pool.Radius);
  text += "  Rect=0,0," + diameter + "," + diameter + "\r\n";
  for (int k = 0; k < kPlatformCount; ++k) {
    const PlatformSetup& target = pool.Platforms[static_cast<size_t>(k)];
    const std::string size = FormatGeneral(2.0f * target.Radius);
    text += "P" + FormatGeneral(k) + "\r\n";
    text += "  Rect=" + FormatGeneral(static_cast<int32_t>(pool.X) - target.X) + "," +
            FormatGeneral(static_cast<int32_t>(pool.Y) - target.Y) + "," + size + "," + size + "\r\n";
    if (!target.Round) text += "  Type=Rectangle\r\n";
  }
  text += "[end]\r\n";
  return text;
}

bool WriteArenaFile(const std::filesystem::path& dataFile, const PoolSetup& pool, std::string* error) {
  return WriteFileAtomically(ReplacementTarget(ArenaFile(dataFile)), ArenaFileText(pool), error);
}

TrailmapExportResult ExportTrailmapFiles(const std::filesystem::path& dataFile, const PoolSetup& pool,
                                         Operator& op, const RawFileReader& readRaw) {
  TrailmapExportResult result;
  const int16_t highest = CountNumberedRawFiles(dataFile);
  if (highest < 0) return result;
  result.textFile = TrailmapTextFile(dataFile);
  result.arenaFile = ArenaFile(dataFile);

  const std::filesystem::path textTarget = ReplacementTarget(result.textFile);
  if (FindExistingFile(result.textFile)) {
    const std::string question = "The file \"" + textTarget.filename().string() +
                                 "\"\nalready exists.\n\nAre you sure you want\nto overwrite it?";
    if (op.ShowMessage(question, kTrailmapOverwriteTitle, MessageIcon::Exclamation,
                       MessageButtons::YesNoCancel) != Answer::Yes) {
      result.status = TrailmapExportStatus::Declined;
      return result;
    }
  }

  // Columns by subject index, so a missing subject keeps its place as an empty pair.
  std::vector<std::optional<std::string>> columns(static_cast<size_t>(highest) + 1);
  std::filesystem::path unreadable;  // an unreadable track must not pass for an empty one
  for (const NumberedRawFileEntry& entry : ListNumberedRawFiles(dataFile)) {
    if (entry.SubjectIndex < 0 || entry.SubjectIndex > highest) continue;
    std::string bytes;
    if (readRaw ? readRaw(entry.File, bytes) : ReadWholeFile(entry.File, bytes)) {
      columns[static_cast<size_t>(entry.SubjectIndex)] = std::move(bytes);
    } else if (unreadable.empty()) {
      unreadable = entry.File;
    }
  }
  result.textWritten = unreadable.empty() && WriteFileAtomically(textTarget, TrailmapTrackText(columns));
  result.arenaWritten = WriteArenaFile(dataFile, pool);

  result.status = TrailmapExportStatus::Exported;
  const std::string textLine = result.textWritten ? "The raw data file has been exported to :"
                               : !unreadable.empty()
                                   ? "The raw data file \"" + unreadable.filename().string() +
                                         "\"\ncould not be read; nothing was exported to :"
                                   : "The raw data file could not be written to :";
  const std::string arenaLine = result.arenaWritten ? "The Arena Properties file has been exported to :"
                                                    : "The Arena Properties file could not be written to :";
  const std::string message = textLine + "\n\n" + textTarget.string() + "\n\n" + arenaLine + "\n\n" +
                              DataFileStem(dataFile).string() + "Arena.wsp";
  const bool complete = result.textWritten && result.arenaWritten;
  op.ShowMessage(message, kTrailmapStatusTitle,
                 complete ? MessageIcon::Information : MessageIcon::Exclamation, MessageButtons::Ok);
  return result;
}

TrailmapExportResult mnuTrailmap_Click(ReanalysisState& state, Operator& op) {
  LoadExperimentAnalysisSettings(state);
  return ExportTrailmapFiles(state.DataFile, state.Settings.Pool, op);
}

}  // namespace tarnwell
