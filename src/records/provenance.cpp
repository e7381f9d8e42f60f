#include "records/provenance.h"
#include "core/text.h"
#include "records/provenance_reader.h"

#include <time.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "core/file_access.h"
#include "core/sha256.h"

namespace tarnwell {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Reading is forgiving member by member: a member of the wrong type is a damaged record
// (said once), but everything else of the record is still read.
class Reader {
 public:
  explicit Reader(std::string& problem) : problem_(problem) {}

  void Fail(const std::string& what) {
    if (problem_.empty()) problem_ = what;
  }

  // Takes `key` out of `from` (what stays in `from` is kept unread) into `out`.
  void Text(json& from, const char* key, std::string& out) {
    auto it = from.find(key);
    if (it == from.end()) return;
    if (it->is_string()) {
      out = it->get<std::string>();
    } else if (!it->is_null()) {
      Fail(std::string("\"") + key + "\" is not text");
    }
    from.erase(it);
  }
  template <typename Number>
  void Integer(json& from, const char* key, Number& out) {
    auto it = from.find(key);
    if (it == from.end()) return;
    if (it->is_number_integer()) {
      out = it->get<Number>();
    } else if (!it->is_null()) {
      Fail(std::string("\"") + key + "\" is not a whole number");
    }
    from.erase(it);
  }
  template <typename Number>
  void Integer(json& from, const char* key, std::optional<Number>& out) {
    Number value{};
    auto it = from.find(key);
    if (it == from.end()) return;
    if (it->is_number_integer())
      out = (value = it->get<Number>());
    else if (!it->is_null())
      Fail(std::string("\"") + key + "\" is not a whole number");
    from.erase(it);
  }
  void Real(json& from, const char* key, double& out) {
    auto it = from.find(key);
    if (it == from.end()) return;
    if (it->is_number())
      out = it->get<double>();
    else if (!it->is_null())
      Fail(std::string("\"") + key + "\" is not a number");
    from.erase(it);
  }
  void Flag(json& from, const char* key, bool& out) {
    auto it = from.find(key);
    if (it == from.end()) return;
    if (it->is_boolean())
      out = it->get<bool>();
    else if (!it->is_null())
      Fail(std::string("\"") + key + "\" is not true or false");
    from.erase(it);
  }
  // An object member taken out whole; nothing when missing or not an object.
  std::optional<json> Object(json& from, const char* key) {
    auto it = from.find(key);
    if (it == from.end()) return std::nullopt;
    std::optional<json> result;
    if (it->is_object())
      result = std::move(*it);
    else if (!it->is_null())
      Fail(std::string("\"") + key + "\" is not an object");
    from.erase(it);
    return result;
  }
  std::optional<json> Array(json& from, const char* key) {
    auto it = from.find(key);
    if (it == from.end()) return std::nullopt;
    std::optional<json> result;
    if (it->is_array())
      result = std::move(*it);
    else if (!it->is_null())
      Fail(std::string("\"") + key + "\" is not a list");
    from.erase(it);
    return result;
  }

 private:
  std::string& problem_;
};

// Writing puts the known members first, in a fixed order, then the kept ones. json's
// ordered_json keeps insertion order, so a record reads the same way every time.
using Out = nlohmann::ordered_json;

void PutText(Out& to, const char* key, const std::string& value) {
  if (!value.empty()) to[key] = value;
}
void PutKept(Out& to, const json& kept) {
  if (!kept.is_object()) return;
  for (auto it = kept.begin(); it != kept.end(); ++it) {
    if (!to.contains(it.key())) to[it.key()] = Out::parse(it.value().dump());
  }
}
Out Ordered(const json& value) {
  return Out::parse(value.dump());
}

TrialRecording ReadRecording(Reader& r, json from) {
  TrialRecording v;
  r.Text(from, "path", v.Path);
  r.Integer(from, "size", v.Size);
  r.Text(from, "sha256", v.Sha256);
  r.Text(from, "codec", v.Codec);
  r.Integer(from, "frames", v.Frames);
  r.Integer(from, "dropped_frames", v.DroppedFrames);
  r.Real(from, "frames_per_second", v.FramesPerSecond);
  r.Text(from, "error", v.Error);
  v.Other = std::move(from);
  return v;
}

Out WriteRecording(const TrialRecording& v) {
  Out o;
  PutText(o, "path", v.Path);
  if (v.Size) o["size"] = *v.Size;
  PutText(o, "sha256", v.Sha256);
  PutText(o, "codec", v.Codec);
  o["frames"] = v.Frames;
  o["dropped_frames"] = v.DroppedFrames;
  if (v.FramesPerSecond > 0) o["frames_per_second"] = v.FramesPerSecond;
  PutText(o, "error", v.Error);
  PutKept(o, v.Other);
  return o;
}

TrialSource ReadSource(Reader& r, json from) {
  TrialSource s;
  std::string kind;
  r.Text(from, "kind", kind);
  s.Kind = SourceKindFromName(kind);
  r.Text(from, "port", s.Port);
  r.Integer(from, "seed", s.Seed);
  r.Text(from, "device", s.Device);
  r.Text(from, "video_path", s.VideoPath);
  r.Integer(from, "video_size", s.VideoSize);
  r.Text(from, "video_sha256", s.VideoSha256);
  r.Integer(from, "first_frame", s.FirstFrame);
  r.Integer(from, "last_frame", s.LastFrame);
  if (auto recording = r.Object(from, "recording")) s.Recording = ReadRecording(r, std::move(*recording));
  s.Other = std::move(from);
  return s;
}

Out WriteSource(const TrialSource& s) {
  Out o;
  o["kind"] = std::string(SourceKindName(s.Kind));
  PutText(o, "port", s.Port);
  if (s.Seed) o["seed"] = *s.Seed;
  PutText(o, "device", s.Device);
  PutText(o, "video_path", s.VideoPath);
  if (s.VideoSize) o["video_size"] = *s.VideoSize;
  PutText(o, "video_sha256", s.VideoSha256);
  if (s.FirstFrame) o["first_frame"] = *s.FirstFrame;
  if (s.LastFrame) o["last_frame"] = *s.LastFrame;
  if (s.Recording) o["recording"] = WriteRecording(*s.Recording);
  PutKept(o, s.Other);
  return o;
}

TrialQualityRecord ReadQuality(Reader& r, json from) {
  TrialQualityRecord q;
  r.Integer(from, "samples", q.Samples);
  r.Integer(from, "not_seen", q.NotSeen);
  r.Real(from, "not_seen_percent", q.NotSeenPercent);
  r.Integer(from, "out_of_range", q.OutOfRange);
  r.Integer(from, "jumps", q.Jumps);
  r.Integer(from, "too_fast", q.TooFast);
  r.Flag(from, "ended_in_first_second", q.EndedInFirstSecond);
  r.Flag(from, "suspect", q.Suspect);
  if (auto reasons = r.Array(from, "reasons")) {
    for (const json& reason : *reasons) {
      if (reason.is_string())
        q.Reasons.push_back(reason.get<std::string>());
      else
        r.Fail("\"reasons\" holds something other than text");
    }
  }
  q.Other = std::move(from);
  return q;
}

Out WriteQuality(const TrialQualityRecord& q) {
  Out o;
  o["samples"] = q.Samples;
  o["not_seen"] = q.NotSeen;
  o["not_seen_percent"] = q.NotSeenPercent;
  o["out_of_range"] = q.OutOfRange;
  o["jumps"] = q.Jumps;
  o["too_fast"] = q.TooFast;
  o["ended_in_first_second"] = q.EndedInFirstSecond;
  o["suspect"] = q.Suspect;
  o["reasons"] = q.Reasons;
  PutKept(o, q.Other);
  return o;
}

TrialProvenance ReadTrial(Reader& r, json from) {
  TrialProvenance t;
  r.Integer(from, "subject_index", t.SubjectIndex);
  r.Text(from, "subject", t.Subject);
  r.Text(from, "started_local", t.StartedLocal);
  r.Text(from, "started_utc", t.StartedUtc);
  if (auto source = r.Object(from, "source")) t.Source = ReadSource(r, std::move(*source));
  if (auto detector = r.Object(from, "detector")) t.Detector = std::move(*detector);
  r.Text(from, "program_version", t.ProgramVersion);
  r.Text(from, "pool_setup_sha256", t.PoolSetupSha256);
  r.Text(from, "experiment_setup_sha256", t.ExperimentSetupSha256);
  r.Text(from, "end_status", t.EndStatus);
  r.Text(from, "raw_sha256", t.RawSha256);
  if (auto quality = r.Object(from, "quality")) t.Quality = ReadQuality(r, std::move(*quality));
  if (auto realigned = r.Object(from, "realigned")) {
    RealignmentRecord a;
    r.Integer(*realigned, "from_sample", a.FromSample);
    r.Integer(*realigned, "byte_offset", a.ByteOffset);
    if (a.FromSample >= 0 && a.ByteOffset == 1)
      t.Realigned = a;
    else
      r.Fail("\"realigned\" is out of range");
  }
  r.Text(from, "recovery_file", t.RecoveryFile);
  t.Other = std::move(from);
  return t;
}

Out WriteTrial(const TrialProvenance& t) {
  Out o;
  o["subject_index"] = t.SubjectIndex;
  o["subject"] = t.Subject;
  PutText(o, "started_local", t.StartedLocal);
  PutText(o, "started_utc", t.StartedUtc);
  o["source"] = WriteSource(t.Source);
  if (t.Detector.is_object() && !t.Detector.empty()) o["detector"] = Ordered(t.Detector);
  PutText(o, "program_version", t.ProgramVersion);
  PutText(o, "pool_setup_sha256", t.PoolSetupSha256);
  PutText(o, "experiment_setup_sha256", t.ExperimentSetupSha256);
  PutText(o, "end_status", t.EndStatus);
  PutText(o, "raw_sha256", t.RawSha256);
  if (t.Quality) o["quality"] = WriteQuality(*t.Quality);
  if (t.Realigned) {
    o["realigned"] = Out{{"from_sample", t.Realigned->FromSample}, {"byte_offset", t.Realigned->ByteOffset}};
  }
  PutText(o, "recovery_file", t.RecoveryFile);
  PutKept(o, t.Other);
  return o;
}

template <typename Entry, typename ReadEntry>
void ReadList(Reader& r, json& from, const char* key, std::vector<Entry>& out, ReadEntry readEntry) {
  if (auto list = r.Array(from, key)) {
    for (json& item : *list) {
      if (item.is_object())
        out.push_back(readEntry(std::move(item)));
      else
        r.Fail(std::string("\"") + key + "\" holds something other than objects");
    }
  }
}

}  // namespace

std::string_view SourceKindName(TrialSourceKind kind) {
  switch (kind) {
    case TrialSourceKind::SerialUnit:
      return "serial";
    case TrialSourceKind::SimulatedUnit:
      return "simulated";
    case TrialSourceKind::Camera:
      return "camera";
    case TrialSourceKind::Video:
      return "video";
    case TrialSourceKind::Imported:
      return "imported";
    case TrialSourceKind::Unknown:
      break;
  }
  return kUnknownProvenance;
}

TrialSourceKind SourceKindFromName(std::string_view name) {
  for (TrialSourceKind kind : {TrialSourceKind::SerialUnit, TrialSourceKind::SimulatedUnit,
                               TrialSourceKind::Camera, TrialSourceKind::Video, TrialSourceKind::Imported}) {
    if (SourceKindName(kind) == name) return kind;
  }
  return TrialSourceKind::Unknown;
}

std::string TrialSource::Describe() const {
  switch (Kind) {
    case TrialSourceKind::SerialUnit:
      return "serial unit " + Port;
    case TrialSourceKind::SimulatedUnit:
      return Seed ? "simulated unit, seed " + std::to_string(*Seed) : std::string("simulated unit");
    case TrialSourceKind::Camera:
      return "camera " + Device;
    case TrialSourceKind::Video:
      return "video " + VideoPath;
    case TrialSourceKind::Imported:
      return "imported";
    case TrialSourceKind::Unknown:
      break;
  }
  return kUnknownProvenance;
}

const TrialProvenance* ExperimentProvenance::FindTrial(std::string_view rawFileName) const {
  if (auto it = Trials.find(std::string(rawFileName)); it != Trials.end()) return &it->second;
  auto same = [&](const std::string& key) { return EqualsIgnoringCaseAscii(key, rawFileName); };
  for (const auto& [key, trial] : Trials) {
    if (same(key)) return &trial;
  }
  return nullptr;
}

ProvenanceColumns ProvenanceColumnsOf(const TrialProvenance* trial) {
  ProvenanceColumns c{kUnknownProvenance, kUnknownProvenance, kUnknownProvenance};
  if (trial == nullptr) return c;
  c.Source = std::string(SourceKindName(trial->Source.Kind));
  if (!trial->StartedUtc.empty()) c.RecordedAtUtc = trial->StartedUtc;
  if (trial->Source.Kind == TrialSourceKind::Video) {
    if (!trial->Source.VideoSha256.empty()) c.VideoSha256 = trial->Source.VideoSha256;
  } else if (trial->Source.Recording && !trial->Source.Recording->Sha256.empty()) {
    // A camera trial's own recorded video.
    c.VideoSha256 = trial->Source.Recording->Sha256;
  } else if (trial->Source.Kind != TrialSourceKind::Unknown) {
    c.VideoSha256 = "none";
  }
  return c;
}

fs::path ProvenanceFile(const fs::path& dataFile) {
  // The stem is cut at the last "." of the whole path, as for every file of the family.
  const std::string whole = dataFile.string();
  const size_t dot = whole.rfind('.');
  const size_t slash = whole.rfind('/');
  std::string stem = whole;
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem = whole.substr(0, dot);
  return fs::path(stem + ".provenance.json");
}

std::string FormatProvenance(const ExperimentProvenance& record) {
  Out o;
  o["format"] = record.Format;
  PutText(o, "experiment", record.Experiment);
  PutText(o, "updated_utc", record.UpdatedUtc);
  Out trials = Out::object();
  for (const auto& [name, trial] : record.Trials) trials[name] = WriteTrial(trial);
  o["trials"] = std::move(trials);
  if (!record.TrialList.empty()) {
    Out list = Out::array();
    for (const TrialListEntry& e : record.TrialList) {
      Out item;
      item["subject"] = e.Subject;
      item["group"] = e.Group;
      item["treatment"] = e.Treatment;
      item["start_position"] = e.StartPosition;
      item["platform_position"] = e.PlatformPosition;
      PutKept(item, e.Other);
      list.push_back(std::move(item));
    }
    o["trial_list"] = std::move(list);
  }
  if (!record.Videos.empty()) {
    Out list = Out::array();
    for (const VideoMappingEntry& e : record.Videos) {
      Out item;
      item["subject"] = e.Subject;
      item["video_path"] = e.VideoPath;
      PutText(item, "video_sha256", e.VideoSha256);
      PutKept(item, e.Other);
      list.push_back(std::move(item));
    }
    o["videos"] = std::move(list);
  }
  if (!record.ImportedTracks.empty()) {
    Out tracks = Out::object();
    for (const auto& [name, e] : record.ImportedTracks) {
      Out item;
      item["source_file"] = e.SourceFile;
      item["format"] = e.Format;
      PutText(item, "body_part", e.BodyPart);
      PutText(item, "source_sha256", e.SourceSha256);
      PutKept(item, e.Other);
      tracks[name] = std::move(item);
    }
    o["imported_tracks"] = std::move(tracks);
  }
  PutKept(o, record.Other);
  // Text that is not valid UTF-8 (a file name in another encoding) is written with
  // replacement characters rather than refused: the record must always be writable.
  return o.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool ParseProvenance(std::string_view text, ExperimentProvenance& record, std::string* problem) {
  if (ReadProvenanceAsWritten(text, record)) {
    if (problem) problem->clear();
    return true;
  }
  return ReadProvenanceInGeneral(text, record, problem);
}

bool ReadProvenanceInGeneral(std::string_view text, ExperimentProvenance& record, std::string* problem) {
  record = ExperimentProvenance{};
  std::string found;
  json root = json::parse(text.begin(), text.end(), nullptr, false);
  if (root.is_discarded()) {
    found = "not JSON";
  } else if (!root.is_object()) {
    found = "not a JSON object";
  } else {
    Reader r(found);
    record.Format = 0;
    r.Integer(root, "format", record.Format);
    if (record.Format <= 0) r.Fail("no \"format\"");
    r.Text(root, "experiment", record.Experiment);
    r.Text(root, "updated_utc", record.UpdatedUtc);
    if (auto trials = r.Object(root, "trials")) {
      for (auto it = trials->begin(); it != trials->end(); ++it) {
        if (it.value().is_object())
          record.Trials[it.key()] = ReadTrial(r, std::move(it.value()));
        else
          r.Fail("trial \"" + it.key() + "\" is not an object");
      }
    }
    ReadList(r, root, "trial_list", record.TrialList, [&](json item) {
      TrialListEntry e;
      r.Text(item, "subject", e.Subject);
      r.Text(item, "group", e.Group);
      r.Text(item, "treatment", e.Treatment);
      r.Text(item, "start_position", e.StartPosition);
      r.Text(item, "platform_position", e.PlatformPosition);
      e.Other = std::move(item);
      return e;
    });
    ReadList(r, root, "videos", record.Videos, [&](json item) {
      VideoMappingEntry e;
      r.Text(item, "subject", e.Subject);
      r.Text(item, "video_path", e.VideoPath);
      r.Text(item, "video_sha256", e.VideoSha256);
      e.Other = std::move(item);
      return e;
    });
    if (auto tracks = r.Object(root, "imported_tracks")) {
      for (auto it = tracks->begin(); it != tracks->end(); ++it) {
        if (!it.value().is_object()) {
          r.Fail("imported track \"" + it.key() + "\" is not an object");
          continue;
        }
        json item = std::move(it.value());
        ImportedTrackSource e;
        r.Text(item, "source_file", e.SourceFile);
        r.Text(item, "format", e.Format);
        r.Text(item, "body_part", e.BodyPart);
        r.Text(item, "source_sha256", e.SourceSha256);
        e.Other = std::move(item);
        record.ImportedTracks[it.key()] = std::move(e);
      }
    }
    record.Other = std::move(root);
    if (record.Format <= 0) record.Format = kProvenanceFormat;
  }
  if (problem) *problem = found;
  return found.empty();
}

ProvenanceLoad LoadProvenance(const fs::path& dataFile, const FolderListing* listing) {
  ProvenanceLoad load;
  if (dataFile.empty()) return load;  // an experiment without a data file keeps no record
  const fs::path file = ProvenanceFile(dataFile);
  const std::optional<fs::path> existing = FindExistingFile(file, listing);
  if (!existing) return load;
  std::string text;
  std::string problem;
  if (!ReadWholeFile(*existing, text)) {
    problem = "cannot be read";
  } else if (ParseProvenance(text, load.Record, &problem)) {
    load.Status = ProvenanceLoad::State::Read;
    return load;
  }
  load.Status = ProvenanceLoad::State::Damaged;
  load.Problem = existing->filename().string() + " is damaged (" + problem + ")";
  return load;
}

bool SaveProvenance(const fs::path& dataFile, const ExperimentProvenance& record, std::string* error) {
  return WriteFileAtomically(ProvenanceFile(dataFile), FormatProvenance(record), error);
}

bool UpdateProvenance(const fs::path& dataFile, const std::function<void(ExperimentProvenance&)>& change,
                      std::string* problem) {
  ProvenanceLoad load = LoadProvenance(dataFile);
  std::string said;
  if (load.Status == ProvenanceLoad::State::Damaged) {
    // Kept for a person to look at; what could be read of it is carried over.
    const fs::path file = FindExistingFile(ProvenanceFile(dataFile)).value_or(ProvenanceFile(dataFile));
    fs::path aside = file;
    aside += ".damaged";
    std::error_code ec;
    fs::rename(file, aside, ec);
    said = load.Problem + "; kept as " + aside.filename().string() + ", a new record is started";
  }
  ExperimentProvenance& record = load.Record;
  change(record);
  record.Format = std::max(record.Format, kProvenanceFormat);
  record.Experiment = dataFile.filename().string();
  record.UpdatedUtc = UtcTimestamp(static_cast<int64_t>(::time(nullptr)));
  std::string error;
  const bool saved = SaveProvenance(dataFile, record, &error);
  if (!saved)
    said += (said.empty() ? "" : "; ") + ProvenanceFile(dataFile).filename().string() +
            " cannot be written (" + error + ")";
  if (problem) *problem = said;
  return saved;
}

std::string UtcTimestamp(int64_t unixSeconds) {
  const time_t t = static_cast<time_t>(unixSeconds);
  struct tm utc {};
  gmtime_r(&t, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

std::string LocalTimestamp(int64_t unixSeconds) {
  const time_t t = static_cast<time_t>(unixSeconds);
  struct tm local {};
  localtime_r(&t, &local);
  const long offset = local.tm_gmtoff;
  const int minutes = static_cast<int>((offset < 0 ? -offset : offset) / 60 % (24 * 60));
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return text;
}

std::string FileSha256(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  Sha256 sha;
  std::string buffer(1 << 16, '\0');
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    sha.Update(std::string_view(buffer.data(), static_cast<size_t>(got)));
  }
  if (in.bad()) return {};
  return sha.HexDigest();
}

}  // namespace tarnwell
