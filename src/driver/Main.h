// The program's start.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "converters/Converters.h"

namespace tidemill {

// The conversions Main dispatches to; tests put recording ones in place.
struct ConverterSet {
  std::function<bool(const std::string&, const std::string&, const std::string&)> kel2Xml = ConvertKel2XML;
  std::function<bool(const std::string&, const std::string&, const std::string&)> abr2Xml = ConvertAbr2XML;
  std::function<bool(const std::string&, const std::string&)> xml2Bin = ConvertXml2Bin;
  std::function<bool(const std::string&, const std::string&)> xml2Tms = ConvertXml2Tms;
  std::function<bool(const std::string&, const std::string&)> xml2Kel = ConvertXml2Kel;
};

// One run with the arguments after the program name: switches, log, input checks, one
// conversion, the outcome report. Returns 0, or 1 with "/exitcode" when a level-1 report was
// made; an error it does not trap propagates. The run-wide state starts fresh and is back at its
// start values (the log written) when it returns.
int RunMain(const std::vector<std::string>& arguments, const ConverterSet& converters = {});
// The same run on the command-line text itself, as Windows hands it over.
int RunCommandLine(const std::string& commandLine, const ConverterSet& converters = {});

// The process's entry: RunCommandLine on the process's own command-line text where the system
// keeps one, else RunMain on argv; an untrapped error is written to standard error as
// "Run-time error 'N': description" and gives exit status 1.
int Main(int argc, char** argv);

}  // namespace tidemill
