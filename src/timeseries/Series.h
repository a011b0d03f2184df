// One time series as read from a QX-XML file: its header fields and its events.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tidemill {

class clsSeries {
 public:
  // Capacity of a new record, and the step by which it grows.
  static constexpr int32_t kCapacityStep = 10000;
  // Events are stored in blocks of 2^16 entries per array: growth never moves what is stored,
  // and an index finds its entry by shift and mask.
  static constexpr int kBlockShift = 16;
  static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;

  std::string sType;                  // text of "type"
  std::string sLocationID;            // text of "locationid"
  std::string sParameterID;           // text of "parameterid"
  std::string sTimeStepUnit;          // "unit" of "timestep"
  int32_t lTimeStepMultiplier = 0;    // "multiplier" of "timestep"
  double dtStartDate = 0;             // date part of the first instant
  double dtStartTime = 0;             // time-of-day part of the first instant
  double dtEndDate = 0;               // date part of the last instant
  double dtEndTime = 0;               // time-of-day part of the last instant
  float sngMissingValue = 0;          // text of "missval"
  std::string sLongName;              // text of "longname"
  std::string sStationName;           // text of "stationname"
  std::string sUnits;                 // text of "units"
  std::string sSourceOrganisation;    // text of "sourceorganisation"
  std::string sSourceSystem;          // text of "sourcesystem"
  std::string sFileDescription;       // text of "filedescription"
  std::string sRegion;                // text of "region"

  // The value of event Index (1 to capacity); error 9 outside.
  float sngValues(int32_t Index) const { return values_.Get(Slot(Index)); }
  void sngValues(int32_t Index, float vNewValue) { values_.Set(Slot(Index), vNewValue); }

  // The instant of event Index (1 to capacity); error 9 outside.
  double dtEventDate(int32_t Index) const {
    const std::size_t slot = Slot(Index);
    return slot < regularCount_ ? RegularInstant(slot) : instants_.Get(slot);
  }
  // Instants that go on at one step of whole seconds, as the reader gives them, are kept as
  // that rule and take no storage.
  void dtEventDate(int32_t Index, double vNewValue) {
    const std::size_t slot = Slot(Index);
    if (slot <= regularCount_ && FollowsRule(slot, vNewValue)) return;
    if (slot < regularCount_) StoreRegularInstants();
    instants_.Set(slot, vNewValue);
  }
  // dtEventDate(Index, day + second / 86400) for a whole day within ten million days of the
  // epoch and a second of that day (0 to 86399). The next instant of a rule of whole seconds
  // is known by integers alone, without the division.
  void dtEventDate(int32_t Index, int64_t day, int32_t second) {
    const std::size_t slot = Slot(Index);
    const int64_t seconds = day * 86400 + second;
    int64_t expected = 0;
    if (slot == regularCount_ && secondsRule_ && regularCount_ >= 2 && RuleSecond(slot, expected) &&
        expected == seconds) {
      ++regularCount_;
      return;
    }
    dtEventDate(Index, SecondsInstant(seconds));
  }

  // The flag of event Index as a real number; error 6 when it lies outside the date range.
  double lFlag(int32_t Index) const;
  // Stores vNewValue rounded half to even; error 6 when it does not fit in 32 bits.
  void lFlag(int32_t Index, double vNewValue);

  // The number of valid events.
  int32_t lValCounter() const { return count_; }
  // Sets the count, growing the capacity in steps of 10000 to hold it; never shrinks.
  void lValCounter(int32_t vNewValue) {
    if (vNewValue > capacity_) Grow(vNewValue);
    count_ = vNewValue;
  }

  // The current upper bound of the event indexes, a multiple of 10000.
  int32_t Capacity() const { return capacity_; }

  // Writes the values of events 1 to count (error 9 beyond the capacity) in runs that each lie
  // in one block: fill(index of the run's first event, values, length) must write every entry
  // of the run. For bulk loads, without a call per event.
  using RunFill = std::function<void(int32_t first, float* values, std::size_t length)>;
  void FillValues(int32_t count, const RunFill& fill);
  // The instants of events 1 to count become start + (index - 1) * step (error 9 beyond the
  // capacity). They are kept as that rule, taking no storage, until one of them is written.
  void RegularInstants(int32_t count, double start, double step);

  // Bytes of the blocks allocated for the events; blocks that no written entry reaches are
  // never allocated, and pages never written take no memory.
  std::size_t StorageBytes() const { return values_.Bytes() + instants_.Bytes() + flags_.Bytes(); }

  // The time step in seconds from sTimeStepUnit and lTimeStepMultiplier; error 6 on overflow.
  int32_t Timestep() const;

 private:
  // One event array in blocks. Only the entries up to the last one written exist (the blocks
  // past them are not even allocated); the others read as 0.
  template <class T>
  class Blocks {
   public:
    T Get(std::size_t slot) const { return slot < size_ ? blocks_[slot >> kBlockShift][slot & kMask] : T{}; }
    void Set(std::size_t slot, T value) {
      if (slot >= size_) {
        // Entries past the written ones read 0 already: a 0 (all bits, so not -0.0) needs no
        // storage. Most flags are 0.
        if (IsZero(value)) return;
        // Appending within a piece, the usual case, needs no zero-filling, no new block and
        // no new pages.
        if (slot > size_ || (slot & kPieceMask) == 0) Extend(slot);
      }
      blocks_[slot >> kBlockShift][slot & kMask] = value;
      if (slot == size_) ++size_;
    }
    // Where the entry of slot lies, for writing a run of length entries from slot, within its
    // block; Filled then makes the run exist. The entries before slot exist afterwards.
    T* Place(std::size_t slot, std::size_t length);
    void Filled(std::size_t end) {
      if (end > size_) size_ = end;
    }
    std::size_t Bytes() const { return blocks_.size() * kBlockSize * sizeof(T); }

   private:
    static constexpr std::size_t kMask = kBlockSize - 1;
    static bool IsZero(T value) {
      if constexpr (sizeof(T) == 4) {
        return std::bit_cast<uint32_t>(value) == 0;
      } else {
        return std::bit_cast<uint64_t>(value) == 0;
      }
    }
    // Appends reach new memory a piece of 64 KiB at a time, its pages asked for at once.
    static constexpr std::size_t kPieceMask = (std::size_t{64} << 10) / sizeof(T) - 1;
    // Makes the blocks up to slot's exist and the entries before slot exist, new ones as 0;
    // brings in the pages of slot's piece.
    void Extend(std::size_t slot);

    std::size_t size_ = 0;  // entries that exist
    std::vector<std::unique_ptr<T[]>> blocks_;
  };

  std::size_t Slot(int32_t index) const {
    // One unsigned comparison covers both ends.
    if (static_cast<uint32_t>(index) - 1u >= static_cast<uint32_t>(capacity_)) ThrowOutOfRange(index);
    return static_cast<std::size_t>(index) - 1;
  }
  [[noreturn]] void ThrowOutOfRange(int32_t index) const;
  // Raises the capacity to hold count events.
  void Grow(int32_t count);

  // The side file's rule, the same arithmetic as its reading has always used: start +
  // (index - 1) * step; or the rule of whole seconds, the day and the fraction of the day as the
  // reader adds them.
  double RegularInstant(std::size_t slot) const {
    if (secondsRule_) return SecondsInstant(startSecond_ + static_cast<int64_t>(slot) * stepSecond_);
    return regularStart_ + static_cast<double>(static_cast<int32_t>(slot)) * regularStep_;
  }
  static double SecondsInstant(int64_t seconds);
  // The whole second of the rule of whole seconds at slot; false where it leaves 64 bits.
  bool RuleSecond(std::size_t slot, int64_t& seconds) const {
    return !__builtin_mul_overflow(static_cast<int64_t>(slot), stepSecond_, &seconds) &&
           !__builtin_add_overflow(startSecond_, seconds, &seconds);
  }
  // True when value is the rule's instant of slot (at most regularCount_), the rule extended
  // to take it in where slot is the first past it.
  bool FollowsRule(std::size_t slot, double value);
  // Writes the instants kept as a rule into the storage, before one of them changes.
  void StoreRegularInstants();

  int32_t count_ = 0;
  int32_t capacity_ = kCapacityStep;
  // Events 0 to regularCount_ - 1 (slots) have the instants of the rule, whatever the storage
  // holds for them.
  std::size_t regularCount_ = 0;
  double regularStart_ = 0;
  double regularStep_ = 0;
  bool secondsRule_ = false;
  int64_t startSecond_ = 0;
  int64_t stepSecond_ = 0;
  Blocks<float> values_;
  Blocks<double> instants_;
  Blocks<int32_t> flags_;
};

}  // namespace tidemill
