// The program's start.
#pragma once

namespace tidemill {

// Runs one conversion from the command line; returns the process exit status.
int Main(int argc, char** argv);

}  // namespace tidemill
