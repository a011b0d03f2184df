#include "timeseries/QXWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "common/DateTime.h"
#include "diagnostics/RunState.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "support/DriverSupport.h"
#include "timeseries/QXContentHandler.h"

namespace tidemill {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;

using testing::kBinaryFormText;
using testing::kXmlFormText;
constexpr const char* kHourly = R"(<timeStep unit="second" multiplier="3600"/>)";
constexpr const char* kUneven = R"(<timeStep unit="nonequidistant"/>)";

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

double At(int day, int hour, int minute = 0, int second = 0) {
  return DateSerial(2004, 3, day) + TimeSerial(hour, minute, second);
}

// Hourly times from 2004-03-07 06:00, computed the way converters do (not exact in binary).
std::vector<double> Hourly(int count) {
  std::vector<double> times;
  for (int k = 0; k < count; ++k) times.push_back(At(7, 6) + k / 24.0);
  return times;
}

// A block whose value (l, p, t) is 100 l + 10 p + t.
SeriesBlock NumberedBlock(int32_t L, int32_t P, std::vector<double> times) {
  SeriesBlock block(L, P, static_cast<int32_t>(times.size()));
  for (int32_t l = 1; l <= L; ++l) (block.LocationID(l) = "L") += std::to_string(l);  // not "L" + : a false GCC 12 warning
  for (int32_t p = 1; p <= P; ++p) (block.ParameterID(p) = "P") += std::to_string(p);
  block.dtTimes = std::move(times);
  for (int32_t l = 1; l <= L; ++l)
    for (int32_t p = 1; p <= P; ++p)
      for (int32_t t = 1; t <= block.lTimeCount; ++t) block.Value(l, p, t) = static_cast<float>(100 * l + 10 * p + t);
  return block;
}

// The block of the golden files: one location, two parameters, three hours. qx-xml-form.xml has
// its events; qx-binary-form.xml has none, and its side file holds little-endian singles,
// series (Lobith, Q) then (Lobith, H), each in time order.
SeriesBlock GoldenBlock() {
  SeriesBlock block(1, 2, 3);
  block.LocationID(1) = "Lobith";
  block.ParameterID(1) = "Q";
  block.ParameterID(2) = "H";
  block.dtTimes = Hourly(3);
  block.sngValues = {0.5f, -999.0f, 12.25f, 1e20f, 1.5e-7f, -999.99f};
  return block;
}

class QXWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetRunState(); }
  void TearDown() override { ResetRunState(); }

  // Runs the writer on name ("" none) in dir_; its messages go to boxes_.boxes.
  bool Write(const SeriesBlock& block, bool& binary, const std::string& name = "out.xml") {
    error_ = "not set";
    return clsOrvaQXTimeSeries().Write_QX_XML_File(name.empty() ? name : dir_.File(name), block,
                                                   kSeriesTypeInstantaneous, binary, nullptr, error_);
  }

  testing::TempDir dir_;
  testing::BoxRecorder boxes_;
  std::string error_;
};

TEST_F(QXWriterTest, GoldenFilesReplaceAnOldSideFile) {
  for (const bool asked : {false, true}) {
    dir_.Write("out.bin", "old values");
    boxes_.boxes.clear();
    bool binary = asked;
    ASSERT_TRUE(Write(GoldenBlock(), binary));
    EXPECT_EQ(error_, "");
    EXPECT_EQ(binary, asked);
    EXPECT_EQ(Slurp(dir_.File("out.xml")), testing::Golden(asked ? "qx-binary-form.xml" : "qx-xml-form.xml"));
    EXPECT_EQ(Slurp(dir_.File("out.bin")), asked ? testing::Golden("qx-binary-form.bin") : "<missing>");
    EXPECT_EQ(dir_.Listing(), asked ? "out.bin out.xml" : "out.xml");
    EXPECT_EQ(boxes_.boxes, std::vector<std::string>{"64||" + (asked ? kBinaryFormText : kXmlFormText)});
  }
}

TEST_F(QXWriterTest, TimeStepAndForm) {
  struct Case {
    const char* name;
    std::vector<double> times;
    const char* timeStep;  // the written element
  };
  const Case cases[] = {
      {"single time", {At(7, 6)}, kUneven},
      {"gap at the end", {At(7, 0), At(7, 1), At(7, 2), At(7, 4)}, kUneven},
      {"hourly", Hourly(25), kHourly},
      // Each time is rounded to the whole second before the differences are taken.
      {"jitter rounds away", {At(7, 0), At(7, 1) + 0.4 / 86400, At(7, 2) - 0.4 / 86400}, kHourly},
      {"jitter rounds to a second", {At(7, 0), At(7, 1) + 0.6 / 86400, At(7, 2)}, kUneven},
      // Equidistant, but a side file could not rebuild the instants from a step of 0.
      {"repeated time", {At(7, 6), At(7, 6), At(7, 6)}, R"(<timeStep unit="second" multiplier="0"/>)"},
      // A multiplier beyond 32 bits could not be read back.
      {"68 years apart", {At(7, 0), At(7, 0) + 24856}, kUneven},
      {"68 years apart, the other way", {At(7, 0), At(7, 0) - 24856.5}, kUneven},
      {"just within 32 bits", {At(7, 0), At(7, 0) + 24855}, R"(<timeStep unit="second" multiplier="2147472000"/>)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    boxes_.boxes.clear();
    fs::remove(dir_.File("out.bin"));
    bool binary = true;  // the form taken when binary is asked for
    ASSERT_TRUE(Write(NumberedBlock(1, 1, c.times), binary)) << error_;
    EXPECT_EQ(binary, std::string_view(c.timeStep) != kUneven && !std::string_view(c.timeStep).ends_with("\"0\"/>"));
    const std::string xml = Slurp(dir_.File("out.xml"));
    EXPECT_EQ(Count(xml, c.timeStep), 1u) << xml;
    EXPECT_EQ(Count(xml, "<event "), binary ? 0u : c.times.size());
    EXPECT_EQ(fs::exists(dir_.File("out.bin")), binary);
    EXPECT_EQ(boxes_.boxes, std::vector<std::string>{"64||" + (binary ? kBinaryFormText : kXmlFormText)});
  }
}

TEST_F(QXWriterTest, EmptyBlockWritesARootWithoutSeries) {
  const std::string golden = testing::Golden("qx-xml-form.xml");
  for (const SeriesBlock& block : {NumberedBlock(0, 3, Hourly(4)), NumberedBlock(2, 0, Hourly(4))}) {
    bool binary = true;
    ASSERT_TRUE(Write(block, binary)) << error_;
    EXPECT_TRUE(binary);
    EXPECT_EQ(Slurp(dir_.File("out.xml")), golden.substr(0, golden.find(">\r\n\t<series>")) + "/>\r\n");
    EXPECT_EQ(Slurp(dir_.File("out.bin")), "");
  }
}

TEST_F(QXWriterTest, YearsThatFourCharactersHoldReadBack) {
  // A reader takes the year from the date's first four characters, so only -999 to 9999 can be
  // written; a year before 0 takes its sign within them.
  const std::pair<double, std::string> cases[] = {
      {DateSerial(-20, 11, 1) + TimeSerial(1, 0, 0), "-020-11-01"},
      {DateSerial(9999, 12, 31) + TimeSerial(23, 59, 59), "9999-12-31"},
      {DateSerial(10000, 1, 1), "Error 6 (Overflow: the year 10000 of 10000-01-01 00:00:00 does not fit the four "
                                "characters of a date)"},
  };
  for (const auto& [time, expected] : cases) {
    SCOPED_TRACE(expected);
    bool binary = false;
    const bool written = Write(NumberedBlock(1, 1, {At(7, 6), time}), binary);
    if (expected.starts_with("Error")) {
      EXPECT_FALSE(written);
      EXPECT_TRUE(error_.starts_with(expected)) << error_;
      continue;
    }
    ASSERT_TRUE(written) << error_;
    EXPECT_EQ(Count(Slurp(dir_.File("out.xml")), "<event date=\"" + expected + "\""), 1u);
    const QXReadResult read = ReadQXFile(dir_.File("out.xml"));
    ASSERT_FALSE(read.error.has_value());
    EXPECT_EQ(ToWholeSeconds(read.series->Item(1)->dtEventDate(2)), ToWholeSeconds(time));
  }
}

// Failures of the disk are the failure-injection table's; these are the writer's own.
TEST_F(QXWriterTest, FailuresLeaveTheOldFiles) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "Error 52 (Bad file name or number: no output file name)"},
      {"out.bin", "Error 75 (Path/File access error: " + dir_.File("out.bin") + " would be its own side file)"},
  };
  for (const auto& [name, error] : cases) {
    dir_.Write("out.xml", "old xml");
    dir_.Write("out.bin", "old bin");
    bool binary = true;
    EXPECT_FALSE(Write(NumberedBlock(2, 1, Hourly(3)), binary, name));
    EXPECT_EQ(error_, error + " in procedure Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries");
    EXPECT_EQ(Slurp(dir_.File("out.xml")) + " " + Slurp(dir_.File("out.bin")), "old xml old bin");
    EXPECT_EQ(dir_.Listing(), "out.bin out.xml");
  }
}

TEST_F(QXWriterTest, SideFileLiesBesideTheNameBeforeItsFirstDot) {
  // A name without a directory lies in the current directory.
  const fs::path previous = fs::current_path();
  fs::current_path(dir_.Path());
  bool binary = true;
  const bool ok = clsOrvaQXTimeSeries().Write_QX_XML_File("result.day1.xml", NumberedBlock(1, 1, Hourly(2)), 1,
                                                          binary, nullptr, error_);
  fs::current_path(previous);
  ASSERT_TRUE(ok) << error_;
  EXPECT_EQ(dir_.Listing(), "result.bin result.day1.xml");
  EXPECT_EQ(Slurp(dir_.File("result.bin")).size(), 8u);

  // A side file that cannot be removed is no failure of the XML form.
  binary = false;
  fs::create_directory(dir_.File("out.bin"));
  ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary));
  EXPECT_EQ(error_, "");
  EXPECT_TRUE(fs::is_directory(dir_.File("out.bin")));
}

}  // namespace
}  // namespace tidemill
