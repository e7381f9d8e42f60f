#include "output/export.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/scripted_operator.h"
#include "support/golden.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

struct Week1 : test::Week1Folder {
  ExportState exportState;
};

bool Contains(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

const char* const kExportQuestion =
    "Warning :\nThe file \"WEEK1.CSV\"\nalready exists.\n\nDo you want to overwrite it or would you like to\n"
    "select a new file for the export output file?\n\nClick \"Yes\" to overwrite this file\n"
    "or \"No\" to select a different file.";

TEST(ConfirmExportOverwrite, AnswersDecideWhereTheTableGoes) {
  struct Case {
    const char* name;
    bool tableExists;
    std::optional<Answer> answer;
    std::optional<std::string> dialogReply;  // relative to the folder
    bool expected;
    const char* expectedTable;
  };
  const Case cases[] = {
      {"no table yet: no question", false, std::nullopt, std::nullopt, true, "WEEK1.CSV"},
      {"yes overwrites", true, Answer::Yes, std::nullopt, true, "WEEK1.CSV"},
      {"no with a new name", true, Answer::No, "OTHER.CSV", true, "OTHER.CSV"},
      {"cancel", true, Answer::Cancel, std::nullopt, false, "WEEK1.CSV"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    if (c.tableExists) dir.Write("WEEK1.CSV", "table");
    ExportState exportState;
    exportState.ExportTablePath = dir.Path() / "WEEK1.CSV";
    ScriptedOperator op;
    if (c.answer) op.QueueAnswer(*c.answer);
    if (c.dialogReply) op.QueueReply((dir.Path() / *c.dialogReply).string());

    EXPECT_EQ(ConfirmExportOverwrite(exportState, op), c.expected);
    EXPECT_EQ(exportState.ExportTablePath, dir.Path() / c.expectedTable);
    if (!c.tableExists) {
      EXPECT_TRUE(op.Log().empty());
      continue;
    }
    const auto messages = op.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(std::tie(messages[0].text, messages[0].buttons),
              std::make_tuple(kExportQuestion, MessageButtons::YesNoCancel));
  }
}

TEST(ExportAllSubjects, WritesTheTableAndEnablesTrailmapForTheTrialOnDisplay) {
  struct Case {
    const char* name;
    const char* viewed;
    bool trailmapEnabled;
  };
  for (const Case& c :
       {Case{"trial on display", "WEEK100.RAW", true}, Case{"raw file gone", "WEEK101.RAW", false}}) {
    SCOPED_TRACE(c.name);
    Week1 w;
    w.exportState.TrailmapSource = w.dir.Path() / "stale.RAW";
    w.exportState.ViewedRawFile = w.dir.Path() / c.viewed;

    ASSERT_TRUE(ExportAllSubjects(w.state, w.exportState, true, w.op, nullptr));

    EXPECT_EQ(w.Read("WEEK1.CSV"), test::Golden("analysis/golden/tabulated_week1.CSV"));
    const auto messages = w.op.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "All subjects have been\nexported to : WEEK1.CSV");
    EXPECT_EQ(w.exportState.TrailmapSource,
              c.trailmapEnabled ? w.exportState.ViewedRawFile : std::filesystem::path{});
  }
}

TEST(SaveAllSubjects, ListsAtMostSixExistingTargetsInOneQuestion) {
  const std::vector<std::string> seven = {"WEEK100.CSV", "WEEK100.TXT", "WEEK101.CSV", "WEEK101.TXT",
                                          "WEEK102.CSV", "WEEK102.TXT", "WEEK103.CSV"};
  const std::string many =
      "The following files\nalready exist.\n\nAre you sure you want to\noverwrite these "
      "files?\n\nWEEK100.CSV\nWEEK100.TXT\nWEEK101.CSV\nWEEK101.TXT\nWEEK102.CSV\nWEEK102.TXT";
  struct Case {
    const char* name;
    std::vector<std::string> existing;
    std::string question;
  };
  const Case cases[] = {
      {"one",
       {"WEEK102.TXT"},
       "The following file\nalready exists.\n\nAre you sure you want to\noverwrite this "
       "file?\n\nWEEK102.TXT"},
      {"six", {seven.begin(), seven.end() - 1}, many},
      {"seven", seven, many + "\n-- more ... --"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Week1 w;
    for (const char* raw : {"WEEK101.RAW", "WEEK103.RAW"})
      w.dir.Write(raw, test::Track({{120, 96}, {121, 96}}));
    for (const std::string& name : c.existing) w.dir.Write(name, "older");
    w.op.QueueAnswer(Answer::Cancel);

    const SaveAllResult result = SaveAllSubjects(w.state, w.exportState, w.op);

    EXPECT_EQ(result.status, SaveAllStatus::Declined);
    ASSERT_EQ(w.op.Log().size(), 1u) << "a refusal goes no further";
    const auto& m = w.op.Log()[0];
    EXPECT_EQ(std::tie(m.text, m.buttons), std::make_tuple(c.question, MessageButtons::OkCancel));
    for (const std::string& name : c.existing) EXPECT_EQ(w.Read(name), "older");
    EXPECT_FALSE(w.state.BatchExport);
  }
}

TEST(SaveAllSubjects, ASubjectWhoseReportFailedIsNotSavedUnderAnotherSubjectsReport) {
  Week1 w;
  ASSERT_TRUE(ShowViewedSubject(w.state, w.exportState, 0, w.op, nullptr));  // ~TMPDAT holds R1
  // From now on the temporary report cannot be written.
  w.state.TempReportPath = w.dir.Path() / "no such folder" / "~TMPDAT.CSV";
  w.op.ClearLog();

  const SaveAllResult result = SaveAllSubjects(w.state, w.exportState, w.op);

  EXPECT_EQ(std::make_tuple(result.status, result.written.size(), result.failed.size()),
            std::make_tuple(SaveAllStatus::Incomplete, 0u, 4u));
  EXPECT_FALSE(w.dir.Exists("WEEK102.TXT") || w.dir.Exists("WEEK102.CSV"));
  EXPECT_TRUE(Contains(w.op.Messages().back().text,
                       "The following 4 files could not be written:\n\nWEEK100.TXT\nWEEK100.CSV\n"))
      << w.op.Messages().back().text;
}

// Save As over an existing report pair asks first; "No" keeps both old files untouched.
TEST(SaveAs, OverAnExistingPairAsksFirstAndNoKeepsTheOldFiles) {
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    SCOPED_TRACE(answer == Answer::No ? "No" : "Yes");
    Week1 w;
    w.exportState.ViewedRawFile = w.dir.Path() / "WEEK100.RAW";
    for (const char* name : {"SAVED.TXT", "SAVED.CSV"}) w.dir.Write(name, "older");
    w.op.QueueReply((w.dir.Path() / "SAVED.TXT").string());
    w.op.QueueAnswer(answer);

    EXPECT_EQ(mnuSaveAs_Click(w.state, w.exportState, w.op), answer == Answer::Yes);

    const std::vector<OperatorLogEntry> messages = w.op.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].text,
              "The files : \n\nSAVED.TXT\n    SAVED.CSV\n\nalready exist.\n\nDo you want to overwrite them?");
    if (answer == Answer::No) {
      EXPECT_EQ(w.Read("SAVED.TXT") + w.Read("SAVED.CSV"), "olderolder");
    } else {
      EXPECT_EQ(w.Read("SAVED.CSV"), w.Read("home/~TMPDAT.CSV"));
      EXPECT_TRUE(Contains(w.Read("SAVED.TXT"), "WEEK1")) << w.Read("SAVED.TXT");
    }
  }
}

}  // namespace
}  // namespace tarnwell
