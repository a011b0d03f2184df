// What the program knows of itself: title, executable name, version, its command line.
#pragma once

#include <optional>
#include <string>

namespace tidemill {

// The program's title, used where a message box has no title of its own.
inline constexpr const char* kProgramTitle = "Tidemill";

// The running executable's file name without extension ("tidemill").
const std::string& ExecutableName();
// Remembers argv[0], used when the system cannot name the running executable.
void SetArgv0(const char* argv0);

// "major.minor.revision".
std::string VersionText();

// The process's own command-line text after the program name, where the system keeps one
// (Windows); nothing where it hands over separate arguments, which the caller joins.
std::optional<std::string> ProcessCommandLine();

// Standard output and error take bytes as they are: no line-end translation, text in UTF-8. A
// write into a pipe without a reader fails as a write, not as the end of the process.
void PrepareStandardStreams();

}  // namespace tidemill
