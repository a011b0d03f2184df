// What the program knows of itself: title, executable name, version.
#pragma once

#include <string>

namespace tidemill {

// The program's title, used where a message box has no title of its own.
inline constexpr const char* kProgramTitle = "Tidemill";

// The running executable's file name without extension ("tidemill").
const std::string& ExecutableName();
// Remembers argv[0], used when /proc/self/exe cannot be read.
void SetArgv0(const char* argv0);

// "major.minor.revision".
std::string VersionText();

}  // namespace tidemill
