// The plan of a run under "/plan": what the conversion would do, in the order it would do it,
// one line at a time. The converters add the lines where they would write; the driver prints
// them at the end of the run.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tidemill {

// Appends a line to the plan of the run.
void AddPlanLine(std::string line);

// The lines added so far, in order; the plan is empty afterwards.
std::vector<std::string> TakePlanLines();

// Adds "<what> <i>: <name>" for each name, i from 1.
void AddPlanNames(std::string_view what, std::span<const std::string> names);

// "<what>: <count>, <first> to <last>" of day counts, or "<what>: none".
std::string PlanTimesLine(std::string_view what, std::span<const double> times);

// Why a table look-up gave nothing: `no key "K" in [S]`, `"K" in [S] is empty` (nothing after
// its "="), or `"K" in [S] is blank` (blanks only).
std::string NoKeyText(std::string_view section, std::string_view key);
std::string EmptyKeyText(std::string_view section, std::string_view key);
std::string BlankKeyText(std::string_view section, std::string_view key);
// `table entry "K" in [S] is used by no series`.
std::string UnusedKeyText(std::string_view section, std::string_view key);

}  // namespace tidemill
