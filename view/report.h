#pragma once
// The printed report of the sample table: pages of text lines in a fixed-pitch font, a probe
// line, a title line and one line per sample, 53 samples a page, each page closed by its
// footer. More than nine columns in use print as two column blocks, one after the other.

#include <string>
#include <string_view>
#include <vector>

#include "store/header.h"
#include "store/sample_table.h"

namespace kestrand::view {

// Page geometry: every line at 0.25 inch from the printable area's left edge, the first line
// of a page at 0.5 inch from its top, each further line one line height of the font lower.
inline constexpr std::string_view kReportFont = "Courier";
inline constexpr int kReportPoints = 10;
inline constexpr double kReportLeftInches = 0.25;
inline constexpr double kReportTopInches = 0.5;

struct ReportPage {
  std::vector<std::string> lines;  // Windows-1252; an empty line prints nothing
  bool operator==(const ReportPage&) const = default;
};

// A value as the report prints it: at least one integer digit, three decimals, a period
// ("0.500", "-12.345").
std::string reportNumber(float v);

// The pages of the table: header details from ProbeName, UnitsName and MoveAveText as the grid
// left them.
std::vector<ReportPage> PrintReport(const store::SampleTable& t, const store::HeaderFields& h);

// The pages as text: each line followed by "\n", a line of a single form feed where a new page
// starts.
std::string reportText(const std::vector<ReportPage>& pages);

}  // namespace kestrand::view
