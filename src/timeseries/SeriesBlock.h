// A block of time series: one series for every pair of a list of locations and a list of
// parameters, all over one common list of times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tidemill {

// The missing value, declared in every written series header and put where a block has no data.
inline constexpr float kMissingValue = -999.99f;

// Counts and arrays are kept apart, as the converters fill them; the writer checks that the
// arrays hold every index the counts name (CheckShape). All accessors count from 1.
struct SeriesBlock {
  SeriesBlock() = default;
  // A block of the given counts: empty IDs, times 0, every value missing.
  SeriesBlock(int32_t locations, int32_t parameters, int32_t times);

  int32_t lLocationCount = 0;   // L
  int32_t lParameterCount = 0;  // P
  int32_t lTimeCount = 0;       // T
  std::vector<std::string> sLocationIDs;   // location l at l - 1
  std::vector<std::string> sParameterIDs;  // parameter p at p - 1
  std::vector<double> dtTimes;             // day counts, time t at t - 1, ascending
  // Value (l, p, t) at ((l - 1) * P + (p - 1)) * T + (t - 1): time runs fastest, so one series
  // is one contiguous run and the series follow location by location, parameter by parameter.
  std::vector<float> sngValues;

  // Location ID l; error 9 outside 1..L or the array.
  std::string& LocationID(int32_t l) { return sLocationIDs[Index(l, lLocationCount, sLocationIDs.size(), "location")]; }
  const std::string& LocationID(int32_t l) const {
    return sLocationIDs[Index(l, lLocationCount, sLocationIDs.size(), "location")];
  }
  // Parameter ID p; error 9 outside 1..P or the array.
  std::string& ParameterID(int32_t p) {
    return sParameterIDs[Index(p, lParameterCount, sParameterIDs.size(), "parameter")];
  }
  const std::string& ParameterID(int32_t p) const {
    return sParameterIDs[Index(p, lParameterCount, sParameterIDs.size(), "parameter")];
  }
  // Time t as a day count; error 9 outside 1..T or the array.
  double& Time(int32_t t) { return dtTimes[Index(t, lTimeCount, dtTimes.size(), "time")]; }
  double Time(int32_t t) const { return dtTimes[Index(t, lTimeCount, dtTimes.size(), "time")]; }
  // Value of location l, parameter p at time t; error 9 outside the counts or the array.
  float& Value(int32_t l, int32_t p, int32_t t) { return sngValues[SeriesStart(l, p) + TimeOffset(t)]; }
  float Value(int32_t l, int32_t p, int32_t t) const { return sngValues[SeriesStart(l, p) + TimeOffset(t)]; }
  // The T values of series (l, p) in time order; error 9 as for Value.
  std::span<float> Series(int32_t l, int32_t p) { return {sngValues.data() + SeriesStart(l, p), TimeCount()}; }
  std::span<const float> Series(int32_t l, int32_t p) const {
    return {sngValues.data() + SeriesStart(l, p), TimeCount()};
  }

  // L × P × T, the number of values the counts call for; error 9 for a negative count, error 6
  // when the product does not fit in memory's address range.
  std::size_t ValueCount() const;
  // Raises error 9 when a count is negative or an array lacks an index that its count names.
  void CheckShape() const;

 private:
  std::size_t TimeCount() const { return lTimeCount > 0 ? static_cast<std::size_t>(lTimeCount) : 0; }
  static std::size_t Index(int32_t index, int32_t count, std::size_t size, const char* what) {
    if (index < 1 || index > count || static_cast<std::size_t>(index) > size) OutOfRange(index, count, size, what);
    return static_cast<std::size_t>(index - 1);
  }
  std::size_t TimeOffset(int32_t t) const {
    if (t < 1 || t > lTimeCount) OutOfRange(t, lTimeCount, TimeCount(), "time");
    return static_cast<std::size_t>(t - 1);
  }
  // Offset of value (l, p, 1); checks that the whole run lies in the value array.
  std::size_t SeriesStart(int32_t l, int32_t p) const;
  [[noreturn]] static void OutOfRange(int32_t index, int32_t count, std::size_t size, const char* what);
};

}  // namespace tidemill
