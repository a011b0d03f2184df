#include "external/OstrandDataEditServer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "common/FileSystem.h"
#include "common/Paths.h"
#include "common/Numbers.h"
#include "common/Parallel.h"
#include "common/Text.h"
#include "diagnostics/RunState.h"

namespace tidemill {

namespace {

constexpr std::string_view kNotAnEntry = "not of the form ID object parameter NROFVALUES count VALUES values";

// Takes the next blank-separated token off the front of rest; empty when none is left.
std::string_view NextToken(std::string_view& rest) {
  std::size_t begin = 0;
  while (begin < rest.size() && IsBlank(rest[begin])) ++begin;
  std::size_t end = begin;
  while (end < rest.size() && !IsBlank(rest[end])) ++end;
  const std::string_view token = rest.substr(begin, end - begin);
  rest.remove_prefix(end);
  return token;
}

// A whole token that reads as a finite number: a sign, digits with at most one ".", an exponent.
bool IsNumber(std::string_view token) {
  if (!token.empty() && (token.front() == '+' || token.front() == '-')) token.remove_prefix(1);
  if (token.empty() || !((token.front() >= '0' && token.front() <= '9') || token.front() == '.')) return false;
  // Digits with at most one point, too few to overflow: a number without reading its value.
  std::size_t i = 0;
  bool digit = false, point = false;
  for (; i < token.size(); ++i) {
    const char c = token[i];
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i == token.size() && digit && token.size() <= 300) return true;
  double value = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
  return error == std::errc() && end == token.data() + token.size() && std::isfinite(value);
}

// Text a message quotes: read as UTF-8 where valid, else as Windows-1252; long texts are cut.
std::string Excerpt(std::string_view text) {
  constexpr std::size_t kChars = 60;
  const std::string_view cut = IsValidUtf8(text) ? CutToChars(text, kChars) : text.substr(0, kChars);
  return LegacyToUtf8(cut) + (cut.size() < text.size() ? "..." : "");
}

// An entry taken apart; the views point into the text it was read from.
struct Entry {
  std::string_view object, parameter;
  std::string_view head;    // the text up to the end of the parameter
  std::string_view count;   // the NROFVALUES token
  std::string_view values;  // from the first value to the end of the last
};

// Reads an entry; gives why the text is not one, or nothing. Object and parameter are set as
// soon as they are known.
std::optional<std::string> ParseEntry(std::string_view text, Entry& entry) {
  std::string_view rest = text;
  if (!EqualsNoCase(NextToken(rest), "ID")) return std::string(kNotAnEntry);
  const std::string_view object = NextToken(rest);
  const std::string_view parameter = NextToken(rest);
  if (parameter.empty()) return std::string(kNotAnEntry);
  entry.object = object;
  entry.parameter = parameter;
  entry.head = text.substr(0, static_cast<std::size_t>(parameter.data() + parameter.size() - text.data()));
  if (!EqualsNoCase(NextToken(rest), "NROFVALUES")) return std::string(kNotAnEntry);
  entry.count = NextToken(rest);
  if (!EqualsNoCase(NextToken(rest), "VALUES")) return std::string(kNotAnEntry);
  uint64_t count = 0;
  const auto [end, error] = std::from_chars(entry.count.data(), entry.count.data() + entry.count.size(), count);
  if (error != std::errc() || end != entry.count.data() + entry.count.size()) {
    return "NROFVALUES is not a whole number: " + Excerpt(entry.count);
  }
  uint64_t found = 0;
  const char* first = nullptr;
  const char* last = nullptr;
  for (std::string_view value = NextToken(rest); !value.empty(); value = NextToken(rest)) {
    ++found;
    if (!IsNumber(value)) {
      return "value " + IntegerText(static_cast<int64_t>(found)) + " is not a number: " + Excerpt(value);
    }
    if (first == nullptr) first = value.data();
    last = value.data() + value.size();
  }
  if (found != count) {
    return "NROFVALUES is " + std::string(entry.count) + " but " + IntegerText(static_cast<int64_t>(found)) +
           (found == 1 ? " value follows" : " values follow");
  }
  if (first != nullptr) entry.values = std::string_view(first, static_cast<std::size_t>(last - first));
  return std::nullopt;
}

struct Command {
  Entry entry;
  std::optional<std::string> failure;  // why it was not stored
  bool stored = false;
  std::size_t malformedLine = 0;       // the first malformed entry line naming its pair
  std::string malformedReason;
};

// The edit-node file named by "SET_VALUES FILE "<file>" STARTUPDIR "<dir>"" (keywords in any
// case): the file name runs to the next double quote, the directory to the last one.
std::optional<std::string> EditNodePath(std::string_view header) {
  std::string_view rest = header;
  const auto quoted = [&rest](bool toLast) -> std::optional<std::string_view> {
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '"') return std::nullopt;
    rest.remove_prefix(1);
    const std::size_t close = toLast ? rest.rfind('"') : rest.find('"');
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view text = rest.substr(0, close);
    rest.remove_prefix(close + 1);
    return text;
  };
  if (!EqualsNoCase(NextToken(rest), "SET_VALUES") || !EqualsNoCase(NextToken(rest), "FILE")) return std::nullopt;
  const auto file = quoted(false);
  if (!file || !EqualsNoCase(NextToken(rest), "STARTUPDIR")) return std::nullopt;
  const auto directory = quoted(true);
  if (!directory || !NextToken(rest).empty()) return std::nullopt;
  return std::string(*directory) + Separator(kHostPathStyle) + std::string(*file);
}

// Rewrites the entry lines of text that the stored-to-be commands name and marks them stored;
// gives the others their reason. Lines end in CR LF, LF or CR; each keeps its own line end.
std::string ApplyCommands(std::string_view text, std::vector<Command>& commands, const std::string& path,
                          WorkerPool& workers) {
  // Pairs in UTF-8, so that an edit-node file in Windows-1252 matches the commands.
  std::map<std::pair<std::string, std::string>, std::vector<std::size_t>> byPair;
  for (std::size_t k = 0; k < commands.size(); ++k) {
    if (commands[k].failure) continue;
    byPair[{LegacyToUtf8(commands[k].entry.object), LegacyToUtf8(commands[k].entry.parameter)}].push_back(k);
  }
  struct Line {
    std::string_view text, end;
    Entry entry;
    std::optional<std::string> malformed;
  };
  // Lines are read a batch at a time, each line on its own, on all cores.
  constexpr std::size_t kLinesAtOnce = 1024;
  std::vector<Line> lines;
  std::string out;
  out.reserve(text.size());
  std::size_t lineNumber = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    lines.clear();
    while (pos < text.size() && lines.size() < kLinesAtOnce) {
      std::size_t end = pos;
      while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
      const std::size_t next = end + (end == text.size() ? 0 : text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
      lines.push_back({text.substr(pos, end - pos), text.substr(end, next - end), {}, {}});
      pos = next;
    }
    workers.For(lines.size(), [&](std::size_t i) { lines[i].malformed = ParseEntry(lines[i].text, lines[i].entry); });
    for (const Line& each : lines) {
      ++lineNumber;
      const std::string_view line = each.text;
      const Entry& entry = each.entry;
      const auto pair = entry.parameter.empty()
                            ? byPair.end()
                            : byPair.find({LegacyToUtf8(entry.object), LegacyToUtf8(entry.parameter)});
      if (pair == byPair.end()) {
        out += line;
      } else if (each.malformed) {
        for (const std::size_t k : pair->second) {
          if (commands[k].malformedLine != 0) continue;
          commands[k].malformedLine = lineNumber;
          commands[k].malformedReason = *each.malformed;
        }
        out += line;
      } else {
        // Two commands for one pair: both are stored, the later one's values stay.
        for (const std::size_t k : pair->second) commands[k].stored = true;
        const Entry& latest = commands[pair->second.back()].entry;
        out.append(entry.head).append(" NROFVALUES ").append(latest.count).append(" VALUES");
        if (!latest.values.empty()) out.append(" ").append(latest.values);
      }
      out += each.end;
    }
  }
  for (Command& command : commands) {
    if (command.failure || command.stored) continue;
    command.failure = command.malformedLine == 0
                          ? "not listed in the edit-node file " + Excerpt(path)
                          : "line " + IntegerText(static_cast<int64_t>(command.malformedLine)) +
                                " of the edit-node file " + Excerpt(path) + " is malformed: " + command.malformedReason;
  }
  return out;
}

// Every command not yet failed fails for reason.
void FailAll(std::vector<Command>& commands, const std::string& reason) {
  for (Command& command : commands) {
    if (!command.failure) command.failure = reason;
    command.stored = false;
  }
}

}  // namespace

int32_t OstrandDataEditServer::RequestByClient(std::string& strRequestHeader, SafeArray<int16_t>& nErrorFlags,
                                               int32_t& lNrOfObjects, SafeArray<std::string>& sObjects,
                                               SafeArray<std::string>& sErrorMessages, int16_t& nErrorIndicator) {
  if (lNrOfObjects < 0) throw DetailedError(kErrInvalidCall, "number of objects " + IntegerText(lNrOfObjects));
  if (lNrOfObjects > 0 && (sObjects.LBound() > 1 || sObjects.UBound() < lNrOfObjects)) {
    throw DetailedError(kErrSubscript, "the object list holds " + IntegerText(sObjects.LBound()) + " to " +
                                           IntegerText(sObjects.UBound()) + ", not 1 to " + IntegerText(lNrOfObjects));
  }
  std::vector<Command> commands(static_cast<std::size_t>(lNrOfObjects));
  WorkerPool workers(ThreadCount);
  workers.For(commands.size(), [&](std::size_t k) {
    commands[k].failure = ParseEntry(sObjects(static_cast<int32_t>(k) + 1), commands[k].entry);
  });

  const auto path = EditNodePath(strRequestHeader);
  if (!path) {
    FailAll(commands, "request header not understood: " + Excerpt(strRequestHeader));
  } else if (std::any_of(commands.begin(), commands.end(), [](const Command& c) { return !c.failure; })) {
    // From reading to rewriting, so that a run doing the same meanwhile loses none of its values.
    const auto lock = Fs().LockDirectoryOf(*path, true);
    std::optional<std::string> text;
    try {
      text = ReadWholeFile(*path);
    } catch (...) {
      FailAll(commands, "edit-node file not read: " + CurrentError().Description());
    }
    if (text) {
      const std::string updated = ApplyCommands(*text, commands, *path, workers);
      if (std::any_of(commands.begin(), commands.end(), [](const Command& c) { return c.stored; })) {
        try {
          WriteFileAtomically(*path, updated);
        } catch (...) {
          FailAll(commands, "edit-node file not rewritten: " + CurrentError().Description());
        }
      }
    }
  }

  nErrorFlags.ReDim(1, lNrOfObjects);
  sErrorMessages.ReDim(1, lNrOfObjects);
  nErrorIndicator = 0;
  int32_t stored = 0;
  for (int32_t k = 1; k <= lNrOfObjects; ++k) {
    const Command& command = commands[k - 1];
    if (!command.failure) {
      ++stored;
      continue;
    }
    std::string message = "Object " + IntegerText(k);
    if (!command.entry.parameter.empty()) {
      message += ", ID " + Excerpt(command.entry.object) + " " + Excerpt(command.entry.parameter);
    }
    sErrorMessages(k) = message + ": " + *command.failure;
    nErrorFlags(k) = 1;
    nErrorIndicator = 1;
  }
  return stored;
}

}  // namespace tidemill
