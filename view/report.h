#pragma once
// The printed report of the sample table: pages of text lines in a fixed-pitch font, a probe
// line, a title line and one line per sample, 53 samples a page, each page closed by its
// footer. More than nine columns in use print as two column blocks, one after the other; the
// survey report's listing splits the columns as its page needs.

#include <cstddef>
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
// The survey report's pages: A4 (8.27 inches wide) with a quarter inch of margin at each side.
// A line from kReportLeftInches holds this many characters of the font, whose every character
// is 0.6 of its size wide (Courier and the fixed-pitch fonts that stand in for it).
inline constexpr double kReportPageInches = 8.27 - 2 * 0.25;
inline constexpr int kReportPageCharacters =
    static_cast<int>((kReportPageInches - kReportLeftInches) * 72 / (0.6 * kReportPoints));

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

// The survey report's listing: PrintReport's pages with every column on the page. The value
// columns in use go in as many blocks as kReportPageCharacters needs, as many to a block as
// fit, the moving average with the last; a probe line too long for the page puts "Move Average"
// on a line of its own.
std::vector<ReportPage> ReportListing(const store::SampleTable& t, const store::HeaderFields& h);

// How many pages ReportListing makes of the table.
std::size_t listingPageCount(const store::SampleTable& t);

// The titles of the columns PrintReport's lines cut at `characters` a line (a paper narrower
// than the listing), in the order they print.
std::vector<std::string> cutColumns(const store::SampleTable& t, int characters);

// The pages as text: each line followed by "\n", a line of a single form feed where a new page
// starts.
std::string reportText(const std::vector<ReportPage>& pages);

}  // namespace kestrand::view
