// QX-XML files as text, for the tests that compare what a conversion wrote.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/DateTime.h"
#include "common/Numbers.h"
#include "timeseries/QXContentHandler.h"

namespace tidemill::testing {

// "location/parameter: instant=value ..." and a line end.
inline std::string SeriesText(const std::string& location, const std::string& parameter,
                              const std::vector<double>& times, const std::function<float(std::size_t)>& value) {
  std::string text = location + "/" + parameter + ":";
  for (std::size_t t = 0; t < times.size(); ++t) ((text += " ") += DateTimeText(times[t]) + "=") += NumberText(value(t));
  return text + "\n";
}

// Every series of a QX-XML file (side file included), or the error of reading it.
inline std::string DescribeQX(const std::string& qxFile) {
  const QXReadResult read = ReadQXFile(qxFile);
  if (read.error) return ErrorSummary(*read.error);
  std::string text;
  for (const auto& s : *read.series) {
    std::vector<double> times;
    for (int32_t i = 1; i <= s->lValCounter(); ++i) times.push_back(s->dtEventDate(i));
    text += SeriesText(s->sLocationID, s->sParameterID, times,
                       [&](std::size_t t) { return s->sngValues(static_cast<int32_t>(t + 1)); });
  }
  return text;
}

}  // namespace tidemill::testing
