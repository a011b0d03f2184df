// A Kel component that does what a test tells it, for the outcomes the file-backed one never
// gives (a file item that does not exist, a status other than 0).
#pragma once

#include <functional>
#include <memory>

#include "external/KelFileAccess.h"

namespace tidemill::testing {

struct KelFake : KelFileAccess {
  bool exists = true;
  int32_t status = 0;
  SeriesBlock read;                          // what the reads give
  std::function<void()> raise;               // called by every read and write, to raise an error
  std::vector<std::string>* calls = nullptr;  // notes "ReadAll", "ReadSelected", "WriteAll"

  void OpenFiles(const std::string&, const std::string&, bool, bool) override {}
  KelFileItem FileItem(int16_t) override { return {exists}; }
  int32_t ReadAll(SeriesBlock& block, const std::string&) override { return Give("ReadAll", &block); }
  int32_t ReadSelected(SeriesBlock& block, const std::string&, const std::vector<std::string>&,
                       const std::vector<std::string>&) override {
    return Give("ReadSelected", &block);
  }
  int32_t WriteAll(const SeriesBlock&, const std::string&, const std::array<std::string, 3>&, double, double,
                   const std::vector<std::string>&, const std::vector<std::string>&) override {
    return Give("WriteAll", nullptr);
  }

 private:
  int32_t Give(const char* call, SeriesBlock* block) {
    if (calls != nullptr) calls->push_back(call);
    if (raise) raise();
    if (block != nullptr) *block = read;
    return status;
  }
};

// Every component the converters create is a copy of fake while this object lives.
struct ScopedKelFake {
  explicit ScopedKelFake(const KelFake& fake) : scope([fake] { return std::make_unique<KelFake>(fake); }) {}
  ScopedKelFileAccessFactory scope;
};

}  // namespace tidemill::testing
