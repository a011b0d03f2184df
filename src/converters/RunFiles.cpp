#include "converters/RunFiles.h"

#include <optional>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Paths.h"
#include "diagnostics/RunState.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "timeseries/QXContentHandler.h"

namespace tidemill {

namespace {

constexpr const char* kDiagnosticsRole = "diagnostics file";

struct Identified {
  const RunFile* file;
  FileIdentity identity;
};

}  // namespace

void RunFiles::AddQXInput(const std::string& path) {
  reads.push_back({path, "input"});
  if (HasSideFile(path)) reads.push_back({SiblingPath(path, ".bin"), "side file of the input"});
}

void RunFiles::AddQXOutput(const std::string& path) {
  writes.push_back({path, "output"});
  // An output that is its own side file is the writer's to refuse in binary form.
  const std::string side = SiblingPath(path, ".bin");
  if (!WritesStraight(path) && !SameFile(side, path)) writes.push_back({side, "side file of the output"});
}

void CheckRunFiles(const RunFiles& files) {
  std::vector<Identified> read, written;
  for (const RunFile& file : files.reads) {
    // Only a file that is there is read.
    if (const auto identity = Fs().Identify(file.path); identity && identity->name.empty()) {
      read.push_back({&file, *identity});
    }
  }
  RunFile diagnostics;
  if (DiagLog && !DiagLog->FileName().empty()) diagnostics = {DiagLog->FileName(), kDiagnosticsRole};
  const auto addWritten = [&](const RunFile& file) {
    // A file whose directory is missing clashes with nothing; its write reports why it fails.
    if (const auto identity = Fs().Identify(file.path)) written.push_back({&file, *identity});
  };
  for (const RunFile& file : files.writes) addWritten(file);
  for (const RunFile& file : files.rewrites) addWritten(file);
  if (!diagnostics.path.empty()) addWritten(diagnostics);

  const auto clash = [&](const RunFile& first, const RunFile& second) {
    const Error error = DetailedError(kErrPathFileAccess, "the " + first.role + " " + first.path + " and the " +
                                                              second.role + " " + second.path + " are one file");
    if (&first == &diagnostics || &second == &diagnostics) DiagLog->Withhold(error);
    throw error;
  };
  for (std::size_t w = 0; w < written.size(); ++w) {
    const Identified& out = written[w];
    for (const Identified& in : read) {
      if (out.identity == in.identity) clash(*out.file, *in.file);
    }
    for (std::size_t v = 0; v < w; ++v) {
      const Identified& other = written[v];
      if (out.identity == other.identity && !(out.identity.straight && other.identity.straight)) {
        clash(*other.file, *out.file);
      }
    }
  }
}

}  // namespace tidemill
