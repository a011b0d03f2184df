// One time series as read from a QX-XML file: its header fields and its events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidemill {

class clsSeries {
 public:
  // Capacity of a new record, and the step by which it grows.
  static constexpr int32_t kCapacityStep = 10000;

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
  float sngValues(int32_t Index) const;
  void sngValues(int32_t Index, float vNewValue);

  // The instant of event Index (1 to capacity); error 9 outside.
  double dtEventDate(int32_t Index) const;
  void dtEventDate(int32_t Index, double vNewValue);

  // The flag of event Index as a real number; error 6 when it lies outside the date range.
  double lFlag(int32_t Index) const;
  // Stores vNewValue rounded half to even; error 6 when it does not fit in 32 bits.
  void lFlag(int32_t Index, double vNewValue);

  // The number of valid events.
  int32_t lValCounter() const { return count_; }
  // Sets the count, growing the capacity in steps of 10000 to hold it; never shrinks.
  void lValCounter(int32_t vNewValue);

  // The current upper bound of the event indexes, a multiple of 10000.
  int32_t Capacity() const { return capacity_; }

  // How many events the storage underneath holds room for before it must move.
  std::size_t StorageRoom() const { return values_.capacity(); }
  // Makes room underneath for count events, so that filling them moves nothing; the capacity
  // that callers see does not change.
  void ReserveStorage(int32_t count);

  // The time step in seconds from sTimeStepUnit and lTimeStepMultiplier; error 6 on overflow.
  int32_t Timestep() const;

 private:
  std::size_t Slot(int32_t index) const;
  // Makes the entries up to slot exist in the arrays.
  void Materialise(std::size_t slot) {
    if (slot >= values_.size()) Extend(slot);
  }
  void Extend(std::size_t slot);

  int32_t count_ = 0;
  int32_t capacity_ = kCapacityStep;
  // Entries 1 to capacity_ exist for callers; only the prefix up to the last entry written
  // is held here, the rest reads as 0. The three arrays always have the same length.
  std::vector<float> values_;
  std::vector<double> instants_;
  std::vector<int32_t> flags_;
};

}  // namespace tidemill
