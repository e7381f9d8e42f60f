// The operator's commands on an experiment's binary record.
#include "records/experiment_record_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/scripted_operator.h"
#include "pool/pool_defaults.h"
#include "records/record_conversion.h"
#include "records/record_update.h"
#include "support/temp_dir.h"

namespace tarnwell {
namespace {

using Ids = std::vector<std::string>;

struct Targets {
  ExperimentSetup experiment;
  PoolSetup pool = DefaultPool();
  SubjectTable subjects;
  std::filesystem::path folder = "/start";
};

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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.content.empty()) dir.Write(c.name, c.content);
    ScriptedOperator op;
    Targets t;
    t.experiment.SubjectIDs = {"KEEP"};
    t.subjects.Fill({"KEEP"});
    EXPECT_FALSE(LoadExperimentSetup(op, dir.Path() / c.name, t.experiment, t.pool, t.subjects, t.folder));
    const std::vector<std::string> keep = {"KEEP"};
    EXPECT_EQ(
        std::make_tuple(t.experiment.SubjectIDs, t.experiment.DataFile, t.subjects.SubjectIDs(), t.folder),
        std::make_tuple(keep, "", keep, std::filesystem::path("/start")));
    ASSERT_EQ(op.Messages().size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(std::tie(op.Messages()[0].text, op.Messages()[0].title),
                std::make_tuple(c.name + "\nis not an experiment setup\nor experiment file.",
                                "Load Experiment Setup"));
    }
  }
}

// A file named relative to where a command ran is kept by its whole path: the desktop,
// started elsewhere, must find the same experiment.
TEST(LoadExperimentSetup, ARelativeNameIsStoredWhole) {
  test::TempDir dir;
  ExperimentSetup written;
  written.SubjectIDs = {"R1"};
  ASSERT_TRUE(WriteExperimentRecord(dir.Path() / "WEEK3.EXP", written, DefaultPool()));
  const auto relative = std::filesystem::relative(dir.Path() / "WEEK3.EXP");
  ASSERT_TRUE(relative.is_relative());
  ScriptedOperator op;
  Targets t;
  ASSERT_TRUE(LoadExperimentSetup(op, relative, t.experiment, t.pool, t.subjects, t.folder));
  const std::filesystem::path stored = t.experiment.DataFile;
  EXPECT_TRUE(stored.is_absolute() && std::filesystem::equivalent(stored, dir.Path() / "WEEK3.EXP")) << stored;
  EXPECT_TRUE(t.folder.is_absolute() && std::filesystem::equivalent(t.folder, dir.Path())) << t.folder;
  EXPECT_EQ(t.experiment.SubjectIDs, Ids{"R1"});
}

// Any listed subject's status locks the IDs, subject 1's too.
TEST(SubjectEditLocked, HoldsOnceAListedSubjectHasAStatus) {
  for (const int listed : {0, 2}) {
    SCOPED_TRACE(listed);
    test::TempDir dir;
    ExperimentSetup e;
    e.DataFile = (dir.Path() / "WEEK1.EXP").string();
    e.SubjectIDs = {"A", "B", "C"};
    EXPECT_FALSE(ComputeSubjectEditLocked(e));  // no file yet
    ASSERT_TRUE(WriteExperimentRecord(e.DataFile, e, DefaultPool()));
    EXPECT_FALSE(ComputeSubjectEditLocked(e));
    ASSERT_EQ(WriteSubjectStatusWord(e.DataFile, 5, SubjectStatus::HitGoal), RecordUpdate::Written);
    EXPECT_FALSE(ComputeSubjectEditLocked(e));  // subject 6 is not listed
    ASSERT_EQ(WriteSubjectStatusWord(e.DataFile, listed, SubjectStatus::Aborted), RecordUpdate::Written);
    EXPECT_TRUE(ComputeSubjectEditLocked(e));
    e.DataFile = (dir.Path() / "WEEK1.DAT").string();  // the data file's companion is the .EXP
    EXPECT_TRUE(ComputeSubjectEditLocked(e));
    e.DataFile.clear();
    EXPECT_FALSE(ComputeSubjectEditLocked(e));
  }
}

}  // namespace
}  // namespace tarnwell
