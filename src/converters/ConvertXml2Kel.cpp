#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/Error.h"
#include "common/Memory.h"
#include "common/Numbers.h"
#include "common/Program.h"
#include "common/QXNames.h"
#include "common/Text.h"
#include "converters/Converters.h"
#include "converters/RunFiles.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "external/KelFileAccess.h"
#include "timeseries/QXContentHandler.h"
#include "timeseries/SeriesBlock.h"

namespace tidemill {

namespace {

constexpr const char* kProcedure = "ConvertXml2Kel";

// Gives each ID not seen before (compared without regard to case) the next index from 1.
class IdIndex {
 public:
  void Add(const std::string& id) { index_.emplace(LowerAscii(id), static_cast<int32_t>(index_.size()) + 1); }
  int32_t Find(const std::string& id) const { return index_.at(LowerAscii(id)); }
  int32_t Count() const { return static_cast<int32_t>(index_.size()); }

 private:
  std::unordered_map<std::string, int32_t> index_;
};

// Puts the values of every series into block by position (value i of any series belongs to time
// i of the first), each record's storage given up once copied. Series in the order the block
// keeps them (a file written location by location, parameter by parameter) are appended run by
// run, so that the values are never held twice; any other order fills the block with missing
// values first.
void PlaceValues(const SeriesCollection& series, const IdIndex& locations, const IdIndex& parameters,
                 SeriesBlock& block, std::vector<std::string>& stationNames) {
  const std::size_t T = static_cast<std::size_t>(block.lTimeCount);
  std::vector<std::size_t> positions;
  bool ordered = true;
  for (const auto& s : series) {
    const int32_t l = locations.Find(s->sLocationID);
    const int32_t p = parameters.Find(s->sParameterID);
    positions.push_back(static_cast<std::size_t>(l - 1) * static_cast<std::size_t>(block.lParameterCount) +
                        static_cast<std::size_t>(p - 1));
    ordered = ordered && (positions.size() == 1 || positions.back() > positions[positions.size() - 2]);
    // The later series' spelling counts.
    block.LocationID(l) = s->sLocationID;
    block.ParameterID(p) = s->sParameterID;
    stationNames[static_cast<std::size_t>(l - 1)] = s->sStationName;
  }
  std::vector<float>& values = block.sngValues;
  if (!ordered) values.assign(block.ValueCount(), kMissingValue);
  std::size_t k = 0;
  for (const auto& s : series) {
    const std::size_t start = positions[k++] * T;
    const auto n = std::min(T, static_cast<std::size_t>(std::max(s->lValCounter(), 0)));
    if (ordered) values.resize(start, kMissingValue);
    for (std::size_t i = 0; i < n; ++i) {
      const float v = s->sngValues(static_cast<int32_t>(i + 1));
      if (ordered) {
        values.push_back(v);
      } else {
        values[start + i] = v;
      }
    }
    if (ordered) values.resize(start + T, kMissingValue);
    *s = clsSeries();
  }
  values.resize(block.ValueCount(), kMissingValue);
}

}  // namespace

// Each step reports its own error and the conversion goes on with the next; a step whose
// inputs an earlier failure left unset does not run, and without a block WriteAll is not called.
bool ConvertXml2Kel(const std::string& inputFile, const std::string& outputFile) {
  const bool apart = RunStep(kProcedure, [&] {
    RunFiles files;
    files.AddQXInput(inputFile);
    files.writes = {{outputFile, "output"}};
    CheckRunFiles(files);
  });
  if (!apart) return false;
  std::shared_ptr<SeriesCollection> series = std::make_shared<SeriesCollection>();
  RunStep(kProcedure, [&] {
    QXReadResult read = ReadQXFile(inputFile);
    series = read.series;
    if (read.error) throw *read.error;
  });

  std::optional<std::vector<double>> times;
  std::string noEvents;  // why there are no times; the records are emptied as they are placed
  RunStep(kProcedure, [&] {
    if (series->Count() == 0) throw DetailedError(kErrSubscript, "no series in " + inputFile);
    const clsSeries& first = *series->Item(1);
    if (first.lValCounter() <= 0) noEvents = NoEventsText(inputFile, first);
    std::vector<double> t(static_cast<std::size_t>(std::max(first.lValCounter(), 0)));
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = first.dtEventDate(static_cast<int32_t>(i + 1));
    times = std::move(t);
  });

  IdIndex locations, parameters;
  const bool indexed = RunStep(kProcedure, [&] {
    for (const auto& s : *series) {
      locations.Add(s->sLocationID);
      parameters.Add(s->sParameterID);
    }
  });

  std::optional<SeriesBlock> block;
  std::vector<std::string> stationNames;
  if (times && indexed) {
    RunStep(kProcedure, [&] {
      SeriesBlock sized;
      sized.lLocationCount = locations.Count();
      sized.lParameterCount = parameters.Count();
      sized.lTimeCount = static_cast<int32_t>(times->size());
      sized.sLocationIDs.resize(static_cast<std::size_t>(locations.Count()));
      sized.sParameterIDs.resize(static_cast<std::size_t>(parameters.Count()));
      sized.dtTimes = std::move(*times);
      // Room only: the values come in as the series are placed.
      ReserveLargeBuffer(sized.sngValues, sized.ValueCount());
      stationNames.resize(static_cast<std::size_t>(locations.Count()));
      block = std::move(sized);
    });
  }

  if (block) {
    RunStep(kProcedure, [&] { PlaceValues(*series, locations, parameters, *block, stationNames); });
  }

  const std::array<std::string, 3> titles = {
      inputFile, kQXNamespace, "Converted by " + ExecutableName() + ", version " + VersionText()};

  if (!block) return false;
  bool written = false;
  RunStep(kProcedure, [&] {
    if (block->lTimeCount == 0) throw DetailedError(kErrSubscript, noEvents);
    const double startTime = block->Time(1);
    const double endTime = block->Time(block->lTimeCount);
    if (PlanMode) {
      AddPlanNames("location", block->sLocationIDs);
      AddPlanNames("parameter", block->sParameterIDs);
      AddPlanLine(PlanTimesLine("times", block->dtTimes));
      const int64_t series = int64_t{block->lLocationCount} * block->lParameterCount;
      AddPlanLine("output: " + outputFile + ", " + IntegerText(series) + " series, " +
                  (IsKelMapFile(outputFile) ? "Kel map file (locations by number)" : "Kel history file"));
      written = true;
      return;
    }
    const std::unique_ptr<KelFileAccess> kel = CreateKelFileAccess();
    kel->OpenFiles(outputFile, outputFile, true, true);
    if (kel->WriteAll(block->sngValues, block->lLocationCount, block->lParameterCount, block->lTimeCount, outputFile,
                      block->sLocationIDs, block->sParameterIDs, block->dtTimes, titles, startTime, endTime,
                      stationNames, {}) != 0) {
      ReportMessage("Could not write the data to the kelfile.", kStyleCritical, "Error:", kLevelError);
      return;
    }
    written = true;
  });
  return written;
}

}  // namespace tidemill
