#include "external/ArgTokenizer.h"

#include "common/Text.h"

namespace tidemill {

namespace {

bool NeedsQuotes(std::string_view argument) {
  if (argument.empty()) return true;
  for (const char c : argument) {
    if (IsBlank(c) || c == '"') return true;
  }
  return false;
}

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    if (!NeedsQuotes(argument)) {
      line += argument;
      continue;
    }
    line += '"';
    for (const char c : argument) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  return line;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> arguments;
  const std::size_t n = commandLine.size();
  std::size_t i = 0;
  for (;;) {
    while (i < n && IsBlank(commandLine[i])) ++i;
    if (i == n) return arguments;
    std::string& argument = arguments.emplace_back();
    bool quoted = false;
    for (; i < n; ++i) {
      const char c = commandLine[i];
      if (quoted) {
        if (c != '"') {
          argument += c;
        } else if (i + 1 < n && commandLine[i + 1] == '"') {
          argument += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else if (IsBlank(c)) {
        break;
      } else if (c == '"') {
        quoted = true;
      } else {
        argument += c;
      }
    }
  }
}

std::string GetArgument(std::string_view commandLine, int64_t index) {
  if (index < 1) return {};
  std::vector<std::string> arguments = SplitCommandLine(commandLine);
  if (static_cast<uint64_t>(index) > arguments.size()) return {};
  return std::move(arguments[static_cast<std::size_t>(index - 1)]);
}

std::string_view TakeFirstToken(std::string_view& line) {
  const std::size_t n = line.size();
  std::size_t begin = 0;
  while (begin < n && IsBlank(line[begin])) ++begin;
  std::size_t end = begin;
  while (end < n && !IsBlank(line[end])) ++end;
  const std::string_view token = line.substr(begin, end - begin);
  std::size_t rest = end;
  while (rest < n && IsBlank(line[rest])) ++rest;
  line.remove_prefix(rest);
  return token;
}

std::string TakeFirstToken(std::string& line) {
  std::string_view rest = line;
  std::string token(TakeFirstToken(rest));
  line.erase(0, line.size() - rest.size());
  return token;
}

}  // namespace tidemill
