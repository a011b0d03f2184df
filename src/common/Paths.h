// File and path utilities shared by the driver and the converters.
#pragma once

#include <string>
#include <string_view>

namespace tidemill {

// Windows: separator "\", drives, "\\server" paths. POSIX: separator "/".
enum class PathStyle { Windows, Posix };

// The style of the host the program runs on (the build names it).
constexpr PathStyle kHostPathStyle = PathStyle::TIDEMILL_HOST_PATH_STYLE;
char Separator(PathStyle style);

// True when the file exists and may be read; false for blanks only, a missing file, a directory
// or an unreadable file. Never raises. POSIX looks it up without opening it (a named pipe would
// lose what its writer sends); Windows opens it for reading and closes it, so a file that another
// process holds exclusively does not exist.
bool FileExists(const std::string& path);

struct PathParts {
  std::string directory;         // before the last separator
  std::string fileName;          // after the last separator
  std::string extension;         // after the first "." of the file name
  std::string baseName;          // before the first "." of the file name
  std::string directoryAndBase;  // directory, separator, base name
};

// Cuts a path into its parts. Windows style turns "/" into "\" first; POSIX style splits at
// "/" only, and a path without a directory part lies in the current directory ("./base").
PathParts SplitPath(std::string_view path, PathStyle style = kHostPathStyle);

// The file named directory + separator + base name + newExtension (the side file of a QX-XML
// file is SiblingPath(path, ".bin")); a name without a directory gives one in the current
// directory (".\\base.bin", "./base.bin").
std::string SiblingPath(std::string_view path, std::string_view newExtension, PathStyle style = kHostPathStyle);

// Makes a path absolute against a current directory; pure, the tables of both styles apply.
std::string ResolveRelativePathIn(const std::string& path, const std::string& currentDirectory, PathStyle style);

// Makes a path absolute against base, or the process's current directory when base is empty.
std::string ResolveRelativePath(const std::string& path, const std::string& base = {},
                                PathStyle style = kHostPathStyle);

}  // namespace tidemill
