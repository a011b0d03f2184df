#include "external/DataEditServer.h"

#include "common/Text.h"
#include "external/OstrandDataEditServer.h"

namespace tidemill {

namespace {

using Registration = std::pair<std::string, DataEditServerFactory>;

// Later registrations are searched first; the shipped server is always there.
std::vector<Registration>& Registry() {
  static std::vector<Registration> registry = {
      {std::string(kOstrandDataEditServerId), [] { return std::make_unique<OstrandDataEditServer>(); }}};
  return registry;
}

}  // namespace

std::unique_ptr<DataEditServer> CreateDataEditServer(std::string_view programId) {
  const auto& registry = Registry();
  for (auto it = registry.rbegin(); it != registry.rend(); ++it) {
    if (EqualsNoCase(it->first, programId)) return it->second();
  }
  throw DetailedError(kErrCantCreateObject, programId);
}

ScopedDataEditServer::ScopedDataEditServer(std::string programId, DataEditServerFactory factory) {
  Registry().emplace_back(std::move(programId), std::move(factory));
}

ScopedDataEditServer::~ScopedDataEditServer() { Registry().pop_back(); }

}  // namespace tidemill
