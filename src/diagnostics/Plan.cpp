#include "diagnostics/Plan.h"

#include <utility>

#include "common/DateTime.h"
#include "common/Error.h"
#include "common/Numbers.h"

namespace tidemill {

namespace {

std::vector<std::string>& Lines() {
  static std::vector<std::string> lines;
  return lines;
}

std::string Quote(std::string_view key) {
  std::string quoted(1, '"');
  quoted.append(key);
  quoted += '"';
  return quoted;
}

// A plan line never fails where the conversion would not: an instant without a calendar date
// is shown as its day count.
std::string InstantText(double dateTime) {
  try {
    return DateTimeText(dateTime);
  } catch (const Error&) {
    return "day count " + NumberText(static_cast<float>(dateTime));
  }
}

}  // namespace

void AddPlanLine(std::string line) { Lines().push_back(std::move(line)); }

std::vector<std::string> TakePlanLines() { return std::exchange(Lines(), {}); }

void AddPlanNames(std::string_view what, std::span<const std::string> names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    AddPlanLine(std::string(what) + " " + IntegerText(static_cast<int64_t>(i + 1)) + ": " + names[i]);
  }
}

std::string PlanTimesLine(std::string_view what, std::span<const double> times) {
  std::string line(what);
  if (times.empty()) return line + ": none";
  return line + ": " + IntegerText(static_cast<int64_t>(times.size())) + ", " + InstantText(times.front()) + " to " +
         InstantText(times.back());
}

std::string NoKeyText(std::string_view section, std::string_view key) {
  return "no key " + Quote(key) + " in [" + std::string(section) + "]";
}

std::string EmptyKeyText(std::string_view section, std::string_view key) {
  return Quote(key) + " in [" + std::string(section) + "] is empty";
}

std::string BlankKeyText(std::string_view section, std::string_view key) {
  return Quote(key) + " in [" + std::string(section) + "] is blank";
}

std::string UnusedKeyText(std::string_view section, std::string_view key) {
  return "table entry " + Quote(key) + " in [" + std::string(section) + "] is used by no series";
}

}  // namespace tidemill
