// The access component for the water-quality model's Kel history and map files: the only way
// the program reads or writes them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>


namespace tidemill {

// What FileItem gives: whether the model file exists.
struct KelFileItem {
  bool Exists = false;
};

// The operations the converters call, with the arrays passed as the callers hold them: names of
// locations and parameters from index 0, times as day counts, and the value of location l,
// parameter p at time t (all from 1) at ((l - 1) * P + (p - 1)) * T + (t - 1). Failures with a
// cause to tell are raised as errors whose description names the file and what is wrong; the
// status results are 0 on success.
class KelFileAccess {
 public:
  virtual ~KelFileAccess() = default;
  // Names the model file the later calls work on; the second name and the flags are not used.
  virtual void OpenFiles(const std::string& fileName, const std::string& secondName, bool first = true,
                         bool second = true) = 0;
  // Item 1 is the model file named by OpenFiles; any other index is error 9.
  virtual KelFileItem FileItem(int16_t index) = 0;
  // Every location and parameter of fileName, named as the file names them.
  virtual int32_t ReadAll(std::vector<float>& values, int32_t& locationCount, int32_t& parameterCount,
                          int32_t& timeCount, const std::string& fileName, std::vector<std::string>& locationIDs,
                          std::vector<std::string>& parameterIDs, std::vector<double>& times) = 0;
  // The requested locations and parameters, in the requested order (names compared without
  // regard to case); a name the file does not hold is an error naming it.
  virtual int32_t ReadSelected(std::vector<float>& values, int32_t& locationCount, int32_t& parameterCount,
                               int32_t& timeCount, const std::string& fileName,
                               const std::vector<std::string>& locationNames,
                               const std::vector<std::string>& parameterNames, std::vector<std::string>& locationIDs,
                               std::vector<std::string>& parameterIDs, std::vector<double>& times) = 0;
  // Writes fileName (history or map layout by its extension), completely or not at all. Station
  // names and the per-parameter list have no place in the file.
  virtual int32_t WriteAll(const std::vector<float>& values, int32_t locationCount, int32_t parameterCount,
                           int32_t timeCount, const std::string& fileName, const std::vector<std::string>& locationIDs,
                           const std::vector<std::string>& parameterIDs, const std::vector<double>& times,
                           const std::array<std::string, 3>& titles, double startTime, double endTime,
                           const std::vector<std::string>& stationNames,
                           const std::vector<std::string>& parameterList) = 0;
};

// A new component: the file-backed one unless a test has put another factory in place.
std::unique_ptr<KelFileAccess> CreateKelFileAccess();

// Puts a factory in place for the life of this object (tests).
class ScopedKelFileAccessFactory {
 public:
  using Factory = std::function<std::unique_ptr<KelFileAccess>()>;
  explicit ScopedKelFileAccessFactory(Factory factory);
  ~ScopedKelFileAccessFactory();
  ScopedKelFileAccessFactory(const ScopedKelFileAccessFactory&) = delete;
  ScopedKelFileAccessFactory& operator=(const ScopedKelFileAccessFactory&) = delete;

 private:
  Factory previous_;
};

// True when fileName has the map layout: its name ends in ".map", without regard to case.
bool IsKelMapFile(const std::string& fileName);

}  // namespace tidemill
