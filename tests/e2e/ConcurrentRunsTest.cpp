// Runs of the built executable at the same time on one file: the output is whole, as one of the
// runs wrote it, and a run reading a file that others rewrite reads the old or the new file.
#include <gtest/gtest.h>

#include "support/DriverSupport.h"
#include "support/RunTidemill.h"

namespace tidemill {
namespace {

using testing::DiagLine;
using testing::Slurp;
using testing::TempDir;
using Strings = std::vector<std::string>;

// Starts every run at once in batch mode (run k logs to diag<k>.xml), waits for all, and gives
// the log lines of each after the start-up lines.
std::vector<std::vector<DiagLine>> RunAtOnce(const TempDir& dir, const std::vector<Strings>& runs) {
  const TempDir capture;
  std::vector<testing::Started> started;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    Strings args = runs[k];
    for (const std::string& a : Strings{"/batch", "/diagfile", "diag" + std::to_string(k) + ".xml"}) args.push_back(a);
    started.push_back(testing::StartTidemill(dir.Path(), args, capture.File("out" + std::to_string(k)),
                                             capture.File("err" + std::to_string(k))));
  }
  std::vector<std::vector<DiagLine>> logs;
  for (std::size_t k = 0; k < started.size(); ++k) {
    EXPECT_EQ(testing::WaitFor(started[k]), 0) << "run " << k;
    auto lines = testing::ReadDiagLines(Slurp(dir.File("diag" + std::to_string(k) + ".xml")), "tidemill");
    logs.emplace_back(lines.begin() + std::min<std::size_t>(6, lines.size()), lines.end());
  }
  return logs;
}

bool NoTemporaryFile(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    if (entry.path().filename().string().starts_with('.')) return false;
  }
  return true;
}

// An ABR file of hourly values first, first + 1, ... from the given hour of 2024-03-01 on.
std::string Abr(int lines, int first, int hour) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += "2024030" + std::to_string(1 + (hour + i) / 24) + (((hour + i) % 24) < 10 ? "0" : "") +
            std::to_string((hour + i) % 24) + "0000 " + std::to_string(first + i) + "\r\n";
  }
  return text;
}

TEST(ConcurrentRunsTest, RunsSettingValuesInOneEditNodeFileLoseNoneOfThem) {
  TempDir dir;
  dir.Write("t.ini", "[Ostrand File System]\r\nStartUpDir=" + dir.Path() +
                         "\r\nDataEditObjectID=Ostrand.DataEditServer\r\n[Parameters bin]\r\nQ=PM\r\n");
  std::string before, after;
  std::vector<Strings> runs;
  for (int k = 0; k < 8; ++k) {
    const std::string n = std::to_string(k);
    dir.Write("in" + n + ".xml", "<TimeSeries><series><header><locationId>L" + n +
                                     "</locationId><parameterId>Q</parameterId></header><event date=\"2006-04-10\" "
                                     "time=\"00:00:00\" value=\"" +
                                     n + ".5\"/></series></TimeSeries>");
    before += "ID L" + n + " PM NROFVALUES 0 VALUES\r\n";
    after += "ID L" + n + " PM NROFVALUES 1 VALUES " + (k == 0 ? "" : n) + ".5\r\n";
    runs.push_back({"in" + n + ".xml", "out.bin", "/conversiontable", "t.ini"});
  }
  dir.Write("editnode.fnm", before);
  for (const auto& log : RunAtOnce(dir, runs)) EXPECT_EQ(log, std::vector<DiagLine>{testing::kConvertedLine});
  EXPECT_EQ(Slurp(dir.File("editnode.fnm")), after);
  EXPECT_TRUE(NoTemporaryFile(dir)) << dir.Listing();
}

TEST(ConcurrentRunsTest, ARunReadsTheOldOrTheNewFileNeverAHalf) {
  // Two versions of shared.xml with as many values but other times and values: a reader that
  // took the XML of one and the side file of the other would convert neither.
  TempDir dir;
  dir.Write("a.abr", Abr(4, 100, 0));
  dir.Write("b.abr", Abr(4, 200, 5));
  Strings kel;
  std::vector<Strings> qx;  // shared.xml and its side file as each writer leaves them
  for (const char* version : {"a.abr", "b.abr"}) {
    for (const char* form : {"/debug", ""}) {
      testing::RunTidemill(dir.Path(), {version, "shared.xml", form});
      qx.push_back({Slurp(dir.File("shared.xml")), Slurp(dir.File("shared.bin"))});
      ASSERT_EQ(testing::RunTidemill(dir.Path(), {"shared.xml", "ref.kel"}).err,
                "Tidemill: File has been converted succesfully.\n");
      if (*form != '\0') kel.push_back(Slurp(dir.File("ref.kel")));
      EXPECT_EQ(Slurp(dir.File("ref.kel")), kel.back()) << "both forms read the same";
    }
  }
  // Writers of both versions in both forms, and readers between them that all write one Kel file.
  const std::vector<Strings> runs = {{"a.abr", "shared.xml"},           {"shared.xml", "r.kel"},
                                     {"b.abr", "shared.xml", "/debug"}, {"shared.xml", "r.kel"},
                                     {"a.abr", "shared.xml", "/debug"}, {"shared.xml", "r.kel"},
                                     {"b.abr", "shared.xml"},           {"shared.xml", "r.kel"}};
  for (int round = 0; round < 4; ++round) {
    const auto logs = RunAtOnce(dir, runs);
    for (std::size_t k = 0; k < runs.size(); ++k) {
      if (k % 2 == 1) {
        // A reader that took the XML of one version and the side file of another would fail.
        EXPECT_EQ(logs[k], std::vector<DiagLine>{testing::kConvertedLine}) << "run " << k;
      } else {
        EXPECT_EQ(logs[k],
                  (std::vector<DiagLine>{runs[k].size() == 3 ? testing::kXmlFormLine : testing::kBinaryFormLine, testing::kConvertedLine}));
      }
    }
    const std::string got = Slurp(dir.File("r.kel"));
    EXPECT_TRUE(got == kel[0] || got == kel[1]) << "round " << round;
    const Strings pair = {Slurp(dir.File("shared.xml")), Slurp(dir.File("shared.bin"))};
    EXPECT_NE(std::find(qx.begin(), qx.end(), pair), qx.end()) << "round " << round;
  }
  EXPECT_TRUE(NoTemporaryFile(dir)) << dir.Listing();
}

}  // namespace
}  // namespace tidemill
