#include "study/strategy_agreement.h"
#include "core/text.h"

#include <cstdio>
#include <algorithm>
#include <set>

namespace tarnwell {

namespace {

std::string LowerTrimmed(std::string_view text) {
  return ToLowerAscii(Trim(text, " \t\r"));
}

std::string Percent(double share) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f %%", 100 * share);
  return buffer;
}

std::string Fixed(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3f", value);
  return buffer;
}

template <size_t N>
int Total(const std::array<std::array<int, N>, N>& table) {
  int n = 0;
  for (const auto& row : table)
    for (int v : row) n += v;
  return n;
}

template <size_t N>
double Agreement(const std::array<std::array<int, N>, N>& table) {
  const int n = Total(table);
  int same = 0;
  for (size_t i = 0; i < N; ++i) same += table[i][i];
  return n > 0 ? static_cast<double>(same) / n : 0.0;
}

template <size_t N, typename Name>
void AppendTable(std::string& out, const std::array<std::array<int, N>, N>& table, Name name) {
  std::vector<size_t> used;
  for (size_t i = 0; i < N; ++i) {
    int any = 0;
    for (size_t j = 0; j < N; ++j) any += table[i][j] + table[j][i];
    if (any > 0) used.push_back(i);
  }
  size_t width = 6;
  for (size_t i : used) width = std::max(width, std::string(name(i)).size());
  auto pad = [](std::string text, size_t w) {
    while (text.size() < w) text.insert(text.begin(), ' ');
    return text;
  };
  out += pad("judged \\ called", width + 2);
  for (size_t j : used) out += " " + pad(std::string(name(j)), std::max<size_t>(6, std::string(name(j)).size()));
  out += "\n";
  for (size_t i : used) {
    out += pad(std::string(name(i)), width + 2);
    for (size_t j : used)
      out += " " + pad(std::to_string(table[i][j]), std::max<size_t>(6, std::string(name(j)).size()));
    out += "\n";
  }
}

}  // namespace

template <size_t N>
double CohensKappa(const std::array<std::array<int, N>, N>& table) {
  const int n = Total(table);
  if (n == 0) return 0;
  double expected = 0;
  for (size_t i = 0; i < N; ++i) {
    double row = 0, column = 0;
    for (size_t j = 0; j < N; ++j) row += table[i][j], column += table[j][i];
    expected += (row / n) * (column / n);
  }
  const double observed = Agreement(table);
  if (expected >= 1) return observed >= 1 ? 1.0 : 0.0;
  return (observed - expected) / (1 - expected);
}
template double CohensKappa<kSearchStrategyCount>(
    const std::array<std::array<int, kSearchStrategyCount>, kSearchStrategyCount>&);
template double CohensKappa<kStrategyFamilyCount>(
    const std::array<std::array<int, kStrategyFamilyCount>, kStrategyFamilyCount>&);

bool ParseStrategyLabels(std::string_view text, std::vector<StrategyLabel>& labels,
                         std::vector<SheetProblem>& problems) {
  const size_t before = problems.size();
  const std::vector<CsvRecord> records = ParseCsvRecords(text, DetectCsvSeparator(text));
  if (records.empty()) {
    problems.push_back({0, "holds no header line (raw_file,label)"});
    return false;
  }
  int fileColumn = -1, labelColumn = -1;
  for (size_t i = 0; i < records[0].Fields.size(); ++i) {
    const std::string name = LowerTrimmed(records[0].Fields[i]);
    if (name == "raw_file") fileColumn = static_cast<int>(i);
    if (name == "label") labelColumn = static_cast<int>(i);
  }
  if (fileColumn < 0 || labelColumn < 0) {
    problems.push_back({records[0].Line, "the header must name the columns raw_file and label"});
    return false;
  }
  std::map<std::string, int> lineOf;
  for (size_t r = 1; r < records.size(); ++r) {
    const CsvRecord& record = records[r];
    bool blank = true;
    for (const std::string& field : record.Fields) blank = blank && LowerTrimmed(field).empty();
    if (blank) continue;
    auto field = [&](int column) {
      return static_cast<size_t>(column) < record.Fields.size() ? record.Fields[static_cast<size_t>(column)]
                                                                : std::string();
    };
    const std::string file = field(fileColumn);
    const std::string labelText = field(labelColumn);
    const auto label = ParseStrategyLabel(labelText);
    if (LowerTrimmed(file).empty()) {
      problems.push_back({record.Line, "no raw_file"});
      continue;
    }
    if (!label) {
      problems.push_back({record.Line, "\"" + labelText + "\" is neither a strategy nor a family of strategies"});
      continue;
    }
    const auto [at, fresh] = lineOf.try_emplace(file, record.Line);
    if (!fresh) {
      problems.push_back({record.Line, file + " is labelled on line " + std::to_string(at->second) + " already"});
      continue;
    }
    labels.push_back({record.Line, file, *label});
  }
  return problems.size() == before;
}

bool LabelNamesRawFile(std::string_view labelFile, const std::filesystem::path& trialFile) {
  std::vector<std::string> label, trial;
  std::string part;
  for (char c : labelFile) {
    if (c == '/' || c == '\\') {
      if (!part.empty() && part != ".") label.push_back(part);
      part.clear();
    } else {
      part += ToLowerAscii(c);
    }
  }
  if (!part.empty()) label.push_back(part);
  for (const auto& component : trialFile.lexically_normal()) {
    const std::string text = ToLowerAscii(component.string());
    if (!text.empty() && text != "/") trial.push_back(text);
  }
  if (label.empty() || label.size() > trial.size()) return false;
  return std::equal(label.rbegin(), label.rend(), trial.rbegin());
}

void StrategyAgreement::Add(int label, SearchStrategy call) {
  const size_t called = static_cast<size_t>(call);
  const size_t calledFamily = static_cast<size_t>(FamilyOf(call));
  size_t family = 0;
  if (label >= 100) {
    family = static_cast<size_t>(label - 100);
  } else {
    Classes[static_cast<size_t>(label)][called] += 1;
    family = static_cast<size_t>(FamilyOf(static_cast<SearchStrategy>(label)));
  }
  Families[family][calledFamily] += 1;
}

int StrategyAgreement::ClassTracks() const { return Total(Classes); }
int StrategyAgreement::FamilyTracks() const { return Total(Families); }
double StrategyAgreement::ClassAgreement() const { return Agreement(Classes); }
double StrategyAgreement::FamilyAgreement() const { return Agreement(Families); }
double StrategyAgreement::ClassKappa() const { return CohensKappa(Classes); }
double StrategyAgreement::FamilyKappa() const { return CohensKappa(Families); }
int StrategyAgreement::Unclassified() const {
  int n = 0;
  for (const auto& row : Families) n += row[static_cast<size_t>(StrategyFamily::Unclassified)];
  return n;
}

std::string StrategyAgreement::Text() const {
  std::string out;
  if (ClassTracks() > 0) {
    out += "Classes (" + std::to_string(ClassTracks()) + " tracks labelled with a class):\n";
    AppendTable(out, Classes, [](size_t i) { return SearchStrategyName(static_cast<SearchStrategy>(i)); });
    out += "agreement " + Percent(ClassAgreement()) + ", Cohen's kappa " + Fixed(ClassKappa()) + "\n\n";
  }
  out += "Families (" + std::to_string(FamilyTracks()) + " tracks):\n";
  AppendTable(out, Families, [](size_t i) { return StrategyFamilyName(static_cast<StrategyFamily>(i)); });
  out += "agreement " + Percent(FamilyAgreement()) + ", Cohen's kappa " + Fixed(FamilyKappa()) + "\n";
  out += "unclassified: " + std::to_string(Unclassified()) + " of " + std::to_string(FamilyTracks()) + "\n";
  return out;
}

}  // namespace tarnwell
