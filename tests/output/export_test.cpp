#include "output/export.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/experiment_folder.h"
#include "core/file_util.h"
#include "core/scripted_operator.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

// Keeps the save dialogs' requests, which the scripted log does not hold in full.
class DialogOperator : public ScriptedOperator {
 public:
  std::vector<FileDialogRequest> saveRequests;
  std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override {
    saveRequests.push_back(request);
    return ScriptedOperator::AskSaveFile(request);
  }
};

// Records the data screen's instructions; Save All must leave the screen alone.
class CallLog : public DataView {
 public:
  std::vector<std::string> calls;
  void ShowAnalysedPool(const AnalysisSettings&) override { calls.push_back("pool"); }
  void ClearTrackPicture() override { calls.push_back("clear picture"); }
  void ShowTrack(const std::filesystem::path&, const AnalysisSettings&) override { calls.push_back("track"); }
  void SetExperimentParams(const std::string&) override { calls.push_back("params"); }
  void ShowResults(const ResultsDisplay&) override { calls.push_back("results"); }
  void ShowOutOfPool(const std::string&) override { calls.push_back("out of pool"); }
  void SetSaveAsEnabled(bool) override { calls.push_back("save as"); }
  void SetPrintDataEnabled(bool) override { calls.push_back("print"); }
  void SetExportEnabled(bool) override { calls.push_back("export"); }
  void ClearSubjectSelection() override { calls.push_back("clear selection"); }
};

struct Week1 {
  test::TempDir dir;
  std::filesystem::path dataFile = test::WriteWeek1(dir);
  ReanalysisState state;
  ExportState exportState;

  Week1() {
    state.DataFile = dataFile;
    std::filesystem::create_directories(dir.Path() / "home");
    state.TempReportPath = dir.Path() / "home" / "~TMPDAT.CSV";
  }
  std::string Read(const std::string& name) const { return dir.Read(name); }
};

std::vector<OperatorLogEntry> EntriesOf(const ScriptedOperator& op, OperatorLogEntry::Kind kind) {
  std::vector<OperatorLogEntry> entries;
  for (const auto& entry : op.Log()) {
    if (entry.kind == kind) entries.push_back(entry);
  }
  return entries;
}

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
      {"no, dialog cancelled", true, Answer::No, std::nullopt, false, "WEEK1.CSV"},
      {"no, name in a missing folder", true, Answer::No, "missing/OTHER.CSV", false, "WEEK1.CSV"},
      {"cancel", true, Answer::Cancel, std::nullopt, false, "WEEK1.CSV"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    if (c.tableExists) dir.Write("WEEK1.CSV", "table");
    ExportState exportState;
    exportState.ExportTablePath = dir.Path() / "WEEK1.CSV";
    DialogOperator op;
    if (c.answer) op.QueueAnswer(*c.answer);
    if (c.dialogReply) op.QueueReply((dir.Path() / *c.dialogReply).string());

    EXPECT_EQ(ConfirmExportOverwrite(exportState, op), c.expected);
    EXPECT_EQ(exportState.ExportTablePath, dir.Path() / c.expectedTable);
    if (!c.tableExists) {
      EXPECT_TRUE(op.Log().empty());
      continue;
    }
    ASSERT_FALSE(op.Messages().empty());
    EXPECT_EQ(op.Messages()[0].text, kExportQuestion);
    EXPECT_EQ(op.Messages()[0].title, "Confirm overwrite existing file");
    EXPECT_EQ(op.Messages()[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(op.Messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(op.saveRequests.size(), c.answer == Answer::No ? 1u : 0u);
    if (!op.saveRequests.empty()) {
      EXPECT_EQ(op.saveRequests[0].title, "Select New Export Output File");
      EXPECT_EQ(op.saveRequests[0].filter, "*.CSV");
      EXPECT_EQ(op.saveRequests[0].defaultExtension, "CSV");
      EXPECT_EQ(op.saveRequests[0].startDir, dir.Path().string());
    }
  }
}

TEST(ExportAllSubjects, WritesTheTableAndEnablesTrailmapForTheTrialOnDisplay) {
  struct Case {
    const char* name;
    const char* viewed;  // "" for no trial on display
    bool trailmapEnabled;
  };
  for (const Case& c : {Case{"trial on display", "WEEK100.RAW", true}, Case{"nothing on display", "", false},
                        Case{"raw file gone", "WEEK101.RAW", false}}) {
    SCOPED_TRACE(c.name);
    Week1 w;
    w.exportState.TrailmapSource = w.dir.Path() / "stale.RAW";
    if (*c.viewed) w.exportState.ViewedRawFile = w.dir.Path() / c.viewed;
    ScriptedOperator op;

    ASSERT_TRUE(ExportAllSubjects(w.state, w.exportState, true, op, nullptr));

    std::string golden;
    ASSERT_TRUE(ReadWholeFile(
        std::filesystem::path(TARNWELL_SOURCE_DIR) / "tests/analysis/golden/tabulated_week1.CSV", golden));
    EXPECT_EQ(w.Read("WEEK1.CSV"), golden);
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].text, "All subjects have been\nexported to : WEEK1.CSV");
    EXPECT_EQ(op.Messages()[0].title, "Export Successful");
    EXPECT_EQ(op.Messages()[0].icon, MessageIcon::Information);
    EXPECT_EQ(w.exportState.TrailmapSource,
              c.trailmapEnabled ? w.exportState.ViewedRawFile : std::filesystem::path{});
  }
}

TEST(ExportAllSubjects, NothingIsWrittenOffTheDataScreenOrAfterARefusal) {
  Week1 w;
  ScriptedOperator op;
  EXPECT_FALSE(ExportAllSubjects(w.state, w.exportState, /*onDataScreen=*/false, op, nullptr));
  EXPECT_FALSE(w.dir.Exists("WEEK1.CSV"));
  EXPECT_TRUE(op.Log().empty());

  w.dir.Write("WEEK1.CSV", "kept");
  w.exportState.TrailmapSource = w.dir.Path() / "WEEK100.RAW";
  op.QueueAnswer(Answer::Cancel);
  EXPECT_FALSE(ExportAllSubjects(w.state, w.exportState, true, op, nullptr));
  EXPECT_EQ(w.Read("WEEK1.CSV"), "kept");
  EXPECT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(w.exportState.TrailmapSource, w.dir.Path() / "WEEK100.RAW") << "left as it was";
}

TEST(SaveReportAs, NamesTheExistingTargetsBeforeReplacingThem) {
  struct Case {
    const char* name;
    std::vector<std::string> existing;
    Answer answer;
    std::string question;  // "" for none
    bool copied;
  };
  const Case cases[] = {
      {"no target exists", {}, Answer::Yes, "", true},
      {"only the table exists",
       {"SAVED.CSV"},
       Answer::Yes,
       "The file \"SAVED.CSV\"\nalready exists.\n\nDo you want to overwrite it?",
       true},
      {"only the text exists, refused",
       {"SAVED.TXT"},
       Answer::No,
       "The file \"SAVED.TXT\"\nalready exists.\n\nDo you want to overwrite it?",
       false},
      {"both exist",
       {"SAVED.TXT", "SAVED.CSV"},
       Answer::Yes,
       "The files : \n\nSAVED.TXT\n    SAVED.CSV\n\nalready exist.\n\nDo you want to overwrite them?",
       true},
      {"both exist, refused",
       {"SAVED.TXT", "SAVED.CSV"},
       Answer::No,
       "The files : \n\nSAVED.TXT\n    SAVED.CSV\n\nalready exist.\n\nDo you want to overwrite them?",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Week1 w;
    ScriptedOperator op;
    ASSERT_TRUE(ShowViewedSubject(w.state, w.exportState, 0, op, nullptr));
    w.dir.Write("out/keep", "");
    for (const std::string& name : c.existing) w.dir.Write("out/" + name, "older");
    op.QueueAnswer(c.answer);

    const SaveReportResult result =
        SaveReportAs(w.state, w.exportState, w.dir.Path() / "out" / "SAVED.TXT", op);

    const auto messages = op.Messages();
    if (c.question.empty()) {
      EXPECT_TRUE(messages.empty());
    } else {
      ASSERT_EQ(messages.size(), 1u);
      EXPECT_EQ(messages[0].text, c.question);
      EXPECT_EQ(messages[0].title, "Confirm File Overwrite");
      EXPECT_EQ(messages[0].buttons, MessageButtons::YesNo);
      EXPECT_EQ(messages[0].icon, MessageIcon::Question);
    }
    EXPECT_EQ(result.confirmed, c.copied);
    if (c.copied) {
      EXPECT_TRUE(result.Ok());
      EXPECT_EQ(w.Read("out/SAVED.TXT"), w.Read("home/~TMPDAT.TXT"));
      EXPECT_EQ(w.Read("out/SAVED.CSV"), w.Read("home/~TMPDAT.CSV"));
      EXPECT_EQ(w.exportState.LastSaveFolder, w.dir.Path() / "out");
    } else {
      for (const std::string& name : c.existing) EXPECT_EQ(w.Read("out/" + name), "older");
      EXPECT_TRUE(w.exportState.LastSaveFolder.empty());
    }
  }
}

TEST(SaveAs, SavesTheTrialOnDisplayAfterAnExportOrSaveAll) {
  for (const bool saveAll : {false, true}) {
    SCOPED_TRACE(saveAll ? "after Save All" : "after the F4 export");
    Week1 w;
    DialogOperator op;
    ASSERT_TRUE(ShowViewedSubject(w.state, w.exportState, 0, op, nullptr));
    if (saveAll) {
      ASSERT_EQ(SaveAllSubjects(w.state, w.exportState, op).status, SaveAllStatus::Saved);
      ASSERT_TRUE(Contains(w.Read("home/~TMPDAT.TXT"), "R3")) << "Save All left the last subject";
    } else {
      ASSERT_TRUE(ExportAllSubjects(w.state, w.exportState, true, op, nullptr));
    }
    op.QueueReply((w.dir.Path() / "R1 report.TXT").string());

    ASSERT_TRUE(mnuSaveAs_Click(w.state, w.exportState, op));

    const std::string saved = w.Read("R1 report.TXT");
    EXPECT_TRUE(Contains(saved, "Subject Label:              R1")) << saved;
    EXPECT_TRUE(Contains(saved, "Hit Goal"));
    EXPECT_TRUE(Contains(w.Read("R1 report.CSV"), "\"R1\""));
    ASSERT_EQ(op.saveRequests.size(), 1u);
    EXPECT_EQ(op.saveRequests[0].title, "Save As");
    EXPECT_EQ(op.saveRequests[0].filter, "*.TXT and *.CSV|*.TXT *.CSV");
    EXPECT_EQ(op.saveRequests[0].defaultExtension, "TXT");
    EXPECT_EQ(op.saveRequests[0].initialName, "WEEK100.TXT");
    EXPECT_EQ(op.saveRequests[0].startDir, w.dir.Path().string());
  }
}

TEST(SaveAs, StartsInTheLastSaveFolderWhileItExists) {
  for (const bool folderExists : {true, false}) {
    SCOPED_TRACE(folderExists ? "folder exists" : "folder removed");
    Week1 w;
    DialogOperator op;
    ASSERT_TRUE(ShowViewedSubject(w.state, w.exportState, 2, op, nullptr));
    w.exportState.LastSaveFolder = w.dir.Path() / "saved";
    if (folderExists) std::filesystem::create_directories(w.exportState.LastSaveFolder);
    op.QueueReply(std::nullopt);  // cancelled
    EXPECT_FALSE(mnuSaveAs_Click(w.state, w.exportState, op));
    ASSERT_EQ(op.saveRequests.size(), 1u);
    EXPECT_EQ(op.saveRequests[0].startDir, (folderExists ? w.dir.Path() / "saved" : w.dir.Path()).string());
    EXPECT_EQ(op.saveRequests[0].initialName, "WEEK102.TXT");
  }
}

TEST(SaveAs, ARawFileGoneSinceItWasShownIsSaidAndNothingSaved) {
  Week1 w;
  DialogOperator op;
  ASSERT_TRUE(ShowViewedSubject(w.state, w.exportState, 0, op, nullptr));
  std::filesystem::remove(w.dir.Path() / "WEEK100.RAW");
  op.QueueReply((w.dir.Path() / "SAVED.TXT").string());
  EXPECT_FALSE(mnuSaveAs_Click(w.state, w.exportState, op));
  EXPECT_FALSE(w.dir.Exists("SAVED.TXT"));
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(op.Messages()[0].text,
            "The raw data file \"WEEK100.RAW\"\nof this trial can no longer be found.");
}

TEST(SaveAs, ATargetThatCannotBeWrittenIsNamed) {
  Week1 w;
  DialogOperator op;
  ASSERT_TRUE(ShowViewedSubject(w.state, w.exportState, 0, op, nullptr));
  std::filesystem::create_directories(w.dir.Path() / "SAVED.CSV" / "inside");
  op.QueueReply((w.dir.Path() / "SAVED.TXT").string());
  EXPECT_FALSE(mnuSaveAs_Click(w.state, w.exportState, op));
  EXPECT_TRUE(w.dir.Exists("SAVED.TXT"));
  const auto messages = op.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "The following file could not be written:\n\nSAVED.CSV");
  EXPECT_EQ(messages[0].title, "Save As");
  EXPECT_EQ(messages[0].icon, MessageIcon::Exclamation);
}

TEST(SaveAllSubjects, ListsAtMostSixExistingTargetsInOneQuestion) {
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
      {"two, table first",
       {"WEEK100.TXT", "WEEK100.CSV"},
       "The following files\nalready exist.\n\nAre you sure you want to\noverwrite these files?\n\n"
       "WEEK100.CSV\nWEEK100.TXT"},
      {"six",
       {"WEEK100.CSV", "WEEK100.TXT", "WEEK101.CSV", "WEEK101.TXT", "WEEK102.CSV", "WEEK102.TXT"},
       "The following files\nalready exist.\n\nAre you sure you want to\noverwrite these files?\n\n"
       "WEEK100.CSV\nWEEK100.TXT\nWEEK101.CSV\nWEEK101.TXT\nWEEK102.CSV\nWEEK102.TXT"},
      {"seven",
       {"WEEK100.CSV", "WEEK100.TXT", "WEEK101.CSV", "WEEK101.TXT", "WEEK102.CSV", "WEEK102.TXT",
        "WEEK103.CSV"},
       "The following files\nalready exist.\n\nAre you sure you want to\noverwrite these files?\n\n"
       "WEEK100.CSV\nWEEK100.TXT\nWEEK101.CSV\nWEEK101.TXT\nWEEK102.CSV\nWEEK102.TXT\n-- more ... --"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Week1 w;
    w.dir.Write("WEEK101.RAW", test::Track({{120, 96}, {121, 96}}));
    w.dir.Write("WEEK103.RAW", test::Track({{120, 96}, {121, 96}}));
    for (const std::string& name : c.existing) w.dir.Write(name, "older");
    ScriptedOperator op;
    op.QueueAnswer(Answer::Cancel);

    const SaveAllResult result = SaveAllSubjects(w.state, w.exportState, op);

    EXPECT_EQ(result.status, SaveAllStatus::Declined);
    ASSERT_EQ(op.Log().size(), 1u) << "a refusal goes no further";
    EXPECT_EQ(op.Log()[0].text, c.question);
    EXPECT_EQ(op.Log()[0].title, "Confirm File Overwrite");
    EXPECT_EQ(op.Log()[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(op.Log()[0].icon, MessageIcon::Exclamation);
    for (const std::string& name : c.existing) EXPECT_EQ(w.Read(name), "older");
    EXPECT_FALSE(w.state.BatchExport);
  }
}

TEST(SaveAllSubjects, WritesEverySubjectsPairSilentlyWithProgress) {
  Week1 w;
  ScriptedOperator op;
  CallLog view;
  w.state.CurrentSubject = 0;
  w.dir.Write("WEEK102.CSV", "older");
  op.QueueAnswer(Answer::Ok);

  const SaveAllResult result = SaveAllSubjects(w.state, w.exportState, op, &view);

  EXPECT_EQ(result.status, SaveAllStatus::Saved);
  EXPECT_EQ(result.written.size(), 4u);
  EXPECT_TRUE(Contains(w.Read("WEEK100.TXT"), "R1"));
  EXPECT_TRUE(Contains(w.Read("WEEK100.CSV"), "\"R1\""));
  EXPECT_TRUE(Contains(w.Read("WEEK102.TXT"), "R3"));
  EXPECT_TRUE(Contains(w.Read("WEEK102.CSV"), "\"R3\""));
  EXPECT_FALSE(w.dir.Exists("WEEK101.TXT"));

  std::vector<int> percents;
  for (const auto& entry : EntriesOf(op, OperatorLogEntry::Kind::Progress)) {
    EXPECT_EQ(entry.text, "Converting");
    percents.push_back(entry.value);
  }
  EXPECT_EQ(percents, (std::vector<int>{0, 50, 100, -1}));
  const auto timed = EntriesOf(op, OperatorLogEntry::Kind::TimedMessage);
  ASSERT_EQ(timed.size(), 1u);
  EXPECT_EQ(timed[0].text, "The files have been exported");
  EXPECT_EQ(timed[0].value, 1500);
  EXPECT_EQ(op.Messages().size(), 1u) << "only the overwrite question";
  for (const std::string& call : view.calls) EXPECT_EQ(call, "save as") << "nothing drawn while saving";
  EXPECT_FALSE(w.state.BatchExport);
  EXPECT_EQ(w.state.CurrentSubject, 0);
}

TEST(SaveAllSubjects, NamesTheFilesThatCouldNotBeWritten) {
  Week1 w;
  std::filesystem::create_directories(w.dir.Path() / "WEEK100.TXT" / "inside");
  ScriptedOperator op;

  const SaveAllResult result = SaveAllSubjects(w.state, w.exportState, op);

  EXPECT_EQ(result.status, SaveAllStatus::Incomplete);
  EXPECT_EQ(result.failed, std::vector<std::filesystem::path>{w.dir.Path() / "WEEK100.TXT"});
  EXPECT_TRUE(Contains(w.Read("WEEK102.TXT"), "R3")) << "the others are still written";
  EXPECT_TRUE(EntriesOf(op, OperatorLogEntry::Kind::TimedMessage).empty()) << "no claim of success";
  const auto messages = op.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "The following file could not be written:\n\nWEEK100.TXT");
  EXPECT_EQ(messages[0].title, "Export Incomplete");
  EXPECT_EQ(messages[0].icon, MessageIcon::Exclamation);
}

TEST(SaveAllSubjects, ASubjectWhoseReportFailedIsNotSavedUnderAnotherSubjectsReport) {
  Week1 w;
  ScriptedOperator op;
  ASSERT_TRUE(ShowViewedSubject(w.state, w.exportState, 0, op, nullptr));  // ~TMPDAT holds R1
  // From now on the temporary report cannot be written.
  w.state.TempReportPath = w.dir.Path() / "no such folder" / "~TMPDAT.CSV";
  op.ClearLog();

  const SaveAllResult result = SaveAllSubjects(w.state, w.exportState, op);

  EXPECT_EQ(result.status, SaveAllStatus::Incomplete);
  EXPECT_TRUE(result.written.empty());
  EXPECT_EQ(result.failed.size(), 4u);
  EXPECT_FALSE(w.dir.Exists("WEEK102.TXT"));
  EXPECT_FALSE(w.dir.Exists("WEEK102.CSV"));
  EXPECT_TRUE(Contains(op.Messages().back().text,
                       "The following 4 files could not be written:\n\nWEEK100.TXT\nWEEK100.CSV\n"))
      << op.Messages().back().text;
}

TEST(ShowViewedSubject, RemembersTheTrialOnDisplay) {
  Week1 w;
  ScriptedOperator op;
  EXPECT_TRUE(ShowViewedSubject(w.state, w.exportState, 2, op, nullptr));
  EXPECT_EQ(w.exportState.ViewedRawFile, w.dir.Path() / "WEEK102.RAW");
  EXPECT_FALSE(ShowViewedSubject(w.state, w.exportState, 1, op, nullptr));
  EXPECT_TRUE(w.exportState.ViewedRawFile.empty()) << "subject 1 has no raw file";
  EXPECT_FALSE(ShowViewedSubject(w.state, w.exportState, -1, op, nullptr));
  EXPECT_TRUE(w.exportState.ViewedRawFile.empty());
}

}  // namespace
}  // namespace tarnwell
