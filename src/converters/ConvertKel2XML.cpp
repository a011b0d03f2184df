#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "common/Error.h"
#include "common/Numbers.h"
#include "common/Paths.h"
#include "common/Text.h"
#include "config/ReadIniSection.h"
#include "converters/ConversionTable.h"
#include "converters/Converters.h"
#include "converters/QXOutput.h"
#include "converters/RunFiles.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "external/KelFileAccess.h"

namespace tidemill {

namespace {

constexpr const char* kProcedure = "ConvertKel2XML";
constexpr const char* kCouldNotRead = "Could not read the data from the kelfile.";

void ReportError(const std::string& message) { ReportMessage(message, kStyleCritical, "Error:", kLevelError); }

// One section of the table: the model names and the QX-XML IDs of its entries.
struct Entries {
  std::vector<std::string> modelNames;
  std::vector<std::string> xmlIDs;
};

// Reads the entries of section ("Locations", "NumberOfLocations", "Location"); false after
// reporting a count of 0. Entries are read one by one up to the first missing model name, which
// is an error naming the key: a count far beyond the entries is refused before anything is
// allocated for it.
bool ReadEntries(const std::string& table, const char* section, const char* countKey, const char* what,
                 Entries& entries) {
  clsReadIniSection reader;
  reader.File(table);
  reader.Section(section);
  reader.ReadSection();
  const int32_t count = RoundHalfEven32(LeadingNumber(reader.GetKey(countKey, "0")));
  if (count == 0) {
    ReportError("No " + LowerAscii(section) + " defined in ConversionTable file: " + table);
    return false;
  }
  // No value read from a table holds a line end, so this default tells a missing key.
  constexpr const char* kMissing = "\n";
  for (int32_t i = 1; i <= count; ++i) {
    const std::string number = IntegerText(i);
    const std::string modelKey = number + " Kel" + what;
    std::string modelName = reader.GetKey(modelKey, kMissing);
    if (modelName == kMissing) {
      throw DetailedError(kErrSubscript, "key \"" + modelKey + "\" missing from section \"" + section + "\" of " +
                                             table + ", which gives " + countKey + "=" + IntegerText(count));
    }
    std::string xmlID = reader.GetKey(number + " XML" + what, modelName);
    if (DebugMode) {
      ReportMessage("Converting " + LowerAscii(what) + " " + number + ": " + modelName + " to " + xmlID,
                    kStyleInformation, "Info:", kLevelDetail);
    }
    entries.modelNames.push_back(std::move(modelName));
    entries.xmlIDs.push_back(std::move(xmlID));
  }
  return true;
}

// The plan's lines of the table's entries, "location <i>: <Kel name> -> <QX-XML ID>", each
// marked when the file lacks it (names compared as the reader compares them). The file's names
// come from reading it whole; when that fails, no entry is marked.
void PlanEntries(KelFileAccess& kel, const std::string& inputFile, const Entries& locations,
                 const Entries& parameters) {
  SeriesBlock file;
  // A file that cannot be read is reported by the conversion's own read, just after.
  bool known = false;
  try {
    known = kel.ReadAll(file.sngValues, file.lLocationCount, file.lParameterCount, file.lTimeCount, inputFile,
                        file.sLocationIDs, file.sParameterIDs, file.dtTimes) == 0;
  } catch (...) {
  }
  for (const auto& [what, entries, names] : {std::tuple{"location ", &locations, &file.sLocationIDs},
                                             {"parameter ", &parameters, &file.sParameterIDs}}) {
    for (std::size_t i = 0; i < entries->modelNames.size(); ++i) {
      const std::string& name = entries->modelNames[i];
      const bool held =
          !known || std::any_of(names->begin(), names->end(), [&](const std::string& n) { return EqualsNoCase(n, name); });
      AddPlanLine(what + IntegerText(static_cast<int64_t>(i + 1)) + ": " + name + " -> " + entries->xmlIDs[i] +
                  (held ? "" : ", not in the file"));
    }
  }
}

}  // namespace

bool ConvertKel2XML(const std::string& inputFile, const std::string& outputFile, const std::string& conversionTable) {
  return RunReportingErrors(kProcedure, [&] {
    RunFiles files;
    files.reads = {{inputFile, "input"}, {conversionTable, "conversion table"}};
    files.AddQXOutput(outputFile);
    CheckRunFiles(files);
    const std::unique_ptr<KelFileAccess> kel = CreateKelFileAccess();
    kel->OpenFiles(inputFile, inputFile, true, true);
    if (!kel->FileItem(1).Exists) return false;

    SeriesBlock block;
    if (conversionTable.empty()) {
      if (DebugMode) ReportMessage("Converting all locations", kStyleInformation, "Info:", kLevelDetail);
      if (kel->ReadAll(block.sngValues, block.lLocationCount, block.lParameterCount, block.lTimeCount, inputFile,
                       block.sLocationIDs, block.sParameterIDs, block.dtTimes) != 0) {
        ReportError(kCouldNotRead);
        return false;
      }
      if (PlanMode) {
        AddPlanNames("location", block.sLocationIDs);
        AddPlanNames("parameter", block.sParameterIDs);
      }
    } else {
      if (!ConversionTableExists(conversionTable)) return false;
      const std::string table = ResolveRelativePath(conversionTable);
      Entries locations, parameters;
      if (!ReadEntries(table, "Locations", "NumberOfLocations", "Location", locations)) return false;
      if (!ReadEntries(table, "Parameters", "NumberOfParameters", "Parameter", parameters)) return false;
      if (PlanMode) PlanEntries(*kel, inputFile, locations, parameters);
      if (kel->ReadSelected(block.sngValues, block.lLocationCount, block.lParameterCount, block.lTimeCount, inputFile,
                            locations.modelNames, parameters.modelNames, block.sLocationIDs, block.sParameterIDs,
                            block.dtTimes) != 0 ||
          block.lLocationCount == 0 || block.lParameterCount == 0 || block.lTimeCount == 0) {
        ReportError(kCouldNotRead);
        return false;
      }
      // Results are named by position: entry i of the table names location i of the block.
      block.sLocationIDs = std::move(locations.xmlIDs);
      block.sParameterIDs = std::move(parameters.xmlIDs);
    }

    return WriteQXReportingFailure(outputFile, block);
  });
}

}  // namespace tidemill
