#include "timeseries/Series.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/Error.h"
#include "common/Memory.h"
#include "common/Numbers.h"
#include "common/Text.h"

namespace tidemill {

namespace {

// Day counts of the years 100 and 9999: the range a flag can be read back as a date-time.
constexpr int32_t kFirstDay = -657434;
constexpr int32_t kLastDay = 2958465;


}  // namespace

template <class T>
void clsSeries::Blocks<T>::Extend(std::size_t slot) {
  const std::size_t needed = (slot >> kBlockShift) + 1;
  while (blocks_.size() < needed) {
    // Not zeroed here: only the entries that come to exist are written, so the pages past
    // them are never touched and cost no memory.
    blocks_.push_back(std::unique_ptr<T[]>(new T[kBlockSize]));
  }
  for (; size_ < slot; ++size_) blocks_[size_ >> kBlockShift][size_ & kMask] = T{};
  T* const piece = &blocks_[slot >> kBlockShift][slot & kMask & ~kPieceMask];
  PrefaultPages(piece, (kPieceMask + 1) * sizeof(T));
}

template <class T>
T* clsSeries::Blocks<T>::Place(std::size_t slot, std::size_t length) {
  if (slot >= size_) Extend(slot);
  T* const run = &blocks_[slot >> kBlockShift][slot & kMask];
  PrefaultPages(run, length * sizeof(T));
  return run;
}

template class clsSeries::Blocks<float>;
template class clsSeries::Blocks<double>;
template class clsSeries::Blocks<int32_t>;

void clsSeries::ThrowOutOfRange(int32_t index) const {
  throw DetailedError(kErrSubscript, "event index " +
                                 IntegerText(index) + " outside 1 to " + IntegerText(capacity_));
}

double clsSeries::lFlag(int32_t Index) const {
  const int32_t flag = flags_.Get(Slot(Index));
  if (flag < kFirstDay || flag > kLastDay) {
    throw DetailedError(kErrOverflow, ("flag " + IntegerText(flag) + " of event " + IntegerText(Index) +
                                           " lies outside the date range"));
  }
  return flag;
}

void clsSeries::lFlag(int32_t Index, double vNewValue) {
  const std::size_t slot = Slot(Index);
  flags_.Set(slot, RoundHalfEven32(vNewValue));
}

void clsSeries::Grow(int32_t count) {
  constexpr int32_t kLargest = std::numeric_limits<int32_t>::max() / kCapacityStep * kCapacityStep;
  if (count > kLargest) throw DetailedError(kErrOverflow, "a series cannot hold " + IntegerText(count) + " events");
  // Whole steps of 10000, as many as it takes.
  capacity_ = static_cast<int32_t>((int64_t{count} + kCapacityStep - 1) / kCapacityStep * kCapacityStep);
}

void clsSeries::FillValues(int32_t count, const RunFill& fill) {
  if (count <= 0) return;
  Slot(count);
  const auto end = static_cast<std::size_t>(count);
  for (std::size_t slot = 0; slot < end;) {
    const std::size_t length = std::min(kBlockSize - (slot & (kBlockSize - 1)), end - slot);
    fill(static_cast<int32_t>(slot) + 1, values_.Place(slot, length), length);
    // Only a run written in full comes to exist.
    values_.Filled(slot + length);
    slot += length;
  }
}

void clsSeries::RegularInstants(int32_t count, double start, double step) {
  if (count > 0) Slot(count);
  // Instants beyond the new rule, kept by an earlier one, go into the storage first.
  if (regularCount_ > 0) StoreRegularInstants();
  secondsRule_ = false;
  regularCount_ = count > 0 ? static_cast<std::size_t>(count) : 0;
  regularStart_ = start;
  regularStep_ = step;
}

double clsSeries::SecondsInstant(int64_t seconds) {
  const int64_t day = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
  return static_cast<double>(day) + static_cast<double>(seconds - day * 86400) / 86400.0;
}

bool clsSeries::FollowsRule(std::size_t slot, double value) {
  if (slot < regularCount_) return RegularInstant(slot) == value;
  // Whole seconds of the value, when it is one: within about 27000 years of the epoch, so that
  // no step times an index leaves 64 bits unnoticed.
  const auto wholeSeconds = [](double v, int64_t& seconds) {
    if (!(v > -1e7 && v < 1e7)) return false;
    seconds = static_cast<int64_t>(std::llround(v * 86400.0));
    return SecondsInstant(seconds) == v;
  };
  int64_t seconds = 0;
  if (regularCount_ == 0) {
    if (!wholeSeconds(value, seconds)) return false;
    secondsRule_ = true;
    startSecond_ = seconds;
    stepSecond_ = 0;
  } else if (secondsRule_ && regularCount_ == 1) {
    if (!wholeSeconds(value, seconds)) return false;
    stepSecond_ = seconds - startSecond_;
  } else {
    int64_t ruleSecond = 0;
    if (secondsRule_ && !RuleSecond(slot, ruleSecond)) return false;
    if (RegularInstant(slot) != value) return false;
  }
  ++regularCount_;
  return true;
}

void clsSeries::StoreRegularInstants() {
  const std::size_t count = regularCount_;
  regularCount_ = 0;
  for (std::size_t slot = 0; slot < count; ++slot) instants_.Set(slot, RegularInstant(slot));
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
    throw DetailedError(kErrOverflow, ("time step of " + IntegerText(lTimeStepMultiplier) + " " + sTimeStepUnit +
                                           " does not fit in 32 bits as seconds"));
  }
  return static_cast<int32_t>(step);
}

}  // namespace tidemill
