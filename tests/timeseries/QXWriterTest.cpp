#include "timeseries/QXWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <limits>
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

  // Runs the writer on dir/name; its messages go to boxes_.boxes.
  bool Write(const SeriesBlock& block, bool& binary, int32_t seriesType = kSeriesTypeInstantaneous,
             const Selection* selection = nullptr, const std::string& name = "out.xml") {
    error_ = "not set";
    return clsOrvaQXTimeSeries().Write_QX_XML_File(name.empty() ? name : dir_.File(name), block, seriesType, binary,
                                                   selection, error_);
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

TEST_F(QXWriterTest, TypeElementFollowsSeriesType) {
  const std::pair<int32_t, const char*> cases[] = {{0, "<header>\r\n\t\t\t<type>Accumulative</type>\r\n\t\t\t<loc"},
                                                   {2, "<header>\r\n\t\t\t<locationId>"}};
  for (const auto& [seriesType, header] : cases) {
    bool binary = false;
    ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary, seriesType));
    EXPECT_EQ(Count(Slurp(dir_.File("out.xml")), header), 1u) << seriesType;
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
      {"gap", {At(7, 0), At(7, 1), At(7, 2), At(7, 4)}, kUneven},
      {"hourly", Hourly(25), kHourly},
      {"two times", {At(7, 0), At(8, 0)}, R"(<timeStep unit="second" multiplier="86400"/>)"},
      // Each time is rounded to the whole second before the differences are taken.
      {"jitter rounds away", {At(7, 0), At(7, 1) + 0.4 / 86400, At(7, 2) - 0.4 / 86400}, kHourly},
      {"jitter rounds to a second", {At(7, 0), At(7, 1) + 0.6 / 86400, At(7, 2)}, kUneven},
      {"one second off at the end", {At(7, 0), At(7, 0, 0, 10), At(7, 0, 0, 20), At(7, 0, 0, 31)}, kUneven},
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

TEST_F(QXWriterTest, EmptyOrUnselectedBlockWritesARootWithoutSeries) {
  Selection elsewhere;
  elsewhere.AddPair("elsewhere", "P1");
  const std::pair<SeriesBlock, const Selection*> cases[] = {
      {NumberedBlock(0, 3, Hourly(4)), nullptr}, {NumberedBlock(2, 0, Hourly(4)), nullptr},
      {NumberedBlock(1, 1, Hourly(3)), &elsewhere}};
  const std::string golden = testing::Golden("qx-xml-form.xml");
  for (const auto& [block, selection] : cases) {
    bool binary = true;
    ASSERT_TRUE(Write(block, binary, kSeriesTypeInstantaneous, selection)) << error_;
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
      {DateSerial(0, 1, 1), "0000-01-01"},
      {DateSerial(9999, 12, 31) + TimeSerial(23, 59, 59), "9999-12-31"},
      {DateSerial(-999, 1, 1), "-999-01-01"},
      {DateSerial(10000, 1, 1), "Error 6 (Overflow: the year 10000 of 10000-01-01 00:00:00 does not fit the four "
                                "characters of a date)"},
      {DateSerial(-1000, 12, 31), "Error 6 (Overflow: the year -1000 of -1000-12-31 00:00:00 does not fit the four "
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
  const std::string xml = dir_.File("out.xml"), bin = dir_.File("out.bin");
  const auto none = [](SeriesBlock&) {};
  const std::tuple<std::function<void(SeriesBlock&)>, std::string, std::string> cases[] = {
      {[](SeriesBlock& b) { b.sngValues.resize(5); }, xml, "Error 9 (Subscript out of range: the block holds 5 values for 2 x 1 x 3)"},
      {[](SeriesBlock& b) { b.lTimeCount = 0; }, xml, "Error 9 (Subscript out of range: time 1 outside 1 to 0)"},
      {[](SeriesBlock& b) { b.Time(2) = std::numeric_limits<double>::quiet_NaN(); }, xml, "Error 6 (Overflow)"},
      {none, "", "Error 52 (Bad file name or number: no output file name)"},
      {none, dir_.File("missing/out.xml"), "Error 76 (Path not found: " + dir_.File("missing") + ")"},
      {none, bin, "Error 75 (Path/File access error: " + bin + " would be its own side file)"},
  };
  for (const auto& [damage, name, error] : cases) {
    dir_.Write("out.xml", "old xml");
    dir_.Write("out.bin", "old bin");
    SeriesBlock block = NumberedBlock(2, 1, Hourly(3));
    damage(block);
    bool binary = true;
    EXPECT_FALSE(clsOrvaQXTimeSeries().Write_QX_XML_File(name, block, 1, binary, nullptr, error_));
    EXPECT_EQ(error_, error + " in procedure Write_QX_XML_File of Class Module clsWriteOrvaQXTimeSeries");
    EXPECT_EQ(Slurp(xml) + " " + Slurp(bin), "old xml old bin");
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

  // The XML form may take the side file's name; a side file that cannot be removed is no failure.
  binary = false;
  ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary, 1, nullptr, "result.bin"));
  EXPECT_EQ(Count(Slurp(dir_.File("result.bin")), "<event "), 2u);
  fs::create_directory(dir_.File("out.bin"));
  ASSERT_TRUE(Write(NumberedBlock(1, 1, Hourly(2)), binary));
  EXPECT_EQ(error_, "");
  EXPECT_TRUE(fs::is_directory(dir_.File("out.bin")));
}

}  // namespace
}  // namespace tidemill
