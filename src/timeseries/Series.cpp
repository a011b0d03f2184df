#include "timeseries/Series.h"

#include <algorithm>
#include <limits>

#include "common/Error.h"
#include "common/Numbers.h"
#include "common/Text.h"

namespace tidemill {

namespace {

// Day counts of the years 100 and 9999: the range a flag can be read back as a date-time.
constexpr int32_t kFirstDay = -657434;
constexpr int32_t kLastDay = 2958465;

std::string OverflowText(std::string_view detail) {
  return std::string(StandardDescription(kErrOverflow)) + ": " + std::string(detail);
}

}  // namespace

std::size_t clsSeries::Slot(int32_t index) const {
  if (index < 1 || index > capacity_) {
    throw Error(kErrSubscript, std::string(StandardDescription(kErrSubscript)) + ": event index " +
                                   IntegerText(index) + " outside 1 to " + IntegerText(capacity_));
  }
  return static_cast<std::size_t>(index) - 1;
}

void clsSeries::Extend(std::size_t slot) {
  if (slot >= values_.capacity()) {
    // Doubling keeps one-at-a-time appends linear. It must not stop at the capacity callers
    // see, which grows by only 10000 at a time.
    const std::size_t room = std::max<std::size_t>({slot + 1, values_.capacity() * 2, 16});
    values_.reserve(room);
    instants_.reserve(room);
    flags_.reserve(room);
  }
  // Only the entries up to the one written are made; appending makes one at a time.
  if (slot == values_.size()) {
    values_.push_back(0);
    instants_.push_back(0);
    flags_.push_back(0);
  } else {
    values_.resize(slot + 1);
    instants_.resize(slot + 1);
    flags_.resize(slot + 1);
  }
}

void clsSeries::ReserveStorage(int32_t count) {
  if (count <= 0) return;
  const auto room = static_cast<std::size_t>(count);
  values_.reserve(room);
  instants_.reserve(room);
  flags_.reserve(room);
}

float clsSeries::sngValues(int32_t Index) const {
  const std::size_t slot = Slot(Index);
  return slot < values_.size() ? values_[slot] : 0.0f;
}

void clsSeries::sngValues(int32_t Index, float vNewValue) {
  const std::size_t slot = Slot(Index);
  Materialise(slot);
  values_[slot] = vNewValue;
}

double clsSeries::dtEventDate(int32_t Index) const {
  const std::size_t slot = Slot(Index);
  return slot < instants_.size() ? instants_[slot] : 0.0;
}

void clsSeries::dtEventDate(int32_t Index, double vNewValue) {
  const std::size_t slot = Slot(Index);
  Materialise(slot);
  instants_[slot] = vNewValue;
}

double clsSeries::lFlag(int32_t Index) const {
  const std::size_t slot = Slot(Index);
  const int32_t flag = slot < flags_.size() ? flags_[slot] : 0;
  if (flag < kFirstDay || flag > kLastDay) {
    throw Error(kErrOverflow, OverflowText("flag " + IntegerText(flag) + " of event " + IntegerText(Index) +
                                           " lies outside the date range"));
  }
  return flag;
}

void clsSeries::lFlag(int32_t Index, double vNewValue) {
  const std::size_t slot = Slot(Index);
  const int32_t flag = RoundHalfEven32(vNewValue);
  Materialise(slot);
  flags_[slot] = flag;
}

void clsSeries::lValCounter(int32_t vNewValue) {
  if (vNewValue > capacity_) {
    constexpr int32_t kLargest = std::numeric_limits<int32_t>::max() / kCapacityStep * kCapacityStep;
    if (vNewValue > kLargest) {
      throw Error(kErrOverflow, OverflowText("a series cannot hold " + IntegerText(vNewValue) + " events"));
    }
    // Whole steps of 10000, as many as it takes.
    capacity_ = static_cast<int32_t>((int64_t{vNewValue} + kCapacityStep - 1) / kCapacityStep * kCapacityStep);
  }
  count_ = vNewValue;
}

int32_t clsSeries::Timestep() const {
  int64_t factor = 1;
  const std::string unit = LowerAscii(sTimeStepUnit);
  if (unit == "nonequidistant") {
    factor = 0;
  } else if (unit == "day") {
    factor = 86400;
  } else if (unit == "hour") {
    factor = 3600;
  } else if (unit == "minute") {
    factor = 60;
  }
  const int64_t step = lTimeStepMultiplier * factor;
  if (step < std::numeric_limits<int32_t>::min() || step > std::numeric_limits<int32_t>::max()) {
    throw Error(kErrOverflow, OverflowText("time step of " + IntegerText(lTimeStepMultiplier) + " " + sTimeStepUnit +
                                           " does not fit in 32 bits as seconds"));
  }
  return static_cast<int32_t>(step);
}

}  // namespace tidemill
