#pragma once
// The data grid and the "Information" labels as values computed from the sample table. The grid
// is a layout (titles, widths, counts, which table column each grid column shows) plus cell
// texts made on demand, so a full table never turns into 340,000 strings at once.

#include <string>
#include <vector>

#include "ports/clock.h"
#include "store/feedback.h"
#include "store/header.h"
#include "store/sample_table.h"

namespace kestrand::view {

// Width of a column that keeps what the grid widget gives it.
inline constexpr int kWidgetWidth = -1;
// What a grid column shows.
inline constexpr int kTimeSource = -1;  // SampleTime; values 0..19 and 23 name table columns

struct GridLayout {
  // Sections joined by "|", each a "^" (centred) and the column's title.
  std::string formatString;
  std::vector<std::string> titles;  // row 0, one per grid column
  std::vector<int> sources;         // per grid column: kTimeSource, 0..19 or 23
  std::vector<int> widthsTwips;     // per grid column: twips, or kWidgetWidth
  int rows = 1;                     // the header row included

  int cols() const { return static_cast<int>(titles.size()); }
  bool operator==(const GridLayout&) const = default;
};

// Cell text: row 0 the titles; rows 1..NumSamples the stored time or the number text of the
// value; any other row (the one empty row of an empty table) "".
std::string cellText(const GridLayout& grid, const store::SampleTable& table, int row, int col);
// Row `row`'s cells as cellText gives them, `separator` before every cell but the first, appended
// to `out`: the whole grid as text without a string made for every cell.
void appendRowText(const GridLayout& grid, const store::SampleTable& table, int row, char separator,
                   std::string& out);

struct InfoLabels {
  std::string lblStartDate;
  std::string lblEndDate;
  std::string lblStartTime;
  std::string lblEndTime;
  std::string lblSampleCnt;
  std::string lblProbeModel;
  std::string lblUnits;
  std::string MAVG_mess;
  bool operator==(const InfoLabels&) const = default;
};

// What the date and time conversions read: the elapsed-time flag, the display format choices
// and today's date.
struct DateContext {
  int ElapsedMode = 0;
  int dateChoice = 3;
  int timeChoice = 1;
  ports::LocalTime today;
};

struct DataTableView {
  GridLayout grid;
  InfoLabels labels;
};

// The grid and labels of the table on display. Clears the moving-average column's in-use mark
// when it holds no value above 0; rewrites the work strings SampDate and SampTime; sets
// ProbeName and UnitsName from the first sample when there is one. Busy pointer and progress
// bar (maximum 4 plus the value columns in use) through `feedback`.
DataTableView UpdateDataTable(store::SampleTable& table, store::HeaderFields& header,
                              const DateContext& dates, const store::Feedback& feedback = {});

// The empty start-up grid: time column, X-Point to Avg, Move-Avg; the header row only.
GridLayout UpdateDataTable2(int ElapsedMode);

}  // namespace kestrand::view
