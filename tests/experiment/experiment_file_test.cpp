#include "experiment/experiment_file.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/file_access.h"
#include "core/scripted_operator.h"
#include "pool/pool_defaults.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

const std::string kTitle = "[Windows Tarnwell Experiment Setup]";

TEST(FormatExperimentText, WritesTheDesignedLinesWithFilePrintNumbers) {
  const ExperimentSetup e{"/data/WEEK1.EXP", false, 60, 0, -5, 0, {"RAT1", "say \"hi\""}};
  EXPECT_EQ(FormatExperimentText(e),
            "[Windows Tarnwell Experiment Setup]\r\n"
            "Data File = \"/data/WEEK1.EXP\"\r\n"
            "Maximum Time =  60 \r\n"
            "Active Platform =  0 \r\n"
            "Distance from Start = -5 \r\n"
            "Subject ID 1 = \"RAT1\"\r\n"
            "Subject ID 2 = \"say 'hi'\"\r\n");
}

// Reads the lines after a title line into a setup that starts from known values.
ExperimentSetup ReadLines(const std::string& lines) {
  ExperimentSetup e;
  e.SubjectIDs = {"BEFORE"};
  e.SubjectCount = 1;
  ReadExperimentTextLines(kTitle + "\r\n" + lines, e);
  return e;
}

TEST(ReadExperimentTextLines, FollowsTheKeyLineRule) {
  struct Case {
    const char* what;
    std::string lines;
    int16_t maxTime, active, distance;
    std::vector<std::string> ids;
  };
  const std::vector<Case> cases = {
      {"keys in any case and spacing", "maximum time=45\r\nACTIVE   PLATFORM =  3\ndistance FROM start= 7", 45, 3, 7, {}},
      {"IDs in file order, key numbers unused", "Subject ID 7 = \"G\"\r\nSubject ID 2 = \"A\"\r\nSubject ID 9 = \"Z\"", 10, 1, 10, {"G", "A", "Z"}},
      {"unquoted value with a blank is ignored", "Subject ID 1 = two words\r\nMaximum Time = 1 2", 10, 1, 10, {}},
      {"quoted ID is trimmed", "Subject ID 1 = \"  r 1  \"", 10, 1, 10, {"r 1"}},
      {"decimal comma and point round half to even", "Maximum Time = 2,5\r\nActive Platform = 3.5", 2, 4, 10, {}},
      {"numbers beyond 16 bits are limited", "Maximum Time = 99999\r\nDistance from Start = -1e9", 32767, 1, -32768, {}},
      {"unknown lines are ignored", "Colour = blue\r\n[Other Section]\r\nMaximum Time = 8", 8, 1, 10, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ExperimentSetup e = ReadLines(c.lines);
    EXPECT_EQ(std::tie(e.MaxTime, e.ActivePlatform, e.DistFromStart, e.SubjectIDs),
              std::tie(c.maxTime, c.active, c.distance, c.ids));
    EXPECT_EQ(e.SubjectCount, static_cast<int16_t>(c.ids.size()));
  }
}

TEST(ReadExperimentText, TitleLineFromATextEditorIsAccepted) {
  test::TempDir dir;
  for (const std::string& title : {"\xEF\xBB\xBF" + kTitle + "\t", kTitle + "  "}) {
    SCOPED_TRACE(title);
    const auto path =
        dir.Write("DEFAULT.CFG", title + "\r\nActive Platform = 3\r\nSubject ID 1 = \"R1\"\r\n");
    ExperimentSetup e;
    ASSERT_TRUE(ReadExperimentText(path, e));
    EXPECT_EQ(e.ActivePlatform, 3);
    EXPECT_EQ(e.SubjectIDs, std::vector<std::string>{"R1"});
    EXPECT_TRUE(IsCurrentFormatFile(path)) << "never read as a binary record";
  }
}

TEST(CheckDistanceFromStart, LimitsTheDistanceToThePoolRadiusAndTo0To200) {
  struct Case {
    const char* what;
    int16_t actualSizeX;
    std::string box, expectedBox;
    int16_t expectedDistance;  // 99 when the check leaves it alone
    std::vector<std::pair<std::string, MessageIcon>> messages;
  };
  const std::string range = "\"Distance from start\"\nmust be in the range of : \n0 to 200";
  const std::vector<Case> cases = {
      {"radius 80 accepts 80", 160, "80", "80", 99, {}},
      {"radius 80.5 refuses 81", 161, "81", "80.5", 80, {{"The 'Distance from Start'\ncannot be greater than 80.5,\nthe radius of the pool.", MessageIcon::Exclamation}}},
      {"80.4 counts as 80", 160, "80.4", "80.4", 99, {}},
      {"below 0", 160, "-5", "0", 0, {{range, MessageIcon::Critical}}},
      {"beyond radius and 200", 500, "260", "200", 200, {{"The 'Distance from Start'\ncannot be greater than 250,\nthe radius of the pool.", MessageIcon::Exclamation}, {range, MessageIcon::Critical}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedOperator op;
    PoolSetup pool = DefaultPool();
    pool.ActualSizeX = c.actualSizeX;
    ExperimentSetup e;
    e.DistFromStart = 99;
    EXPECT_EQ(CheckDistanceFromStart(op, c.box, pool, e), c.expectedBox);
    EXPECT_EQ(e.DistFromStart, c.expectedDistance);
    const auto messages = op.Messages();
    ASSERT_EQ(messages.size(), c.messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(std::tie(messages[i].text, messages[i].title, messages[i].icon),
                std::make_tuple(c.messages[i].first, "Range Error", c.messages[i].second));
    }
  }
}

TEST(CheckTrialIDs, RefusesWhatARunCannotRecord) {
  std::vector<std::string> many;
  for (int i = 1; i <= 101; ++i) many.push_back("S" + std::to_string(i));
  std::vector<std::string> hundred(many.begin(), many.end() - 1);
  struct Case {
    const char* what;
    std::vector<std::string> ids;
    bool expected;
    std::string message;  // empty: none
    std::string title;
  };
  const std::vector<Case> cases = {
      {"none", {}, false, "At least one trial ID\nis required to run\nan experiment.", "Cannot run experiment"},
      {"100", hundred, true, "", ""},
      {"101", many, false, "This experiment has 101 trial IDs.\nAn experiment file holds\nat most 100.", "Cannot run experiment"},
      {"the same ID twice is no refusal", {"A", "B", "A"}, true, "", ""},
      {"longer than 8 is a warning", {"RAT000012", "B"}, true, "Trial IDs are stored with 8 characters.\nThese are kept as:\n\"RAT000012\" as \"RAT00001\"", "Trial IDs"},
      {"two IDs the cut makes one are refused", {"RAT00001", "RAT000012", "B", "RAT000012", "RAT000013"}, false,
       "These trial IDs differ, but their first 8 characters,\nwhich are all that is stored, are the same:\n"
       "1 \"RAT00001\" and 2 \"RAT000012\"\n1 \"RAT00001\" and 5 \"RAT000013\"\n\n"
       "Their trials would be filed as one animal's.\nGive them IDs that differ in their first 8 characters.",
       "Cannot run experiment"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedOperator op;
    ExperimentSetup e;
    e.SubjectIDs = c.ids;
    e.SubjectCount = static_cast<int16_t>(c.ids.size());
    EXPECT_EQ(CheckTrialIDs(op, e), c.expected);
    const auto messages = op.Messages();
    if (c.message.empty()) {
      EXPECT_TRUE(messages.empty());
      continue;
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(
        std::tie(messages[0].text, messages[0].title, messages[0].icon),
        std::make_tuple(c.message, c.title, c.expected ? MessageIcon::Exclamation : MessageIcon::Critical));
  }
  ScriptedOperator op;
  EXPECT_TRUE(CheckTrialIDs(op, ExperimentSetup{}, /*shuttingDown=*/true));
  EXPECT_TRUE(op.Log().empty());
}

TEST(RepeatedTrialIDsText, NamesThePairsThatAreTheSameInTheStoredCharacters) {
  EXPECT_EQ(RepeatedTrialIDsText({"rat1", "RAT1", "B"}), "") << "case makes IDs differ";
  // IDs typed alike are one animal's trials and only warned about; IDs the cut makes
  // alike are the run's refusal, not this warning.
  EXPECT_EQ(
      RepeatedTrialIDsText({"R0", "RAT00001A", "A", "RAT00001B", "A", "RAT00001A"}),
      "These trial IDs repeat in the 8 characters\nthat are stored:\n"
      "3 \"A\" and 5 \"A\"\n2 \"RAT00001A\" and 6 \"RAT00001A\"\n\n"
      "Each trial is still recorded under its\nown number; reports and tables show\nthe same ID for them.");
  EXPECT_EQ(RepeatedTrialIDsText({"RAT00001A", "RAT00001B"}), "");
  EXPECT_EQ(TrialIDsMergedByCutText({"RAT00001A", "A", "RAT00001A"}), "") << "typed alike is no merge";
}

TEST(StartUpIdsMergedByCutText, TheTypedIdsSpeakOnlyWhileTheListIsTheirCut) {
  const std::vector<std::string> typed = {"RAT00001A", "B", "RAT00001B"};
  const std::string merged = TrialIDsMergedByCutText(typed);
  ASSERT_FALSE(merged.empty());
  struct Case {
    std::vector<std::string> typed, list;
    bool refused;
    const char* why;
  };
  const Case cases[] = {
      {typed, {"RAT00001", "B", "RAT00001"}, true, "the list is the typed IDs cut: two animals made one"},
      {typed, {"RAT00001", "B", "RAT00002"}, false, "the operator has changed an ID since"},
      {typed, {"RAT00001", "B"}, false, "a list of another length is another list"},
      {{"RAT00001A", "RAT00001A"}, {"RAT00001", "RAT00001"}, false, "typed alike: one animal's trials"},
      {{}, {"RAT00001", "RAT00001"}, false, "no typed IDs (no DEFAULT.CFG)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StartUpIdsMergedByCutText(c.typed, c.list), c.refused ? merged : "") << c.why;
}

}  // namespace
}  // namespace tarnwell
