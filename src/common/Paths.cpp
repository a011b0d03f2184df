#include "common/Paths.h"

#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Text.h"

namespace tidemill {

char Separator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

PathParts SplitPath(std::string_view path, PathStyle style) {
  const char sep = Separator(style);
  std::string p(path);
  if (style == PathStyle::Windows) {
    for (char& c : p) {
      if (c == '/') c = '\\';
    }
  }
  PathParts parts;
  const auto last = p.find_last_of(sep);
  if (last != std::string::npos) {
    parts.directory = p.substr(0, last);
    parts.fileName = p.substr(last + 1);
  } else {
    parts.fileName = p;
  }
  const auto dot = parts.fileName.find('.');
  if (dot != std::string::npos) {
    parts.extension = parts.fileName.substr(dot + 1);
    parts.baseName = parts.fileName.substr(0, dot);
  } else {
    parts.baseName = parts.fileName;
  }
  if (style == PathStyle::Posix && last == std::string::npos) {
    // No directory part: the current directory, never the root of the file system.
    parts.directoryAndBase = "./" + parts.baseName;
  } else {
    parts.directoryAndBase = parts.directory + sep + parts.baseName;
  }
  return parts;
}

std::string SiblingPath(std::string_view path, std::string_view newExtension, PathStyle style) {
  const PathParts parts = SplitPath(path, style);
  // A name without a directory lies in the current directory, in either style: Windows' "\base"
  // would be the root of the drive.
  if (parts.fileName.size() == path.size()) {
    return std::string(".") + Separator(style) + parts.baseName + std::string(newExtension);
  }
  return parts.directoryAndBase + std::string(newExtension);
}

namespace {

std::vector<std::string> SplitAt(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const auto next = text.find(sep, start);
    parts.push_back(text.substr(start, next - start));
    if (next == std::string::npos) return parts;
    start = next + 1;
  }
}

}  // namespace

std::string ResolveRelativePathIn(const std::string& path, const std::string& currentDirectory, PathStyle style) {
  if (path.empty()) return path;
  const char sep = Separator(style);
  std::string baseDir = currentDirectory;
  if (!baseDir.empty() && baseDir.back() == sep) baseDir.pop_back();

  std::string rest = path;
  std::string drive;
  if (style == PathStyle::Posix) {
    if (rest[0] == '/') return rest;
  } else if (baseDir.rfind("\\\\", 0) != 0) {
    if (rest.size() >= 3 && rest[1] == ':' && rest[2] == '\\') {
      drive = rest.substr(0, 2);
      rest = rest.substr(3);
      baseDir.clear();
    } else if (rest[0] == '\\') {
      drive = baseDir.substr(0, 2);
      rest = rest.substr(1);
      baseDir.clear();
    }
  } else {
    drive = "\\\\";
    baseDir = baseDir.substr(2);
  }

  const std::vector<std::string> elements = SplitAt(rest, sep);
  if (elements.front() != "..") return drive + baseDir + sep + rest;

  const std::vector<std::string> baseElements = baseDir.empty() ? std::vector<std::string>{} : SplitAt(baseDir, sep);
  long long ups = 0;
  std::string tail;
  for (const std::string& e : elements) {
    if (e == "..") {
      ++ups;
    } else {
      tail += sep;
      tail += e;
    }
  }
  const long long keep = static_cast<long long>(baseElements.size()) - ups;
  if (keep < 1) return rest;
  std::string result = drive;
  for (long long k = 0; k < keep; ++k) {
    result += baseElements[static_cast<std::size_t>(k)];
    result += sep;
  }
  if (!tail.empty()) result += tail.substr(1);
  return result;
}

std::string ResolveRelativePath(const std::string& path, const std::string& base, PathStyle style) {
  if (path.empty()) return path;
  // A POSIX path from the root is the same in every directory: it needs none, not even one that
  // has been removed. A Windows path takes at least its drive from the current directory.
  if (style == PathStyle::Posix && path.front() == '/') return path;
  std::string directory;
  try {
    directory = Fs().CurrentDirectory();
  } catch (const Error& e) {
    throw Error(e.Number(), e.Description() + ", so the relative path " + path + " cannot be resolved");
  }
  if (!base.empty()) directory = ResolveRelativePathIn(base, directory, style);
  return ResolveRelativePathIn(path, directory, style);
}

}  // namespace tidemill
