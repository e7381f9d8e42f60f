#include "import/track_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "records/raw_track.h"
#include "core/file_access.h"
#include "core/sha256.h"
#include "import/formats/binary_track_formats.h"
#include "import/formats/dlc_hdf5.h"
#include "import/track_readers.h"
#include "records/record_conversion.h"
#include "records/provenance.h"
#include "records/record_update.h"
#include "support/temp_dir.h"
#include "track_examples.h"

namespace tarnwell {
namespace {

using test::TempDir;

ImportArena CmArena() {
  ImportArena arena;
  arena.Pool = ArenaCircle{0, 0, 75};
  arena.Goals = {ArenaCircle{30, 0, 5}};
  arena.GridRadius = 75;
  return arena;
}

ImportArena PixelArena() {
  ImportArena arena;
  arena.Unit = TrackUnit::Pixels;
  arena.Pool = ArenaCircle{320, 240, 75};
  arena.Goals = {ArenaCircle{350, 240, 5}};
  arena.PoolDiameterCm = 150;
  arena.GridRadius = 75;
  return arena;
}

ImportOptions OptionsFor(const TempDir& dir, ImportArena arena) {
  ImportOptions options;
  options.Arena = std::move(arena);
  options.BinaryReader = ReadBinaryTrackFile;
  options.OutFolder = dir.Path() / "out";
  options.MaxTime = 60;
  options.Read.FramesPerSecond = 30;
  options.Read.BodyParts = {"nose", "tail"};
  return options;
}

std::vector<ImportEntry> EntriesOf(const std::vector<std::filesystem::path>& files) {
  std::vector<ImportEntry> entries;
  for (const auto& file : files) {
    ImportEntry entry;
    entry.File = file;
    entries.push_back(entry);
  }
  return entries;
}

std::string AllProblems(const std::vector<ImportProblem>& problems) {
  std::string text;
  for (const ImportProblem& p : problems) text += DescribeImportProblem(p) + "\n";
  return text;
}

// Every format, imported and analysed: the swim of track_examples.h gives the same raw
// file and the hand-computed latency (85 samples, 2.833 s) and path (84 cm) whatever
// tracker wrote it and at whatever rate.
TEST(ImportTracks, EveryFormatGivesTheHandComputedLatencyAndPath) {
  struct Case {
    const char* name;
    const char* file;
    bool pixels;
    std::function<std::string(const std::filesystem::path&)> write;
  };
  const std::vector<Case> cases = {
      {"EthoVision text at 25/s", "rat7.txt", false, [](auto&) { return test::EthoVisionText(25, 4); }},
      {"EthoVision .xlsx at 25/s, a column left empty, the sheet named from the package's root", "rat7.xlsx",
       false,
       [](auto& dir) {
         auto rows = test::CellsOf(test::EthoVisionText(25, 4));
         for (std::size_t r = 6; r < rows.size(); ++r) rows[r].at(1).clear();  // "Recording time"
         return test::XlsxWorkbook(rows, dir, true);
       }},
      {"ANY-maze at 10/s", "rat7.csv", false, [](auto&) { return test::AnyMazeText(10, 4); }},
      {"DeepLabCut CSV, the nose unsure at frames 20 and 21", "rat7DLC.csv", true,
       [](auto&) { return test::DeepLabCutText(30, 4, {20, 21}); }},
      {"plain CSV at 60/s", "rat7_plain.csv", false, [](auto&) { return test::PlainText(60, 4); }},
      {"DeepLabCut HDF5", "rat7DLC.h5", true,
       [](auto& dir) {
         test::WriteDeepLabCutHdf5(dir / "scratch.h5", {"nose", "tail"}, test::DeepLabCutFramesOf(30, 4));
         std::string bytes;
         ReadWholeFile(dir / "scratch.h5", bytes);
         return bytes;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.Write(c.file, c.write(dir.Path()));
    ImportSummary summary;
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(ImportTracks(EntriesOf({dir.Path() / c.file}), OptionsFor(dir, c.pixels ? PixelArena() : CmArena()),
                             summary, problems))
        << AllProblems(problems);
    ASSERT_EQ(summary.Trials.size(), 1u);
    const ImportedTrial& trial = summary.Trials[0];
    EXPECT_EQ(trial.FinishStatus, 1);  // Hit Goal
    EXPECT_NEAR(trial.LatencySeconds, 85.0 / 30.0, 1e-9);
    EXPECT_NEAR(trial.AnalysedPathCm, 84.0, 0.01);
    RawTrack raw;
    ASSERT_TRUE(ReadRawTrack(trial.Source.RawFile, raw));
    ASSERT_EQ(raw.Samples.size(), 121u);
    for (std::size_t i : {0u, 1u, 50u, 120u}) EXPECT_EQ(raw.Samples[i], (RawSample{uint8_t(67 + i), 95})) << i;
    // A position the tracker was unsure of stays not seen, and the measures above hold.
    const bool unsure = std::string(c.name).find("unsure") != std::string::npos;
    EXPECT_EQ(raw.Samples[20], unsure ? (RawSample{255, 255}) : (RawSample{87, 95}));
    EXPECT_EQ(trial.Quality.NotSeen, unsure ? 2 : 0);
    EXPECT_EQ(trial.Source.BodyPart, c.pixels ? "nose+tail" : "");
    // EthoVision names the animal in its header; the others are named after their file.
    const bool ethoVision = std::string(c.name).rfind("EthoVision", 0) == 0;
    EXPECT_EQ(trial.Animal, ethoVision ? "Rat 7" : std::filesystem::path(c.file).stem().string());
  }
}

// A malformed file gives a problem naming the file and the line, and nothing is written
// even when the other files are sound.
TEST(ImportTracks, MalformedFilesAreRefusedWithTheLineAndNothingIsWritten) {
  struct Case {
    const char* name;
    const char* file;
    std::string bytes;
    int line;
    const char* detail;
  };
  const std::vector<Case> cases = {
      {"a header count that misses the names row", "h.txt",
       "\"Number of header lines:\";\"3\"\r\n\"Animal ID\";\"R1\"\r\n\"Trial time\";\"X center\";\"Y center\"\r\n"
       "\"s\";\"cm\";\"cm\"\r\n0;1;1\r\n",
       2, "lacks the column \"Trial time\" \"X center\" \"Y center\""},
      {"a cell that is not a number", "p.csv", "time,x,y\n0,1,1\n0.5,abc,1\n", 3,
       "the x \"abc\" is not a number"},
      {"a time given twice (a row exported twice)", "p.csv", "time,x,y\n0,1,1\n0.5,2,1\n0.5,3,1\n", 4, "does not follow"},
      {"a time column in milliseconds", "p.csv", "time,x,y\n0,1,1\n40000,2,1\n", 3, "a trial lasts at most"},
      {"an animal never seen", "p.csv", "time,x,y\n0,NA,NA\n1,-,-\n", 0, "missing in every sample"},
      {"a binary file", "b.csv", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 0, "not a text export"},
      {"pixels beside centimetres", "d.csv", test::DeepLabCutText(30, 1), 0, "mixes centimetres and pixels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.Write("good.csv", test::PlainText(30, 4));
    dir.Write(c.file, c.bytes);
    ImportSummary summary;
    std::vector<ImportProblem> problems;
    EXPECT_FALSE(ImportTracks(EntriesOf({dir.Path() / "good.csv", dir.Path() / c.file}), OptionsFor(dir, CmArena()),
                              summary, problems));
    ASSERT_EQ(problems.size(), 1u) << AllProblems(problems);
    EXPECT_EQ(problems[0].File, (dir.Path() / c.file).string());
    EXPECT_EQ(problems[0].Line, c.line);
    EXPECT_NE(problems[0].Detail.find(c.detail), std::string::npos) << problems[0].Detail;
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out"));
  }
}

// Each reader on the details labs' files differ in: the unit a header names, the subject
// row, decimal commas, clock times, missing marks, DeepLabCut's likelihood at the limit.
TEST(ReadTrackText, UnitsSubjectsAndNumbersAsEachToolWritesThem) {
  struct Case {
    const char* name;
    TrackFormat format;
    std::string bytes;
    std::string subject;
    TrackUnit unit;
    bool yUp;
    std::vector<double> time, x, y;
    std::vector<bool> missing;
  };
  const std::string evHeader = "\"Number of header lines:\";\"5\"\r\n\"Subject name\";\"Mouse 12\"\r\n\"Arena name\";\"A\"\r\n"
                               "\"Trial time\";\"X center\";\"Y center\"\r\n";
  const std::vector<Case> cases = {
      {"EthoVision in millimetres, the subject in a \"Subject name\" row, \"-\" for not found",
       TrackFormat::EthoVisionText, evHeader + "\"s\";\"mm\";\"mm\"\r\n\"0\";\"150\";\"-20\"\r\n\"0.04\";\"-\";\"-\"\r\n",
       "Mouse 12", TrackUnit::Centimetres, true, {0, 0.04}, {15, 0}, {-2, 0}, {false, true}},
      {"ANY-maze clock times past a minute, decimal commas in a semicolon file", TrackFormat::AnyMaze,
       "Time;Centre position X;Centre position Y\n0:01:30,5;12,5;-3\n0:01:30,7;13;-3,5\n", "",
       TrackUnit::Centimetres, true, {90.5, 90.7}, {12.5, 13}, {-3, -3.5}, {false, false}},
      {"a plain CSV in pixels by its column names: y grows downward", TrackFormat::PlainCsv,
       "time_s,x_px,y_px\n0,320,240\n0.5,321,NA\n", "", TrackUnit::Pixels, false, {0, 0.5}, {320, 0}, {240, 0},
       {false, true}},
      {"DeepLabCut at 25 frames a second: a likelihood exactly at the threshold (0.9) is seen",
       TrackFormat::DeepLabCutCsv,
       "scorer,S,S,S\nbodyparts,nose,nose,nose\ncoords,x,y,likelihood\n0,10,20,0.9\n1,11,20,0.89\n",
       "", TrackUnit::Pixels, false, {0, 0.04}, {10, 0}, {20, 0}, {false, true}},
  };
  TrackReadOptions options;
  options.FramesPerSecond = 25;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImportedTrack track;
    track.SourceFile = "f";
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(ReadTrackText(c.bytes, c.format, options, track, problems)) << AllProblems(problems);
    EXPECT_EQ(track.Subject, c.subject);
    EXPECT_EQ(track.Unit, c.unit);
    EXPECT_EQ(track.YUp, c.yUp);
    ASSERT_EQ(track.Size(), c.time.size());
    for (std::size_t i = 0; i < track.Size(); ++i) {
      EXPECT_NEAR(track.Time[i], c.time[i], 1e-9) << i;
      EXPECT_EQ(track.Missing[i], c.missing[i]) << i;
      if (c.missing[i]) continue;
      EXPECT_NEAR(track.X[i], c.x[i], 1e-9) << i;
      EXPECT_NEAR(track.Y[i], c.y[i], 1e-9) << i;
    }
  }
}

TEST(ResampleTrack, NearestAndLinearAtTheStoredRateWithGapsKept) {
  ImportedTrack track;
  // 10 samples a second, a gap of a second between 0.3 and 1.3 s, one missing at 1.5 s.
  const double times[] = {0.0, 0.1, 0.2, 0.3, 1.3, 1.4, 1.5, 1.6};
  for (double t : times) {
    track.Time.push_back(t);
    track.X.push_back(100 * t);
    track.Y.push_back(0);
    track.Missing.push_back(std::abs(t - 1.5) < 1e-9);
    track.Line.push_back(static_cast<int>(track.Time.size()) + 1);
  }
  const ResampledTrack linear = ResampleTrack(track, 30, ResampleMethod::Linear);
  const ResampledTrack nearest = ResampleTrack(track, 30, ResampleMethod::Nearest);
  ASSERT_EQ(linear.X.size(), 49u);  // 0 .. 1.6 s
  EXPECT_NEAR(linear.X[1], 100.0 / 30, 1e-9);
  EXPECT_NEAR(nearest.X[1], 0.0, 1e-9);
  EXPECT_NEAR(nearest.X[2], 10.0, 1e-9);  // 0.0667 s is nearer 0.1
  EXPECT_EQ(nearest.Line[2], 3);
  // Inside the gap (0.3 .. 1.3 s): nothing invented.
  for (std::size_t i = 15; i <= 33; ++i) EXPECT_TRUE(linear.Missing[i]) << i;
  EXPECT_FALSE(linear.Missing[10]);  // 0.333 s, 0.033 s from the last sample before the gap
  // Beside the missing sample at 1.5 s only what is nearer to it than to a seen one.
  EXPECT_TRUE(linear.Missing[45]);
  EXPECT_FALSE(linear.Missing[43]);  // 1.433 s: between 1.4 and 1.5 but nearer 1.4
  EXPECT_NEAR(linear.X[43], 140.0, 1e-9);
}

TEST(ImportTracks, PositionsOutsideThePoolAreRefusedOrClippedAndCounted) {
  TempDir dir;
  // The swim, but at 1.0 s the tracker took a reflection for the animal at (0, 90).
  std::string text = test::PlainText(30, 3);
  text.replace(text.find("1.0000,-30.0000,0"), 17, "1.0000,0.0000,90");
  dir.Write("r.csv", text);
  ImportSummary summary;
  std::vector<ImportProblem> problems;
  ImportOptions options = OptionsFor(dir, CmArena());
  EXPECT_FALSE(ImportTracks(EntriesOf({dir.Path() / "r.csv"}), options, summary, problems));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].Line, 32);
  EXPECT_NE(problems[0].Detail.find("(0, 90)"), std::string::npos) << problems[0].Detail;
  EXPECT_NE(problems[0].Detail.find("outside the pool"), std::string::npos);

  problems.clear();
  options.Outside = OutsidePolicy::Clip;
  ASSERT_TRUE(ImportTracks(EntriesOf({dir.Path() / "r.csv"}), options, summary, problems)) << AllProblems(problems);
  EXPECT_EQ(summary.Trials[0].Quality.Clipped, 1);
  RawTrack raw;
  ASSERT_TRUE(ReadRawTrack(summary.Trials[0].Source.RawFile, raw));
  // Onto the allowed circle: 75 cm + 10 % = 82.5 cm above the centre, y up.
  EXPECT_EQ(raw.Samples[30], (RawSample{127, 95 - 82}));
}

TEST(ImportTracks, PoolAndGoalFittedFromTheTracks) {
  TempDir dir;
  // A wall-hugging swim around a pool of radius 70 centred at (5, -3), then three trials
  // that end near the goal (40, 10) and one that timed out elsewhere.
  std::string wall = "time,x,y\n";
  for (int i = 0; i <= 360; ++i) {
    const double a = i * M_PI / 180;
    wall += test::Num(i / 5.0) + "," + test::Num(5 + 70 * std::cos(a)) + "," + test::Num(-3 + 70 * std::sin(a)) + "\n";
  }
  dir.Write("wall.csv", wall);
  const double ends[3][2] = {{41, 10}, {40, 12}, {38, 9}};
  std::vector<std::filesystem::path> files = {dir.Path() / "wall.csv"};
  for (int k = 0; k < 3; ++k) {
    const std::string name = "t" + std::to_string(k) + ".csv";
    dir.Write(name, "time,x,y\n0,0,-60\n1," + test::Num(ends[k][0]) + "," + test::Num(ends[k][1]) + "\n");
    files.push_back(dir.Path() / name);
  }
  dir.Write("timedout.csv", "time,x,y\n0,0,-60\n60,-40,-40\n");
  files.push_back(dir.Path() / "timedout.csv");
  ImportOptions options = OptionsFor(dir, ImportArena{});
  options.FitPool = options.FitGoal = true;
  ImportSummary summary;
  std::vector<ImportProblem> problems;
  ASSERT_TRUE(ImportTracks(EntriesOf(files), options, summary, problems)) << AllProblems(problems);
  std::string notes;
  for (const auto& note : summary.Notes) notes += note + "\n";
  EXPECT_NE(notes.find("pool fitted from 5 tracks: centre 5.0, -3.0 cm, radius 70.0 cm"), std::string::npos) << notes;
  EXPECT_NE(notes.find("goal fitted from the ends of 3 acquisition trials: 40.0, 10.0 cm"), std::string::npos) << notes;
  EXPECT_EQ(summary.Pool.ActualSizeX, 140);
  // Right of and above the centre: platform 1 (where in the grid is the grid mapping's test).
  EXPECT_EQ(summary.ActivePlatform, 1);
}

TEST(ImportTracks, ExperimentsPerDayStudySheetAndRecordedStatuses) {
  TempDir dir;
  dir.Write("r1d1.txt", test::EthoVisionText(25, 4, {}, "R1"));
  // R2 floats at (-30, -30) past the limit: timed out.
  std::string floating = test::EthoVisionText(25, 0, {}, "R2");
  for (int t = 1; t <= 61; ++t) floating += "\"" + std::to_string(t) + "\";\"0\";\"-30\";\"-30\";\"1\"\r\n";
  dir.Write("r2d1.txt", floating);
  dir.Write("r1d2.txt", test::EthoVisionText(25, 4, {}, "R1"));
  dir.Write("list.csv",
            "file,group,day,kind\n"
            "r1d1.txt,ctrl,1,acquisition\n"
            "r2d1.txt,ctrl,1,acquisition\n"
            "r1d2.txt,ctrl,2,probe\n");
  std::vector<ImportEntry> entries;
  std::vector<ImportProblem> problems;
  ASSERT_TRUE(ParseImportList(dir.Read("list.csv"), dir.Path(), entries, problems, "list.csv"));
  ImportOptions options = OptionsFor(dir, CmArena());
  options.Name = "W";
  options.VideoType = 1;  // PAL: 25 samples a second
  ImportSummary summary;
  ASSERT_TRUE(ImportTracks(entries, options, summary, problems)) << AllProblems(problems);
  ASSERT_EQ(summary.Experiments.size(), 2u);
  const std::optional<ExperimentRecord> day1 = ReadExperimentRecord(dir.Path() / "out" / "W1.EXP");
  ASSERT_TRUE(day1);
  EXPECT_EQ(day1->Experiment.SubjectIDs, (std::vector<std::string>{"R1", "R2"}));
  EXPECT_EQ(ReadSubjectStatusWord(dir.Path() / "out" / "W1.EXP", 0), kStatusWordHitGoal);
  EXPECT_EQ(ReadSubjectStatusWord(dir.Path() / "out" / "W1.EXP", 1), kStatusWordTimedOut);
  EXPECT_EQ(dir.Read("out/W_study.csv"),
            "file,animal,group,day,trial,kind,goal\r\n"
            "W100.RAW,R1,ctrl,1,1,acquisition,1\r\n"
            "W101.RAW,R2,ctrl,1,1,acquisition,1\r\n"
            "W200.RAW,R1,ctrl,2,1,probe,1\r\n");
  // Where each trial came from is in its experiment's provenance record.
  const ProvenanceLoad load = LoadProvenance(dir.Path() / "out" / "W1.EXP");
  ASSERT_EQ(load.Record.ImportedTracks.count("W101.RAW"), 1u) << load.Problem;
  const ImportedTrackSource& source = load.Record.ImportedTracks.at("W101.RAW");
  EXPECT_EQ(source.SourceSha256, Sha256Hex(dir.Read("r2d1.txt")));
  EXPECT_EQ(source.Other.value("resampling", ""), "linear 25/s");
  // A second import over the same files is refused unless asked to replace them.
  problems.clear();
  EXPECT_FALSE(ImportTracks(entries, options, summary, problems));
  EXPECT_NE(AllProblems(problems).find("exists already"), std::string::npos);
  problems.clear();
  options.Overwrite = true;
  EXPECT_TRUE(ImportTracks(entries, options, summary, problems)) << AllProblems(problems);
}

// An animal's trials share its ID (the record keeps 8 bytes of it): two animals whose
// names cut to one ID, or one animal's trial given twice, are refused.
TEST(ImportTracks, AnAnimalsTrialsShareItsIdAndTwoAnimalsCannot) {
  TempDir dir;
  dir.Write("a.txt", test::EthoVisionText(25, 4, {}, "x"));
  dir.Write("b.txt", test::EthoVisionText(25, 4, {}, "x"));
  dir.Write("c.txt", test::EthoVisionText(25, 4, {}, "x"));
  const auto import = [&](const std::string& list, std::vector<ImportProblem>& problems) {
    std::vector<ImportEntry> entries;
    EXPECT_TRUE(ParseImportList(list, dir.Path(), entries, problems, "list.csv"));
    ImportOptions options = OptionsFor(dir, CmArena());
    options.Overwrite = true;
    ImportSummary summary;
    return ImportTracks(entries, options, summary, problems);
  };
  std::vector<ImportProblem> problems;
  ASSERT_TRUE(import("file,animal,day,trial\na.txt,Mouse 12,1,1\nb.txt,Mouse 12,1,2\n", problems))
      << AllProblems(problems);
  const std::optional<ExperimentRecord> day1 = ReadExperimentRecord(dir.Path() / "out" / "IMP1.EXP");
  ASSERT_TRUE(day1);
  EXPECT_EQ(day1->Experiment.SubjectIDs, (std::vector<std::string>{"Mouse 12", "Mouse 12"}));
  problems.clear();
  EXPECT_FALSE(import("file,animal,day,trial\na.txt,Mouse 12,1,1\nb.txt,Mouse 123,1,1\n", problems));
  EXPECT_NE(AllProblems(problems).find("animals Mouse 12 and Mouse 123 share the ID Mouse 12"), std::string::npos)
      << AllProblems(problems);
  problems.clear();
  EXPECT_FALSE(import("file,animal,day,trial\na.txt,Mouse 12,1,1\nc.txt,Mouse 12,1,1\n", problems));
  EXPECT_NE(AllProblems(problems).find("animal Mouse 12 has trial 1 of day 1 twice"), std::string::npos)
      << AllProblems(problems);
}

// With the home's aspect factor the stored y is divided by it, so that the analysis and
// the peer export give the source's centimetres back.
TEST(ExportPeerTracks, GivesTheImportedCentimetresBackWithAnArenaFile) {
  for (double aspect : {1.0, 1.25, 0.8}) {
    SCOPED_TRACE(aspect);
    TempDir dir;
    // A swim north along x = 10: y from -60 at 30 cm/s.
    std::string text = "time_s,x_cm,y_cm\n";
    for (int i = 0; i <= 90; ++i) text += test::Num(i / 30.0) + ",10," + test::Num(-60 + i) + "\n";
    dir.Write("n.csv", text);
    ImportOptions options = OptionsFor(dir, CmArena());
    options.Arena.Goals = {ArenaCircle{-30, 30, 5}};
    options.Arena.GridRadius = 0;  // the largest that fits this aspect
    options.AspectFactor = aspect;
    ImportSummary summary;
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(ImportTracks(EntriesOf({dir.Path() / "n.csv"}), options, summary, problems)) << AllProblems(problems);
    EXPECT_EQ(summary.ActivePlatform, 2);
    EXPECT_NEAR(summary.Trials[0].AnalysedPathCm, 90.0, 90.0 * 0.03);
    std::vector<std::filesystem::path> written;
    std::string error;
    ASSERT_TRUE(ExportPeerTracks(dir.Path() / "out" / "IMP1.EXP", dir.Path() / "peer", aspect, 0, written, error))
        << error;
    ASSERT_EQ(written.size(), 2u);
    const std::string csv = dir.Read("peer/IMP100.csv");
    const CellTable rows = SplitDelimitedText(csv, ',');
    ASSERT_EQ(rows.size(), 92u);
    EXPECT_EQ(rows[0].Cells, (std::vector<std::string>{"time_s", "x_cm", "y_cm"}));
    const double cmPerUnit = 150.0 / (2 * summary.Pool.Radius);
    for (std::size_t i = 1; i < rows.size(); i += 10) {
      double t = 0, x = 0, y = 0;
      ASSERT_TRUE(ParseCellNumber(rows[i].Cells[0], t) && ParseCellNumber(rows[i].Cells[1], x) &&
                  ParseCellNumber(rows[i].Cells[2], y));
      EXPECT_NEAR(t, (i - 1) / 30.0, 1e-4);
      EXPECT_NEAR(x, 10.0, cmPerUnit);
      EXPECT_NEAR(y, -60.0 + (i - 1), cmPerUnit * std::max(1.0, 1 / aspect) + 0.01);
    }
    const std::string arena = dir.Read("peer/IMP1.arena");
    EXPECT_NE(arena.find("type = mwm\ntime.units = s\ntrial.length = 60\narena.bounds = circle 0 0 75\n"),
              std::string::npos)
        << arena;
    // The arena file reads back as an import arena, goal within a unit of where it was.
    ImportArena back;
    ASSERT_TRUE(ParseArenaText(arena, "IMP1.arena", back, problems)) << AllProblems(problems);
    ASSERT_EQ(back.Goals.size(), 1u);
    EXPECT_NEAR(back.Goals[0].X, -30, cmPerUnit);
    EXPECT_NEAR(back.Goals[0].Y, 30, cmPerUnit * 1.5);
    // With every platform active ("ALL") each of them is a goal.
    std::optional<ExperimentRecord> all = ReadExperimentRecord(dir.Path() / "out" / "IMP1.EXP");
    ASSERT_TRUE(all);
    all->Experiment.ActivePlatform = 5;
    ASSERT_TRUE(WriteExperimentRecord(dir.Path() / "out" / "IMP1.EXP", all->Experiment, all->Pool, &error)) << error;
    ASSERT_TRUE(ExportPeerTracks(dir.Path() / "out" / "IMP1.EXP", dir.Path() / "peer", aspect, 0, written, error));
    ImportArena four;
    ASSERT_TRUE(ParseArenaText(dir.Read("peer/IMP1.arena"), "IMP1.arena", four, problems)) << AllProblems(problems);
    EXPECT_EQ(four.Goals.size(), 4u);
  }
}

// The arena in the grid: a pixel pool's centimetres come from its real size, a picture's
// y grows downward (a goal above the centre on the screen is in quadrant 1 or 2), a
// reversal's old goal gets its own platform unless it shares the goal's quadrant, and a
// goal outside the pool is refused.
TEST(MakeGridMapping, ScaleQuadrantsAndTheOldGoal) {
  ImportArena pixels = PixelArena();  // centre (320, 240)
  pixels.Pool = ArenaCircle{320, 240, 150};
  pixels.Goals = {ArenaCircle{350, 210, 10}};    // right of and above the centre on the screen
  pixels.OldGoal = ArenaCircle{290, 270, 10};    // left of and below it
  ImportArena cm = CmArena();
  cm.Goals = {ArenaCircle{-30, -20, 5}};
  cm.OldGoal = ArenaCircle{30, 20, 5};
  ImportArena sameQuadrant = cm;
  sameQuadrant.OldGoal = ArenaCircle{-20, -30, 5};
  const struct {
    const char* name;
    const ImportArena& arena;
    bool yUp;
    double cmPerSource;
    int active, old;
  } cases[] = {
      {"pixels, y down", pixels, false, 0.5, 1, 3},
      {"cm, y up", cm, true, 1, 3, 1},
      {"the old goal in the goal's quadrant", sameQuadrant, true, 1, 3, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GridMapping mapping;
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(MakeGridMapping(c.arena, 1.0, c.yUp, mapping, problems, "arena")) << AllProblems(problems);
    EXPECT_DOUBLE_EQ(mapping.CmPerSource, c.cmPerSource);
    EXPECT_EQ(mapping.ActivePlatform, c.active);
    EXPECT_EQ(mapping.OldGoalPlatform, c.old);
  }
  cm.Goals = {ArenaCircle{70, 30, 5}};
  std::vector<ImportProblem> problems;
  GridMapping mapping;
  EXPECT_FALSE(MakeGridMapping(cm, 1.0, true, mapping, problems, "arena"));
  EXPECT_NE(AllProblems(problems).find("the goal (70, 30) lies outside the pool"), std::string::npos)
      << AllProblems(problems);
}

TEST(DeepLabCutHdf5, BodyPartsFromPandasLabelsOrNumberedWithoutThem) {
  TempDir dir;
  const auto frames = test::DeepLabCutFramesOf(30, 0.2);
  for (bool labels : {true, false}) {
    SCOPED_TRACE(labels);
    test::WriteDeepLabCutHdf5(dir.Path() / "f.h5", {"snout", "tailbase"}, frames, labels);
    DeepLabCutFrames read;
    std::string error;
    ASSERT_TRUE(ReadDeepLabCutHdf5((dir.Path() / "f.h5").string(), read, error)) << error;
    const std::vector<std::string> parts =
        labels ? std::vector<std::string>{"snout", "snout", "snout", "tailbase", "tailbase", "tailbase"}
               : std::vector<std::string>{"part1", "part1", "part1", "part2", "part2", "part2"};
    EXPECT_EQ(read.Parts, parts);
    EXPECT_EQ(read.Coords, (std::vector<std::string>{"x", "y", "likelihood", "x", "y", "likelihood"}));
    EXPECT_EQ(read.Values, frames);
  }
  // A body part the file does not have is named with the ones it has.
  ImportedTrack track;
  std::vector<ImportProblem> problems;
  TrackReadOptions options;
  options.FramesPerSecond = 30;
  options.BodyParts = {"nose"};
  std::string bytes;
  ReadWholeFile(dir.Path() / "f.h5", bytes);
  EXPECT_FALSE(ReadBinaryTrackBytes(bytes, TrackFormat::DeepLabCutHdf5, options, track, problems));
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].Detail.find("no body part \"nose\" with x, y and likelihood (the file has part1, part2)"),
            std::string::npos)
      << problems[0].Detail;
}

}  // namespace
}  // namespace tarnwell
