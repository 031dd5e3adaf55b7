#include "view/grid.h"

#include <string_view>

#include "core/text.h"
#include "datetime/datetime.h"
#include "view/number_text.h"

namespace kestrand::view {
namespace {

constexpr int kWideTwips = 1200;
constexpr int kNarrowTwips = 900;

// Appends one centred column: "|^" and its title (no "|" before the first).
void addColumn(GridLayout& g, std::string_view title, int source) {
  if (!g.titles.empty()) g.formatString += '|';
  g.formatString += '^';
  g.formatString += title;
  g.titles.emplace_back(title);
  g.sources.push_back(source);
}

bool anyPositive(const std::vector<float>& values, int count) {
  for (int j = 0; j < count; ++j) {
    if (values[static_cast<size_t>(j)] > 0.0f) return true;
  }
  return false;
}

InfoLabels labelsFor(const store::SampleTable& t, store::HeaderFields& h, const DateContext& d) {
  const auto changeDate = [&](int doNotUseNow) {
    datetime::ChangeDate(h.SampDate, doNotUseNow, d.ElapsedMode, d.dateChoice, d.today);
  };
  const auto changeTime = [&] { datetime::ChangeTime(h.SampTime, d.ElapsedMode, d.timeChoice); };

  changeDate(0);
  changeTime();
  InfoLabels l;
  if (t.NumSamples < 1) {
    l.lblStartDate = "Start Date - ";
    l.lblEndDate = "End Date - ";
    l.lblStartTime = "Start Time - ";
    l.lblEndTime = "End Time - ";
    l.lblSampleCnt = "Number of Samples - ";
    l.lblProbeModel = "Probe Model Number - ";
    l.lblUnits = "Units - ";
    return l;
  }
  const auto last = static_cast<size_t>(t.NumSamples - 1);
  if (h.ProbeType >= 16) {
    // Elapsed-time uploads carry no dates of their own: the upload's date is shown.
    changeDate(1);
    l.lblStartDate = "Upload Date - " + h.SampDate;
  } else {
    h.SampDate = t.SampleDate[0];
    changeDate(0);
    l.lblStartDate = "Start Date - " + h.SampDate;
    h.SampDate = t.SampleDate[last];
    changeDate(0);
    l.lblEndDate = "End Date - " + h.SampDate;
  }
  h.SampTime = t.SampleTime[0];
  changeTime();
  l.lblStartTime = "Start Time - " + h.SampTime;
  h.SampTime = t.SampleTime[last];
  changeTime();
  l.lblEndTime = "End Time - " + h.SampTime;
  if (!h.MoveAveText.empty()) l.MAVG_mess = "Move Average = " + h.MoveAveText;
  h.ProbeName = t.SampleProbe[0];
  h.UnitsName = t.SampleUnits[0];
  l.lblSampleCnt = "Number of Samples - " + signedText(t.NumSamples);
  l.lblProbeModel = "Probe Model Number - " + h.ProbeName;
  l.lblUnits = "Units - " + h.UnitsName;
  return l;
}

}  // namespace

std::string cellText(const GridLayout& grid, const store::SampleTable& table, int row, int col) {
  if (col < 0 || col >= grid.cols() || row < 0 || row >= grid.rows) return {};
  if (row == 0) return grid.titles[static_cast<size_t>(col)];
  if (row > table.NumSamples) return {};
  const int j = row - 1;
  const int source = grid.sources[static_cast<size_t>(col)];
  if (source == kTimeSource) return table.SampleTime[static_cast<size_t>(j)];
  if (source == store::kMoveAvgColumn) return numberText(table.MoveAvgData[static_cast<size_t>(j)]);
  return numberText(table.SampleData(source, j));
}

void appendRowText(const GridLayout& grid, const store::SampleTable& table, int row, char separator,
                   std::string& out) {
  const int cols = grid.cols();
  if (row <= 0 || row >= grid.rows || row > table.NumSamples) {
    for (int col = 0; col < cols; ++col) {
      if (col > 0) out += separator;
      if (row == 0) out += grid.titles[static_cast<size_t>(col)];
    }
    return;
  }
  const int j = row - 1;
  for (int col = 0; col < cols; ++col) {
    if (col > 0) out += separator;
    const int source = grid.sources[static_cast<size_t>(col)];
    if (source == kTimeSource) {
      out += table.SampleTime[static_cast<size_t>(j)];
      continue;
    }
    appendNumberText(out, source == store::kMoveAvgColumn
                              ? table.MoveAvgData[static_cast<size_t>(j)]
                              : table.SampleData(source, j));
  }
}

DataTableView UpdateDataTable(store::SampleTable& table, store::HeaderFields& header,
                              const DateContext& dates, const store::Feedback& feedback) {
  DataTableView view;
  GridLayout& g = view.grid;
  int valueColumns = 0;
  for (int i = 0; i < 20; ++i) valueColumns += table.ColUsed[static_cast<size_t>(i)] > 0 ? 1 : 0;
  const int progressMax = 4 + valueColumns;
  feedback.setBusy(true);
  feedback.setProgress(0, progressMax);

  addColumn(g, dates.ElapsedMode == 1 ? " Elasped  " : " Time     ", kTimeSource);
  int count = 1;
  for (int i = 0; i < 20; ++i) {
    if (table.ColUsed[static_cast<size_t>(i)] > 0) {
      addColumn(g, store::SampleTable::ColTitle(i), i);
      ++count;
    }
  }
  if (table.ColUsed[store::kMoveAvgColumn] > 0) {
    if (anyPositive(table.MoveAvgData, table.NumSamples)) {
      addColumn(g, store::SampleTable::ColTitle(store::kMoveAvgColumn), store::kMoveAvgColumn);
    } else {
      table.ColUsed[store::kMoveAvgColumn] = 0;
      --count;
    }
  } else if (count >= 4) {
    --count;
  }
  if (count < 1) count = 1;
  g.rows = (table.NumSamples < 1 ? 1 : table.NumSamples) + 1;

  // The widths follow `count`, which need not match the grid's columns: with three or more value
  // columns and no moving average the last one comes out wide.
  g.widthsTwips.assign(static_cast<size_t>(g.cols()), kWidgetWidth);
  g.widthsTwips[0] = kWideTwips;
  if (count > 1) {
    for (int k = 1; k < count; ++k) g.widthsTwips[static_cast<size_t>(k)] = kNarrowTwips;
    if (count == g.cols() - 1) g.widthsTwips[static_cast<size_t>(count)] = kWideTwips;
  }

  feedback.setProgress(1, progressMax);
  for (int n = 1; n <= valueColumns; ++n) feedback.setProgress(1 + n, progressMax);
  feedback.setProgress(progressMax, progressMax);

  view.labels = labelsFor(table, header, dates);
  feedback.setBusy(false);
  feedback.setProgress(0, progressMax);
  feedback.hide();
  return view;
}

GridLayout UpdateDataTable2(int ElapsedMode) {
  GridLayout g;
  addColumn(g, ElapsedMode == 1 ? "Elased " : "Time   ", kTimeSource);
  for (int i = 0; i < 16; ++i) addColumn(g, store::SampleTable::ColTitle(i), i);
  addColumn(g, "Move-Avg", store::kMoveAvgColumn);
  g.widthsTwips.assign(static_cast<size_t>(g.cols()), kNarrowTwips);
  g.widthsTwips.front() = kWideTwips;
  g.widthsTwips.back() = kWideTwips;
  g.rows = 1;
  return g;
}

}  // namespace kestrand::view
