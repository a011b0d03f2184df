#include "driver/Main.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "common/Error.h"
#include "common/Parallel.h"
#include "common/Paths.h"
#include "common/Program.h"
#include "common/Text.h"
#include "diagnostics/MessageBox.h"
#include "diagnostics/Plan.h"
#include "diagnostics/ReportMessage.h"
#include "diagnostics/RunState.h"
#include "diagnostics/XMLOrvaDiagnostics.h"
#include "external/ArgTokenizer.h"

namespace tidemill {

namespace {

constexpr const char* kUsageWithDebug =
    "Usage: Tidemill.exe inputfile outputfile </batch> </conversiontable conversiontablefilename> "
    "</diagfile OrvaDiagnosticsFile> </debug>";
constexpr const char* kUsage =
    "Usage: Tidemill.exe inputfile outputfile </batch> </conversiontable conversiontablefilename> "
    "</diagfile OrvaDiagnosticsFile>";
constexpr const char* kTail = "The conversion is both ways, but only of XML and KEL.";

void ReportUsage(const std::string& first, const char* usage) {
  ReportMessage(first + "\r\n\r\n" + usage + "\r\n" + kTail, kStyleCritical, "Error:", kLevelError);
}

const char* TrueFalse(bool value) { return value ? "True" : "False"; }

// The exit status of a run that reached its end: with "/exitcode", 1 when anything was reported
// at level 1. The log is written first, since a log that cannot be written is such a report.
int ExitStatus(bool exitCode) {
  DiagLog.reset();
  return exitCode && ErrorReported ? 1 : 0;
}

// Releases the log (which writes the diagnostics file) and the flags on every way out of a
// run, an error in flight included.
struct RunStateRelease {
  RunStateRelease() { ResetRunState(); }
  ~RunStateRelease() { ResetRunState(); }
  RunStateRelease(const RunStateRelease&) = delete;
  RunStateRelease& operator=(const RunStateRelease&) = delete;
};

// "--help" and "--version" as a Linux user expects them, when they are the only argument and no
// file of that name exists (which would be an input to convert).
bool AnswerHelpOrVersion(int argc, char** argv) {
  if (argc != 2) return false;
  const std::string request = argv[1];
  // Asked as it stands: help must not need a current directory that may have been removed.
  if ((request != "--help" && request != "--version") || FileExists(request)) return false;
  std::string text;
  if (request == "--version") {
    text = ExecutableName() + " " + VersionText() + "\n";
  } else {
    std::string called = argv[0] != nullptr ? argv[0] : ExecutableName();
    called = SplitPath(called).fileName;
    text = "Usage: " + called +
           " inputfile outputfile [/batch] [/conversiontable table.ini] [/diagfile diag.xml] [/debug]\n" +
           std::string(called.size() + 8, ' ') + "[/plan] [/exitcode]\n"
           "\n"
           "Converts one time-series file; the two extensions choose the conversion:\n"
           "  kel, map -> any     Kel history or map file to QX-XML\n"
           "  abr      -> any     ABR text file to QX-XML\n"
           "  xml      -> bin     QX-XML to the Ostrand data-edit server (targets from the table)\n"
           "  xml      -> tms     QX-XML to one TMS file per parameter (targets from the table)\n"
           "  xml      -> other   QX-XML to a Kel history file\n"
           "\n"
           "Switches, in any case, from the third argument on:\n"
           "  /batch                  messages go to the diagnostics file, not to standard error\n"
           "  /debug, /debugmode      QX-XML without its binary side file; progress messages\n"
           "  /conversiontable FILE   the conversion table\n"
           "  /diagfile FILE          the XML diagnostics file\n"
           "  /plan                   write nothing; print what the conversion would do\n"
           "  /exitcode               exit 1 when the run reported an error (a level-1 message)\n"
           "\n"
           "Without /exitcode every run that reaches its end exits 0: its messages tell the outcome.\n"
           "\"File has been converted succesfully.\" only means the outputs were written, maybe from\n"
           "part of the input; everything was converted when no level-1 message was reported.\n";
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  return true;
}

// What the plan of a run starts with.
struct PlanStart {
  std::string input;
  std::string table;            // empty: none given
  const char* conversion = "";  // its direction and converter
  bool tableUsed = true;
};

// The plan's lines, made of its start, the converter's lines and the outcome.
std::string PlanText(const PlanStart& start, const std::vector<std::string>& lines, bool converted) {
  std::string text = "input: " + start.input + "\nconversion: " + start.conversion + "\ntable: " +
                     (!start.tableUsed ? "not used" : start.table.empty() ? "none" : start.table) + "\n";
  for (const std::string& line : lines) text += line + "\n";
  return text + (converted ? "result: would be converted\n" : "result: would not be converted\n");
}

// The plan goes to standard output; a plan that cannot be printed is error 57.
void PrintPlan(const PlanStart& start, bool converted) {
  const std::string text = PlanText(start, TakePlanLines(), converted);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    throw DetailedError(kErrDeviceIO, "the plan could not be written to standard output");
  }
}

}  // namespace

int RunMain(const std::vector<std::string>& arguments, const ConverterSet& converters) {
  return RunCommandLine(JoinCommandLine(arguments), converters);
}

int RunCommandLine(const std::string& commandLine, const ConverterSet& converters) {
  RunStateRelease release;
  ThreadCount = ThreadsFromEnvironment();

  if (commandLine.empty()) {
    ReportUsage("No command line defined.", kUsageWithDebug);
    return 0;
  }
  // Split once; fetching by index from the text again for every argument would be quadratic.
  const std::vector<std::string> split = SplitCommandLine(commandLine);
  const auto argument = [&split](std::size_t index) -> std::string {
    return index >= 1 && index <= split.size() ? split[index - 1] : std::string();
  };

  const std::string inputFile = ResolveRelativePath(argument(1));
  std::string outputFile = ResolveRelativePath(argument(2));
  std::string conversionTable;
  std::string diagFile;
  bool exitCode = false;
  for (std::size_t index = 3;; ++index) {
    const std::string current = argument(index);
    const std::string lower = LowerAscii(current);
    if (lower == "/batch") {
      BatchMode = true;
    } else if (lower == "/debug" || lower == "/debugmode") {
      DebugMode = true;
    } else if (lower == "/conversiontable") {
      conversionTable = ResolveRelativePath(argument(++index));
    } else if (lower == "/diagfile") {
      diagFile = ResolveRelativePath(argument(++index));
    } else if (lower == "/plan") {
      PlanMode = true;
    } else if (lower == "/exitcode") {
      exitCode = true;
    }
    if (current.empty()) break;
  }

  // A plan writes no diagnostics file: its reports go to standard error.
  if (!diagFile.empty() && !PlanMode) {
    DiagLog = std::make_unique<clsXMLOrvaDiagnostics>();
    DiagLog->Start(diagFile);
    DiagLog->AddLine(kLevelInfo, ExecutableName() + " started.");
    DiagLog->AddLine(kLevelDetail, "Commandline = " + commandLine);
    DiagLog->AddLine(kLevelDetail, "FileIn = " + inputFile);
    DiagLog->AddLine(kLevelDetail, "FileOut = " + outputFile);
    DiagLog->AddLine(kLevelDetail, std::string("BatchMode = ") + TrueFalse(BatchMode));
    DiagLog->AddLine(kLevelDetail, std::string("DebugMode = ") + TrueFalse(DebugMode));
  }

  if (!FileExists(inputFile)) {
    ReportUsage("Defined input file does not exist.", kUsage);
    return ExitStatus(exitCode);
  }

  const std::string inputExtension = LowerAscii(SplitPath(inputFile).extension);
  const std::string outputExtension = LowerAscii(SplitPath(outputFile).extension);
  if (inputExtension != "kel" && inputExtension != "xml" && inputExtension != "map" && inputExtension != "abr") {
    ReportUsage("The input file should be of type QX-XML or LIMNEX kel/map.", kUsage);
    return ExitStatus(exitCode);
  }
  if (outputExtension.empty()) outputFile += inputExtension == "xml" ? ".kel" : ".xml";

  bool converted;
  PlanStart plan{inputFile, conversionTable};
  if (inputExtension == "kel" || inputExtension == "map") {
    plan.conversion = "Kel to QX-XML (ConvertKel2XML)";
    converted = converters.kel2Xml(inputFile, outputFile, conversionTable);
  } else if (inputExtension == "abr") {
    plan.conversion = "ABR to QX-XML (ConvertAbr2XML)";
    plan.tableUsed = false;
    converted = converters.abr2Xml(inputFile, outputFile, conversionTable);
  } else if (outputExtension == "bin") {
    plan.conversion = "QX-XML to the data-edit server (ConvertXml2Bin)";
    converted = converters.xml2Bin(inputFile, conversionTable);
  } else if (outputExtension == "tms") {
    plan.conversion = "QX-XML to TMS (ConvertXml2Tms)";
    converted = converters.xml2Tms(inputFile, conversionTable);
  } else {
    plan.conversion = "QX-XML to Kel (ConvertXml2Kel)";
    plan.tableUsed = false;
    converted = converters.xml2Kel(inputFile, outputFile);
  }

  if (!converted) {
    ReportMessage("File has not been converted.", kStyleCritical, "", kLevelError);
  } else if (PlanMode) {
    // Nothing was converted: the plan's last line tells the outcome instead.
  } else if (BatchMode) {
    ReportMessage("File has been converted succesfully.", kStyleInformation, "", kLevelInfo);
  } else {
    ShowMessageBox("File has been converted succesfully.", kStyleInformation, "");
  }
  if (PlanMode) PrintPlan(plan, converted);
  return ExitStatus(exitCode);
}

int Main(int argc, char** argv) {
  try {
    PrepareStandardStreams();
    if (argc > 0) SetArgv0(argv[0]);
    if (AnswerHelpOrVersion(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;
    if (const std::optional<std::string> commandLine = ProcessCommandLine()) return RunCommandLine(*commandLine);
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    return RunMain(arguments);
  } catch (...) {
    const Error error = CurrentError();
    const std::string report = "Run-time error '" + std::to_string(error.Number()) + "': " + error.Description() + "\n";
    std::fwrite(report.data(), 1, report.size(), stderr);
    std::fflush(stderr);
    return 1;
  }
}

}  // namespace tidemill
