// Reads the provenance record as this program writes it, member by member straight into
// ExperimentProvenance. Every table reads its experiment's whole record, and a general JSON
// reader spends most of that time building a document only to take it apart again. This
// reader knows one layout and gives up on anything else; ParseProvenance then reads the
// text the general way, which keeps unknown members and says what is damaged. So the
// answers (and every message) stay the general reader's; this one only gets there sooner.
#include "records/provenance_reader.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>
#include <utility>

namespace tarnwell {

namespace {

class WrittenRecordReader {
 public:
  explicit WrittenRecordReader(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  bool Read(ExperimentProvenance& record) {
    static constexpr std::array<std::string_view, 7> kMembers = {
        "format", "experiment", "updated_utc", "trials", "trial_list", "videos", "imported_tracks"};
    bool haveFormat = false;
    const bool read = Members(kMembers, [&](std::size_t member) {
      switch (member) {
        case 0:
          haveFormat = !AtNull();
          return Whole(record.Format);
        case 1:
          return Text(record.Experiment);
        case 2:
          return Text(record.UpdatedUtc);
        case 3:
          return Entries([&](std::string&& name) {
            const auto [trial, added] = record.Trials.try_emplace(std::move(name));
            return added && ReadTrial(trial->second);
          });
        case 4:
          return List([&] {
            TrialListEntry& entry = record.TrialList.emplace_back();
            static constexpr std::array<std::string_view, 5> kEntry = {"subject", "group", "treatment",
                                                                       "start_position", "platform_position"};
            return Members(kEntry, [&](std::size_t m) {
              std::string* const fields[] = {&entry.Subject, &entry.Group, &entry.Treatment,
                                             &entry.StartPosition, &entry.PlatformPosition};
              return Text(*fields[m]);
            });
          });
        case 5:
          return List([&] {
            VideoMappingEntry& entry = record.Videos.emplace_back();
            static constexpr std::array<std::string_view, 3> kEntry = {"subject", "video_path",
                                                                       "video_sha256"};
            return Members(kEntry, [&](std::size_t m) {
              std::string* const fields[] = {&entry.Subject, &entry.VideoPath, &entry.VideoSha256};
              return Text(*fields[m]);
            });
          });
        default:
          return Entries([&](std::string&& name) {
            const auto added = record.ImportedTracks.try_emplace(std::move(name));
            ImportedTrackSource& e = added.first->second;
            static constexpr std::array<std::string_view, 4> kTrack = {"source_file", "format", "body_part",
                                                                       "source_sha256"};
            return added.second && Members(kTrack, [&](std::size_t m) {
                     std::string* const fields[] = {&e.SourceFile, &e.Format, &e.BodyPart, &e.SourceSha256};
                     return Text(*fields[m]);
                   });
          });
      }
    });
    SkipSpace();
    // A record without a format of its own is one the general reader must speak of.
    return read && p_ == end_ && haveFormat && record.Format > 0;
  }

 private:
  bool ReadTrial(TrialProvenance& t) {
    static constexpr std::array<std::string_view, 14> kMembers = {"subject_index",
                                                                  "subject",
                                                                  "started_local",
                                                                  "started_utc",
                                                                  "source",
                                                                  "detector",
                                                                  "program_version",
                                                                  "pool_setup_sha256",
                                                                  "experiment_setup_sha256",
                                                                  "end_status",
                                                                  "raw_sha256",
                                                                  "quality",
                                                                  "realigned",
                                                                  "recovery_file"};
    return Members(kMembers, [&](std::size_t member) {
      switch (member) {
        case 0:
          return Whole(t.SubjectIndex);
        case 1:
          return Text(t.Subject);
        case 2:
          return Text(t.StartedLocal);
        case 3:
          return Text(t.StartedUtc);
        case 4:
          return AtNull() ? Null() : ReadSource(t.Source);
        case 5:
          return AtNull() ? Null() : Document(t.Detector);
        case 6:
          return Text(t.ProgramVersion);
        case 7:
          return Text(t.PoolSetupSha256);
        case 8:
          return Text(t.ExperimentSetupSha256);
        case 9:
          return Text(t.EndStatus);
        case 10:
          return Text(t.RawSha256);
        case 11:
          return AtNull() ? Null() : ReadQuality(t.Quality.emplace());
        case 12: {
          if (AtNull()) return Null();
          RealignmentRecord a;
          static constexpr std::array<std::string_view, 2> kRealigned = {"from_sample", "byte_offset"};
          const bool read = Members(
              kRealigned, [&](std::size_t m) { return m == 0 ? Whole(a.FromSample) : Whole(a.ByteOffset); });
          // Out of range is damage, which the general reader says.
          if (!read || a.FromSample < 0 || a.ByteOffset != 1) return false;
          t.Realigned = a;
          return true;
        }
        default:
          return Text(t.RecoveryFile);
      }
    });
  }

  bool ReadSource(TrialSource& s) {
    static constexpr std::array<std::string_view, 10> kMembers = {
        "kind",       "port",         "seed",        "device",     "video_path",
        "video_size", "video_sha256", "first_frame", "last_frame", "recording"};
    std::string kind;
    const bool read = Members(kMembers, [&](std::size_t member) {
      switch (member) {
        case 0:
          return Text(kind);
        case 1:
          return Text(s.Port);
        case 2:
          return Whole(s.Seed);
        case 3:
          return Text(s.Device);
        case 4:
          return Text(s.VideoPath);
        case 5:
          return Whole(s.VideoSize);
        case 6:
          return Text(s.VideoSha256);
        case 7:
          return Whole(s.FirstFrame);
        case 8:
          return Whole(s.LastFrame);
        default:
          return AtNull() ? Null() : ReadRecording(s.Recording.emplace());
      }
    });
    s.Kind = SourceKindFromName(kind);
    return read;
  }

  bool ReadRecording(TrialRecording& v) {
    static constexpr std::array<std::string_view, 8> kMembers = {
        "path", "size", "sha256", "codec", "frames", "dropped_frames", "frames_per_second", "error"};
    return Members(kMembers, [&](std::size_t member) {
      switch (member) {
        case 0:
          return Text(v.Path);
        case 1:
          return Whole(v.Size);
        case 2:
          return Text(v.Sha256);
        case 3:
          return Text(v.Codec);
        case 4:
          return Whole(v.Frames);
        case 5:
          return Whole(v.DroppedFrames);
        case 6:
          return Real(v.FramesPerSecond);
        default:
          return Text(v.Error);
      }
    });
  }

  bool ReadQuality(TrialQualityRecord& q) {
    static constexpr std::array<std::string_view, 9> kMembers = {
        "samples",  "not_seen", "not_seen_percent",      "out_of_range", "jumps",
        "too_fast", "suspect",  "ended_in_first_second", "reasons"};
    return Members(kMembers, [&](std::size_t member) {
      switch (member) {
        case 0:
          return Whole(q.Samples);
        case 1:
          return Whole(q.NotSeen);
        case 2:
          return Real(q.NotSeenPercent);
        case 3:
          return Whole(q.OutOfRange);
        case 4:
          return Whole(q.Jumps);
        case 5:
          return Whole(q.TooFast);
        case 6:
          return Flag(q.Suspect);
        case 7:
          return Flag(q.EndedInFirstSecond);
        default:
          return List([&] {
            std::string reason;
            if (!String(reason)) return false;  // not text: damage the general reader says
            q.Reasons.push_back(std::move(reason));
            return true;
          });
      }
    });
  }

  // ---- the JSON of the layout ----

  void SkipSpace() {
    while (p_ != end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t')) ++p_;
  }
  bool Take(char c) {
    SkipSpace();
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }
  bool AtNull() {
    SkipSpace();
    return end_ - p_ >= 4 && std::string_view(p_, 4) == "null";
  }
  bool Null() {
    if (!AtNull()) return false;
    p_ += 4;
    return true;
  }

  // An object of known members, each at most once; `member(i)` reads the value of
  // names[i]. A member of another name is one this reader cannot keep.
  template <std::size_t N, typename Member>
  bool Members(const std::array<std::string_view, N>& names, Member member) {
    static_assert(N <= 32);
    uint32_t seen = 0;
    std::string key;
    return Object(key, [&] {
      std::size_t i = 0;
      while (i < N && names[i] != key) ++i;
      if (i == N || (seen >> i & 1) != 0) return false;
      seen |= 1u << i;
      return member(i);
    });
  }
  // An object of entries by name (trials by raw file); `entry(name)` reads the value, an
  // object (its reader takes nothing else).
  template <typename Entry>
  bool Entries(Entry entry) {
    if (AtNull()) return Null();
    std::string key;
    return Object(key, [&] { return entry(std::move(key)); });
  }
  template <typename Value>
  bool Object(std::string& key, Value value) {
    if (!Take('{')) return false;
    if (Take('}')) return true;
    do {
      SkipSpace();
      if (!String(key) || !Take(':') || !value()) return false;
    } while (Take(','));
    return Take('}');
  }
  // A list whose items `item()` reads; null is no list.
  template <typename Item>
  bool List(Item item) {
    if (AtNull()) return Null();
    if (!Take('[')) return false;
    if (Take(']')) return true;
    do {
      SkipSpace();
      if (!item()) return false;
    } while (Take(','));
    return Take(']');
  }

  bool Text(std::string& out) {
    if (AtNull()) return Null();
    SkipSpace();
    return String(out);
  }
  bool Flag(bool& out) {
    if (AtNull()) return Null();
    if (end_ - p_ >= 4 && std::string_view(p_, 4) == "true") {
      p_ += 4;
      out = true;
      return true;
    }
    if (end_ - p_ >= 5 && std::string_view(p_, 5) == "false") {
      p_ += 5;
      out = false;
      return true;
    }
    return false;
  }

  // A number as JSON writes it. A whole number is read as the general reader reads one:
  // without a sign as unsigned, with one as signed, either as a number with a fraction
  // when it does not fit.
  struct Number {
    std::string_view token;
    bool whole = false;
    bool negative = false;
    uint64_t magnitude = 0;
  };
  bool ReadNumber(Number& n) {
    SkipSpace();
    const char* const start = p_;
    auto digits = [&] {
      const char* const first = p_;
      while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
      return p_ != first;
    };
    n.negative = p_ != end_ && *p_ == '-';
    if (n.negative) ++p_;
    const char* const integer = p_;
    if (!digits()) return false;
    if (*integer == '0' && p_ - integer > 1) return false;  // no leading zeros in JSON
    const char* const integerEnd = p_;
    n.whole = true;
    if (p_ != end_ && *p_ == '.') {
      ++p_;
      if (!digits()) return false;
      n.whole = false;
    }
    if (p_ != end_ && (*p_ == 'e' || *p_ == 'E')) {
      ++p_;
      if (p_ != end_ && (*p_ == '+' || *p_ == '-')) ++p_;
      if (!digits()) return false;
      n.whole = false;
    }
    n.token = std::string_view(start, static_cast<std::size_t>(p_ - start));
    if (n.whole) {
      const auto [end, error] = std::from_chars(integer, integerEnd, n.magnitude);
      const uint64_t limit = n.negative ? uint64_t{1} << 63 : std::numeric_limits<uint64_t>::max();
      if (error != std::errc() || end != integerEnd || n.magnitude > limit) n.whole = false;
    }
    return true;
  }
  template <typename Integer>
  bool Whole(Integer& out) {
    if (AtNull()) return Null();
    Number n;
    if (!ReadNumber(n) || !n.whole) return false;
    // Converted as the general reader converts: to the member's type as it stands.
    out = n.negative ? static_cast<Integer>(static_cast<int64_t>(0 - n.magnitude))
                     : static_cast<Integer>(n.magnitude);
    return true;
  }
  template <typename Integer>
  bool Whole(std::optional<Integer>& out) {
    if (AtNull()) return Null();
    return Whole(out.emplace());
  }
  bool Real(double& out) {
    if (AtNull()) return Null();
    Number n;
    if (!ReadNumber(n)) return false;
    if (n.whole) {
      out = n.negative ? static_cast<double>(static_cast<int64_t>(0 - n.magnitude))
                       : static_cast<double>(n.magnitude);
      return true;
    }
    const auto [end, error] = std::from_chars(n.token.data(), n.token.data() + n.token.size(), out);
    return error == std::errc() && end == n.token.data() + n.token.size();
  }

  // A string: the escapes the writer makes of quotes, backslashes and the usual controls;
  // other text must be valid UTF-8, as the general reader demands. \u escapes are left to
  // the general reader.
  bool String(std::string& out) {
    if (p_ == end_ || *p_ != '"') return false;
    ++p_;
    out.clear();
    for (;;) {
      const char* const run = p_;
      while (p_ != end_ && static_cast<unsigned char>(*p_) >= 0x20 &&
             static_cast<unsigned char>(*p_) < 0x80 && *p_ != '"' && *p_ != '\\')
        ++p_;
      out.append(run, static_cast<std::size_t>(p_ - run));
      if (p_ == end_) return false;
      const auto c = static_cast<unsigned char>(*p_);
      if (c == '"') {
        ++p_;
        return true;
      }
      if (c == '\\') {
        if (end_ - p_ < 2) return false;
        static constexpr std::string_view kEscaped = "\"\\/bfnrt", kMeant = "\"\\/\b\f\n\r\t";
        const std::size_t which = kEscaped.find(p_[1]);
        if (which == std::string_view::npos) return false;
        out += kMeant[which];
        p_ += 2;
        continue;
      }
      if (c < 0x20) return false;
      const int length = Utf8Length();
      if (length == 0) return false;
      out.append(p_, static_cast<std::size_t>(length));
      p_ += length;
    }
  }
  // The bytes of the well-formed UTF-8 character at p_ (RFC 3629), or 0.
  int Utf8Length() const {
    const auto at = [&](std::ptrdiff_t i) { return i < end_ - p_ ? static_cast<unsigned char>(p_[i]) : 0u; };
    const auto in = [](unsigned c, unsigned low, unsigned high) { return c >= low && c <= high; };
    const unsigned first = at(0);
    if (in(first, 0xC2, 0xDF)) return in(at(1), 0x80, 0xBF) ? 2 : 0;
    if (in(first, 0xE0, 0xEF)) {
      const unsigned low = first == 0xE0 ? 0xA0 : 0x80, high = first == 0xED ? 0x9F : 0xBF;
      return in(at(1), low, high) && in(at(2), 0x80, 0xBF) ? 3 : 0;
    }
    if (in(first, 0xF0, 0xF4)) {
      const unsigned low = first == 0xF0 ? 0x90 : 0x80, high = first == 0xF4 ? 0x8F : 0xBF;
      return in(at(1), low, high) && in(at(2), 0x80, 0xBF) && in(at(3), 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
  }

  // A member kept as a document (a detector's settings): its extent is found here and the
  // general reader reads that much. Must be an object.
  bool Document(nlohmann::json& out) {
    SkipSpace();
    const char* const start = p_;
    if (p_ == end_ || *p_ != '{') return false;
    int depth = 0;
    do {
      const char c = *p_++;
      if (c == '"') {
        while (p_ != end_ && *p_ != '"') p_ += *p_ == '\\' && end_ - p_ >= 2 ? 2 : 1;
        if (p_ == end_) return false;
        ++p_;
      } else if (c == '{' || c == '[') {
        ++depth;
      } else if (c == '}' || c == ']') {
        --depth;
      }
    } while (depth > 0 && p_ != end_);
    if (depth != 0) return false;
    nlohmann::json value = nlohmann::json::parse(start, p_, nullptr, false);
    if (value.is_discarded() || !value.is_object()) return false;
    out = std::move(value);
    return true;
  }

  const char* p_;
  const char* const end_;
};

}  // namespace

bool ReadProvenanceAsWritten(std::string_view text, ExperimentProvenance& record) {
  record = ExperimentProvenance{};
  record.Format = 0;
  return WrittenRecordReader(text).Read(record);
}

}  // namespace tarnwell
