#include "records/trial_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace tarnwell {
namespace {

// The operator's values and the run's platform land in one entry per subject; what the
// other side wrote, and members this program does not know, stay.
TEST(TrialList, TheOperatorsValuesAndTheRunsPlatformShareOneEntryPerSubject) {
  ExperimentProvenance record;
  RecordTrialListPlatform(record, "RAT2", 3);
  ApplyTrialListEdits(record, {{" RAT1 ", "WT", "saline", "N"},
                               {"RAT2", " KO ", std::nullopt, ""},
                               {"", "X", std::nullopt, std::nullopt}});
  record.TrialList.at(1).Other["cage"] = 4;  // RAT1's: RAT2 came first, from the run
  RecordTrialListPlatform(record, "RAT1", 0);
  ApplyTrialListEdits(record, {{"RAT1", std::nullopt, "vehicle", std::nullopt}});

  ASSERT_EQ(record.TrialList.size(), 2u) << "a subject without an ID is no entry";
  const TrialListEntry* rat1 = FindTrialListEntry(record, "RAT1");
  const TrialListEntry* rat2 = FindTrialListEntry(record, "RAT2 ");
  ASSERT_TRUE(rat1 && rat2);
  EXPECT_EQ(rat1->Subject, "RAT1");
  EXPECT_EQ(rat1->Group + "|" + rat1->Treatment + "|" + rat1->StartPosition + "|" + rat1->PlatformPosition,
            "WT|vehicle|N|none");
  EXPECT_EQ(rat1->Other.value("cage", 0), 4);
  EXPECT_EQ(rat2->Group + "|" + rat2->Treatment + "|" + rat2->StartPosition + "|" + rat2->PlatformPosition,
            "KO|||3");
  EXPECT_EQ(FindTrialListEntry(record, "rat1"), nullptr) << "IDs are compared exactly";

  // The rows to edit follow the experiment's IDs: one per ID, new ones empty.
  const std::vector<TrialListEntry> rows = TrialListRows(record, {"RAT2", "", "RAT3", "RAT2", "RAT1"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].Subject + rows[0].Group, "RAT2KO");
  EXPECT_EQ(rows[1].Subject + rows[1].Group + rows[1].PlatformPosition, "RAT3");
  EXPECT_EQ(rows[2].Subject + rows[2].Treatment, "RAT1vehicle");
}

TEST(TrialList, IsStoredInTheProvenanceRecordAndAValueThatCannotBeIsRefusedWhole) {
  test::TempDir dir;
  const auto dataFile = dir.Path() / "WEEK1.EXP";
  ExperimentProvenance before;
  before.Trials["WEEK100.RAW"].Subject = "RAT1";
  ASSERT_TRUE(SaveProvenance(dataFile, before));

  std::string message;
  ASSERT_TRUE(StoreTrialListEdits(dataFile, {{"RAT1", "WT", "saline", "N"}}, message));
  EXPECT_EQ(message, "");
  ProvenanceLoad load = LoadProvenance(dataFile);
  ASSERT_EQ(load.Status, ProvenanceLoad::State::Read);
  EXPECT_EQ(load.Record.Trials.count("WEEK100.RAW"), 1u) << "the trials stay";
  ASSERT_EQ(load.Record.TrialList.size(), 1u);
  EXPECT_EQ(load.Record.TrialList[0].Treatment, "saline");

  const std::string text = dir.Read("WEEK1.provenance.json");
  EXPECT_FALSE(StoreTrialListEdits(dataFile,
                                   {{"RAT2", "KO", std::nullopt, std::nullopt},
                                    {"RAT1", std::string(65, 'g'), std::nullopt, std::nullopt}},
                                   message));
  EXPECT_EQ(message, "The group of RAT1 is longer than 64 characters:\nthe trial list was not saved.");
  EXPECT_FALSE(StoreTrialListEdits(dataFile, {{"RAT1", "WT", "a\nb", std::nullopt}}, message));
  EXPECT_NE(message.find("The treatment of RAT1 holds a line break"), std::string::npos) << message;
  EXPECT_EQ(dir.Read("WEEK1.provenance.json"), text) << "nothing is written";
}

}  // namespace
}  // namespace tarnwell
