#include "experiment/experiment_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/scripted_operator.h"
#include "legacy/legacy_conversion.h"
#include "legacy/record_update.h"
#include "pool/pool_defaults.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

const std::string kTitle = "[Windows Tarnwell Experiment Setup]";

TEST(FormatExperimentText, WritesTheDesignedLinesWithFilePrintNumbers) {
  ExperimentSetup e;
  e.DataFile = "/data/WEEK1.EXP";
  e.MaxTime = 60;
  e.ActivePlatform = 0;
  e.DistFromStart = -5;
  e.SubjectIDs = {"RAT1", "say \"hi\""};
  EXPECT_EQ(FormatExperimentText(e),
            "[Windows Tarnwell Experiment Setup]\r\n"
            "Data File = \"/data/WEEK1.EXP\"\r\n"
            "Maximum Time =  60 \r\n"
            "Active Platform =  0 \r\n"
            "Distance from Start = -5 \r\n"
            "Subject ID 1 = \"RAT1\"\r\n"
            "Subject ID 2 = \"say 'hi'\"\r\n");
}

TEST(ExperimentText, WrittenThenReadGivesTheSameSetup) {
  test::TempDir dir;
  const auto path = dir.Path() / "DEFAULT.CFG";
  ExperimentSetup e;
  e.DataFile = (dir.Path() / "My Week.EXP").string();
  e.DataFileValid = true;
  e.MaxTime = 32767;
  e.ActivePlatform = 5;
  e.DistFromStart = -32768;
  e.SubjectIDs = {"rat one", "RAT2", std::string(64, 'x'), "a=b"};
  e.SubjectCount = 4;
  ASSERT_TRUE(WriteExperimentText(path, e));
  ExperimentSetup back;
  ASSERT_TRUE(ReadExperimentText(path, back));
  EXPECT_EQ(back, e);
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
    int16_t maxTime;
    int16_t active;
    int16_t distance;
    std::vector<std::string> ids;
  };
  const std::vector<Case> cases = {
      {"keys in any case and spacing",
       "maximum time=45\r\nACTIVE   PLATFORM =  3\ndistance FROM start= 7",
       45,
       3,
       7,
       {}},
      {"IDs in file order, key numbers unused",
       "Subject ID 7 = \"G\"\r\nSubject ID 2 = \"A\"\r\nSubject ID 9 = \"Z\"",
       10,
       1,
       10,
       {"G", "A", "Z"}},
      {"unquoted ID comes back upper-cased", "Subject ID 1 = rat", 10, 1, 10, {"RAT"}},
      {"unquoted value with a blank is ignored",
       "Subject ID 1 = two words\r\nMaximum Time = 1 2",
       10,
       1,
       10,
       {}},
      {"blank quoted ID adds nothing", "Subject ID 1 = \"   \"\r\nSubject ID 2 = \"\"", 10, 1, 10, {}},
      {"quoted ID is trimmed", "Subject ID 1 = \"  r 1  \"", 10, 1, 10, {"r 1"}},
      {"not a number reads 0", "Maximum Time = abc\r\nActive Platform = x1", 0, 0, 10, {}},
      {"decimal comma and point round half to even",
       "Maximum Time = 2,5\r\nActive Platform = 3.5",
       2,
       4,
       10,
       {}},
      {"numbers beyond 16 bits are limited",
       "Maximum Time = 99999\r\nDistance from Start = -1e9",
       32767,
       1,
       -32768,
       {}},
      {"a later line wins", "Maximum Time = 5\r\nMaximum Time = 6", 6, 1, 10, {}},
      {"unknown lines are ignored", "Colour = blue\r\n[Other Section]\r\nMaximum Time = 8", 8, 1, 10, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ExperimentSetup e = ReadLines(c.lines);
    EXPECT_EQ(e.MaxTime, c.maxTime);
    EXPECT_EQ(e.ActivePlatform, c.active);
    EXPECT_EQ(e.DistFromStart, c.distance);
    EXPECT_EQ(e.SubjectIDs, c.ids);
    EXPECT_EQ(e.SubjectCount, static_cast<int16_t>(c.ids.size()));
  }
}

TEST(ReadExperimentTextLines, SkipsEverythingBeforeTheExactTitleLine) {
  struct Case {
    const char* what;
    std::string text;
    int16_t maxTime;
  };
  const std::vector<Case> cases = {
      {"text in front", "notes\r\nMaximum Time = 1\r\n" + kTitle + "\r\nMaximum Time = 2", 2},
      {"no title", "Maximum Time = 3\r\n", 10},
      {"title with a trailing blank", kTitle + " \r\nMaximum Time = 4", 10},
      {"title in other case", "[windows tarnwell experiment setup]\r\nMaximum Time = 4", 10},
      {"empty", "", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExperimentSetup e;
    e.SubjectIDs = {"OLD"};
    ReadExperimentTextLines(c.text, e);
    EXPECT_EQ(e.MaxTime, c.maxTime);
    EXPECT_TRUE(e.SubjectIDs.empty());  // the list is cleared whatever follows
  }
}

TEST(ReadExperimentTextLines, CutsIdsTo64CharactersAndTakesOnlyUsableDataFiles) {
  test::TempDir dir;
  const std::string usable = (dir.Path() / "A.EXP").string();
  const ExperimentSetup e =
      ReadLines("Subject ID 1 = \"" + std::string(70, 'q') + "\"\r\nData File = \"" + usable + "\"");
  ASSERT_EQ(e.SubjectIDs.size(), 1u);
  EXPECT_EQ(e.SubjectIDs[0], std::string(64, 'q'));
  EXPECT_EQ(e.DataFile, usable);
  EXPECT_TRUE(e.DataFileValid);

  ExperimentSetup kept;
  kept.DataFile = usable;
  ReadExperimentTextLines(kTitle + "\r\nData File = \"/no/such/folder/B.EXP\"", kept);
  EXPECT_EQ(kept.DataFile, usable);
  EXPECT_FALSE(kept.DataFileValid);
}

TEST(ReadExperimentText, MissingFileChangesNothing) {
  test::TempDir dir;
  ExperimentSetup e;
  e.SubjectIDs = {"KEEP"};
  EXPECT_FALSE(ReadExperimentText(dir.Path() / "DEFAULT.CFG", e));
  EXPECT_EQ(e.SubjectIDs, std::vector<std::string>{"KEEP"});
  dir.Write("default.cfg", kTitle + "\r\nMaximum Time = 77\r\n");
  EXPECT_TRUE(ReadExperimentText(dir.Path() / "DEFAULT.CFG", e));  // another spelling of the name
  EXPECT_EQ(e.MaxTime, 77);
}

TEST(WriteExperimentText, ReportsFailureWhenTheFolderIsMissing) {
  test::TempDir dir;
  ExperimentSetup e;
  EXPECT_FALSE(WriteExperimentText(dir.Path() / "no" / "such" / "DEFAULT.CFG", e));
  EXPECT_EQ(DefaultExperimentFile("/home/lab"), std::filesystem::path("/home/lab/DEFAULT.CFG"));
}

struct Targets {
  ExperimentSetup experiment;
  PoolSetup pool = DefaultPool();
  SubjectTable subjects;
  std::filesystem::path folder = "/start";
};

TEST(LoadExperimentSetup, TextFileGivesTheDataFileItsOwnNameWithExtensionExp) {
  test::TempDir dir;
  const auto path = dir.Write(
      "ABC.DAT", kTitle + "\r\nMaximum Time = 30\r\nSubject ID 1 = \"R1\"\r\nSubject ID 2 = \"R2\"\r\n");
  ScriptedOperator op;
  Targets t;
  ASSERT_TRUE(LoadExperimentSetup(op, path, t.experiment, t.pool, t.subjects, t.folder));
  EXPECT_EQ(t.experiment.DataFile, (dir.Path() / "ABC.EXP").string());
  EXPECT_TRUE(t.experiment.DataFileValid);
  EXPECT_EQ(t.experiment.MaxTime, 30);
  EXPECT_EQ(t.folder, dir.Path());
  EXPECT_EQ(t.subjects.SubjectIDs(), (std::vector<std::string>{"R1", "R2"}));
  EXPECT_EQ(t.pool, DefaultPool());
  EXPECT_TRUE(op.Log().empty());
}

TEST(LoadExperimentSetup, RecordFileBringsItsPoolAndSubjects) {
  test::TempDir dir;
  ExperimentSetup saved;
  saved.DataFile = (dir.Path() / "WEEK1.EXP").string();
  saved.MaxTime = 300;
  saved.ActivePlatform = 4;
  saved.DistFromStart = 0;
  saved.SubjectIDs = {"A1", "A2", "A3"};
  PoolSetup pool = DefaultPool();
  pool.X = 140;
  pool.Platforms[0].X = 170;
  ASSERT_TRUE(WriteExperimentRecord(saved.DataFile, saved, pool));

  ScriptedOperator op;
  Targets t;
  ASSERT_TRUE(LoadExperimentSetup(op, saved.DataFile, t.experiment, t.pool, t.subjects, t.folder));
  EXPECT_EQ(t.experiment.DataFile, saved.DataFile);
  EXPECT_EQ(t.experiment.MaxTime, 300);
  EXPECT_EQ(t.experiment.ActivePlatform, 4);
  EXPECT_EQ(t.experiment.SubjectIDs, saved.SubjectIDs);
  EXPECT_EQ(t.subjects.CellText(0, 2), "3) A3");
  EXPECT_EQ(t.pool.X, 140);
  EXPECT_EQ(t.pool.Platforms[0].X, 170);
}

TEST(LoadExperimentSetup, UnusableFilesChangeNothing) {
  test::TempDir dir;
  struct Case {
    const char* what;
    std::string name;
    std::string content;  // empty: no file
    bool message;
  };
  const std::vector<Case> cases = {
      {"missing", "NONE.EXP", "", false},
      {"junk", "JUNK.EXP", "this is not an experiment", true},
      {"truncated record", "SHORT.EXP", std::string(900, '\0'), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.content.empty()) dir.Write(c.name, c.content);
    ScriptedOperator op;
    Targets t;
    t.experiment.SubjectIDs = {"KEEP"};
    t.subjects.Fill({"KEEP"});
    EXPECT_FALSE(LoadExperimentSetup(op, dir.Path() / c.name, t.experiment, t.pool, t.subjects, t.folder));
    EXPECT_EQ(t.experiment.SubjectIDs, std::vector<std::string>{"KEEP"});
    EXPECT_TRUE(t.experiment.DataFile.empty());
    EXPECT_EQ(t.subjects.SubjectIDs(), std::vector<std::string>{"KEEP"});
    EXPECT_EQ(t.folder, std::filesystem::path("/start"));
    ASSERT_EQ(op.Messages().size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(op.Messages()[0].text, c.name + "\nis not an experiment setup\nor experiment file.");
      EXPECT_EQ(op.Messages()[0].title, "Load Experiment Setup");
    }
  }
}

TEST(CheckDistanceFromStart, LimitsTheDistanceToThePoolRadiusAndTo0To200) {
  struct Case {
    const char* what;
    int16_t actualSizeX;
    std::string box;
    std::string expectedBox;
    int16_t expectedDistance;  // 99 when the check leaves it alone
    std::vector<std::pair<std::string, MessageIcon>> messages;
  };
  const std::string range = "\"Distance from start\"\nmust be in the range of : \n0 to 200";
  const std::vector<Case> cases = {
      {"radius 80 accepts 80", 160, "80", "80", 99, {}},
      {"radius 80 refuses 81",
       160,
       "81",
       "80",
       80,
       {{"The 'Distance from Start'\ncannot be greater than 80,\nthe radius of the pool.",
         MessageIcon::Exclamation}}},
      {"radius 80.5 refuses 81",
       161,
       "81",
       "80.5",
       80,
       {{"The 'Distance from Start'\ncannot be greater than 80.5,\nthe radius of the pool.",
         MessageIcon::Exclamation}}},
      {"80.4 counts as 80", 160, "80.4", "80.4", 99, {}},
      {"below 0", 160, "-5", "0", 0, {{range, MessageIcon::Critical}}},
      {"above 200 in a large pool", 600, "250", "200", 200, {{range, MessageIcon::Critical}}},
      {"beyond radius and 200",
       500,
       "260",
       "200",
       200,
       {{"The 'Distance from Start'\ncannot be greater than 250,\nthe radius of the pool.",
         MessageIcon::Exclamation},
        {range, MessageIcon::Critical}}},
      {"not a number is 0", 160, "abc", "abc", 99, {}},
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
      EXPECT_EQ(messages[i].text, c.messages[i].first);
      EXPECT_EQ(messages[i].title, "Range Error");
      EXPECT_EQ(messages[i].icon, c.messages[i].second);
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
      {"none",
       {},
       false,
       "At least one trial ID\nis required to run\nan experiment.",
       "Cannot run experiment"},
      {"one", {"R1"}, true, "", ""},
      {"100", hundred, true, "", ""},
      {"101", many, false, "This experiment has 101 trial IDs.\nAn experiment file holds\nat most 100.",
       "Cannot run experiment"},
      {"same first 8 characters",
       {"R0", "RAT00001A", "RAT00001B"},
       false,
       "Trial ID 2 \"RAT00001A\"\nand trial ID 3 \"RAT00001B\"\nare the same in the 8 characters\nthat are "
       "stored.",
       "Cannot run experiment"},
      {"the same ID twice",
       {"A", "B", "A"},
       false,
       "Trial ID 1 \"A\"\nand trial ID 3 \"A\"\nare the same in the 8 characters\nthat are stored.",
       "Cannot run experiment"},
      {"case makes IDs differ", {"rat1", "RAT1"}, true, "", ""},
      {"longer than 8 is a warning",
       {"RAT000012", "B"},
       true,
       "Trial IDs are stored with 8 characters.\nThese are kept as:\n\"RAT000012\" as \"RAT00001\"",
       "Trial IDs"},
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
    EXPECT_EQ(messages[0].text, c.message);
    EXPECT_EQ(messages[0].title, c.title);
    EXPECT_EQ(messages[0].icon, c.expected ? MessageIcon::Exclamation : MessageIcon::Critical);
  }
  ScriptedOperator op;
  EXPECT_TRUE(CheckTrialIDs(op, ExperimentSetup{}, /*shuttingDown=*/true));
  EXPECT_TRUE(op.Log().empty());
}

TEST(CheckTrialIDs, NamesAtMostTenLongIds) {
  ExperimentSetup e;
  for (int i = 0; i < 12; ++i)
    e.SubjectIDs.push_back(std::string(1, static_cast<char>('A' + i)) + "LONGNAME");
  ScriptedOperator op;
  EXPECT_TRUE(CheckTrialIDs(op, e));
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_NE(op.Messages()[0].text.find("\"JLONGNAME\" as \"JLONGNAM\"\nand 2 more."), std::string::npos);
}

TEST(ActivePlatformAnswer, ReadsNamesNumbersAndJunk) {
  struct Case {
    const char* answer;
    int16_t code;
  };
  const std::vector<Case> cases = {{"7", 5},  {"x", 0},   {"all", 5}, {" ALL ", 5}, {"None", 0}, {"3", 3},
                                   {"-2", 0}, {"2.6", 3}, {"4,4", 4}, {"0", 0},     {"1e9", 5},  {"2x", 2}};
  for (const auto& c : cases) EXPECT_EQ(ParseActivePlatformAnswer(c.answer), c.code) << c.answer;
  struct Text {
    int16_t code;
    const char* text;
  };
  const std::vector<Text> texts = {{0, "none"}, {1, "1"},           {4, "4"},
                                   {5, "all"},  {6, "<undefined>"}, {-1, "<undefined>"}};
  for (const auto& t : texts) EXPECT_EQ(ActivePlatformSettingText(t.code), t.text) << t.code;
}

class SetActivePlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ExperimentSetup e;
    e.DataFile = (dir_.Path() / "WEEK1.EXP").string();
    e.ActivePlatform = 2;
    e.MaxTime = 300;
    e.SubjectIDs = {"R1"};
    ASSERT_TRUE(WriteExperimentRecord(e.DataFile, e, DefaultPool()));
    path_ = e.DataFile;
  }
  test::TempDir dir_;
  std::string path_;
};

TEST_F(SetActivePlatformTest, ShowsTheCurrentSettingAndStoresTheAnswer) {
  ScriptedOperator op;
  op.QueueReply(path_);
  op.QueueReply("all");
  EXPECT_TRUE(SetActivePlatformCommand(op, dir_.Path()));
  const auto& log = op.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].kind, OperatorLogEntry::Kind::OpenFile);
  EXPECT_EQ(log[0].title, "Set active platform");
  EXPECT_EQ(log[0].text, "*.exp");
  EXPECT_EQ(log[1].kind, OperatorLogEntry::Kind::Text);
  EXPECT_EQ(log[1].title, "Change active platform");
  EXPECT_EQ(log[1].text, "The current setting for the platform is :2");
  EXPECT_EQ(ReadRecordActivePlatform(path_), 5);
  EXPECT_EQ(ReadExperimentRecord(path_)->Experiment.MaxTime, 300);
}

TEST_F(SetActivePlatformTest, CancelOrBlankAnswerWritesNothing) {
  for (std::optional<std::string> answer :
       {std::optional<std::string>{}, std::optional<std::string>{"   "}}) {
    ScriptedOperator op;
    op.QueueReply(path_);
    op.QueueReply(answer);
    const std::string before = dir_.Read("WEEK1.EXP");
    EXPECT_FALSE(SetActivePlatformCommand(op, dir_.Path()));
    EXPECT_EQ(dir_.Read("WEEK1.EXP"), before);
  }
  ScriptedOperator cancelled;
  EXPECT_FALSE(SetActivePlatformCommand(cancelled, dir_.Path()));
  ASSERT_EQ(cancelled.Log().size(), 1u);
}

TEST_F(SetActivePlatformTest, NeverPatchesAFileThatIsNoCurrentRecord) {
  const std::string text = kTitle + "\r\nMaximum Time = 10\r\n";
  const auto textFile = dir_.Write("TEXT.EXP", text);
  ScriptedOperator op;
  op.QueueReply(textFile.string());
  EXPECT_FALSE(SetActivePlatformCommand(op, dir_.Path()));
  EXPECT_EQ(dir_.Read("TEXT.EXP"), text);
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(op.Messages()[0].text, "TEXT.EXP\nis not an experiment setup\nor experiment file.");

  // An older record (one byte longer) is only changed after the operator agrees.
  const std::string current = dir_.Read("WEEK1.EXP");
  const std::string older = current.substr(0, 7) + "P" + current.substr(7);
  const auto olderFile = dir_.Write("OLD.EXP", older);
  ScriptedOperator declines;
  declines.QueueReply(olderFile.string());
  declines.QueueReply("1");
  declines.QueueAnswer(Answer::No);
  EXPECT_FALSE(SetActivePlatformCommand(declines, dir_.Path()));
  EXPECT_EQ(dir_.Read("OLD.EXP"), older);
  ScriptedOperator agrees;
  agrees.QueueReply(olderFile.string());
  agrees.QueueReply("1");
  agrees.QueueAnswer(Answer::Yes);
  EXPECT_TRUE(SetActivePlatformCommand(agrees, dir_.Path()));
  EXPECT_EQ(dir_.Read("OLD.EXP").size(), kCurrentRecordLength);
  EXPECT_EQ(ReadRecordActivePlatform(olderFile), 1);
}

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

TEST(LoadStartUpExperiment, ReadsDefaultCfgThenTakesTheIdsFromTheSubjectTable) {
  test::TempDir home;
  ExperimentSetup e;
  SubjectTable table;
  EXPECT_FALSE(LoadStartUpExperiment(home.Path(), e, table));
  EXPECT_EQ(e.MaxTime, 10);
  EXPECT_EQ(e.SubjectIDs, (std::vector<std::string>{"Subj. 1", "Subj. 2", "Subj. 3"}));
  EXPECT_TRUE(home.Exists("SUBJECTS.INI"));

  home.Write("DEFAULT.CFG", kTitle + "\r\nMaximum Time = 45\r\nSubject ID 1 = \"FROMCFG\"\r\n");
  home.Write("SUBJECTS.INI", "Row 1 Col 1 = \"LIST1\"\r\nRow 1 Col 2 = \"LIST2\"\r\n");
  ExperimentSetup e2;
  SubjectTable table2;
  EXPECT_TRUE(LoadStartUpExperiment(home.Path(), e2, table2));
  EXPECT_EQ(e2.MaxTime, 45);
  EXPECT_EQ(e2.SubjectIDs, (std::vector<std::string>{"LIST1", "LIST2"}));
}

TEST(ExperimentFileDialog, StartsInTheExperimentFolderWhenItExists) {
  test::TempDir dir;
  struct Case {
    std::filesystem::path experimentFolder;
    std::filesystem::path expected;
  };
  const std::vector<Case> cases = {{dir.Path(), dir.Path()}, {dir.Path() / "gone", "/home"}, {"", "/home"}};
  for (const auto& c : cases) {
    const FileDialogRequest request =
        ExperimentFileDialog("Load Experiment Setup", c.experimentFolder, "/home");
    EXPECT_EQ(request.startDir, c.expected.string());
    EXPECT_EQ(request.title, "Load Experiment Setup");
    EXPECT_EQ(request.filter, "*.EXP");
    EXPECT_EQ(request.defaultExtension, "EXP");
  }
}

TEST(LoadExperimentSetupCommand, LoadsTheChosenFile) {
  test::TempDir dir;
  const auto path = dir.Write("A.CFG", kTitle + "\r\nMaximum Time = 12\r\n");
  ScriptedOperator op;
  op.QueueReply(path.string());
  ExperimentSetup e;
  PoolSetup pool = DefaultPool();
  SubjectTable table;
  std::filesystem::path folder;
  ASSERT_TRUE(LoadExperimentSetupCommand(op, dir.Path(), e, pool, table, folder));
  EXPECT_EQ(e.MaxTime, 12);
  EXPECT_EQ(op.Log()[0].title, "Load Experiment Setup");
  ScriptedOperator cancels;
  EXPECT_FALSE(LoadExperimentSetupCommand(cancels, dir.Path(), e, pool, table, folder));
}

TEST(SaveExperimentSetupCommand, WritesTheRecordWithExtensionExpAndKeepsStatusWords) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.Path() / "exp");
  ExperimentSetup e;
  e.SubjectIDs = {"R1", "R2"};
  std::filesystem::path folder;
  int taken = 0;
  auto takeFromScreen = [&](ExperimentSetup& x) {
    ++taken;
    x.MaxTime = 90;
  };
  ScriptedOperator op;
  op.QueueReply((dir.Path() / "exp" / "WEEK2.DAT").string());
  ASSERT_TRUE(SaveExperimentSetupCommand(op, dir.Path(), e, DefaultPool(), folder, takeFromScreen));
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(folder, dir.Path() / "exp");
  EXPECT_EQ(op.Log()[0].kind, OperatorLogEntry::Kind::SaveFile);
  EXPECT_EQ(op.Log()[0].title, "Save Experiment Setup");
  const auto saved = dir.Path() / "exp" / "WEEK2.EXP";
  ASSERT_EQ(ReadExperimentRecord(saved)->Experiment.MaxTime, 90);
  ASSERT_EQ(WriteSubjectStatusWord(saved, 1, SubjectStatus::TimedOut), RecordUpdate::Written);

  ScriptedOperator again;
  again.QueueReply(saved.string());
  ASSERT_TRUE(SaveExperimentSetupCommand(again, dir.Path(), e, DefaultPool(), folder, {}));
  EXPECT_EQ(ReadSubjectStatusWord(saved, 1), kStatusWordTimedOut);

  ScriptedOperator cancels;
  EXPECT_FALSE(SaveExperimentSetupCommand(cancels, dir.Path(), e, DefaultPool(), folder, takeFromScreen));
  EXPECT_EQ(taken, 1);
}

TEST(SaveExperimentSetupCommand, RefusesMoreIdsThanARecordHoldsWithAMessage) {
  test::TempDir dir;
  ExperimentSetup e;
  for (int i = 0; i < 101; ++i) e.SubjectIDs.push_back("S" + std::to_string(i));
  std::filesystem::path folder;
  ScriptedOperator op;
  op.QueueReply((dir.Path() / "BIG.EXP").string());
  EXPECT_FALSE(SaveExperimentSetupCommand(op, dir.Path(), e, DefaultPool(), folder, {}));
  EXPECT_FALSE(dir.Exists("BIG.EXP"));
  ASSERT_EQ(op.Messages().size(), 1u);
  EXPECT_EQ(op.Messages()[0].title, "Save Experiment Setup");
  EXPECT_EQ(op.Messages()[0].icon, MessageIcon::Critical);
}

}  // namespace
}  // namespace tarnwell
