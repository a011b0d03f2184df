#include "converters/QXOutput.h"

#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "timeseries/QXWriter.h"

namespace tidemill {

bool WriteQXReportingFailure(const std::string& outputFile, const SeriesBlock& block) {
  bool writeBinary = !DebugMode;
  std::string errorMessage;
  if (clsOrvaQXTimeSeries().Write_QX_XML_File(outputFile, block, kSeriesTypeInstantaneous, writeBinary, nullptr,
                                              errorMessage)) {
    return true;
  }
  // Without its reason a full disk, a missing directory and a refused name would all read alike.
  ReportMessage(errorMessage, kStyleCritical, "Error:", kLevelError);
  return false;
}

}  // namespace tidemill
