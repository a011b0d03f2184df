#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Numbers.h"
#include "common/Parallel.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "config/NoCaseMap.h"
#include "config/ProfileString.h"
#include "converters/ConversionTable.h"
#include "converters/Converters.h"
#include "converters/PlannedFile.h"
#include "converters/RunFiles.h"
#include "converters/RunSimpFile.h"
#include "converters/TenDaySteps.h"
#include "converters/TmsFormat.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "timeseries/QXContentHandler.h"
#include "timeseries/SeriesBlock.h"

namespace tidemill {

namespace {

constexpr const char* kProcedure = "ConvertXml2Tms";
const std::string kLocationsSection = "Locations tms";
const std::string kFilesSection = "Parameters - tmsFiles";
const std::string kUnitsSection = "Parameters - tmsUnits";
const std::string kFileSystemSection = "Ostrand File System";
const std::string kRunSimpKey = "RunSimpFile";

// Data records reach the file in pieces of about this size.
constexpr std::size_t kPiece = 128 << 10;

// The values of one location and parameter on the time axis. They are read from the series
// that filled the pair, without a copy; only when a later series fills the same pair are the
// values merged into storage of their own, the later series over the earlier.
class Cell {
 public:
  // Takes positions 1..n of the series as they stand, or as many as it has room for: error 9
  // when that is fewer than n (the positions beyond stay missing).
  void Fill(const clsSeries& series, int32_t n, int32_t seriesNumber) {
    const int32_t count = std::min(n, series.Capacity());
    if (series_ == nullptr && !merged_) {
      series_ = &series;
      count_ = count;
    } else {
      if (!merged_) {
        values_.assign(static_cast<std::size_t>(n), kMissingValue);
        for (int32_t i = 1; i <= count_; ++i) values_[i - 1] = series_->sngValues(i);
        merged_ = true;
        series_ = nullptr;
      }
      for (int32_t i = 1; i <= count; ++i) values_[i - 1] = series.sngValues(i);
    }
    if (count < n) {
      throw DetailedError(kErrSubscript, "series " + IntegerText(seriesNumber) + " has room for " +
                                             IntegerText(series.Capacity()) + " values; the time axis has " +
                                             IntegerText(n));
    }
  }

  // The value at time index i (from 1), missing where no series reached.
  float Value(int32_t i) const {
    if (merged_) return values_[i - 1];
    return i <= count_ ? series_->sngValues(i) : kMissingValue;
  }

 private:
  const clsSeries* series_ = nullptr;
  int32_t count_ = 0;
  bool merged_ = false;
  std::vector<float> values_;
};

struct ParameterEntry {
  std::string id;
  std::string units;  // of the last series read for the parameter
};

// IDs numbered from 1 in order of first appearance, without regard to case.
class Numbering {
 public:
  void Add(const std::string& id) { numbers_.try_emplace(id, static_cast<int32_t>(numbers_.size()) + 1); }
  int32_t Of(const std::string& id) const { return numbers_.at(id); }
  int32_t Count() const { return static_cast<int32_t>(numbers_.size()); }

 private:
  NoCaseMap<int32_t> numbers_;
};

// What the TMS files are made of.
struct TmsContent {
  std::string inputFile;
  std::string table;
  std::vector<double> axis;  // the event dates of the first series
  std::string noEvents;      // why the axis is empty
  std::vector<TmsStation> stations;
  std::vector<ParameterEntry> parameters;
  std::unordered_map<uint64_t, Cell> cells;  // by CellKey

  static uint64_t CellKey(int32_t location, int32_t parameter) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(location)) << 32) | static_cast<uint32_t>(parameter);
  }
};

// The unit index of parameter p, by the unit text of its last series.
int32_t UnitIndex(const TmsContent& content, int32_t p, TableLookups& table) {
  return table.ReadInteger(kUnitsSection, content.parameters[static_cast<std::size_t>(p - 1)].units, 1);
}

// Where one series goes, for the plan.
struct SeriesPlace {
  int32_t number = 0;  // in the input, from 1
  std::string location, parameter;
  int32_t p = 0;
  TableEntry station;
  int32_t column = 0;  // its entry in the station list, from 1; 0 without a station
};

// "series <number>: <location> <parameter> -> <file> column <c> (station <index>, <name>, unit index
// <u>)", or "-> nowhere: <why>".
std::string SeriesPlanLine(const SeriesPlace& place, const TableEntry& file, int32_t unitIndex) {
  std::string line = "series " + IntegerText(place.number) + ": " + place.location + " " + place.parameter + " -> ";
  const std::string column = "column " + IntegerText(place.column) + " (station " + place.station.value + ", " +
                             place.location;
  if (place.column != 0 && !file.value.empty()) {
    return line + file.value + " " + column + ", unit index " + IntegerText(unitIndex) + ")";
  }
  line += "nowhere: ";
  if (place.column == 0) line += place.station.whyEmpty;
  if (place.column == 0 && file.value.empty()) line += "; ";
  if (file.value.empty()) line += file.whyEmpty;
  if (place.column != 0) line += "; it adds " + column + ") to every TMS file";
  return line;
}

// "tms file: <path>, parameter <ID>, unit index <u>, stations <n>", and the columns that no
// series of the parameter fills (all -999.99).
std::string TmsFilePlanLine(const std::string& path, const TmsContent& content, int32_t parameter, int32_t unitIndex) {
  const std::string& id = content.parameters[static_cast<std::size_t>(parameter - 1)].id;
  std::string line = "tms file: " + path + ", parameter " + id + ", unit index " + IntegerText(unitIndex) +
                     ", stations " + IntegerText(static_cast<int64_t>(content.stations.size()));
  std::string empty;
  int32_t emptyCount = 0;
  for (std::size_t c = 0; c < content.stations.size(); ++c) {
    if (content.cells.contains(TmsContent::CellKey(content.stations[c].LocationNumber, parameter))) continue;
    empty += ' ';
    empty += IntegerText(static_cast<int64_t>(c + 1));
    ++emptyCount;
  }
  if (emptyCount > 0) {
    line += emptyCount == 1 ? ", no data in column" : ", no data in columns";
    line += empty;
  }
  return line;
}

// The lines of times from to to - 1 of the axis, in each the parameter's values of the
// stations' locations. A date that has no step is reported and keeps the fields of the line
// before it (fields).
void FormatRows(const TmsContent& content, std::span<const Cell* const> columns, std::size_t from, std::size_t to,
                TenDayStep& fields, std::string& out) {
  std::vector<float> row(columns.size());
  for (std::size_t t = from; t < to; ++t) {
    GetYearDecadeAndDay(content.axis[t], fields.year, fields.decade, fields.day);
    const auto i = static_cast<int32_t>(t + 1);
    for (std::size_t c = 0; c < columns.size(); ++c) row[c] = columns[c] != nullptr ? columns[c]->Value(i) : kMissingValue;
    WriteTmsDataRecord(out, fields.year, fields.decade, fields.day, row);
  }
}

// The data records, in pieces of about kPiece bytes. When every date has a step, no line
// depends on the one before it: the pieces are then made on all cores, a batch at a time, and
// written in order.
void WriteDataRecords(PlannedFile& out, const TmsContent& content, int32_t parameter) {
  std::vector<const Cell*> columns;
  for (const TmsStation& station : content.stations) {
    const auto cell = content.cells.find(TmsContent::CellKey(station.LocationNumber, parameter));
    columns.push_back(cell == content.cells.end() ? nullptr : &cell->second);
  }
  const std::size_t rows = content.axis.size();
  const std::size_t rowsPerPiece = std::max<std::size_t>(1, kPiece / (16 + 10 * columns.size()));
  const std::size_t pieces = (rows + rowsPerPiece - 1) / rowsPerPiece;
  const unsigned threads =
      pieces > 1 && std::all_of(content.axis.begin(), content.axis.end(), HasTenDayStep) ? ThreadCount : 1;
  WorkerPool workers(threads);
  std::vector<std::string> batch(std::min<std::size_t>(pieces, 8 * std::size_t{workers.Threads()}));
  TenDayStep carried;  // the fields of the last line, from one piece to the next on one thread
  for (std::size_t first = 0; first < pieces; first += batch.size()) {
    const std::size_t count = std::min(batch.size(), pieces - first);
    workers.For(count, [&](std::size_t b) {
      TenDayStep own;
      const std::size_t from = (first + b) * rowsPerPiece;
      batch[b].clear();
      FormatRows(content, columns, from, std::min(rows, from + rowsPerPiece), threads > 1 ? own : carried, batch[b]);
    });
    for (std::size_t b = 0; b < count; ++b) out.Write(batch[b]);
  }
}

// Writes the TMS file of one parameter, each step reported on its own; a step that fails ends
// the file (its target stays as it was) without reports from the steps after it.
void WriteTmsFile(const std::string& path, const TmsContent& content, int32_t parameter, TableLookups& table) {
  std::optional<PlannedFile> out;
  RunStep(kProcedure, [&] { out.emplace(path); });
  const ParameterEntry& entry = content.parameters[static_cast<std::size_t>(parameter - 1)];
  const int32_t unitIndex = UnitIndex(content, parameter, table);
  const auto step = [&](auto&& body) {
    if (out && !RunStep(kProcedure, [&] { body(*out); })) out.reset();
  };
  step([&](PlannedFile& file) {
    std::string head;
    WriteTmsHeader(head, entry.id);
    WriteTmsStationRecords(head, static_cast<int32_t>(content.stations.size()), content.stations, unitIndex);
    file.Write(head);
  });
  step([&](PlannedFile& file) { WriteDataRecords(file, content, parameter); });
  step([&](PlannedFile& file) {
    file.Commit();
    if (PlanMode) AddPlanLine(TmsFilePlanLine(path, content, parameter, unitIndex));
  });
}

// Has the run-simulation file named in the table take the period of the time axis.
void UpdateRunSimpFile(const TmsContent& content, const TableEntry& path) {
  if (path.value.empty()) {
    if (PlanMode) AddPlanLine("run-simulation file: left alone: " + path.whyEmpty);
    return;
  }
  if (content.axis.empty()) {
    throw DetailedError(kErrSubscript, "no period for " + path.value + ": " + content.noEvents);
  }
  WriteRunSimpFile(path.value, content.axis.front(), content.axis.back());
}

}  // namespace

bool ConvertXml2Tms(const std::string& inputFile, const std::string& conversionTable) {
  if (!RequiredConversionTableExists(conversionTable, kProcedure)) return false;
  TmsContent content;
  content.inputFile = inputFile;
  content.table = conversionTable;
  RunStep(kProcedure, [&] { content.table = ResolveRelativePath(conversionTable); });
  TableLookups table(content.table);

  // The series read before a failed parse are converted all the same.
  auto collection = std::make_shared<SeriesCollection>();
  RunStep(kProcedure, [&] {
    QXReadResult read = ReadQXFile(inputFile);
    if (read.series) collection = std::move(read.series);
    if (read.error) throw *read.error;
  });

  RunStep(kProcedure, [&] {
    if (collection->Count() == 0) throw DetailedError(kErrSubscript, inputFile + " holds no series");
    const clsSeries& first = *collection->Item(1);
    if (first.lValCounter() == 0) {
      content.noEvents = NoEventsText(inputFile, first);
      throw DetailedError(kErrSubscript, content.noEvents);
    }
    content.axis.resize(static_cast<std::size_t>(first.lValCounter()));
    for (int32_t i = 1; i <= first.lValCounter(); ++i) content.axis[i - 1] = first.dtEventDate(i);
  });
  const auto n = static_cast<int32_t>(content.axis.size());
  if (PlanMode) AddPlanLine(PlanTimesLine("time axis (series 1)", content.axis));

  Numbering locations, parameters;
  RunStep(kProcedure, [&] {
    for (const auto& series : *collection) {
      locations.Add(series->sLocationID);
      parameters.Add(series->sParameterID);
    }
    content.parameters.resize(static_cast<std::size_t>(parameters.Count()));
  });

  int32_t seriesNumber = 0;
  std::vector<SeriesPlace> places;
  for (const auto& series : *collection) {
    ++seriesNumber;
    RunStep(kProcedure, [&] {
      const int32_t l = locations.Of(series->sLocationID);
      const int32_t p = parameters.Of(series->sParameterID);
      TableEntry index = table.Read(kLocationsSection, series->sLocationID);
      if (!index.value.empty()) content.stations.push_back({index.value, series->sLocationID, l});
      if (PlanMode) {
        const auto column = static_cast<int32_t>(index.value.empty() ? 0 : content.stations.size());
        places.push_back({seriesNumber, series->sLocationID, series->sParameterID, p, std::move(index), column});
      }
      content.parameters[static_cast<std::size_t>(p - 1)] = {series->sParameterID, series->sUnits};
      content.cells[TmsContent::CellKey(l, p)].Fill(*series, n, seriesNumber);
    });
  }

  // The TMS file of each parameter, by its ID.
  std::vector<TableEntry> files;
  for (const ParameterEntry& parameter : content.parameters) {
    files.push_back(table.Read(kFilesSection, parameter.id));
  }
  for (const SeriesPlace& place : places) {
    const TableEntry& file = files[static_cast<std::size_t>(place.p - 1)];
    AddPlanLine(SeriesPlanLine(place, file, file.value.empty() ? 0 : UnitIndex(content, place.p, table)));
  }
  if (PlanMode) table.AddUnusedPlanLines();

  if (content.stations.empty()) {
    ReportMessage("No valid tms locations found.", kStyleCritical, "Error:", kLevelError);
    return false;
  }
  // The run-simulation file follows the first parameter's TMS file.
  const TableEntry runSimp = files.front().value.empty() ? TableEntry{} : table.Read(kFileSystemSection, kRunSimpKey);
  const bool apart = RunStep(kProcedure, [&] {
    RunFiles written;
    written.AddQXInput(inputFile);
    written.reads.push_back({content.table, "conversion table"});
    for (const TableEntry& file : files) {
      if (!file.value.empty()) written.writes.push_back({file.value, "TMS file"});
    }
    if (!runSimp.value.empty()) written.rewrites.push_back({runSimp.value, "run-simulation file"});
    CheckRunFiles(written);
  });
  if (!apart) return false;

  for (int32_t p = 1; p <= static_cast<int32_t>(content.parameters.size()); ++p) {
    const TableEntry& file = files[static_cast<std::size_t>(p - 1)];
    if (file.value.empty()) {
      if (p == 1 && PlanMode) {
        AddPlanLine("run-simulation file: left alone: the first parameter, " + content.parameters[0].id +
                    ", has no TMS file: " + file.whyEmpty);
      }
      continue;
    }
    WriteTmsFile(file.value, content, p, table);
    if (p == 1) RunStep(kProcedure, [&] { UpdateRunSimpFile(content, runSimp); });
  }
  return true;
}

}  // namespace tidemill
