#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "common/Numbers.h"
#include "common/Parallel.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "config/ProfileString.h"
#include "converters/ConversionTable.h"
#include "converters/Converters.h"
#include "converters/RunFiles.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "external/DataEditServer.h"
#include "timeseries/QXContentHandler.h"

namespace tidemill {

namespace {

constexpr const char* kProcedure = "ConvertXml2Bin";
constexpr const char* kFileSystemSection = "Ostrand File System";

void ReportError(const std::string& message) { ReportMessage(message, kStyleCritical, "Error:", kLevelError); }

// "<written> of <series> succesfully written.": the server's outcome, reported as an error
// whatever it says.
void ReportCount(int32_t written, int32_t series) {
  ReportError(IntegerText(written) + " of " + IntegerText(series) + " succesfully written.");
}

// One object of the request, all on one line with a blank after every value:
//   ID <object> <parameter> NROFVALUES <count> VALUES <v1> <v2> ... <vcount>
// count as plain digits, each value as its number text.
std::string ObjectCommand(std::string_view object, std::string_view parameter, const clsSeries& series) {
  const int32_t count = series.lValCounter();
  std::string command = "ID ";
  command.append(object).append(" ").append(parameter).append(" NROFVALUES ").append(IntegerText(count));
  command += " VALUES ";
  const std::size_t head = command.size();
  command.resize(head + static_cast<std::size_t>(count) * (kMaxNumberText + 1));
  char* out = command.data() + head;
  for (int32_t i = 1; i <= count; ++i) {
    out = AppendNumberText(series.sngValues(i), out);
    *out++ = ' ';
  }
  command.resize(static_cast<std::size_t>(out - command.data()));
  return command;
}

}  // namespace

bool ConvertXml2Bin(const std::string& inputFile, const std::string& conversionTable) {
  if (!RequiredConversionTableExists(conversionTable, kProcedure)) return false;
  std::string table = conversionTable;
  RunStep(kProcedure, [&] { table = ResolveRelativePath(table); });
  TableLookups lookups(table);

  std::string startUpDir, editNodeFile, programId;
  RunStep(kProcedure, [&] {
    editNodeFile = ReadIniString(kFileSystemSection, "EditNodeFnm", "editnode.fnm", table);
    programId = ReadIniString(kFileSystemSection, "DataEditObjectID", "", table);
    // Missing or empty: the current directory; blanks only stay and fail below.
    startUpDir = ReadIniString(kFileSystemSection, "StartUpDir", "", table);
    if (startUpDir.empty()) startUpDir = Fs().CurrentDirectory();
  });
  startUpDir = std::string(TrimBlanks(startUpDir));
  const std::string notFound = "EditNodeFnm file not found: " + editNodeFile;
  if (startUpDir.empty()) {
    ReportError(notFound + ": StartUpDir in [" + kFileSystemSection + "] of " + table + " is blank");
    return false;
  }
  const char separator = Separator(kHostPathStyle);
  if (startUpDir.back() == separator) startUpDir.pop_back();
  if (!FileExists(startUpDir + separator + editNodeFile)) {
    ReportError(notFound + ": looked for in " + (startUpDir.empty() ? std::string(1, separator) : startUpDir));
    return false;
  }
  const bool apart = RunStep(kProcedure, [&] {
    RunFiles files;
    files.AddQXInput(inputFile);
    files.reads.push_back({table, "conversion table"});
    files.rewrites = {{startUpDir + separator + editNodeFile, "edit-node file"}};
    CheckRunFiles(files);
  });
  if (!apart) return false;
  // Program identifiers are taken without surrounding blanks.
  programId = std::string(TrimBlanks(programId));
  if (programId.empty()) {
    ReportError("DataEditObjectID identification not defined.");
    return false;
  }
  if (PlanMode) {
    AddPlanLine("server: " + programId);
    AddPlanLine("start-up directory: " + startUpDir);
    AddPlanLine("edit-node file: " + editNodeFile);
  }

  // A failed parse leaves the series that ended before it; those are transferred.
  std::shared_ptr<SeriesCollection> collection;
  RunStep(kProcedure, [&] {
    QXReadResult read = ReadQXFile(inputFile);
    collection = std::move(read.series);
    if (read.error) throw *read.error;
  });
  const int32_t seriesCount = collection ? collection->Count() : 0;

  struct Sent {
    std::string object, parameter;
    const clsSeries* series;
  };
  std::vector<Sent> sent;
  std::vector<std::string> commands;
  int32_t qualified = 0;
  RunStep(kProcedure, [&] {
    if (!collection) return;
    int32_t number = 0;
    for (const auto& series : *collection) {
      const std::string planHead = PlanMode ? "series " + IntegerText(++number) + ": " + series->sLocationID + " " +
                                                  series->sParameterID + " -> "
                                            : std::string();
      const TableEntry parameter = lookups.Read("Parameters bin", std::string(TrimBlanks(series->sParameterID)));
      if (parameter.value.empty()) {
        ReportMessage("Parameter: " + series->sParameterID + " not defined in [Parameter bin]", kStyleExclamation,
                      "ConvertXML2Bin", kLevelError);
        if (PlanMode) AddPlanLine(planHead + "not sent: " + parameter.whyEmpty);
        continue;
      }
      ++qualified;
      TableEntry object = lookups.Read("Locations bin", series->sLocationID);
      const bool ownID = object.value.empty();
      if (ownID) object.value = series->sLocationID;
      sent.push_back({object.value, parameter.value, series.get()});
      if (PlanMode) {
        AddPlanLine(planHead + "object " + object.value + " " + parameter.value + ", " +
                    IntegerText(series->lValCounter()) + " values" +
                    (ownID ? " (" + object.whyEmpty + ": the location ID)" : ""));
      }
    }
  });
  if (PlanMode) lookups.AddUnusedPlanLines();
  // Made apart from the look-ups, so that the objects found before a failed look-up are sent.
  RunStep(kProcedure, [&] {
    commands.resize(sent.size());
    try {
      ParallelFor(sent.size(), ThreadCount, [&](std::size_t k) {
        commands[k] = ObjectCommand(sent[k].object, sent[k].parameter, *sent[k].series);
      });
    } catch (...) {
      // The objects made before the first one that failed are sent, as in order.
      commands.erase(std::find(commands.begin(), commands.end(), std::string()), commands.end());
      throw;
    }
  });
  // The request holds the values now: the records' memory goes back before the server's turn.
  sent.clear();
  collection.reset();
  const int32_t objectCount = static_cast<int32_t>(commands.size());
  if (objectCount == 0) {
    ReportError(qualified > 0 ? "No valid bin locations found." : "No valid objects to write.");
    return false;
  }
  SafeArray<std::string> objects;
  objects.ReDim(0, objectCount);
  for (int32_t k = 1; k <= objectCount; ++k) objects(k) = std::move(commands[k - 1]);
  commands.clear();

  std::string header = "SET_VALUES FILE \"" + editNodeFile + "\" STARTUPDIR \"" + startUpDir + "\"";
  SafeArray<int16_t> errorFlags;
  SafeArray<std::string> errorMessages;
  int16_t errorIndicator = 0;
  int32_t nrOfObjects = objectCount;
  RunStep(kProcedure, [&] {
    std::unique_ptr<DataEditServer> server = CreateDataEditServer(programId);
    // A server is never asked to store anything for a plan; that it can be created is checked.
    if (PlanMode) {
      AddPlanLine("request: " + programId + ", objects " + IntegerText(nrOfObjects));
      return;
    }
    server->RequestByClient(header, errorFlags, nrOfObjects, objects, errorMessages, errorIndicator);
  });

  if (errorIndicator != 0) {
    int32_t written = 0;
    RunStep(kProcedure, [&] {
      for (int32_t k = 1; k <= objectCount; ++k) {
        if (errorFlags(k) != 0) {
          ReportMessage(errorMessages(k), kStyleExclamation, "Error message", kLevelError);
        } else {
          ++written;
        }
      }
    });
    if (written == 0) {
      ReportError("Could not write the data to then bin file.");
      return false;
    }
    ReportCount(written, seriesCount);
    return true;
  }
  if (objectCount != seriesCount) ReportCount(objectCount, seriesCount);
  return true;
}

}  // namespace tidemill
