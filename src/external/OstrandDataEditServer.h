// The data-edit server the program ships: it stores the values in the model's edit-node file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "external/DataEditServer.h"

namespace tidemill {

// Its program identifier.
inline constexpr std::string_view kOstrandDataEditServerId = "Ostrand.DataEditServer";

// Edit-node file: 8-bit text, lines ending in CR LF, LF or CR; an entry line reads
//   ID <object> <parameter> NROFVALUES <n> VALUES <v1> ... <vn>
// tokens separated by blanks or tabs, keywords in any case, object and parameter exact. Each
// command rewrites every well-formed entry line of its pair to the command's count and values,
// as received; every other line (blank, "*" comments, malformed entries) is kept byte for byte.
// The file is read once and rewritten once, completely or not at all.
class OstrandDataEditServer : public DataEditServer {
 public:
  int32_t RequestByClient(std::string& strRequestHeader, SafeArray<int16_t>& nErrorFlags, int32_t& lNrOfObjects,
                          SafeArray<std::string>& sObjects, SafeArray<std::string>& sErrorMessages,
                          int16_t& nErrorIndicator) override;
};

}  // namespace tidemill
