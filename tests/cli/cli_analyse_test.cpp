// tarnwell-cli analyse and report, run as the program a lab scripts: on an experiment
// folder written by hand, whose table is worked out by hand in
// tests/analysis/golden/tabulated_week1.CSV.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <charconv>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/file_util.h"
#include "core/numbers.h"
#include "pool/pool_file.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

std::string Golden(const std::string& name) {
  std::string text;
  EXPECT_TRUE(
      ReadWholeFile(std::filesystem::path(TARNWELL_SOURCE_DIR) / "tests/analysis/golden" / name, text));
  return text;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the tool with its home in `dir`/home and its working folder `dir`/work.
CliRun RunCli(const test::TempDir& dir, const std::vector<std::string>& args,
              const std::string& locale = "C") {
  std::filesystem::create_directories(dir.Path() / "home");
  std::filesystem::create_directories(dir.Path() / "work");
  std::string command = "cd " + Quote((dir.Path() / "work").string()) + " && LC_ALL=" + locale + " " +
                        Quote(TARNWELL_CLI_PATH) + " --home " + Quote((dir.Path() / "home").string());
  for (const std::string& a : args) command += " " + Quote(a);
  command += " >" + Quote((dir.Path() / "stdout").string()) + " 2>" + Quote((dir.Path() / "stderr").string());
  CliRun run;
  const int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = dir.Read("stdout");
  run.err = dir.Read("stderr");
  return run;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

// A small JSON reader, enough to check what the tool prints (and that it is JSON).
struct Json {
  std::variant<std::nullptr_t, bool, std::string, double, std::vector<Json>, std::map<std::string, Json>>
      value;
  std::string numberText;
  const Json& operator[](const std::string& key) const { return std::get<5>(value).at(key); }
  const Json& operator[](size_t i) const { return std::get<4>(value).at(i); }
  size_t size() const { return std::get<4>(value).size(); }
};

class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}
  bool Read(Json& json) {
    const bool ok = Value(json);
    Blanks();
    return ok && at_ == text_.size();
  }

 private:
  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n')) ++at_;
  }
  bool Literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool String(std::string& out) {
    if (!Literal("\"")) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      if (text_[at_] == '\\') ++at_;
      if (at_ < text_.size()) out += text_[at_++];
    }
    return Literal("\"");
  }
  bool Value(Json& json) {
    Blanks();
    if (Literal("null")) return true;
    if (Literal("true")) return json.value = true, true;
    if (Literal("false")) return json.value = false, true;
    if (at_ < text_.size() && text_[at_] == '"') {
      std::string s;
      if (!String(s)) return false;
      json.value = s;
      return true;
    }
    if (Literal("[")) {
      std::vector<Json> items;
      Blanks();
      if (!Literal("]")) {
        do {
          items.emplace_back();
          if (!Value(items.back())) return false;
          Blanks();
        } while (Literal(","));
        if (!Literal("]")) return false;
      }
      json.value = std::move(items);
      return true;
    }
    if (Literal("{")) {
      std::map<std::string, Json> members;
      Blanks();
      if (!Literal("}")) {
        do {
          Blanks();
          std::string key;
          if (!String(key)) return false;
          Blanks();
          if (!Literal(":") || !Value(members[key])) return false;
          Blanks();
        } while (Literal(","));
        if (!Literal("}")) return false;
      }
      json.value = std::move(members);
      return true;
    }
    double number = 0;
    const auto res = std::from_chars(text_.data() + at_, text_.data() + text_.size(), number);
    if (res.ec != std::errc()) return false;
    json.numberText = std::string(text_.substr(at_, res.ptr - (text_.data() + at_)));
    at_ = res.ptr - text_.data();
    json.value = number;
    return true;
  }
  std::string_view text_;
  size_t at_ = 0;
};

// The JSON number formatted as the table formats its kind of value: a single's digits
// for the measures, a double's for the latency.
std::string AsTable(const Json& number, int decimals, bool isDouble = false) {
  if (isDouble) return FormatFixed(std::get<double>(number.value), decimals);
  float value = 0;
  std::from_chars(number.numberText.data(), number.numberText.data() + number.numberText.size(), value);
  return decimals == 0 ? number.numberText : FormatFixed(value, decimals);
}

TEST(CliAnalyse, RebuildsTheTableOfAHandWrittenExperiment) {
  struct Case {
    const char* locale;
    const char* golden;
  };
  const Case cases[] = {{"C", "tabulated_week1.CSV"}, {"de_DE.UTF-8", "tabulated_week1_comma.CSV"}};
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    dir.Write("WEEK1.CSV", "an older table\r\n");
    const CliRun run = RunCli(dir, {"analyse", dataFile.string()}, c.locale);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(dir.Read("WEEK1.CSV"), Golden(c.golden)) << c.locale;
    EXPECT_EQ(run.out, (dir.Path() / "WEEK1.CSV").string() + ": 2 trials\n");
    EXPECT_NE(run.err.find("analysis settings from"), std::string::npos) << run.err;
    // The command's temporary report is its own and is gone afterwards; nothing lands in
    // the working folder.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path() / "home"))
      EXPECT_NE(entry.path().filename().string().rfind("~TMPDAT", 0), 0u) << entry.path();
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "work")) << c.locale;
  }
}

TEST(CliAnalyse, JsonAgreesWithTheTable) {
  test::TempDir dir;
  const auto dataFile = test::WriteWeek1(dir);
  const CliRun run = RunCli(dir, {"analyse", dataFile.string(), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> objects = Split(run.out.substr(0, run.out.size() - 1), '\n');
  const std::vector<std::string> records = Split(dir.Read("WEEK1.CSV"), '\n');
  ASSERT_EQ(objects.size(), 2u) << run.out;
  ASSERT_EQ(records.size(), 3u);
  for (size_t t = 0; t < objects.size(); ++t) {
    Json j;
    ASSERT_TRUE(JsonReader(objects[t]).Read(j)) << objects[t];
    const std::vector<std::string> v = Split(records[t], ',');
    EXPECT_EQ("\"" + std::get<std::string>(j["dataFile"].value) + "\"", v[0]);
    EXPECT_EQ("\"" + std::get<std::string>(j["label"].value) + "\"", v[1]);
    EXPECT_EQ("\"" + std::get<std::string>(j["status"].value) + "\"", v[2]);
    EXPECT_EQ(AsTable(j["latency"], 2, true), v[3]);
    EXPECT_EQ(AsTable(j["pathLength"], 1), v[4]);
    EXPECT_EQ(std::holds_alternative<bool>(j["angleValid"].value) && std::get<bool>(j["angleValid"].value)
                  ? AsTable(j["initialAngle"], 1)
                  : "Undefined",
              v[5]);
    EXPECT_EQ(AsTable(j["distanceFromStart"], 0), v[6]);
    const Json& counters = j["counters"];
    ASSERT_EQ(counters.size(), 4u);
    for (size_t p = 0; p < 4; ++p) {
      EXPECT_EQ(AsTable(counters[p]["entries"], 0), v[7 + p]);
      EXPECT_EQ(AsTable(counters[p]["time"], 2), v[11 + p]);
      EXPECT_EQ(AsTable(counters[p]["path"], 1), v[15 + p]);
      EXPECT_EQ(AsTable(counters[p]["proximityAvg"], 1), v[19 + p]);
      EXPECT_EQ(AsTable(counters[p]["cumulative"], 1), v[23 + p]);
    }
    const Json& zones = j["zones"];
    ASSERT_EQ(zones.size(), 1u);
    for (size_t q = 0; q < 4; ++q) {
      EXPECT_EQ(AsTable(zones[0]["quadrants"][q]["entries"], 0), v[27 + q]);
      EXPECT_EQ(AsTable(zones[0]["quadrants"][q]["time"], 2), v[31 + q]);
      EXPECT_EQ(AsTable(zones[0]["quadrants"][q]["path"], 1), v[35 + q]);
    }
    EXPECT_EQ(v.size(), 40u) << "every value is followed by the separator";
  }
}

TEST(CliAnalyse, OptionsAndRefusals) {
  struct Case {
    const char* what;
    std::vector<std::string> extra;
    int status;
    std::string tableStart;  // start of the rebuilt table, or "" when it must stay as it was
  };
  const Case cases[] = {
      // Samples 1..5 of the window, plus the one at its end: the platform is never reached.
      {"epoch items lead each record",
       {"--epoch", "0,0.2"},
       0,
       "\"Epoch\",0,0.2,\"WEEK1.EXP\",\"R1\",\"Aborted\",0.20,"},
      {"a given pool wins over the companion's",
       {"--pool", "OTHER.POL"},
       0,
       "\"WEEK1.EXP\",\"R1\",\"Aborted\","},
      {"artifact filter accepted", {"--artifact-filter"}, 0, "\"WEEK1.EXP\",\"R1\",\"Hit Goal\",0.27,28.0,"},
      {"epoch without a time", {"--epoch", "1.5"}, 2, ""},
      {"negative epoch", {"--epoch", "-1,2"}, 2, ""},
      {"unknown option", {"--bogus"}, 2, ""},
      {"pool file that is no pool", {"--pool", "MISSING.POL"}, 1, ""},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const auto dataFile = test::WriteWeek1(dir);
    PoolSetup moved = test::Week1Pool();
    moved.Platforms[0].X = 40;  // far from the track: no hit
    std::filesystem::create_directories(dir.Path() / "work");
    ASSERT_TRUE(WritePoolSetupFile(dir.Path() / "work" / "OTHER.POL", moved));
    dir.Write("WEEK1.CSV", "old\r\n");
    std::vector<std::string> args = {"analyse", dataFile.string()};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const CliRun run = RunCli(dir, args);
    EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
    const std::string table = dir.Read("WEEK1.CSV");
    if (c.tableStart.empty()) {
      EXPECT_EQ(table, "old\r\n") << c.what;
    } else {
      EXPECT_EQ(table.rfind(c.tableStart, 0), 0u) << c.what << ": " << table;
    }
  }

  test::TempDir dir;
  dir.Write("TYPO.CSV", "old\r\n");
  const CliRun typo = RunCli(dir, {"analyse", (dir.Path() / "TYPO.EXP").string()});
  EXPECT_EQ(typo.status, 1);
  EXPECT_NE(typo.err.find("no raw files TYPO??.RAW"), std::string::npos) << typo.err;
  EXPECT_EQ(dir.Read("TYPO.CSV"), "old\r\n") << "a mistyped experiment never removes a table";
  EXPECT_EQ(RunCli(dir, {"analyse"}).status, 2);
}

TEST(CliReport, WritesTheReportPairOfOneTrialLabelledByItsExperiment) {
  test::TempDir dir;
  test::WriteWeek1(dir);
  const std::string golden = Golden("tabulated_week1.CSV");
  const std::string subject2Record = golden.substr(golden.find("\r\n") + 2);

  const CliRun run = RunCli(dir, {"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "rat3"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(dir.Read("work/rat3.CSV"), subject2Record);
  const std::string text = dir.Read("work/rat3.TXT");
  EXPECT_EQ(
      text.rfind("Results of Experiment:WEEK1.EXP\r\nSubject Label:" + std::string(14, ' ') + "R3\r\n", 0),
      0u)
      << text;
  EXPECT_EQ(run.out, "rat3.TXT\nrat3.CSV\n");

  const CliRun labelled = RunCli(dir, {"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "x.txt",
                                       "--label", "Rat \"3\"", "--epoch", "0,1"});
  ASSERT_EQ(labelled.status, 0) << labelled.err;
  EXPECT_EQ(dir.Read("work/x.CSV").rfind("\"Epoch\",0,1,\"WEEK1.EXP\",\"Rat '3'\",\"Aborted\",", 0), 0u)
      << dir.Read("work/x.CSV");

  struct Refusal {
    std::vector<std::string> args;
    int status;
  };
  const Refusal refusals[] = {
      {{"report", (dir.Path() / "WEEK101.RAW").string(), "--out", "r"}, 1},  // no such trial
      {{"report", (dir.Path() / "WEEK102.RAW").string()}, 2},                // no --out
      {{"report", (dir.Path() / "WEEK102.RAW").string(), "--out", "missing/r"}, 1},
  };
  for (const Refusal& r : refusals) {
    const CliRun refused = RunCli(dir, r.args);
    EXPECT_EQ(refused.status, r.status) << refused.err;
  }
  EXPECT_FALSE(dir.Exists("work/r.CSV"));
  EXPECT_FALSE(dir.Exists("work/r.TXT"));
}

}  // namespace
}  // namespace tarnwell
