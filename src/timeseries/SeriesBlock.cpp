#include "timeseries/SeriesBlock.h"

#include <limits>

#include "common/Error.h"
#include "common/Numbers.h"

namespace tidemill {

namespace {

void CheckCount(int32_t count, const char* what) {
  if (count < 0) throw DetailedError(kErrSubscript, (std::string(what) + " count " + IntegerText(count)));
}

void CheckArray(std::size_t size, int32_t count, const char* what) {
  if (size < static_cast<std::size_t>(count)) {
    throw DetailedError(kErrSubscript, ("the block holds " + IntegerText(static_cast<int64_t>(size)) + " " +
                                              what + " for a count of " + IntegerText(count)));
  }
}

}  // namespace

SeriesBlock::SeriesBlock(int32_t locations, int32_t parameters, int32_t times)
    : lLocationCount(locations), lParameterCount(parameters), lTimeCount(times) {
  const std::size_t values = ValueCount();
  sLocationIDs.resize(static_cast<std::size_t>(locations));
  sParameterIDs.resize(static_cast<std::size_t>(parameters));
  dtTimes.resize(static_cast<std::size_t>(times));
  sngValues.assign(values, kMissingValue);
}

std::size_t SeriesBlock::ValueCount() const {
  CheckCount(lLocationCount, "location");
  CheckCount(lParameterCount, "parameter");
  CheckCount(lTimeCount, "time");
  std::size_t product = 1;
  for (const int32_t count : {lLocationCount, lParameterCount, lTimeCount}) {
    const auto c = static_cast<std::size_t>(count);
    if (c != 0 && product > std::numeric_limits<std::size_t>::max() / c) throw Error(kErrOverflow);
    product *= c;
  }
  return product;
}

void SeriesBlock::CheckShape() const {
  const std::size_t values = ValueCount();
  CheckArray(sLocationIDs.size(), lLocationCount, "location IDs");
  CheckArray(sParameterIDs.size(), lParameterCount, "parameter IDs");
  CheckArray(dtTimes.size(), lTimeCount, "times");
  if (sngValues.size() < values) {
    throw DetailedError(kErrSubscript,
                ("the block holds " + IntegerText(static_cast<int64_t>(sngValues.size())) +
                               " values for " + IntegerText(lLocationCount) + " x " + IntegerText(lParameterCount) +
                               " x " + IntegerText(lTimeCount)));
  }
}

std::size_t SeriesBlock::SeriesStart(int32_t l, int32_t p) const {
  if (l < 1 || l > lLocationCount) OutOfRange(l, lLocationCount, sLocationIDs.size(), "location");
  if (p < 1 || p > lParameterCount) OutOfRange(p, lParameterCount, sParameterIDs.size(), "parameter");
  const std::size_t times = TimeCount();
  // Wide enough that counts inconsistent with the arrays cannot wrap around.
  using Wide = unsigned __int128;
  const Wide start = (Wide(l - 1) * Wide(lParameterCount) + Wide(p - 1)) * times;
  if (start + times > sngValues.size()) {
    throw DetailedError(kErrSubscript, ("series of location " + IntegerText(l) + ", parameter " + IntegerText(p) +
                                              " beyond the block's " +
                                              IntegerText(static_cast<int64_t>(sngValues.size())) + " values"));
  }
  return static_cast<std::size_t>(start);
}

void SeriesBlock::OutOfRange(int32_t index, int32_t count, std::size_t size, const char* what) {
  std::string detail = std::string(what) + " " + IntegerText(index);
  if (index >= 1 && index <= count) {
    detail += " beyond the block's " + IntegerText(static_cast<int64_t>(size)) + " entries";
  } else {
    detail += " outside 1 to " + IntegerText(count);
  }
  throw DetailedError(kErrSubscript, (detail));
}

}  // namespace tidemill
