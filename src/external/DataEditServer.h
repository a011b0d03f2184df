// The river-basin model's data-edit server: one request sets the values of many objects in the
// model's data. Servers are created by program identifier.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/Error.h"

namespace tidemill {

// An array as the automation call passes it: unallocated until ReDim gives it bounds, and an
// index outside them (or any index while unallocated) is error 9.
template <class T>
class SafeArray {
 public:
  bool Allocated() const { return allocated_; }
  int32_t LBound() const {
    Check();
    return lower_;
  }
  int32_t UBound() const {
    Check();
    return lower_ + static_cast<int32_t>(items_.size()) - 1;
  }
  // New bounds lower to upper (upper = lower - 1 gives no elements), every element reset.
  void ReDim(int32_t lower, int32_t upper) {
    if (upper < lower - 1) throw DetailedError(kErrSubscript, "bounds " + std::to_string(lower) + " to " + std::to_string(upper));
    items_.assign(static_cast<std::size_t>(int64_t{upper} - lower + 1), T{});
    lower_ = lower;
    allocated_ = true;
  }
  T& operator()(int32_t index) { return items_[Slot(index)]; }
  const T& operator()(int32_t index) const { return items_[Slot(index)]; }

 private:
  void Check() const {
    if (!allocated_) throw DetailedError(kErrSubscript, "array not allocated");
  }
  std::size_t Slot(int32_t index) const {
    Check();
    const int64_t slot = int64_t{index} - lower_;
    if (slot < 0 || slot >= static_cast<int64_t>(items_.size())) {
      throw DetailedError(kErrSubscript, "index " + std::to_string(index) + " outside " + std::to_string(lower_) +
                                             " to " + std::to_string(lower_ + static_cast<int64_t>(items_.size()) - 1));
    }
    return static_cast<std::size_t>(slot);
  }

  bool allocated_ = false;
  int32_t lower_ = 0;
  std::vector<T> items_;
};

class DataEditServer {
 public:
  virtual ~DataEditServer() = default;

  // Sets the values of objects 1..lNrOfObjects of sObjects (element 0 is not read), each an
  // "ID <object> <parameter> NROFVALUES <n> VALUES <v1> ... <vn> " command, in the data that
  // strRequestHeader names ("SET_VALUES FILE "<file>" STARTUPDIR "<dir>""). Gives nErrorFlags
  // and sErrorMessages bounds 1..lNrOfObjects: flag k nonzero when object k was not stored,
  // message k then says why; nErrorIndicator nonzero when any object failed. Returns the number
  // of objects stored. Raises an error only for a call it cannot take at all.
  virtual int32_t RequestByClient(std::string& strRequestHeader, SafeArray<int16_t>& nErrorFlags,
                                  int32_t& lNrOfObjects, SafeArray<std::string>& sObjects,
                                  SafeArray<std::string>& sErrorMessages, int16_t& nErrorIndicator) = 0;
};

// Makes a new server instance.
using DataEditServerFactory = std::function<std::unique_ptr<DataEditServer>()>;

// The server registered under a program identifier (matched without regard to case); error 429
// naming the identifier when none is.
std::unique_ptr<DataEditServer> CreateDataEditServer(std::string_view programId);

// Registers a server under a program identifier for the life of this object, in front of any
// other registered under it (tests put their own servers in place this way).
class ScopedDataEditServer {
 public:
  ScopedDataEditServer(std::string programId, DataEditServerFactory factory);
  ~ScopedDataEditServer();
  ScopedDataEditServer(const ScopedDataEditServer&) = delete;
  ScopedDataEditServer& operator=(const ScopedDataEditServer&) = delete;
};

}  // namespace tidemill
